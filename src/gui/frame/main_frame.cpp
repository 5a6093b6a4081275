#include "frame/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include "frame/base_pane.h"
#include "frame/frame_position_pane.h"
#include "frame/progress_dlg.h"
#include "frame/slider_dlg_bar.h"
#include "gait/gait_tools.h"
#include "kinematics/kinematics_commands.h"
#include "markers/set_marker_id_dlg.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "reading/avi_video_stream.h"
#include "settings/inifile_manager.h"
#include "ui/icon_toolbar.h"
#include "ui/quick_start_dlg.h"
#include "view/vfw_view.h"
#include "workspace/workspace.h"

using kivra::CommandId;

namespace {

constexpr int kIdleUpdateMs = 100;
constexpr int kMinTrackWidth = 470;
constexpr int kMinTrackHeight = 420;
constexpr int kSavedStatusMs = 15000;
constexpr int kStepHintStatusMs = 6000;

}  // namespace

CMainFrame::CMainFrame(kivra::MainFrameHost& app) : m_app(app), m_messages(this) {
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowTitle(QStringLiteral("Kivra"));
    setMinimumSize(kMinTrackWidth, kMinTrackHeight);
    m_session.LoadSettings(Settings());

    m_pKinematics =
        new CKinematicsCommands(kivra::MakeKinematicsHost(*this), Settings().MaxID, this);
    m_pGait = new kivra::GaitTools(kivra::MakeKinematicsHost(*this), *m_pKinematics,
                                   m_history.Stack(), Settings().MaxID, this);

    CreateMenus();
    CreateStatusBar();
    CreateSliderBar();
    CreateBars();
    m_pSetMarkerIdDlg = new CSetMarkerIDDlg(Settings(), this);
    m_pSetMarkerIdDlg->SetClosedCallback([this] { UpdateAllViews(); });
    m_pSetMarkerIdDlg->FollowFrames(m_cursor);
    m_session.AddObserver(this);

    auto* pane = new CBasePaneV(*this, *this, this);
    SetPaneViews(pane, pane->VideoView(), pane->SliderView());
    m_pSliderView->SetGaitEvents(&m_pGait->Events());
    setCentralWidget(pane);
    // While an area is being set, its keys come here before shortcuts and focus moves see them.
    if (m_pVideoView != nullptr) {
        m_pVideoView->installEventFilter(this);
    }
    installEventFilter(this);
    // The navigator opens once the window is up and placed, so it can stand beside it.
    QMetaObject::invokeMethod(
        this, [this] { Action(kivra::ID_VIEW_NAVIGATOR)->trigger(); }, Qt::QueuedConnection);

    connect(&m_idleTimer, &QTimer::timeout, this, &CMainFrame::UpdateCommandUI);
    m_idleTimer.start(kIdleUpdateMs);
    LoadBarState();
    UpdateCommandUI();
}

CMainFrame::~CMainFrame() {
    m_idleTimer.stop();
    StopPlayback();
    m_session.RemoveObserver(this);
    m_session.StoreSettings(Settings());
}

CInifileManager& CMainFrame::Settings() const {
    return *m_app.GetSettings();
}

CVfwDoc* CMainFrame::GetDocument() const {
    return m_app.GetDocument();
}

CAviVideoStream* CMainFrame::Stream() const {
    const CVfwDoc* doc = GetDocument();
    return doc != nullptr ? doc->Stream() : nullptr;
}

VideoAnnotations* CMainFrame::Annotations() const {
    const CVfwDoc* doc = GetDocument();
    return doc != nullptr ? doc->Annotations() : nullptr;
}

kivra::Workspace& CMainFrame::Actions() const {
    return *m_app.GetWorkspace();
}

void CMainFrame::AttachWorkspace(kivra::Workspace& workspace) {
    workspace.SetSavedListener(
        [this](const kivra::ActionResult& saved) { m_trimming.OnMarkersSaved(saved.path); });
}

bool CMainFrame::IsVideoOpen() const {
    // Opening another file drops the old stream before the path changes, and its messages
    // run the idle update in between: a path alone does not make a video.
    const CVfwDoc* doc = GetDocument();
    return doc != nullptr && !doc->PathName().empty() && doc->Stream() != nullptr;
}

