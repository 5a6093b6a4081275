#include "frame/trimming_commands.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>

#include "document/vfw_doc.h"
#include "frame/command_table.h"
#include "frame/config_trimming_dlg.h"
#include "frame/edit_history.h"
#include "frame/job_runner.h"
#include "frame/qt_user_messages.h"
#include "kinematics/kinematics_commands.h"
#include "markers/set_marker_id_dlg.h"
#include "markers/trimming_state.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "reading/avi_video_stream.h"
#include "session/edit_session.h"
#include "session/frame_cursor.h"
#include "settings/inifile_manager.h"
#include "ui/icon_toolbar.h"
#include "view/vfw_view.h"
#include "workspace/workspace.h"

using kivra::MsgAnswer;
using kivra::MsgButtons;
using kivra::MsgIcon;

namespace {

QString ShownPath(const std::string& path) {
    return QFile::decodeName(path.c_str());
}

// The menus keep the main window's translation context.
QString Menu(const char* text) {
    return QCoreApplication::translate("CMainFrame", text);
}

}  // namespace

void CTrimmingCommands::AddCommands(kivra::CommandTable& table, QMenu* trimming, QMenu* marker) {
    const auto idHidden = [this] { return !m_host.IsMarkerIdDialogVisible(); };
    const auto videoIdle = [this] {
        return m_host.IsVideoOpen() && !m_host.IsPlaying() && !m_host.IsMarkerIdDialogVisible();
    };
    // The toolbar buttons show the modes as pressed; the menu items carry no check mark.
    table.AddCommand(
        trimming, kivra::ID_TRIMMING_SIDE_MODE,
        Menu(QT_TRANSLATE_NOOP("CMainFrame", "側面モード(&S)")), {},
        [this] { SetTrimmingMode(kivra::kSideMode); }, idHidden);
    table.AddCommand(
        trimming, kivra::ID_TRIMMING_FRONT_MODE,
        Menu(QT_TRANSLATE_NOOP("CMainFrame", "正面モード(&F)")), {},
        [this] { SetTrimmingMode(kivra::kFrontMode); }, idHidden);
    trimming->addSeparator();
    table.AddCommand(
        trimming, kivra::ID_TRIMMING_SETTINGS, Menu(QT_TRANSLATE_NOOP("CMainFrame", "設定(&G)...")),
        {}, [this] { OnTrimmingSettings(); }, [] { return true; });
    trimming->addSeparator();
    table.AddCommand(
        trimming, kivra::ID_TRIMMING_AREA, Menu(QT_TRANSLATE_NOOP("CMainFrame", "エリア指定(&A)")),
        {}, [this] { OnTrimmingArea(); }, videoIdle);
    table.AddCommand(
        trimming, kivra::ID_TRIMMING_AREA_CLEAR,
        Menu(QT_TRANSLATE_NOOP("CMainFrame", "エリアクリア(&C)")), {}, [this] { ClearAreas(); },
        videoIdle);
    trimming->addSeparator();
    QMenu* mosaic =
        trimming->addMenu(Menu(QT_TRANSLATE_NOOP("CMainFrame", "モザイク領域の形(&M)")));
    const QString mosaicTexts[] = {Menu(QT_TRANSLATE_NOOP("CMainFrame", "モザイクなし(&N)")),
                                   Menu(QT_TRANSLATE_NOOP("CMainFrame", "タイプ1(&1)")),
                                   Menu(QT_TRANSLATE_NOOP("CMainFrame", "タイプ2(&2)")),
                                   Menu(QT_TRANSLATE_NOOP("CMainFrame", "タイプ3(&3)"))};
    for (int t = 0; t < 4; ++t) {
        if (t == 1) {
            mosaic->addSeparator();
        }
        table.AddCommand(
            mosaic, kivra::CommandId(kivra::ID_MOSAIC_NONE + t), mosaicTexts[t], {},
            [this, t] { OnMosaicType(t); }, [] { return true; },
            [this, t] { return m_host.Session().MosaicType() == t; });
    }
    table.RefreshOnShow(mosaic);
    trimming->addSeparator();
    table.AddCommand(
        trimming, kivra::ID_TRIMMING_PREVIEW,
        Menu(QT_TRANSLATE_NOOP("CMainFrame", "プレビュー(&P)")), {},
        [this] { OnTrimmingPreview(); },
        [this] {
            return m_host.IsVideoOpen() && m_host.Session().AreasSet() &&
                   !m_host.IsMarkerIdDialogVisible();
        });

    // Undo and redo take back edits of markers, areas and the mosaic type, one step each.
    const auto canEdit = [this] { return m_host.IsVideoOpen() && !m_host.IsPlaying(); };
    table.AddCommand(
        marker, kivra::ID_MARKER_UNDO,
        Menu(QT_TRANSLATE_NOOP("CMainFrame", "元に戻す(&U)\tCtrl+Z")),
        QKeySequence(Qt::CTRL | Qt::Key_Z), [this] { m_host.History().Undo(); },
        [this, canEdit] { return canEdit() && m_host.History().CanUndo(); });
    QAction* redo = table.AddCommand(
        marker, kivra::ID_MARKER_REDO,
        Menu(QT_TRANSLATE_NOOP("CMainFrame", "やり直し(&R)\tCtrl+Y")),
        QKeySequence(Qt::CTRL | Qt::Key_Y), [this] { m_host.History().Redo(); },
        [this, canEdit] { return canEdit() && m_host.History().CanRedo(); });
    redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    marker->addSeparator();
    table.AddCommand(
        marker, kivra::ID_MARKER_SET_ID, Menu(QT_TRANSLATE_NOOP("CMainFrame", "IDの指定(&I)...")),
        {}, [this] { OnMarkerSetId(); },
        [this] {
            return m_host.IsVideoOpen() && m_host.Session().AreasSet() && !m_host.IsPlaying();
        });
    table.AddCommand(
        marker, kivra::ID_MARKER_FOLLOW,
        Menu(QT_TRANSLATE_NOOP("CMainFrame", "マーカを追跡(&F)\tCtrl+T")),
        QKeySequence(Qt::CTRL | Qt::Key_T), [this] { OnFollowMarkers(); },
        [this] { return !m_host.IsPlaying() && CanFollowMarkers(); });
    QMenu* remove = marker->addMenu(Menu(QT_TRANSLATE_NOOP("CMainFrame", "削除(&D)")));
    table.AddCommand(
        remove, kivra::ID_MARKER_DELETE_FRAME,
        Menu(QT_TRANSLATE_NOOP("CMainFrame", "表示フレーム(&C)")), {},
        [this] { OnMarkerDeleteFrame(); },
        [this] {
            return m_host.Stream() != nullptr &&
                   m_host.Session().Annotations()->m_markers.HasMarkers(
                       m_host.Cursor().Current()) &&
                   !m_host.IsMarkerIdDialogVisible();
        });
    table.AddCommand(
        remove, kivra::ID_MARKER_DELETE_ALL,
        Menu(QT_TRANSLATE_NOOP("CMainFrame", "全フレーム(&A)")), {},
        [this] { OnMarkerDeleteAll(); },
        [this] { return AnyMarkers() && !m_host.IsMarkerIdDialogVisible(); });
    table.RefreshOnShow(remove);
    marker->addSeparator();
    table.AddCommand(
        marker, kivra::ID_MARKER_SHOW_LOCUS,
        Menu(QT_TRANSLATE_NOOP("CMainFrame", "軌跡を表示(&L)")), {},
        [this] {
            m_host.Settings().ShowLocus = m_host.Settings().ShowLocus ? 0 : 1;
            m_host.UpdateAllViews();
        },
        [] { return true; }, [this] { return m_host.Settings().ShowLocus != 0; });
    marker->addSeparator();
    table.AddCommand(
        marker, kivra::ID_MARKER_SAVE, Menu(QT_TRANSLATE_NOOP("CMainFrame", "保存(&S)")), {},
        [this] { OnMarkerSave(); },
        [this] {
            const CAviVideoStream* s = m_host.Stream();
            // Areas alone are worth saving too: the close question offers it for them.
            return s != nullptr && (m_host.Actions().MarkersModified() ||
                                    m_host.Session().Annotations()->m_markers.AnyMarkers());
        });
    QAction* coordinates = table.AddCommand(
        marker, kivra::ID_MARKER_COORDINATE_OUTPUT,
        Menu(QT_TRANSLATE_NOOP("CMainFrame", "座標出力(&T)...")), {},
        [this] { OnCoordinateOutput(); },
        [this] { return AnyMarkers() && m_host.Session().AreasSet(); });
    // Greyed out without areas: the tip says why. A menu shows tooltips of disabled entries
    // too, while the status bar hears only of enabled ones.
    const QString why = QCoreApplication::translate(
        "CTrimmingCommands",
        "トリミング後の画像のピクセルで出力するため、トリミングエリアが必要です。"
        "画像のピクセルやミリメートルでは運動学出力を使ってください。");
    coordinates->setToolTip(why);
    coordinates->setStatusTip(why);
    marker->setToolTipsVisible(true);
    marker->addSeparator();
    table.AddCommand(
        marker, kivra::ID_MARKER_CALIBRATION,
        Menu(QT_TRANSLATE_NOOP("CMainFrame", "キャリブレーション(&B)...")), {},
        [this] { m_host.Kinematics()->OnCalibrate(); },
        [this] {
            return m_host.Kinematics()->CanCalibrate() && !m_host.IsMarkerIdDialogVisible();
        });
    table.AddCommand(
        marker, kivra::ID_MARKER_ANGLES, Menu(QT_TRANSLATE_NOOP("CMainFrame", "関節角度(&J)...")),
        {}, [this] { m_host.Kinematics()->OnAngles(); }, [] { return true; });
    table.AddCommand(
        marker, kivra::ID_MARKER_KINEMATICS_OUTPUT,
        Menu(QT_TRANSLATE_NOOP("CMainFrame", "運動学出力(&K)...")), {},
        [this] { m_host.Kinematics()->OnExport(); },
        [this] { return m_host.Kinematics()->CanExport(); });
    table.AddCommand(
        marker, kivra::ID_MARKER_PLOT, Menu(QT_TRANSLATE_NOOP("CMainFrame", "グラフ(&G)")), {},
        [this] { m_host.Kinematics()->OnPlot(); },
        [this] { return m_host.Kinematics()->CanPlot(); });
}

