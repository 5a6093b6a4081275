// kivra-cli export as a user runs it: the real binary, the real encoders, profile.ini beside it.
#include <gtest/gtest.h>

#include <filesystem>

#include "markers/lff_manager.h"
#include "markers/trimming_state.h"
#include "reading/avi_video_stream.h"
#include "platform/path_util.h"
#include "support/ffmpeg_tool.h"

namespace {

using kivra::test::ReadFile;
using kivra::test::RunFfmpeg;
using kivra::test::RunProgram;
using kivra::test::TempDir;
using kivra::test::WriteFile;


// Exit status of kivra-cli export with the arguments; its stderr goes to dir/"err.txt".
int Export(const TempDir& dir, std::vector<std::string> args) {
    return kivra::test::RunCliCommand(dir, "export", std::move(args));
}

std::vector<std::string> Names(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class CliExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25", "-frames:v",
                               "20", "-c:v", "mjpeg", "-q:v", "3", video}));
    }
    // Marker file with the play range 4..13, landscape 640x480, mosaic type 3.
    void StoreMarkers(bool withAreas) {
        CLFFManager markers;
        markers.LoadMarkers(kivra::ReplaceExtension(video, ".lff"), 100);
        kivra::TrimmingState state;
        state.rangeStart = 4;
        state.rangeEnd = 13;
        state.mode = kivra::kSideMode;
        state.direction = kivra::kLandscape;
        if (withAreas) {
            state.area1 = kivra::AreaFromSaved({0, 0, 80, 60}, 2);
            state.area2 = kivra::AreaFromSaved({80, 60, 160, 120}, 16);
        }
        kivra::StoreTrimmingState(markers, state);
        ASSERT_TRUE(
            markers.SaveMarkers(kivra::ReplaceExtension(video, ".lff"), 0, kivra::kLandscape, 3));
    }
    std::string Err() const { return ReadFile(dir.File("err.txt")); }

    TempDir dir{"kivra export 'ü' $x;"};
    const std::string video = dir.File("-walk 01.avi");
};

TEST_F(CliExportTest, WritesTheTrimmedAviAndLeavesNoScratchFiles) {
    StoreMarkers(true);
    const std::string out = dir.File("trimmed $1.AVI");
    WriteFile(out, "old movie");
    ASSERT_EQ(Export(dir, {video, out, "--codec", "mjpg", "--options",
                           "flags=+qscale:global_quality=472"}),
              0)
        << Err();
    CAviVideoStream written(out);
    ASSERT_EQ(written.OpenStream(), CAviVideoStream::kOpened);
    EXPECT_EQ(written.GetFrameCount(), 10);
    EXPECT_EQ(written.FourCCText(), "MJPG");
    EXPECT_EQ(written.DisplayBitmap().Width(), 640);
    EXPECT_EQ(written.DisplayBitmap().Height(), 480);
    EXPECT_EQ(Names(dir), (std::vector<std::string>{"-walk 01.avi", "-walk 01.lff", "err.txt",
                                                    "trimmed $1.AVI"}));
}

TEST_F(CliExportTest, ConvertsWithTheMatchingProfileToAnMp4ThatPlaysEverywhere) {
    StoreMarkers(true);
    const std::string out = dir.File("trimmed.mp4");
    ASSERT_EQ(Export(dir, {video, out}), 0) << Err();
    const std::string probe = dir.File("probe.txt");
    ASSERT_TRUE(RunProgram({"sh", "-c",
                            "ffprobe -v error -select_streams v:0 -show_entries "
                            "stream=codec_name,pix_fmt,width,height,nb_frames -of compact \"$0\" "
                            "> \"$1\"",
                            out, probe}));
    EXPECT_EQ(ReadFile(probe),
              "stream|codec_name=h264|width=640|height=480|pix_fmt=yuv420p|nb_frames=10\n");
    // The index comes first, so a browser plays it while it downloads.
    const std::string bytes = ReadFile(out);
    ASSERT_NE(bytes.find("moov"), std::string::npos);
    EXPECT_LT(bytes.find("moov"), bytes.find("mdat"));
    EXPECT_EQ(Names(dir), (std::vector<std::string>{"-walk 01.avi", "-walk 01.lff", "err.txt",
                                                    "probe.txt", "trimmed.mp4"}));
}

TEST_F(CliExportTest, RefusalsAndFailuresKeepTheOldFileAndLeaveNoScratchFiles) {
    const std::string out = dir.File("out.avi");
    WriteFile(out, "old movie");
    EXPECT_EQ(Export(dir, {video, out}), 1);  // no marker file
    EXPECT_NE(Err().find("no marker file"), std::string::npos) << Err();
    StoreMarkers(false);
    EXPECT_EQ(Export(dir, {video, out}), 1);  // no areas
    EXPECT_NE(Err().find("no trimming areas"), std::string::npos) << Err();
    StoreMarkers(true);
    // The open video itself, in another letter case.
    EXPECT_EQ(Export(dir, {video, dir.File("-WALK 01.avi")}), 1);
    EXPECT_EQ(Export(dir, {video, out, "--codec", "QQQQ"}), 1);
    EXPECT_NE(Err().find("unknown compressor code"), std::string::npos) << Err();
    EXPECT_EQ(Export(dir, {video, dir.File("out.xyz")}), 1);  // no profile for it
    EXPECT_EQ(Export(dir, {video, dir.File("out.mp4"), "--profile", "99"}), 1);
    // Options the encoder refuses fail when it is opened.
    EXPECT_EQ(Export(dir, {video, out, "--options", "no_such_option=1"}), 1);
    EXPECT_NE(Err().find("Export error!!"), std::string::npos) << Err();
    EXPECT_NE(Err().find("no_such_option"), std::string::npos) << Err();
    // A conversion that fails: the MP4 container cannot carry the Windows Media profile's
    // codec, so the encoder gives up and the old target is all that remains.
    const std::string mp4 = dir.File("old.mp4");
    WriteFile(mp4, "old mp4");
    EXPECT_EQ(Export(dir, {video, mp4, "--profile", "3", "--codec", "DIB"}), 1) << Err();
    EXPECT_NE(Err().find("failed"), std::string::npos) << Err();
    EXPECT_EQ(ReadFile(mp4), "old mp4");
    EXPECT_EQ(ReadFile(out), "old movie");
    EXPECT_EQ(Names(dir), (std::vector<std::string>{"-walk 01.avi", "-walk 01.lff", "err.txt",
                                                    "old.mp4", "out.avi"}));
}

}  // namespace
