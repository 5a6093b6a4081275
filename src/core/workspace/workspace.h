#pragma once
// What the user does with the open video, as actions: opening it, saving its markers, the
// coordinate and kinematics CSVs, the trimmed movie, following markers and the gait analysis. The
// window's commands and kivra-cli call the same actions; each returns what happened, tells the user
// what it must tell on the way through the document's host, and runs to its end on the
// calling thread with a progress sink and its cancel. The long ones also come in steps whose
// middle a window runs on a worker. Holds the document, the editing session, the current frame
// and the settings groups it reads, which its owner (the application, the CLI's opened video)
// keeps alive.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "document/vfw_doc.h"
#include "gait/gait_analysis.h"
#include "kinematics/calibration.h"
#include "kinematics/kinematics_table.h"
#include "output/compress_options.h"
#include "output/trimmed_movie_writer.h"
#include "platform/user_messages.h"
#include "session/edit_session.h"
#include "settings/inifile_manager.h"
#include "tracking/marker_tracker.h"

namespace kivra {

class DocumentHost;
class OpenVideo;
class ProgressSink;

// How an action ended, what the user is to be told and which file it wrote.
struct ActionResult {
    enum Status {
        kDone,
        kRefused,    // nothing was tried: no video, or the target is one of the video's files
        kFailed,     // tried and failed; nothing of it is left
        kCancelled,  // the user stopped it; nothing to tell
    };
    // Where a refusal or failure came from, for callers that word it their own way.
    enum Stage { kNoStage, kNoVideo, kOwnFile, kBlockedTarget, kWrite, kPlace };
    Status status = kRefused;
    Stage stage = kNoVideo;
    std::string message;  // the window's text for the user; empty when there is nothing to tell
    MsgIcon icon = MsgIcon::Warning;
    std::string detail;  // the technical why (a clashing path, the encoder's reason)
    std::string path;    // the file the action wrote or meant to write

    bool ok() const { return status == kDone; }
};

// A trimmed movie to save: where, through which profile, with which compressor.
struct MovieRequest {
    std::string target;
    int profileIndex = -1;  // conversion profile for a target that is no AVI
    CompressOptions compress;
};

// A trimmed movie whose target passed its checks, with what writing it needs.
struct PendingMovie {
    MovieRequest request;
    TrimmedMovieJob job;
};

struct KinematicsExport {
    ActionResult result;
    KinematicsResult::Failure failure = KinematicsResult::kNone;  // why no table was built
    // Angles written as empty columns because a marker they name has no data in the range.
    std::vector<AngleWithoutData> emptyAngles;
};

struct FollowResult {
    ActionResult result;
    TrackResult track;  // the run's report; applied to the markers only when result.ok()
};

// A gait analysis of the play range: the feet, angles and scale to use, and which events.
// Events given are taken as they are; without them the events file's are used, or they are
// detected.
struct GaitRequest : GaitAnalysisOptions {
    bool detect = false;  // the events file is left unread
};

// The calibration a run measures in: a scale given for the run replaces the video's
// calibration file; with neither, image pixels. A damaged file is said, never taken for pixels.
struct RunCalibration {
    std::optional<Calibration> calibration;
    std::string path;      // the video's calibration file
    bool damaged = false;  // the file is there but unusable; the run should stop
    std::string problem;   // what is wrong with it, for the user
};

struct GaitRun {
    enum Failure { kNone, kMarkersWithoutData, kDamagedEventsFile, kNoEvents };
    ActionResult result;  // detail: the events file's problem or why nothing was detected
    Failure failure = kNone;
    std::vector<GaitMarkerWithoutData> missing;  // with kMarkersWithoutData
    GaitAnalysis analysis;                       // whole when result.ok()
};

// The settings groups the actions read, as they stand at each action: the store's own.
struct WorkspaceSettings {
    const TrimmingSettings& trimming;  // deinterlacing of the pictures actions decode
    const MarkerIdSettings& markerId;  // how skip-mode clicks fill the frames they pass
    const ProgramSettings& program;    // whether the markers-only open reads a clip directly
};

class Workspace {
public:
    // The actions on one open video: its document and session. The groups in settings must
    // outlive the workspace.
    Workspace(kivra::OpenVideo& video, const WorkspaceSettings& settings, DocumentHost& host);
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    CVfwDoc& Document() const { return m_document; }
    EditSession& Session() const { return m_session; }
    // The document holds a path and a stream.
    bool IsVideoOpen() const;

