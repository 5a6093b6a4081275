// kivra-cli gait --front as a user runs it: a side video at 25 fps and a front one at 50 fps
// of one walk, 0.4 s apart, made by ffmpeg, with marker files written by the store, the side
// view's events as edited, and the offset given, saved by kivra-cli sync, or missing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "gait/gait_file.h"
#include "markers/lff_manager.h"
#include "platform/path_util.h"
#include "support/ffmpeg_tool.h"
#include "support/front_walk.h"
#include "sync/sync_session.h"

namespace {

using kivra::FootSide;
using kivra::GaitEventKind;
using kivra::test::ReadFile;
using kivra::test::TempDir;
namespace fs = std::filesystem;

// Front frame F shows the moment of side frame (F - 20) / 2: 2 f / 50 = f / 25 + 0.4.
class CliFrontTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(kivra::test::MakeSideAndFrontWalk(side, front)); }
    int Gait(std::vector<std::string> extra) {
        std::vector<std::string> args{
            side,           out,         "--foot",         "R=5,6", "--foot",       "L=7,8",
            "--front",      front,       "--front-pelvis", "1,2",   "--front-foot", "R=3,4,5,7",
            "--front-foot", "L=-,-,-,8", "--front-scale",  "2.5"};
        args.insert(args.end(), extra.begin(), extra.end());
        return kivra::test::RunCliCommand(dir, "gait", std::move(args));
    }
    std::string Err() const { return ReadFile(dir.File("err.txt")); }

    TempDir dir{"kivra front 正面 $;'"};
    const std::string side = dir.File("-walk side.avi");
    const std::string front = dir.File("walk front 01.avi");
    const std::string out = dir.File("out dir");
};

// By hand: the right stride 10-50 is front 40-120, its obliquity from 0 to atan(8/80) =
// 5.711 degrees, its knee 2 atan(5/50) = 11.421 valgus throughout; the left stride 30-70 is
// front 80-160 with atan(4/80) = 2.862; the right stride 50-90 ends past the front video. The
// steps at front frames 40, 80, 120, 160 are 44, 48, 52, 56 px at 2.5 mm a pixel.
TEST_F(CliFrontTest, FrontalCsvHoldsTheStridesAndStepsOnTheFrontFrames) {
    ASSERT_EQ(Gait({"--offset", "0.4"}), 0) << Err();
    EXPECT_NE(Err().find("50-90"), std::string::npos) << Err();
    const std::string frontal = ReadFile(out + "/frontal.csv");
    EXPECT_TRUE(frontal.starts_with(
        "Side,StartFrame,EndFrame,PelvicObliquityRange,KneeFrontalPeak,TrunkLeanRange\r\n"
        "R,40,120,5.711,11.421,\r\nL,80,160,2.862,,\r\n\r\n"
        "Step,Side,Frame,StepWidth\r\n1,R,40,110.0\r\n2,L,80,120.0\r\n3,R,120,130.0\r\n"
        "4,L,160,140.0\r\n\r\nParameter,Value,Unit\r\n"
        "StepWidth,125.0000,mm\r\nStepWidth_SD,12.9099,mm\r\nStepWidth_R,120.0000,mm\r\n"))
        << frontal;
    EXPECT_NE(frontal.find("\r\nPelvicObliquityRange_L,2.8624,deg\r\n"), std::string::npos);
    EXPECT_NE(frontal.find("\r\nTrunkLeanRange,,deg\r\n"), std::string::npos);
    const auto cycles = kivra::test::CsvFields(ReadFile(out + "/frontal_cycles.csv"));
    ASSERT_EQ(cycles.size(), 102u);
    EXPECT_EQ(cycles[0], (std::vector<std::string>{
                             "Percent", "pelvic_obliquity_R_mean", "pelvic_obliquity_R_sd",
                             "pelvic_obliquity_L_mean", "pelvic_obliquity_L_sd",
                             "knee_frontal_R_mean", "knee_frontal_R_sd"}));
    // The left side up reads negative: -5.711 at 25 % of 40-120, frame 60; -2.862 at 75 % of
    // 80-160, frame 140.
    EXPECT_EQ(cycles[26][1], "-5.711");
    EXPECT_EQ(cycles[76][3], "-2.862");

    // The side's own files are as without --front.
    const std::string strides = ReadFile(out + "/strides.csv");
    fs::remove_all(out);
    ASSERT_EQ(
        kivra::test::RunCliCommand(dir, "gait", {side, out, "--foot", "R=5,6", "--foot", "L=7,8"}),
        0);
    EXPECT_EQ(ReadFile(out + "/strides.csv"), strides);
    EXPECT_FALSE(fs::exists(out + "/frontal.csv"));

    // The front video's events file keeps its marker roles in place of the options.
    fs::remove_all(out);
    kivra::FrontalSetup roles;
    roles.pelvisRight = 1;
    roles.pelvisLeft = 2;
    roles.right = {3, 4, 5, 7};
    roles.left.heel = 8;
    ASSERT_TRUE(kivra::WriteFrontalRoles(kivra::ReplaceExtension(front, ".kgait"), roles));
    ASSERT_EQ(
        kivra::test::RunCliCommand(dir, "gait",
                                   {side, out, "--foot", "R=5,6", "--foot", "L=7,8", "--front",
                                    front, "--front-scale", "2.5", "--offset", "0.4"}),
        0)
        << Err();
    EXPECT_EQ(ReadFile(out + "/frontal.csv"), frontal);

    // The .ksync that kivra-cli sync saves serves in place of --offset, whichever video was A.
    const std::string sideSync = kivra::ReplaceExtension(side, ".ksync");
    const std::string frontSync = kivra::ReplaceExtension(front, ".ksync");
    const std::vector<std::string> syncs[] = {{side, front, "--by", "frames", "10,40", "--save"},
                                              {front, side, "--by", "frames", "40,10", "--save"}};
    for (const auto& sync : syncs) {
        SCOPED_TRACE(sync[0]);
        fs::remove(sideSync);
        fs::remove(frontSync);
        fs::remove_all(out);
        ASSERT_EQ(kivra::test::RunCliCommand(dir, "sync", sync), 0) << Err();
        ASSERT_EQ(Gait({}), 0) << Err();
        EXPECT_EQ(ReadFile(out + "/frontal.csv"), frontal);
    }
}

