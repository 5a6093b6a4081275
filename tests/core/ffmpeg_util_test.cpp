// The encoder runner with the real encoder: conversions that open as AVI, the command log,
// failures that leave nothing behind, and file names that must never run anything.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <thread>

#include "convert/encoder_progress.h"
#include "convert/ffmpeg_util.h"
#include "reading/avi_video_stream.h"
#include "output/movie_target.h"
#include "platform/child_process.h"
#include "platform/scratch_file.h"
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
    void SetPosition(int position) override {
        positions.push_back(position);
        maxPosition = std::max(maxPosition, position);
    }
    void Pump() override {
        ++pumps;
        cancelled = cancelled || (offered && cancelAfterPumps > 0 && pumps >= cancelAfterPumps);
    }
    void End() override {
        calls.push_back("end");
        offered = false;
    }
    void OfferCancel() override {
        calls.push_back("cancel offered");
        offered = true;
    }
    bool CancelRequested() const override { return cancelled; }
    void SetRemainingTime(int seconds) override { remaining.push_back(seconds); }

    std::vector<std::string> calls;
    std::vector<std::string> captions;
    std::vector<int> positions;
    std::vector<int> remaining;
    int maxPosition = -1;
    int pumps = 0;
    int cancelAfterPumps = 0;  // 0: never
    bool offered = false;
    bool cancelled = false;
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

        ASSERT_EQ(sink.calls.size(), 3u);
        EXPECT_EQ(sink.calls[0], "begin 0..50 [] hidden");
        EXPECT_EQ(sink.calls[1], "cancel offered");
        EXPECT_EQ(sink.calls[2], "end");
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

// What the encoder reports with "-progress": read in whatever pieces the pipe gives.
TEST_F(FfmpegUtilTest, ProgressReportsOfTheRealEncoderGiveTheShareDone) {
    const std::string reportFile = dir.File("progress.txt");
    ASSERT_TRUE(RunFfmpeg(
        {"-progress", reportFile, "-i", source, "-an", "-c:v", "mpeg4", "-f", "null", "-"}));
    const std::string text = ReadFile(reportFile);
    ASSERT_NE(text.find("out_time_us="), std::string::npos);
    kivra::EncoderProgress progress;
    for (size_t at = 0; at < text.size(); at += 7) {
        progress.Feed(std::string_view(text).substr(at, 7));
    }
    EXPECT_TRUE(progress.Ended());
    EXPECT_EQ(progress.Frames(), 10);
    EXPECT_EQ(progress.OutTimeUs(), 400000);  // 10 frames at 25 per second
    EXPECT_GE(progress.Advances(), 1u);
    EXPECT_EQ(progress.Permille(std::chrono::milliseconds(400)), 1000);
    EXPECT_EQ(progress.Permille(std::chrono::milliseconds(1600)), 250);
    EXPECT_EQ(progress.Permille(std::chrono::milliseconds(0)), std::nullopt);

    // Before the first frame the time is "N/A"; a report that repeats itself is no advance.
    kivra::EncoderProgress early;
    early.Feed("frame=0\nout_time_us=N/A\nprogress=continue\n");
    EXPECT_EQ(early.Permille(std::chrono::seconds(1)), std::nullopt);
    early.Feed("frame=0\nout_time_us=N/A\nprogress=continue\nframe=3\nout_time_us=120000\r\n");
    EXPECT_EQ(early.Advances(), 0u);
    early.Feed("progress=continue\n");
    EXPECT_EQ(early.Advances(), 1u);
    EXPECT_EQ(early.Permille(std::chrono::seconds(1)), 120);

    EXPECT_EQ(kivra::RemainingSeconds(250, std::chrono::seconds(10)), 30);
    EXPECT_EQ(kivra::RemainingSeconds(10, std::chrono::seconds(10)), std::nullopt);  // a guess
    EXPECT_EQ(kivra::RemainingSeconds(500, std::chrono::milliseconds(400)), std::nullopt);
    EXPECT_EQ(kivra::RemainingSeconds(1000, std::chrono::seconds(5)), 0);
}

// With the source's length known the bar shows the share done and ends full.
TEST_F(FfmpegUtilTest, KnownLengthShowsTheShareDone) {
    CFFMpegUtil util(settings);
    ASSERT_TRUE(util.ConvertVideo(source, dir.File("source.$tmp$.avi"), "", "", "", 1, "", sink,
                                  std::chrono::milliseconds(400)));
    ASSERT_FALSE(sink.calls.empty());
    EXPECT_EQ(sink.calls[0], "begin 0..1000 [] shown");
    ASSERT_FALSE(sink.positions.empty());
    EXPECT_TRUE(std::is_sorted(sink.positions.begin(), sink.positions.end()));
    EXPECT_EQ(sink.positions.back(), 1000);
    EXPECT_FALSE(sink.remaining.empty());
}

