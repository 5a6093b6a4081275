#include "markers/marker_commands.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QMenu>

#include "base/qt_user_messages.h"
#include "frame/job_runner.h"
#include "markers/set_marker_id_dlg.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "reading/avi_video_stream.h"
#include "settings/inifile_manager.h"
#include "ui/icon_toolbar.h"
#include "view/vfw_view.h"
#include "workspace/workspace.h"

namespace kivra {

namespace {

QString ShownPath(const std::string& path) {
    return QFile::decodeName(path.c_str());
}

// The menus keep the main window's translation context; the other texts keep the one they were
// first written under ("CTrimmingCommands").
QString Menu(const char* text) {
    return QCoreApplication::translate("CMainFrame", text);
}

}  // namespace

void MarkerCommands::AddCommands(QMenu* marker) {
    CommandTable& table = m_context.table;
    // Undo and redo take back edits of markers, areas and the mosaic type, one step each.
    const auto canEdit = [this] { return IsVideoOpen() && !m_host.IsPlaying(); };
    table.AddCommand(
        marker, ID_MARKER_UNDO, Menu(QT_TRANSLATE_NOOP("CMainFrame", "元に戻す(&U)\tCtrl+Z")),
        QKeySequence(Qt::CTRL | Qt::Key_Z), [this] { History().Undo(); },
        [this, canEdit] { return canEdit() && History().CanUndo(); });
    QAction* redo = table.AddCommand(
        marker, ID_MARKER_REDO, Menu(QT_TRANSLATE_NOOP("CMainFrame", "やり直し(&R)\tCtrl+Y")),
        QKeySequence(Qt::CTRL | Qt::Key_Y), [this] { History().Redo(); },
        [this, canEdit] { return canEdit() && History().CanRedo(); });
    redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    marker->addSeparator();
    table.AddCommand(
        marker, ID_MARKER_SET_ID, Menu(QT_TRANSLATE_NOOP("CMainFrame", "IDの指定(&I)...")), {},
        [this] { OnMarkerSetId(); },
        [this] { return IsVideoOpen() && Session().AreasSet() && !m_host.IsPlaying(); });
    table.AddCommand(
        marker, ID_MARKER_FOLLOW, Menu(QT_TRANSLATE_NOOP("CMainFrame", "マーカを追跡(&F)\tCtrl+T")),
        QKeySequence(Qt::CTRL | Qt::Key_T), [this] { OnFollowMarkers(); },
        [this] { return !m_host.IsPlaying() && CanFollowMarkers(); });
    QMenu* remove = marker->addMenu(Menu(QT_TRANSLATE_NOOP("CMainFrame", "削除(&D)")));
    table.AddCommand(
        remove, ID_MARKER_DELETE_FRAME, Menu(QT_TRANSLATE_NOOP("CMainFrame", "表示フレーム(&C)")),
        {}, [this] { OnMarkerDeleteFrame(); },
        [this] {
            return Stream() != nullptr &&
                   Session().Annotations()->m_markers.HasMarkers(Cursor().Current()) &&
                   !m_host.IsMarkerIdDialogVisible();
        });
    table.AddCommand(
        remove, ID_MARKER_DELETE_ALL, Menu(QT_TRANSLATE_NOOP("CMainFrame", "全フレーム(&A)")), {},
        [this] { OnMarkerDeleteAll(); },
        [this] { return AnyMarkers() && !m_host.IsMarkerIdDialogVisible(); });
    table.RefreshOnShow(remove);
    marker->addSeparator();
    table.AddCommand(
        marker, ID_MARKER_SHOW_LOCUS, Menu(QT_TRANSLATE_NOOP("CMainFrame", "軌跡を表示(&L)")), {},
        [this] {
            MarkerIds().showLocus = !MarkerIds().showLocus;
            Session().DisplayChanged();
        },
        [] { return true; }, [this] { return MarkerIds().showLocus; });
    marker->addSeparator();
    table.AddCommand(
        marker, ID_MARKER_SAVE, Menu(QT_TRANSLATE_NOOP("CMainFrame", "保存(&S)")), {},
        [this] { OnMarkerSave(); },
        [this] {
            const CAviVideoStream* s = Stream();
            // Areas alone are worth saving too: the close question offers it for them.
            return s != nullptr &&
                   (Actions().MarkersModified() || Session().Annotations()->m_markers.AnyMarkers());
        });
    QAction* coordinates = table.AddCommand(
        marker, ID_MARKER_COORDINATE_OUTPUT,
        Menu(QT_TRANSLATE_NOOP("CMainFrame", "座標出力(&T)...")), {},
        [this] { OnCoordinateOutput(); }, [this] { return AnyMarkers() && Session().AreasSet(); });
    // Greyed out without areas: the tip says why. A menu shows tooltips of disabled entries
    // too, while the status bar hears only of enabled ones.
    const QString why = QCoreApplication::translate(
        "CTrimmingCommands",
        "トリミング後の画像のピクセルで出力するため、トリミングエリアが必要です。"
        "画像のピクセルやミリメートルでは運動学出力を使ってください。");
    coordinates->setToolTip(why);
    coordinates->setStatusTip(why);
    marker->setToolTipsVisible(true);
}

bool MarkerCommands::AnyMarkers() const {
    const VideoAnnotations* annotations = Session().Annotations();
    return annotations != nullptr && annotations->m_markers.AnyMarkers();
}

void MarkerCommands::OnMarkerSetId() {
    CSetMarkerIDDlg* dialog = m_host.MarkerIdDialog();
    if (dialog == nullptr) {
        return;
    }
    // Offered once: a user who already shows the marker toolbar needs no hint.
    ZebsCOOIconToolBar* markerBar = m_host.MarkerBar();
    kivra::MarkerIdSettings& settings = MarkerIds();
    if (markerBar != nullptr && markerBar->isHidden() && settings.askToShowIdBar) {
        if (Messages().ShowMessage(LoadString(kIdsShowMarkerToolBarQuestion), MsgButtons::YesNo,
                                   MsgIcon::Question) == MsgAnswer::Yes) {
            markerBar->show();
        }
        settings.askToShowIdBar = false;
    }
    dialog->setVisible(!dialog->isVisible());
    EditSession& session = Session();
    if (dialog->isVisible() && session.GetViewMode() != kPreviewMode) {
        session.SetViewMode(kPreviewMode);
        session.SetAreaIndex(0);
    }
    if (CVfwView* view = m_host.VideoView()) {
        DialogParent()->activateWindow();
        view->setFocus();
        view->update();
    }
}

void MarkerCommands::OnMarkerDeleteFrame() {
    const CAviVideoStream* stream = Stream();
    if (stream == nullptr ||
        Messages().ShowMessage(LoadString(kIdsDeleteFrameMarkersQuestion), MsgButtons::YesNo,
                               MsgIcon::Question) != MsgAnswer::Yes) {
        return;
    }
    // The video may have closed or moved on while the question was open.
    if (Stream() != nullptr) {
        Session().DeleteFrameMarkers(Cursor().Current());
    }
}

void MarkerCommands::OnMarkerDeleteAll() {
    if (Session().Annotations() == nullptr ||
        Messages().ShowMessage(LoadString(kIdsDeleteAllMarkersQuestion), MsgButtons::YesNo,
                               MsgIcon::Question) != MsgAnswer::Yes) {
        return;
    }
    Session().DeleteAllMarkers();
}

bool MarkerCommands::OnMarkerSave() {
    return Actions().SaveMarkers().ok();
}

void MarkerCommands::OnMarkersSaved(const std::string& path) {
    m_context.active.Video().History().MarkSaved();
    m_host.ShowSavedStatus(
        QCoreApplication::translate("CTrimmingCommands", "マーカを保存しました: %1")
            .arg(ShownPath(path)));
}

void MarkerCommands::OnCoordinateOutput() {
    const QString path =
        AskSaveFileName(DialogParent(), "CSV file(*.csv)|*.csv||", QStringLiteral("csv"));
    if (!path.isEmpty()) {
        ExportCoordinates(QFile::encodeName(path).toStdString());
    }
}

bool MarkerCommands::ExportCoordinates(const std::string& path) {
    const ActionResult exported = Actions().ExportCoordinateCsv(path);
    if (!exported.ok()) {
        if (!exported.message.empty()) {
            Messages().ShowMessage(exported.message, MsgButtons::Ok, exported.icon);
        }
        return false;
    }
    m_host.ShowSavedStatus(
        QCoreApplication::translate("CTrimmingCommands", "座標を出力しました: %1")
            .arg(ShownPath(path)));
    return true;
}

bool MarkerCommands::CanFollowMarkers() const {
    const CAviVideoStream* stream = Stream();
    const EditSession& session = Session();
    const VideoAnnotations* annotations = session.Annotations();
    return stream != nullptr && annotations != nullptr && IsVideoOpen() &&
           annotations->m_markers.HasMarkers(Cursor().Current()) &&
           Cursor().Current() < session.RangeEnd();
}

void MarkerCommands::OnFollowMarkers() {
    if (!CanFollowMarkers() || Jobs().Busy()) {
        return;
    }
    Workspace* const workspace = &Actions();
    TrackRequest request;
    request.startFrame = Cursor().Current();
    request.endFrame = Session().RangeEnd();
    request.caption =
        QCoreApplication::translate("CTrimmingCommands", "マーカを追跡しています").toStdString();
    request = workspace->FollowRequest(std::move(request));
    // The window only reads the stream and the markers while the job runs.
    Jobs().Run<TrackResult>(
        [workspace, request](JobContext& context) {
            return workspace->TrackForFollow(request, context.Progress());
        },
        [this, workspace, request](TrackResult track) {
            FollowEnded(workspace->FinishFollow(request, std::move(track)));
        });
}

void MarkerCommands::FollowEnded(const FollowResult& followed) {
    // A cancelled run leaves nothing behind: half a run is not what the user asked for.
    if (followed.result.status == ActionResult::kCancelled) {
        return;
    }
    if (!followed.result.ok()) {
        Messages().ShowMessage(
            QCoreApplication::translate("CTrimmingCommands", "マーカを追跡できませんでした。")
                .toStdString(),
            MsgButtons::Ok, MsgIcon::Warning);
        return;
    }
    QStringList lost;
    for (const IdTrack& track : followed.track.tracks) {
        if (track.stop == TrackStop::Lost || track.stop == TrackStop::LeftPicture ||
            track.stop == TrackStop::ReadFailed) {
            lost << QCoreApplication::translate("CTrimmingCommands",
                                                "ID %1: フレーム %2 で見失いました")
                        .arg(track.id)
                        .arg(track.stopFrame);
        }
    }
    // A point that no longer matches is never followed onto the background; the user hears
    // where each one stopped.
    if (!lost.isEmpty()) {
        Messages().ShowMessage((QCoreApplication::translate(
                                    "CTrimmingCommands", "次のマーカは途中で追跡を止めました。") +
                                QLatin1Char('\n') + lost.join(QLatin1Char('\n')))
                                   .toStdString(),
                               MsgButtons::Ok, MsgIcon::Information);
    }
}

QString MarkerCommands::StepHint(MarkerStep missing) {
    switch (missing) {
        case MarkerStep::kAreas:
            return Menu(QT_TRANSLATE_NOOP(
                "CMainFrame",
                "マーカを置くには、まず[トリミング]-[エリア指定]でエリア１とエリア２を"
                "指定してください。"));
        case MarkerStep::kPreview:
            return Menu(QT_TRANSLATE_NOOP(
                "CMainFrame",
                "マーカを置くには、[トリミング]-[プレビュー]でプレビューモードにしてください。"));
        case MarkerStep::kMarkerId:
            return Menu(QT_TRANSLATE_NOOP(
                "CMainFrame",
                "マーカを置くには、[マーカ]-[IDの指定]でマーカのIDを選んでください。"));
    }
    return {};
}

}  // namespace kivra
