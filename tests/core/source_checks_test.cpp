// What opening tells the user about the source itself: a copy cut short opens with the frames
// it holds and says how many those are, and a name that is no regular file (a FIFO, a folder)
// is refused at once instead of blocking the open.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "document/vfw_doc.h"
#include "platform/string_table.h"
#include "reading/riff_avi.h"
#include "settings/inifile_manager.h"
#include "support/ffmpeg_tool.h"
#include "support/recording_host.h"

namespace {

using kivra::test::ReadFile;
using kivra::test::RecordingHost;
using kivra::test::RunFfmpeg;
using kivra::test::TempDir;
using kivra::test::WriteFile;

using Fixture = kivra::test::RecordedDocument;

std::string FramesRead(int readable, int stated) {
    std::string text = kivra::LoadString(3019);
    text.replace(text.find("%1"), 2, std::to_string(readable));
    return text.replace(text.find("%2"), 2, std::to_string(stated));
}

std::vector<kivra::AviSample> Chunks(const std::string& avi) {
    const auto parsed = kivra::ParseAviFile(avi);
    return parsed ? parsed->streams[size_t(kivra::FirstVideoStream(*parsed))].samples
                  : std::vector<kivra::AviSample>{};
}

// Runs work in a child process and gives its exit status, or -1 when it was still running at
// the deadline (it is then killed): an open that blocks fails the test instead of hanging it.
int ExitWithin(const std::function<int()>& work, std::chrono::seconds deadline) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(work());
    }
    if (child < 0) {
        return -2;
    }
    const auto until = std::chrono::steady_clock::now() + deadline;
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= until) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -3;
}

// A copy cut inside its frames (as `head -c` leaves it: no index, headers still claiming every
// frame) opens with the whole frames it holds, says so, and shows each of them; a cut that
// takes only the last frames or a whole file says nothing.
TEST(TruncatedSourceTest, AviCutShortTellsHowManyFramesCouldBeRead) {
    TempDir dir("kivra cut 切れた");
    const std::string whole = dir.File("walk.avi");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=30", "-frames:v", "60",
                           "-c:v", "mpeg4", "-g", "12", whole}));
    const std::string bytes = ReadFile(whole);
    const auto chunks = Chunks(whole);
    ASSERT_EQ(chunks.size(), 60u);

    std::vector<std::vector<uint8_t>> pictures;
    {
        Fixture f;
        ASSERT_TRUE(f.doc.OnOpenDocument(whole));
        EXPECT_TRUE(f.host.messages.empty());
        for (int n = 0; n < 30; ++n) {
            f.doc.Stream()->LoadFrame(n);
            pictures.push_back(f.doc.Stream()->DisplayBitmap().bits);
        }
    }

    // Cut in the middle of frame 30: frames 0 to 29 are whole, the half frame is none.
    const std::string cut = dir.File("cut copy.avi");
    ASSERT_TRUE(WriteFile(cut, bytes.substr(0, chunks[30].offset + chunks[30].size / 2)));
    {
        Fixture f;
        ASSERT_TRUE(f.Open(cut));
        EXPECT_EQ(f.host.messages, std::vector<std::string>{FramesRead(30, 60)});
        CAviVideoStream& stream = *f.doc.Stream();
        EXPECT_EQ(stream.GetFrameCount(), 30);
        EXPECT_EQ(stream.GetEnd(), 29);
        EXPECT_EQ(stream.StatedFrameCount(), 60);
        const std::vector<std::string> resets = {"stop", "video 30"};
        EXPECT_EQ(f.host.calls, resets);
        for (int n = 29; n >= 0; n -= 4) {
            stream.LoadFrame(n);
            EXPECT_EQ(stream.DisplayBitmap().bits, pictures[size_t(n)]) << n;
        }
    }

    // A cut right after a frame's header: the frame is not offered either.
    ASSERT_TRUE(WriteFile(cut, bytes.substr(0, chunks[40].offset)));
    {
        Fixture f;
        ASSERT_TRUE(f.doc.OnOpenDocument(cut));
        EXPECT_EQ(f.host.messages, std::vector<std::string>{FramesRead(40, 60)});
    }

    // Only the last frames lost, within what lengths and rates round away: no message, and
    // still only the frames the file holds.
    ASSERT_TRUE(WriteFile(cut, bytes.substr(0, chunks[57].offset + 10)));
    {
        Fixture f;
        ASSERT_TRUE(f.doc.OnOpenDocument(cut));
        EXPECT_TRUE(f.host.messages.empty());
        EXPECT_EQ(f.doc.Stream()->GetFrameCount(), 57);
    }
}

