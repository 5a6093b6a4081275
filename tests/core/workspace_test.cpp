// The actions on the open video driven with neither window nor kivra-cli: what they write, what
// they tell, and that a refused one changes nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "kinematics/joint_angle.h"
#include "markers/lff_manager.h"
#include "markers/trimming_state.h"
#include "output/movie_target.h"
#include "output/own_files.h"
#include "platform/four_cc.h"
#include "platform/path_util.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "reading/avi_video_stream.h"
#include "support/ffmpeg_tool.h"
#include "support/recording_host.h"
#include "support/target_video.h"

namespace {

namespace fs = std::filesystem;

using kivra::ActionResult;
using kivra::test::ReadFile;
using kivra::test::TargetPoint;
using kivra::test::TempDir;
using kivra::test::WriteFile;

TargetPoint Knee(int f) {
    return {40 + 3.0 * f, 50 + 1.0 * f};
}
TargetPoint Ankle(int f) {
    return {60 + 3.0 * f, 95.0};
}

kivra::CompressOptions Uncompressed() {
    kivra::CompressOptions compress;
    compress.fccType = kivra::MakeFourCC("vids");
    compress.fccHandler = kivra::MakeFourCC("DIB ");
    return compress;
}

std::vector<std::string> Names(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A walker's knee and ankle clicked on frame 2, the areas on frames 2 and 17, range 2 .. 17.
class WorkspaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kivra::test::WriteTargetVideo(
            video, 160, 120, 20, {{Knee, 5.0, 20, 30, 230}, {Ankle, 5.0, 200, 60, 30}},
            {"-c:v", "mjpeg", "-q:v", "2"}));
    }
    void OpenAndClick() {
        ASSERT_TRUE(f.Open(video));
        kivra::EditSession& session = f.session;
        ASSERT_TRUE(session.SetArea(0, {10, 10, 90, 110}, 2));
        ASSERT_TRUE(session.SetArea(1, {70, 10, 150, 110}, 17));
        ASSERT_TRUE(session.SetPlayRange(2, 17));
        ASSERT_TRUE(session.SetMarker(1, 2, Knee(2).x, Knee(2).y));
        ASSERT_TRUE(session.SetMarker(2, 2, Ankle(2).x, Ankle(2).y));
        f.host.calls.clear();
    }
    std::string Cli(const std::string& command, std::vector<std::string> args) {
        return kivra::test::RunCliCommand(dir, command, std::move(args)) == 0
                   ? std::string()
                   : ReadFile(dir.File("err.txt")) + " (kivra-cli " + command + ")";
    }

    TempDir dir{"work space 'ü' $x;"};
    const std::string video = dir.File("-walk 01.avi");
    kivra::test::RecordedDocument f;
};