    // The discard question first, then the source checks; beforeReplacing runs once the file
    // is worth trying, before anything that reads the open video stops (playback). A good file
    // becomes the open video with the session started on it and the marker file's trimming
    // state restored.
    ActionResult OpenVideo(const std::string& path,
                           const std::function<void()>& beforeReplacing = {});
    // OpenVideo in its steps, for a window that prepares the source on a worker. StartOpen asks,
    // checks and runs beforeReplacing; false, with *ended, when there is nothing more to do.
    // PrepareSource may run on another thread while the caller leaves the workspace alone;
    // closeOpenVideo runs where the document lives. FinishOpen makes the prepared source the
    // open video, or tells why it could not.
    bool StartOpen(const std::string& path, const std::function<void()>& beforeReplacing,
                   ActionResult* ended);
    CVfwDoc::PreparedSource PrepareSource(const std::string& path, ProgressSink& progress,
                                          const std::function<void()>& closeOpenVideo);
    ActionResult FinishOpen(const std::string& path, CVfwDoc::PreparedSource prepared);
    // OpenVideo for work on the markers alone: the frames are numbered from the index without
    // a decoder or the sound, so that it is quick and also opens a file whose codec is missing.
    // No picture can be shown. A source the full open would convert first is opened in full.
    ActionResult OpenVideoMarkersOnly(const std::string& path);
    // Closes the open video (no question).
    void CloseVideo();

    // Whether the marker file would change when saved: markers edited, or the trimming state
    // unlike the one the file holds.
    bool MarkersModified() const;
    // Before the open video is given up: question 2041 when its markers or trimming state
    // changed, Yes saving them. False when the user cancelled.
    bool ConfirmDiscardMarkers();

    // The markers with the current trimming state as the file's header. A failure was told
    // (2037); a success reaches the saved listener too, whoever asked.
    ActionResult SaveMarkers();
    // Only the marker rows: the header goes back as it was read.
    ActionResult SaveMarkerRows();
    void SetSavedListener(std::function<void(const ActionResult&)> listener);

    // The coordinate CSV of the play range.
    ActionResult ExportCoordinateCsv(const std::string& path);
    // The kinematics table of the play range; options.imageHeight is taken from the video.
    KinematicsExport ExportKinematicsCsv(const std::string& path, KinematicsOptions options);
    // The trimmed movie of the play range through an intermediate AVI; messages gets the
    // writer's own messages, beforeWriting runs once the target passed its checks.
    ActionResult SaveTrimmedMovie(const MovieRequest& request, ProgressSink& progress,
                                  UserMessages& messages,
                                  const std::function<void()>& beforeWriting = {});
    // SaveTrimmedMovie in its steps, for a window that writes on a worker. StartMovie checks the
    // target and gathers the job; false, with *ended, when nothing is to be written. WriteMovie
    // may run on another thread while the caller leaves the video, its annotations and the
    // encoder alone.
    bool StartMovie(const MovieRequest& request, PendingMovie* pending, ActionResult* ended) const;
    ActionResult WriteMovie(const PendingMovie& pending, ProgressSink& progress,
                            UserMessages& messages);
    // Follows the request's markers (deinterlaced as the settings say) and applies the run as
    // one edit of the session.
    FollowResult FollowMarkers(TrackRequest request, ProgressSink& progress);
    // FollowMarkers in its steps, for a window that tracks on a worker. FollowRequest completes
    // the request from the settings. TrackForFollow only reads the open video and its markers
    // and may run on another thread while the caller changes neither. FinishFollow applies the
    // run as one edit.
    TrackRequest FollowRequest(TrackRequest request) const;
    TrackResult TrackForFollow(const TrackRequest& request, ProgressSink& progress) const;
    FollowResult FinishFollow(const TrackRequest& request, TrackResult track);
    // The gait events file of the open video: beside its marker file, "<base>.kgait".
    std::string GaitEventsPath() const;
    // The report header file of the open video: beside its marker file, "<base>.kvisit".
    std::string VisitPath() const;
    // Heel strikes, toe-offs, stride parameters and cycle curves of the play range.
    GaitRun AnalyseGait(const GaitRequest& request) const;
    // Replaces the gait events file in one step; a failure leaves the old one.
    ActionResult SaveGaitEvents(const std::vector<GaitEvent>& events);
    // Drops the gait events, so that they are detected again: the events file is deleted, or
    // rewritten without events when it keeps marker roles; path is that file, empty when there
    // was none. A failure leaves it.
    ActionResult RemoveGaitEvents();
    // The analysis's CSV files into folder (which must exist), each refused when it is, or
    // leads through a link to, one of the open video's own files; nothing is written then.
    ActionResult WriteGaitCsv(const GaitAnalysis& analysis, const std::string& folder) const;
    // Done when an output may be written at path; refused, with its text, when path is one of
    // the open video's own files (for outputs written elsewhere, such as the report).
    ActionResult CheckOutputTarget(const std::string& path) const;
    // The calibration of a run on the open video; scaleMmPerPixel, when given, replaces its
    // calibration file.
    RunCalibration CalibrationForRun(std::optional<double> scaleMmPerPixel) const;
    // How a skip-mode click fills the frames it passes over: by tracking when the settings
    // say so, else empty (a straight line).
    EditSession::SkipFill SkippedFramesFill() const;

private:
    // Refused, with its text and path, when path is one of the open video's own files.
    bool RefuseOwnFile(const std::string& path, ActionResult* result) const;
    ActionResult WriteMarkers(bool currentHeader);

    CVfwDoc& m_document;
    EditSession& m_session;
    const WorkspaceSettings m_settings;
    DocumentHost& m_host;
    std::function<void(const ActionResult&)> m_savedListener;
};

}  // namespace kivra
