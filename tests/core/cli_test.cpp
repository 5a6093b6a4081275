// kivra-cli as a user runs it: the real binary, real files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "markers/lff_manager.h"
#include "markers/trimming_state.h"
#include "platform/path_util.h"
#include "support/ffmpeg_tool.h"

namespace {

using kivra::test::ReadFile;
using kivra::test::RunFfmpeg;
using kivra::test::RunProgram;
using kivra::test::TempDir;
using kivra::test::WriteFile;

const std::string kCli = std::string(KIVRA_BINARY_DIR) + "/kivra-cli";

// Runs kivra-cli with its output to a file; returns the output, or "<failed>".
std::string Cli(const TempDir& dir, std::vector<std::string> args) {
    const std::string out = dir.File("cli-out.txt");
    std::vector<std::string> argv = {"sh", "-c", "exec \"$0\" \"$@\" > \"$OUT\"", kCli};
    argv.insert(argv.end(), args.begin(), args.end());
    setenv("OUT", out.c_str(), 1);
    if (!RunProgram(argv)) {
        return "<failed>";
    }
    return ReadFile(out);
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=96x64:rate=25", "-frames:v",
                               "30", "-c:v", "msmpeg4v2", "-g", "10", avi}));
    }
    TempDir dir;
    const std::string avi = dir.File("trial 01 'ü'.avi");
};

TEST_F(CliTest, InfoPrintsTheInformationLines) {
    const std::string info = Cli(dir, {"info", avi});
    EXPECT_NE(info.find("Length    :    30\n"), std::string::npos) << info;
    EXPECT_NE(info.find("FrameRate : 25.00 fps\n"), std::string::npos);
    EXPECT_NE(info.find("NextKey   :  10\n"), std::string::npos);
    EXPECT_NE(info.find("FCC   : MP42\n"), std::string::npos);
    EXPECT_NE(info.find("ImageSize:(  96*  64)"), std::string::npos);
}

TEST_F(CliTest, FrameWritesTheBitmapOfThatFrame) {
    const std::string bmp = dir.File("frame 7.bmp");
    ASSERT_NE(Cli(dir, {"frame", avi, "7", bmp}), "<failed>");
    const std::string bytes = ReadFile(bmp);
    ASSERT_EQ(bytes.size(), 54u + 96 * 3 * 64);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    // ffmpeg reads it back as a 96x64 picture.
    EXPECT_TRUE(RunFfmpeg({"-i", bmp, "-f", "null", "-"}));
    EXPECT_EQ(Cli(dir, {"frame", avi, "30", dir.File("past-end.bmp")}), "<failed>");
    EXPECT_FALSE(std::filesystem::exists(dir.File("past-end.bmp")));
}

TEST_F(CliTest, FrameExportLeavesTheUsersOtherFilesAlone) {
    // A name the writer might pick for its scratch copy is the user's own file.
    const std::string bmp = dir.File("walk.bmp");
    WriteFile(bmp + ".part", "notes");
    WriteFile(bmp, "old picture");
    ASSERT_NE(Cli(dir, {"frame", avi, "3", bmp}), "<failed>");
    EXPECT_EQ(ReadFile(bmp + ".part"), "notes");
    EXPECT_EQ(ReadFile(bmp).substr(0, 2), "BM");
}

// The same pictures in any order: forward and backward over the whole file give checksums
// of the same pictures in reverse, so compare per-frame runs instead.
TEST_F(CliTest, DecodeOrdersCoverEveryFrameTheSame) {
    const std::regex line(R"(frames=(\d+) ms_per_frame=[0-9.]+ checksum=([0-9a-f]{16})\n)");
    std::smatch m;
    const std::string forward = Cli(dir, {"decode", avi, "--order", "forward"});
    ASSERT_TRUE(std::regex_match(forward, m, line)) << forward;
    EXPECT_EQ(m[1], "30");
    const std::string again = Cli(dir, {"decode", avi, "--order", "forward"});
    EXPECT_EQ(forward.substr(forward.find("checksum")), again.substr(again.find("checksum")));
    const std::string random = Cli(dir, {"decode", avi, "--order", "random", "--count", "7"});
    ASSERT_TRUE(std::regex_match(random, m, line)) << random;
    EXPECT_EQ(m[1], "7");
    // A single frame decoded forward or backward is the same picture.
    const std::string one = Cli(dir, {"decode", avi, "--order", "forward", "--count", "1"});
    const std::string last = Cli(dir, {"decode", avi, "--order", "backward", "--count", "1"});
    EXPECT_NE(one.substr(one.find("checksum")), last.substr(last.find("checksum")));
}

