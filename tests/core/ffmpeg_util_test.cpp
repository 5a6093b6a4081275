// The encoder runner with the real encoder: conversions that open as AVI, the command log,
// failures that leave nothing behind, and file names that must never run anything.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "convert/ffmpeg_util.h"
#include "media/avi_video_stream.h"
#include "support/ffmpeg_tool.h"

namespace {

namespace fs = std::filesystem;
using kivra::test::ReadFile;
using kivra::test::RunFfmpeg;
using kivra::test::TempDir;

// Remembers every call, in order.
class RecordingSink final : public kivra::ProgressSink {
public:
    void Begin(int lower, int upper, const std::string& caption,
               kivra::PercentLabel label) override {
        calls.push_back("begin " + std::to_string(lower) + ".." + std::to_string(upper) + " [" +
                        caption + "]" +
                        (label == kivra::PercentLabel::Hidden ? " hidden" : " shown"));
    }
    void SetCaption(const std::string& caption) override { captions.push_back(caption); }
    void SetPosition(int position) override { maxPosition = std::max(maxPosition, position); }
    void Pump() override { ++pumps; }
    void End() override { calls.push_back("end"); }

    std::vector<std::string> calls;
    std::vector<std::string> captions;
    int maxPosition = -1;
    int pumps = 0;
};

// 64x48, 10 frames with a second of sound: small enough to convert in a blink.
bool MakeSource(const std::string& path) {
    return RunFfmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25", "-f", "lavfi", "-i",
                      "sine=frequency=440:duration=1", "-frames:v", "10", "-c:v", "mpeg4", "-c:a",
                      "aac", path});
}

struct Opened {
    int code = -1;
    uint32_t width = 0, height = 0, frames = 0;
};

Opened OpenAvi(const std::string& path) {
    CAviVideoStream stream(path);
    Opened o;
    o.code = stream.OpenStream();
    o.width = stream.FileInfo().dwWidth;
    o.height = stream.FileInfo().dwHeight;
    o.frames = stream.FileInfo().dwLength;
    return o;
}

class FfmpegUtilTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.ok());
        fs::create_directory(settings);
        ASSERT_TRUE(MakeSource(source));
    }

    TempDir dir;
    const std::string settings = dir.File("settings");
    const std::string source = dir.File("source.mp4");
    RecordingSink sink;
};

TEST_F(FfmpegUtilTest, VideoConversionOpensAsAviAndIsLogged) {
    const std::string out = dir.File("source.$tmp$.avi");
    std::string logPath;
    {
        CFFMpegUtil util(settings + "/");
        ASSERT_TRUE(util.IsLogOpen());
        logPath = util.LogPath();
        EXPECT_EQ(logPath, settings + "/VV_command.log");
        ASSERT_TRUE(util.ConvertVideo(source, out, "", "", "4", 1, "", sink))
            << util.EncoderMessages();

        const Opened avi = OpenAvi(out);
        EXPECT_EQ(avi.code, CAviVideoStream::kOpened);
        EXPECT_EQ(avi.width, 64u);
        EXPECT_EQ(avi.frames, 10u);

        ASSERT_EQ(sink.calls.size(), 2u);
        EXPECT_EQ(sink.calls[0], "begin 0..50 [] hidden");
        EXPECT_EQ(sink.calls[1], "end");
        ASSERT_FALSE(sink.captions.empty());
        EXPECT_TRUE(std::regex_match(sink.captions.back(),
                                     std::regex("フォーマット変換中\\.\\.\\. [0-9]+\\.[0-9] MB")))
            << sink.captions.back();
        EXPECT_GE(sink.pumps, 1);
        EXPECT_GE(sink.maxPosition, 1);

        ASSERT_TRUE(util.SplitSound(source, dir.File("source.$tmp$.wav"), sink));
        EXPECT_GT(fs::file_size(dir.File("source.$tmp$.wav")), 44u);
        EXPECT_TRUE(sink.captions.back().starts_with("音声ストリーム分離中... "));
    }
    const std::string log = ReadFile(logPath);
    const std::string time = "[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}";
    const std::regex expected("\\[V\\]:" + time + " -i \"" + source +
                              "\" -vcodec msmpeg4v2 -sameq -y " + "-fs 2200000000 -an  \"" +
                              dir.File("source\\.\\$tmp\\$\\.avi") + "\"\n" + "\\[A\\]:" + time +
                              " -i \"" + source + "\" -vn -y \"" +
                              dir.File("source\\.\\$tmp\\$\\.wav") + "\"\n" + "----------\n");
    EXPECT_TRUE(std::regex_match(log, expected)) << log;

    // A second run appends after the first run's separator.
    { CFFMpegUtil again(settings); }
    EXPECT_EQ(ReadFile(logPath), log + "----------\n");
}

