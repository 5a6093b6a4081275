#include "platform/read_only_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

namespace kivra {

ReadOnlyFile::ReadOnlyFile(const std::string& path)
    : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)) {
    struct stat st {};
    if (fd_.get() < 0 || ::fstat(fd_.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        fd_.Close();
        return;
    }
    size_ = static_cast<uint64_t>(st.st_size);
}

bool ReadOnlyFile::Read(uint64_t offset, void* dst, size_t n) const {
    if (offset > size_ || n > size_ - offset) {
        return false;
    }
    auto* out = static_cast<uint8_t*>(dst);
    while (n > 0) {
        const ssize_t got = ::pread(fd_.get(), out, n, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        out += got;
        offset += static_cast<uint64_t>(got);
        n -= static_cast<size_t>(got);
    }
    return true;
}

std::vector<uint8_t> ReadOnlyFile::ReadUpTo(uint64_t offset, uint64_t n) const {
    if (offset >= size_) {
        return {};
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(std::min(n, size_ - offset)));
    if (!Read(offset, bytes.data(), bytes.size())) {
        return {};
    }
    return bytes;
}

}  // namespace kivra
