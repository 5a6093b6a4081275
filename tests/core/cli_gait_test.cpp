// kivra-cli gait and report as a user runs them: the real binary on a copy of the gait
// sample, its marker file and calibration, with the user's edited events and without.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>

#include "gait/gait_file.h"
#include "gait/report_header.h"
#include "platform/number_text.h"
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
    EXPECT_TRUE(events.starts_with("Frame,Time,Side,Event\r\n28,0.9201,R,HS\r\n") ||
                events.find("\r\n28,0.9201,R,HS\r\n") != std::string::npos)
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
    EXPECT_NE(ReadFile(out + "/events.csv").find("\r\n28,0.9203,R,HS\r\n"), std::string::npos);
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
    // Only warnings on the way: the sample's few strides a side.
    const std::string said = ReadFile(err);
    std::istringstream lines(said);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(line.starts_with("warning: ")) << line;
    }
    std::string info;
    ASSERT_TRUE(kivra::test::RunProgramOutput({"pdfinfo", pdf}, info));
    EXPECT_NE(info.find("Pages:           2"), std::string::npos) << info;
    // --convert may come before the command.
    ASSERT_EQ(Cli({"--convert", "report", video, pdf, "--foot", "R=5,6", "--detect"}, err), 0)
        << ReadFile(err);
}

