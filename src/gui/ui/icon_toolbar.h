#pragma once
// A toolbar of large icon buttons for commands of the main window: each button shows its
// command's action with our artwork, a short tool tip, and a pressed state. The main window
// owns the toolbar (as its parent) and the actions; the toolbar owns only the icons it made.
#include <QIcon>
#include <QToolBar>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "base/command_ids.h"

class QToolButton;

namespace kivra {

// Where a toolbar finds the action of a command; null for a command the window lacks.
using ActionLookup = std::function<QAction*(CommandId)>;

// A separator between button groups in a command list.
constexpr int kToolBarGap = 0;

constexpr int kToolButtonWidth = 40;   // large image + 8
constexpr int kToolButtonHeight = 39;  // large image + 7

// The commands of the three toolbars, in button order, kToolBarGap for a gap.
const std::vector<int>& MovieToolBarCommands();
const std::vector<int>& TrimmingToolBarCommands();
const std::vector<int>& MarkerToolBarCommands();

// The short tool tip of a command: the last line-feed piece of its prompt in the string
// table when that is not empty, else the menu text without its accelerator and ellipsis.
QString ShortToolTip(CommandId id, const QString& menuText);

}  // namespace kivra

class ZebsCOOIconToolBar : public QToolBar {
    Q_OBJECT

public:
    // `objectName` is the key of the bar in the saved bar layout.
    ZebsCOOIconToolBar(const QString& title, const QString& objectName, QWidget* parent = nullptr);

    // Adds the buttons of `commands` in order. A command without an action is left out and
    // makes the result false; the rest are still added.
    bool LoadToolBar(const std::vector<int>& commands, const kivra::ActionLookup& actionOf);

    // The button's pressed look for commands whose action carries no check mark (the menu
    // item stays unchecked). A checkable action's button shows its check without this.
    void SetPressed(kivra::CommandId id, bool pressed);
    bool IsPressed(kivra::CommandId id) const;

    // Swaps the play button between its idle and its playing pictures. Both icons are made
    // once and reused, so swapping allocates nothing.
    void SetPlayButtonPlaying(bool playing);

    // The commands on the bar in order, kToolBarGap for each gap.
    std::vector<int> Layout() const;
    QToolButton* Button(kivra::CommandId id) const;
    QAction* CommandAction(kivra::CommandId id) const;

private:
    void ApplyPressed(kivra::CommandId id);

    std::vector<std::pair<int, QAction*>> m_items;  // actions owned by the main window
    std::map<int, bool> m_pressed;                  // SetPressed's wishes
    QIcon m_playIcon;
    QIcon m_playingIcon;
};

namespace kivra {

// The three toolbars of the main window, titled "動画", "トリミング" and "マーカ", for the top
// dock. A command without an action gets no button.
ZebsCOOIconToolBar* CreateMovieToolBar(QWidget* parent, const ActionLookup& actionOf);
ZebsCOOIconToolBar* CreateTrimmingToolBar(QWidget* parent, const ActionLookup& actionOf);
ZebsCOOIconToolBar* CreateMarkerToolBar(QWidget* parent, const ActionLookup& actionOf);

}  // namespace kivra
