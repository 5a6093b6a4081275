// The main window's bars and auxiliary windows: the three toolbars, the mosaic-shape bar, the
// View menu's bar toggles and navigator, the codec list and text information windows, and the
// bar layout kept in the settings file under "ToolBarStatus".
#include <QAction>
#include <QLayout>
#include <QMenu>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>

#include "frame/language_menu.h"
#include "frame/main_frame.h"
#include "frame/mosaic_size_dlg_bar.h"
#include "frame/slider_view.h"
#include "platform/rw_ini_file.h"
#include "reading/avi_video_stream.h"
#include "settings/inifile_manager.h"
#include "ui/codec_list_dlg.h"
#include "ui/help_dlg.h"
#include "ui/icon_toolbar.h"
#include "ui/text_stream_dlg.h"

namespace {

constexpr const char* kBarStateSection = "ToolBarStatus";
constexpr const char* kBarStateKey = "State";
constexpr const char* kStatusBarKey = "StatusBar";
// Layouts written before the movie bar had its reverse-play button carry version 0.
constexpr int kBarLayoutVersion = 1;

}  // namespace

void CMainFrame::CreateBars() {
    const auto lookup = [this](kivra::CommandId id) { return Action(id); };
    m_pTrimmingBar = kivra::CreateTrimmingToolBar(this, lookup);
    m_pMovieBar = kivra::CreateMovieToolBar(this, lookup);
    m_pMarkerBar = kivra::CreateMarkerToolBar(this, lookup);
    m_pMosaicBar = new CMosaicSizeDlgBar(this);
    m_pMosaicBar->SetOnSelected([this](int i) { m_trimming.OnMosaicType(i); });
    m_pMosaicBar->InitializeBar(m_session.MosaicType());
    m_pMosaicToolBar = m_pMosaicBar->WrapInToolBar(this);

    // First row: trimming, movie, mosaic shape, marker; the slider bar on a row of its own.
    addToolBar(Qt::TopToolBarArea, m_pTrimmingBar);
    addToolBar(Qt::TopToolBarArea, m_pMovieBar);
    addToolBar(Qt::TopToolBarArea, m_pMosaicToolBar);
    addToolBar(Qt::TopToolBarArea, m_pMarkerBar);
    addToolBarBreak(Qt::TopToolBarArea);
    addToolBar(Qt::TopToolBarArea, m_pSliderToolBar);
    m_pMarkerBar->hide();
    m_pSliderToolBar->hide();

    m_pCodecList = new CCodecListDialog(this);
    m_pTextInfo = new CTextStreamDialog(this);
    AddCommand(
        nullptr, kivra::ID_VIEW_CODEC_LIST, tr("コーデック一覧"),
        QKeySequence(Qt::CTRL | Qt::Key_L), [this] { m_pCodecList->Toggle(); },
        [] { return true; });
    AddCommand(
        nullptr, kivra::ID_VIEW_TEXT_INFO, tr("テキスト情報"), QKeySequence(Qt::CTRL | Qt::Key_A),
        [this] {
            m_pTextInfo->SetText(QString::fromStdString(Stream()->TextInfo()));
            m_pTextInfo->Toggle();
        },
        [this] { return IsVideoOpen() && !Stream()->TextInfo().empty(); });

    // View menu: navigator, then the bars in a group of their own.
    m_pMenuView->addSeparator();
    AddCommand(
        m_pMenuView, kivra::ID_VIEW_NAVIGATOR, tr("ナビゲーター(&N)"), {},
        [this] { OnViewNavigator(); }, [] { return true; },
        [this] { return !m_pNavigator.isNull() && m_pNavigator->isVisible(); });
    m_pMenuView->addSeparator();
    QMenu* bars = m_pMenuView->addMenu(tr("ツール バー(&T)"));
    const auto addToggle = [bars](QToolBar* bar, const QString& text) {
        QAction* toggle = bar->toggleViewAction();
        toggle->setText(text);
        bars->addAction(toggle);
    };
    addToggle(m_pMovieBar, tr("動画(&M)"));
    addToggle(m_pTrimmingBar, tr("トリミング(&T)"));
    addToggle(m_pMosaicToolBar, tr("モザイク領域の形(&R)"));
    addToggle(m_pMarkerBar, tr("マーカ(&M)"));
    m_pStatusBarToggle = m_pMenuView->addAction(tr("ステータス バー(&S)"));
    m_pStatusBarToggle->setCheckable(true);
    m_pStatusBarToggle->setChecked(true);
    connect(m_pStatusBarToggle, &QAction::toggled, statusBar(), &QStatusBar::setVisible);
    m_pMenuView->addSeparator();
    kivra::AddLanguageMenu(m_pMenuView, Settings(), m_messages);
}

