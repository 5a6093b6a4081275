// The codec installer as a real process: a copy of the built program in a scratch program
// folder whose prepare/ holds stand-in installers that note their order and arguments, with a
// stand-in apt-get first on PATH. Root's lock goes to a scratch folder only root can write.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/ffmpeg_tool.h"

namespace {

using kivra::test::ReadFile;
using kivra::test::TempDir;
using kivra::test::WriteFile;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr char kMessage102Ja[] = "管理者権限がないため、コーデックはインストールできません。";
constexpr char kMessage102En[] =
    "Because you do not have administrator privileges, you can not install the codec.";
// The lock's name: our prefix and the program's base name.
constexpr char kLockName[] = "jp.brindle.gait.pellam";

// A stand-in installer: notes its start, takes a moment, talks on stdout, notes its end.
std::string StandIn(const std::string& name, int exitCode = 0) {
    return "#!/bin/sh\n"
           "echo \"" +
           name +
           " $* start\" >> \"$RECORD\"\n"
           "sleep 0.2\n"
           "if [ -t 0 ] || [ -t 1 ]; then echo \"" +
           name +
           " on a terminal\" >> \"$RECORD\"; fi\n"
           "echo \"" +
           name +
           " talks\"\n"
           "echo \"" +
           name +
           " end\" >> \"$RECORD\"\n"
           "exit " +
           std::to_string(exitCode) + "\n";
}

struct Outcome {
    int status = -1;
    std::string output;  // stdout and stderr
};

class Pellam : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.ok());
        for (const char* sub : {"program/prepare", "bin", "run", "tmp", "lock"}) {
            fs::create_directories(m_dir.File(sub));
        }
        ASSERT_EQ(::chmod(m_dir.File("lock").c_str(), 0755), 0);
        m_lockFolder = m_dir.File("lock");
        m_program = m_dir.File("program/pellam");
        // A copy: the program finds prepare/ beside its own file, links resolved.
        fs::copy_file(std::string(KIVRA_BINARY_DIR) + "/pellam", m_program);
        WriteScript("bin/apt-get",
                    "#!/bin/sh\necho \"apt-get $* [$DEBIAN_FRONTEND]\" >> \"$RECORD\"\n");
        ASSERT_TRUE(WriteFile(Record(), ""));
    }

    std::string Record() const { return m_dir.File("record"); }

    void WriteScript(const std::string& relative, const std::string& text) {
        const std::string path = m_dir.File(relative);
        ASSERT_TRUE(WriteFile(path, text));
        ASSERT_EQ(::chmod(path.c_str(), 0755), 0);
    }

    void WriteAllInstallers() {
        WriteScript("program/prepare/runtime-setup", StandIn("runtime-setup"));
        WriteScript("program/prepare/encoder-setup", StandIn("encoder-setup"));
        // Comments, blanks, and words that are no package names: never handed on.
        ASSERT_TRUE(WriteFile(m_dir.File("program/prepare/codecs.list"),
                              "# decoders\nlibavcodec59  libmediainfo0v5:amd64\n\n"
                              "-oAPT::Get::Trivial-Only=true $(touch /tmp/x) Bad_Name\n"
                              "fonts-noto-cjk # fonts\n"));
    }

    std::vector<std::string> Environment(const std::string& lang) const {
        return {"PATH=" + m_dir.File("bin") + ":/usr/bin:/bin",
                "RECORD=" + Record(),
                "XDG_RUNTIME_DIR=" + m_dir.File("run"),
                "TMPDIR=" + m_dir.File("tmp"),
                "PELLAM_LOCK_DIR=" + m_lockFolder,
                "LANG=" + lang};
    }

    // Starts the program with no display; `asUser` runs it under that account instead.
    pid_t Start(const std::string& lang = "C.UTF-8", uid_t asUser = 0, gid_t asGroup = 0) {
        const std::string outputPath = m_dir.File("output-" + std::to_string(m_runs++));
        m_outputPath = outputPath;
        const std::vector<std::string> env = Environment(lang);
        std::vector<char*> envp;
        for (const std::string& e : env) {
            envp.push_back(const_cast<char*>(e.c_str()));
        }
        envp.push_back(nullptr);
        char* argv[] = {const_cast<char*>(m_program.c_str()), nullptr};
        const int out = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (out < 0) {
            return -1;
        }
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
            if (asUser != 0 &&
                (::setgroups(0, nullptr) != 0 || ::setgid(asGroup) != 0 || ::setuid(asUser) != 0)) {
                ::_exit(120);
            }
            ::execve(argv[0], argv, envp.data());
            ::_exit(121);
        }
        ::close(out);
        return pid;
    }

    Outcome Wait(pid_t pid, Clock::time_point started) {
        Outcome run;
        const auto deadline = started + std::chrono::seconds(30);
        for (;;) {
            if (::waitpid(pid, &run.status, WNOHANG) == pid) {
                break;
            }
            if (Clock::now() > deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &run.status, 0);
                ADD_FAILURE() << "pellam did not end";
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        run.output = ReadFile(m_outputPath);
        return run;
    }

    Outcome RunToEnd(const std::string& lang = "C.UTF-8", uid_t asUser = 0, gid_t asGroup = 0) {
        const auto started = Clock::now();
        return Wait(Start(lang, asUser, asGroup), started);
    }

    // The output the installers left in their log in the temporary folder.
    std::string InstallLogs() const {
        std::string all;
        for (const auto& entry : fs::directory_iterator(m_dir.File("tmp"))) {
            all += ReadFile(entry.path());
        }
        return all;
    }

    static bool IsRoot() { return ::geteuid() == 0; }

    // Opens (creating) a file and holds an exclusive lock on it until the descriptor closes.
    static int HoldLock(const std::string& path, mode_t mode) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, mode);
        if (fd >= 0 && (::fchmod(fd, mode) != 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0)) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    TempDir m_dir{"kivra pellam"};
    std::string m_lockFolder;
    std::string m_program;
    std::string m_outputPath;
    int m_runs = 0;
};

