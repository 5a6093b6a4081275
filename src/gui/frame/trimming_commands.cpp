#include "frame/trimming_commands.h"

#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <new>

#include "document/vfw_doc.h"
#include "frame/config_trimming_dlg.h"
#include "frame/job_runner.h"
#include "frame/qt_user_messages.h"
#include "markers/csv_export.h"
#include "markers/set_marker_id_dlg.h"
#include "markers/trimming_state.h"
#include "output/own_files.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "reading/avi_video_stream.h"
#include "session/edit_session.h"
#include "settings/inifile_manager.h"
#include "tracking/marker_tracker.h"
#include "ui/icon_toolbar.h"
#include "view/vfw_view.h"

using kivra::MsgAnswer;
using kivra::MsgButtons;
using kivra::MsgIcon;

namespace {

QString ShownPath(const std::string& path) {
    return QFile::decodeName(path.c_str());
}

}  // namespace

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
    CConfigTrimming dialog(m_host.Settings(), doc->CodecOption(), m_host.Messages(),
                           m_host.DialogParent());
    if (dialog.exec() != QDialog::Accepted || !m_host.IsVideoOpen()) {
        return;
    }
    // The areas keep their points; their boxes take the new direction's shape.
    kivra::EditSession& session = m_host.Session();
    session.ApplyDirection(m_host.Settings().Direction);
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
    m_host.Settings().MosaicRectType = type;
    // With a video the session's notification brings the bar along.
    if (!m_host.Session().SetMosaicType(type)) {
        m_host.SyncMosaicBar();
    }
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
    if (const CAviVideoStream* now = m_host.Stream()) {
        m_host.Session().DeleteFrameMarkers(now->m_nCurrentFrame);
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
    const CAviVideoStream* stream = m_host.Stream();
    VideoAnnotations* annotations = m_host.Session().Annotations();
    if (stream == nullptr || annotations == nullptr) {
        return false;
    }
    const kivra::TrimmingState state = m_host.Session().CurrentTrimmingState(m_host.Settings());
    kivra::StoreTrimmingState(annotations->m_markers, state);
    const std::string path = stream->MarkerFilePath();
    const bool saved =
        annotations->m_markers.SaveMarkers(path, state.sizeType, state.direction, state.mosaicType);
    if (saved) {
        annotations->m_savedTrimming = state;
        m_host.MarkersSaved();
        m_host.ShowSavedStatus(
            QCoreApplication::translate("CTrimmingCommands", "マーカを保存しました: %1")
                .arg(ShownPath(path)));
    } else {
        m_host.Messages().ShowMessage(kivra::LoadString(kivra::kIdsMarkerSaveFailed),
                                      MsgButtons::Ok, MsgIcon::Warning);
    }
    return saved;
}

void CTrimmingCommands::OnCoordinateOutput() {
    const QString path = kivra::AskSaveFileName(m_host.DialogParent(), "CSV file(*.csv)|*.csv||",
                                                QStringLiteral("csv"));
    if (!path.isEmpty()) {
        ExportCoordinates(QFile::encodeName(path).toStdString());
    }
}

bool CTrimmingCommands::ExportCoordinates(const std::string& path) {
    const CAviVideoStream* stream = m_host.Stream();
    const kivra::EditSession& session = m_host.Session();
    const VideoAnnotations* annotations = session.Annotations();
    if (stream == nullptr || annotations == nullptr) {
        return false;
    }
    const CVfwDoc* doc = m_host.GetDocument();
    const kivra::OwnFile own =
        kivra::VideoOwnFiles(doc != nullptr ? doc->PathName() : std::string(), stream).Which(path);
    if (own != kivra::OwnFile::kNone) {
        m_host.Messages().ShowMessage(kivra::OwnFileRefusalText(own), MsgButtons::Ok,
                                      MsgIcon::Warning);
        return false;
    }
    const auto [width, height] = m_host.Settings().OutputSize();
    std::string problem;
    bool exported = false;
    try {
        exported = kivra::ExportCsv(annotations->m_markers, path, session.RangeStart(),
                                    session.RangeEnd(), annotations->m_trimParam,
                                    stream->GetFrameRate(), width, height, &problem);
    } catch (const std::bad_alloc&) {
        exported = false;  // the session and its unsaved markers stay
    }
    if (!exported) {
        m_host.Messages().ShowMessage(
            problem.empty() ? kivra::LoadString(kivra::kIdsCsvFailed) : problem, MsgButtons::Ok,
            MsgIcon::Warning);
    } else {
        m_host.ShowSavedStatus(
            QCoreApplication::translate("CTrimmingCommands", "座標を出力しました: %1")
                .arg(ShownPath(path)));
    }
    return exported;
}

