#include "frame/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QStatusBar>

#include "frame/frame_position_pane.h"
#include "frame/video_pane.h"
#include "gait/gait_tools.h"
#include "kinematics/kinematics_commands.h"
#include "markers/set_marker_id_dlg.h"
#include "movie/movie_commands.h"
#include "ui/about_dlg.h"
#include "ui/help_commands.h"
#include "ui/icon_toolbar.h"
#include "ui/quick_start_dlg.h"
#include "view/vfw_view.h"
#include "workspace/workspace.h"

namespace {

constexpr int kIdleUpdateMs = 100;
constexpr int kMinTrackWidth = 470;
constexpr int kMinTrackHeight = 420;
constexpr int kSavedStatusMs = 15000;
constexpr int kStepHintStatusMs = 6000;

}  // namespace

CMainFrame::CMainFrame(kivra::OpenVideo& video, kivra::Workspace& actions,
                       const kivra::WindowSettings& settings,
                       const kivra::RecentFileList* recentFiles, kivra::UiLanguage language)
    : m_language(language),
      m_video(video),
      m_actions(actions),
      m_settings(settings),
      m_messages(this),
      m_tools(
          this, *this, m_commands, [this] { return m_panes.Active(); },
          [this](int pane, kivra::OpenVideo& paneVideo, kivra::Workspace& paneActions) {
              return kivra::MakeKinematicsHost(*this, paneVideo, paneActions, pane);
          }),
      m_pSync(kivra::MakePaneLink(*this)),
      m_panes(
          *this, *this, m_playback, m_tools, *m_pSync,
          {[this](unsigned changes) {
               if (m_pBars != nullptr) {
                   m_pBars->ActiveSessionChanged(changes);
               }
           },
           [this] { StopPlayback(); }, [this] { FollowActivePane(); },
           [this](const kivra::ActionResult& saved) { m_markers.OnMarkersSaved(saved.path); }}) {
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowTitle(QStringLiteral("Kivra"));
    setMinimumSize(kMinTrackWidth, kMinTrackHeight);

    m_tools.Make(0, m_video, m_actions);
    m_pFiles = new kivra::FileCommands(m_context, recentFiles,
                                       {m_playback, [this] { return IsMarkerIdDialogVisible(); },
                                        [this](const QString& text) { ShowSavedStatus(text); },
                                        [this] { m_pBars->HideTextInformation(); }},
                                       this);
    connect(m_pFiles, &kivra::FileCommands::OpenRequested, this, &CMainFrame::OpenRequested);
    connect(m_pFiles, &kivra::FileCommands::CloseRequested, this, &CMainFrame::CloseRequested);
    connect(m_pFiles, &kivra::FileCommands::RecentFileRequested, this,
            &CMainFrame::RecentFileRequested);
    m_pBars = new kivra::ToolBars(
        m_context,
        {*this, m_commands, m_playback, [this](int type) { m_trimming.OnMosaicType(type); },
         [this] { return IsMarkerIdDialogVisible(); },
         [this] { return m_pSliderView != nullptr ? m_pSliderView->height() : 0; }, m_language},
        {m_settings.Slider(), m_settings.Program(), m_settings.IniPath(),
         m_settings.LanguageWriter()});
    CreateMenus();
    m_pBars->Create(Menu(kivra::WindowMenu::View));
    m_pSync->AddCommands(m_commands, Menu(kivra::WindowMenu::View));
    MakeMarkerIdDialog();

    m_panes.ShowFirst(m_video, m_actions);
    m_pVideoView = m_panes.Pane(0)->View();
    m_pSliderView = m_panes.Pane(0)->Slider();
    installEventFilter(this);
    // The navigator opens once the window is up and placed, so it can stand beside it.
    QMetaObject::invokeMethod(
        this, [this] { Action(kivra::ID_VIEW_NAVIGATOR)->trigger(); }, Qt::QueuedConnection);

    connect(&m_idleTimer, &QTimer::timeout, this, &CMainFrame::UpdateCommandUI);
    m_idleTimer.start(kIdleUpdateMs);
    m_pBars->LoadState();
    UpdateCommandUI();
}