bool CTrimmingCommands::AnyMarkers() const {
    const VideoAnnotations* annotations = m_host.Session().Annotations();
    return annotations != nullptr && annotations->m_markers.AnyMarkers();
}

void CTrimmingCommands::SetTrimmingMode(int mode) {
    m_host.Session().RequestTrimmingMode(kivra::TrimmingModeOf(mode), [this] {
        if (m_host.Messages().ShowMessage(kivra::LoadString(kivra::kIdsAreasClearedQuestion),
                                          MsgButtons::YesNo, MsgIcon::Question) != MsgAnswer::Yes) {
            return false;
        }
        if (CVfwView* view = m_host.VideoView()) {
            view->ResetBoxHalfSize();  // the cleared areas start over at area 1's size
        }
        return true;
    });
}

void CTrimmingCommands::ClearAreas() {
    if (CVfwView* view = m_host.VideoView()) {
        view->ResetBoxHalfSize();
    }
    m_host.Session().ClearAreas();
}

void CTrimmingCommands::OnTrimmingSettings() {
    CVfwDoc* doc = m_host.GetDocument();
    if (doc == nullptr) {
        return;
    }
    kivra::EditSession& session = m_host.Session();
    CConfigTrimming dialog(session.SizeType(), session.Direction(), doc->CodecOption(),
                           m_host.Messages(), m_host.DialogParent());
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    // A group left without a choice (a value no button stands for) keeps its value.
    session.SetOutput(dialog.m_nSizeType >= 0 ? dialog.m_nSizeType : session.SizeType(),
                      dialog.m_nDirection >= 0 ? dialog.m_nDirection : session.Direction());
    if (!m_host.IsVideoOpen()) {
        return;
    }
    CVfwView* view = m_host.VideoView();
    if (view != nullptr && session.GetViewMode() == kivra::kAreaMode) {
        view->RecomputeCursorBox();  // the box under the pointer turns too
    }
}

