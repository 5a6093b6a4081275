#include "platform/installer_launch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/child_process.h"
#include "platform/settings_folder.h"
#include "platform/unique_fd.h"

namespace kivra {

namespace {

constexpr char kInstallerName[] = "pellam";
constexpr char kProgramName[] = "kivra";
constexpr char kElevator[] = "pkexec";

std::vector<char*> ArgumentPointers(const std::vector<std::string>& argv) {
    std::vector<char*> pointers;
    pointers.reserve(argv.size() + 1);
    for (const std::string& a : argv) {
        pointers.push_back(const_cast<char*>(a.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

// The child's status once it has ended, -1 for an error of our own.
int WaitForChild(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return status;
}

}  // namespace

InstallerLaunch DefaultInstallerLaunch() {
    InstallerLaunch launch;
    launch.programFolder = GetProgramFolder();
    if (::geteuid() != 0) {
        launch.elevator = kElevator;
    }
    return launch;
}

std::string InstallerPath(const InstallerLaunch& launch) {
    return launch.programFolder + "/" + kInstallerName;
}

std::string RestartPath(const InstallerLaunch& launch) {
    return launch.programFolder + "/" + kProgramName;
}

std::vector<std::string> InstallerCommand(const InstallerLaunch& launch) {
    std::vector<std::string> argv;
    if (!launch.elevator.empty()) {
        argv.push_back(launch.elevator);
    }
    argv.push_back(InstallerPath(launch));
    return argv;
}

bool InstallerExists(const InstallerLaunch& launch) {
    struct stat st {};
    return ::stat(InstallerPath(launch).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

InstallerResult RunInstaller(const InstallerLaunch& launch) {
    // The elevator comes from PATH like any desktop tool; the installer only from our folder.
    const pid_t pid = SpawnChild(InstallerCommand(launch), kChildInherit, kChildInherit,
                                 !launch.elevator.empty());
    if (pid < 0) {
        return InstallerResult::Refused;
    }
    const int status = WaitForChild(pid);
    if (!launch.elevator.empty() && WIFEXITED(status) &&
        (WEXITSTATUS(status) == 126 || WEXITSTATUS(status) == 127)) {
        return InstallerResult::Refused;
    }
    return InstallerResult::Ran;
}

bool StartDetached(const std::string& program) {
    // Everything the children need is made before fork: after it only async-signal-safe calls.
    const std::vector<std::string> argv = {program};
    std::vector<char*> args = ArgumentPointers(argv);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return false;
    }
    UniqueFd readEnd(pipeFds[0]);
    UniqueFd writeEnd(pipeFds[1]);

    const pid_t middle = ::fork();
    if (middle < 0) {
        return false;
    }
    if (middle == 0) {
        // The middle process leaves at once, so the program is adopted by init, not by us.
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            ::execv(args[0], args.data());
            const int error = errno;
            [[maybe_unused]] const ssize_t n = ::write(writeEnd.get(), &error, sizeof error);
            ::_exit(127);
        }
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    writeEnd.Close();
    const int status = WaitForChild(middle);  // -1 fails the test below too
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return false;
    }
    // The pipe closes on a successful exec; an error number arrives when it failed.
    int error = 0;
    ssize_t n = 0;
    do {
        n = ::read(readEnd.get(), &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    return n == 0;
}

}  // namespace kivra
