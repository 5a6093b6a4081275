#include "frame/pane_tool_commands.h"

namespace kivra {

PaneToolCommands::PaneToolCommands(CommandTable& table, std::function<int()> activePane)
    : m_table(table), m_activePane(std::move(activePane)) {
    for (Slot& slot : m_slots) {
        slot.owner = this;
    }
    m_slots[0].shown = true;
}

const PaneToolCommands::Entry* PaneToolCommands::ActiveEntry(CommandId id) const {
    const int pane = m_activePane();
    if (pane != 0 && pane != 1) {
        return nullptr;
    }
    const auto& entries = m_slots[std::size_t(pane)].entries;
    const auto it = entries.find(id);
    return it == entries.end() ? nullptr : &it->second;
}

QAction* PaneToolCommands::Slot::AddCommand(QMenu* menu, CommandId id, const QString& menuText,
                                            const QKeySequence& shortcut, std::function<void()> run,
                                            std::function<bool()> enabled,
                                            std::function<bool()> checked) {
    const bool checkable = static_cast<bool>(checked);
    entries[id] = {std::move(run), std::move(enabled), std::move(checked)};
    if (!shown) {
        return nullptr;
    }
    PaneToolCommands* const router = owner;
    return router->m_table.AddCommand(
        menu, id, menuText, shortcut,
        [router, id] {
            if (const Entry* entry = router->ActiveEntry(id)) {
                entry->run();
            }
        },
        [router, id] {
            const Entry* entry = router->ActiveEntry(id);
            return entry != nullptr && entry->enabled();
        },
        checkable ? std::function<bool()>([router, id] {
            const Entry* entry = router->ActiveEntry(id);
            return entry != nullptr && entry->checked && entry->checked();
        })
                  : std::function<bool()>());
}

void PaneToolCommands::Slot::RefreshOnShow(QMenu* menu) {
    if (shown) {
        owner->m_table.RefreshOnShow(menu);
    }
}

}  // namespace kivra