void CMainFrame::SetPaneViews(CBasePaneV* pane, CVfwView* videoView, CSliderView* sliderView) {
    m_pBasePane = pane;
    m_pVideoView = videoView;
    m_pSliderView = sliderView;
}

void CMainFrame::CreateMenus() {
    QMenuBar* bar = menuBar();
    m_pMenuFile = bar->addMenu(tr("ファイル(&F)"));
    m_pMenuView = bar->addMenu(tr("表示(&V)"));
    m_pMenuMovie = bar->addMenu(tr("動画(&O)"));
    m_pMenuTrimming = bar->addMenu(tr("トリミング(&T)"));
    m_pMenuMarker = bar->addMenu(tr("マーカ(&M)"));
    m_pMenuHelp = bar->addMenu(tr("ヘルプ(&H)"));
    for (QMenu* menu :
         {m_pMenuFile, m_pMenuView, m_pMenuMovie, m_pMenuTrimming, m_pMenuMarker, m_pMenuHelp}) {
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
    }
    connect(m_pMenuFile, &QMenu::aboutToShow, this, &CMainFrame::RebuildRecentFileMenu);
    const auto always = [] { return true; };

    AddCommand(
        m_pMenuFile, kivra::ID_FILE_OPEN, tr("開く(&O)...\tCtrl+O"),
        QKeySequence(Qt::CTRL | Qt::Key_O), [this] { m_app.OnFileOpen(); },
        [this] { return !IsPlaying(); });
    AddCommand(
        m_pMenuFile, kivra::ID_FILE_NEW, tr("閉じる(&C)"), {}, [this] { m_app.OnFileNew(); },
        [this] { return m_app.CanCloseVideo(); });
    m_pMenuFile->addSeparator();
    AddCommand(
        m_pMenuFile, kivra::ID_TRIMMING_SAVE_MOVIE, tr("動画保存(&M)..."), {},
        [this] { OnSaveTrimmedMovie(); }, [this] { return CanSaveTrimmedMovie(); });
    m_pMenuFile->addSeparator();
    m_pRecentFilesEnd = m_pMenuFile->addSeparator();
    RebuildRecentFileMenu();
    AddCommand(
        m_pMenuFile, kivra::ID_APP_EXIT, tr("終了(&X)"), {}, [this] { close(); }, always);

    AddCommand(
        m_pMenuView, kivra::ID_VIEW_IMAGE_INFO, tr("画像情報( &I )\tCtrl + I"),
        QKeySequence(Qt::CTRL | Qt::Key_I), [this] { OnViewImageInfo(); },
        [this] { return IsVideoOpen(); }, [this] { return m_session.ShowInfo(); });
    m_pMenuView->addSeparator();
    AddCommand(
        m_pMenuView, kivra::ID_VIEW_DEINTERLACE, tr("インターレース除去(&D)\tCtrl + D"),
        QKeySequence(Qt::CTRL | Qt::Key_D), [this] { OnViewDeinterlace(); },
        [this] { return IsVideoOpen(); }, [this] { return Settings().Deinterlace != 0; });
    // Taken at the next open: the open video stays as it was read.
    AddCommand(
        m_pMenuView, kivra::ID_VIEW_OPEN_DIRECT, tr("動画を変換せずに開く(&R)"), {},
        [this] { Settings().OpenDirect = Settings().OpenDirect != 0 ? 0 : 1; },
        [this] { return !IsPlaying(); }, [this] { return Settings().OpenDirect != 0; });

    const auto canStep = [this] { return m_playback.CanStep(); };
    AddCommand(
        m_pMenuMovie, kivra::ID_MOVIE_FIRST, tr("最初(&F)\tHome"), QKeySequence(Qt::Key_Home),
        [this] { m_playback.First(); }, canStep);
    AddCommand(
        m_pMenuMovie, kivra::ID_MOVIE_BACK, tr("戻る(&B)\t<-"), QKeySequence(Qt::Key_Left),
        [this] { m_playback.Previous(); }, canStep);
    m_pMenuMovie->addSeparator();
    AddCommand(
        m_pMenuMovie, kivra::ID_MOVIE_STOP, tr("停止(&S)\tF7"), QKeySequence(Qt::Key_F7),
        [this] { m_playback.Stop(); }, [this] { return m_playback.CanStop(); });
    AddCommand(
        m_pMenuMovie, kivra::ID_MOVIE_PLAY, tr("再生(&P)\tF8"), QKeySequence(Qt::Key_F8),
        [this] { m_playback.Play(); }, [this] { return m_playback.CanPlay(); });
    AddCommand(
        m_pMenuMovie, kivra::ID_MOVIE_REVERSE_PLAY, tr("逆再生(&R)\tShift+F8"),
        QKeySequence(Qt::SHIFT | Qt::Key_F8), [this] { m_playback.ReversePlay(); },
        [this] { return m_playback.CanPlay(); });
    m_pMenuMovie->addSeparator();
    AddCommand(
        m_pMenuMovie, kivra::ID_MOVIE_NEXT, tr("進む(&N)\t->"), QKeySequence(Qt::Key_Right),
        [this] { m_playback.Next(); }, canStep);
    AddCommand(
        m_pMenuMovie, kivra::ID_MOVIE_LAST, tr("最後(&L)\tEnd"), QKeySequence(Qt::Key_End),
        [this] { m_playback.Last(); }, canStep);
    AddCommand(
        nullptr, kivra::ID_FILE_SAVE_FRAME_BMP, tr("フレームをビットマップで保存"), {},
        [this] { OnSaveFrameAsBitmap(); }, [this] { return IsVideoOpen() && !IsPlaying(); });

    m_trimming.AddCommands(*this, m_pMenuTrimming, m_pMenuMarker);
    m_pGait->AddCommands(*this, m_pMenuMarker);

    AddCommand(
        m_pMenuHelp, kivra::ID_HELP_QUICK_START, tr("クイックスタート(&Q)"), {},
        [this] { OnHelpQuickStart(); }, always);
    m_pMenuHelp->addSeparator();
    AddCommand(
        m_pMenuHelp, kivra::ID_APP_ABOUT, tr("バージョン情報(&A)..."), {},
        [this] { m_app.OnAppAbout(); }, always);
}