bool CTrimmingCommands::CanFollowMarkers() const {
    const CAviVideoStream* stream = m_host.Stream();
    const kivra::EditSession& session = m_host.Session();
    const VideoAnnotations* annotations = session.Annotations();
    return stream != nullptr && annotations != nullptr && m_host.IsVideoOpen() &&
           annotations->m_markers.HasMarkers(stream->m_nCurrentFrame) &&
           stream->m_nCurrentFrame < session.RangeEnd();
}

void CTrimmingCommands::OnFollowMarkers() {
    if (!CanFollowMarkers() || m_host.Jobs().Busy()) {
        return;
    }
    const CAviVideoStream* stream = m_host.Stream();
    kivra::TrackRequest request;
    request.startFrame = stream->m_nCurrentFrame;
    request.endFrame = m_host.Session().RangeEnd();
    request.deinterlace = m_host.Settings().Deinterlace != 0;
    request.caption =
        QCoreApplication::translate("CTrimmingCommands", "マーカを追跡しています").toStdString();
    // The window only reads the stream and the markers while the job runs.
    const CLFFManager* markers = &m_host.Session().Annotations()->m_markers;
    m_host.Jobs().Run<kivra::TrackResult>(
        [stream, markers, request](kivra::JobContext& context) {
            return kivra::TrackMarkers(*stream, *markers, request, context.Progress());
        },
        [this, request](kivra::TrackResult result) { ApplyFollowedMarkers(request, result); });
}

void CTrimmingCommands::ApplyFollowedMarkers(const kivra::TrackRequest& request,
                                             const kivra::TrackResult& result) {
    // A cancelled run leaves nothing behind: half a run is not what the user asked for.
    if (result.cancelled) {
        return;
    }
    if (!result.failure.empty()) {
        m_host.Messages().ShowMessage(
            QCoreApplication::translate("CTrimmingCommands", "マーカを追跡できませんでした。")
                .toStdString(),
            MsgButtons::Ok, MsgIcon::Warning);
        return;
    }
    std::vector<int> ids;
    QStringList lost;
    for (const kivra::IdTrack& track : result.tracks) {
        ids.push_back(track.id);
        if (track.stop == kivra::TrackStop::Lost || track.stop == kivra::TrackStop::LeftPicture ||
            track.stop == kivra::TrackStop::ReadFailed) {
            lost << QCoreApplication::translate("CTrimmingCommands",
                                                "ID %1: フレーム %2 で見失いました")
                        .arg(track.id)
                        .arg(track.stopFrame);
        }
    }
    m_host.Session().ReplaceMarkers(
        kivra::EditKind::kTrackMarkers, ids, request.startFrame + 1, request.endFrame,
        [&result](CLFFManager& markers) { ApplyTrackResult(result, markers); });
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
                view->SetBoxHalfSize(m_host.Settings().LengthFromCenter1);
            }
            return true;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            if (session.AreaIndex() == 0 && session.SetAreaIndex(1) &&
                session.GetTrimmingMode() == kivra::kFrontMode) {
                view->SetBoxHalfSize(m_host.Settings().LengthFromCenter2);
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
