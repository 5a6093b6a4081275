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

#include "media/vfw_doc.h"
#include "platform/string_table.h"
#include "support/ffmpeg_tool.h"
#include "support/recording_host.h"

namespace {

using kivra::test::ReadFile;
using kivra::test::RecordingHost;
using kivra::test::TempDir;

struct Fixture {
    TempDir settings;
    RecordingHost host;
    CVfwDoc doc{host, kivra::DefaultSettings(), settings.path()};
    Fixture() { host.doc = &doc; }
};

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
        const std::string cli = std::string(KIVRA_BINARY_DIR) + "/kivra-cli";
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