// A long source: 2000 frames take the encoder well past the first check.
std::string MakeLongSource(const TempDir& dir, const std::string& name) {
    const std::string path = dir.File(name);
    EXPECT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-frames:v", "2000",
                           "-c:v", "mpeg4", "-q:v", "10", path}));
    return path;
}

// Cancel ends the encoder at once and takes its output with it.
TEST_F(FfmpegUtilTest, CancelEndsTheEncoderAndLeavesNothing) {
    const std::string longSource = MakeLongSource(dir, "long.mp4");
    CFFMpegUtil util(settings);
    sink.cancelAfterPumps = 1;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(util.ConvertVideo(longSource, dir.File("long.$tmp$.avi"), "", "", "", 1, "", sink,
                                   std::chrono::seconds(80)));
    EXPECT_TRUE(util.Cancelled());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_FALSE(fs::exists(dir.File("long.$tmp$.avi")));
    EXPECT_EQ(sink.calls.back(), "end");
    int status = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1) << "a child was left unreaped";

    // The next run starts without the request.
    RecordingSink fresh;
    EXPECT_TRUE(util.SplitSound(source, dir.File("source.$tmp$.wav"), fresh));
    EXPECT_FALSE(util.Cancelled());
}

// An encoder that reads zeros for ever, with no output and no report, is ended.
TEST_F(FfmpegUtilTest, StuckEncoderIsEnded) {
    const std::string sparse = dir.File("huge.avi");
    {
        std::ofstream riff(sparse, std::ios::binary);
        riff << std::string(
            "RIFF\xff\xff\xff\xff"
            "AVI LIST\x00\x01\x00\x00hdrl",
            24);
    }
    ASSERT_EQ(truncate(sparse.c_str(), 64LL << 30), 0);
    CFFMpegUtil util(settings);
    util.SetStallTimeout(std::chrono::milliseconds(1500));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(util.ConvertVideo(sparse, dir.File("huge.$tmp$.avi"), "", "", "", 1, "", sink));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15));
    EXPECT_FALSE(util.Cancelled());
    EXPECT_NE(util.EncoderMessages().find("no progress"), std::string::npos)
        << util.EncoderMessages();
    EXPECT_FALSE(fs::exists(dir.File("huge.$tmp$.avi")));
    int status = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
}

// A victim file and a link to it planted under a scratch name by whoever can write the folder.
struct PlantedLink {
    PlantedLink(const TempDir& dir, const std::string& name)
        : link(dir.File(name)), victim(dir.File("victim of " + name)) {
        std::ofstream(victim) << kContent;
        fs::create_symlink(victim, link);
    }
    // The victim holds what it held, and the link is still a link to it, moved aside.
    void ExpectUntouched() const {
        EXPECT_EQ(ReadFile(victim), kContent) << link;
        EXPECT_TRUE(fs::is_symlink(link + ".aside1")) << link;
        EXPECT_EQ(fs::read_symlink(link + ".aside1"), victim);
    }
    static constexpr const char* kContent = "the victim's own data\n";
    std::string link;
    std::string victim;
};

// Links planted under every name the jobs write never redirect a write.
TEST_F(FfmpegUtilTest, PlantedLinksUnderScratchNamesAreNeverFollowed) {
    CFFMpegUtil util(settings);
    const PlantedLink avi(dir, "source.$tmp$.avi");
    const PlantedLink wav(dir, "source.$tmp$.wav");
    ASSERT_TRUE(util.ConvertVideo(source, avi.link, "", "", "", 1, "", sink));
    ASSERT_TRUE(util.SplitSound(source, wav.link, sink));
    avi.ExpectUntouched();
    wav.ExpectUntouched();
    EXPECT_EQ(OpenAvi(avi.link).code, CAviVideoStream::kOpened);
    EXPECT_FALSE(fs::is_symlink(wav.link));
    EXPECT_GT(fs::file_size(wav.link), 44u);

    // An export's converted file, through the same path the save takes.
    const std::string target = dir.File("out.mp4");
    const std::string intermediate = kivra::IntermediateMoviePath(target);
    ASSERT_TRUE(RunFfmpeg({"-i", source, "-an", "-c:v", "mjpeg", intermediate}));
    const PlantedLink converted(dir, "out.$out$.mp4");
    std::string reason;
    ASSERT_TRUE(kivra::PlaceTrimmedMovie(intermediate, target, -1, util, sink, &reason)) << reason;
    converted.ExpectUntouched();
    EXPECT_FALSE(fs::is_symlink(target));
    EXPECT_GT(fs::file_size(target), 0u);
    EXPECT_FALSE(fs::exists(converted.link));
    EXPECT_FALSE(fs::exists(intermediate));

    // A regular file there is what an interrupted run left: replaced, nothing moved aside.
    std::ofstream(dir.File("source.$tmp$.avi")) << "left over";
    ASSERT_TRUE(util.ConvertVideo(source, dir.File("source.$tmp$.avi"), "", "", "", 1, "", sink));
    EXPECT_EQ(OpenAvi(dir.File("source.$tmp$.avi")).code, CAviVideoStream::kOpened);
    EXPECT_FALSE(fs::exists(dir.File("source.$tmp$.avi.aside2")));
}

