#include "support/ffmpeg_tool.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

extern char** environ;

namespace kivra::test {

namespace {

// The argument vector posix_spawn takes: the strings' own buffers, then a null.
std::vector<char*> ArgPointers(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    return args;
}

// Waits for the child; true when it exited with status 0.
bool ExitedWithZero(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

bool RunProgram(const std::vector<std::string>& argv) {
    if (argv.empty()) {
        return false;
    }
    std::vector<char*> args = ArgPointers(argv);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        return false;
    }
    const std::unique_ptr<posix_spawn_file_actions_t, int (*)(posix_spawn_file_actions_t*)>
        actionsGuard(&actions, posix_spawn_file_actions_destroy);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);

    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) {
        return false;
    }
    return ExitedWithZero(pid);
}

bool RunProgramOutput(const std::vector<std::string>& argv, std::string& output) {
    output.clear();
    if (argv.empty()) {
        return false;
    }
    std::vector<char*> args = ArgPointers(argv);
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (rc == 0) {
        char buffer[4096];
        ssize_t n = 0;
        while ((n = read(pipeFds[0], buffer, sizeof buffer)) != 0) {
            if (n > 0) {
                output.append(buffer, static_cast<size_t>(n));
            } else if (errno != EINTR) {
                break;
            }
        }
    }
    close(pipeFds[0]);
    if (rc != 0) {
        return false;
    }
    return ExitedWithZero(pid);
}

bool RunFfmpeg(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"ffmpeg",    "-nostdin", "-hide_banner",
                                     "-loglevel", "error",    "-y"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv);
}

TempDir::TempDir(const std::string& prefix) {
    std::string pattern = "/tmp/" + prefix + "-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) {
        path_ = pattern;
    }
}

TempDir::~TempDir() {
    if (!path_.empty()) {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
}

std::string TempDir::File(const std::string& name) const {
    return path_ + "/" + name;
}

std::vector<std::string> TempDir::Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::vector<std::vector<std::string>> CsvFields(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::vector<std::string> fields;
        std::istringstream cells(line + ",");
        std::string cell;
        while (std::getline(cells, cell, ',')) {
            fields.push_back(cell);
        }
        rows.push_back(fields);
    }
    return rows;
}

int RunCliCommand(const TempDir& dir, const std::string& command, std::vector<std::string> args,
                  const std::vector<std::string>& locale) {
    const std::string status = dir.File("status.txt");
    std::vector<std::string> argv;
    if (!locale.empty()) {
        argv = {"env", "-u", "LANGUAGE", "-u", "LC_ALL", "-u", "LC_MESSAGES", "-u", "LANG"};
        argv.insert(argv.end(), locale.begin(), locale.end());
    }
    argv.insert(argv.end(), {"sh", "-c", "\"$0\" \"$@\" 2> \"$ERR\"; echo $? > \"$STATUS\"",
                             std::string(KIVRA_BINARY_DIR) + "/kivra-cli", command});
    argv.insert(argv.end(), args.begin(), args.end());
    setenv("ERR", dir.File("err.txt").c_str(), 1);
    setenv("STATUS", status.c_str(), 1);
    if (!RunProgram(argv)) {
        return -1;
    }
    const std::string text = ReadFile(status);
    std::filesystem::remove(status);
    return text.empty() ? -1 : std::atoi(text.c_str());
}

bool WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

}  // namespace kivra::test

extern "C" {
#include <libavutil/log.h>
}

namespace {
// Tests feed damaged files on purpose; the decoders' complaints would only bury the results.
const bool kQuietDecoders = (av_log_set_level(AV_LOG_FATAL), true);
}  // namespace