// Save, both CSVs, following and the trimmed movie, each with the file the CLI would write.
TEST_F(WorkspaceTest, ActionsWriteWhatTheCliWrites) {
    OpenAndClick();
    const std::string markerFile = kivra::ReplaceExtension(video, ".lff");

    const ActionResult followed = [&] {
        kivra::TrackRequest request;
        request.startFrame = 2;
        request.endFrame = 17;
        const kivra::FollowResult run = f.workspace.FollowMarkers(request, f.host.progress);
        EXPECT_EQ(run.track.tracks.size(), 2u);
        return run.result;
    }();
    ASSERT_TRUE(followed.ok()) << followed.message;
    for (int frame = 3; frame <= 17; ++frame) {
        std::vector<T_DRAW_MARKER> placed;
        f.doc.Annotations()->m_markers.GetFrameMarkers(frame, placed);
        ASSERT_EQ(placed.size(), 2u) << frame;
        const TargetPoint truth = placed[0].ID == 1 ? Knee(frame) : Ankle(frame);
        EXPECT_LT(std::hypot(placed[0].x - truth.x, placed[0].y - truth.y), 1.5) << frame;
    }

    ASSERT_TRUE(f.workspace.MarkersModified());
    const ActionResult saved = f.workspace.SaveMarkers();
    ASSERT_TRUE(saved.ok());
    EXPECT_EQ(saved.path, markerFile);
    EXPECT_EQ(f.host.calls, std::vector<std::string>{"save markers"});
    EXPECT_FALSE(f.workspace.MarkersModified());
    {
        CLFFManager stored;
        stored.LoadMarkers(markerFile, 100);
        ASSERT_EQ(stored.GetLoadState(), CLFFManager::kLoaded);
        EXPECT_TRUE(stored.HasMarkers(17));
        const kivra::TrimmingState state = kivra::TrimmingStateFromMarkers(stored, 20);
        EXPECT_EQ(state.rangeStart, 2);
        EXPECT_EQ(state.rangeEnd, 17);
        EXPECT_EQ(state.area2.frame, 17);
    }

    // The CSVs byte for byte as kivra-cli writes them from the saved marker file.
    const std::string csv = dir.File("coords.csv");
    const ActionResult coordinates = f.workspace.ExportCoordinateCsv(csv);
    ASSERT_TRUE(coordinates.ok()) << coordinates.message;
    EXPECT_EQ(coordinates.path, csv);
    ASSERT_EQ(Cli("csv", {video, dir.File("cli coords.csv")}), "");
    EXPECT_EQ(ReadFile(csv), ReadFile(dir.File("cli coords.csv")));
    EXPECT_GT(kivra::test::CsvFields(ReadFile(csv)).size(), 16u);

    const std::string kinematics = dir.File("kinematics.csv");
    kivra::KinematicsOptions options;
    options.filterHz = 5.0;
    const kivra::KinematicsExport table = f.workspace.ExportKinematicsCsv(kinematics, options);
    ASSERT_TRUE(table.result.ok()) << table.result.message;
    EXPECT_TRUE(table.emptyAngles.empty());
    ASSERT_EQ(Cli("kinematics", {video, dir.File("cli kinematics.csv"), "--filter", "5"}), "");
    EXPECT_EQ(ReadFile(kinematics), ReadFile(dir.File("cli kinematics.csv")));
    // An angle at a marker without data is written as an empty column and reported.
    std::string why;
    options.angles.push_back(*kivra::ParseNamedAngle("hip=1,9,2", &why));
    const kivra::KinematicsExport withAngle = f.workspace.ExportKinematicsCsv(kinematics, options);
    ASSERT_TRUE(withAngle.result.ok());
    ASSERT_EQ(withAngle.emptyAngles.size(), 1u);
    EXPECT_EQ(withAngle.emptyAngles[0].id, 9);

    const std::string movie = dir.File("trimmed $1.avi");
    WriteFile(movie, "old movie");
    const ActionResult exported =
        f.workspace.SaveTrimmedMovie({movie, -1, Uncompressed()}, f.host.progress, f.host);
    ASSERT_TRUE(exported.ok()) << exported.message << exported.detail;
    ASSERT_EQ(Cli("export", {video, dir.File("cli trimmed.avi"), "--codec", "DIB"}), "");
    EXPECT_EQ(ReadFile(movie), ReadFile(dir.File("cli trimmed.avi")));
    CAviVideoStream written(movie);
    ASSERT_EQ(written.OpenStream(), CAviVideoStream::kOpened);
    EXPECT_EQ(written.GetFrameCount(), 16);
    EXPECT_TRUE(f.host.messages.empty());
    EXPECT_EQ(Names(dir),
              (std::vector<std::string>{"-walk 01.avi", "-walk 01.lff", "cli coords.csv",
                                        "cli kinematics.csv", "cli trimmed.avi", "coords.csv",
                                        "err.txt", "kinematics.csv", "trimmed $1.avi"}));
}

