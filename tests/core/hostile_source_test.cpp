// Sources made to hurt: files on which the media-information library stalls, and helpers that
// hang or talk nonsense. Opening must finish, and such a probe counts as none.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "convert/probe_options.h"
#include "convert/video_info.h"
#include "document/vfw_doc.h"
#include "platform/picture_limits.h"
#include "platform/string_table.h"
#include "reading/avi_video_stream.h"
#include "settings/inifile_manager.h"
#include "support/ffmpeg_tool.h"
#include "support/recording_host.h"

namespace {

using kivra::ProbeResult;
using kivra::test::ReadFile;
using kivra::test::RunFfmpeg;
using kivra::test::TempDir;
using kivra::test::WriteFile;

void PutLe32(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + size_t(i)] = char((value >> (8 * i)) & 0xFF);
    }
}

// A small MJPEG AVI from ffmpeg; its muxer reserves the stream's super index as a "JUNK" chunk
// that already holds the index header.
std::string MakeMjpegAvi(const TempDir& dir, const std::string& name, const std::string& size) {
    const std::string path = dir.File(name);
    EXPECT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc=size=" + size + ":rate=25", "-frames:v",
                           "10", "-c:v", "mjpeg", path}));
    return path;
}

// Eight bytes changed: the reserved chunk becomes an "indx" claiming 2^31-1 entries, which keeps
// the library busy for about a minute.
std::string MakeStallingAvi(const TempDir& dir) {
    const std::string path = MakeMjpegAvi(dir, "stall 停止.avi", "64x48");
    std::string bytes = ReadFile(path);
    const size_t junk = bytes.find("JUNK");
    EXPECT_NE(junk, std::string::npos);
    if (junk == std::string::npos) {
        return path;
    }
    bytes.replace(junk, 4, "indx");
    PutLe32(bytes, junk + 12, 0x7FFFFFFF);
    EXPECT_TRUE(WriteFile(path, bytes));
    return path;
}

void PutLe16(std::string& bytes, size_t at, uint16_t value) {
    bytes[at] = char(value & 0xFF);
    bytes[at + 1] = char(value >> 8);
}

enum class Claim { Everywhere, MainHeaderOnly, FormatOnly };

// A 64x48 MJPEG AVI whose headers claim a height of 32768: the main header, the stream's frame
// rectangle and its BITMAPINFOHEADER, or just one of them. The pictures stay 64x48.
std::string MakeTallAvi(const TempDir& dir, const std::string& name, Claim claim) {
    const std::string path = MakeMjpegAvi(dir, name, "64x48");
    std::string bytes = ReadFile(path);
    const size_t avih = bytes.find("avih");
    const size_t strh = bytes.find("strh");
    const size_t strf = bytes.find("strf");
    EXPECT_TRUE(avih != std::string::npos && strh != std::string::npos &&
                strf != std::string::npos);
    if (claim != Claim::FormatOnly) {
        PutLe32(bytes, avih + 8 + 36, 32768);
    }
    if (claim != Claim::MainHeaderOnly) {
        PutLe16(bytes, strh + 8 + 54, 0x8000);  // rcFrame.bottom
        PutLe32(bytes, strf + 8 + 8, 32768);
    }
    EXPECT_TRUE(WriteFile(path, bytes));
    return path;
}

std::string MakeScript(const TempDir& dir, const std::string& name, const std::string& body) {
    const std::string path = dir.File(name);
    EXPECT_TRUE(WriteFile(path, "#!/bin/sh\n" + body));
    EXPECT_EQ(::chmod(path.c_str(), 0755), 0);
    return path;
}

class HostileSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings.LoadSettings();
        host.doc = &doc;
    }

    TempDir settingsDir;
    TempDir media;
    CInifileManager settings{std::string()};
    kivra::test::RecordingHost host;
    CVfwDoc doc{host, kivra::test::DocumentGroups(settings), settingsDir.path() + "/"};
};

