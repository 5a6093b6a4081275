#pragma once
// Runs a program for the benchmarks, without a shell, and reports its wall time and peak memory.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/unique_fd.h"

extern char** environ;

namespace kivra::bench {

// What a finished child process did.
struct ChildResult {
    bool ran = false;  // started and exited normally with status 0
    double wallMs = 0;
    double maxRssMb = 0;
    double cpuMs = 0;  // user and system time, of the processes it waited for too
    std::string out;   // its stdout when captured
};

enum class Output { Discard, Capture, Inherit };

// Runs argv without a shell (argv[0] looked up in PATH unless it has a '/'), stdin from
// /dev/null; stderr goes where stdout goes, except that captured stdout leaves stderr visible.
inline ChildResult RunChild(const std::vector<std::string>& argv, Output output) {
    ChildResult result;
    if (argv.empty()) {
        return result;
    }
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);

    int pipeFds[2] = {-1, -1};
    if (output == Output::Capture && ::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return result;
    }
    const UniqueFd readEnd(pipeFds[0]);
    UniqueFd writeEnd(pipeFds[1]);
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        return result;
    }
    const std::unique_ptr<posix_spawn_file_actions_t, int (*)(posix_spawn_file_actions_t*)>
        actionsGuard(&actions, posix_spawn_file_actions_destroy);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (output == Output::Discard) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    } else if (output == Output::Capture) {
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    }

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    writeEnd.Close();  // the child's copy is the only one left, so its exit ends the reading
    if (spawned != 0) {
        return result;
    }
    if (output == Output::Capture) {
        char buffer[4096];
        for (;;) {
            const ssize_t got = ::read(readEnd.get(), buffer, sizeof buffer);
            if (got > 0) {
                // The decode command prints one line; anything larger is not worth keeping.
                if (result.out.size() < 65536) {
                    result.out.append(buffer, size_t(got));
                }
            } else if (got == 0 || errno != EINTR) {
                break;
            }
        }
    }
    int status = 0;
    struct rusage usage {};
    while (::wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            return result;
        }
    }
    result.wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    result.maxRssMb = double(usage.ru_maxrss) / 1024.0;  // Linux reports kilobytes
    result.cpuMs = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                   double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    result.ran = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

}  // namespace kivra::bench
