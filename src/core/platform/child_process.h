#pragma once
// Starts a child program from an argument vector, never through a shell, with a clean start:
// stdin from /dev/null, no descriptor of ours beyond the three standard ones and those handed
// over on purpose, every signal at its default. Shared by the encoder runner, the media probe
// and the codec installer launch.
#include <sys/types.h>

#include <string>
#include <vector>

namespace kivra {

// What a child's stdout or stderr is: /dev/null, the same as ours, or a descriptor of ours.
inline constexpr int kChildNull = -1;
inline constexpr int kChildInherit = -2;

// How one child starts.
struct ChildSetup {
    int stdoutFd = kChildNull;
    int stderrFd = kChildNull;
    bool searchPath = false;  // argv[0] is a name looked up in PATH
    // Descriptors of ours that the child gets as its 3, 4, ... in this order.
    std::vector<int> passedFds;
    // The child is killed when the thread that started it ends (the program included, however
    // it ends), so that no encoder goes on writing for a program that is gone.
    bool endsWithParent = false;
};

// argv[0] is the program: a path, or with searchPath a name looked up in PATH. The child's id,
// or -1 when it could not be started (the program missing or not executable included).
pid_t SpawnChild(const std::vector<std::string>& argv, const ChildSetup& setup);
pid_t SpawnChild(const std::vector<std::string>& argv, int stdoutFd, int stderrFd,
                 bool searchPath = false);

}  // namespace kivra