// Without a bound the library spends about a minute on this file at every open.
TEST_F(HostileSourceTest, StallingFileOpensWithoutAProbe) {
    const std::string avi = MakeStallingAvi(media);
    const ProbeResult probed =
        kivra::ProbeSourceInChild(kivra::ProbeHelperPath(), avi, std::chrono::seconds(2));
    EXPECT_FALSE(probed.opened);
    EXPECT_EQ(kivra::ExtraOptions(probed), "");

    // Our own reader copes with the index, so the file opens directly once the probe gives up.
    ASSERT_TRUE(doc.OnOpenDocument(avi)) << (host.messages.empty() ? "" : host.messages[0]);
    EXPECT_EQ(doc.Stream()->FileName(), avi);
    EXPECT_EQ(doc.Stream()->FileInfo().dwWidth, 64u);
}

// A 9 KB file once made the encoder convert to 43688x32768: gigabytes and seconds of work.
TEST_F(HostileSourceTest, ClaimedHugePictureIsRefusedWithoutConverting) {
    const std::string avi = MakeTallAvi(media, "tall 縦長.avi", Claim::Everywhere);
    const ProbeResult probed = kivra::ProbeSource(avi);
    ASSERT_TRUE(probed.opened);
    EXPECT_FALSE(kivra::ProbeSizeAllowed(probed));

    EXPECT_FALSE(doc.OnOpenDocument(avi));
    ASSERT_EQ(host.messages.size(), 1u);
    std::string expected = kivra::LoadString(2012);
    expected.replace(expected.find("%1"), 2, avi);
    EXPECT_EQ(host.messages[0], expected + "\n\n" + kivra::LoadString(3012));
    EXPECT_EQ(doc.Stream(), nullptr);
    EXPECT_EQ(ReadFile(settingsDir.File("VV_command.log")).find("[V]:"), std::string::npos);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(media.path()),
                            std::filesystem::directory_iterator()),
              1);  // nothing beside the source
}

// Opened as AVI directly, the headers alone decide, whichever of them makes the claim.
TEST(PictureLimits, AviHeadersBeyondAnyCameraAreRefused) {
    const TempDir dir;
    for (const Claim claim : {Claim::Everywhere, Claim::MainHeaderOnly, Claim::FormatOnly}) {
        const std::string avi =
            MakeTallAvi(dir, "tall" + std::to_string(int(claim)) + ".avi", claim);
        CAviVideoStream stream(avi);
        EXPECT_EQ(stream.OpenStream(), CAviVideoStream::kPictureTooLarge) << int(claim);
        EXPECT_FALSE(stream.HasStream());
    }
    CAviVideoStream plain(MakeMjpegAvi(dir, "plain.avi", "64x48"));
    EXPECT_EQ(plain.OpenStream(), CAviVideoStream::kOpened);

    // Every 8K format, either way up, is taken; one pixel more on a side or in area is not.
    EXPECT_TRUE(kivra::PictureSizeAllowed(8192, 4352));
    EXPECT_TRUE(kivra::PictureSizeAllowed(4320, 7680));
    EXPECT_FALSE(kivra::PictureSizeAllowed(8193, 16));
    EXPECT_FALSE(kivra::PictureSizeAllowed(16, 8193));
    EXPECT_FALSE(kivra::PictureSizeAllowed(8192, 4353));
    ProbeResult anamorphic;
    anamorphic.storedWidth = 6000;
    anamorphic.storedHeight = 4000;
    anamorphic.resizeNeeded = true;
    anamorphic.displayWidth = 8996;  // squaring the pixels would go past the bound
    anamorphic.height = 4000;
    EXPECT_FALSE(kivra::ProbeSizeAllowed(anamorphic));
    anamorphic.resizeNeeded = false;
    EXPECT_TRUE(kivra::ProbeSizeAllowed(anamorphic));
}