void CMainFrame::OnHelpQuickStart() {
    if (m_pQuickStart == nullptr) {
        m_pQuickStart = new CQuickStartDlg(m_app.Language(), this);
    }
    m_pQuickStart->show();
    m_pQuickStart->raise();
    m_pQuickStart->activateWindow();
}

void CMainFrame::CreateSliderBar() {
    m_pSliderBar = new CSliderDlgBar(this);
    m_pSliderBar->FollowFrames(m_cursor);
    m_pSliderBar->SetActions({
        [this] { return m_playback.IsForwardPlaying(); },
        [this] { m_playback.Stop(); },
        [this] { m_playback.Play(); },
        [this](int frame) {
            if (Stream() != nullptr) {
                m_playback.ShowFrame(frame);  // the trackbar already stands there
            }
        },
    });
    m_pSliderBar->InitializeBar(Settings());
    QToolBar* bar = m_pSliderBar->WrapInToolBar(this);  // docked with the other bars
    m_pSliderToolBar = bar;
    // Hidden at first; shown by its toggle, the toolbar area's context menu or a saved layout.
    AddCommand(
        nullptr, kivra::ID_VIEW_SLIDER_BAR, tr("スライダーバー"), {},
        [bar] { bar->setVisible(!bar->isVisible()); }, [] { return true; },
        [bar] { return bar->isVisible(); });
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setStyleSheet(QStringLiteral("QStatusBar::item { border: 0px; }"));
    m_pFramePane = new kivra::FramePositionPane(bar);
    m_pFramePane->FollowFrames(m_cursor);
    bar->addPermanentWidget(m_pFramePane);
    m_pRatePane = new QLabel(bar);
    m_pRatePane->setObjectName(QStringLiteral("RatePane"));
    const QString widthText = QString::fromStdString(kivra::LoadString(kivra::kIdsRatePaneWidth));
    m_pRatePane->setMinimumWidth(m_pRatePane->fontMetrics().horizontalAdvance(widthText));
    bar->addPermanentWidget(m_pRatePane);
}