void CTrimmingCommands::OnTrimmingArea() {
    m_host.Session().ToggleAreaMode();
    if (CVfwView* view = m_host.VideoView()) {
        view->ResetCursorBox();
        // The area keys are read where the picture is, not by a toolbar button or the trackbar.
        view->setFocus(Qt::OtherFocusReason);
    }
}

void CTrimmingCommands::OnTrimmingPreview() {
    m_host.Session().TogglePreview();
    if (CVfwView* view = m_host.VideoView()) {
        view->setFocus(Qt::OtherFocusReason);
    }
}

void CTrimmingCommands::OnMosaicType(int type) {
    m_host.Session().SetMosaicType(type);
    m_host.SyncMosaicBar();  // also when the bar was clicked on the shape in force
}

void CTrimmingCommands::OnMarkerSetId() {
    CSetMarkerIDDlg* dialog = m_host.MarkerIdDialog();
    if (dialog == nullptr) {
        return;
    }
    // Offered once: a user who already shows the marker toolbar needs no hint.
    ZebsCOOIconToolBar* markerBar = m_host.MarkerBar();
    CInifileManager& settings = m_host.Settings();
    if (markerBar != nullptr && markerBar->isHidden() && settings.ShowSetIDBtnMsg != 0) {
        if (m_host.Messages().ShowMessage(kivra::LoadString(kivra::kIdsShowMarkerToolBarQuestion),
                                          MsgButtons::YesNo, MsgIcon::Question) == MsgAnswer::Yes) {
            markerBar->show();
        }
        settings.ShowSetIDBtnMsg = 0;
    }
    dialog->setVisible(!dialog->isVisible());
    kivra::EditSession& session = m_host.Session();
    if (dialog->isVisible() && session.GetViewMode() != kivra::kPreviewMode) {
        session.SetViewMode(kivra::kPreviewMode);
        session.SetAreaIndex(0);
    }
    if (CVfwView* view = m_host.VideoView()) {
        m_host.DialogParent()->activateWindow();
        view->setFocus();
        view->update();
    }
}