TEST(ProbeHelper, StalledSilentOrBrokenHelpersGiveNoProbe) {
    const TempDir dir;
    const std::string source = MakeMjpegAvi(dir, "plain.avi", "64x48");

    // A helper that never answers is killed at the deadline and reaped.
    const std::string pidFile = dir.File("pid");
    const std::string stalled =
        MakeScript(dir, "stalled", "echo $$ > \"" + pidFile + "\"\nexec sleep 600\n");
    EXPECT_FALSE(kivra::ProbeSourceInChild(stalled, source, std::chrono::milliseconds(300)).opened);
    const int pid = std::atoi(ReadFile(pidFile).c_str());
    ASSERT_GT(pid, 0);
    EXPECT_EQ(::kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);

    const std::string answers[] = {
        "echo 'probe 1 1 852 480 90 720 480 4000'\nexit 3\n",  // good answer, failed helper
        "echo 'probe 1 1 852'\n",                              // cut short
        "echo 'probe 1 1 852 480 90 720 480 4000 7'\n",        // one too many
        "echo 'probe 2 1 852 480 90 720 480 4000'\n",
        "echo 'hello'\n",
        "kill -SEGV $$\n",
        "head -c 100000 /dev/zero\n",
    };
    int n = 0;
    for (const std::string& body : answers) {
        SCOPED_TRACE(body);
        const std::string helper = MakeScript(dir, "helper" + std::to_string(n++), body);
        const ProbeResult result =
            kivra::ProbeSourceInChild(helper, source, std::chrono::milliseconds(5000));
        EXPECT_FALSE(result.opened);
        EXPECT_EQ(kivra::ExtraOptions(result), "");
    }
    EXPECT_FALSE(
        kivra::ProbeSourceInChild(dir.File("missing"), source, std::chrono::seconds(5)).opened);

    // The answer line carries everything the document uses, the path reaches the helper as one
    // argument however it is spelt.
    const std::string echo = MakeScript(dir, "echo",
                                        "[ \"$#\" = 1 ] && [ -f \"$1\" ] && "
                                        "echo 'probe 1 1 852 480 90 720 480 4000'\n");
    const std::string odd = dir.File("-$(x); 'q\" 日本語.avi");
    ASSERT_TRUE(WriteFile(odd, ReadFile(source)));
    const ProbeResult result = kivra::ProbeSourceInChild(echo, odd, std::chrono::seconds(5));
    EXPECT_TRUE(result.opened);
    EXPECT_EQ(kivra::ExtraOptions(result),
              "-s 852x480 -aspect 1.7750 -vf transpose=1 -metadata:s:v:0 rotate=0");
    EXPECT_EQ(result.durationMs, 4000);
    EXPECT_EQ(kivra::ParseProbeAnswer(kivra::ProbeAnswerLine(result))->displayWidth, 852);
}

// Counts what a window would see of a job, and presses Cancel after `cancelAfter` pumps.
class WatchingSink final : public kivra::ProgressSink {
public:
    void Begin(int lower, int upper, const std::string& caption, kivra::PercentLabel) override {
        begun.push_back(std::to_string(lower) + ".." + std::to_string(upper) + " " + caption);
    }
    void SetCaption(const std::string&) override {}
    void SetPosition(int) override {}
    void Pump() override { ++pumps; }
    void End() override { ++ends; }
    void OfferCancel() override { offered = true; }
    bool CancelRequested() const override {
        return offered && cancelAfter > 0 && pumps >= cancelAfter;
    }

    std::vector<std::string> begun;
    int pumps = 0;
    int ends = 0;
    int cancelAfter = 0;
    bool offered = false;
};

// The window keeps painting while the probe waits, and Cancel ends the wait and the helper.
TEST_F(HostileSourceTest, SlowProbeKeepsTheWindowAliveAndCanBeCancelled) {
    const std::string avi = MakeStallingAvi(media);
    WatchingSink watching;
    watching.cancelAfter = 10;
    const auto started = std::chrono::steady_clock::now();
    const kivra::ProbeOutcome outcome =
        kivra::ProbeSourceInChild(kivra::ProbeHelperPath(), avi, std::chrono::seconds(20), watching,
                                  std::chrono::milliseconds(100));
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_FALSE(outcome.result.opened);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    ASSERT_EQ(watching.begun.size(), 1u);
    EXPECT_EQ(watching.begun[0], "0..0 動画の情報を調べています");  // a busy bar
    EXPECT_EQ(watching.pumps, 10);
    EXPECT_EQ(watching.ends, 1);
    int status = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1) << "the helper was left unreaped";

    // A quick probe shows nothing at all.
    WatchingSink quiet;
    const std::string plain = MakeMjpegAvi(media, "plain.avi", "64x48");
    const kivra::ProbeOutcome quick = kivra::ProbeSourceInChild(
        kivra::ProbeHelperPath(), plain, std::chrono::seconds(20), quiet, std::chrono::seconds(10));
    EXPECT_TRUE(quick.result.opened);
    EXPECT_EQ(quick.result.durationMs, 400);
    EXPECT_TRUE(quiet.begun.empty());

    // Cancelled while opening: the open video stays, nothing is said.
    ASSERT_TRUE(doc.OnOpenDocument(plain));
    WatchingSink cancelling;
    cancelling.cancelAfter = 2;
    host.sink = &cancelling;
    EXPECT_FALSE(doc.OnOpenDocument(avi));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(doc.PathName(), plain);
    EXPECT_EQ(doc.Stream()->FileName(), plain);
}