CMainFrame::~CMainFrame() {
    m_idleTimer.stop();
    StopPlayback();
    m_tools.Drop(1, m_panes.Pane(1));
    m_video.Session().StoreSettings(Settings().Trimming());
    m_actions.SetSavedListener({});
}

void CMainFrame::CreateMenus() {
    using kivra::WindowMenu;
    m_commands.AddMenus(*this);
    m_pFiles->AddCommands(Menu(WindowMenu::File));
    kivra::AddMovieCommands(m_commands, Menu(WindowMenu::Movie), m_playback);
    m_trimming.AddCommands(Menu(WindowMenu::Trimming));
    m_markers.AddCommands(Menu(WindowMenu::Marker));
    m_tools.AddCommands(Menu(WindowMenu::Marker));
    kivra::AddHelpCommands(m_commands, Menu(WindowMenu::Help), this, m_language, [this] {
        CAboutDlg about(this);
        about.exec();
    });
}

CQuickStartDlg* CMainFrame::QuickStart() const {
    return findChild<CQuickStartDlg*>();
}

void CMainFrame::ShowOpening(bool opening) {
    m_pVideoView->SetVideoHidden(opening);
    m_pBars->FramePane()->Refresh(opening ? nullptr : Stream(), Cursor().Current());
}

void CMainFrame::UpdateTitle() {
    if (Video().Path().empty()) {
        setWindowTitle(QStringLiteral("Kivra"));
        return;
    }
    const QString name = QFileInfo(QFile::decodeName(Video().Path().c_str())).fileName();
    setWindowTitle(name + QStringLiteral(" - Kivra"));
}

void CMainFrame::MakeMarkerIdDialog() {
    // The dialog works on one session: the active pane's gets a dialog of its own.
    const bool shown = IsMarkerIdDialogVisible();
    delete m_pSetMarkerIdDlg;
    m_pSetMarkerIdDlg = new CSetMarkerIDDlg(Session(), Settings().MarkerId(), this);
    m_pSetMarkerIdDlg->SetClosedCallback([this] { Session().DisplayChanged(); });
    m_pSetMarkerIdDlg->setVisible(shown);
}

void CMainFrame::FollowActivePane() {
    kivra::VideoPane& pane = m_panes.ActivePane();
    m_pVideoView = pane.View();
    m_pSliderView = pane.Slider();
    m_playback.SetVideo(pane.Video());
    m_active.Set(pane.Video(), pane.Actions());
    m_pBars->FollowActive();
    MakeMarkerIdDialog();
    UpdateRateStatus();
    UpdateTitle();
    UpdateCommandUI();
}

bool CMainFrame::IsMarkerIdDialogVisible() const {
    return m_pSetMarkerIdDlg != nullptr && m_pSetMarkerIdDlg->isVisible();
}

void CMainFrame::ClickPlacedNothing(kivra::MarkerStep missing) {
    statusBar()->showMessage(kivra::MarkerCommands::StepHint(missing), kStepHintStatusMs);
}

kivra::EditSession::SkipFill CMainFrame::SkippedFramesFill() const {
    return Actions().SkippedFramesFill();
}

void CMainFrame::ShowSavedStatus(const QString& text) {
    statusBar()->showMessage(text, kSavedStatusMs);
}

void CMainFrame::UpdateRateStatus() {
    if (m_pBars != nullptr) {
        m_pBars->UpdateRateStatus();
    } else {
        m_playback.UpdateRateStatus();  // before the bars are made
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!m_actions.ConfirmDiscardMarkers() ||
        (m_panes.Two() && !m_panes.Pane(1)->Actions().ConfirmDiscardMarkers())) {
        event->ignore();
        return;
    }
    m_pBars->SaveState();
    event->accept();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    // While an area is being set, its keys come here before shortcuts and focus moves see them.
    bool taken = false;
    if (m_trimming.FilterAreaKey(event, &taken)) {
        return taken;
    }
    return QMainWindow::eventFilter(watched, event);
}
