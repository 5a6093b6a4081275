#pragma once
// The View menu's choice of the user interface's language: the system's, Japanese or English.
// The choice is kept in the settings and takes effect at the next start. The menu owns its
// actions; the settings group and the message sink outlive the menu.
#include <functional>

#include "settings/inifile_manager.h"

class QMenu;

namespace kivra {

class UserMessages;

// Adds the language submenu to `menu` and returns it. Choosing another entry sets
// program.language, keeps it at once through saveLanguage and tells the user, through
// `messages`, that it applies from the next start.
QMenu* AddLanguageMenu(QMenu* menu, ProgramSettings& program, std::function<bool()> saveLanguage,
                       UserMessages& messages);

}  // namespace kivra