QAction* CMainFrame::AddCommand(QMenu* menu, CommandId id, const QString& menuText,
                                const QKeySequence& shortcut, std::function<void()> run,
                                std::function<bool()> enabled, std::function<bool()> checked) {
    auto* action = new QAction(menuText.section(QLatin1Char('\t'), 0, 0), this);
    action->setData(static_cast<int>(id));
    action->setShortcut(shortcut);
    action->setCheckable(static_cast<bool>(checked));
    if (menu != nullptr) {
        menu->addAction(action);
    } else {
        addAction(action);  // no menu entry, still reachable by its identifier
    }
    Command& command = m_commands[id];
    command = {action, std::move(enabled), std::move(checked)};
    connect(action, &QAction::triggered, this, [this, id, run = std::move(run)] {
        // A shortcut may fire between two idle updates: the rule decides, not the last state.
        Command& c = m_commands[id];
        if (!c.enabled()) {
            UpdateCommand(c);
            return;
        }
        run();
        UpdateCommandUI();
    });
    UpdateCommand(command);
    return action;
}

void CMainFrame::RefreshOnShow(QMenu* menu) {
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
}

QAction* CMainFrame::Action(CommandId id) const {
    const auto it = m_commands.find(id);
    return it == m_commands.end() ? nullptr : it->second.action;
}

void CMainFrame::UpdateCommand(Command& command) {
    command.action->setEnabled(command.enabled());
    if (command.checked) {
        command.action->setChecked(command.checked());
    }
}

void CMainFrame::UpdateCommandUI() {
    for (auto& [id, command] : m_commands) {
        UpdateCommand(command);
    }
    UpdateBarStates();
}

void CMainFrame::UpdateTitle() {
    const CVfwDoc* doc = GetDocument();
    if (doc == nullptr || doc->PathName().empty()) {
        setWindowTitle(QStringLiteral("Kivra"));
        return;
    }
    const QString name = QFileInfo(QFile::decodeName(doc->PathName().c_str())).fileName();
    setWindowTitle(name + QStringLiteral(" - Kivra"));
}

void CMainFrame::OnViewImageInfo() {
    m_session.SetShowInfo(!m_session.ShowInfo());
}

void CMainFrame::OnViewDeinterlace() {
    Settings().Deinterlace = Settings().Deinterlace ? 0 : 1;
    if (m_pVideoView != nullptr) {
        m_pVideoView->update();
    }
}

kivra::ProgressSink& CMainFrame::Progress() {
    if (!m_pProgress) {
        m_pProgress = std::make_unique<kivra::ProgressDlgSink>(this);
    }
    return *m_pProgress;
}

const std::vector<int>& CMainFrame::MarkerFrames() const {
    static const std::vector<int> kNone;
    const VideoAnnotations* annotations = Annotations();
    return annotations != nullptr ? annotations->m_markers.FramesWithMarkers() : kNone;
}

int CMainFrame::RangeStart() const {
    return m_session.RangeStart();
}

int CMainFrame::RangeEnd() const {
    return m_session.RangeEnd();
}

int CMainFrame::Area1Frame() const {
    return m_session.Area1().frame;
}

int CMainFrame::Area2Frame() const {
    return m_session.Area2().frame;
}

float CMainFrame::PlaySpeedRate() const {
    return Settings().PlaySpeedRate;
}

void CMainFrame::RedrawVideoNow() {
    if (m_pVideoView != nullptr) {
        m_pVideoView->repaint();
    }
}

void CMainFrame::SetPlayButtonPlaying(bool playing) {
    if (m_pMovieBar != nullptr) {
        m_pMovieBar->SetPlayButtonPlaying(playing);
    }
}

std::string CMainFrame::IniPath() const {
    return Settings().GetIniPath();
}

void CMainFrame::SetRateText(const QString& text) {
    if (m_pRatePane != nullptr && m_pRatePane->text() != text) {
        m_pRatePane->setText(text);
    }
}

kivra::MsgAnswer CMainFrame::ShowMessage(const std::string& text, kivra::MsgButtons buttons,
                                         kivra::MsgIcon icon) {
    return m_messages.ShowMessage(text, buttons, icon);
}

bool CMainFrame::IsMarkerIdDialogVisible() const {
    return m_pSetMarkerIdDlg != nullptr && m_pSetMarkerIdDlg->isVisible();
}

std::optional<int> CMainFrame::ReadBackMarkerId() {
    if (m_pSetMarkerIdDlg == nullptr) {
        return std::nullopt;
    }
    return m_pSetMarkerIdDlg->ReadBack();
}

void CMainFrame::AdvanceMarkerId() {
    if (m_pSetMarkerIdDlg != nullptr) {
        m_pSetMarkerIdDlg->AdvanceId();
    }
}