// The sample marks one leg (hip 2, knee 3, ankle 4, the right one): its joints are curved over
// the right strides only, and the knee reads 180 minus the plain angle whichever way it walks.
TEST_F(CliGaitTest, SidedJointsAreCurvedOverTheirOwnStridesInTheClinicalConvention) {
    const std::string out = dir.File("out");
    ASSERT_EQ(Cli({"gait", video, out, "--foot", "R=5,6", "--foot", "L=7,8", "--angle",
                   "plain=2,3,4", "--joint", "R:knee=2,3,4", "--joint", "R:hip=1,2,3", "--joint",
                   "R:ankle=3,4,6", "--detect"},
                  err),
              0)
        << ReadFile(err);
    const auto rows = kivra::test::CsvFields(ReadFile(out + "/cycles.csv"));
    ASSERT_EQ(rows.size(), 102u);
    ASSERT_EQ(rows[0],
              (std::vector<std::string>{"Percent", "plain_R_mean", "plain_R_sd", "plain_L_mean",
                                        "plain_L_sd", "knee_R_mean", "knee_R_sd", "hip_R_mean",
                                        "hip_R_sd", "ankle_R_mean", "ankle_R_sd"}));
    double kneeLow = 1e9, kneeHigh = -1e9;
    for (std::size_t p = 1; p < rows.size(); ++p) {
        const double plain = std::stod(rows[p][1]);
        const double knee = std::stod(rows[p][5]);
        EXPECT_NEAR(knee, 180.0 - plain, 0.002) << "percent " << p - 1;
        kneeLow = std::min(kneeLow, knee);
        kneeHigh = std::max(kneeHigh, knee);
        // Hip and ankle stay within the ranges of a walk, signed as a clinic reads them.
        EXPECT_GT(std::stod(rows[p][7]), -40.0);
        EXPECT_LT(std::stod(rows[p][7]), 60.0);
        EXPECT_GT(std::stod(rows[p][9]), -45.0);
        EXPECT_LT(std::stod(rows[p][9]), 45.0);
    }
    EXPECT_GT(kneeLow, -10.0);  // near straight, never far bent backwards
    EXPECT_GT(kneeHigh, 30.0);  // bent in swing
    // The left side has the plain angle only, as before.
    EXPECT_FALSE(rows[1][3].empty());

    // A band measures its own curve only: the knee's RMS distance from a flat 0, and nothing
    // for the plain angle; a band file without its angle is refused while two angles could
    // take it.
    const std::string band = dir.File("knee band $1.csv");
    ASSERT_TRUE(kivra::test::WriteFile(band, "Percent,Mean,SD\n0,0,5\n100,0,5\n"));
    const std::vector<std::string> banded = {
        "gait",    video,         out,       "--foot",       "R=5,6",    "--foot",     "L=7,8",
        "--angle", "plain=2,3,4", "--joint", "R:knee=2,3,4", "--detect", "--reference"};
    std::vector<std::string> tied = banded;
    tied.push_back("knee=" + band);
    ASSERT_EQ(Cli(tied, err), 0) << ReadFile(err);
    double squares = 0.0;
    for (std::size_t p = 1; p < rows.size(); ++p) {
        squares += std::pow(std::stod(rows[p][5]), 2);
    }
    const std::string rms = kivra::FixedText(std::sqrt(squares / 101.0), 4);
    const std::string summary = ReadFile(out + "/summary.csv");
    EXPECT_NE(summary.find("BandDeviation_knee_R," + rms + ",deg\r\n"), std::string::npos)
        << summary;
    EXPECT_NE(summary.find("SagittalProfileScore," + rms + ",deg\r\n"), std::string::npos);
    EXPECT_EQ(summary.find("BandDeviation_plain"), std::string::npos);
    std::vector<std::string> untied = banded;
    untied.push_back(band);
    EXPECT_EQ(Cli(untied, err), 1);
    EXPECT_NE(ReadFile(err).find("--reference ANGLE=FILE"), std::string::npos) << ReadFile(err);

    // The kinematics table gives the same knee per frame, after the plain angle.
    const std::string table = dir.File("k.csv");
    ASSERT_EQ(
        Cli({"kinematics", video, table, "--angle", "plain=2,3,4", "--joint", "R:knee=2,3,4"}, err),
        0)
        << ReadFile(err);
    const auto frames = kivra::test::CsvFields(ReadFile(table));
    ASSERT_GT(frames.size(), 2u);
    const std::size_t columns = frames[0].size();
    EXPECT_EQ(frames[0][columns - 2], "plain");
    EXPECT_EQ(frames[0][columns - 1], "knee_R");
    for (std::size_t r = 1; r < frames.size(); ++r) {
        EXPECT_NEAR(std::stod(frames[r][columns - 1]), 180.0 - std::stod(frames[r][columns - 2]),
                    0.002);
    }
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

// Hostile inputs end at once with a message naming what is wrong, and never touch the
// video's own files, the edited events above all.
TEST_F(CliGaitTest, HostileInputsAreRefusedWithTheRightMessage) {
    const std::string out = dir.File("out");
    const std::string kgait = dir.File("-walk 01.kgait");
    const std::string lff = dir.File("-walk 01.lff");
    const std::string band = dir.File("band.csv");
    const std::string kvisit = dir.File("-walk 01.kvisit");
    struct Case {
        const char* what;
        std::function<void()> prepare;
        std::vector<std::string> args;
        int status;
        const char* message;
    };
    const std::vector<std::string> feet = {"--foot", "R=5,6", "--foot", "L=7,8"};
    const auto with = [&](std::vector<std::string> args, const std::vector<std::string>& more) {
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };
    const auto events = [&](const std::string& text) {
        return [&, text] { WriteFile(kgait, "kivra-gait 1\n" + text); };
    };
    const auto link = [&](const char* name, const std::string& target) {
        return [&, name, target] {
            fs::create_directories(out);
            fs::create_symlink(target, out + "/" + name);
        };
    };
    const auto bandOf = [&](const std::string& text) {
        return [&, text] { WriteFile(band, text); };
    };
    const Case cases[] = {
        {"events.csv leads to the marker file", link("events.csv", lff),
         with({"gait", video, out}, feet), 1, "marker file cannot be overwritten"},
        {"summary.csv leads to the video", link("summary.csv", video),
         with({"gait", video, out}, feet), 1, "open video cannot be overwritten"},
        {"a report over the edited events", events("event 28 R HS\n"),
         with({"report", video, kgait}, feet), 1, "gait events file"},
        {"a coordinate CSV over the edited events",
         events("event 28 R HS\n"),
         {"csv", video, kgait},
         1,
         "gait events file"},
        {"a strike at the last int", events("event 2147483646 R HS\nevent 2147483647 R HS\n"),
         with({"gait", video, out}, feet), 1, "frame 2147483646 lies outside the play range"},
        {"strikes beyond the video", events("event 5000 R HS\nevent 5030 R HS\n"),
         with({"report", video, dir.File("r.pdf")}, feet), 1, "frame 5000 lies outside"},
        {"a cut-off at half the rate with edited events", events("event 28 R HS\n"),
         with({"gait", video, out, "--filter", "15", "--angle", "knee=2,3,4"}, feet), 1,
         "below half the frame rate"},
        {"a cut-off whose start-up cannot settle",
         {},
         with({"gait", video, out, "--filter", "0.0001"}, feet),
         1,
         "lowest usable cut-off"},
        {"a 4 MB word in the events file",
         [&] { WriteFile(kgait, "kivra-gait 1\n" + std::string(4000000, 'x') + "\n"); },
         with({"gait", video, out}, feet), 1, "unknown entry \"xxxx"},
        {"a band of 1e300 degrees", bandOf("Percent,Mean,SD\n0,1e300,1\n100,-1e300,1\n"),
         with({"report", video, dir.File("r.pdf"), "--reference", band}, feet), 1,
         "from -360 to 360"},
        {"a FIFO as the band", [&] { ::mkfifo(band.c_str(), 0600); },
         with({"report", video, dir.File("r.pdf"), "--reference", band}, feet), 1,
         "not a regular file"},
        {"a folder as the band", [&] { fs::create_directory(band); },
         with({"report", video, dir.File("r.pdf"), "--reference", band}, feet), 1, "a folder"},
        {"a foot given twice",
         {},
         with({"gait", video, out, "--foot", "R=1,2"}, feet),
         2,
         "--foot R is given twice"},
        {"an ID out of range", {}, {"gait", video, out, "--foot", "R=0,6"}, 2, "from 1 to 100000"},
        {"a zero cut-off",
         {},
         with({"gait", video, out, "--filter", "0"}, feet),
         2,
         "--filter 0: give a number above 0"},
        {"a scale that is no number",
         {},
         {"kinematics", video, dir.File("k.csv"), "--scale", "nan"},
         2,
         "--scale nan: give a number above 0"},
        {"a joint given twice",
         {},
         with({"gait", video, out, "--joint", "R:knee=2,3,4", "--joint", "R:knee=1,3,4"}, feet),
         2,
         "--joint knee_R is given twice"},
        {"an angle named as a joint",
         {},
         with({"gait", video, out, "--angle", "knee=2,3,4", "--joint", "L:knee=2,3,4"}, feet),
         2,
         "the angle name knee would repeat the columns of --joint L:knee=2,3,4"},
        {"a damaged visit file", [&] { WriteFile(kvisit, "kivra-visit 1\nweight 80\n"); },
         with({"report", video, dir.File("r.pdf")}, feet), 1, "unknown entry \"weight\""},
        {"a leg length of 3 m",
         {},
         with({"report", video, dir.File("r.pdf"), "--leg-length", "3000"}, feet),
         2,
         "--leg-length 3000: give a length in mm above 0 and below 3000"},
        {"a leg length that is no number",
         {},
         with({"report", video, dir.File("r.pdf"), "--leg-length", "inf"}, feet),
         2,
         "--leg-length inf"},
        {"a patient given twice",
         {},
         with({"report", video, dir.File("r.pdf"), "--patient", "a", "--patient", "b"}, feet),
         2,
         "--patient is given twice"},
        {"a header option for the CSV files",
         {},
         with({"gait", video, out, "--patient", "a"}, feet),
         2,
         "usage:"},
        {"a joint naming a marker without data",
         {},
         with({"gait", video, out, "--joint", "R:hip=-,2,30"}, feet),
         1,
         "hip_R names marker 30"},
    };
    // A usage error prints the usage whole; a message beside it must stay short.
    ASSERT_EQ(Cli({"no-such-command"}, err), 2);
    const std::size_t usageBytes = ReadFile(err).size();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(out);
        fs::remove_all(band);
        fs::remove(kgait);
        fs::remove(kvisit);
        if (c.prepare) {
            c.prepare();
        }
        const std::string before[] = {ReadFile(video), ReadFile(lff), ReadFile(kgait),
                                      ReadFile(kvisit)};
        EXPECT_EQ(Cli(c.args, err), c.status);
        const std::string said = ReadFile(err);
        EXPECT_NE(said.find(c.message), std::string::npos) << said;
        EXPECT_LT(said.size(), usageBytes + 300) << "a message quotes an excerpt, not the file";
        EXPECT_EQ(ReadFile(video), before[0]);
        EXPECT_EQ(ReadFile(lff), before[1]);
        EXPECT_EQ(ReadFile(kgait), before[2]);
        EXPECT_EQ(ReadFile(kvisit), before[3]);
    }
}