TEST_F(FfmpegUtilTest, FailuresReturnFalseAndLeaveNoOutput) {
    CFFMpegUtil util(settings);
    const std::string fake = dir.File("not video.mp4");
    std::ofstream(fake) << "this is only text\n";
    const std::string out = dir.File("not video.$tmp$.avi");
    EXPECT_FALSE(util.ConvertVideo(fake, out, "", "", "", 1, "", sink));
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(util.EncoderMessages().empty());
    EXPECT_EQ(sink.calls.back(), "end");

    // An unknown codec fails after the encoder started.
    EXPECT_FALSE(util.ConvertVideo(source, out, "no_such_codec", "", "", 1, "", sink));
    EXPECT_FALSE(fs::exists(out));

    // The encoder creates the output, then fails on its second output.
    util.SetOutputPath(out);
    EXPECT_FALSE(util.RunEncoder({"-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                                  "testsrc=duration=0.2", out, dir.File("none/x.avi")},
                                 "partial", "X", sink));
    EXPECT_FALSE(fs::exists(out));

    // No encoder: nothing runs, the sink is never started, the log line is still complete.
    util.SetEncoderPath(dir.File("misc/ffmpeg"));
    RecordingSink untouched;
    EXPECT_FALSE(util.ConvertVideo(source, out, "", "", "", 1, "", untouched));
    EXPECT_TRUE(untouched.calls.empty());

    // A source that is no regular file is refused before anything is logged.
    EXPECT_FALSE(util.SplitSound(dir.path(), out, untouched));
    const std::string log = ReadFile(util.LogPath());
    EXPECT_TRUE(log.ends_with("\"" + out + "\"\n")) << log;
    EXPECT_EQ(log.find("[A]:"), std::string::npos);
}

TEST_F(FfmpegUtilTest, HostileFileNamesConvertAndRunNothing) {
    const fs::path oldCwd = fs::current_path();
    struct RestoreCwd {
        fs::path path;
        ~RestoreCwd() { fs::current_path(path); }
    } restore{oldCwd};
    fs::current_path(dir.path());
    CFFMpegUtil util(settings);
    const std::vector<std::string> names = {
        "a b \"c\" 'd'", "$(touch pwned)", "x;touch pwned;", "-dash", "-i",
        "clip:1",        "日本語 動画",    "`touch pwned`"};
    for (const std::string& name : names) {
        fs::copy_file(source, name + ".mp4");
        // Relative names from the current folder, as the riskiest form.
        ASSERT_TRUE(util.ConvertVideo(name + ".mp4", name + ".$tmp$.avi", "", "", "", 0, "", sink))
            << name << ": " << util.EncoderMessages();
        EXPECT_EQ(OpenAvi(dir.File(name + ".$tmp$.avi")).code, CAviVideoStream::kOpened) << name;
        ASSERT_TRUE(util.SplitSound(dir.File(name + ".mp4"), dir.File(name + ".$tmp$.wav"), sink))
            << name;
        EXPECT_TRUE(fs::is_regular_file(dir.File(name + ".$tmp$.wav"))) << name;
    }
    EXPECT_FALSE(fs::exists(dir.File("pwned")));
    EXPECT_FALSE(fs::exists(oldCwd / "pwned"));
    EXPECT_FALSE(fs::exists(settings + "/pwned"));
}

TEST_F(FfmpegUtilTest, RotatedSourceIsTurnedOnce) {
    const std::string rotated = dir.File("rotated.mp4");
    ASSERT_TRUE(RunFfmpeg({"-i", source, "-c", "copy", "-metadata:s:v:0", "rotate=90", rotated}));
    CFFMpegUtil util(settings);
    const std::string out = dir.File("rotated.$tmp$.avi");
    ASSERT_TRUE(util.ConvertVideo(rotated, out, "", "", "", 1,
                                  "-vf transpose=1 -metadata:s:v:0 rotate=0", sink));
    const Opened avi = OpenAvi(out);
    EXPECT_EQ(avi.code, CAviVideoStream::kOpened);
    EXPECT_EQ(avi.width, 48u);
    EXPECT_EQ(avi.height, 64u);
}

TEST_F(FfmpegUtilTest, ProfileConversionUsesTheTemplate) {
    const std::string avi = dir.File("take 1.$out$.avi");
    ASSERT_TRUE(RunFfmpeg({"-i", source, "-an", "-c:v", "mjpeg", avi}));
    std::ofstream(dir.File("profile.ini"))
        << "[Output]\nFilter1=MP4 file(*.mp4)|*.mp4|\n"
           "Command1=-i \"<%input%>\" <AVOptions> -c:v mpeg4 -y \"<%output%>\"\n";
    const std::string target = dir.File("take 1 $(touch pwned).mp4");
    {
        CFFMpegUtil util(settings);
        util.SetProfileFolder(dir.path());
        ASSERT_TRUE(util.ConvertWithProfile(avi, target, 0, sink)) << util.EncoderMessages();
        // Out of range: the built-in command, whose container follows the extension.
        ASSERT_TRUE(util.ConvertWithProfile(avi, dir.File("take.mkv"), 1, sink));
    }
    EXPECT_GT(fs::file_size(target), 0u);
    EXPECT_GT(fs::file_size(dir.File("take.mkv")), 0u);
    EXPECT_FALSE(fs::exists(dir.File("pwned")));
    const std::string log = ReadFile(settings + "/VV_command.log");
    EXPECT_NE(log.find(" -i \"" + avi + "\"  -c:v mpeg4 -y \"" + target + "\"\n[F]:"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(" -i \"" + avi + "\" -y -sameq \"" + dir.File("take.mkv") + "\"\n"),
              std::string::npos);
}

TEST_F(FfmpegUtilTest, CaptionShowsSizesBeyondFourGigabytes) {
    // An output the encoder does not touch, sparse at 5 GiB: the low 32 bits would read 1 GiB.
    const std::string big = dir.File("big.bin");
    std::ofstream(big).close();
    ASSERT_EQ(truncate(big.c_str(), 5LL << 30), 0);
    CFFMpegUtil util(settings);
    util.SetOutputPath(big);
    ASSERT_TRUE(util.RunEncoder({"-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                                 "testsrc=duration=0.3", "-f", "null", "-"},
                                "test", "X", sink));
    ASSERT_FALSE(sink.captions.empty());
    EXPECT_EQ(sink.captions.back(), "X... 5120.0 MB");
    EXPECT_TRUE(util.OutputPath().empty());
}

}  // namespace
