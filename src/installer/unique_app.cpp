#include "unique_app.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

constexpr char kUniquePrefix[] = "jp.brindle.gait.";

// Nobody but the owner (root, or the user running us) can add, replace or remove entries.
bool IsPrivateFolder(const struct stat& st) {
    const uid_t self = ::geteuid();
    return S_ISDIR(st.st_mode) && (st.st_uid == 0 || st.st_uid == self) &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

int OpenPrivateFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !IsPrivateFolder(st)) {
        ::close(fd);
        return -1;
    }
    return fd;
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
    // The folder is checked as opened, so it cannot be swapped between the check and the file.
    const int dir = OpenPrivateFolder(folder);
    if (dir < 0) {
        return UniqueLock::Failed;
    }
    // Never through a link, never blocking on a pipe; only a plain file of our own serves.
    const int fd =
        ::openat(dir, name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    ::close(dir);
    if (fd < 0) {
        return UniqueLock::Failed;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
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
    // The shared temporary folder would let any user plant or hold the lock and so keep the
    // codecs from ever being installed.
    const char* chosen = std::getenv("PELLAM_LOCK_DIR");
    const std::vector<std::string> candidates = chosen != nullptr && chosen[0] == '/'
                                                    ? std::vector<std::string>{chosen}
                                                    : std::vector<std::string>{"/run/lock", "/run"};
    for (const std::string& folder : candidates) {
        const int fd = OpenPrivateFolder(folder);
        if (fd >= 0) {
            ::close(fd);
            return folder;
        }
    }
    return {};
}
