#pragma once
// Decoded pictures by display number in the decoder's own pixel format (planar YUV for most
// codecs; converted to BGR only when shown), bounded in bytes, shared by the thread that shows
// pictures and the one decoding ahead of it. Owned by the frame decoder of an open stream; any
// libavcodec decoder can fill it.
#include <atomic>
#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/ffmpeg_handles.h"

namespace kivra {

// The cache bound for pictures of this size when the user names none: base, raised for pictures
// so large that base would hold less than a phone's or camera's group of pictures (two seconds,
// or the stream's longest group, groupPictures, when that is longer) besides what a second
// decoder holds, never above a quarter of the machine's memory.
size_t AutomaticCacheLimit(size_t base, int width, int height, size_t physicalMemory,
                           int groupPictures = 0);

// Least recently used pictures go first, except those in the kept range (the pictures about to
// be shown), which go only to make room for a picture the user asked for. Every member locks;
// the lock is never held while copying or freeing picture data.
class PictureCache {
public:
    using Picture = std::shared_ptr<const AVFrame>;

    // Set as a decoder's opaque with GetBuffer as its get_buffer2: the decoder's pictures then
    // live in the cache's own buffers and are kept without a copy. Owned by the decoder's owner.
    struct BufferSource {
        PictureCache* cache = nullptr;
        std::atomic<bool> foreign{false};  // some picture came from libavcodec's allocator
    };
    static int GetBuffer(AVCodecContext* ctx, AVFrame* frame, int flags);
    // Sets a decoder not yet opened to decode into source's cache. source outlives ctx.
    static void DecodeInto(AVCodecContext& ctx, BufferSource& source);

    PictureCache();
    ~PictureCache();
    PictureCache(const PictureCache&) = delete;
    PictureCache& operator=(const PictureCache&) = delete;

    // Drops every picture; 0 keeps none.
    void SetLimit(size_t bytes);
    size_t Limit() const;
    // Room within the limit left for pictures held elsewhere (a second decoder's references),
    // counted in pictures of this stream; the cache keeps that much less.
    void Reserve(int pictures);
    // What the cache may hold now: the limit less the reserve.
    size_t Capacity() const;
    size_t Bytes() const;
    // Bytes one picture of this stream takes, 0 before one is stored or noted.
    size_t PictureBytes() const;
    void NotePictureBytes(const AVFrame& frame);

    // The picture, kept alive for the caller even if it leaves the cache; null when absent.
    Picture Find(int display);
    bool Contains(int display) const;
    // The highest display number in [low, high] that is not held, or low - 1.
    int HighestMissing(int low, int high) const;

    // Stores frame: a new reference when shared (its buffers are the cache's own, see
    // GetBuffer), else a compact copy of its planes. Either way Bytes() grows by what the kept
    // picture holds, so a reference never pins a decoder pool the count does not show. Pictures of
    // the kept range make room only when mayEvictKept is true (the user is waiting for this
    // picture), so decoding ahead never pushes out what will be shown before what it adds. False
    // when the picture was not stored.
    bool Insert(int display, const AVFrame& frame, bool shared, bool mayEvictKept);
    // The range [low, high] to keep; low > high keeps nothing in particular.
    void Keep(int low, int high);
    // Lets every picture above display go. Going backwards they are not shown again, and their
    // buffers go back to the pool for the pictures decoded next instead of fresh pages.
    void DropAbove(int display);

private:
    struct Entry {
        std::shared_ptr<AVFrame> frame;
        size_t bytes = 0;
        std::list<int>::iterator use;
    };
    AVBufferRef* PoolBuffer(size_t size);
    void Evict(int display, std::vector<std::shared_ptr<AVFrame>>& freed);
    // Lets the least recently used pictures outside the kept range go until room more bytes
    // fit under capacity, or only kept ones are left. Called with the lock held.
    void EvictUnkept(size_t room, size_t capacity, std::vector<std::shared_ptr<AVFrame>>& freed);

    // Guards everything below: the decoding-ahead thread and the showing thread share the cache.
    mutable std::mutex mutex_;
    size_t CapacityLocked() const;

    size_t limit_ = size_t(512) << 20;
    int reserved_ = 0;
    size_t bytes_ = 0;
    size_t pictureBytes_ = 0;
    int keepLow_ = 1;
    int keepHigh_ = 0;
    std::unordered_map<int, Entry> entries_;
    std::list<int> uses_;  // most recent at the front
    // Picture buffers for the decoders, reused as pictures leave the cache: at a full cache
    // every new picture would otherwise be megabytes of fresh pages from the system, and
    // libavcodec's own pools would keep a second set of buffers as large as the cache.
    AVBufferPool* pool_ = nullptr;
    size_t poolSize_ = 0;
};

}  // namespace kivra
