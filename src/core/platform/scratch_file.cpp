#include "platform/scratch_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace kivra {

namespace {

constexpr int kCreateAttempts = 5;
constexpr int kAsideNames = 100;

std::string Describe(const std::string& path, const char* what, int error) {
    return path + ": " + what + " (" + std::strerror(error) + ")";
}

// Renames what is at path to a free "<path>.asideN" without following it. True when path is
// free afterwards.
bool MoveAside(const std::string& path, std::string* reason) {
    for (int n = 1; n <= kAsideNames; ++n) {
        const std::string aside = path + ".aside" + std::to_string(n);
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) {
            return true;
        }
        if (errno == ENOENT) {
            return true;  // gone by itself
        }
        if (errno == EINVAL) {
            // No RENAME_NOREPLACE on this file system: only a name that is free now.
            struct stat st {};
            if (::lstat(aside.c_str(), &st) != 0 && errno == ENOENT &&
                ::rename(path.c_str(), aside.c_str()) == 0) {
                return true;
            }
            continue;
        }
        if (errno != EEXIST) {
            *reason = Describe(path, "cannot be moved aside", errno);
            return false;
        }
    }
    *reason = path + ": no free name to move it aside";
    return false;
}

}  // namespace

ScratchFile::ScratchFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {
    struct stat st {};
    if (::fstat(fd_, &st) == 0) {
        dev_ = st.st_dev;
        ino_ = st.st_ino;
    }
}

ScratchFile::~ScratchFile() {
    Remove();
}

ScratchFile::ScratchFile(ScratchFile&& other) noexcept
    : path_(std::move(other.path_)),
      fd_(std::exchange(other.fd_, -1)),
      dev_(other.dev_),
      ino_(other.ino_) {}

ScratchFile& ScratchFile::operator=(ScratchFile&& other) noexcept {
    if (this != &other) {
        Remove();
        path_ = std::move(other.path_);
        fd_ = std::exchange(other.fd_, -1);
        dev_ = other.dev_;
        ino_ = other.ino_;
    }
    return *this;
}

ScratchFile ScratchFile::Create(const std::string& path, std::string* reason) {
    std::string ignored;
    std::string& why = reason != nullptr ? *reason : ignored;
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        const int fd =
            ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) {
            return ScratchFile(path, fd);
        }
        if (errno != EEXIST) {
            why = Describe(path, "cannot be created", errno);
            return ScratchFile();
        }
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            continue;  // gone again in between
        }
        if (S_ISREG(st.st_mode)) {
            // Removing a name never touches what another name of the same file holds.
            if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
                why = Describe(path, "cannot be replaced", errno);
                return ScratchFile();
            }
        } else if (!MoveAside(path, &why)) {
            return ScratchFile();
        }
    }
    why = path + ": keeps being taken";
    return ScratchFile();
}

std::string ScratchFile::ChildPath(int childFd) {
    return "/proc/self/fd/" + std::to_string(childFd);
}

std::uint64_t ScratchFile::Size() const {
    struct stat st {};
    return fd_ >= 0 && ::fstat(fd_, &st) == 0 ? std::uint64_t(st.st_size) : 0;
}

bool ScratchFile::IsAtPath() const {
    struct stat st {};
    return fd_ >= 0 && ::lstat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           st.st_dev == dev_ && st.st_ino == ino_;
}

void ScratchFile::Remove() {
    if (IsAtPath()) {
        ::unlink(path_.c_str());
    }
    Close();
}

bool ScratchFile::MoveTo(const std::string& target, std::string* reason) {
    std::string ignored;
    std::string& why = reason != nullptr ? *reason : ignored;
    if (!IsAtPath()) {
        why = path_ + ": replaced by another file while it was written";
        Close();
        return false;
    }
    if (::rename(path_.c_str(), target.c_str()) != 0) {
        why = Describe(target, "cannot be replaced", errno);
        Remove();
        return false;
    }
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_dev != dev_ ||
        st.st_ino != ino_) {
        // Swapped in just before the rename: that name is no file of ours to leave there.
        ::unlink(target.c_str());
        why = path_ + ": replaced by another file while it was moved";
        Remove();
        return false;
    }
    Close();
    return true;
}

void ScratchFile::Keep() {
    Close();
}

void ScratchFile::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace kivra
