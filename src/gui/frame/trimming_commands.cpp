// The trimming and marker commands of the main window: modes, areas, mosaic, preview, the
// marker ID dialog, deleting, saving and exporting markers, and the keys of area mode.
#include <QAction>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>

#include "frame/config_trimming_dlg.h"
#include "frame/main_frame.h"
#include "frame/qt_user_messages.h"
#include "kinematics/kinematics_commands.h"
#include "markers/csv_export.h"
#include "markers/set_marker_id_dlg.h"
#include "markers/trimming_state.h"
#include "media/avi_video_stream.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "settings/inifile_manager.h"
#include "ui/icon_toolbar.h"
#include "view/vfw_view.h"

using kivra::CommandId;
using kivra::MsgAnswer;
using kivra::MsgButtons;
using kivra::MsgIcon;

namespace {}  // namespace

bool CMainFrame::AreasSet() const {
    return m_pVideoView != nullptr && m_pVideoView->m_area1.IsSet() &&
           m_pVideoView->m_area2.IsSet();
}

bool CMainFrame::AnyMarkers() const {
    const VideoAnnotations* annotations = Annotations();
    return annotations != nullptr && annotations->m_markers.AnyMarkers();
}

void CMainFrame::CreateTrimmingAndMarkerMenus() {
    const auto idHidden = [this] { return !IsMarkerIdDialogVisible(); };
    const auto videoIdle = [this] {
        return IsVideoOpen() && !IsPlaying() && !IsMarkerIdDialogVisible();
    };
    // The toolbar buttons show the modes as pressed; the menu items carry no check mark.
    AddCommand(
        m_pMenuTrimming, kivra::ID_TRIMMING_SIDE_MODE, QStringLiteral("側面モード(&S)"), {},
        [this] { SetTrimmingMode(kivra::kSideMode); }, idHidden);
    AddCommand(
        m_pMenuTrimming, kivra::ID_TRIMMING_FRONT_MODE, QStringLiteral("正面モード(&F)"), {},
        [this] { SetTrimmingMode(kivra::kFrontMode); }, idHidden);
    m_pMenuTrimming->addSeparator();
    AddCommand(
        m_pMenuTrimming, kivra::ID_TRIMMING_SETTINGS, QStringLiteral("設定(&G)..."), {},
        [this] { OnTrimmingSettings(); }, [] { return true; });
    m_pMenuTrimming->addSeparator();
    AddCommand(
        m_pMenuTrimming, kivra::ID_TRIMMING_AREA, QStringLiteral("エリア指定(&A)"), {},
        [this] { OnTrimmingArea(); }, videoIdle);
    AddCommand(
        m_pMenuTrimming, kivra::ID_TRIMMING_AREA_CLEAR, QStringLiteral("エリアクリア(&C)"), {},
        [this] { ClearAreas(); }, videoIdle);
    m_pMenuTrimming->addSeparator();
    QMenu* mosaic = m_pMenuTrimming->addMenu(QStringLiteral("モザイク領域の形(&M)"));
    const QString mosaicTexts[] = {QStringLiteral("モザイクなし(&N)"),
                                   QStringLiteral("タイプ1(&1)"), QStringLiteral("タイプ2(&2)"),
                                   QStringLiteral("タイプ3(&3)")};
    for (int t = 0; t < 4; ++t) {
        if (t == 1) {
            mosaic->addSeparator();
        }
        AddCommand(
            mosaic, CommandId(kivra::ID_MOSAIC_NONE + t), mosaicTexts[t], {},
            [this, t] { OnMosaicType(t); }, [] { return true; },
            [this, t] { return Settings().MosaicRectType == t; });
    }
    connect(mosaic, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
    m_pMenuTrimming->addSeparator();
    AddCommand(
        m_pMenuTrimming, kivra::ID_TRIMMING_PREVIEW, QStringLiteral("プレビュー(&P)"), {},
        [this] { OnTrimmingPreview(); },
        [this] { return IsVideoOpen() && AreasSet() && !IsMarkerIdDialogVisible(); });

    AddCommand(
        m_pMenuMarker, kivra::ID_MARKER_SET_ID, QStringLiteral("IDの指定(&I)..."), {},
        [this] { OnMarkerSetId(); },
        [this] { return IsVideoOpen() && AreasSet() && !IsPlaying(); });
    QMenu* remove = m_pMenuMarker->addMenu(QStringLiteral("削除(&D)"));
    AddCommand(
        remove, kivra::ID_MARKER_DELETE_FRAME, QStringLiteral("表示フレーム(&C)"), {},
        [this] { OnMarkerDeleteFrame(); },
        [this] {
            const CAviVideoStream* s = Stream();
            return s != nullptr && Annotations()->m_markers.HasMarkers(s->m_nCurrentFrame) &&
                   !IsMarkerIdDialogVisible();
        });
    AddCommand(
        remove, kivra::ID_MARKER_DELETE_ALL, QStringLiteral("全フレーム(&A)"), {},
        [this] { OnMarkerDeleteAll(); },
        [this] { return AnyMarkers() && !IsMarkerIdDialogVisible(); });
    connect(remove, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
    m_pMenuMarker->addSeparator();
    AddCommand(
        m_pMenuMarker, kivra::ID_MARKER_SHOW_LOCUS, QStringLiteral("軌跡を表示(&L)"), {},
        [this] {
            Settings().ShowLocus = Settings().ShowLocus ? 0 : 1;
            UpdateAllViews();
        },
        [] { return true; }, [this] { return Settings().ShowLocus != 0; });
    m_pMenuMarker->addSeparator();
    AddCommand(
        m_pMenuMarker, kivra::ID_MARKER_SAVE, QStringLiteral("保存(&S)"), {},
        [this] { OnMarkerSave(); },
        [this] {
            const CAviVideoStream* s = Stream();
            return s != nullptr &&
                   (Annotations()->m_markers.IsModified() || Annotations()->m_markers.AnyMarkers());
        });
    AddCommand(
        m_pMenuMarker, kivra::ID_MARKER_COORDINATE_OUTPUT, QStringLiteral("座標出力(&T)..."), {},
        [this] { OnCoordinateOutput(); }, [this] { return AnyMarkers() && AreasSet(); });
    m_pMenuMarker->addSeparator();
    AddCommand(
        m_pMenuMarker, kivra::ID_MARKER_CALIBRATION, QStringLiteral("キャリブレーション(&B)..."),
        {}, [this] { m_pKinematics->OnCalibrate(); },
        [this] { return m_pKinematics->CanCalibrate() && !IsMarkerIdDialogVisible(); });
    AddCommand(
        m_pMenuMarker, kivra::ID_MARKER_ANGLES, QStringLiteral("関節角度(&J)..."), {},
        [this] { m_pKinematics->OnAngles(); }, [] { return true; });
    AddCommand(
        m_pMenuMarker, kivra::ID_MARKER_KINEMATICS_OUTPUT, QStringLiteral("運動学出力(&K)..."), {},
        [this] { m_pKinematics->OnExport(); }, [this] { return m_pKinematics->CanExport(); });
    AddCommand(
        m_pMenuMarker, kivra::ID_MARKER_PLOT, QStringLiteral("グラフ(&G)"), {},
        [this] { m_pKinematics->OnPlot(); }, [this] { return m_pKinematics->CanPlot(); });
}

void CMainFrame::SetTrimmingMode(kivra::TrimmingMode mode) {
    if (m_nTrimmingMode == mode) {
        return;
    }
    m_nTrimmingMode = mode;
    if (IsVideoOpen() && m_pVideoView != nullptr && m_pVideoView->m_area1.IsSet()) {
        if (ShowMessage(kivra::LoadString(kivra::kIdsAreasClearedQuestion), MsgButtons::YesNo,
                        MsgIcon::Question) != MsgAnswer::Yes) {
            m_nTrimmingMode = mode == kivra::kSideMode ? kivra::kFrontMode : kivra::kSideMode;
            return;
        }
        ClearAreas();
    }
    RefreshNavigatorCaption();
}

void CMainFrame::ClearAreas() {
    if (m_nViewMode == kivra::kPreviewMode) {
        m_nViewMode = kivra::kNormalMode;
    }
    m_nAreaIndex = 0;
    if (m_pVideoView != nullptr) {
        m_pVideoView->m_nBoxHalfSize = Settings().LengthFromCenter1;
        m_pVideoView->ResetAreas();
    }
    UpdateAllViews();
}

void CMainFrame::OnTrimmingSettings() {
    CVfwDoc* doc = GetDocument();
    if (doc == nullptr) {
        return;
    }
    CConfigTrimming dialog(Settings(), doc->CodecOption(), *this, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    CAviVideoStream* stream = Stream();
    if (!IsVideoOpen() || stream == nullptr || m_pVideoView == nullptr) {
        return;
    }
    // The areas keep their points; their boxes take the new direction's shape.
    if (kivra::RecomputeAreas(m_pVideoView->m_area1, m_pVideoView->m_area2, Settings().Direction)) {
        kivra::InterpolateTrimRects(m_pVideoView->m_area1, m_pVideoView->m_area2,
                                    CurrentTrimmingMode(), Settings().Direction,
                                    stream->GetFrameCount(), Annotations()->m_trimParam);
    }
    if (m_nViewMode == kivra::kAreaMode) {
        m_pVideoView->RecomputeCursorBox();  // the box under the pointer turns too
    }
    UpdateAllViews();
}

void CMainFrame::OnTrimmingArea() {
    m_nViewMode = m_nViewMode == kivra::kAreaMode ? kivra::kNormalMode : kivra::kAreaMode;
    m_nAreaIndex = 0;
    if (m_pVideoView != nullptr) {
        m_pVideoView->m_nBoxHalfSize = Settings().LengthFromCenter1;
        m_pVideoView->m_rcCursorBox = {};
        m_pVideoView->update();
        // The area keys are read where the picture is, not by a toolbar button or the trackbar.
        m_pVideoView->setFocus(Qt::OtherFocusReason);
    }
}

void CMainFrame::OnTrimmingPreview() {
    m_nViewMode = m_nViewMode == kivra::kPreviewMode ? kivra::kNormalMode : kivra::kPreviewMode;
    m_nAreaIndex = 0;
    if (m_pVideoView != nullptr) {
        m_pVideoView->update();
        m_pVideoView->setFocus(Qt::OtherFocusReason);
    }
}

void CMainFrame::OnMosaicType(int type) {
    Settings().MosaicRectType = type;
    SyncMosaicBar();
    if (VideoAnnotations* annotations = Annotations()) {
        annotations->m_nMosaicType = type;
        UpdateAllViews();
    }
}

void CMainFrame::OnMarkerSetId() {
    if (m_pSetMarkerIdDlg == nullptr) {
        return;
    }
    // Offered once: a user who already shows the marker toolbar needs no hint.
    if (m_pMarkerBar != nullptr && m_pMarkerBar->isHidden() && Settings().ShowSetIDBtnMsg != 0) {
        if (ShowMessage(kivra::LoadString(kivra::kIdsShowMarkerToolBarQuestion), MsgButtons::YesNo,
                        MsgIcon::Question) == MsgAnswer::Yes) {
            m_pMarkerBar->show();
        }
        Settings().ShowSetIDBtnMsg = 0;
    }
    m_pSetMarkerIdDlg->setVisible(!m_pSetMarkerIdDlg->isVisible());
    if (m_pSetMarkerIdDlg->isVisible() && m_nViewMode != kivra::kPreviewMode) {
        m_nViewMode = kivra::kPreviewMode;
        m_nAreaIndex = 0;
    }
    if (m_pVideoView != nullptr) {
        activateWindow();
        m_pVideoView->setFocus();
        m_pVideoView->update();
    }
}

void CMainFrame::OnMarkerDeleteFrame() {
    CAviVideoStream* stream = Stream();
    if (stream == nullptr || ShowMessage(kivra::LoadString(kivra::kIdsDeleteFrameMarkersQuestion),
                                         MsgButtons::YesNo, MsgIcon::Question) != MsgAnswer::Yes) {
        return;
    }
    std::vector<T_DRAW_MARKER> markers;
    Annotations()->m_markers.GetFrameMarkers(stream->m_nCurrentFrame, markers);
    for (const T_DRAW_MARKER& m : markers) {
        Annotations()->m_markers.DeleteMarker(m.ID - 1, stream->m_nCurrentFrame);
    }
    Annotations()->m_markers.SetModified(true);
    UpdateAllViews();
}

void CMainFrame::OnMarkerDeleteAll() {
    VideoAnnotations* annotations = Annotations();
    if (annotations == nullptr ||
        ShowMessage(kivra::LoadString(kivra::kIdsDeleteAllMarkersQuestion), MsgButtons::YesNo,
                    MsgIcon::Question) != MsgAnswer::Yes) {
        return;
    }
    annotations->m_markers.DeleteAllMarkers();
    UpdateAllViews();
}

bool CMainFrame::OnMarkerSave() {
    CAviVideoStream* stream = Stream();
    if (stream == nullptr) {
        return false;
    }
    kivra::TrimmingState state;
    state.mode = m_nTrimmingMode;
    if (m_pVideoView != nullptr) {
        state.area1 = m_pVideoView->m_area1;
        state.area2 = m_pVideoView->m_area2;
    }
    state.rangeStart = RangeStart();
    state.rangeEnd = RangeEnd();
    kivra::StoreTrimmingState(Annotations()->m_markers, state);
    const bool saved =
        Annotations()->m_markers.SaveMarkers(stream->MarkerFilePath(), Settings().SizeType,
                                             Settings().Direction, Settings().MosaicRectType);
    if (!saved) {
        ShowMessage(kivra::LoadString(kivra::kIdsMarkerSaveFailed), MsgButtons::Ok,
                    MsgIcon::Warning);
    }
    return saved;
}

void CMainFrame::OnCoordinateOutput() {
    const QString path =
        kivra::AskSaveFileName(this, "CSV file(*.csv)|*.csv||", QStringLiteral("csv"));
    if (!path.isEmpty()) {
        ExportCoordinates(QFile::encodeName(path).toStdString());
    }
}

bool CMainFrame::ExportCoordinates(const std::string& path) {
    const CAviVideoStream* stream = Stream();
    if (stream == nullptr) {
        return false;
    }
    const auto [width, height] = Settings().OutputSize();
    const VideoAnnotations& annotations = *Annotations();
    const bool exported =
        kivra::ExportCsv(annotations.m_markers, path, RangeStart(), RangeEnd(),
                         annotations.m_trimParam, stream->GetFrameRate(), width, height);
    if (!exported) {
        ShowMessage(kivra::LoadString(kivra::kIdsCsvFailed), MsgButtons::Ok, MsgIcon::Warning);
    }
    return exported;
}

bool CMainFrame::HandleAreaKey(const QKeyEvent& key) {
    if (m_nViewMode != kivra::kAreaMode || m_pVideoView == nullptr) {
        return false;
    }
    const bool shift = (key.modifiers() & Qt::ShiftModifier) != 0;
    switch (key.key()) {
        case Qt::Key_Escape:
            if (m_nAreaIndex == 1) {
                m_nAreaIndex = 0;
                m_pVideoView->m_nBoxHalfSize = Settings().LengthFromCenter1;
                m_pVideoView->RecomputeCursorBox();
                UpdateAllViews();
            }
            return true;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            if (m_nAreaIndex == 0 && m_pVideoView->m_area1.IsSet()) {
                m_nAreaIndex = 1;
                if (m_nTrimmingMode == kivra::kFrontMode) {
                    m_pVideoView->m_nBoxHalfSize = Settings().LengthFromCenter2;
                    m_pVideoView->RecomputeCursorBox();
                }
                UpdateAllViews();
            }
            return true;  // never moves the keyboard focus while an area is being set
        case Qt::Key_Up:
            m_pVideoView->ResizeAreaBox(shift ? 1 : 3);
            return true;
        case Qt::Key_Down:
            m_pVideoView->ResizeAreaBox(shift ? -1 : -3);
            return true;
        default:
            return false;
    }
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        const bool areaKey = key->key() == Qt::Key_Escape || key->key() == Qt::Key_Tab ||
                             key->key() == Qt::Key_Backtab || key->key() == Qt::Key_Up ||
                             key->key() == Qt::Key_Down;
        if (areaKey && m_nViewMode == kivra::kAreaMode) {
            if (event->type() == QEvent::ShortcutOverride) {
                event->accept();  // the key goes to us, not to a shortcut
                return false;
            }
            return HandleAreaKey(*key);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