// The report's header is the video's .kvisit with each option in its field's place, typed
// texts passing as they are; the file itself is never written.
TEST_F(CliGaitTest, ReportHeaderOptionsReplaceTheVisitFilesFieldsAsTyped) {
    const std::string kvisit = dir.File("-walk 01.kvisit");
    ASSERT_TRUE(kivra::WriteReportHeader(kvisit, {"File Patient", "1950-04-01", "2024-05-01",
                                                  "File Examiner", "Barefoot", "", 850.0}));
    const std::string stored = ReadFile(kvisit);
    const std::string patient = "--O'Brien \"Q\" $HOME; `id` 佐藤 さん";
    const std::string pdf = dir.File("header.pdf");
    ASSERT_EQ(Cli({"report", video, pdf, "--foot", "R=5,6", "--detect", "--patient", patient,
                   "--condition", "-装具", "--leg-length", "812.5"},
                  err),
              0)
        << ReadFile(err);
    EXPECT_EQ(ReadFile(kvisit), stored);
    std::string text;
    ASSERT_TRUE(kivra::test::RunProgramOutput({"pdftotext", "-enc", "UTF-8", pdf, "-"}, text));
    // Kana and kanji that are no radicals: pdftotext reads a radical as its own code point.
    for (const std::string& shown :
         {patient, std::string("-装具"), std::string("File Examiner"), std::string("1950-04-01")}) {
        EXPECT_NE(text.find(shown), std::string::npos) << shown << "\n" << text;
    }
    EXPECT_EQ(text.find("File Patient"), std::string::npos) << text;
    EXPECT_EQ(text.find("Barefoot"), std::string::npos) << text;
}