// A link swapped in under the name while the encoder runs redirects nothing: the encoder
// writes the file we made, and the finished file is not moved through the link.
TEST_F(FfmpegUtilTest, LinkSwappedInWhileWritingRedirectsNothing) {
    CFFMpegUtil util(settings);
    const std::string name = dir.File("take.$out$.mkv");
    kivra::ScratchFile scratch = kivra::ScratchFile::Create(name);
    ASSERT_TRUE(scratch.IsOpen());
    ASSERT_EQ(rename(name.c_str(), dir.File("ours.mkv").c_str()), 0);
    const std::string victim = dir.File("victim.mkv");
    std::ofstream(victim) << "victim";
    fs::create_symlink(victim, name);

    ASSERT_TRUE(util.ConvertWithProfile(source, scratch, -1, sink)) << util.EncoderMessages();
    EXPECT_EQ(ReadFile(victim), "victim");
    EXPECT_GT(fs::file_size(dir.File("ours.mkv")), 1000u);  // what the encoder wrote
    std::string reason;
    EXPECT_FALSE(scratch.MoveTo(dir.File("take.mkv"), &reason));
    EXPECT_FALSE(fs::exists(dir.File("take.mkv")));
    EXPECT_TRUE(fs::is_symlink(name));  // not ours to remove
    EXPECT_EQ(ReadFile(victim), "victim");
}

// The pids of running processes whose command line holds `token`.
std::vector<pid_t> ProcessesWith(const std::string& token) {
    std::vector<pid_t> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const std::string cmdline = ReadFile(entry.path() / "cmdline");
        const std::string stat = ReadFile(entry.path() / "stat");
        const size_t close = stat.rfind(')');
        const bool zombie =
            close != std::string::npos && stat.size() > close + 2 && stat[close + 2] == 'Z';
        if (!zombie && cmdline.find(token) != std::string::npos) {
            found.push_back(pid_t(std::stoi(name)));
        }
    }
    return found;
}

// Kills `program`, then waits a while for every process with `token` in its command line to
// go; true when one is still there (it is then ended here).
bool OutlivesKilledProgram(pid_t program, const std::string& token) {
    kill(program, SIGKILL);
    int status = 0;
    waitpid(program, &status, 0);
    for (int i = 0; i < 100 && !ProcessesWith(token).empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const std::vector<pid_t> left = ProcessesWith(token);
    for (const pid_t pid : left) {
        kill(pid, SIGKILL);
    }
    return !left.empty();
}

// The child started by `start` in a program of its own, once it runs.
pid_t StartInProgram(const std::string& token, const std::function<void()>& start) {
    const pid_t program = fork();
    if (program == 0) {
        start();
        _exit(0);
    }
    for (int i = 0; i < 200 && program > 0 && ProcessesWith(token).empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return program;
}

// A program killed outright takes its children with it: the encoder, and any child started
// to end with it even when it never writes a byte.
TEST_F(FfmpegUtilTest, ChildrenEndWithAKilledProgram) {
    const std::string output = dir.File("endless-" + std::to_string(getpid()) + ".avi");
    const pid_t program = StartInProgram(output, [&] {
        CFFMpegUtil util(settings);
        kivra::NullProgressSink none;
        util.RunEncoder(
            {"-re", "-f", "lavfi", "-i", "testsrc=size=64x48:rate=25", "-t", "600", "-y", output},
            "endless", "X", none);
    });
    ASSERT_GT(program, 0);
    ASSERT_EQ(ProcessesWith(output).size(), 1u);
    EXPECT_FALSE(OutlivesKilledProgram(program, output))
        << "the encoder went on writing for a program that is gone";

    const std::string seconds = "599." + std::to_string(getpid());  // found by its argument
    for (const bool endsWithParent : {true, false}) {
        const pid_t parent = StartInProgram(seconds, [&] {
            kivra::ChildSetup setup;
            setup.endsWithParent = endsWithParent;
            if (kivra::SpawnChild({"/bin/sleep", seconds}, setup) > 0) {
                pause();
            }
        });
        ASSERT_GT(parent, 0);
        ASSERT_EQ(ProcessesWith(seconds).size(), 1u);
        EXPECT_EQ(OutlivesKilledProgram(parent, seconds), !endsWithParent);
    }
}

}  // namespace