void CMainFrame::OpenDocumentFile(const std::string& path) {
    m_app.OpenDocumentFile(path);
}

void CMainFrame::ClickPlacedNothing(kivra::MarkerStep missing) {
    QString text;
    switch (missing) {
        case kivra::MarkerStep::kAreas:
            text =
                tr("マーカを置くには、まず[トリミング]-[エリア指定]でエリア１とエリア２を"
                   "指定してください。");
            break;
        case kivra::MarkerStep::kPreview:
            text =
                tr("マーカを置くには、[トリミング]-[プレビュー]でプレビューモードにしてください。");
            break;
        case kivra::MarkerStep::kMarkerId:
            text = tr("マーカを置くには、[マーカ]-[IDの指定]でマーカのIDを選んでください。");
            break;
    }
    statusBar()->showMessage(text, kStepHintStatusMs);
}

kivra::EditSession::SkipFill CMainFrame::SkippedFramesFill() const {
    return Actions().SkippedFramesFill();
}

void CMainFrame::ToggleMarkerIdDialog() {
    m_trimming.OnMarkerSetId();
}

void CMainFrame::StopPlayback() {
    m_playback.Stop();
}

void CMainFrame::SessionChanged(unsigned changes) {
    if ((changes & kivra::kChangeMosaic) != 0) {
        SyncMosaicBar();  // an undone mosaic step too
    }
    if ((changes & kivra::kChangeTrimmingMode) != 0) {
        RefreshNavigatorCaption();
    }
    if ((changes & (kivra::kChangeMarkers | kivra::kChangeRange | kivra::kChangeVideo)) != 0 &&
        m_pKinematics != nullptr) {
        m_pKinematics->OnMarkersChanged();
        m_pGait->OnSessionChanged(changes);
    }
    UpdateAllViews();
    if ((changes & kivra::kChangeVideo) != 0) {
        VideoChanged();
    }
}

void CMainFrame::VideoChanged() {
    if (m_pVideoView != nullptr) {
        m_pVideoView->InvalidatePictureCache();
    }
    if (!m_session.HasVideo()) {
        UpdateRateStatus();
        return;
    }
    if (m_pSliderBar != nullptr) {
        m_pSliderBar->ResetTrackbar(m_session.FrameCount());
    }
    if (m_pKinematics != nullptr) {
        m_pKinematics->OnVideoOpened();
    }
    // Posted, not run: the open finishes first.
    QMetaObject::invokeMethod(
        this, [this] { m_playback.First(); }, Qt::QueuedConnection);
}

void CMainFrame::ShowSavedStatus(const QString& text) {
    statusBar()->showMessage(text, kSavedStatusMs);
}

void CMainFrame::UpdateAllViews() {
    if (m_pFramePane != nullptr) {
        m_pFramePane->Refresh(Stream(), m_cursor.Current());
    }
    if (m_pVideoView != nullptr) {
        m_pVideoView->update();
    }
    if (m_pSliderView != nullptr) {
        m_pSliderView->update();
    }
    if (m_pKinematics != nullptr) {
        m_pKinematics->OnViewsUpdated();
        m_pGait->OnViewsUpdated();
    }
}

void CMainFrame::UpdateRateStatus() {
    m_playback.UpdateRateStatus();
    if (m_pFramePane != nullptr) {
        m_pFramePane->Refresh(Stream(), m_cursor.Current());  // also once the video closed
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_app.GetWorkspace() != nullptr && !Actions().ConfirmDiscardMarkers()) {
        event->ignore();
        return;
    }
    SaveBarState();
    event->accept();
}

bool CMainFrame::AnyMarkers() const {
    const VideoAnnotations* annotations = Annotations();
    return annotations != nullptr && annotations->m_markers.AnyMarkers();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        const bool areaKey = key->key() == Qt::Key_Escape || key->key() == Qt::Key_Tab ||
                             key->key() == Qt::Key_Backtab || key->key() == Qt::Key_Up ||
                             key->key() == Qt::Key_Down;
        if (areaKey && m_session.GetViewMode() == kivra::kAreaMode) {
            if (event->type() == QEvent::ShortcutOverride) {
                event->accept();  // the key goes to us, not to a shortcut
                return false;
            }
            return m_trimming.HandleAreaKey(*key);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