// A converted source whose probe reports a longer length than the conversion could read (an MP4
// cut short with its index at the front) opens with the same message; whole sources, converted
// or not, never get it.
TEST(TruncatedSourceTest, ConvertedSourceCutShortTellsHowManyFramesCouldBeRead) {
    TempDir dir;
    const std::string mp4 = dir.File("phone.mp4");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=30", "-frames:v", "90",
                           "-c:v", "libx264", "-g", "15", "-movflags", "+faststart", mp4}));
    {
        CInifileManager settings{std::string()};
        settings.LoadSettings();
        TempDir settingsDir;
        RecordingHost host;
        CVfwDoc doc{host, kivra::test::DocumentGroups(settings), settingsDir.path() + "/"};
        ASSERT_TRUE(doc.OnOpenDocument(mp4));
        EXPECT_TRUE(host.messages.empty());
        EXPECT_EQ(doc.Stream()->GetFrameCount(), 90);
    }
    const std::string bytes = ReadFile(mp4);
    const std::string cut = dir.File("cut phone.mp4");
    ASSERT_TRUE(WriteFile(cut, bytes.substr(0, bytes.size() / 2)));
    CInifileManager settings{std::string()};
    settings.LoadSettings();
    TempDir settingsDir;
    RecordingHost host;
    CVfwDoc doc{host, kivra::test::DocumentGroups(settings), settingsDir.path() + "/"};
    ASSERT_TRUE(doc.OnOpenDocument(cut));
    const int readable = doc.Stream()->GetFrameCount();
    EXPECT_GT(readable, 10);
    EXPECT_LT(readable, 80);
    EXPECT_EQ(host.messages, std::vector<std::string>{FramesRead(readable, 90)});
}

// A FIFO or a folder under a video's name is refused at once, through the document and through
// kivra-cli, with the open-failed message and its path; nothing waits for a writer.
TEST(NotARegularFileTest, FifoAndFolderAreRefusedWithoutBlocking) {
    TempDir dir;
    const std::string fifo = dir.File("pipe 歩行.avi");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = dir.File("folder.avi");
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    for (const std::string& path : {fifo, folder}) {
        const int status = ExitWithin(
            [&] {
                Fixture f;
                const bool refused = !f.doc.OnOpenDocument(path) && f.doc.Stream() == nullptr;
                const std::vector<std::string> told = {path + "\n\n" + kivra::LoadString(3013)};
                return refused && f.host.messages == told ? 0 : 1;
            },
            std::chrono::seconds(10));
        EXPECT_EQ(status, 0) << path << (status == -1 ? ": the open blocked" : "");

        const std::string err = dir.File("err.txt");
        const std::string cli = KIVRA_BINARY_DIR "/kivra-cli";
        const int cliStatus = ExitWithin(
            [&] {
                const int out = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                ::dup2(out, 2);
                for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) {
                    ::unsetenv(name);
                }
                ::setenv("LANG", "ja_JP.UTF-8", 1);  // the message as the test reads it
                ::execl(cli.c_str(), cli.c_str(), "info", path.c_str(), nullptr);
                return 127;
            },
            std::chrono::seconds(10));
        EXPECT_EQ(cliStatus, 1) << path << (cliStatus == -1 ? ": kivra-cli blocked" : "");
        EXPECT_NE(ReadFile(err).find(kivra::LoadString(3013)), std::string::npos) << path;
    }
}

}  // namespace
