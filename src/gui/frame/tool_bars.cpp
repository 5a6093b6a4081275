#include "frame/tool_bars.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>

#include "frame/frame_position_pane.h"
#include "frame/language_menu.h"
#include "frame/menu_command_table.h"
#include "frame/mosaic_size_dlg_bar.h"
#include "frame/playback_controller.h"
#include "frame/slider_dlg_bar.h"
#include "platform/rw_ini_file.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "reading/avi_video_stream.h"
#include "settings/inifile_manager.h"
#include "ui/codec_list_dlg.h"
#include "ui/help_dlg.h"
#include "ui/icon_toolbar.h"
#include "ui/text_stream_dlg.h"
#include "workspace/open_video.h"

namespace kivra {

namespace {

constexpr const char* kBarStateSection = "ToolBarStatus";
constexpr const char* kBarStateKey = "State";
constexpr const char* kStatusBarKey = "StatusBar";
// Layouts written before the movie bar had its reverse-play button carry version 0.
constexpr int kBarLayoutVersion = 1;

// The bars keep the main window's translation context.
QString Menu(const char* text) {
    return QCoreApplication::translate("CMainFrame", text);
}

}  // namespace

ToolBars::ToolBars(const CommandContext& context, Window window, Settings settings)
    : QObject(&window.main),
      m_context(context),
      m_window(std::move(window)),
      m_settings(std::move(settings)) {
    QStatusBar* status = m_window.main.statusBar();
    status->setStyleSheet(QStringLiteral("QStatusBar::item { border: 0px; }"));
    m_pFramePane = new FramePositionPane(status);
    m_pFramePane->FollowFrames(m_context.active.Video().Cursor());
    status->addPermanentWidget(m_pFramePane);
    m_pRatePane = new QLabel(status);
    m_pRatePane->setObjectName(QStringLiteral("RatePane"));
    const QString widthText = QString::fromStdString(LoadString(kIdsRatePaneWidth));
    m_pRatePane->setMinimumWidth(m_pRatePane->fontMetrics().horizontalAdvance(widthText));
    status->addPermanentWidget(m_pRatePane);

    CPlaybackController& playback = m_window.playback;
    m_pSliderBar = new CSliderDlgBar(&m_window.main);
    m_pSliderBar->FollowFrames(m_context.active.Video().Cursor());
    ActiveVideo& active = m_context.active;
    m_pSliderBar->SetActions({
        [&playback] { return playback.IsForwardPlaying(); },
        [&playback] { playback.Stop(); },
        [&playback] { playback.Play(); },
        [&playback, &active](int frame) {
            if (active.Video().Stream() != nullptr) {
                playback.ShowFrame(frame);  // the trackbar already stands there
            }
        },
    });
    m_pSliderBar->InitializeBar(m_settings.slider);
    QToolBar* bar = m_pSliderBar->WrapInToolBar(&m_window.main);  // docked with the other bars
    m_pSliderToolBar = bar;
    // Hidden at first; shown by its toggle, the toolbar area's context menu or a saved layout.
    m_window.commands.AddCommand(
        nullptr, ID_VIEW_SLIDER_BAR, Menu(QT_TRANSLATE_NOOP("CMainFrame", "スライダーバー")), {},
        [bar] { bar->setVisible(!bar->isVisible()); }, [] { return true; },
        [bar] { return bar->isVisible(); });
}

void ToolBars::AddViewCommands(QMenu* view) {
    MenuCommandTable& commands = m_window.commands;
    ActiveVideo& active = m_context.active;
    TrimmingSettings& trimming = m_context.trimming;
    ProgramSettings& program = m_settings.program;
    commands.AddCommand(
        view, ID_VIEW_IMAGE_INFO, Menu(QT_TRANSLATE_NOOP("CMainFrame", "画像情報( &I )\tCtrl + I")),
        QKeySequence(Qt::CTRL | Qt::Key_I),
        [&active] { active.Video().Session().SetShowInfo(!active.Video().Session().ShowInfo()); },
        [&active] { return active.Video().IsOpen(); },
        [&active] { return active.Video().Session().ShowInfo(); });
    view->addSeparator();
    commands.AddCommand(
        view, ID_VIEW_DEINTERLACE,
        Menu(QT_TRANSLATE_NOOP("CMainFrame", "インターレース除去(&D)\tCtrl + D")),
        QKeySequence(Qt::CTRL | Qt::Key_D),
        [&active, &trimming] {
            trimming.deinterlace = !trimming.deinterlace;
            active.Video().Session().DisplayChanged();
        },
        [&active] { return active.Video().IsOpen(); },
        [&trimming] { return trimming.deinterlace; });
    // Taken at the next open: the open video stays as it was read.
    CPlaybackController& playback = m_window.playback;
    commands.AddCommand(
        view, ID_VIEW_OPEN_DIRECT,
        Menu(QT_TRANSLATE_NOOP("CMainFrame", "動画を変換せずに開く(&R)")), {},
        [&program] { program.openDirect = !program.openDirect; },
        [&playback] { return !playback.IsPlaying(); }, [&program] { return program.openDirect; });
}

void ToolBars::Create(QMenu* view) {
    QMainWindow& main = m_window.main;
    MenuCommandTable& commands = m_window.commands;
    const auto lookup = [&commands](CommandId id) { return commands.Action(id); };
    m_pTrimmingBar = CreateTrimmingToolBar(&main, lookup);
    m_pMovieBar = CreateMovieToolBar(&main, lookup);
    m_pMarkerBar = CreateMarkerToolBar(&main, lookup);
    m_pMosaicBar = new CMosaicSizeDlgBar(&main);
    m_pMosaicBar->SetOnSelected(m_window.mosaicChosen);
    m_pMosaicBar->InitializeBar(m_context.active.Video().Session().MosaicType());
    m_pMosaicToolBar = m_pMosaicBar->WrapInToolBar(&main);

    // First row: trimming, movie, mosaic shape, marker; the slider bar on a row of its own.
    main.addToolBar(Qt::TopToolBarArea, m_pTrimmingBar);
    main.addToolBar(Qt::TopToolBarArea, m_pMovieBar);
    main.addToolBar(Qt::TopToolBarArea, m_pMosaicToolBar);
    main.addToolBar(Qt::TopToolBarArea, m_pMarkerBar);
    main.addToolBarBreak(Qt::TopToolBarArea);
    main.addToolBar(Qt::TopToolBarArea, m_pSliderToolBar);
    m_pMarkerBar->hide();
    m_pSliderToolBar->hide();

    m_pCodecList = new CCodecListDialog(&main);
    m_pTextInfo = new CTextStreamDialog(&main);
    commands.AddCommand(
        nullptr, ID_VIEW_CODEC_LIST, Menu(QT_TRANSLATE_NOOP("CMainFrame", "コーデック一覧")),
        QKeySequence(Qt::CTRL | Qt::Key_L), [this] { m_pCodecList->Toggle(); },
        [] { return true; });
    ActiveVideo& active = m_context.active;
    commands.AddCommand(
        nullptr, ID_VIEW_TEXT_INFO, Menu(QT_TRANSLATE_NOOP("CMainFrame", "テキスト情報")),
        QKeySequence(Qt::CTRL | Qt::Key_A),
        [this, &active] {
            m_pTextInfo->SetText(QString::fromStdString(active.Video().Stream()->TextInfo()));
            m_pTextInfo->Toggle();
        },
        [&active] {
            return active.Video().IsOpen() && !active.Video().Stream()->TextInfo().empty();
        });

    // View menu: its own commands, the navigator, then the bars in a group of their own.
    AddViewCommands(view);
    view->addSeparator();
    commands.AddCommand(
        view, ID_VIEW_NAVIGATOR, Menu(QT_TRANSLATE_NOOP("CMainFrame", "ナビゲーター(&N)")), {},
        [this] { OnViewNavigator(); }, [] { return true; },
        [this] { return !m_pNavigator.isNull() && m_pNavigator->isVisible(); });
    view->addSeparator();
    QMenu* bars = view->addMenu(Menu(QT_TRANSLATE_NOOP("CMainFrame", "ツール バー(&T)")));
    const auto addToggle = [bars](QToolBar* bar, const QString& text) {
        QAction* toggle = bar->toggleViewAction();
        toggle->setText(text);
        bars->addAction(toggle);
    };
    addToggle(m_pMovieBar, Menu(QT_TRANSLATE_NOOP("CMainFrame", "動画(&M)")));
    addToggle(m_pTrimmingBar, Menu(QT_TRANSLATE_NOOP("CMainFrame", "トリミング(&T)")));
    addToggle(m_pMosaicToolBar, Menu(QT_TRANSLATE_NOOP("CMainFrame", "モザイク領域の形(&R)")));
    addToggle(m_pMarkerBar, Menu(QT_TRANSLATE_NOOP("CMainFrame", "マーカ(&M)")));
    m_pStatusBarToggle =
        view->addAction(Menu(QT_TRANSLATE_NOOP("CMainFrame", "ステータス バー(&S)")));
    m_pStatusBarToggle->setCheckable(true);
    m_pStatusBarToggle->setChecked(true);
    connect(m_pStatusBarToggle, &QAction::toggled, main.statusBar(), &QStatusBar::setVisible);
    view->addSeparator();
    AddLanguageMenu(view, m_settings.program, m_settings.saveLanguage, m_context.messages);
}

void ToolBars::UpdateStates() {
    if (m_pTrimmingBar == nullptr) {
        return;
    }
    const EditSession& session = m_context.active.Video().Session();
    m_pTrimmingBar->SetPressed(ID_TRIMMING_SIDE_MODE, session.StoredTrimmingMode() == kSideMode);
    m_pTrimmingBar->SetPressed(ID_TRIMMING_FRONT_MODE, session.StoredTrimmingMode() == kFrontMode);
    m_pTrimmingBar->SetPressed(ID_TRIMMING_AREA, session.GetViewMode() == kAreaMode);
    m_pTrimmingBar->SetPressed(ID_TRIMMING_PREVIEW, session.GetViewMode() == kPreviewMode);
    m_pMarkerBar->SetPressed(ID_MARKER_SET_ID, m_window.markerIdShown());
    m_pMovieBar->SetPressed(ID_MOVIE_PLAY, m_window.playback.IsPlaying());
    m_pMovieBar->SetPressed(ID_MOVIE_REVERSE_PLAY, m_window.playback.IsReversePlaying());
}

void ToolBars::SyncMosaicBar() {
    if (m_pMosaicBar != nullptr) {
        m_pMosaicBar->Select(m_context.active.Video().Session().MosaicType());
    }
}

void ToolBars::SetPlayButton(bool playing) {
    if (m_pMovieBar != nullptr) {
        m_pMovieBar->SetPlayButtonPlaying(playing);
    }
}

void ToolBars::SetRateText(const QString& text) {
    if (m_pRatePane->text() != text) {
        m_pRatePane->setText(text);
    }
}

void ToolBars::OnViewNavigator() {
    if (!m_pNavigator.isNull()) {
        m_pNavigator->close();
        return;
    }
    QMainWindow& main = m_window.main;
    m_pNavigator = new CHelpDlg(m_context.active.Video().Session().GetTrimmingMode(), &main, {},
                                m_window.language);
    m_pNavigator->show();
    // The client area starts under the menu, with the bars: the rule adds their row itself.
    const QWidget* menu = main.menuWidget();
    const int menuBottom = menu != nullptr && !menu->isHidden() ? menu->geometry().bottom() + 1 : 0;
    const int clientTop = main.mapToGlobal(QPoint(0, menuBottom)).y();
    const QScreen* screen = main.screen();
    m_pNavigator->move(NavigatorPosition(
        main.frameGeometry(), clientTop, m_pMosaicBar != nullptr ? m_pMosaicBar->height() : 0,
        m_window.timelineHeight(), m_pNavigator->frameGeometry().size(),
        screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1920, 1080)));
    main.activateWindow();
}

