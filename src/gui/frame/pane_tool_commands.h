#pragma once
// The commands of tool groups made once per pane (kinematics, gait): each pane's group registers
// into its own slot, the window's table gets each command once, and it runs and is enabled by the
// active pane's group. Owned by the main frame.
#include <QMenu>
#include <array>
#include <functional>
#include <map>

#include "base/command_table.h"

namespace kivra {

class PaneToolCommands {
public:
    // table gets the commands of pane 0's groups; activePane answers which slot runs them.
    PaneToolCommands(CommandTable& table, std::function<int()> activePane);
    PaneToolCommands(const PaneToolCommands&) = delete;
    PaneToolCommands& operator=(const PaneToolCommands&) = delete;

    // What pane `index` registers its groups into; pane 1's menus are never shown, so its
    // groups register into Unshown().
    CommandTable& For(int index) { return m_slots[std::size_t(index)]; }
    QMenu* Unshown() { return &m_unshown; }
    // A pane's groups went: its commands are off while it is active.
    void Forget(int index) { m_slots[std::size_t(index)].entries.clear(); }

private:
    struct Entry {
        std::function<void()> run;
        std::function<bool()> enabled;
        std::function<bool()> checked;
    };
    class Slot final : public CommandTable {
    public:
        QAction* AddCommand(QMenu* menu, CommandId id, const QString& menuText,
                            const QKeySequence& shortcut, std::function<void()> run,
                            std::function<bool()> enabled, std::function<bool()> checked) override;
        void RefreshOnShow(QMenu* menu) override;

        PaneToolCommands* owner = nullptr;
        bool shown = false;  // pane 0's: its entries go on to the window's table
        std::map<int, Entry> entries;
    };
    const Entry* ActiveEntry(CommandId id) const;

    CommandTable& m_table;
    std::function<int()> m_activePane;
    std::array<Slot, 2> m_slots;
    QMenu m_unshown;
};

}  // namespace kivra
