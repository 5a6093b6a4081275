#include "picture/picture_cache.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "platform/memory_policy.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

namespace kivra {

namespace {

// Decoders and converters may read and store a little past the last row of a plane with wide
// loads: every plane gets what libavcodec's own buffers give it, and starts aligned.
constexpr size_t kPadding = 16 + 64;
constexpr size_t kPlaneAlign = 64;

size_t PaddedPlane(size_t bytes) {
    return (bytes + kPadding + kPlaneAlign - 1) / kPlaneAlign * kPlaneAlign;
}

// What a picture costs: its buffers, and the frame that holds them.
size_t FrameBytes(const AVFrame& frame) {
    size_t bytes = sizeof(AVFrame);
    for (const AVBufferRef* buffer : frame.buf) {
        bytes += buffer != nullptr ? buffer->size : 0;
    }
    return bytes;
}

// A copy of frame's planes in one buffer as small as the converter allows (rows aligned for its
// vector code, the usual padding after each plane), in the decoder's own pixel format. Every
// byte is written: the converter's wide loads read row and plane padding. Null when the format
// has no planes in memory or there is no memory.
AvFramePtr CompactCopy(const AVFrame& frame) {
    const AVPixelFormat format = AVPixelFormat(frame.format);
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
    int lines[4] = {0, 0, 0, 0};
    if (desc == nullptr || (desc->flags & (AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BITSTREAM)) ||
        frame.width <= 0 || frame.height <= 0 ||
        av_image_fill_linesizes(lines, format, frame.width) < 0) {
        return nullptr;
    }
    ptrdiff_t strides[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        strides[i] = (ptrdiff_t(lines[i]) + kPlaneAlign - 1) / kPlaneAlign * kPlaneAlign;
    }
    size_t sizes[4] = {0, 0, 0, 0};
    if (av_image_fill_plane_sizes(sizes, format, frame.height, strides) < 0) {
        return nullptr;
    }
    size_t total = 0;
    for (int i = 0; i < 4; ++i) {
        if (sizes[i] > 0 && frame.data[i] == nullptr) {
            return nullptr;
        }
        total += sizes[i] > 0 ? PaddedPlane(sizes[i]) : 0;
    }
    AvFramePtr copy(av_frame_alloc());
    if (!copy || total == 0 || av_frame_copy_props(copy.get(), &frame) < 0) {
        return nullptr;
    }
    copy->buf[0] = av_buffer_alloc(total);
    if (copy->buf[0] == nullptr) {
        return nullptr;
    }
    copy->format = frame.format;
    copy->width = frame.width;
    copy->height = frame.height;
    uint8_t* plane = copy->buf[0]->data;
    for (int i = 0; i < 4 && sizes[i] > 0; ++i) {
        copy->data[i] = plane;
        copy->linesize[i] = int(strides[i]);
        size_t written = sizes[i];
        if (lines[i] == 0) {
            std::memcpy(plane, frame.data[i], sizes[i]);  // a palette
        } else {
            const size_t row = size_t(lines[i]);
            const size_t stride = size_t(strides[i]);
            const size_t rows = sizes[i] / stride;
            for (size_t y = 0; y < rows; ++y) {
                uint8_t* to = plane + y * stride;
                // Bottom-up sources have negative line sizes.
                std::memcpy(to, frame.data[i] + ptrdiff_t(y) * frame.linesize[i], row);
                std::memset(to + row, 0, stride - row);
            }
            written = rows * stride;
        }
        const size_t padded = PaddedPlane(sizes[i]);
        std::memset(plane + written, 0, padded - written);
        plane += padded;
    }
    copy->extended_data = copy->data;
    return copy;
}

// Below this a picture buffer comes from the heap; above, from the system directly.
constexpr size_t kMappedBuffer = size_t(1) << 20;

void FreeMappedBuffer(void* size, uint8_t* data) {
    FreePictureMemory(data, size_t(reinterpret_cast<uintptr_t>(size)));
}

// Zeroed as libavcodec's own pools are: decoders leave row padding unwritten, and the
// converter's wide loads read it. Memory from the system comes zeroed.
AVBufferRef* AllocatePoolBuffer(size_t size) {
    if (size < kMappedBuffer) {
        return av_buffer_allocz(size);
    }
    void* const memory = MapPictureMemory(size);
    if (memory == nullptr) {
        return nullptr;
    }
    AVBufferRef* const buffer =
        av_buffer_create(static_cast<uint8_t*>(memory), size, &FreeMappedBuffer,
                         reinterpret_cast<void*>(uintptr_t(size)), 0);
    if (buffer == nullptr) {
        FreePictureMemory(memory, size);
    }
    return buffer;
}

}  // namespace

size_t AutomaticCacheLimit(size_t base, int width, int height, size_t physicalMemory,
                           int groupPictures) {
    // Sixty pictures of a group, the eight a second decoder holds, and the decoders' padding.
    constexpr int kGroup = 60;
    constexpr size_t kBesides = 12;
    const size_t pictures = size_t(std::max(groupPictures, kGroup)) + kBesides;
    if (width <= 0 || height <= 0) {
        return base;
    }
    const size_t picture = (size_t(width) + 64) * (size_t(height) + 64) * 3 / 2;
    const size_t wanted = picture > SIZE_MAX / pictures ? SIZE_MAX : picture * pictures;
    return std::max(base, std::min(wanted, physicalMemory / 4));
}

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

void PictureCache::Reserve(int pictures) {
    // Pictures that leave are freed after the lock is released (declared before the lock).
    std::vector<std::shared_ptr<AVFrame>> freed;
    const std::lock_guard<std::mutex> lock(mutex_);
    reserved_ = pictures;
    // The room goes at once, not with the next picture stored: the decoder it is for takes its
    // buffers from the pool these return to, instead of from the system on top of a full cache.
    EvictUnkept(0, CapacityLocked(), freed);
}

size_t PictureCache::Capacity() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return CapacityLocked();
}