#define REQUIRE_ROOT() \
    if (!IsRoot())     \
    GTEST_SKIP() << "pellam installs only for root, and these runs are not root"

TEST_F(Pellam, RunsTheThreeInstallersInOrderEachHiddenAndToItsEnd) {
    REQUIRE_ROOT();
    WriteAllInstallers();
    const Outcome run = RunToEnd();
    EXPECT_TRUE(WIFEXITED(run.status));
    EXPECT_EQ(ReadFile(Record()),
              "runtime-setup -q start\n"
              "runtime-setup end\n"
              "apt-get install -y -q libavcodec59 libmediainfo0v5:amd64 fonts-noto-cjk "
              "[noninteractive]\n"
              "encoder-setup -q start\n"
              "encoder-setup end\n");
    // Their output went to the log, none of it to the program's own streams.
    EXPECT_EQ(run.output, "");
    EXPECT_NE(InstallLogs().find("runtime-setup talks\nencoder-setup talks\n"), std::string::npos);
}

TEST_F(Pellam, MissingOrFailingInstallersAreSkipped) {
    REQUIRE_ROOT();
    // Only the third one there: the first two steps fail quietly.
    WriteScript("program/prepare/encoder-setup", StandIn("encoder-setup"));
    RunToEnd();
    EXPECT_EQ(ReadFile(Record()), "encoder-setup -q start\nencoder-setup end\n");

    // All there, the first two failing, the first one not even executable on a second run.
    ASSERT_TRUE(WriteFile(Record(), ""));
    WriteScript("program/prepare/runtime-setup", StandIn("runtime-setup", 3));
    ASSERT_TRUE(WriteFile(m_dir.File("program/prepare/codecs.list"), "libx264-164\n"));
    WriteScript("bin/apt-get", "#!/bin/sh\necho \"apt-get $*\" >> \"$RECORD\"\nexit 100\n");
    RunToEnd();
    EXPECT_EQ(ReadFile(Record()),
              "runtime-setup -q start\nruntime-setup end\n"
              "apt-get install -y -q libx264-164\n"
              "encoder-setup -q start\nencoder-setup end\n");

    ASSERT_TRUE(WriteFile(Record(), ""));
    ASSERT_EQ(::chmod(m_dir.File("program/prepare/runtime-setup").c_str(), 0644), 0);
    fs::remove(m_dir.File("bin/apt-get"));  // and no package tool on PATH
    const Outcome run = RunToEnd();
    EXPECT_TRUE(WIFEXITED(run.status));
    EXPECT_EQ(ReadFile(Record()), "encoder-setup -q start\nencoder-setup end\n");
}

