#include "workspace/workspace.h"

#include <cstdio>
#include <filesystem>
#include <new>
#include <tuple>

#include "document/vfw_doc.h"
#include "gait/gait_event_list.h"
#include "gait/gait_file.h"
#include "gait/report_header.h"
#include "markers/csv_export.h"
#include "markers/trimming_state.h"
#include "output/movie_target.h"
#include "output/own_files.h"
#include "output/trimmed_movie_writer.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/translation.h"
#include "settings/inifile_manager.h"
#include "workspace/markers_only_open.h"
#include "workspace/open_video.h"

namespace kivra {

namespace {

constexpr char kExportError[] = "Export error!!";

ActionResult Ended(ActionResult::Status status, ActionResult::Stage stage, std::string message,
                   MsgIcon icon = MsgIcon::Warning) {
    ActionResult result;
    result.status = status;
    result.stage = stage;
    result.message = std::move(message);
    result.icon = icon;
    return result;
}

ActionResult Done(const std::string& path) {
    ActionResult result = Ended(ActionResult::kDone, ActionResult::kNoStage, {});
    result.path = path;
    return result;
}

}  // namespace

Workspace::Workspace(kivra::OpenVideo& video, const WorkspaceSettings& settings, DocumentHost& host)
    : m_document(video.Document()), m_session(video.Session()), m_settings(settings), m_host(host) {
    m_document.SetClosedHandler([this] { m_session.EndVideo(); });
}

Workspace::~Workspace() {
    m_document.SetClosedHandler({});
}

bool Workspace::IsVideoOpen() const {
    return !m_document.PathName().empty() && m_document.Stream() != nullptr;
}

ActionResult Workspace::OpenVideo(const std::string& path,
                                  const std::function<void()>& beforeReplacing) {
    ActionResult ended;
    if (!StartOpen(path, beforeReplacing, &ended)) {
        return ended;
    }
    return FinishOpen(
        path, PrepareSource(path, m_host.Progress(), [this] { m_document.OnNewDocument(); }));
}

bool Workspace::StartOpen(const std::string& path, const std::function<void()>& beforeReplacing,
                          ActionResult* ended) {
    if (!ConfirmDiscardMarkers()) {
        *ended = Ended(ActionResult::kCancelled, ActionResult::kNoStage, {});
        return false;
    }
    if (std::string refusal = m_document.CheckSource(path); !refusal.empty()) {
        m_host.ShowMessage(refusal, MsgButtons::Ok, MsgIcon::Warning);
        *ended = Ended(ActionResult::kRefused, ActionResult::kNoStage, {});
        ended->detail = std::move(refusal);  // told already
        return false;
    }
    if (beforeReplacing) {
        beforeReplacing();
    }
    m_document.StartCheckedOpen(path);
    return true;
}

CVfwDoc::PreparedSource Workspace::PrepareSource(const std::string& path, ProgressSink& progress,
                                                 const std::function<void()>& closeOpenVideo) {
    return m_document.PrepareSource(path, progress, closeOpenVideo);
}

ActionResult Workspace::FinishOpen(const std::string& path, CVfwDoc::PreparedSource prepared) {
    // A failure or a cancel was told by the document, which keeps the open video.
    if (!m_document.FinishOpen(path, std::move(prepared))) {
        return Ended(ActionResult::kFailed, ActionResult::kNoStage, {});
    }
    const int frames = m_document.Stream()->GetFrameCount();
    m_session.StartVideo(frames);
    VideoAnnotations& annotations = *m_document.Annotations();
    if (annotations.m_markers.GetLoadState() == CLFFManager::kLoaded) {
        m_session.RestoreTrimmingState(TrimmingStateFromMarkers(annotations.m_markers, frames));
    }
    annotations.m_savedTrimming = m_session.CurrentTrimmingState();  // nothing changed
    return Done(path);
}

ActionResult Workspace::OpenVideoMarkersOnly(const std::string& path) {
    ActionResult ended;
    if (!StartOpen(path, {}, &ended)) {
        return ended;
    }
    std::optional<CVfwDoc::PreparedSource> light =
        PrepareMarkersOnly(path, m_settings.program, m_host.Progress());
    if (!light) {
        return FinishOpen(
            path, PrepareSource(path, m_host.Progress(), [this] { m_document.OnNewDocument(); }));
    }
    return FinishOpen(path, std::move(*light));
}

void Workspace::CloseVideo() {
    m_document.OnNewDocument();
}

bool Workspace::MarkersModified() const {
    const CAviVideoStream* stream = m_document.Stream();
    const VideoAnnotations* annotations = m_document.Annotations();
    if (stream == nullptr || !stream->HasStream() || annotations == nullptr) {
        return false;
    }
    // Areas, range and mode live in the marker file too: losing them loses the user's work.
    return annotations->m_markers.IsModified() ||
           m_session.CurrentTrimmingState() != annotations->m_savedTrimming;
}

bool Workspace::ConfirmDiscardMarkers() {
    if (!MarkersModified()) {
        return true;
    }
    switch (m_host.ShowMessage(LoadString(kIdsSaveMarkersQuestion), MsgButtons::YesNoCancel,
                               MsgIcon::Question)) {
        case MsgAnswer::Yes:
            SaveMarkers();  // a failed save was reported; going on as the user chose
            return true;
        case MsgAnswer::No:
            return true;
        default:
            return false;  // Cancel, or the box closed without an answer
    }
}

ActionResult Workspace::SaveMarkers() {
    return WriteMarkers(true);
}

ActionResult Workspace::SaveMarkerRows() {
    return WriteMarkers(false);
}

ActionResult Workspace::WriteMarkers(bool currentHeader) {
    const CAviVideoStream* stream = m_document.Stream();
    VideoAnnotations* annotations = m_document.Annotations();
    if (stream == nullptr || annotations == nullptr) {
        return Ended(ActionResult::kRefused, ActionResult::kNoVideo, {});
    }
    CLFFManager& markers = annotations->m_markers;
    const std::string path = stream->MarkerFilePath();
    bool saved = false;
    if (currentHeader) {
        const TrimmingState state = m_session.CurrentTrimmingState();
        StoreTrimmingState(markers, state);
        saved = markers.SaveMarkers(path);
        if (saved) {
            annotations->m_savedTrimming = state;
        }
    } else {
        saved = markers.SaveMarkers(path);  // the header as it was read
    }
    if (!saved) {
        const std::string text = LoadString(kIdsMarkerSaveFailed);
        m_host.ShowMessage(text, MsgButtons::Ok, MsgIcon::Warning);
        ActionResult result = Ended(ActionResult::kFailed, ActionResult::kWrite, {});
        result.detail = text;  // told already
        result.path = path;
        return result;
    }
    const ActionResult result = Done(path);
    if (m_savedListener) {
        m_savedListener(result);
    }
    return result;
}

void Workspace::SetSavedListener(std::function<void(const ActionResult&)> listener) {
    m_savedListener = std::move(listener);
}

bool Workspace::RefuseOwnFile(const std::string& path, ActionResult* result) const {
    const OwnFile own = VideoOwnFiles(m_document.PathName(), m_document.Stream()).Which(path);
    if (own == OwnFile::kNone) {
        return false;
    }
    *result = Ended(ActionResult::kRefused, ActionResult::kOwnFile, OwnFileRefusalText(own));
    result->detail = path;
    result->path = path;
    return true;
}

ActionResult Workspace::ExportCoordinateCsv(const std::string& path) {
    const CAviVideoStream* stream = m_document.Stream();
    const VideoAnnotations* annotations = m_document.Annotations();
    if (stream == nullptr || annotations == nullptr) {
        return Ended(ActionResult::kRefused, ActionResult::kNoVideo, {});
    }
    ActionResult refused;
    if (RefuseOwnFile(path, &refused)) {
        return refused;
    }
    const auto [width, height] = m_session.OutputSize();
    std::string problem;
    bool exported = false;
    try {
        exported =
            ExportCsv(annotations->m_markers, path, m_session.RangeStart(), m_session.RangeEnd(),
                      annotations->m_trimParam, stream->GetFrameRate(), width, height, &problem);
    } catch (const std::bad_alloc&) {
        exported = false;  // the session and its unsaved markers stay
    }
    if (!exported) {
        ActionResult result = Ended(ActionResult::kFailed, ActionResult::kWrite,
                                    problem.empty() ? LoadString(kIdsCsvFailed) : problem);
        result.path = path;
        return result;
    }
    return Done(path);
}

KinematicsExport Workspace::ExportKinematicsCsv(const std::string& path,
                                                KinematicsOptions options) {
    KinematicsExport exported;
    const CAviVideoStream* stream = m_document.Stream();
    const VideoAnnotations* annotations = m_document.Annotations();
    if (!IsVideoOpen() || annotations == nullptr) {
        exported.result = Ended(ActionResult::kRefused, ActionResult::kNoVideo, {});
        return exported;
    }
    if (RefuseOwnFile(path, &exported.result)) {
        return exported;
    }
    const CLFFManager& markers = annotations->m_markers;
    const int first = m_session.RangeStart();
    const int last = m_session.RangeEnd();
    options.imageHeight = int(stream->FileInfo().dwHeight);
    bool written = false;
    KinematicsResult table;
    try {
        table = BuildKinematics(markers, first, last, stream->GetFrameRate(), options);
        written = table.table && WriteKinematicsCsv(*table.table, path);
    } catch (const std::bad_alloc&) {
        written = false;  // the session and its unsaved markers stay
    }
    if (!table.table && table.failure != KinematicsResult::kNone) {
        exported.result = Ended(ActionResult::kFailed, ActionResult::kNoStage, table.error);
        exported.result.detail = table.error;
        exported.result.path = path;
        exported.failure = table.failure;
        return exported;
    }
    if (!written) {
        exported.result =
            Ended(ActionResult::kFailed, ActionResult::kWrite, LoadString(kIdsCsvFailed));
        exported.result.path = path;
        return exported;
    }
    exported.emptyAngles = AnglesWithoutData(markers, first, last, options.angles);
    exported.result = Done(path);
    return exported;
}

ActionResult Workspace::SaveTrimmedMovie(const MovieRequest& request, ProgressSink& progress,
                                         UserMessages& messages,
                                         const std::function<void()>& beforeWriting) {
    PendingMovie pending;
    ActionResult ended;
    if (!StartMovie(request, &pending, &ended)) {
        return ended;
    }
    if (beforeWriting) {
        beforeWriting();
    }
    return WriteMovie(pending, progress, messages);
}

bool Workspace::StartMovie(const MovieRequest& request, PendingMovie* pending,
                           ActionResult* ended) const {
    const CAviVideoStream* stream = m_document.Stream();
    const VideoAnnotations* annotations = m_document.Annotations();
    const std::string& target = request.target;
    if (stream == nullptr || annotations == nullptr || target.empty()) {
        *ended = Ended(ActionResult::kRefused, ActionResult::kNoVideo, {});
        return false;
    }
    // Neither the target nor a file written on the way may be one of the open video's.
    std::string clashing;
    const OwnFile clash =
        MovieTargetClash(target, VideoOwnFiles(m_document.PathName(), stream), &clashing);
    if (clash != OwnFile::kNone) {
        *ended = Ended(ActionResult::kRefused, ActionResult::kOwnFile, OwnFileRefusalText(clash),
                       MsgIcon::None);
        ended->detail = clashing;
        ended->path = target;
        return false;
    }
    // What an interrupted save left goes; a link or folder under those names stops the save.
    if (std::string blocked; !ClearInterruptedSave(target, &blocked)) {
        *ended = Ended(ActionResult::kFailed, ActionResult::kBlockedTarget,
                       std::string(kExportError) + "\n" + blocked, MsgIcon::None);
        ended->detail = blocked;
        ended->path = target;
        return false;
    }
    pending->request = request;
    TrimmedMovieJob& job = pending->job;
    job.outputPath = IntermediateMoviePath(target);
    job.rangeStart = m_session.RangeStart();
    job.rangeEnd = m_session.RangeEnd();
    std::tie(job.outputWidth, job.outputHeight) = m_session.OutputSize();
    job.mosaicType = m_session.MosaicType();
    job.deinterlace = m_settings.trimming.deinterlace;
    job.compress = request.compress;
    return true;
}

ActionResult Workspace::WriteMovie(const PendingMovie& pending, ProgressSink& progress,
                                   UserMessages& messages) {
    CAviVideoStream* stream = m_document.Stream();
    const VideoAnnotations* annotations = m_document.Annotations();
    const std::string& target = pending.request.target;
    const std::string& intermediate = pending.job.outputPath;
    if (stream == nullptr || annotations == nullptr) {
        return Ended(ActionResult::kRefused, ActionResult::kNoVideo, {});
    }
    std::string detail;
    const WriteResult written =
        WriteTrimmedMovie(*stream, *annotations, pending.job, progress, messages, &detail);
    if (written != WriteResult::Written) {
        std::remove(intermediate.c_str());
        // A cancelled save is no failure: the user asked for nothing to be left.
        ActionResult result =
            written == WriteResult::Cancelled
                ? Ended(ActionResult::kCancelled, ActionResult::kWrite, {})
                : Ended(ActionResult::kFailed, ActionResult::kWrite, kExportError, MsgIcon::None);
        result.detail = detail;
        result.path = target;
        return result;
    }
    std::string reason;
    if (!PlaceTrimmedMovie(intermediate, target, pending.request.profileIndex, m_document.Encoder(),
                           progress, &reason)) {
        ActionResult result =
            Ended(ActionResult::kFailed, ActionResult::kPlace, kExportError, MsgIcon::None);
        result.detail = reason;
        result.path = target;
        return result;
    }
    return Done(target);
}

FollowResult Workspace::FollowMarkers(TrackRequest request, ProgressSink& progress) {
    if (m_document.Stream() == nullptr || m_document.Annotations() == nullptr) {
        FollowResult followed;
        followed.result = Ended(ActionResult::kRefused, ActionResult::kNoVideo, {});
        return followed;
    }
    request = FollowRequest(std::move(request));
    return FinishFollow(request, TrackForFollow(request, progress));
}

TrackRequest Workspace::FollowRequest(TrackRequest request) const {
    request.deinterlace = m_settings.trimming.deinterlace;
    return request;
}

TrackResult Workspace::TrackForFollow(const TrackRequest& request, ProgressSink& progress) const {
    const CAviVideoStream* stream = m_document.Stream();
    const VideoAnnotations* annotations = m_document.Annotations();
    if (stream == nullptr || annotations == nullptr) {
        TrackResult none;
        none.failure = "no video";
        return none;
    }
    return TrackMarkers(*stream, annotations->m_markers, request, progress);
}

FollowResult Workspace::FinishFollow(const TrackRequest& request, TrackResult track) {
    FollowResult followed;
    followed.track = std::move(track);
    if (m_document.Stream() == nullptr || m_document.Annotations() == nullptr) {
        followed.result = Ended(ActionResult::kRefused, ActionResult::kNoVideo, {});
        return followed;
    }
    const TrackResult& tracked = followed.track;
    // A cancelled run leaves nothing behind: half a run is not what the user asked for.
    if (tracked.cancelled) {
        followed.result = Ended(ActionResult::kCancelled, ActionResult::kNoStage, {});
        return followed;
    }
    if (!tracked.failure.empty()) {
        followed.result = Ended(ActionResult::kFailed, ActionResult::kNoStage, tracked.failure);
        followed.result.detail = tracked.failure;
        return followed;
    }
    std::vector<int> ids;
    for (const IdTrack& id : tracked.tracks) {
        ids.push_back(id.id);
    }
    m_session.ReplaceMarkers(
        EditKind::kTrackMarkers, ids, request.startFrame + 1, request.endFrame,
        [&tracked](CLFFManager& markers) { ApplyTrackResult(tracked, markers); });
    followed.result = Done({});
    return followed;
}

std::string Workspace::GaitEventsPath() const {
    const CAviVideoStream* stream = m_document.Stream();
    return stream != nullptr ? GaitFilePath(stream->MarkerFilePath()) : std::string();
}

std::string Workspace::VisitPath() const {
    const CAviVideoStream* stream = m_document.Stream();
    return stream != nullptr ? ReportHeaderPath(stream->MarkerFilePath()) : std::string();
}

GaitRun Workspace::AnalyseGait(const GaitRequest& request) const {
    GaitRun run;
    const CAviVideoStream* stream = m_document.Stream();
    const VideoAnnotations* annotations = m_document.Annotations();
    if (!IsVideoOpen() || annotations == nullptr) {
        run.result = Ended(ActionResult::kRefused, ActionResult::kNoVideo, {});
        return run;
    }
    const CLFFManager& markers = annotations->m_markers;
    const int first = m_session.RangeStart();
    const int last = m_session.RangeEnd();
    GaitAnalysisOptions options = request;
    run.missing = GaitMarkersWithoutData(markers, options, first, last);
    if (!run.missing.empty()) {
        run.failure = GaitRun::kMarkersWithoutData;
        run.result = Ended(ActionResult::kFailed, ActionResult::kNoStage, {});
        return run;
    }
    const std::string path = GaitEventsPath();
    if (!options.events && !request.detect) {
        GaitFileRead read = ReadGaitFile(path);
        if (read.status == GaitFileRead::kDamaged) {
            run.failure = GaitRun::kDamagedEventsFile;
            run.result = Ended(ActionResult::kFailed, ActionResult::kNoStage, {});
            run.result.detail = read.problem;
            run.result.path = path;
            return run;
        }
        if (read.status == GaitFileRead::kLoaded) {
            if (auto outside = EventOutsideRange(read.events, first, last)) {
                run.failure = GaitRun::kDamagedEventsFile;
                run.result = Ended(ActionResult::kFailed, ActionResult::kNoStage, {});
                run.result.detail = std::move(*outside);
                run.result.path = path;
                return run;
            }
            options.events = std::move(read.events);
        }
    }
    // Which picture each frame shows: a source of varying rate repeats some and leaves some out.
    options.timing.frames = last - first + 1;
    for (int n = first + 1, before = stream->PictureOf(first); n <= last; ++n) {
        const int picture = stream->PictureOf(n);
        if (picture >= 0 && before >= 0) {
            options.timing.repeated += picture == before ? 1 : 0;
            options.timing.skipped += std::max(0, picture - before - 1);
        }
        before = picture;
    }
    try {
        run.analysis = kivra::AnalyseGait(markers, first, last, stream->GetFrameRate(), options);
    } catch (const std::bad_alloc&) {
        // The session and its unsaved markers stay.
        run.analysis.error = translate("GaitMessages", "メモリが足りません");
    }
    if (!run.analysis.error.empty()) {
        run.failure = GaitRun::kNoEvents;
        run.result = Ended(ActionResult::kFailed, ActionResult::kNoStage, {});
        run.result.detail = run.analysis.error;
        return run;
    }
    run.result = Done({});
    return run;
}

ActionResult Workspace::SaveGaitEvents(const std::vector<GaitEvent>& events) {
    if (!IsVideoOpen()) {
        return Ended(ActionResult::kRefused, ActionResult::kNoVideo, {});
    }
    const std::string path = GaitEventsPath();
    if (!WriteGaitFile(path, events)) {
        ActionResult result = Ended(ActionResult::kFailed, ActionResult::kWrite, {});
        result.path = path;
        return result;
    }
    return Done(path);
}

ActionResult Workspace::RemoveGaitEvents() {
    if (!IsVideoOpen()) {
        return Ended(ActionResult::kRefused, ActionResult::kNoVideo, {});
    }
    const std::string path = GaitEventsPath();
    // The marker roles, a front video's or the feet, outlive the events.
    if (const GaitFileRead read = ReadGaitFile(path); read.frontal || read.feet) {
        if (!WriteGaitFile(path, {})) {
            ActionResult result = Ended(ActionResult::kFailed, ActionResult::kWrite, {});
            result.path = path;
            return result;
        }
        return Done(path);
    }
    std::error_code failed;
    const bool removed = std::filesystem::remove(path, failed);
    if (failed) {
        ActionResult result = Ended(ActionResult::kFailed, ActionResult::kWrite, {});
        result.detail = failed.message();
        result.path = path;
        return result;
    }
    return Done(removed ? path : std::string());
}

ActionResult Workspace::WriteGaitCsv(const GaitAnalysis& analysis,
                                     const std::string& folder) const {
    ActionResult refused;
    for (const char* name : kGaitCsvFileNames) {
        if (RefuseOwnFile(folder + "/" + name, &refused)) {
            return refused;
        }
    }
    if (const auto failed = WriteGaitCsvFiles(analysis, folder)) {
        ActionResult result = Ended(ActionResult::kFailed, ActionResult::kWrite, {});
        result.path = folder + "/" + *failed;
        return result;
    }
    return Done(folder);
}

ActionResult Workspace::CheckOutputTarget(const std::string& path) const {
    ActionResult refused;
    return RefuseOwnFile(path, &refused) ? refused : Done(path);
}

RunCalibration Workspace::CalibrationForRun(std::optional<double> scaleMmPerPixel) const {
    RunCalibration run;
    run.path = CalibrationPath(m_document.PathName());
    if (scaleMmPerPixel) {
        run.calibration = Calibration{*scaleMmPerPixel, std::nullopt, std::nullopt};
        return run;
    }
    CalibrationRead read = ReadCalibrationFile(run.path);
    if (read.status == CalibrationRead::kDamaged) {
        run.damaged = true;
        run.problem = std::move(read.problem);
    } else if (read.status == CalibrationRead::kLoaded) {
        run.calibration = read.calibration;
    }
    return run;
}

EditSession::SkipFill Workspace::SkippedFramesFill() const {
    const CAviVideoStream* stream = m_document.Stream();
    if (stream == nullptr || !m_settings.markerId.skipFillByTracking) {
        return {};
    }
    const bool deinterlace = m_settings.trimming.deinterlace;
    return [stream, deinterlace](CLFFManager& markers, int row, int at, double x, double y,
                                 int count, int rangeStart) {
        FillSkippedFramesByTracking(*stream, markers, row, at, x, y, count, rangeStart,
                                    deinterlace);
    };
}

}  // namespace kivra