size_t PictureCache::CapacityLocked() const {
    const size_t reserve = size_t(reserved_) * pictureBytes_;
    return limit_ > reserve ? limit_ - reserve : 0;
}

size_t PictureCache::Bytes() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return bytes_;
}

size_t PictureCache::PictureBytes() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return pictureBytes_;
}

void PictureCache::NotePictureBytes(const AVFrame& frame) {
    const size_t bytes = FrameBytes(frame);
    const std::lock_guard<std::mutex> lock(mutex_);
    if (pictureBytes_ == 0) {
        pictureBytes_ = bytes;
    }
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

void PictureCache::DropAbove(int display) {
    // Pictures that leave are freed after the lock is released (declared before the lock).
    std::vector<std::shared_ptr<AVFrame>> freed;
    const std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = uses_.begin(); it != uses_.end();) {
        const int victim = *it;
        ++it;
        if (victim > display) {
            Evict(victim, freed);
        }
    }
}

AVBufferRef* PictureCache::PoolBuffer(size_t size) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (pool_ == nullptr || poolSize_ != size) {
        av_buffer_pool_uninit(&pool_);  // the old one goes when its last buffer comes back
        poolSize_ = size;
        pool_ = av_buffer_pool_init(size, &AllocatePoolBuffer);
    }
    return pool_ != nullptr ? av_buffer_pool_get(pool_) : nullptr;
}

// Laid out as libavcodec lays out its own picture buffers (the codec's dimension and line
// alignment), in one buffer; formats that need more go to libavcodec's allocator.
int PictureCache::GetBuffer(AVCodecContext* ctx, AVFrame* frame, int flags) {
    auto* source = static_cast<BufferSource*>(ctx->opaque);
    const AVPixelFormat format = AVPixelFormat(frame->format);
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
    const uint64_t unusual =
        AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BITSTREAM;
    int lines[4] = {0, 0, 0, 0};
    size_t sizes[4] = {0, 0, 0, 0};
    bool own = source != nullptr && source->cache != nullptr && desc != nullptr &&
               (desc->flags & unusual) == 0 && frame->width > 0 && frame->height > 0 &&
               (ctx->codec->capabilities & AV_CODEC_CAP_DR1) != 0;
    int height = frame->height;
    if (own) {
        int width = frame->width;
        int align[AV_NUM_DATA_POINTERS];
        avcodec_align_dimensions2(ctx, &width, &height, align);
        for (;;) {
            if (av_image_fill_linesizes(lines, format, width) < 0) {
                own = false;
                break;
            }
            bool unaligned = false;
            for (int i = 0; i < 4; ++i) {
                unaligned = unaligned || (align[i] > 0 && lines[i] % align[i] != 0);
            }
            if (!unaligned) {
                break;
            }
            width += width & ~(width - 1);  // the next power-of-two multiple
        }
    }
    const ptrdiff_t strides[4] = {lines[0], lines[1], lines[2], lines[3]};
    if (own && av_image_fill_plane_sizes(sizes, format, height, strides) < 0) {
        own = false;
    }
    if (!own) {
        if (source != nullptr) {
            source->foreign = true;
        }
        return avcodec_default_get_buffer2(ctx, frame, flags);
    }
    size_t total = 0;
    for (const size_t size : sizes) {
        total += size > 0 ? PaddedPlane(size) : 0;
    }
    AVBufferRef* buffer = source->cache->PoolBuffer(total);
    if (buffer == nullptr) {
        return AVERROR(ENOMEM);
    }
    frame->buf[0] = buffer;
    uint8_t* plane = buffer->data;
    for (int i = 0; i < 4 && sizes[i] > 0; ++i) {
        frame->data[i] = plane;
        frame->linesize[i] = lines[i];
        plane += PaddedPlane(sizes[i]);
    }
    frame->extended_data = frame->data;
    return 0;
}

