#include "frame/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>

#include "file/file_commands.h"
#include "frame/base_pane.h"
#include "frame/frame_position_pane.h"
#include "frame/slider_dlg_bar.h"
#include "frame/video_pane.h"
#include "gait/gait_tools.h"
#include "gait/gait_window.h"
#include "kinematics/calibration_dlg.h"
#include "kinematics/kinematics_commands.h"
#include "kinematics/kinematics_plot.h"
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
constexpr int kActiveBorder = 3;

// The coloured frame around a pane of the two-pane layout; the pane fills all but its border.
QWidget* PaneHolder(QWidget* pane) {
    auto* holder = new QWidget;
    holder->setObjectName(QStringLiteral("PaneHolder"));
    holder->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(holder);
    layout->setContentsMargins(kActiveBorder, kActiveBorder, kActiveBorder, kActiveBorder);
    layout->addWidget(pane);
    return holder;
}

}  // namespace

CMainFrame::CMainFrame(kivra::OpenVideo& video, kivra::Workspace& actions,
                       const kivra::WindowSettings& settings,
                       const kivra::RecentFileList* recentFiles, kivra::UiLanguage language)
    : m_language(language),
      m_video(video),
      m_actions(actions),
      m_settings(settings),
      m_messages(this) {
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowTitle(QStringLiteral("Kivra"));
    setMinimumSize(kMinTrackWidth, kMinTrackHeight);
    m_actions.SetSavedListener(
        [this](const kivra::ActionResult& saved) { m_markers.OnMarkersSaved(saved.path); });
    m_pSync = kivra::MakePaneLink(*this);

    MakeTools(0, m_video, m_actions);
    m_pFiles = new kivra::FileCommands(
        m_context, recentFiles,
        {m_playback, [this] { return IsMarkerIdDialogVisible(); },
         [this](const QString& text) { ShowSavedStatus(text); }, [this] { HideTextInformation(); }},
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
    m_pBars->Create(ViewMenu());
    m_pSync->AddCommands(m_commands, ViewMenu());
    MakeMarkerIdDialog();

    m_panes[0] = std::make_unique<kivra::VideoPane>(
        m_video, m_actions, *this, m_playback,
        [this](unsigned changes) { PaneSessionChanged(0, changes); });
    m_pVideoView = m_panes[0]->View();
    m_pSliderView = m_panes[0]->Slider();
    setCentralWidget(m_panes[0]->Widget());
    m_pVideoView->installEventFilter(this);
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
    DropTools(1);
    m_panes[1].reset();
    m_video.Session().StoreSettings(Settings().Trimming());
    m_actions.SetSavedListener({});
}

void CMainFrame::CreateMenus() {
    const char* const titles[] = {QT_TR_NOOP("ファイル(&F)"), QT_TR_NOOP("表示(&V)"),
                                  QT_TR_NOOP("動画(&O)"),     QT_TR_NOOP("トリミング(&T)"),
                                  QT_TR_NOOP("マーカ(&M)"),   QT_TR_NOOP("ヘルプ(&H)")};
    for (std::size_t i = 0; i < m_menus.size(); ++i) {
        m_menus[i] = menuBar()->addMenu(tr(titles[i]));
        m_commands.RefreshOnShow(m_menus[i]);
    }
    m_pFiles->AddCommands(FileMenu());
    kivra::AddMovieCommands(m_commands, MovieMenu(), m_playback);
    m_trimming.AddCommands(TrimmingMenu());
    m_markers.AddCommands(MarkerMenu());
    m_kinematics[0]->AddCommands(m_toolCommands.For(0), MarkerMenu(),
                                 [this] { return IsMarkerIdDialogVisible(); });
    m_gait[0]->AddCommands(m_toolCommands.For(0), MarkerMenu());

    kivra::AddHelpCommands(m_commands, HelpMenu(), this, m_language, [this] {
        CAboutDlg about(this);
        about.exec();
    });
}

CQuickStartDlg* CMainFrame::QuickStart() const {
    return findChild<CQuickStartDlg*>();
}

void CMainFrame::ShowOpening(bool opening) {
    m_pVideoView->SetVideoHidden(opening);
    FramePane()->Refresh(opening ? nullptr : Stream(), Cursor().Current());
}

void CMainFrame::UpdateTitle() {
    if (Video().Path().empty()) {
        setWindowTitle(QStringLiteral("Kivra"));
        return;
    }
    const QString name = QFileInfo(QFile::decodeName(Video().Path().c_str())).fileName();
    setWindowTitle(name + QStringLiteral(" - Kivra"));
}

kivra::VideoPane* CMainFrame::Pane(int index) const {
    return index == 0 || index == 1 ? m_panes[std::size_t(index)].get() : nullptr;
}

CKinematicsCommands* CMainFrame::Kinematics(int pane) const {
    return pane == 0 || pane == 1 ? m_kinematics[std::size_t(pane)] : nullptr;
}

kivra::GaitTools* CMainFrame::Gait(int pane) const {
    return pane == 0 || pane == 1 ? m_gait[std::size_t(pane)] : nullptr;
}

void CMainFrame::MakeTools(int pane, kivra::OpenVideo& video, kivra::Workspace& actions) {
    const auto index = std::size_t(pane);
    const int maxId = Settings().MarkerId().maxId;
    auto* kinematics = new CKinematicsCommands(
        kivra::MakeKinematicsHost(*this, video, actions, pane), maxId, this);
    auto* gait = new kivra::GaitTools(kivra::MakeKinematicsHost(*this, video, actions, pane),
                                      *kinematics, maxId, this);
    m_kinematics[index] = kinematics;
    m_gait[index] = gait;
    if (pane == 0) {
        return;  // the menus are made next, with pane 0's commands
    }
    kinematics->AddCommands(m_toolCommands.For(pane), m_toolCommands.Unshown(),
                            [this] { return IsMarkerIdDialogVisible(); });
    gait->AddCommands(m_toolCommands.For(pane), m_toolCommands.Unshown());
    // One set of angles, feet and bands for the window: what either pane stores, both use.
    CKinematicsCommands* const first = m_kinematics[0];
    kivra::GaitTools* const firstGait = m_gait[0];
    kinematics->AdoptSettings(first->Settings());
    gait->AdoptSetup(*firstGait);
    connect(first, &CKinematicsCommands::settingsChanged, kinematics,
            [kinematics, first] { kinematics->AdoptSettings(first->Settings()); });
    connect(kinematics, &CKinematicsCommands::settingsChanged, first,
            [kinematics, first] { first->AdoptSettings(kinematics->Settings()); });
    connect(firstGait, &kivra::GaitTools::setupStored, gait,
            [gait, firstGait] { gait->AdoptSetup(*firstGait); });
    connect(gait, &kivra::GaitTools::setupStored, firstGait,
            [gait, firstGait] { firstGait->AdoptSetup(*gait); });
}

void CMainFrame::DropTools(int pane) {
    const auto index = std::size_t(pane);
    m_toolCommands.Forget(pane);
    if (kivra::VideoPane* shown = Pane(pane)) {
        shown->View()->SetPictureClickHook(nullptr);
    }
    // Their windows are children of this window: they go with the tools, not with the window.
    if (m_gait[index] != nullptr) {
        delete m_gait[index]->Window();
        delete m_gait[index];
        m_gait[index] = nullptr;
    }
    if (m_kinematics[index] != nullptr) {
        delete m_kinematics[index]->PlotWindow();
        delete m_kinematics[index]->CalibrationDialog();
        delete m_kinematics[index];
        m_kinematics[index] = nullptr;
    }
}

void CMainFrame::MakeMarkerIdDialog() {
    // The dialog works on one session: the active pane's gets a dialog of its own.
    const bool shown = IsMarkerIdDialogVisible();
    delete m_pSetMarkerIdDlg;
    m_pSetMarkerIdDlg = new CSetMarkerIDDlg(Session(), Settings().MarkerId(), this);
    m_pSetMarkerIdDlg->SetClosedCallback([this] { Session().DisplayChanged(); });
    m_pSetMarkerIdDlg->setVisible(shown);
}

void CMainFrame::ActivatePane(int index) {
    kivra::VideoPane* pane = Pane(index);
    if (pane == nullptr || index == m_nActivePane) {
        return;
    }
    // The linked pair plays through the active pane: a switch stops it.
    StopPlayback();
    m_nActivePane = index;
    FollowActivePane();
}

void CMainFrame::FollowActivePane() {
    kivra::VideoPane& pane = *m_panes[std::size_t(m_nActivePane)];
    m_pVideoView = pane.View();
    m_pSliderView = pane.Slider();
    m_playback.SetVideo(pane.Video());
    m_active.Set(pane.Video(), pane.Actions());
    m_pBars->FollowActive();
    MakeMarkerIdDialog();
    MarkActivePane();
    UpdateRateStatus();
    UpdateTitle();
    UpdateCommandUI();
}

void CMainFrame::MarkActivePane() {
    for (std::size_t i = 0; i < m_panes.size(); ++i) {
        QWidget* holder = m_panes[i] != nullptr && m_pSplitter != nullptr
                              ? m_panes[i]->Widget()->parentWidget()
                              : nullptr;
        if (holder == nullptr) {
            continue;
        }
        QPalette palette = holder->palette();
        palette.setColor(QPalette::Window, int(i) == m_nActivePane
                                               ? palette.color(QPalette::Highlight)
                                               : this->palette().color(QPalette::Window));
        holder->setPalette(palette);
    }
}

void CMainFrame::ShowSecondPane(kivra::OpenVideo& video, kivra::Workspace& actions) {
    if (TwoPanes()) {
        return;
    }
    m_panes[1] = std::make_unique<kivra::VideoPane>(
        video, actions, *this, m_playback,
        [this](unsigned changes) { PaneSessionChanged(1, changes); });
    MakeTools(1, video, actions);
    actions.SetSavedListener(
        [this](const kivra::ActionResult& saved) { m_markers.OnMarkersSaved(saved.path); });
    m_panes[1]->View()->installEventFilter(this);
    for (const auto& pane : m_panes) {
        pane->Slider()->installEventFilter(this);
    }
    QWidget* first = takeCentralWidget();
    m_pSplitter = new QSplitter(Qt::Horizontal);
    m_pSplitter->setObjectName(QStringLiteral("PaneSplitter"));
    m_pSplitter->setChildrenCollapsible(false);
    m_pSplitter->addWidget(PaneHolder(first));
    m_pSplitter->addWidget(PaneHolder(m_panes[1]->Widget()));
    setCentralWidget(m_pSplitter);
    const int half = std::max(width() / 2, 1);
    m_pSplitter->setSizes({half, half});
    MarkActivePane();
    m_pSync->PanesChanged();
}

void CMainFrame::RemoveSecondPane() {
    if (!TwoPanes()) {
        return;
    }
    ActivatePane(0);
    StopPlayback();
    m_pSync->PanesChanging();
    m_panes[1]->Actions().SetSavedListener({});
    m_panes[0]->Slider()->removeEventFilter(this);
    DropTools(1);
    QWidget* splitter = takeCentralWidget();
    m_panes[1].reset();
    setCentralWidget(m_panes[0]->Widget());  // out of its holder, which goes with the splitter
    m_pSplitter = nullptr;
    delete splitter;
    m_pSync->PanesChanged();
    UpdateCommandUI();
}

void CMainFrame::PaneOpenEnded(int index, const std::string& path, bool opened) {
    m_pSync->OpenEnded(index, path, opened);
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

void CMainFrame::PaneSessionChanged(int index, unsigned changes) {
    if ((changes & kivra::kChangeVideo) != 0) {
        m_pSync->VideoChanged(index);
    }
    if (index != m_nActivePane) {
        kivra::VideoPane* pane = Pane(index);
        if (pane != nullptr && (changes & kivra::kChangeVideo) != 0) {
            pane->View()->InvalidatePictureCache();
        }
        return;
    }
    if ((changes & kivra::kChangeMosaic) != 0) {
        SyncMosaicBar();  // an undone mosaic step too
    }
    if ((changes & kivra::kChangeTrimmingMode) != 0) {
        m_pBars->RefreshNavigatorCaption();
    }
    if ((changes & kivra::kChangeVideo) != 0) {
        VideoChanged();
    }
}

void CMainFrame::VideoChanged() {
    if (m_pVideoView != nullptr) {
        m_pVideoView->InvalidatePictureCache();
    }
    if (!Session().HasVideo()) {
        UpdateRateStatus();
        return;
    }
    SliderBar()->ResetTrackbar(Session().FrameCount());
    // Posted, not run: the open finishes first.
    QMetaObject::invokeMethod(
        this, [this] { m_playback.First(); }, Qt::QueuedConnection);
}

void CMainFrame::ShowSavedStatus(const QString& text) {
    statusBar()->showMessage(text, kSavedStatusMs);
}

void CMainFrame::UpdateRateStatus() {
    m_playback.UpdateRateStatus();
    if (m_pBars != nullptr) {  // also once the video closed
        m_pBars->FramePane()->Refresh(Stream(), Cursor().Current());
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!m_actions.ConfirmDiscardMarkers() ||
        (TwoPanes() && !m_panes[1]->Actions().ConfirmDiscardMarkers())) {
        event->ignore();
        return;
    }
    m_pBars->SaveState();
    event->accept();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    // The pane pressed last (or dropped on) is the active one; the event goes on to it.
    if (TwoPanes()) {
        for (int i = 0; i < 2; ++i) {
            const kivra::VideoPane& pane = *m_panes[std::size_t(i)];
            if (watched == pane.Slider()) {
                if (event->type() == QEvent::MouseButtonPress) {
                    ActivatePane(i);
                }
                return QMainWindow::eventFilter(watched, event);
            }
            if (watched == pane.View() &&
                (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::Drop)) {
                ActivatePane(i);
            }
        }
    }
    // While an area is being set, its keys come here before shortcuts and focus moves see them.
    bool taken = false;
    if (m_trimming.FilterAreaKey(event, &taken)) {
        return taken;
    }
    return QMainWindow::eventFilter(watched, event);
}
