#pragma once
// Numbers a video's frames from its index alone, with no decoder: every picture asked for is
// missing. For work on the markers alone, which then also runs where the codec is not at hand.
// Owned by the CAviVideoStream opened index-only.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "reading/riff_avi.h"
#include "reading/video_reader.h"

namespace kivra {

class IndexOnlyReader final : public VideoReader {
public:
    // pictureAtSample: which picture each sample shows (-1: none); keySamples ascending.
    IndexOnlyReader(std::vector<int32_t> pictureAtSample, std::vector<int32_t> keySamples,
                    ReaderFormat format, std::string codecName);
    // The numbering AviFrameDecoder gives stream streamIndex: a zero-length chunk, or one the
    // file no longer holds, repeats the picture before. Null without such a stream.
    static std::unique_ptr<IndexOnlyReader> ForAvi(const AviFile& file, int streamIndex);

    std::unique_ptr<VideoReader> OpenSibling() const override;
    bool GetFrame(int sample, Dib& into) override;
    const AVFrame* GetPicture(int sample) override;
    int PictureOf(int sample) const override;
    int FindKeySample(int sample, bool forward) const override;
    void SetCacheLimit(size_t) override {}
    size_t CacheBytes() const override { return 0; }
    void WaitForPrefetch() override {}
    int SampleCount() const override { return int(pictureAtSample_.size()); }
    ReaderFormat Format() const override { return format_; }
    DecoderStats Stats() const override { return {}; }
    std::string CodecName() const override { return codecName_; }

private:
    std::vector<int32_t> pictureAtSample_;
    std::vector<int32_t> keySamples_;
    ReaderFormat format_;
    std::string codecName_;
};

}  // namespace kivra
