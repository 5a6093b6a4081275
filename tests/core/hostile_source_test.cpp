// Sources made to hurt: files on which the media-information library stalls, and helpers that
// hang or talk nonsense. Opening must finish, and such a probe counts as none.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/inifile_manager.h"
#include "convert/probe_options.h"
#include "convert/video_info.h"
#include "media/vfw_doc.h"
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
    CVfwDoc doc{host, &settings, settingsDir.path() + "/"};
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
        "echo 'probe 1 1 852 480 90'\nexit 3\n",  // a good answer, but the helper failed
        "echo 'probe 1 1 852'\n",                 // cut short
        "echo 'probe 1 1 852 480 90 7'\n",        // one too many
        "echo 'probe 2 1 852 480 90'\n",
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
                                        "echo 'probe 1 1 852 480 90'\n");
    const std::string odd = dir.File("-$(x); 'q\" 日本語.avi");
    ASSERT_TRUE(WriteFile(odd, ReadFile(source)));
    const ProbeResult result = kivra::ProbeSourceInChild(echo, odd, std::chrono::seconds(5));
    EXPECT_TRUE(result.opened);
    EXPECT_EQ(kivra::ExtraOptions(result),
              "-s 852x480 -aspect 1.7750 -vf transpose=1 -metadata:s:v:0 rotate=0");
    EXPECT_EQ(kivra::ParseProbeAnswer(kivra::ProbeAnswerLine(result))->displayWidth, 852);
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
