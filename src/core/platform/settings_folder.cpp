#include "platform/settings_folder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "platform/path_util.h"

namespace kivra {
namespace {

// The system's passwd file is a few kilobytes; the bound only keeps a broken one from
// exhausting memory.
constexpr std::size_t kMaxPasswdBytes = 64u << 20;

std::string_view WithoutTrailingSlashes(std::string_view s) {
    while (!s.empty() && s.back() == '/') {
        s.remove_suffix(1);
    }
    return s;
}

std::string EnvOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string AccountHome() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir) {
        return {};
    }
    return found->pw_dir;
}

// "<base><suffix>" for an absolute base; the root folder is kept as "/".
std::string Below(std::string_view base, std::string_view suffix) {
    if (!base.starts_with('/')) {
        return {};
    }
    std::string path(WithoutTrailingSlashes(base));
    path += suffix;
    return path.empty() ? std::string("/") : path;
}

}  // namespace

SpecialFolderEnvironment CurrentSpecialFolderEnvironment() {
    SpecialFolderEnvironment env;
    env.xdgConfigHome = EnvOrEmpty("XDG_CONFIG_HOME");
    env.xdgDataHome = EnvOrEmpty("XDG_DATA_HOME");
    env.home = EnvOrEmpty("HOME");
    if (env.home.empty()) {
        env.home = AccountHome();
    }
    return env;
}

std::string SpecialFolderPath(int csidl, const SpecialFolderEnvironment& env) {
    std::string_view xdg;
    std::string_view belowHome;
    if (csidl == kCsidlAppData) {
        xdg = env.xdgConfigHome;
        belowHome = "/.config";
    } else if (csidl == kCsidlLocalAppData) {
        xdg = env.xdgDataHome;
        belowHome = "/.local/share";
    } else {
        return {};
    }
    // A relative XDG value is invalid and is ignored, as the base-directory rules say.
    if (xdg.starts_with('/')) {
        return Below(xdg, "");
    }
    return Below(env.home, belowHome);
}

std::string GetProgramFolder() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            return {};
        }
        if (static_cast<std::size_t>(n) < buffer.size()) {
            const std::string_view exe(buffer.data(), static_cast<std::size_t>(n));
            const auto slash = exe.rfind('/');
            if (slash == std::string_view::npos) {
                return {};
            }
            return std::string(WithoutTrailingSlashes(exe.substr(0, slash)));
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string GetSettingsFolder(std::string_view programFolder, int csidl,
                              const SpecialFolderEnvironment& env) {
    const std::string special = SpecialFolderPath(csidl, env);
    if (special.empty()) {
        return {};
    }
    programFolder = WithoutTrailingSlashes(programFolder);
    std::string_view name = programFolder.substr(programFolder.rfind('/') + 1);
    // "." or ".." would climb out of the maker's folder.
    if (name == "." || name == "..") {
        name = {};
    }
    std::string folder = JoinPath(special, kMakerFolderName);
    if (!name.empty()) {
        folder = JoinPath(folder, name);
    }
    CreateFolderChain(folder);
    return folder;
}

std::string GetSettingsFolder(std::string_view programFolder, int csidl) {
    return GetSettingsFolder(programFolder, csidl, CurrentSpecialFolderEnvironment());
}

bool IsDomainAccount(uid_t uid, const std::string& passwdPath) {
    std::ifstream file(passwdPath, std::ios::binary);
    if (!file) {
        return false;
    }
    std::string text;
    std::vector<char> chunk(65536);
    while (file.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) ||
           file.gcount() > 0) {
        text.append(chunk.data(), static_cast<std::size_t>(file.gcount()));
        if (text.size() > kMaxPasswdBytes) {
            return false;
        }
    }
    // name:password:uid:gid:gecos:home:shell
    std::string_view rest = text;
    while (!rest.empty()) {
        const auto lf = rest.find('\n');
        const std::string_view line = rest.substr(0, lf);
        rest = lf == std::string_view::npos ? std::string_view() : rest.substr(lf + 1);
        const auto first = line.find(':');
        const auto second = first == line.npos ? line.npos : line.find(':', first + 1);
        if (second == line.npos) {
            continue;
        }
        const auto third = line.find(':', second + 1);
        const std::string_view field = line.substr(second + 1, third - second - 1);
        unsigned long long value = 0;
        const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
        if (ec == std::errc() && end == field.data() + field.size() && !field.empty() &&
            value == uid) {
            return false;
        }
    }
    return true;
}

bool IsDomainAccount() {
    return IsDomainAccount(::getuid(), "/etc/passwd");
}

std::string UserSettingsFolder() {
    const int csidl = IsDomainAccount() ? kCsidlAppData : kCsidlLocalAppData;
    return GetSettingsFolder(GetProgramFolder(), csidl) + "/";
}

bool CreateFolderChain(std::string_view path) {
    if (path.empty()) {
        return false;
    }
    std::string partial;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        const auto slash = path.find('/', pos);
        const std::size_t end = slash == std::string_view::npos ? path.size() : slash;
        partial = std::string(path.substr(0, end));
        pos = end + 1;
        if (partial.empty()) {
            continue;  // the root
        }
        // Private, as the base-directory rules ask for folders they create.
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    struct stat st {};
    return ::stat(std::string(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace kivra
