#pragma once
// The program's one top-level window, a shell over one video's pane or two side by side: menus
// whose commands register from their own folders and work on the pane clicked last, bars and
// status bar. It never calls its owner, the application: opening and closing are requests.
#include <QMainWindow>
#include <QTimer>
#include <memory>
#include <string>

#include "base/qt_user_messages.h"
#include "file/file_commands.h"
#include "frame/active_video.h"
#include "frame/command_context.h"
#include "frame/job_runner.h"
#include "frame/menu_command_table.h"
#include "frame/pane_link.h"
#include "frame/pane_set.h"
#include "frame/pane_tools.h"
#include "frame/playback_controller.h"
#include "frame/slider_view.h"
#include "frame/tool_bars.h"
#include "frame/window_playback_host.h"
#include "frame/window_settings.h"
#include "markers/marker_commands.h"
#include "platform/ui_language.h"
#include "trimming/trimming_commands.h"
#include "view/view_host.h"
#include "workspace/open_video.h"

class CQuickStartDlg;
class CSetMarkerIDDlg;
class CSliderDlgBar;
class CVfwView;
class QLabel;
class QMenu;
namespace kivra {
class FramePositionPane;
class RecentFileList;
}  // namespace kivra

class CMainFrame : public QMainWindow,
                   public kivra::FrameViewHost,
                   public kivra::TrimmingCommandsHost,
                   public kivra::MarkerCommandsHost {
    Q_OBJECT

public:
    // video, actions, the groups in settings and recentFiles (the File menu's list, may be null)
    // must outlive the window; language is the one the interface was started in.
    CMainFrame(kivra::OpenVideo& video, kivra::Workspace& actions,
               const kivra::WindowSettings& settings, const kivra::RecentFileList* recentFiles,
               kivra::UiLanguage language);
    ~CMainFrame() override;  // writes the trimming mode back to the settings

    // The active video and the actions on it, with shorthands over the video.
    kivra::OpenVideo& Video() const override { return m_active.Video(); }
    kivra::Workspace& Actions() const { return m_active.Actions(); }
    const kivra::WindowSettings& Settings() const { return m_settings; }
    CAviVideoStream* Stream() const { return Video().Stream(); }
    kivra::EditSession& Session() const { return Video().Session(); }
    kivra::FrameCursor& Cursor() const { return Video().Cursor(); }

    // The panes (0 the first video's, 1 the second's), each one's tools, and their link.
    kivra::PaneSet& Panes() { return m_panes; }
    const kivra::PaneSet& Panes() const { return m_panes; }
    const kivra::PaneTools& Tools() const { return m_tools; }
    kivra::PaneLink& Sync() const { return *m_pSync; }
    // Back to the one-video window: the second pane goes, the first becomes active.
    void RemoveSecondPane() {
        m_panes.RemoveSecond();
        UpdateCommandUI();
    }

    bool IsForwardPlaying() const override { return m_playback.IsForwardPlaying(); }
    bool IsPlaying() const override { return m_playback.IsPlaying(); }
    CPlaybackController& Playback() { return m_playback; }
    void StopPlayback() { m_playback.Stop(); }

    // The parts: views, menus, bars, status panes, command groups and tool windows (children
    // of this window, or members).
    CVfwView* VideoView() const override { return m_pVideoView; }
    CSliderView* SliderView() const { return m_pSliderView; }
    QAction* Action(kivra::CommandId id) const { return m_commands.Action(id); }
    QMenu* Menu(kivra::WindowMenu menu) const { return m_commands.Menu(menu); }
    kivra::ToolBars& Bars() const { return *m_pBars; }  // with the status bar's panes
    ZebsCOOIconToolBar* MarkerBar() const override { return m_pBars->MarkerBar(); }
    kivra::TrimmingCommands& Trimming() { return m_trimming; }
    kivra::MarkerCommands& Markers() { return m_markers; }
    kivra::FileCommands& Files() const { return *m_pFiles; }
    CQuickStartDlg* QuickStart() const;  // null before first shown
    CSetMarkerIDDlg* MarkerIdDialog() const override { return m_pSetMarkerIdDlg; }
    // The active pane's kinematics and gait tools (each pane has its own).
    CKinematicsCommands* Kinematics() const { return m_tools.Kinematics(m_panes.Active()); }
    kivra::GaitTools* Gait() const { return m_tools.Gait(m_panes.Active()); }
    kivra::JobRunner& Jobs() { return m_jobs; }  // runs save, follow, open off this thread

    void UpdateCommandUI() { m_commands.UpdateAll(); }  // every enable and check rule
    // "<file name> - Kivra", or "Kivra" while no video is open.
    void UpdateTitle();
    // While a video is being opened: the open one's picture, markers and frame count leave the
    // screen at once; false shows whichever video is open afterwards.
    void ShowOpening(bool opening);
    void RebuildRecentFileMenu() { Files().RebuildRecentFileMenu(); }
    bool IsMarkerIdDialogVisible() const override;
    void ToggleMarkerIdDialog() { m_markers.OnMarkerSetId(); }  // "IDの指定(&I)..."
    // What a save wrote where, in the status bar's message pane for a while.
    void ShowSavedStatus(const QString& text) override;
    void SyncMosaicBar() override { m_pBars->SyncMosaicBar(); }

    void ShowFrame(int n) { m_playback.ShowFrame(n); }
    // kivra::FrameViewHost
    bool Deinterlaced() const override { return Settings().Trimming().deinterlace; }
    const kivra::MarkerIdSettings& MarkerIds() const override { return Settings().MarkerId(); }
    void ShowFirstFrame() override { m_playback.First(); }
    void ShowLastFrame() override { m_playback.Last(); }
    void OpenDocumentFile(const std::string& path) override { emit OpenRequested(path); }
    kivra::EditSession::SkipFill SkippedFramesFill() const override;
    // Says in the status bar, for a while, which step the user still has to take.
    void ClickPlacedNothing(kivra::MarkerStep missing) override;
    void UpdateRateStatus() override;
    kivra::MsgAnswer ShowMessage(const std::string& text, kivra::MsgButtons buttons,
                                 kivra::MsgIcon icon) override {
        return m_messages.ShowMessage(text, buttons, icon);
    }

signals:
    // The File menu, its recent files and dropped files ask; the owner opens or closes.
    void OpenRequested(const std::string& path);
    void CloseRequested();
    void RecentFileRequested(std::size_t index);
    // A video for pane `index` (1 makes the second pane), and closing the second pane.
    void PaneOpenRequested(const std::string& path, int index);
    void SecondPaneCloseRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateMenus();
    // The per-pane parts the window reads (views, playback, bars, marker ID tool) follow the
    // active pane.
    void FollowActivePane();
    void MakeMarkerIdDialog();

    const kivra::UiLanguage m_language;
    kivra::OpenVideo& m_video;  // the first pane's
    kivra::Workspace& m_actions;
    kivra::ActiveVideo m_active{m_video, m_actions};
    const kivra::WindowSettings m_settings;
    kivra::QtUserMessages m_messages;
    kivra::MenuCommandTable m_commands{this, [this] {
                                           if (m_pBars != nullptr) {
                                               m_pBars->UpdateStates();
                                           }
                                       }};
    kivra::WindowPlaybackHost m_playbackHost{
        m_pVideoView,
        {[this](bool on) { m_pBars->SetPlayButton(on); },
         [this](const QString& text) { m_pBars->SetRateText(text); }}};
    CPlaybackController m_playback{m_video, m_playbackHost, m_settings.Slider()};
    const kivra::CommandContext m_context{m_active,
                                          m_commands,
                                          m_messages,
                                          this,
                                          m_jobs,
                                          m_settings.Trimming(),
                                          m_settings.MarkerId()};
    kivra::PaneTools m_tools;  // made in the constructor: the frame is its tools' host
    kivra::TrimmingCommands m_trimming{m_context, *this};
    kivra::MarkerCommands m_markers{m_context, *this};
    CVfwView* m_pVideoView = nullptr;  // children of this window, or of its children
    CSliderView* m_pSliderView = nullptr;
    kivra::PaneLink* const m_pSync;  // a child of this window
    kivra::PaneSet m_panes;          // made after the link and tools it tells
    kivra::ToolBars* m_pBars = nullptr;
    kivra::FileCommands* m_pFiles = nullptr;
    CSetMarkerIDDlg* m_pSetMarkerIdDlg = nullptr;
    QTimer m_idleTimer;                         // the idle update of command states
    kivra::JobRunner m_jobs{this, m_messages};  // last: a running job ends before the rest goes
};

namespace kivra {
// The frame as the host of pane `pane`'s kinematics tools over its video
// (kinematics_host_adapter.cpp); without them, the first pane's.
std::unique_ptr<KinematicsHost> MakeKinematicsHost(CMainFrame& frame, OpenVideo& video,
                                                   Workspace& actions, int pane);
std::unique_ptr<KinematicsHost> MakeKinematicsHost(CMainFrame& frame);
// The two-pane link over the frame, a child of it (pane_sync.cpp).
PaneLink* MakePaneLink(CMainFrame& frame);
}  // namespace kivra
