#pragma once
// The decoded pictures a reader shows, by display number: the picture cache, the decoder that
// decodes what is asked for, and the decoding ahead that fills the cache going backwards, as one
// piece. Both readers (AVI and direct) own one and differ only in the decoders they make for it
// and in what they do with a picture once they have it.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "picture/picture_cache.h"
#include "reading/decoder_stats.h"
#include "reading/frame_prefetcher.h"
#include "reading/group_decoder.h"

struct AVFrame;

namespace kivra {

class PictureSource {
public:
    using MakeDecoder = FramePrefetcher::MakeDecoder;

    // keys: the display number each group of pictures starts at, ascending. make is called for
    // the showing decoder here and for the decoding-ahead thread's on that thread. olderGroups:
    // how many groups further back a run may start when a picture did not come out whole. Null
    // when the showing decoder cannot be made.
    static std::unique_ptr<PictureSource> Open(std::shared_ptr<const std::vector<int32_t>> keys,
                                               MakeDecoder make, int olderGroups);
    ~PictureSource();
    PictureSource(const PictureSource&) = delete;
    PictureSource& operator=(const PictureSource&) = delete;

    // The picture display as decoded: from the cache, waiting for the decoding ahead when it is
    // on its way, or decoded here. Valid until Release or the next Get; null when it cannot be
    // decoded. Tells the decoding ahead which way the pictures go.
    const AVFrame* Get(int display);
    void Release();

    GroupDecoder& Decoder() { return *decoder_; }
    const GroupDecoder& Decoder() const { return *decoder_; }

    // Empties the cache, which then holds up to bytes; 0 keeps none.
    void SetCacheLimit(size_t bytes);
    size_t CacheBytes() const { return cache_.Bytes(); }
    void WaitIdle() {
        if (prefetcher_) {
            prefetcher_->WaitIdle();
        }
    }
    // The decoders' figures and the cache's hits; conversions are the reader's.
    DecoderStats Stats() const;

private:
    PictureSource(std::shared_ptr<const std::vector<int32_t>> keys, int olderGroups);
    bool Decode(int display);

    const std::shared_ptr<const std::vector<int32_t>> keys_;
    const int olderGroups_;
    PictureCache cache_;  // before the decoders, which take their buffers from it
    std::unique_ptr<GroupDecoder> decoder_;
    std::unique_ptr<FramePrefetcher> prefetcher_;  // none when every picture is a key picture
    PictureCache::Picture cached_;  // the cache's picture Get returned, kept alive until Release
    bool fromDecoder_ = false;      // Get returned the decoder's own picture
    int last_ = -1;                 // the picture got last, which tells a step back
    int64_t cacheHits_ = 0;
};

}  // namespace kivra
