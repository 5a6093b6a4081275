// kivra-cli compare as a user runs it: the real binary on two copies of the gait sample, the
// second calibrated 10 % larger, so its lengths grow by 10 % and its times stay.
#include <gtest/gtest.h>

#include <filesystem>

#include "compare/visit_comparison.h"
#include "kinematics/calibration.h"
#include "support/ffmpeg_tool.h"

namespace {

using kivra::test::ReadFile;
using kivra::test::TempDir;
namespace fs = std::filesystem;

const std::string kSample = std::string(KIVRA_BINARY_DIR) + "/sample/walker_gait";

class CliCompareTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const std::string& base : {before, after}) {
            for (const char* ext : {".avi", ".lff", ".kcal"}) {
                fs::copy_file(kSample + ext, base + ext);
            }
        }
        kivra::CalibrationRead read = kivra::ReadCalibrationFile(after + ".kcal");
        ASSERT_EQ(read.status, kivra::CalibrationRead::kLoaded);
        read.calibration.mmPerPixel *= 1.1;
        ASSERT_TRUE(kivra::WriteCalibrationFile(after + ".kcal", read.calibration));
    }
    int Cli(std::vector<std::string> args) {
        return kivra::test::RunCliCommand(dir, "compare", std::move(args));
    }
    std::string Err() const { return ReadFile(dir.File("err.txt")); }

    TempDir dir{"kivra-compare 比較 $;"};
    const std::string before = dir.File("-before 01");
    const std::string after = dir.File("after 'b' $;");
    const std::vector<std::string> feet = {"--foot",   "R=5,6", "--foot",  "L=7,8",
                                           "--pelvis", "2",     "--joint", "R:knee=2,3,4"};
};

TEST_F(CliCompareTest, WritesTheReportAndTheTableOfBothVisits) {
    const std::string pdf = dir.File("-compare 01.pdf");
    const std::string csv = dir.File("table 'a'.csv");
    std::vector<std::string> args = {before + ".avi", after + ".avi", pdf, "--csv", csv,
                                     "--before-date", "2026-01-10"};
    args.insert(args.end(), feet.begin(), feet.end());
    ASSERT_EQ(Cli(args), 0) << Err();
    const std::string table = ReadFile(csv);
    const std::size_t dates = table.find("\r\nDate,,,2026-01-10,");
    ASSERT_NE(dates, std::string::npos) << table;
    const std::string today = table.substr(dates + 20, 10);  // the after video's own date
    for (const char* row :
         {"Parameter,Side,Unit,Before,After,Difference,PercentChange\r\n"
          "File,,,-before 01.avi,after 'b' $;.avi,,\r\n",
          "\r\nStrideTime,R,s,1.1000,1.1000,0.0000,0.00\r\n", "\r\nStrideLength,R,mm,",
          "\r\nCadence,Both,steps/min,", "\r\nRangeOfMotion_knee,R,deg,"}) {
        EXPECT_NE(table.find(row), std::string::npos) << row << "\n" << table;
    }
    EXPECT_NE(table.find(",10.00\r\nStrideLength,L,mm,"), std::string::npos) << table;
    EXPECT_TRUE(kivra::IsIsoDate(today)) << today;
    std::string info;
    ASSERT_TRUE(kivra::test::RunProgramOutput({"pdfinfo", pdf}, info));
    EXPECT_NE(info.find("Pages:           2"), std::string::npos) << info;
    std::string text;
    ASSERT_TRUE(kivra::test::RunProgramOutput({"pdftotext", "-enc", "UTF-8", pdf, "-"}, text));
    for (const std::string& shown : {std::string("-before 01.avi"), std::string("after 'b' $;.avi"),
                                     std::string("2026-01-10"), today}) {
        EXPECT_NE(text.find(shown), std::string::npos) << shown << "\n" << text;
    }
    // --convert may come first and holds for both videos.
    args.insert(args.begin(), "compare");
    EXPECT_EQ(kivra::test::RunCliCommand(dir, "--convert", args), 0) << Err();
}

// A wrong command line exits with 2, an impossible one with 1; neither writes anything, and
// no visit's own file is written over.
TEST_F(CliCompareTest, RefusesWrongLinesAndEitherVideosOwnFiles) {
    const std::string pdf = dir.File("out.pdf");
    const std::string lff = ReadFile(after + ".lff");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string said;
    };
    const auto with = [&](std::vector<std::string> args) {
        args.insert(args.end(), feet.begin(), feet.end());
        return args;
    };
    for (const Case& c : std::vector<Case>{
             {{before + ".avi", after + ".avi"}, 2, "usage"},
             {with({before + ".avi", after + ".avi", pdf, "--after-date", "2026-02-30"}), 2,
              "2026-02-30"},
             {with({before + ".avi", after + ".avi", pdf, "--csv"}), 2, "usage"},
             {{before + ".avi", after + ".avi", pdf}, 2, "--foot"},
             {with({before + ".avi", after + ".avi", after + ".lff"}), 1, after + ".lff"},
             {with({before + ".avi", after + ".avi", pdf, "--csv", before + ".avi"}), 1,
              before + ".avi"},
             {with({before + ".avi", dir.File("missing.avi"), pdf}), 1, "missing.avi"}}) {
        EXPECT_EQ(Cli(c.args), c.status) << c.said;
        EXPECT_NE(Err().find(c.said), std::string::npos) << Err();
        EXPECT_FALSE(fs::exists(pdf)) << c.said;
        EXPECT_EQ(ReadFile(after + ".lff"), lff);
        EXPECT_TRUE(fs::exists(before + ".avi"));
    }
}

}  // namespace