// Numbers too large for a fixed buffer are written in full, never as the buffer's bytes.
TEST_F(CliGaitTest, HugeLengthsAreWrittenInFull) {
    const std::string out = dir.File("out");
    ASSERT_EQ(
        Cli({"gait", video, out, "--foot", "R=5,6", "--foot", "L=7,8", "--scale", "1e300"}, err), 0)
        << ReadFile(err);
    for (const char* name : {"/strides.csv", "/summary.csv"}) {
        const std::string text = ReadFile(out + name);
        EXPECT_EQ(text.find('\0'), std::string::npos) << name;
        // Buffer bytes would show as control characters; the text is plain ASCII.
        for (const char c : text) {
            EXPECT_TRUE(c == '\r' || c == '\n' || (c >= ' ' && c <= '~'))
                << name << ": byte " << int(static_cast<unsigned char>(c));
        }
    }
    const std::string summary = ReadFile(out + "/summary.csv");
    const std::size_t row = summary.find("\nStrideLength,");
    ASSERT_NE(row, std::string::npos);
    EXPECT_GT(summary.find(',', row + 14) - row, 300u) << "about 1.3e303 mm, every digit";
}

}  // namespace

// A phone clip of varying rate, opened as it is, shows some pictures on two frames at the
// constant rate it is numbered at: the analysis says so; the same walk at a steady rate does not.
TEST_F(CliGaitTest, AClipOfVaryingRateIsWarnedOfAndASteadyOneIsNot) {
    for (const bool varying : {true, false}) {
        SCOPED_TRACE(varying ? "varying" : "steady");
        const std::string clip = dir.File(varying ? "vfr.mp4" : "cfr.mp4");
        // Half a frame's pause after every eighth picture.
        ASSERT_TRUE(kivra::test::RunFfmpeg({"-i", video, "-vf",
                                            varying ? "setpts='(N+0.5*floor(N/8))/30/TB'" : "null",
                                            "-fps_mode", varying ? "vfr" : "cfr", "-c:v", "libx264",
                                            "-preset", "ultrafast", clip}));
        fs::copy_file(dir.File("-walk 01.lff"),
                      dir.File(varying ? "vfr.$tmp$.lff" : "cfr.$tmp$.lff"));
        const std::string out = dir.File(varying ? "out-vfr" : "out-cfr");
        ASSERT_EQ(Cli({"gait", clip, out, "--foot", "R=5,6", "--foot", "L=7,8", "--detect"}, err),
                  0)
            << ReadFile(err);
        const std::string summary = ReadFile(out + "/summary.csv");
        EXPECT_EQ(summary.find("Warning,VariableFrameRate,\"the source's frame rate varies: of "
                               "120 frames 7 repeat") != std::string::npos,
                  varying)
            << summary;
    }
}

