#include "frame/menu_command_table.h"

#include <QAction>
#include <QCoreApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace kivra {

MenuCommandTable::MenuCommandTable(QWidget* window, std::function<void()> afterUpdate)
    : m_pWindow(window), m_afterUpdate(std::move(afterUpdate)) {}

QAction* MenuCommandTable::AddCommand(QMenu* menu, CommandId id, const QString& menuText,
                                      const QKeySequence& shortcut, std::function<void()> run,
                                      std::function<bool()> enabled,
                                      std::function<bool()> checked) {
    auto* action = new QAction(menuText.section(QLatin1Char('\t'), 0, 0), m_pWindow);
    action->setData(static_cast<int>(id));
    action->setShortcut(shortcut);
    action->setCheckable(static_cast<bool>(checked));
    if (menu != nullptr) {
        menu->addAction(action);
    } else {
        m_pWindow->addAction(action);  // no menu entry, still reachable by its identifier
    }
    Command& command = m_commands[id];
    command = {action, std::move(enabled), std::move(checked)};
    connect(action, &QAction::triggered, this, [this, id, run = std::move(run)] {
        // A shortcut may fire between two idle updates: the rule decides, not the last state.
        Command& c = m_commands[id];
        if (!c.enabled()) {
            Update(c);
            return;
        }
        run();
        UpdateAll();
    });
    Update(command);
    return action;
}

void MenuCommandTable::AddMenus(QMainWindow& window) {
    // The titles keep the main window's translation context.
    const char* const titles[] = {QT_TRANSLATE_NOOP("CMainFrame", "ファイル(&F)"),
                                  QT_TRANSLATE_NOOP("CMainFrame", "表示(&V)"),
                                  QT_TRANSLATE_NOOP("CMainFrame", "動画(&O)"),
                                  QT_TRANSLATE_NOOP("CMainFrame", "トリミング(&T)"),
                                  QT_TRANSLATE_NOOP("CMainFrame", "マーカ(&M)"),
                                  QT_TRANSLATE_NOOP("CMainFrame", "ヘルプ(&H)")};
    for (std::size_t i = 0; i < m_menus.size(); ++i) {
        m_menus[i] =
            window.menuBar()->addMenu(QCoreApplication::translate("CMainFrame", titles[i]));
        RefreshOnShow(m_menus[i]);
    }
}

void MenuCommandTable::RefreshOnShow(QMenu* menu) {
    connect(menu, &QMenu::aboutToShow, this, &MenuCommandTable::UpdateAll);
}

void MenuCommandTable::RequireAlso(CommandId id, std::function<bool()> rule) {
    const auto it = m_commands.find(id);
    if (it == m_commands.end()) {
        return;
    }
    it->second.enabled = [first = std::move(it->second.enabled), rule = std::move(rule)] {
        return rule() && first();
    };
    Update(it->second);
}

QAction* MenuCommandTable::Action(CommandId id) const {
    const auto it = m_commands.find(id);
    return it == m_commands.end() ? nullptr : it->second.action;
}

void MenuCommandTable::Update(Command& command) {
    command.action->setEnabled(command.enabled());
    if (command.checked) {
        command.action->setChecked(command.checked());
    }
}

void MenuCommandTable::UpdateAll() {
    for (auto& [id, command] : m_commands) {
        Update(command);
    }
    if (m_afterUpdate) {
        m_afterUpdate();
    }
}

}  // namespace kivra
