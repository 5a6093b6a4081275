#pragma once
// Decoded pictures by display number, bounded in bytes, shared by the thread that shows pictures
// and the one decoding ahead of it. Owned by AviFrameDecoder.
#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "media/ffmpeg_handles.h"

namespace kivra {

// Least recently used pictures go first, except those in the kept range (the pictures about to
// be shown), which go only to make room for a picture the user asked for. Every member locks;
// the lock is never held while copying or freeing picture data.
class PictureCache {
public:
    using Picture = std::shared_ptr<const AVFrame>;

    PictureCache();
    ~PictureCache();
    PictureCache(const PictureCache&) = delete;
    PictureCache& operator=(const PictureCache&) = delete;

    // Drops every picture; 0 keeps none.
    void SetLimit(size_t bytes);
    size_t Limit() const;
    size_t Bytes() const;
    // Bytes one picture of this stream takes, 0 before the first one is stored.
    size_t PictureBytes() const;

    // The picture, kept alive for the caller even if it leaves the cache; null when absent.
    Picture Find(int display);
    bool Contains(int display) const;
    // The highest display number in [low, high] that is not held, or low - 1.
    int HighestMissing(int low, int high) const;

    // Stores a copy of frame. Pictures of the kept range make room only when mayEvictKept is
    // true (the user is waiting for this picture), so decoding ahead never pushes out what will
    // be shown before what it adds. False when the picture was not stored.
    bool Insert(int display, const AVFrame& frame, bool mayEvictKept);
    // The range [low, high] to keep; low > high keeps nothing in particular.
    void Keep(int low, int high);

private:
    struct Entry {
        std::shared_ptr<AVFrame> frame;
        size_t bytes = 0;
        std::list<int>::iterator use;
    };
    std::shared_ptr<AVFrame> Copy(const AVFrame& frame);
    void Evict(int display, std::vector<std::shared_ptr<AVFrame>>& freed);

    mutable std::mutex mutex_;
    size_t limit_ = size_t(512) << 20;
    size_t bytes_ = 0;
    size_t pictureBytes_ = 0;
    int keepLow_ = 1;
    int keepHigh_ = 0;
    std::unordered_map<int, Entry> entries_;
    std::list<int> uses_;  // most recent at the front
    // Buffers of pictures that left the cache, for the next copies: at a full cache every new
    // picture would otherwise be megabytes of fresh pages from the system.
    AVBufferPool* pool_ = nullptr;
    size_t poolSize_ = 0;
};

}  // namespace kivra