TEST_F(Pellam, SecondCopyEndsAtOnceWhileTheFirstHoldsTheLock) {
    REQUIRE_ROOT();
    WriteAllInstallers();
    // The first copy's first installer waits until the test lets it go.
    WriteScript("program/prepare/runtime-setup",
                "#!/bin/sh\necho \"runtime-setup start\" >> \"$RECORD\"\n"
                "i=0; while [ ! -e \"$RECORD.go\" ] && [ $i -lt 200 ]; do sleep 0.05; "
                "i=$((i+1)); done\necho \"runtime-setup end\" >> \"$RECORD\"\n");
    const auto firstStarted = Clock::now();
    const pid_t first = Start();
    ASSERT_GT(first, 0);
    while (ReadFile(Record()).empty() && Clock::now() - firstStarted < std::chrono::seconds(10)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(ReadFile(Record()), "runtime-setup start\n");

    const Outcome second = RunToEnd();
    // Ended while the first still waits, so it never waited for the lock.
    EXPECT_EQ(::waitpid(first, nullptr, WNOHANG), 0) << "the second copy outlived the first";
    EXPECT_EQ(second.output, "");
    EXPECT_EQ(ReadFile(Record()), "runtime-setup start\n");  // the second ran nothing

    ASSERT_TRUE(WriteFile(Record() + ".go", ""));
    Wait(first, firstStarted);
    EXPECT_NE(ReadFile(Record()).find("encoder-setup end\n"), std::string::npos);

    // With the first gone the lock is free again; a link planted in its place is never
    // followed, and nothing is installed past it.
    EXPECT_TRUE(fs::is_empty(m_dir.File("run"))) << "no lock in the user's folder";
    std::vector<fs::path> locks;
    for (const auto& entry : fs::directory_iterator(m_lockFolder)) {
        locks.push_back(entry.path());
    }
    ASSERT_EQ(locks.size(), 1U);
    EXPECT_TRUE(locks[0].filename().string().ends_with(".pellam")) << locks[0];
    fs::remove(locks[0]);
    const std::string target = m_dir.File("planted-target");
    fs::create_symlink(target, locks[0]);
    ASSERT_TRUE(WriteFile(Record(), ""));
    RunToEnd();
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(ReadFile(Record()), "");
}

TEST_F(Pellam, ALockPlantedInASharedFolderNeverKeepsRootFromInstalling) {
    REQUIRE_ROOT();
    WriteAllInstallers();
    // Where the lock used to go, folders anyone can write: a lock held under the name there
    // by someone else, and a link planted in the other.
    for (const char* shared : {"run", "tmp"}) {
        ASSERT_EQ(::chmod(m_dir.File(shared).c_str(), 01777), 0);
    }
    const int held = HoldLock(m_dir.File("run/") + kLockName, 0666);
    ASSERT_GE(held, 0);
    const std::string target = m_dir.File("planted-target");
    fs::create_symlink(target, m_dir.File("tmp/") + kLockName);

    RunToEnd();
    EXPECT_NE(ReadFile(Record()).find("encoder-setup end\n"), std::string::npos)
        << ReadFile(Record());
    EXPECT_FALSE(fs::exists(target));
    EXPECT_TRUE(fs::exists(m_lockFolder + "/" + kLockName));

    // A lock folder that others can write, or that is reached through a link, is not taken:
    // nothing installs past it.
    const std::string link = m_dir.File("lock-link");
    fs::create_directory_symlink(m_lockFolder, link);
    for (const std::string& folder : {m_dir.File("run"), link}) {
        SCOPED_TRACE(folder);
        ASSERT_TRUE(WriteFile(Record(), ""));
        m_lockFolder = folder;
        const Outcome run = RunToEnd();
        EXPECT_TRUE(WIFEXITED(run.status));
        EXPECT_EQ(ReadFile(Record()), "");
    }
    ::close(held);
}

TEST_F(Pellam, WithoutAdministratorRightsShowsMessage102AndInstallsNothing) {
    WriteAllInstallers();
    uid_t uid = 0;
    gid_t gid = 0;
    if (IsRoot()) {
        // Root drops to an ordinary account in the child before the program starts.
        const passwd* nobody = ::getpwnam("nobody");
        if (nobody == nullptr) {
            GTEST_SKIP() << "no 'nobody' account to drop root rights to";
        }
        uid = nobody->pw_uid;
        gid = nobody->pw_gid;
        // That account must reach the program and the record.
        for (const char* folder : {"", "/program", "/program/prepare", "/bin"}) {
            ASSERT_EQ(::chmod((m_dir.path() + folder).c_str(), 0755), 0);
        }
        ASSERT_EQ(::chmod(m_dir.File("run").c_str(), 01777), 0);
        ASSERT_EQ(::chmod(Record().c_str(), 0666), 0);
    }
    // Whatever the lock says: free, held by another copy, or a file this user cannot open.
    const std::string userLock = m_dir.File("run/") + kLockName;
    const std::string rootLock = m_lockFolder + "/" + kLockName;
    const std::vector<std::pair<const char*, std::function<int()>>> locks = {
        {"free", [] { return -1; }},
        {"held", [&] { return HoldLock(userLock, 0666); }},
        {"held by root", [&] { return HoldLock(rootLock, 0600); }},
        {"not to be opened",
         [&] {
             fs::remove(userLock);
             fs::create_directory(userLock);
             return -1;
         }},
    };
    for (const auto& [state, makeLock] : locks) {
        const int held = makeLock();
        for (const auto& [lang, message] :
             {std::pair{"ja_JP.UTF-8", kMessage102Ja}, std::pair{"de_DE.UTF-8", kMessage102En}}) {
            SCOPED_TRACE(std::string(lang) + ", lock " + state);
            const Outcome run = RunToEnd(lang, uid, gid);
            ASSERT_TRUE(WIFEXITED(run.status));
            EXPECT_NE(WEXITSTATUS(run.status), 120) << "could not drop root rights";
            EXPECT_EQ(run.output, std::string(message) + "\n");
            EXPECT_EQ(ReadFile(Record()), "");
        }
        if (held >= 0) {
            ::close(held);
        }
    }
}

}  // namespace
