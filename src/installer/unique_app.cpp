#include "unique_app.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace {

constexpr char kUniquePrefix[] = "jp.brindle.gait.";

std::string AbsoluteEnv(const char* name) {
    const char* value = std::getenv(name);
    return (value != nullptr && value[0] == '/') ? value : std::string();
}

}  // namespace

ZebsCUniqueApp::~ZebsCUniqueApp() {
    Release();
}

void ZebsCUniqueApp::Release() {
    if (m_fdLock >= 0) {
        ::close(m_fdLock);  // closing drops the lock
        m_fdLock = -1;
    }
}

UniqueLock ZebsCUniqueApp::Lock(const std::string& folder, const std::string& name) {
    Release();
    const std::string path = folder + "/" + name;
    // Never through a link, never blocking on a planted pipe; only a plain file serves.
    const int fd =
        ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) {
        return UniqueLock::Failed;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return UniqueLock::Failed;
    }
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) {
            continue;
        }
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held ? UniqueLock::HeldElsewhere : UniqueLock::Failed;
    }
    m_fdLock = fd;
    return UniqueLock::Acquired;
}

const std::string& ZebsCUniqueApp::UniqueName() {
    static const std::string name = [] {
        std::error_code error;
        std::string base = std::filesystem::read_symlink("/proc/self/exe", error).filename();
        const std::string::size_type dot = base.rfind('.');
        if (dot != std::string::npos && dot > 0) {
            base.erase(dot);
        }
        return kUniquePrefix + base;
    }();
    return name;
}

std::string ZebsCUniqueApp::LockFolder() {
    std::string folder = AbsoluteEnv("XDG_RUNTIME_DIR");
    if (folder.empty()) {
        folder = AbsoluteEnv("TMPDIR");
    }
    return folder.empty() ? "/tmp" : folder;
}