void PictureCache::DecodeInto(AVCodecContext& ctx, BufferSource& source) {
    ctx.opaque = &source;
    ctx.get_buffer2 = &PictureCache::GetBuffer;
#if LIBAVCODEC_VERSION_MAJOR < 60
    // The callback locks what it shares; older libavcodec wants to be told so.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ctx.thread_safe_callbacks = 1;
#pragma GCC diagnostic pop
#endif
}

void PictureCache::EvictUnkept(size_t room, size_t capacity,
                               std::vector<std::shared_ptr<AVFrame>>& freed) {
    for (auto it = uses_.end(); bytes_ + room > capacity && it != uses_.begin();) {
        --it;
        if (*it < keepLow_ || *it > keepHigh_) {
            const int victim = *it;
            it = std::next(it);
            Evict(victim, freed);
        }
    }
}

void PictureCache::Evict(int display, std::vector<std::shared_ptr<AVFrame>>& freed) {
    const auto it = entries_.find(display);
    bytes_ -= it->second.bytes;
    freed.push_back(std::move(it->second.frame));
    uses_.erase(it->second.use);
    entries_.erase(it);
}

bool PictureCache::Insert(int display, const AVFrame& frame, bool shared, bool mayEvictKept) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (entries_.count(display) != 0 || pictureBytes_ > CapacityLocked() || limit_ == 0) {
            return false;
        }
    }
    if (shared) {
        // Decoders pad small pictures generously; those are cheaper to keep as tight copies.
        const size_t held = FrameBytes(frame) - sizeof(AVFrame);
        const int tight =
            av_image_get_buffer_size(AVPixelFormat(frame.format), frame.width, frame.height, 1);
        shared = tight > 0 && held <= size_t(tight) + size_t(tight) / 8;
    }
    // A copy, not a reference, unless the buffers are the cache's own: a picture from
    // libavcodec's allocator would make its pools grow by every picture held and keep them
    // after they left the cache, which no byte count here would show.
    std::shared_ptr<AVFrame> copy(shared ? av_frame_clone(&frame) : CompactCopy(frame).release(),
                                  AvFrameDeleter());
    if (!copy) {
        return false;
    }
    const size_t bytes = FrameBytes(*copy);
    // Pictures that leave are freed after the lock is released (declared before the lock).
    std::vector<std::shared_ptr<AVFrame>> freed;
    const std::lock_guard<std::mutex> lock(mutex_);
    pictureBytes_ = bytes;
    const size_t capacity = CapacityLocked();
    if (entries_.count(display) != 0 || bytes > capacity) {
        freed.push_back(std::move(copy));
        return false;
    }
    EvictUnkept(bytes, capacity, freed);
    if (bytes_ + bytes > capacity) {
        if (!mayEvictKept) {
            freed.push_back(std::move(copy));
            return false;
        }
        while (bytes_ + bytes > capacity && !uses_.empty()) {
            Evict(uses_.back(), freed);
        }
    }
    uses_.push_front(display);
    entries_.emplace(display, Entry{std::move(copy), bytes, uses_.begin()});
    bytes_ += bytes;
    return true;
}

}  // namespace kivra
