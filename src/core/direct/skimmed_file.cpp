#include "direct/skimmed_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace kivra {

namespace {

// Samples larger than the buffer are read straight into their packets, which a skimmed sample
// then never touches.
constexpr int kBufferBytes = 64 * 1024;

}  // namespace

std::unique_ptr<SkimmedFile> SkimmedFile::Open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<SkimmedFile> file(new SkimmedFile(fd, int64_t(info.st_size)));
    auto* buffer = static_cast<uint8_t*>(av_malloc(kBufferBytes));
    if (buffer == nullptr) {
        return nullptr;
    }
    file->context_ = avio_alloc_context(buffer, kBufferBytes, 0, file.get(), &SkimmedFile::Read,
                                        nullptr, &SkimmedFile::Seek);
    if (file->context_ == nullptr) {
        av_free(buffer);
        return nullptr;
    }
    return file;
}

SkimmedFile::SkimmedFile(int fd, int64_t size) : fd_(fd), size_(size) {}

SkimmedFile::~SkimmedFile() {
    if (context_ != nullptr) {
        av_freep(&context_->buffer);
        avio_context_free(&context_);
    }
}

void SkimmedFile::SkipRanges(std::vector<std::pair<int64_t, int64_t>> ranges) {
    std::sort(ranges.begin(), ranges.end());
    skipped_.clear();
    for (const auto& [start, end] : ranges) {
        if (start < 0 || end <= start) {
            continue;
        }
        if (!skipped_.empty() && start <= skipped_.back().second) {
            skipped_.back().second = std::max(skipped_.back().second, end);
        } else {
            skipped_.emplace_back(start, end);
        }
    }
}

int SkimmedFile::Read(void* opaque, uint8_t* buffer, int size) {
    auto& file = *static_cast<SkimmedFile*>(opaque);
    if (size <= 0) {
        return 0;
    }
    if (file.position_ >= file.size_) {
        return AVERROR_EOF;
    }
    if (std::chrono::steady_clock::now() > file.deadline_) {
        return AVERROR_EXIT;
    }
    int64_t wanted = std::min<int64_t>(size, file.size_ - file.position_);
    // The first skipped range that ends after the position.
    const auto range = std::upper_bound(
        file.skipped_.begin(), file.skipped_.end(), file.position_,
        [](int64_t position, const std::pair<int64_t, int64_t>& r) { return position < r.second; });
    if (range != file.skipped_.end()) {
        if (range->first <= file.position_) {
            // Left as it is: nobody reads a skimmed sample's bytes, and memory never written
            // costs nothing.
            const int64_t count = std::min(wanted, range->second - file.position_);
            file.position_ += count;
            return int(count);
        }
        wanted = std::min(wanted, range->first - file.position_);
    }
    ssize_t got = 0;
    do {
        got = ::pread(file.fd_.get(), buffer, size_t(wanted), file.position_);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        return AVERROR(errno);
    }
    if (got == 0) {
        return AVERROR_EOF;
    }
    file.position_ += got;
    return int(got);
}

int64_t SkimmedFile::Seek(void* opaque, int64_t offset, int whence) {
    auto& file = *static_cast<SkimmedFile*>(opaque);
    int64_t target = 0;
    switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return file.size_;
        case SEEK_SET:
            target = offset;
            break;
        case SEEK_CUR:
            target = file.position_ + offset;
            break;
        case SEEK_END:
            target = file.size_ + offset;
            break;
        default:
            return AVERROR(EINVAL);
    }
    if (target < 0) {
        return AVERROR(EINVAL);
    }
    file.position_ = target;
    return target;
}

}  // namespace kivra
