#include "platform/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>

extern char** environ;

namespace kivra {

namespace {

// The file actions and attributes of one start, released on every way out.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    bool actionsOk = posix_spawn_file_actions_init(&actions) == 0;
    bool attrOk = posix_spawnattr_init(&attr) == 0;
    ~SpawnSetup() {
        if (actionsOk) {
            posix_spawn_file_actions_destroy(&actions);
        }
        if (attrOk) {
            posix_spawnattr_destroy(&attr);
        }
    }
};

bool RouteOutput(posix_spawn_file_actions_t& actions, int fd, int target) {
    if (fd == kChildInherit) {
        return true;
    }
    if (fd == kChildNull) {
        return posix_spawn_file_actions_addopen(&actions, target, "/dev/null", O_WRONLY, 0) == 0;
    }
    return posix_spawn_file_actions_adddup2(&actions, fd, target) == 0;
}

}  // namespace

pid_t SpawnChild(const std::vector<std::string>& argv, int stdoutFd, int stderrFd,
                 bool searchPath) {
    if (argv.empty()) {
        return -1;
    }
    SpawnSetup setup;
    if (!setup.actionsOk || !setup.attrOk) {
        return -1;
    }
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    if (posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0) != 0 ||
        !RouteOutput(setup.actions, stdoutFd, 1) || !RouteOutput(setup.actions, stderrFd, 2) ||
        posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3) != 0 ||
        posix_spawnattr_setsigmask(&setup.attr, &none) != 0 ||
        posix_spawnattr_setsigdefault(&setup.attr, &all) != 0 ||
        posix_spawnattr_setflags(&setup.attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) !=
            0) {
        return -1;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = -1;
    const int rc =
        searchPath ? posix_spawnp(&pid, args[0], &setup.actions, &setup.attr, args.data(), environ)
                   : posix_spawn(&pid, args[0], &setup.actions, &setup.attr, args.data(), environ);
    return rc == 0 ? pid : -1;
}

}  // namespace kivra
