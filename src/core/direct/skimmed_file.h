#pragma once
// A source file as libavformat reads it while a frame index is built: plain reads until told
// which byte ranges hold the samples' own data, then those ranges are passed over without
// touching the disk, so a demuxer that numbers its samples from its tables alone walks a long
// clip in moments. Owned by the index builder for the length of one scan.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ffmpeg_handles.h"
#include "platform/unique_fd.h"

namespace kivra {

class SkimmedFile {
public:
    // Null when the file cannot be opened.
    static std::unique_ptr<SkimmedFile> Open(const std::string& path);
    ~SkimmedFile();
    SkimmedFile(const SkimmedFile&) = delete;
    SkimmedFile& operator=(const SkimmedFile&) = delete;

    // For AVFormatContext::pb; stays ours.
    AVIOContext* Context() const { return context_; }
    // From here on the bytes of these [start, end) ranges are not read.
    void SkipRanges(std::vector<std::pair<int64_t, int64_t>> ranges);
    // Reads after this moment fail, so a demuxer lost in a hostile file gives up.
    void SetDeadline(std::chrono::steady_clock::time_point deadline) { deadline_ = deadline; }

private:
    explicit SkimmedFile(int fd, int64_t size);
    static int Read(void* opaque, uint8_t* buffer, int size);
    static int64_t Seek(void* opaque, int64_t offset, int whence);

    UniqueFd fd_;
    int64_t size_ = 0;
    int64_t position_ = 0;
    std::vector<std::pair<int64_t, int64_t>> skipped_;  // sorted, not overlapping
    AVIOContext* context_ = nullptr;
    std::chrono::steady_clock::time_point deadline_ = std::chrono::steady_clock::time_point::max();
};

}  // namespace kivra
