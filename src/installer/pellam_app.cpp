#include "pellam_app.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

extern char** environ;

namespace {

constexpr char kMessage102Ja[] = "管理者権限がないため、コーデックはインストールできません。";
constexpr char kMessage102En[] =
    "Because you do not have administrator privileges, you can not install the codec.";
constexpr char kPackageTool[] = "apt-get";
constexpr std::streamsize kMaxListBytes = 64 * 1024;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool HasDisplay() {
    return !Env("DISPLAY").empty() || !Env("WAYLAND_DISPLAY").empty();
}

// Debian's rule for package names, with an optional ":arch"; never starts with a dash.
bool IsPackageName(const std::string& name) {
    const std::string::size_type colon = name.find(':');
    const std::string base = name.substr(0, colon);
    if (base.size() < 2 || !std::isalnum(static_cast<unsigned char>(base[0]))) {
        return false;
    }
    for (const char c : base) {
        const bool ok =
            (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!ok) {
            return false;
        }
    }
    if (colon == std::string::npos) {
        return true;
    }
    const std::string arch = name.substr(colon + 1);
    if (arch.empty()) {
        return false;
    }
    for (const char c : arch) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')) {
            return false;
        }
    }
    return true;
}

std::string TemporaryFolder() {
    const std::string tmp = Env("TMPDIR");
    return tmp.empty() || tmp[0] != '/' ? "/tmp" : tmp;
}

// A fresh log of our own for the installers' output: made exclusively, so no link or file
// another user placed in the temporary folder is ever written through.
int OpenInstallLog() {
    std::string pattern = TemporaryFolder() + "/pellam-XXXXXX.log";
    const int fd = ::mkostemps(pattern.data(), 4, O_CLOEXEC);
    return fd >= 0 ? fd : ::open("/dev/null", O_WRONLY | O_CLOEXEC);
}

// Runs one installer hidden (no terminal, output into the log) and waits for its end. A
// program that cannot be started is skipped; exit codes are not read.
void RunHidden(const std::vector<std::string>& argv, bool searchPath, int logFd) {
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        return;
    }
    const std::unique_ptr<posix_spawn_file_actions_t, int (*)(posix_spawn_file_actions_t*)>
        actionsGuard(&actions, posix_spawn_file_actions_destroy);
    if (posix_spawnattr_init(&attr) != 0) {
        return;
    }
    const std::unique_ptr<posix_spawnattr_t, int (*)(posix_spawnattr_t*)> attrGuard(
        &attr, posix_spawnattr_destroy);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (logFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, logFd, 1);
        posix_spawn_file_actions_adddup2(&actions, logFd, 2);
    }
    // A session of its own has no controlling terminal to prompt on.
    sigset_t none;
    sigset_t defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = 0;
    const int rc = searchPath ? posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ)
                              : posix_spawn(&pid, args[0], &actions, &attr, args.data(), environ);
    if (rc != 0) {
        return;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

bool CPellamApp::InitInstance() {
    // Before the lock: an ordinary user hears why nothing happens, whoever holds it.
    if (::geteuid() != 0) {
        ShowMessage(NoAdministratorMessage());
        return false;
    }
    if (m_unique.Lock(ZebsCUniqueApp::LockFolder(), ZebsCUniqueApp::UniqueName()) !=
        UniqueLock::Acquired) {
        return false;  // another copy installs, or the lock cannot be trusted
    }
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return false;
    }
    RunInstallers(self.parent_path().string() + "/");
    return false;
}

std::vector<std::string> CPellamApp::ReadPackageList(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text(static_cast<size_t>(kMaxListBytes), '\0');
    in.read(text.data(), kMaxListBytes);
    text.resize(static_cast<size_t>(in.gcount()));

    std::vector<std::string> names;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        line.erase(std::min(line.find('#'), line.size()));
        std::istringstream words(line);
        std::string word;
        while (words >> word) {
            if (IsPackageName(word)) {
                names.push_back(word);
            }
        }
    }
    return names;
}

std::string CPellamApp::NoAdministratorMessage() {
    std::string locale = Env("LC_ALL");
    if (locale.empty()) {
        locale = Env("LC_MESSAGES");
    }
    if (locale.empty()) {
        locale = Env("LANG");
    }
    return locale.rfind("ja", 0) == 0 ? kMessage102Ja : kMessage102En;
}

void CPellamApp::ShowMessage(const std::string& text) {
    if (!HasDisplay()) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return;
    }
    const QApplication app(m_argc, m_argv);
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Pellam"), QString::fromStdString(text),
                    QMessageBox::Ok);
    box.exec();
}

void CPellamApp::RunInstallers(const std::string& programFolder) {
    const int logFd = OpenInstallLog();
    // Hidden runs have nobody to answer a package's questions.
    ::setenv("DEBIAN_FRONTEND", "noninteractive", 1);

    RunHidden({programFolder + "prepare/runtime-setup", "-q"}, false, logFd);
    const std::vector<std::string> packages =
        ReadPackageList(programFolder + "prepare/codecs.list");
    if (!packages.empty()) {
        std::vector<std::string> argv = {kPackageTool, "install", "-y", "-q"};
        argv.insert(argv.end(), packages.begin(), packages.end());
        RunHidden(argv, true, logFd);
    }
    RunHidden({programFolder + "prepare/encoder-setup", "-q"}, false, logFd);
    if (logFd >= 0) {
        ::close(logFd);
    }
}