TEST_F(CliFrontTest, RefusesWithoutAnOffsetOrWithWrongFrontOptions) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{}, 1, "give --offset or run kivra-cli sync"},
        {{"--front-foot", "R=3,4,5"}, 2, "--front-foot R=3,4,5: "},
        {{"--front-foot", "X=3,4,5,7"}, 2, "--front-foot X=3,4,5,7: "},
        {{"--offset", "0,4"}, 2, "--offset 0,4: "},
        {{"--offset", "0.4", "--offset", "0.4"}, 2, "--offset is given twice"},
        {{"--front-foot", "L=1,2,3,x"}, 2, "--front-foot L=1,2,3,x: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        fs::remove_all(out);
        EXPECT_EQ(Gait(c.args), c.status);
        EXPECT_NE(Err().find(c.message), std::string::npos) << Err();
        EXPECT_FALSE(fs::exists(out));
    }
    // A .ksync of another pair gives no offset; a front option without --front is a usage error.
    ASSERT_EQ(kivra::SaveSyncSession(
                  {side, dir.File("other.avi"), kivra::SyncOffset(), kivra::SyncMethod::kFrames},
                  kivra::SyncSessionPath(side)),
              "");
    EXPECT_EQ(Gait({}), 1);
    EXPECT_NE(Err().find("give --offset"), std::string::npos) << Err();
    EXPECT_EQ(
        kivra::test::RunCliCommand(dir, "gait", {side, out, "--foot", "R=5,6", "--offset", "0.4"}),
        2);
    EXPECT_NE(Err().find("--front VIDEO"), std::string::npos) << Err();
    EXPECT_FALSE(fs::exists(out));
    // Front markers neither given nor kept in the front video's events file.
    EXPECT_EQ(kivra::test::RunCliCommand(
                  dir, "gait", {side, out, "--foot", "R=5,6", "--front", front, "--offset", "0.4"}),
              1);
    EXPECT_NE(Err().find("no front markers"), std::string::npos) << Err();
    EXPECT_FALSE(fs::exists(out));
    // A front option without its video is a usage error for the report too.
    const std::string pdf = dir.File("report.pdf");
    EXPECT_EQ(kivra::test::RunCliCommand(dir, "report",
                                         {side, pdf, "--foot", "R=5,6", "--offset", "0.4"}),
              2);
    EXPECT_FALSE(fs::exists(pdf));
}

// The report's frontal page: the summary frontal.csv has (by hand as above: step width 125 ±
// 12.9 mm, obliquity ranges 5.711 and 2.862, knee 11.421) and a chart per curve and side.
TEST_F(CliFrontTest, ReportHasAPageOfTheFrontalMeasures) {
    const std::vector<std::string> feet{"--foot", "R=5,6", "--foot", "L=7,8"};
    std::vector<std::string> withFront{side, dir.File("front.pdf")},
        without{side, dir.File("side.pdf")};
    withFront.insert(withFront.end(), feet.begin(), feet.end());
    without.insert(without.end(), feet.begin(), feet.end());
    withFront.insert(withFront.end(),
                     {"--front", front, "--front-pelvis", "1,2", "--front-foot", "R=3,4,5,7",
                      "--front-foot", "L=-,-,-,8", "--front-scale", "2.5", "--offset", "0.4"});
    ASSERT_EQ(kivra::test::RunCliCommand(dir, "report", withFront), 0) << Err();
    ASSERT_EQ(kivra::test::RunCliCommand(dir, "report", without), 0) << Err();
    std::string text, plain, info, plainInfo;
    ASSERT_TRUE(kivra::test::RunProgramOutput({"pdftotext", "-layout", withFront[1], "-"}, text));
    ASSERT_TRUE(kivra::test::RunProgramOutput({"pdftotext", "-layout", without[1], "-"}, plain));
    ASSERT_TRUE(kivra::test::RunProgramOutput({"pdfinfo", withFront[1]}, info));
    ASSERT_TRUE(kivra::test::RunProgramOutput({"pdfinfo", without[1]}, plainInfo));
    const auto pages = [](const std::string& info) {
        const std::size_t at = info.find("Pages:");
        return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
    };
    EXPECT_GT(pages(info), pages(plainInfo));
    const std::size_t frontal = text.find("Seen from the front (frontal plane)");
    ASSERT_NE(frontal, std::string::npos) << text;
    EXPECT_EQ(plain.find("Seen from the front"), std::string::npos);
    const std::string page = text.substr(frontal);
    for (const char* shown :
         {"Step width", "125 ± 13", "Pelvic obliquity range", "4.3 ± 2.0", "5.7", "2.9",
          "Knee valgus peak", "11.4", "Frontal-plane cycle curves", "Pelvic obliquity (Right)",
          "Pelvic obliquity (Left)", "Knee frontal angle (Right)"}) {
        EXPECT_NE(page.find(shown), std::string::npos) << shown << "\n" << page;
    }
}

}  // namespace