void ToolBars::RefreshNavigatorCaption() {
    if (!m_pNavigator.isNull()) {
        m_pNavigator->SetTrimmingMode(m_context.active.Video().Session().GetTrimmingMode());
    }
}

void ToolBars::FollowActive() {
    OpenVideo& video = m_context.active.Video();
    m_pFramePane->FollowFrames(video.Cursor());
    m_pFramePane->Refresh(video.Stream(), video.Cursor().Current());
    m_pSliderBar->FollowFrames(video.Cursor());
    m_pSliderBar->ResetTrackbar(video.Session().FrameCount());
    m_pSliderBar->SetPos(video.Cursor().Current());
    SyncMosaicBar();
    RefreshNavigatorCaption();
    HideTextInformation();
}

void ToolBars::ActiveSessionChanged(unsigned changes) {
    if ((changes & kChangeMosaic) != 0) {
        SyncMosaicBar();  // an undone mosaic step too
    }
    if ((changes & kChangeTrimmingMode) != 0) {
        RefreshNavigatorCaption();
    }
    if ((changes & kChangeVideo) == 0) {
        return;
    }
    const EditSession& session = m_context.active.Video().Session();
    if (!session.HasVideo()) {
        UpdateRateStatus();
        return;
    }
    m_pSliderBar->ResetTrackbar(session.FrameCount());
    // Posted, not run: the open finishes first.
    QMetaObject::invokeMethod(
        this, [this] { m_window.playback.First(); }, Qt::QueuedConnection);
}

