#include "reading/picture_source.h"

namespace kivra {

namespace {

// Two threads: the machines this runs on have at least two cores, and forward play of long-GOP
// HD video needs them.
constexpr int kDecoderThreads = 2;

}  // namespace

PictureSource::PictureSource(std::shared_ptr<const std::vector<int32_t>> keys, int olderGroups)
    : keys_(std::move(keys)), olderGroups_(olderGroups) {}

PictureSource::~PictureSource() {
    Release();
    prefetcher_.reset();  // its thread decodes into the cache
    decoder_.reset();
}

std::unique_ptr<PictureSource> PictureSource::Open(std::shared_ptr<const std::vector<int32_t>> keys,
                                                   MakeDecoder make, int olderGroups) {
    if (!keys || !make) {
        return nullptr;
    }
    std::unique_ptr<PictureSource> source(new PictureSource(keys, olderGroups));
    source->decoder_ = make(kDecoderThreads, source->cache_);
    if (!source->decoder_) {
        return nullptr;
    }
    // When every picture is a key picture a step back costs what a step forward does, one
    // picture, so decoding ahead would only add a second decoder and the hand-over between them.
    const bool everyPictureKey =
        !keys->empty() && keys->back() - keys->front() + 1 == int32_t(keys->size());
    if (!everyPictureKey) {
        source->prefetcher_ =
            std::make_unique<FramePrefetcher>(std::move(keys), std::move(make), source->cache_);
    }
    return source;
}

// A run that went on from earlier pictures and ended early (a damaged chunk) starts once more
// from the key picture; one that started there and still misses the picture starts a group
// further back, as often as olderGroups allows.
bool PictureSource::Decode(int display) {
    int group = GroupOf(*keys_, display);
    int older = olderGroups_;
    bool restart = !decoder_->CanContinueTo(display);
    for (;;) {
        if (restart) {
            decoder_->StartRun(display, group, false);
        }
        if (DecodeOnTo(*decoder_, cache_, display) == RunOutcome::Reached) {
            return true;
        }
        decoder_->ReleasePicture();
        if (!restart) {
            restart = true;
        } else if (older > 0 && group > 0) {
            --older;
            --group;
        } else {
            return false;
        }
    }
}

const AVFrame* PictureSource::Get(int display) {
    Release();
    const int previous = last_;
    const bool backward = previous >= 0 && display < previous;
    cached_ = cache_.Find(display);
    // Decoding ahead may be on its way to this very picture: waiting costs less than starting
    // the same work over.
    if (!cached_ && backward && prefetcher_ && prefetcher_->WaitFor(display)) {
        cached_ = cache_.Find(display);
    }
    const AVFrame* picture = nullptr;
    if (cached_) {
        ++cacheHits_;
        picture = cached_.get();
    } else if (Decode(display)) {
        decoder_->SettleReordering();
        fromDecoder_ = true;
        picture = &decoder_->Picture();
    }
    if (picture == nullptr) {
        return nullptr;
    }
    last_ = display;
    // One step back, or two over a picture that could not be shown.
    if (prefetcher_) {
        prefetcher_->Shown(display, backward && display >= previous - 2, decoder_->Reorders());
    }
    return picture;
}

void PictureSource::Release() {
    cached_.reset();
    if (fromDecoder_) {
        decoder_->ReleasePicture();
        fromDecoder_ = false;
    }
}

void PictureSource::SetCacheLimit(size_t bytes) {
    Release();
    if (prefetcher_) {
        prefetcher_->Pause();
    }
    cache_.SetLimit(bytes);
}

DecoderStats PictureSource::Stats() const {
    DecoderStats stats = decoder_->Stats();
    stats.cacheHits = cacheHits_;
    if (prefetcher_) {
        prefetcher_->AddStats(stats);
    }
    return stats;
}

}  // namespace kivra
