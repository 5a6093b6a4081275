#pragma once
// The program's one top-level window: menus, status bar and the pane with the views; owns the
// editing session the views draw and the trimming commands that change it, enables and checks
// the commands, shows what the document and its actions tell the user, and follows the
// session's changes. Owned by the application object.
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "document/vfw_doc.h"
#include "frame/command_ids.h"
#include "frame/command_table.h"
#include "frame/edit_history.h"
#include "frame/job_runner.h"
#include "frame/main_frame_host.h"
#include "frame/playback_controller.h"
#include "frame/qt_user_messages.h"
#include "frame/slider_view.h"
#include "frame/trimming_commands.h"
#include "geometry/trimming_param.h"
#include "session/edit_session.h"
#include "session/frame_cursor.h"
#include "view/view_host.h"

class CAviVideoStream;
class CBasePaneV;
class CSliderDlgBar;
class CMosaicSizeDlgBar;
class ZebsCOOIconToolBar;
class CCodecListDialog;
class CTextStreamDialog;
class CHelpDlg;
class CSetMarkerIDDlg;
class CQuickStartDlg;
class CInifileManager;
class CKinematicsCommands;
class CVfwView;
namespace kivra {
class FramePositionPane;
class GaitTools;
class KinematicsHost;
class Workspace;
}  // namespace kivra
class QAction;
class QLabel;
class QMenu;
class QToolBar;
class QKeyEvent;

