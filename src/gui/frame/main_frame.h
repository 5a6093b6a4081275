#pragma once
// The program's one top-level window, a shell: the menus, status bar and the pane with the views
// over the open video (the application's). Each menu's commands register themselves from their
// own folder with a small context; the window answers what only it knows (playing, the marker ID
// tool, its views and bars) and follows the session's notices. It never calls its owner: opening
// and closing videos are requests (signals) the owner answers. Owned by the application object.
#include <QMainWindow>
#include <QTimer>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "base/qt_user_messages.h"
#include "file/file_commands.h"
#include "frame/command_context.h"
#include "frame/job_runner.h"
#include "frame/menu_command_table.h"
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

class CBasePaneV;
class CKinematicsCommands;
class CQuickStartDlg;
class CSetMarkerIDDlg;
class CSliderDlgBar;
class CVfwView;
class QLabel;
class QMenu;
namespace kivra {
class FramePositionPane;
class GaitTools;
class KinematicsHost;
class RecentFileList;
}  // namespace kivra

class CMainFrame : public QMainWindow,
                   public kivra::FrameViewHost,
                   public kivra::TrimmingCommandsHost,
                   public kivra::MarkerCommandsHost,
                   public kivra::SessionObserver {
    Q_OBJECT

public:
    // video, actions, the groups in settings and recentFiles (the File menu's list, may be null)
    // must outlive the window; language is the one the interface was started in.
    CMainFrame(kivra::OpenVideo& video, kivra::Workspace& actions,
               const kivra::WindowSettings& settings, const kivra::RecentFileList* recentFiles,
               kivra::UiLanguage language);
    ~CMainFrame() override;  // writes the trimming mode back to the settings

    // The open video and the actions on it, with shorthands over the video.
    kivra::OpenVideo& Video() const override { return m_video; }
    kivra::Workspace& Actions() const { return m_actions; }
    const kivra::WindowSettings& Settings() const { return m_settings; }
    CAviVideoStream* Stream() const { return m_video.Stream(); }
    kivra::EditSession& Session() const { return m_video.Session(); }
    kivra::FrameCursor& Cursor() const { return m_video.Cursor(); }

    bool IsForwardPlaying() const override { return m_playback.IsForwardPlaying(); }
    bool IsPlaying() const override { return m_playback.IsPlaying(); }
    CPlaybackController& Playback() { return m_playback; }
    void StopPlayback() { m_playback.Stop(); }

    // The parts: views, menus, bars, status panes, command groups and tool windows (children
    // of this window, or members).
    CVfwView* VideoView() const override { return m_pVideoView; }
    CSliderView* SliderView() const { return m_pSliderView; }
    QAction* Action(kivra::CommandId id) const { return m_commands.Action(id); }
    QMenu* FileMenu() const { return m_menus[0]; }
    QMenu* ViewMenu() const { return m_menus[1]; }
    QMenu* MovieMenu() const { return m_menus[2]; }
    QMenu* TrimmingMenu() const { return m_menus[3]; }
    QMenu* MarkerMenu() const { return m_menus[4]; }
    QMenu* HelpMenu() const { return m_menus[5]; }
    QLabel* RateStatusPane() const { return m_pBars->RatePane(); }
    kivra::FramePositionPane* FramePane() const { return m_pBars->FramePane(); }
    CSliderDlgBar* SliderBar() const { return m_pBars->SliderBar(); }
    QToolBar* SliderToolBar() const { return m_pBars->SliderToolBar(); }
    QToolBar* MosaicToolBar() const { return m_pBars->MosaicToolBar(); }
    ZebsCOOIconToolBar* MovieBar() const { return m_pBars->MovieBar(); }
    ZebsCOOIconToolBar* TrimmingBar() const { return m_pBars->TrimmingBar(); }
    ZebsCOOIconToolBar* MarkerBar() const override { return m_pBars->MarkerBar(); }
    kivra::TrimmingCommands& Trimming() { return m_trimming; }
    kivra::MarkerCommands& Markers() { return m_markers; }
    kivra::FileCommands& Files() const { return *m_pFiles; }
    CQuickStartDlg* QuickStart() const;  // null before first shown
    CSetMarkerIDDlg* MarkerIdDialog() const override { return m_pSetMarkerIdDlg; }
    CKinematicsCommands* Kinematics() const { return m_pKinematics; }
    kivra::GaitTools* Gait() const { return m_pGait; }
    kivra::JobRunner& Jobs() { return m_jobs; }  // runs save, follow, open off this thread

    void UpdateCommandUI() { m_commands.UpdateAll(); }  // every enable and check rule
    // "<file name> - Kivra", or "Kivra" while no video is open.
    void UpdateTitle();
    // While a video is being opened: the open one's picture, markers and frame count leave the
    // screen at once; false shows whichever video is open afterwards.
    void ShowOpening(bool opening);
    void RebuildRecentFileMenu() { Files().RebuildRecentFileMenu(); }
    void HideTextInformation() { m_pBars->HideTextInformation(); }
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
    // kivra::SessionObserver: the bars and navigator follow; a video that came gets the
    // trackbar and the First command, one that went the empty views.
    void SessionChanged(unsigned changes) override;

signals:
    // The File menu, its recent files and dropped files ask; the owner opens or closes.
    void OpenRequested(const std::string& path);
    void CloseRequested();
    void RecentFileRequested(std::size_t index);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateMenus();
    void VideoChanged();

    const kivra::UiLanguage m_language;
    kivra::OpenVideo& m_video;
    kivra::Workspace& m_actions;
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
    kivra::WindowSliderHost m_sliderHost{m_video, m_playback};
    const kivra::CommandContext m_context{m_video,
                                          m_actions,
                                          m_commands,
                                          m_messages,
                                          this,
                                          m_jobs,
                                          m_settings.Trimming(),
                                          m_settings.MarkerId()};
    kivra::TrimmingCommands m_trimming{m_context, *this};
    kivra::MarkerCommands m_markers{m_context, *this};
    CVfwView* m_pVideoView = nullptr;  // children of this window, or of its children
    CSliderView* m_pSliderView = nullptr;
    std::array<QMenu*, 6> m_menus{};  // File, View, Movie, Trimming, Marker, Help
    kivra::ToolBars* m_pBars = nullptr;
    kivra::FileCommands* m_pFiles = nullptr;
    CSetMarkerIDDlg* m_pSetMarkerIdDlg = nullptr;
    CKinematicsCommands* m_pKinematics = nullptr;
    kivra::GaitTools* m_pGait = nullptr;
    QTimer m_idleTimer;                         // the idle update of command states
    kivra::JobRunner m_jobs{this, m_messages};  // last: a running job ends before the rest goes
};

namespace kivra {
// The frame as the host of its kinematics tools (kinematics_host_adapter.cpp).
std::unique_ptr<KinematicsHost> MakeKinematicsHost(CMainFrame& frame);
}  // namespace kivra