void ToolBars::UpdateRateStatus() {
    m_window.playback.UpdateRateStatus();
    const OpenVideo& video = m_context.active.Video();
    m_pFramePane->Refresh(video.Stream(), video.Cursor().Current());
}

void ToolBars::HideTextInformation() {
    if (m_pTextInfo != nullptr) {
        m_pTextInfo->hide();
    }
}

void ToolBars::SaveState() {
    // The window state does not cover the status bar, so its visibility goes beside it.
    IniDocument ini = IniDocument::Load(m_settings.iniPath);
    ini.WriteString(kBarStateSection, kBarStateKey,
                    m_window.main.saveState(kBarLayoutVersion).toBase64().toStdString());
    ini.WriteString(kBarStateSection, kStatusBarKey,
                    m_window.main.statusBar()->isHidden() ? "0" : "1");
    ini.Save();
}

void ToolBars::RefitMovieBar() {
    // A bar dragged along its row pins the width of the bar before it, and an old layout would
    // pin the movie bar to five buttons, hiding one behind the extension arrow. Put back in
    // front of its right-hand neighbour, it takes its full width again.
    QMainWindow& main = m_window.main;
    QLayout* bars = main.layout();
    QToolBar* next = nullptr;
    bool found = false;
    for (int i = 0; bars != nullptr && bars->itemAt(i) != nullptr; ++i) {
        auto* bar = qobject_cast<QToolBar*>(bars->itemAt(i)->widget());
        if (bar == nullptr) {
            continue;
        }
        if (found) {
            next = bar;
            break;
        }
        found = bar == m_pMovieBar;
    }
    // The last bar of a row stretches to the row's end and is never cut short.
    if (next != nullptr && main.toolBarArea(next) == main.toolBarArea(m_pMovieBar) &&
        !main.toolBarBreak(next)) {
        main.insertToolBar(next, m_pMovieBar);
    }
}

void ToolBars::LoadState() {
    const IniDocument ini = IniDocument::Load(m_settings.iniPath);
    const std::string state = ini.GetString(kBarStateSection, kBarStateKey, "", 1 << 16);
    if (!state.empty()) {
        // A damaged or foreign layout is refused by Qt and leaves the default one.
        const QByteArray bytes = QByteArray::fromBase64(QByteArray::fromStdString(state));
        if (!m_window.main.restoreState(bytes, kBarLayoutVersion) &&
            m_window.main.restoreState(bytes, 0)) {
            RefitMovieBar();
        }
    }
    m_pStatusBarToggle->setChecked(ini.GetString(kBarStateSection, kStatusBarKey, "1") != "0");
}

}  // namespace kivra
