#pragma once
// The Help menu: the quick start, made at its first showing as a child of the window and kept,
// and the about box, which the application shows.
#include <functional>

#include "platform/ui_language.h"

class QMenu;
class QWidget;

namespace kivra {

class CommandTable;

void AddHelpCommands(CommandTable& table, QMenu* help, QWidget* window, UiLanguage language,
                     const std::function<void()>& about);

}  // namespace kivra
