// kivra-cli track as a user runs it: the real binary on a real video and marker file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "markers/lff_manager.h"
#include "support/ffmpeg_tool.h"
#include "support/target_video.h"

namespace {

using kivra::test::ReadFile;
using kivra::test::TargetPoint;
using kivra::test::TempDir;
using kivra::test::WriteFile;

const std::string kCli = std::string(KIVRA_BINARY_DIR) + "/kivra-cli";

TargetPoint Slide(int f) {
    return {20 + 4.0 * f, 30 + 1.5 * f};
}
TargetPoint Still(int) {
    return {40, 90};
}

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

CliRun Track(const TempDir& dir, std::vector<std::string> args) {
    CliRun run;
    const std::string out = dir.File("out.txt");
    const std::string err = dir.File("err.txt");
    const std::string status = dir.File("status.txt");
    std::vector<std::string> argv = {
        "sh", "-c", "\"$0\" track \"$@\" >\"$OUT\" 2>\"$ERR\"; echo $? >\"$STATUS\"", kCli};
    argv.insert(argv.end(), args.begin(), args.end());
    setenv("OUT", out.c_str(), 1);
    setenv("ERR", err.c_str(), 1);
    setenv("STATUS", status.c_str(), 1);
    if (kivra::test::RunProgram(argv)) {
        run.status = std::atoi(ReadFile(status).c_str());
        run.out = ReadFile(out);
        run.err = ReadFile(err);
    }
    return run;
}

class CliTrackTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kivra::test::WriteTargetVideo(
            avi, 96, 128, 12, {{Slide, 5.0, 20, 30, 230}, {Still, 5.0, 200, 60, 30}},
            {"-c:v", "mjpeg", "-q:v", "2"}));
    }

    // A marker file with both targets clicked on frame 2 and the play range 2 .. 9.
    void WriteMarkers() {
        CLFFManager markers;
        markers.LoadMarkers("", 3);
        markers.SetRangeStart(2);
        markers.SetRangeEnd(9);
        markers.SetMarker(0, 2, Slide(2).x, Slide(2).y);
        markers.SetMarker(1, 2, Still(2).x, Still(2).y);
        ASSERT_TRUE(markers.SaveMarkers(lff, 1, 2, 3));
    }

    TempDir dir{"kivra track $x; 'q'"};
    const std::string avi = dir.File("-walk 1.avi");
    const std::string lff = dir.File("-walk 1.lff");
};

TEST_F(CliTrackTest, FollowsTheRangeStartsMarkersToTheRangeEndAndSavesThem) {
    WriteMarkers();
    const std::string before = ReadFile(lff);
    const CliRun run = Track(dir, {avi});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "ID 1: 7 frames (3..9), reached the end of the range at frame 9\n"
              "ID 2: 7 frames (3..9), reached the end of the range at frame 9\n");

    CLFFManager saved;
    ASSERT_EQ(saved.LoadMarkers(lff, 3), CLFFManager::kLoaded);
    EXPECT_EQ(saved.GetRangeStart(), 2);
    EXPECT_EQ(saved.GetRangeEnd(), 9);
    EXPECT_EQ(saved.GetSizeType(), 1);  // the header comes back as it was
    EXPECT_EQ(saved.GetMosaicType(), 3);
    EXPECT_EQ(ReadFile(lff).substr(0, 64), before.substr(0, 64));
    ASSERT_EQ(saved.Row(0).size(), 8u);
    for (const T_MARKER& m : saved.Row(0)) {
        EXPECT_LT(std::hypot(m.x - Slide(m.frame).x, m.y - Slide(m.frame).y), 0.5);
    }
    ASSERT_EQ(saved.Row(1).size(), 8u);

    // From another frame, for one ID, up to a given frame: ID 1 now runs into its own markers.
    const CliRun again = Track(dir, {avi, "--from", "0", "--to", "11", "--ids", "2"});
    EXPECT_EQ(again.status, 1) << "frame 0 holds no marker";
    const CliRun last = Track(dir, {avi, "--from", "9", "--to", "11", "--ids", "1,3"});
    ASSERT_EQ(last.status, 0) << last.err;
    EXPECT_EQ(last.out,
              "ID 1: 2 frames (10..11), reached the end of the range at frame 11\n"
              "ID 3: 0 frames, no marker on frame 9\n");
}

TEST_F(CliTrackTest, RefusesWithoutTouchingTheMarkerFile) {
    // No marker file: nothing is created.
    CliRun run = Track(dir, {avi});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no marker file"), std::string::npos) << run.err;
    EXPECT_TRUE(ReadFile(lff).empty());

    // A damaged one stays as it is.
    WriteMarkers();
    const std::string whole = ReadFile(lff);
    ASSERT_TRUE(WriteFile(lff, whole.substr(0, whole.size() - 7)));
    run = Track(dir, {avi});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot be read"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(lff), whole.substr(0, whole.size() - 7));

    ASSERT_TRUE(WriteFile(lff, whole));
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {avi, "--from", "4"},                // no markers there
             {avi, "--from", "2", "--ids", "3"},  // none of those IDs there
             {avi, "--from", "12"},               // outside the video
             {avi, "--to", "12"},
             {avi, "--from", "-1"},
             {avi, "--from", "5", "--to", "5"},  // nothing after the start
             {dir.File("missing.avi")}}) {
        run = Track(dir, args);
        EXPECT_EQ(run.status, 1) << args[1];
        EXPECT_FALSE(run.err.empty());
    }
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
                                               {avi, "--from"},
                                               {avi, "--from", "two"},
                                               {avi, "--ids", "0"},
                                               {avi, "--ids", "1,,2"},
                                               {avi, "--ids", "1", "--ids", "2"},
                                               {avi, "--fast"}}) {
        run = Track(dir, args);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find("usage:"), std::string::npos);
    }
    EXPECT_EQ(ReadFile(lff), whole);
}

}  // namespace
