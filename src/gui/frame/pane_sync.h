#pragma once
// The two-pane layout's commands and the link between the panes: the View menu's two-pane and
// link toggles and its Synchronise submenu, the offset between the two videos kept in the
// first one's .ksync file, and the offer to open a video's partner named there. Owned by the
// main frame as a child object; it asks the application for videos through the frame's signals.
#include <QObject>
#include <memory>
#include <optional>
#include <string>

#include "frame/pane_link.h"
#include "sync/sync_offset.h"

class CMainFrame;
class QMenu;

namespace kivra {

class LinkedCursors;
class MenuCommandTable;

class PaneSync : public QObject, public PaneLink {
    Q_OBJECT

public:
    explicit PaneSync(CMainFrame& frame);
    ~PaneSync() override;

    void AddCommands(MenuCommandTable& table, QMenu* view) override;

    // The second pane's time = the first's + Offset(); zero until found or read.
    const SyncOffset& Offset() const override { return m_offset; }
    bool Linked() const override;
    // Links with the kept offset, or lets each pane move alone.
    void SetLinked(bool on);

    void OnTwoPanes();    // asks for the second video, or closes it
    void OnSameMoment();  // the two current frames show the same moment
    void OnSound();       // the offset from the sound both heard (a job)
    void OnFlash();       // from a flash both saw (a job)
    void OnGaitEvents();  // from the heel strikes in both

    // The frame's notices: the second pane comes or goes, a pane's video changed, an open
    // into a pane ended.
    void PanesChanging() override;
    void PanesChanged() override;
    void VideoChanged(int pane) override;
    void OpenEnded(int pane, const std::string& path, bool opened) override;

private:
    bool BothOpen() const;
    bool CanSync() const;
    VideoClock Clock(int pane) const;
    // Links with m_offset now; pane `keep` stays where it is, the other follows.
    void Relink(int keep);
    // Says what a method found; a found offset is taken, linked and saved.
    void Found(const SyncEstimate& estimate);
    void Save();
    // The partner a .ksync beside path names, offered for the other pane.
    void OfferPartner(int pane, const std::string& path);

    CMainFrame& m_frame;
    std::unique_ptr<LinkedCursors> m_link;  // while two panes are shown
    SyncOffset m_offset;
    SyncMethod m_method = SyncMethod::kFrames;
    bool m_wantLinked = true;
    std::optional<SyncOffset> m_pendingOffset;  // for the partner being opened
};

}  // namespace kivra