// An encoder that neither writes nor reports is ended and the open fails as any failed
// conversion does, leaving nothing beside the clip.
TEST_F(HostileSourceTest, StuckEncoderFailsTheOpenCleanly) {
    const std::string clip = media.File("phone.mp4");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25", "-frames:v", "5",
                           "-c:v", "mpeg4", clip}));
    settings.Program().openDirect = false;  // an MP4 would be read without the encoder
    const TempDir tools;
    doc.Encoder().SetEncoderPath(MakeScript(tools, "ffmpeg", "exec sleep 600\n"));
    doc.Encoder().SetStallTimeout(std::chrono::milliseconds(500));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(doc.OnOpenDocument(clip));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    ASSERT_EQ(host.messages.size(), 1u);
    std::string expected = kivra::LoadString(2012);
    expected.replace(expected.find("%1"), 2, clip);
    EXPECT_EQ(host.messages[0], expected);
    EXPECT_EQ(media.Names(), std::vector<std::string>{"phone.mp4"});
    int status = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
}

// The direct reader runs the library in this process: a RIFF header and gigabytes of zeros (a
// hole) named like a phone clip once kept it reading for hours. Its headers get a deadline,
// and the encoder, ended when it makes no progress, fails the open.
TEST_F(HostileSourceTest, ZerosNamedLikeAClipFailTheOpenInBoundedTime) {
    const std::string mkv = media.File("zeros.mkv");
    ASSERT_TRUE(WriteFile(mkv, std::string("RIFF\0\0\0\0AVI ", 12)));
    std::filesystem::resize_file(mkv, 8ull << 30);
    ASSERT_TRUE(settings.Program().openDirect);
    const TempDir tools;
    doc.Encoder().SetEncoderPath(MakeScript(tools, "ffmpeg", "exec sleep 600\n"));
    doc.Encoder().SetStallTimeout(std::chrono::milliseconds(500));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(doc.OnOpenDocument(mkv));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(40));
    EXPECT_EQ(media.Names(), std::vector<std::string>{"zeros.mkv"});
}

// Works in another folder for as long as it lives.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::string& path) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(path);
    }
    ~CurrentFolder() { std::filesystem::current_path(previous_); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    std::filesystem::path previous_;
};

// A downloaded folder with a "misc/libmediainfo.so.0" of its own: neither the helper nor this
// process loads it, and the probe still answers through the system's library.
TEST(MediaInfoLibraryLookup, LibraryPlantedInTheCurrentFolderNeverRuns) {
    const TempDir work("kivra work 作業");
    ASSERT_TRUE(std::filesystem::create_directory(work.File("misc")));
    ASSERT_TRUE(
        std::filesystem::copy_file(KIVRA_PLANTED_LIBRARY, work.File("misc/libmediainfo.so.0")));
    const std::string source = MakeMjpegAvi(work, "clip.avi", "64x48");
    const std::string mark = work.File("planted-library-loaded");

    ProbeResult probed;
    {
        const CurrentFolder inWork(work.path());
        probed = kivra::ProbeSource(source);
        EXPECT_FALSE(std::filesystem::exists(mark)) << "loaded by the helper";
        EXPECT_TRUE(kivra::MediaInfoLibrary::Shared().IsLoaded());
    }
    EXPECT_TRUE(probed.opened);
    EXPECT_FALSE(std::filesystem::exists(mark)) << "loaded in this process";
    EXPECT_EQ(kivra::MediaInfoLibrary::Shared().LoadedFrom(), "libmediainfo.so.0");
}

}  // namespace