void CTrimmingCommands::OnMarkerDeleteFrame() {
    const CAviVideoStream* stream = m_host.Stream();
    if (stream == nullptr ||
        m_host.Messages().ShowMessage(kivra::LoadString(kivra::kIdsDeleteFrameMarkersQuestion),
                                      MsgButtons::YesNo, MsgIcon::Question) != MsgAnswer::Yes) {
        return;
    }
    // The video may have closed or moved on while the question was open.
    if (m_host.Stream() != nullptr) {
        m_host.Session().DeleteFrameMarkers(m_host.Cursor().Current());
    }
}

void CTrimmingCommands::OnMarkerDeleteAll() {
    if (m_host.Session().Annotations() == nullptr ||
        m_host.Messages().ShowMessage(kivra::LoadString(kivra::kIdsDeleteAllMarkersQuestion),
                                      MsgButtons::YesNo, MsgIcon::Question) != MsgAnswer::Yes) {
        return;
    }
    m_host.Session().DeleteAllMarkers();
}

bool CTrimmingCommands::OnMarkerSave() {
    return m_host.Actions().SaveMarkers().ok();
}

void CTrimmingCommands::OnMarkersSaved(const std::string& path) {
    m_host.MarkersSaved();
    m_host.ShowSavedStatus(
        QCoreApplication::translate("CTrimmingCommands", "マーカを保存しました: %1")
            .arg(ShownPath(path)));
}

void CTrimmingCommands::OnCoordinateOutput() {
    const QString path = kivra::AskSaveFileName(m_host.DialogParent(), "CSV file(*.csv)|*.csv||",
                                                QStringLiteral("csv"));
    if (!path.isEmpty()) {
        ExportCoordinates(QFile::encodeName(path).toStdString());
    }
}

bool CTrimmingCommands::ExportCoordinates(const std::string& path) {
    const kivra::ActionResult exported = m_host.Actions().ExportCoordinateCsv(path);
    if (!exported.ok()) {
        if (!exported.message.empty()) {
            m_host.Messages().ShowMessage(exported.message, MsgButtons::Ok, exported.icon);
        }
        return false;
    }
    m_host.ShowSavedStatus(
        QCoreApplication::translate("CTrimmingCommands", "座標を出力しました: %1")
            .arg(ShownPath(path)));
    return true;
}

