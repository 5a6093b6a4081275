// kivra-cli kinematics as a user runs it: the real binary on real AVI files made by ffmpeg,
// with a marker file written by the store and calibration files beside the video.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "kinematics/calibration.h"
#include "markers/lff_manager.h"
#include "platform/path_util.h"
#include "support/ffmpeg_tool.h"

namespace {

using kivra::test::ReadFile;
using kivra::test::RunFfmpeg;
using kivra::test::TempDir;
using kivra::test::WriteFile;

class CliKinematicsTest : public ::testing::Test {
protected:
    // A video at an NTSC rate, so the rate must come from the stream's rate and scale.
    void SetUp() override {
        ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=30000/1001",
                               "-frames:v", "40", "-c:v", "mjpeg", "-q:v", "5", video}));
    }
    // ID 1 moves 2 px right per frame on frames 0-39; ID 2 stands at (50, 60) and ID 3 at
    // (50, 20): the angle at ID 2 between ID 1 and ID 3.
    void StoreMarkers() {
        CLFFManager markers;
        markers.LoadMarkers("", 100);
        for (int f = 0; f < 40; ++f) {
            markers.SetMarker(0, f, 10.0 + 2.0 * f, 60.0);
            markers.SetMarker(1, f, 50.0, 60.0);
            markers.SetMarker(2, f, 50.0, 20.0);
        }
        ASSERT_TRUE(markers.SaveMarkers(kivra::ReplaceExtension(video, ".lff"), 0, 0, 1));
    }
    // Exit status of kivra-cli kinematics; stderr goes to Err().
    int Run(std::vector<std::string> args) {
        return kivra::test::RunCliCommand(dir, "kinematics", std::move(args));
    }
    std::string Err() const { return ReadFile(dir.File("err.txt")); }

    TempDir dir{"kivra kinematics 'ü' $x;"};
    const std::string video = dir.File("-walk 01.avi");
    const std::string out = dir.File("kine matics.csv");
};

TEST_F(CliKinematicsTest, TimesAndSpeedsFollowTheVideosOwnFrameRate) {
    StoreMarkers();
    ASSERT_EQ(Run({video, out, "--angle", "elbow=1,2,3"}), 0) << Err();
    const auto rows = kivra::test::CsvFields(ReadFile(out));
    ASSERT_EQ(rows.size(), 41u);
    EXPECT_EQ(rows[0],
              (std::vector<std::string>{"Time", "M01_x", "M01_y", "M01_speed", "M02_x", "M02_y",
                                        "M02_speed", "M03_x", "M03_y", "M03_speed", "elbow"}));
    // Frame 30 at 29.97 fps is 1.001 s; 2 px a frame is 59.94 px/s; y counts up from the
    // bottom of the 120-pixel picture; ID 1 has passed ID 2, so the angle is 90 degrees.
    EXPECT_EQ(rows[31],
              (std::vector<std::string>{"1.0010", "70.000", "60.000", "59.940", "50.000", "60.000",
                                        "0.000", "50.000", "100.000", "0.000", "90.000"}));
    EXPECT_EQ(rows[1][0], "0.0000");
    EXPECT_EQ(rows[1][3], "");    // no frame before the first
    EXPECT_EQ(rows[21][10], "");  // ID 1 on ID 2: a segment without length has no angle
}

