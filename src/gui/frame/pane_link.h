#pragma once
// The two-pane link as the main frame sees it: the View menu's commands it adds, the notices the
// frame gives it and whether the panes move together. PaneSync implements it; the main frame
// owns it as a child object and knows no more of it, so the two do not include each other.
#include <QMenu>
#include <string>

#include "sync/sync_offset.h"

namespace kivra {

class MenuCommandTable;

class PaneLink {
public:
    virtual ~PaneLink() = default;

    virtual void AddCommands(MenuCommandTable& table, QMenu* view) = 0;
    // The second pane's time = the first's + Offset(); zero until found or read.
    virtual const SyncOffset& Offset() const = 0;
    virtual bool Linked() const = 0;

    // The second pane comes or goes, a pane's video changed, an open into a pane ended.
    virtual void PanesChanging() = 0;
    virtual void PanesChanged() = 0;
    virtual void VideoChanged(int pane) = 0;
    virtual void OpenEnded(int pane, const std::string& path, bool opened) = 0;
};

}  // namespace kivra
