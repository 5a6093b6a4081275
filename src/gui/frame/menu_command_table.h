#pragma once
// The window's menus and command table: each command's action, its enable and check rules, run
// at every idle update and before a menu opens, and again before a command runs (a shortcut may
// fire between two updates). Owned by the main window; its actions and menus are the window's.
#include <QObject>
#include <array>
#include <functional>
#include <map>

#include "base/command_table.h"

class QMainWindow;
class QWidget;

namespace kivra {

// The menu bar's menus, in its order.
enum class WindowMenu { File, View, Movie, Trimming, Marker, Help };

class MenuCommandTable final : public QObject, public CommandTable {
    Q_OBJECT

public:
    // window holds the actions, and the menu-less ones as its own shortcuts; afterUpdate runs
    // after each update of all rules (the toolbar buttons' pressed states).
    MenuCommandTable(QWidget* window, std::function<void()> afterUpdate);

    // The menu bar's menus, each refreshing its rules before it opens, and one of them.
    void AddMenus(QMainWindow& window);
    QMenu* Menu(WindowMenu menu) const { return m_menus[static_cast<std::size_t>(menu)]; }

    QAction* AddCommand(QMenu* menu, CommandId id, const QString& menuText,
                        const QKeySequence& shortcut, std::function<void()> run,
                        std::function<bool()> enabled, std::function<bool()> checked = {}) override;
    void RefreshOnShow(QMenu* menu) override;

    // The command is enabled only while rule holds too (a command registered elsewhere).
    void RequireAlso(CommandId id, std::function<bool()> rule);
    // The action of a command, or null for one the table does not have.
    QAction* Action(CommandId id) const;
    // Runs every command's enable and check rule.
    void UpdateAll();

private:
    struct Command {
        QAction* action = nullptr;
        std::function<bool()> enabled;
        std::function<bool()> checked;  // empty for commands without a check mark
    };
    void Update(Command& command);

    QWidget* m_pWindow;
    std::function<void()> m_afterUpdate;
    std::map<int, Command> m_commands;
    std::array<QMenu*, 6> m_menus{};  // children of the menu bar
};

}  // namespace kivra