namespace {

// The gait messages follow the interface language: refusals of gait, report and kinematics, a
// damaged events file, and the warnings, on stderr and in summary.csv alike.
TEST_F(CliGaitTest, MessagesAndSummaryWarningsFollowTheLanguage) {
    const std::string out = dir.File("out");
    ASSERT_TRUE(WriteFile(dir.File("-walk 01.kgait"), "kivra-gait 7\n"));
    const struct {
        std::vector<std::string> args;
        int status;
        const char* japanese;
        const char* english;
    } runs[] = {
        {{"gait", video, out, "--foot", "R=5,5"},
         2,
         "--foot R=5,5: 踵とつま先には別の ID を指定してください",
         "--foot R=5,5: give two different IDs for the heel and the toe"},
        {{"report", video, dir.File("r.pdf"), "--foot", "R=5,6", "--leg-length", "0"},
         2,
         "0 より大きく 3000 未満の長さを mm で指定してください",
         "give a length in mm above 0 and below 3000"},
        {{"kinematics", video, dir.File("k.csv"), "--joint", "X:knee=1,2,3"},
         2,
         "左右は R か L で指定してください",
         "the side must be R or L"},
        {{"kinematics", video, dir.File("k.csv"), "--filter", "20"},
         1,
         "フレームレートの半分 (15.000 Hz) 未満にしてください",
         "below half the frame rate (15.000 Hz)"},
        {{"gait", video, out, "--foot", "R=5,6"},
         1,
         "バージョン 7 はこのプログラムでは読めません (イベントを検出し直すには --detect",
         "version 7, which this program does not read (give --detect"},
        {{"gait", video, out, "--foot", "R=5,6", "--detect"},
         0,
         "警告: 右足のストライドは 2 件です。3 件未満では",
         "warning: the right foot has 2 stride(s); fewer than 3 give"},
    };
    for (const bool japanese : {true, false}) {
        SCOPED_TRACE(japanese ? "ja" : "C");
        for (const auto& run : runs) {
            std::vector<std::string> args = run.args;
            const std::string command = args.front();
            args.erase(args.begin());
            EXPECT_EQ(kivra::test::RunCliCommand(dir, command, args,
                                                 {japanese ? "LANG=ja_JP.UTF-8" : "LANG=C"}),
                      run.status);
            EXPECT_NE(ReadFile(err).find(japanese ? run.japanese : run.english), std::string::npos)
                << ReadFile(err);
        }
        EXPECT_NE(ReadFile(out + "/summary.csv")
                      .find(japanese ? "\r\nWarning,FewStrides,\"右足のストライドは 2 件です。"
                                     : "\r\nWarning,FewStrides,\"the right foot has 2 stride(s);"),
                  std::string::npos)
            << ReadFile(out + "/summary.csv");
    }
}

// trc and c3d on the sample: the points of the play range, and in the C3D file the events as
// the user edited them (none without --foot); never onto the video's own files.
TEST_F(CliGaitTest, TrcAndC3dCarryThePlayRangeAndTheEditedEvents) {
    const std::string c3d = dir.File("-trial 'c3d'.c3d"), trc = dir.File("trial $1.trc");
    ASSERT_TRUE(
        kivra::WriteGaitFile(dir.File("-walk 01.kgait"),
                             {{30, kivra::FootSide::kRight, kivra::GaitEventKind::kHeelStrike},
                              {63, kivra::FootSide::kLeft, kivra::GaitEventKind::kToeOff}}));
    ASSERT_EQ(Cli({"c3d", video, c3d, "--foot", "R=5,6"}, err), 0) << ReadFile(err);
    const std::string b = ReadFile(c3d);
    const auto u16 = [&b](std::size_t at) {
        return int(std::uint8_t(b.at(at))) | int(std::uint8_t(b.at(at + 1))) << 8;
    };
    const auto f32 = [&b](std::size_t at) {
        float f = 0.0f;
        std::memcpy(&f, b.data() + at, 4);
        return f;
    };
    EXPECT_EQ(u16(2), 8);       // points
    EXPECT_EQ(u16(6), 1);       // first frame
    EXPECT_EQ(u16(8), 120);     // last frame
    EXPECT_EQ(f32(20), 30.0f);  // rate
    // TIMES: name, offset word, type, two dimensions, then minutes and seconds per event.
    const std::size_t times = b.find("TIMES") + 5 + 2 + 2 + 2;
    EXPECT_EQ(f32(times + 4), 1.0f);
    EXPECT_FLOAT_EQ(f32(times + 12), 2.1f);
    for (const char* text : {"Right", "Left ", "Foot Strike", "Foot Off   ", "M8", "mm"}) {
        EXPECT_NE(b.find(text), std::string::npos) << text;
    }
    ASSERT_EQ(Cli({"c3d", video, c3d}, err), 0) << ReadFile(err);
    EXPECT_EQ(ReadFile(c3d).find("Foot Strike"), std::string::npos);

    ASSERT_EQ(Cli({"trc", video, trc, "--scale", "2"}, err), 0) << ReadFile(err);
    const std::string text = ReadFile(trc);
    EXPECT_TRUE(text.starts_with("PathFileType\t4\t(X/Y/Z)\ttrial $1.trc\n")) << text;
    EXPECT_NE(text.find("\n30.000000\t30.000000\t120\t8\tmm\t30.000000\t1\t120\n"),
              std::string::npos);
    EXPECT_NE(text.find("\n120\t3.966667\t"), std::string::npos);

    const std::string lff = dir.File("-walk 01.lff"), markers = ReadFile(lff);
    EXPECT_EQ(Cli({"c3d", video, lff}, err), 1);
    EXPECT_EQ(Cli({"trc", video, lff}, err), 1);
    EXPECT_EQ(ReadFile(lff), markers);
    EXPECT_EQ(Cli({"trc", video, trc, "--scale", "x"}, err), 2);
    EXPECT_NE(ReadFile(err).find("--scale x"), std::string::npos) << ReadFile(err);
}

}  // namespace