// Without a video every action is refused silently; with one, a target that is the video's
// own file or cannot be written is refused or fails with its message, and nothing changes.
TEST_F(WorkspaceTest, RefusedActionsChangeNothing) {
    const std::string csv = dir.File("out.csv");
    EXPECT_EQ(f.workspace.SaveMarkers().stage, ActionResult::kNoVideo);
    EXPECT_EQ(f.workspace.ExportCoordinateCsv(csv).stage, ActionResult::kNoVideo);
    EXPECT_EQ(f.workspace.ExportKinematicsCsv(csv, {}).result.stage, ActionResult::kNoVideo);
    EXPECT_EQ(
        f.workspace.SaveTrimmedMovie({csv, -1, Uncompressed()}, f.host.progress, f.host).stage,
        ActionResult::kNoVideo);
    EXPECT_EQ(f.workspace.FollowMarkers({}, f.host.progress).result.stage, ActionResult::kNoVideo);
    EXPECT_TRUE(f.host.messages.empty());
    EXPECT_TRUE(f.host.calls.empty());
    EXPECT_EQ(Names(dir), std::vector<std::string>{"-walk 01.avi"});

    OpenAndClick();
    const std::string videoBytes = ReadFile(video);
    const std::string ownText = kivra::OwnFileRefusalText(kivra::OwnFile::kVideo);
    const ActionResult ownCsv = f.workspace.ExportCoordinateCsv(video);
    EXPECT_EQ(ownCsv.status, ActionResult::kRefused);
    EXPECT_EQ(ownCsv.message, ownText);
    const ActionResult ownTable = f.workspace.ExportKinematicsCsv(video, {}).result;
    EXPECT_EQ(ownTable.stage, ActionResult::kOwnFile);
    EXPECT_EQ(ownTable.message, ownText);
    const ActionResult ownMovie =
        f.workspace.SaveTrimmedMovie({video, -1, Uncompressed()}, f.host.progress, f.host);
    EXPECT_EQ(ownMovie.stage, ActionResult::kOwnFile);
    EXPECT_EQ(ownMovie.detail, video);
    EXPECT_EQ(ReadFile(video), videoBytes);

    // Targets in a folder that is not there, and a marker file name taken by a folder.
    const std::string nowhere = dir.File("gone/out.csv");
    const ActionResult failedCsv = f.workspace.ExportCoordinateCsv(nowhere);
    EXPECT_EQ(failedCsv.status, ActionResult::kFailed);
    EXPECT_FALSE(failedCsv.message.empty());
    const ActionResult failedTable = f.workspace.ExportKinematicsCsv(nowhere, {}).result;
    EXPECT_EQ(failedTable.status, ActionResult::kFailed);
    EXPECT_EQ(failedTable.message, kivra::LoadString(kivra::kIdsCsvFailed));
    fs::create_directory(dir.File("-walk 01.lff"));
    const ActionResult failedSave = f.workspace.SaveMarkers();
    EXPECT_EQ(failedSave.status, ActionResult::kFailed);
    EXPECT_EQ(f.host.messages,
              std::vector<std::string>{kivra::LoadString(kivra::kIdsMarkerSaveFailed)});
    EXPECT_TRUE(f.workspace.MarkersModified()) << "the edits still wait to be saved";
    EXPECT_TRUE(f.host.calls.empty()) << "no save reported";

    // A folder where the movie's intermediate goes stops the save before it writes anything.
    const std::string movie = dir.File("walk.avi");
    WriteFile(movie, "old movie");
    fs::create_directory(kivra::IntermediateMoviePath(movie));
    const ActionResult blocked =
        f.workspace.SaveTrimmedMovie({movie, -1, Uncompressed()}, f.host.progress, f.host);
    EXPECT_EQ(blocked.stage, ActionResult::kBlockedTarget);
    EXPECT_EQ(blocked.message, "Export error!!\n" + blocked.detail);
    EXPECT_EQ(ReadFile(movie), "old movie");
    EXPECT_EQ(Names(dir).size(), 4u);  // video, the folders and the old movie
    EXPECT_EQ(f.doc.Annotations()->m_markers.HasMarkers(2), true);
}

// The gait events file removed by Detect Again: one that cannot go is a failure naming it.
TEST_F(WorkspaceTest, AGaitEventsFileThatCannotBeRemovedIsAFailureNamingIt) {
    EXPECT_EQ(f.workspace.RemoveGaitEvents().stage, ActionResult::kNoVideo);
    OpenAndClick();
    const std::string kgait = f.workspace.GaitEventsPath();
    fs::create_directory(kgait);
    ASSERT_TRUE(WriteFile(kgait + "/notes.txt", "x"));
    const ActionResult removed = f.workspace.RemoveGaitEvents();
    EXPECT_EQ(removed.status, ActionResult::kFailed);
    EXPECT_EQ(removed.path, kgait);
    EXPECT_TRUE(fs::exists(kgait + "/notes.txt"));
}

}  // namespace
