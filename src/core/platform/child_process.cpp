#include "platform/child_process.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "platform/unique_fd.h"

extern char** environ;

namespace kivra {

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// The program a name stands for, from the absolute folders of PATH only: the current folder
// never supplies a program. Empty when there is none.
std::string FindInPath(const std::string& name) {
    if (name.find('/') != std::string::npos) {
        return name;
    }
    const char* env = std::getenv("PATH");
    std::string_view folders = env != nullptr ? env : "/usr/local/bin:/usr/bin:/bin";
    while (!folders.empty()) {
        const size_t colon = folders.find(':');
        const std::string_view folder = folders.substr(0, colon);
        folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
        if (!folder.starts_with('/')) {
            continue;
        }
        std::string candidate(folder);
        candidate += '/';
        candidate += name;
        if (IsExecutableFile(candidate)) {
            return candidate;
        }
    }
    return std::string();
}

// Blocks every signal of the calling thread while it lives, so that no handler of ours runs in
// a child before the child has put the signals back to their defaults.
class BlockedSignals {
public:
    BlockedSignals() {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &previous_);
    }
    ~BlockedSignals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    BlockedSignals(const BlockedSignals&) = delete;
    BlockedSignals& operator=(const BlockedSignals&) = delete;

private:
    sigset_t previous_{};
};

// Everything the child does between fork and exec: only async-signal-safe calls, no memory
// handed out. `sources` are the descriptors for the child's 1, 2, 3, ... (-1: leave as it is);
// the last one is the pipe that reports a failed exec, and stays close-on-exec.
[[noreturn]] void StartInChild(const char* program, char* const* args, int nullFd,
                               const int* sources, int count, bool endsWithParent, pid_t parent) {
    for (int sig = 1; sig < NSIG; ++sig) {
        if (sig != SIGKILL && sig != SIGSTOP) {
            ::signal(sig, SIG_DFL);
        }
    }
    if (endsWithParent) {
        // The parent may have ended before the request took hold; then no signal ever comes.
        if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent) {
            ::_exit(127);
        }
    }
    // First out of the way of every target number, then onto the targets.
    int moved[64];
    int error = 0;
    for (int i = 0; i < count; ++i) {
        moved[i] = sources[i] < 0 ? -1 : ::fcntl(sources[i], F_DUPFD_CLOEXEC, count + 1);
        if (sources[i] >= 0 && moved[i] < 0) {
            ::_exit(127);
        }
    }
    const int errorFd = count;
    const int nullMoved = ::fcntl(nullFd, F_DUPFD_CLOEXEC, count + 1);
    if (nullMoved < 0 || ::dup2(nullMoved, 0) < 0) {
        error = errno;
    }
    for (int i = 0; i < count && error == 0; ++i) {
        if (moved[i] >= 0 && ::dup2(moved[i], 1 + i) < 0) {
            error = errno;
        }
    }
    if (error != 0) {
        [[maybe_unused]] const ssize_t n = ::write(moved[count - 1], &error, sizeof error);
        ::_exit(127);
    }
    ::fcntl(errorFd, F_SETFD, FD_CLOEXEC);
    ::closefrom(count + 1);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(program, args, environ);
    error = errno;
    [[maybe_unused]] const ssize_t n = ::write(errorFd, &error, sizeof error);
    ::_exit(127);
}

}  // namespace

pid_t SpawnChild(const std::vector<std::string>& argv, const ChildSetup& setup) {
    constexpr size_t kMaxPassed = 32;
    if (argv.empty() || setup.passedFds.size() > kMaxPassed) {
        return -1;
    }
    const std::string program = setup.searchPath ? FindInPath(argv[0]) : argv[0];
    if (program.empty()) {
        return -1;
    }
    // Made before fork: the child may not allocate.
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);

    UniqueFd devNull(::open("/dev/null", O_RDWR | O_CLOEXEC));
    if (devNull.get() < 0) {
        return -1;
    }
    const auto source = [&devNull](int fd) {
        return fd == kChildNull ? devNull.get() : fd == kChildInherit ? -1 : fd;
    };
    std::vector<int> sources = {source(setup.stdoutFd), source(setup.stderrFd)};
    for (const int fd : setup.passedFds) {
        if (fd < 0) {
            return -1;
        }
        sources.push_back(fd);
    }

    int errorPipe[2];
    if (::pipe2(errorPipe, O_CLOEXEC) != 0) {
        return -1;
    }
    UniqueFd errorRead(errorPipe[0]);
    UniqueFd errorWrite(errorPipe[1]);
    sources.push_back(errorWrite.get());
    const pid_t parent = ::getpid();
    pid_t pid = -1;
    {
        const BlockedSignals blocked;
        pid = ::fork();
        if (pid == 0) {
            StartInChild(program.c_str(), args.data(), devNull.get(), sources.data(),
                         static_cast<int>(sources.size()), setup.endsWithParent, parent);
        }
    }
    if (pid < 0) {
        return -1;
    }
    errorWrite.Close();
    int childError = 0;
    ssize_t n = 0;
    do {
        n = ::read(errorRead.get(), &childError, sizeof childError);
    } while (n < 0 && errno == EINTR);
    if (n == 0) {
        return pid;  // the pipe closed on exec: the program runs
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return -1;
}

pid_t SpawnChild(const std::vector<std::string>& argv, int stdoutFd, int stderrFd,
                 bool searchPath) {
    ChildSetup setup;
    setup.stdoutFd = stdoutFd;
    setup.stderrFd = stderrFd;
    setup.searchPath = searchPath;
    return SpawnChild(argv, setup);
}

}  // namespace kivra