bool CTrimmingCommands::CanFollowMarkers() const {
    const CAviVideoStream* stream = m_host.Stream();
    const kivra::EditSession& session = m_host.Session();
    const VideoAnnotations* annotations = session.Annotations();
    return stream != nullptr && annotations != nullptr && m_host.IsVideoOpen() &&
           annotations->m_markers.HasMarkers(m_host.Cursor().Current()) &&
           m_host.Cursor().Current() < session.RangeEnd();
}

void CTrimmingCommands::OnFollowMarkers() {
    if (!CanFollowMarkers() || m_host.Jobs().Busy()) {
        return;
    }
    kivra::Workspace* const workspace = &m_host.Actions();
    kivra::TrackRequest request;
    request.startFrame = m_host.Cursor().Current();
    request.endFrame = m_host.Session().RangeEnd();
    request.caption =
        QCoreApplication::translate("CTrimmingCommands", "マーカを追跡しています").toStdString();
    request = workspace->FollowRequest(std::move(request));
    // The window only reads the stream and the markers while the job runs.
    m_host.Jobs().Run<kivra::TrackResult>(
        [workspace, request](kivra::JobContext& context) {
            return workspace->TrackForFollow(request, context.Progress());
        },
        [this, workspace, request](kivra::TrackResult track) {
            FollowEnded(workspace->FinishFollow(request, std::move(track)));
        });
}

void CTrimmingCommands::FollowEnded(const kivra::FollowResult& followed) {
    // A cancelled run leaves nothing behind: half a run is not what the user asked for.
    if (followed.result.status == kivra::ActionResult::kCancelled) {
        return;
    }
    if (!followed.result.ok()) {
        m_host.Messages().ShowMessage(
            QCoreApplication::translate("CTrimmingCommands", "マーカを追跡できませんでした。")
                .toStdString(),
            MsgButtons::Ok, MsgIcon::Warning);
        return;
    }
    QStringList lost;
    for (const kivra::IdTrack& track : followed.track.tracks) {
        if (track.stop == kivra::TrackStop::Lost || track.stop == kivra::TrackStop::LeftPicture ||
            track.stop == kivra::TrackStop::ReadFailed) {
            lost << QCoreApplication::translate("CTrimmingCommands",
                                                "ID %1: フレーム %2 で見失いました")
                        .arg(track.id)
                        .arg(track.stopFrame);
        }
    }
    // A point that no longer matches is never followed onto the background; the user hears
    // where each one stopped.
    if (!lost.isEmpty()) {
        m_host.Messages().ShowMessage(
            (QCoreApplication::translate("CTrimmingCommands",
                                         "次のマーカは途中で追跡を止めました。") +
             QLatin1Char('\n') + lost.join(QLatin1Char('\n')))
                .toStdString(),
            MsgButtons::Ok, MsgIcon::Information);
    }
}

bool CTrimmingCommands::HandleAreaKey(const QKeyEvent& key) {
    kivra::EditSession& session = m_host.Session();
    CVfwView* view = m_host.VideoView();
    if (session.GetViewMode() != kivra::kAreaMode || view == nullptr) {
        return false;
    }
    const bool shift = (key.modifiers() & Qt::ShiftModifier) != 0;
    switch (key.key()) {
        case Qt::Key_Escape:
            if (session.AreaIndex() == 1 && session.SetAreaIndex(0)) {
                view->SetBoxHalfSize(session.AreaBoxHalfSize(0));
            }
            return true;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            if (session.AreaIndex() == 0 && session.SetAreaIndex(1) &&
                session.GetTrimmingMode() == kivra::kFrontMode) {
                view->SetBoxHalfSize(session.AreaBoxHalfSize(1));
            }
            return true;  // never moves the keyboard focus while an area is being set
        case Qt::Key_Up:
            view->ResizeAreaBox(shift ? 1 : 3);
            return true;
        case Qt::Key_Down:
            view->ResizeAreaBox(shift ? -1 : -3);
            return true;
        default:
            return false;
    }
}
