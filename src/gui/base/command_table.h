#pragma once
// Where a group of commands puts its menu entries and the rules that enable and check them:
// the window's table (MenuCommandTable), which runs every rule at its idle update.
#include <QKeySequence>
#include <QString>
#include <functional>

#include "base/command_ids.h"

class QAction;
class QMenu;

namespace kivra {

class CommandTable {
public:
    virtual ~CommandTable() = default;
    // Adds a command to menu (none: reachable by its identifier only); the text after a tab in
    // menuText is the shortcut column.
    virtual QAction* AddCommand(QMenu* menu, CommandId id, const QString& menuText,
                                const QKeySequence& shortcut, std::function<void()> run,
                                std::function<bool()> enabled,
                                std::function<bool()> checked = {}) = 0;
    // The rules run again each time menu opens.
    virtual void RefreshOnShow(QMenu* menu) = 0;
};

}  // namespace kivra
