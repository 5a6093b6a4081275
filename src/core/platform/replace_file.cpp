#include "platform/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <new>

#include "platform/path_util.h"
#include "platform/unique_fd.h"

namespace kivra {
namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// Opens a fresh file beside target. Created with mode less the umask, as any new file; the
// name carries the process id and a counter, so writers never collide, and stays short
// whatever target's name, so a target near the file-name limit can still be replaced.
int CreateTemporary(const std::string& target, unsigned mode, std::string& name) {
    static std::atomic<unsigned> counter{0};
    const std::string folder = FolderOf(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + ".kivra-" + std::to_string(::getpid()) + "-" +
               std::to_string(counter.fetch_add(1)) + ".tmp";
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                              static_cast<mode_t>(mode & 0777));
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

void SyncFolderOf(const std::string& path) {
    const std::string folder = FolderOf(path);
    UniqueFd dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) {
        ::fsync(dir.get());  // best effort: the data itself is already on disk
    }
}

}  // namespace

bool ReplaceFileContents(const std::string& path, std::string_view bytes, unsigned newFileMode) {
    return ReplaceFileStreamed(
        path, [bytes](const ByteSink& sink) { return sink(bytes); }, newFileMode);
}

bool ReplaceFileStreamed(const std::string& path,
                         const std::function<bool(const ByteSink&)>& produce,
                         unsigned newFileMode) {
    if (path.empty()) {
        return false;
    }
    const std::string target = ReplacementTarget(path);
    struct stat old {};
    const bool hadOld = ::stat(target.c_str(), &old) == 0;
    if (hadOld && !S_ISREG(old.st_mode)) {
        return false;  // never rename over a folder or a device
    }
    std::string tempName;
    UniqueFd fd(CreateTemporary(target, newFileMode, tempName));
    if (fd.get() < 0) {
        return false;
    }
    const int out = fd.get();
    bool ok = false;
    try {
        ok = produce([out](std::string_view bytes) { return WriteAll(out, bytes); });
    } catch (const std::bad_alloc&) {
        ok = false;  // the temporary goes below like any half-written one
    }
    if (ok && hadOld) {
        ::fchmod(fd.get(), old.st_mode & 07777);  // a failure only leaves the umask's mode
    }
    ok = ok && ::fsync(fd.get()) == 0;
    ok = fd.Close() && ok;
    ok = ok && ::rename(tempName.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tempName.c_str());
        return false;
    }
    SyncFolderOf(target);
    return true;
}

std::string ReplacementTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        return path;
    }
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

}  // namespace kivra