// ID 1 walks towards +x past ID 2: the knee at ID 2 reads -90 (bent backwards) before, +90
// after, in a column after the plain angle's.
TEST_F(CliKinematicsTest, JointColumnsComeAfterThePlainAnglesSignedByTheWalk) {
    StoreMarkers();
    ASSERT_EQ(Run({video, out, "--joint", "R:knee=1,2,3", "--angle", "elbow=1,2,3"}), 0) << Err();
    const auto rows = kivra::test::CsvFields(ReadFile(out));
    ASSERT_EQ(rows.size(), 41u);
    ASSERT_EQ(rows[0].size(), 12u);
    EXPECT_EQ(rows[0][10], "elbow");
    EXPECT_EQ(rows[0][11], "knee_R");
    EXPECT_EQ(rows[1][11], "-90.000");
    EXPECT_EQ(rows[21][11], "");
    EXPECT_EQ(rows[31][11], "90.000");

    struct Refused {
        std::vector<std::string> joints;
        const char* message;
    };
    for (const Refused& r :
         {Refused{{"--joint", "L:knee=1,2"}, "--joint L:knee=1,2: a joint names exactly three"},
          Refused{{"--joint", "R:knee=1,2,3", "--joint", "R:knee=3,2,1"},
                  "--joint knee_R is given twice"},
          Refused{{"--angle", "knee_R=1,2,3", "--joint", "R:knee=1,2,3"},
                  "the angle name knee_R would repeat"}}) {
        std::vector<std::string> args = {video, out};
        args.insert(args.end(), r.joints.begin(), r.joints.end());
        EXPECT_EQ(Run(args), 2) << r.message;
        EXPECT_NE(Err().find(r.message), std::string::npos) << Err();
    }
    // A plain angle may share the joint's kind: the table has no cycle columns to repeat.
    EXPECT_EQ(Run({video, out, "--angle", "knee=1,2,3", "--joint", "R:knee=1,2,3"}), 0) << Err();
    EXPECT_EQ(Run({video, out, "--joint", "R:knee=1,2,9"}), 1);
    EXPECT_NE(Err().find("angle knee_R names marker 9"), std::string::npos) << Err();
}

TEST_F(CliKinematicsTest, CalibrationFileGivesMillimetresAndScaleReplacesIt) {
    StoreMarkers();
    const std::string kcal = kivra::CalibrationPath(video);
    ASSERT_TRUE(kivra::WriteCalibrationFile(kcal, {0.5, kivra::ImagePoint{10.0, 60.0}, {}}));
    ASSERT_EQ(Run({video, out}), 0) << Err();
    auto rows = kivra::test::CsvFields(ReadFile(out));
    EXPECT_EQ(rows[2][1], "1.000");   // (12 - 10) px at 0.5 mm
    EXPECT_EQ(rows[2][2], "0.000");   // on the origin's height
    EXPECT_EQ(rows[2][4], "20.000");  // ID 2 40 px right of the origin
    EXPECT_EQ(rows[2][8], "20.000");  // ID 3 40 px above it

    // --scale stands for the whole file: its origin goes too.
    ASSERT_EQ(Run({video, out, "--scale", "2"}), 0) << Err();
    rows = kivra::test::CsvFields(ReadFile(out));
    EXPECT_EQ(rows[2][1], "24.000");
    EXPECT_EQ(rows[2][2], "120.000");

    // A damaged file is not passed over in silence: pixels where millimetres were meant.
    WriteFile(kcal, "kivra-calibration 1\nscale_mm_per_pixel -3\n");
    EXPECT_EQ(Run({video, out}), 1);
    EXPECT_NE(Err().find(".kcal"), std::string::npos) << Err();
    EXPECT_EQ(Run({video, out, "--scale", "0.25", "--filter", "6"}), 0) << Err();
}

TEST_F(CliKinematicsTest, RefusalsLeaveTheOldFileAlone) {
    WriteFile(out, "old table");
    EXPECT_EQ(Run({video, out}), 1);
    EXPECT_NE(Err().find("no marker file"), std::string::npos) << Err();
    StoreMarkers();
    EXPECT_EQ(Run({video, out, "--angle", "knee=1,2,9"}), 1);
    EXPECT_NE(Err().find("angle knee names marker 9"), std::string::npos) << Err();
    EXPECT_EQ(Run({video, out, "--filter", "15"}), 1);  // not below half of 29.97
    EXPECT_NE(Err().find("half the frame rate"), std::string::npos) << Err();
    EXPECT_EQ(Run({dir.File("none.avi"), out}), 1);
    EXPECT_EQ(Run({video, video}), 1);  // never written over the video itself

    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {video},
             {video, out, "--angle"},
             {video, out, "--angle", "knee=1,2"},
             {video, out, "--angle", "a=1,2,3", "--angle", "a=2,3,1"},
             {video, out, "--scale", "0"},
             {video, out, "--scale", "abc"},
             {video, out, "--filter", "-6"},
             {video, out, "--filter", "6,5"},
             {video, out, "--bogus"}}) {
        EXPECT_EQ(Run(bad), 2) << bad.back();
        EXPECT_NE(Err().find("usage:"), std::string::npos);
    }
    EXPECT_EQ(ReadFile(out), "old table");
}

}  // namespace
