#include "media/picture_cache.h"

#include <iterator>

extern "C" {
#include <libavutil/imgutils.h>
}

namespace kivra {

namespace {

constexpr int kAlign = 64;
// Converters may read a little past the last row with wide loads.
constexpr size_t kPadding = 64;

}  // namespace

PictureCache::PictureCache() = default;

PictureCache::~PictureCache() {
    entries_.clear();
    av_buffer_pool_uninit(&pool_);
}

void PictureCache::SetLimit(size_t bytes) {
    std::unordered_map<int, Entry> freed;
    const std::lock_guard<std::mutex> lock(mutex_);
    freed.swap(entries_);
    uses_.clear();
    bytes_ = 0;
    limit_ = bytes;
    // Buffers come back to the pool as their pictures are freed; without this they would stay.
    av_buffer_pool_uninit(&pool_);
    poolSize_ = 0;
}

size_t PictureCache::Limit() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return limit_;
}

size_t PictureCache::Bytes() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return bytes_;
}

size_t PictureCache::PictureBytes() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return pictureBytes_;
}

PictureCache::Picture PictureCache::Find(int display) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto it = entries_.find(display);
    if (it == entries_.end()) {
        return nullptr;
    }
    uses_.splice(uses_.begin(), uses_, it->second.use);
    return it->second.frame;
}

bool PictureCache::Contains(int display) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return entries_.count(display) != 0;
}

int PictureCache::HighestMissing(int low, int high) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (int d = high; d >= low; --d) {
        if (entries_.count(d) == 0) {
            return d;
        }
    }
    return low - 1;
}

void PictureCache::Keep(int low, int high) {
    const std::lock_guard<std::mutex> lock(mutex_);
    keepLow_ = low;
    keepHigh_ = high;
}

std::shared_ptr<AVFrame> PictureCache::Copy(const AVFrame& frame) {
    // A copy, not a reference: holding the decoder's own buffers makes some decoders (H.264)
    // grow their buffer pools by far more than the pictures kept.
    std::shared_ptr<AVFrame> copy(av_frame_alloc(), AvFrameDeleter());
    if (!copy) {
        return nullptr;
    }
    const AVPixelFormat format = AVPixelFormat(frame.format);
    const int size = av_image_get_buffer_size(format, frame.width, frame.height, kAlign);
    AVBufferRef* buffer = nullptr;
    if (size > 0) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (pool_ == nullptr || poolSize_ != size_t(size) + kPadding) {
            av_buffer_pool_uninit(&pool_);
            poolSize_ = size_t(size) + kPadding;
            pool_ = av_buffer_pool_init(poolSize_, nullptr);
        }
        buffer = pool_ != nullptr ? av_buffer_pool_get(pool_) : nullptr;
    }
    copy->format = frame.format;
    copy->width = frame.width;
    copy->height = frame.height;
    if (buffer != nullptr) {
        copy->buf[0] = buffer;
        if (av_image_fill_arrays(copy->data, copy->linesize, buffer->data, format, frame.width,
                                 frame.height, kAlign) < 0) {
            return nullptr;
        }
        const uint8_t* source[4] = {frame.data[0], frame.data[1], frame.data[2], frame.data[3]};
        const int sourceLines[4] = {frame.linesize[0], frame.linesize[1], frame.linesize[2],
                                    frame.linesize[3]};
        av_image_copy(copy->data, copy->linesize, source, sourceLines, format, frame.width,
                      frame.height);
    } else if (av_frame_get_buffer(copy.get(), 0) < 0 || av_frame_copy(copy.get(), &frame) < 0) {
        return nullptr;
    }
    if (av_frame_copy_props(copy.get(), &frame) < 0) {
        return nullptr;
    }
    return copy;
}

void PictureCache::Evict(int display, std::vector<std::shared_ptr<AVFrame>>& freed) {
    const auto it = entries_.find(display);
    bytes_ -= it->second.bytes;
    freed.push_back(std::move(it->second.frame));
    uses_.erase(it->second.use);
    entries_.erase(it);
}

bool PictureCache::Insert(int display, const AVFrame& frame, bool mayEvictKept) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (limit_ == 0 || entries_.count(display) != 0 || pictureBytes_ > limit_) {
            return false;
        }
    }
    std::shared_ptr<AVFrame> copy = Copy(frame);
    if (!copy) {
        return false;
    }
    size_t bytes = sizeof(AVFrame);
    for (const AVBufferRef* buffer : copy->buf) {
        bytes += buffer != nullptr ? buffer->size : 0;
    }
    // Pictures that leave are freed after the lock is released (declared before the lock).
    std::vector<std::shared_ptr<AVFrame>> freed;
    const std::lock_guard<std::mutex> lock(mutex_);
    pictureBytes_ = bytes;
    if (entries_.count(display) != 0 || bytes > limit_) {
        freed.push_back(std::move(copy));
        return false;
    }
    const auto kept = [this](int d) { return d >= keepLow_ && d <= keepHigh_; };
    for (auto it = uses_.end(); bytes_ + bytes > limit_ && it != uses_.begin();) {
        --it;
        if (!kept(*it)) {
            const int victim = *it;
            it = std::next(it);
            Evict(victim, freed);
        }
    }
    if (bytes_ + bytes > limit_) {
        if (!mayEvictKept) {
            freed.push_back(std::move(copy));
            return false;
        }
        while (bytes_ + bytes > limit_ && !uses_.empty()) {
            Evict(uses_.back(), freed);
        }
    }
    uses_.push_front(display);
    entries_.emplace(display, Entry{std::move(copy), bytes, uses_.begin()});
    bytes_ += bytes;
    return true;
}

}  // namespace kivra
