// kivra-cli gait and report as a user runs them: the real binary on a copy of the gait
// sample, its marker file and calibration, with the user's edited events and without.
#include <gtest/gtest.h>

#include <filesystem>

#include "gait/gait_file.h"
#include "support/ffmpeg_tool.h"

namespace {

using kivra::test::ReadFile;
using kivra::test::TempDir;
using kivra::test::WriteFile;
namespace fs = std::filesystem;

const std::string kSample = std::string(KIVRA_BINARY_DIR) + "/sample/walker_gait";

class CliGaitTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* ext : {".avi", ".lff", ".kcal"}) {
            fs::copy_file(kSample + ext, video.substr(0, video.size() - 4) + ext);
        }
    }
    // Exit status of kivra-cli; stderr goes to err.
    int Cli(std::vector<std::string> args, const std::string&) {
        const std::string command = args.front();
        args.erase(args.begin());
        return kivra::test::RunCliCommand(dir, command, std::move(args));
    }

    TempDir dir{"kivra-gait 歩行 $;"};
    const std::string video = dir.File("-walk 01.avi");
    const std::string err = dir.File("err.txt");
};

TEST_F(CliGaitTest, WritesTheFourFilesAndUsesTheEditedEvents) {
    const std::string out = dir.File("out/new folder");
    ASSERT_EQ(Cli({"gait", video, out, "--foot", "R=5,6", "--foot", "L=7,8", "--pelvis", "2",
                   "--angle", "knee=2,3,4"},
                  err),
              0)
        << ReadFile(err);
    const std::string events = ReadFile(out + "/events.csv");
    EXPECT_TRUE(events.starts_with("Frame,Time,Side,Event\r\n28,0.9333,R,HS\r\n") ||
                events.find("\r\n28,0.9333,R,HS\r\n") != std::string::npos)
        << events;
    const std::string summary = ReadFile(out + "/summary.csv");
    for (const char* row : {"Cadence,", "Speed,", "StrideTime,1.1000,s", "StancePercent,",
                            "StrideLength,1320.0000,mm", "StepLength,", "DoubleSupportPercent,"}) {
        EXPECT_NE(summary.find(row), std::string::npos) << row << "\n" << summary;
    }
    EXPECT_TRUE(ReadFile(out + "/strides.csv")
                    .starts_with("Side,StartFrame,EndFrame,StrideTime,StanceTime,SwingTime,"
                                 "StancePercent,StrideLength,StepTime,StepLength\r\n"));
    EXPECT_TRUE(ReadFile(out + "/cycles.csv")
                    .starts_with("Percent,knee_R_mean,knee_R_sd,knee_L_mean,knee_L_sd\r\n0,"));
    EXPECT_FALSE(fs::exists(dir.File("-walk 01.kgait")));  // the batch tool writes only OUTDIR

    // The user moved the first right strike: the edited file wins until --detect.
    const std::string kgait = dir.File("-walk 01.kgait");
    ASSERT_TRUE(kivra::WriteGaitFile(
        kgait, {{30, kivra::FootSide::kRight, kivra::GaitEventKind::kHeelStrike},
                {63, kivra::FootSide::kRight, kivra::GaitEventKind::kHeelStrike}}));
    ASSERT_EQ(Cli({"gait", video, out, "--foot", "R=5,6"}, err), 0) << ReadFile(err);
    EXPECT_EQ(ReadFile(out + "/events.csv"),
              "Frame,Time,Side,Event\r\n30,1.0000,R,HS\r\n63,2.1000,R,HS\r\n");
    ASSERT_EQ(Cli({"gait", video, out, "--foot", "R=5,6", "--detect"}, err), 0);
    EXPECT_NE(ReadFile(out + "/events.csv").find("\r\n28,0.9333,R,HS\r\n"), std::string::npos);
    WriteFile(kgait, "kivra-gait 7\n");
    EXPECT_EQ(Cli({"gait", video, out, "--foot", "R=5,6"}, err), 1);
    EXPECT_NE(ReadFile(err).find("version 7"), std::string::npos) << ReadFile(err);

    // The report of the same analysis: two A4 pages.
    const std::string pdf = dir.File("report 01.pdf");
    ASSERT_EQ(Cli({"report", video, pdf, "--foot", "R=5,6", "--foot", "L=7,8", "--angle",
                   "knee=2,3,4", "--detect"},
                  err),
              0)
        << ReadFile(err);
    EXPECT_EQ(ReadFile(err), "");
    std::string info;
    ASSERT_TRUE(kivra::test::RunProgramOutput({"pdfinfo", pdf}, info));
    EXPECT_NE(info.find("Pages:           2"), std::string::npos) << info;
}

TEST_F(CliGaitTest, RefusalsSayWhyWithTheirExitStatus) {
    const std::string out = dir.File("out");
    EXPECT_EQ(Cli({"gait", video, out, "--foot", "X=5,6"}, err), 1);
    EXPECT_NE(ReadFile(err).find("R or L"), std::string::npos);
    EXPECT_EQ(Cli({"gait", video, out, "--foot", "R=5,60"}, err), 1);
    EXPECT_NE(ReadFile(err).find("marker 60"), std::string::npos);
    EXPECT_EQ(Cli({"gait", video, out}, err), 2);
    EXPECT_EQ(Cli({"gait", video, out, "--foot", "R=5"}, err), 2);
    EXPECT_EQ(Cli({"gait", video, out, "--foot", "R=5,6", "--filter", "x"}, err), 2);
    EXPECT_EQ(Cli({"report", video, dir.File("r.pdf"), "--foot", "R=5,6", "--reference",
                   dir.File("none.csv")},
                  err),
              1);
    fs::remove(dir.File("-walk 01.lff"));
    EXPECT_EQ(Cli({"gait", video, out, "--foot", "R=5,6"}, err), 1);
    EXPECT_NE(ReadFile(err).find("no marker file"), std::string::npos);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(dir.File("r.pdf")));
}

}  // namespace