void CMainFrame::UpdateBarStates() {
    if (m_pTrimmingBar == nullptr) {
        return;
    }
    m_pTrimmingBar->SetPressed(kivra::ID_TRIMMING_SIDE_MODE,
                               m_session.StoredTrimmingMode() == kivra::kSideMode);
    m_pTrimmingBar->SetPressed(kivra::ID_TRIMMING_FRONT_MODE,
                               m_session.StoredTrimmingMode() == kivra::kFrontMode);
    m_pTrimmingBar->SetPressed(kivra::ID_TRIMMING_AREA,
                               m_session.GetViewMode() == kivra::kAreaMode);
    m_pTrimmingBar->SetPressed(kivra::ID_TRIMMING_PREVIEW,
                               m_session.GetViewMode() == kivra::kPreviewMode);
    m_pMarkerBar->SetPressed(kivra::ID_MARKER_SET_ID, IsMarkerIdDialogVisible());
    m_pMovieBar->SetPressed(kivra::ID_MOVIE_PLAY, IsPlaying());
    m_pMovieBar->SetPressed(kivra::ID_MOVIE_REVERSE_PLAY, m_playback.IsReversePlaying());
}

void CMainFrame::SyncMosaicBar() {
    if (m_pMosaicBar != nullptr) {
        m_pMosaicBar->Select(m_session.MosaicType());
    }
}

void CMainFrame::OnViewNavigator() {
    if (!m_pNavigator.isNull()) {
        m_pNavigator->close();
        return;
    }
    m_pNavigator = new CHelpDlg(m_session.GetTrimmingMode(), this, {}, m_app.Language());
    m_pNavigator->show();
    // The client area starts under the menu, with the bars: the rule adds their row itself.
    const QWidget* menu = menuWidget();
    const int menuBottom = menu != nullptr && !menu->isHidden() ? menu->geometry().bottom() + 1 : 0;
    const int clientTop = mapToGlobal(QPoint(0, menuBottom)).y();
    const QScreen* screen = this->screen();
    m_pNavigator->move(kivra::NavigatorPosition(
        frameGeometry(), clientTop, m_pMosaicBar != nullptr ? m_pMosaicBar->height() : 0,
        m_pSliderView != nullptr ? m_pSliderView->height() : 0,
        m_pNavigator->frameGeometry().size(),
        screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1920, 1080)));
    activateWindow();
}

void CMainFrame::RefreshNavigatorCaption() {
    if (!m_pNavigator.isNull()) {
        m_pNavigator->SetTrimmingMode(m_session.GetTrimmingMode());
    }
}

void CMainFrame::SaveBarState() {
    // The window state does not cover the status bar, so its visibility goes beside it.
    kivra::IniDocument ini = kivra::IniDocument::Load(IniPath());
    ini.WriteString(kBarStateSection, kBarStateKey,
                    saveState(kBarLayoutVersion).toBase64().toStdString());
    ini.WriteString(kBarStateSection, kStatusBarKey, statusBar()->isHidden() ? "0" : "1");
    ini.Save();
}

void CMainFrame::RefitMovieBar() {
    // A bar dragged along its row pins the width of the bar before it, and an old layout would
    // pin the movie bar to five buttons, hiding one behind the extension arrow. Put back in
    // front of its right-hand neighbour, it takes its full width again.
    QLayout* bars = layout();
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
    if (next != nullptr && toolBarArea(next) == toolBarArea(m_pMovieBar) && !toolBarBreak(next)) {
        insertToolBar(next, m_pMovieBar);
    }
}

void CMainFrame::LoadBarState() {
    const kivra::IniDocument ini = kivra::IniDocument::Load(IniPath());
    const std::string state = ini.GetString(kBarStateSection, kBarStateKey, "", 1 << 16);
    if (!state.empty()) {
        // A damaged or foreign layout is refused by Qt and leaves the default one.
        const QByteArray bytes = QByteArray::fromBase64(QByteArray::fromStdString(state));
        if (!restoreState(bytes, kBarLayoutVersion) && restoreState(bytes, 0)) {
            RefitMovieBar();
        }
    }
    m_pStatusBarToggle->setChecked(ini.GetString(kBarStateSection, kStatusBarKey, "1") != "0");
}
