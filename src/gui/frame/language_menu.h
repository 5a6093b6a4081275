#pragma once
// The View menu's choice of the user interface's language: the system's, Japanese or English.
// The choice is kept in the settings and takes effect at the next start. The menu owns its
// actions; the settings and the message sink outlive the menu.
class CInifileManager;
class QMenu;

namespace kivra {

class UserMessages;

// Adds the language submenu to `menu` and returns it. Choosing another entry stores it at once
// and tells the user, through `messages`, that it applies from the next start.
QMenu* AddLanguageMenu(QMenu* menu, CInifileManager& settings, UserMessages& messages);

}  // namespace kivra