class CMainFrame : public QMainWindow,
                   public kivra::DocumentHost,
                   public kivra::PlaybackHost,
                   public kivra::SliderViewHost,
                   public kivra::FrameViewHost,
                   public kivra::TrimmingCommandsHost,
                   public kivra::CommandTable,
                   public kivra::SessionObserver {
    Q_OBJECT

public:
    explicit CMainFrame(kivra::MainFrameHost& app);
    ~CMainFrame() override;  // writes the trimming mode back to the settings

    CInifileManager& Settings() const override;
    CVfwDoc* GetDocument() const override;
    CAviVideoStream* Stream() const override;        // null while no video is open
    VideoAnnotations* Annotations() const override;  // null exactly while Stream() is
    bool IsVideoOpen() const override;               // the document has a path and a stream
    // The actions on the open video (the application's); its saves are reported here once
    // attached.
    kivra::Workspace& Actions() const override;
    void AttachWorkspace(kivra::Workspace& workspace);

    bool IsForwardPlaying() const override { return m_playback.IsForwardPlaying(); }
    bool IsPlaying() const override { return m_playback.IsPlaying(); }
    CPlaybackController& Playback() { return m_playback; }

    // The pane and the two views it made (not owned: children of this window).
    void SetPaneViews(CBasePaneV* pane, CVfwView* videoView, CSliderView* sliderView);
    CVfwView* VideoView() const override { return m_pVideoView; }
    CSliderView* SliderView() const { return m_pSliderView; }

    // The action of a command, or null for one this window does not have.
    QAction* Action(kivra::CommandId id) const;
    QMenu* FileMenu() const { return m_pMenuFile; }
    QMenu* ViewMenu() const { return m_pMenuView; }
    QMenu* MovieMenu() const { return m_pMenuMovie; }
    QMenu* TrimmingMenu() const { return m_pMenuTrimming; }
    QMenu* MarkerMenu() const { return m_pMenuMarker; }
    QMenu* HelpMenu() const { return m_pMenuHelp; }
    QLabel* RateStatusPane() const { return m_pRatePane; }
    kivra::FramePositionPane* FramePane() const { return m_pFramePane; }
    CSliderDlgBar* SliderBar() const { return m_pSliderBar; }
    QToolBar* SliderToolBar() const { return m_pSliderToolBar; }
    QToolBar* MosaicToolBar() const { return m_pMosaicToolBar; }

    // Runs every command's enable and check rule.
    void UpdateCommandUI();
    // "<file name> - Kivra", or "Kivra" while no video is open.
    void UpdateTitle();

    // The editing state of the open video and the commands that change it.
    kivra::EditSession& Session() const override { return m_session; }
    // The open video's current frame; every move goes through it.
    kivra::FrameCursor& Cursor() const override { return m_cursor; }
    CTrimmingCommands& Trimming() { return m_trimming; }
    CEditHistory& History() override { return m_history; }
    bool AreasSet() const { return m_session.AreasSet(); }
    bool AnyMarkers() const;
    // Bars and auxiliary windows (window_bars.cpp).
    void CreateBars();
    void UpdateBarStates();
    void SyncMosaicBar() override;
    void OnViewNavigator();
    void RefreshNavigatorCaption();
    void SaveBarState();
    void LoadBarState();
    // After an old layout: the movie bar back at the full width of its buttons.
    void RefitMovieBar();
    std::string IniPath() const;
    ZebsCOOIconToolBar* MovieBar() const { return m_pMovieBar; }
    ZebsCOOIconToolBar* TrimmingBar() const { return m_pTrimmingBar; }
    ZebsCOOIconToolBar* MarkerBar() const override { return m_pMarkerBar; }

    // Saving the trimmed movie (save_movie_command.cpp).
    bool CanSaveTrimmedMovie() const;
    void OnSaveTrimmedMovie();
    // The save after the dialog: target path and the dialog's 1-based filter index.
    void SaveTrimmedMovie(const std::string& target, int filterIndex);

    // File commands (file_commands.cpp).
    void RebuildRecentFileMenu();
    void OnSaveFrameAsBitmap();
    bool SaveFrameAsBitmap(const std::string& path);  // false after telling the user
    void HideTextInformation();

    // Commands handled here.
    void OnViewImageInfo();
    void OnViewDeinterlace();

    // kivra::PlaybackHost
    bool HasDocumentPath() const override { return IsVideoOpen(); }
    int RangeStart() const override;
    int RangeEnd() const override;
    // kivra::SliderViewHost
    const std::vector<int>& MarkerFrames() const override;
    void ShowFrame(int n) override { m_playback.ShowFrame(n); }
    void ShowFrameWithKeyRefresh(int n) override { m_playback.ShowFrame(n, true); }
    int Area1Frame() const override;
    int Area2Frame() const override;
    float PlaySpeedRate() const override;
    kivra::ViewMode ViewMode() const override { return m_session.GetViewMode(); }
    void LeaveAreaMode() override { m_session.LeaveAreaMode(); }
    void RedrawVideoNow() override;
    void SetPlayButtonPlaying(bool playing) override;
    void SetRateText(const QString& text) override;

    // kivra::FrameViewHost
    std::optional<int> ReadBackMarkerId() override;
    void AdvanceMarkerId() override;
    void ShowFirstFrame() override { m_playback.First(); }
    void ShowLastFrame() override { m_playback.Last(); }
    void OpenDocumentFile(const std::string& path) override;
    kivra::EditSession::SkipFill SkippedFramesFill() const override;
    // Says in the status bar, for a while, which step the user still has to take.
    void ClickPlacedNothing(kivra::MarkerStep missing) override;

    // kivra::UserMessages
    kivra::MsgAnswer ShowMessage(const std::string& text, kivra::MsgButtons buttons,
                                 kivra::MsgIcon icon) override;
    // kivra::DocumentHost
    kivra::ProgressSink& Progress() override;
    bool IsMarkerIdDialogVisible() const override;
    void ToggleMarkerIdDialog();  // "IDの指定(&I)..."
    void StopPlayback();
    void UpdateAllViews() override;
    void UpdateRateStatus() override;
    // Runs the long jobs (save, follow, open) off this window's thread.
    kivra::JobRunner& Jobs() override { return m_jobs; }

    // The Help menu's quick start; made at its first showing, then kept (null before).
    CQuickStartDlg* QuickStart() const { return m_pQuickStart; }
    // The marker ID dialog (owned by this window; hidden until the ID command shows it).
    CSetMarkerIDDlg* MarkerIdDialog() const override { return m_pSetMarkerIdDlg; }
    // Calibration, joint angles, kinematics CSV and plot (a child of this window).
    CKinematicsCommands* Kinematics() const override { return m_pKinematics; }
    // Foot markers, gait events, the gait window and report (a child of this window).
    kivra::GaitTools* Gait() const { return m_pGait; }
    // kivra::TrimmingCommandsHost
    QWidget* DialogParent() override { return this; }
    kivra::UserMessages& Messages() override { return m_messages; }
    void MarkersSaved() override { m_history.MarkSaved(); }
    // What a save wrote where, in the status bar's message pane for a while.
    void ShowSavedStatus(const QString& text) override;
    // kivra::CommandTable
    QAction* AddCommand(QMenu* menu, kivra::CommandId id, const QString& menuText,
                        const QKeySequence& shortcut, std::function<void()> run,
                        std::function<bool()> enabled, std::function<bool()> checked = {}) override;
    void RefreshOnShow(QMenu* menu) override;
    // kivra::SessionObserver: the views redraw what changed; a video that came gets the
    // trackbar and the First command, one that went the empty views.
    void SessionChanged(unsigned changes) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Command {
        QAction* action = nullptr;
        std::function<bool()> enabled;
        std::function<bool()> checked;  // empty for commands without a check mark
    };

    void CreateMenus();
    void CreateStatusBar();
    void CreateSliderBar();
    void OnHelpQuickStart();
    void UpdateCommand(Command& command);
    void VideoChanged();

    kivra::MainFrameHost& m_app;
    kivra::QtUserMessages m_messages;
    CBasePaneV* m_pBasePane = nullptr;  // not owned: children of this window
    CVfwView* m_pVideoView = nullptr;
    CSliderView* m_pSliderView = nullptr;
    mutable kivra::EditSession m_session{[this] { return Annotations(); }};
    mutable kivra::FrameCursor m_cursor{[this] { return Stream(); }};
    CTrimmingCommands m_trimming{*this};
    CEditHistory m_history{m_session};
    std::map<int, Command> m_commands;
    QMenu* m_pMenuFile = nullptr;
    QMenu* m_pMenuView = nullptr;
    QMenu* m_pMenuMovie = nullptr;
    QMenu* m_pMenuTrimming = nullptr;
    QMenu* m_pMenuMarker = nullptr;
    QMenu* m_pMenuHelp = nullptr;
    QLabel* m_pRatePane = nullptr;
    kivra::FramePositionPane* m_pFramePane = nullptr;  // child of the status bar
    QAction* m_pRecentFilesEnd = nullptr;              // the separator after the recent files
    std::vector<QAction*> m_recentFileActions;         // owned by the File menu
    CSliderDlgBar* m_pSliderBar = nullptr;             // child of this window
    QToolBar* m_pSliderToolBar = nullptr;              // the docked bar holding it
    QToolBar* m_pMosaicToolBar = nullptr;
    QAction* m_pStatusBarToggle = nullptr;
    CSetMarkerIDDlg* m_pSetMarkerIdDlg = nullptr;  // child of this window
    CQuickStartDlg* m_pQuickStart = nullptr;       // child of this window
    CKinematicsCommands* m_pKinematics = nullptr;  // child of this window
    kivra::GaitTools* m_pGait = nullptr;           // child of this window
    ZebsCOOIconToolBar* m_pMovieBar = nullptr;     // children of this window
    ZebsCOOIconToolBar* m_pTrimmingBar = nullptr;
    ZebsCOOIconToolBar* m_pMarkerBar = nullptr;
    CMosaicSizeDlgBar* m_pMosaicBar = nullptr;
    CCodecListDialog* m_pCodecList = nullptr;
    CTextStreamDialog* m_pTextInfo = nullptr;
    QPointer<CHelpDlg> m_pNavigator;  // deletes itself when closed
    QTimer m_idleTimer;               // the idle update of command states
    CPlaybackController m_playback{*this, m_cursor};
    std::unique_ptr<kivra::ProgressSink> m_pProgress;  // the progress dialog of long jobs
    kivra::JobRunner m_jobs{this, m_messages};  // last: a running job ends before the rest goes
};

namespace kivra {
// The frame as the host of its kinematics tools (main_frame_kinematics_host.cpp).
std::unique_ptr<KinematicsHost> MakeKinematicsHost(CMainFrame& frame);
}  // namespace kivra