TEST_F(CliTest, BadCommandLinesAndFilesFail) {
    EXPECT_EQ(Cli(dir, {}), "<failed>");
    EXPECT_EQ(Cli(dir, {"decode", avi, "--order", "sideways"}), "<failed>");
    EXPECT_EQ(Cli(dir, {"frame", avi, "x", dir.File("a.bmp")}), "<failed>");
    EXPECT_EQ(Cli(dir, {"info", dir.File("missing.avi")}), "<failed>");
}

TEST_F(CliTest, MessagesFollowTheLocaleVariables) {
    const std::string err = dir.File("cli-err.txt");
    setenv("ERR", err.c_str(), 1);
    const auto message = [&](std::vector<std::string> variables) {
        std::vector<std::string> argv = {"env", "-u",          "LANGUAGE", "-u",  "LC_ALL",
                                         "-u",  "LC_MESSAGES", "-u",       "LANG"};
        argv.insert(argv.end(), variables.begin(), variables.end());
        argv.insert(argv.end(), {"sh", "-c", "exec \"$0\" \"$@\" 2> \"$ERR\"", kCli, "info",
                                 dir.File("missing.avi")});
        EXPECT_FALSE(RunProgram(argv));
        const std::string text = ReadFile(err);
        return text.substr(text.find("\n\n") + 2);
    };
    const std::string english = "The document could not be opened.\n";
    const std::string japanese = "ドキュメントを開くことができませんでした。\n";
    EXPECT_EQ(message({}), english);
    EXPECT_EQ(message({"LANG=ja_JP.UTF-8"}), japanese);
    EXPECT_EQ(message({"LANG=ja_JP.UTF-8", "LC_MESSAGES=en_GB.UTF-8"}), english);
    EXPECT_EQ(message({"LANGUAGE=fr:ja", "LANG=de_DE.UTF-8"}), japanese);
    EXPECT_EQ(message({"LANGUAGE=ja", "LC_ALL=C", "LANG=ja_JP.UTF-8"}), english);
}

}  // namespace

namespace {

// The batch export writes what the program's own export writes from the stored markers.
TEST_F(CliTest, CsvExportsTheStoredMarkers) {
    EXPECT_EQ(Cli(dir, {"csv", avi, dir.File("none.csv")}), "<failed>");  // no marker file yet
    {
        CLFFManager markers;
        markers.LoadMarkers(kivra::ReplaceExtension(avi, ".lff"), 100);
        markers.SetMarker(0, 2, 10.0, 20.0);
        markers.SetMarker(2, 4, 30.0, 40.0);
        kivra::TrimmingState state;
        state.rangeStart = 0;
        state.rangeEnd = 29;
        state.area1 = kivra::AreaFromSaved({0, 0, 48, 64}, 0);
        state.area2 = kivra::AreaFromSaved({0, 0, 48, 64}, 29);
        kivra::StoreTrimmingState(markers, state);
        ASSERT_TRUE(markers.SaveMarkers(kivra::ReplaceExtension(avi, ".lff"), 0, 0, 1));
    }
    const std::string csv = dir.File("out put.csv");
    ASSERT_NE(Cli(dir, {"csv", avi, csv}), "<failed>");
    const std::string text = ReadFile(csv);
    // 25 fps; a 48x64 box scaled to 480x640 multiplies by ten.
    EXPECT_EQ(text,
              "Time,M01_x,M01_y,M03_x,M03_y\r\n"
              "0.08,100.00,200.00,,\r\n"
              "0.16,,,300.00,400.00\r\n");
}

}  // namespace

namespace {

// Batch work takes every supported format: an MP4 is converted on the way and its temporary
// files are gone when the command ends.
TEST(CliConvertTest, InfoAndFrameOfAnMp4LeaveNoTemporaryFiles) {
    TempDir dir;
    const std::string mp4 = dir.File("trial 02.mp4");
    ASSERT_TRUE(
        RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=96x64:rate=25", "-f", "lavfi", "-i",
                   "sine=duration=1", "-frames:v", "25", "-c:v", "libx264", "-c:a", "aac", mp4}));
    const std::string info = Cli(dir, {"info", mp4, "--convert"});
    EXPECT_NE(info.find("Length    :    25\n"), std::string::npos) << info;
    EXPECT_NE(info.find("FCC   : MP42\n"), std::string::npos) << info;
    // Read straight from the file unless asked: the same length, not the conversion's codec.
    const std::string direct = Cli(dir, {"info", mp4});
    EXPECT_NE(direct.find("Length    :    25\n"), std::string::npos) << direct;
    EXPECT_EQ(direct.find("MP42"), std::string::npos) << direct;
    ASSERT_NE(Cli(dir, {"frame", mp4, "12", dir.File("f.bmp"), "--convert"}), "<failed>");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"cli-out.txt", "f.bmp", "trial 02.mp4"}));
}

}  // namespace
