// The main window's bars and auxiliary windows: the three toolbars, the mosaic-shape bar, the
// View menu's bar toggles and navigator, the codec list and text information windows, and the
// bar layout kept in the settings file under "ToolBarStatus".
#include <QAction>
#include <QMenu>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>

#include "app/inifile_manager.h"
#include "frame/main_frame.h"
#include "frame/mosaic_size_dlg_bar.h"
#include "frame/slider_dlg_bar.h"
#include "frame/slider_view.h"
#include "media/avi_video_stream.h"
#include "platform/rw_ini_file.h"
#include "ui/codec_list_dlg.h"
#include "ui/help_dlg.h"
#include "ui/icon_toolbar.h"
#include "ui/text_stream_dlg.h"

namespace {

constexpr const char* kBarStateSection = "ToolBarStatus";
constexpr const char* kBarStateKey = "State";

}  // namespace

void CMainFrame::CreateBars() {
    const auto lookup = [this](kivra::CommandId id) { return Action(id); };
    m_pTrimmingBar = kivra::CreateTrimmingToolBar(this, lookup);
    addToolBar(Qt::TopToolBarArea, m_pTrimmingBar);
    m_pMovieBar = kivra::CreateMovieToolBar(this, lookup);
    addToolBar(Qt::TopToolBarArea, m_pMovieBar);
    m_pMosaicBar = new CMosaicSizeDlgBar(this);
    m_pMosaicBar->SetOnSelected([this](int i) { OnMosaicType(i); });
    m_pMosaicBar->InitializeBar(Settings().MosaicRectType);
    QToolBar* mosaic = m_pMosaicBar->WrapInToolBar(this);
    addToolBar(Qt::TopToolBarArea, mosaic);
    m_pMarkerBar = kivra::CreateMarkerToolBar(this, lookup);
    addToolBar(Qt::TopToolBarArea, m_pMarkerBar);
    m_pMarkerBar->hide();

    m_pCodecList = new CCodecListDialog(this);
    m_pTextInfo = new CTextStreamDialog(this);
    AddCommand(
        nullptr, kivra::ID_VIEW_CODEC_LIST, QStringLiteral("コーデック一覧"),
        QKeySequence(Qt::CTRL | Qt::Key_L), [this] { m_pCodecList->Toggle(); },
        [] { return true; });
    AddCommand(
        nullptr, kivra::ID_VIEW_TEXT_INFO, QStringLiteral("テキスト情報"),
        QKeySequence(Qt::CTRL | Qt::Key_A),
        [this] {
            m_pTextInfo->SetText(QString::fromStdString(Stream()->TextInfo()));
            m_pTextInfo->Toggle();
        },
        [this] { return IsVideoOpen() && !Stream()->TextInfo().empty(); });

    // View menu: navigator, the toolbar submenu, the status bar.
    AddCommand(
        m_pMenuView, kivra::ID_VIEW_NAVIGATOR, QStringLiteral("ナビゲーター(&N)"), {},
        [this] { OnViewNavigator(); }, [] { return true; },
        [this] { return !m_pNavigator.isNull(); });
    QMenu* bars = m_pMenuView->addMenu(QStringLiteral("ツール バー(&T)"));
    const auto addToggle = [bars](QToolBar* bar, const QString& text) {
        QAction* toggle = bar->toggleViewAction();
        toggle->setText(text);
        bars->addAction(toggle);
    };
    addToggle(m_pMovieBar, QStringLiteral("動画(&M)"));
    addToggle(m_pTrimmingBar, QStringLiteral("トリミング(&T)"));
    addToggle(mosaic, QStringLiteral("モザイク領域の形(&R)"));
    addToggle(m_pMarkerBar, QStringLiteral("マーカ(&M)"));
    QAction* status = m_pMenuView->addAction(QStringLiteral("ステータス バー(&S)"));
    status->setCheckable(true);
    status->setChecked(true);
    connect(status, &QAction::toggled, statusBar(), &QStatusBar::setVisible);
}

void CMainFrame::UpdateBarStates() {
    if (m_pTrimmingBar == nullptr) {
        return;
    }
    m_pTrimmingBar->SetPressed(kivra::ID_TRIMMING_SIDE_MODE, m_nTrimmingMode == kivra::kSideMode);
    m_pTrimmingBar->SetPressed(kivra::ID_TRIMMING_FRONT_MODE, m_nTrimmingMode == kivra::kFrontMode);
    m_pTrimmingBar->SetPressed(kivra::ID_TRIMMING_AREA, m_nViewMode == kivra::kAreaMode);
    m_pTrimmingBar->SetPressed(kivra::ID_TRIMMING_PREVIEW, m_nViewMode == kivra::kPreviewMode);
    m_pMarkerBar->SetPressed(kivra::ID_MARKER_SET_ID, IsMarkerIdDialogVisible());
    m_pMovieBar->SetPressed(kivra::ID_MOVIE_PLAY, IsPlaying());
}

void CMainFrame::SyncMosaicBar() {
    if (m_pMosaicBar != nullptr) {
        m_pMosaicBar->Select(Settings().MosaicRectType);
    }
}

void CMainFrame::OnViewNavigator() {
    if (!m_pNavigator.isNull()) {
        m_pNavigator->close();
        return;
    }
    m_pNavigator = new CHelpDlg(m_nTrimmingMode, this);
    m_pNavigator->show();
    const QPoint clientTop = centralWidget()->mapToGlobal(QPoint(0, 0));
    const QScreen* screen = this->screen();
    m_pNavigator->move(kivra::NavigatorPosition(
        frameGeometry(), clientTop.y(), m_pMosaicBar != nullptr ? m_pMosaicBar->height() : 0,
        m_pSliderView != nullptr ? m_pSliderView->height() : 0,
        m_pNavigator->frameGeometry().size(),
        screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1920, 1080)));
    activateWindow();
}

void CMainFrame::RefreshNavigatorCaption() {
    if (!m_pNavigator.isNull()) {
        m_pNavigator->SetTrimmingMode(m_nTrimmingMode);
    }
}

void CMainFrame::SaveBarState() {
    const std::string state = saveState().toBase64().toStdString();
    kivra::WritePrivateProfileString(kBarStateSection, kBarStateKey, state, IniPath());
}

void CMainFrame::LoadBarState() {
    const std::string state =
        kivra::GetPrivateProfileString(kBarStateSection, kBarStateKey, "", IniPath(), 1 << 16);
    if (!state.empty()) {
        restoreState(QByteArray::fromBase64(QByteArray::fromStdString(state)));
    }
}
