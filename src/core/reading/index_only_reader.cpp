#include "reading/index_only_reader.h"

#include <algorithm>

namespace kivra {

IndexOnlyReader::IndexOnlyReader(std::vector<int32_t> pictureAtSample,
                                 std::vector<int32_t> keySamples, ReaderFormat format,
                                 std::string codecName)
    : pictureAtSample_(std::move(pictureAtSample)),
      keySamples_(std::move(keySamples)),
      format_(format),
      codecName_(std::move(codecName)) {}

std::unique_ptr<IndexOnlyReader> IndexOnlyReader::ForAvi(const AviFile& file, int streamIndex) {
    if (streamIndex < 0 || size_t(streamIndex) >= file.streams.size()) {
        return nullptr;
    }
    const AviStream& stream = file.streams[size_t(streamIndex)];
    std::vector<int32_t> pictures(stream.samples.size(), -1);
    std::vector<int32_t> keys;
    int32_t last = -1;
    for (size_t s = 0; s < stream.samples.size(); ++s) {
        const AviSample& sample = stream.samples[s];
        const bool held = sample.offset <= file.fileSize && sample.size > 0 &&
                          sample.size <= file.fileSize - sample.offset;
        if (held) {
            // Without an index the flags say nothing: only the first picture is safe to start
            // from.
            if (keys.empty() || (file.indexed && sample.key)) {
                keys.push_back(int32_t(s));
            }
            ++last;
        }
        pictures[s] = last;
    }
    ReaderFormat format;
    format.width = int(file.main.width);
    format.height = int(file.main.height);
    format.rate = stream.header.rate;
    format.scale = stream.header.scale;
    return std::make_unique<IndexOnlyReader>(std::move(pictures), std::move(keys), format,
                                             std::string());
}

std::unique_ptr<VideoReader> IndexOnlyReader::OpenSibling() const {
    return std::make_unique<IndexOnlyReader>(pictureAtSample_, keySamples_, format_, codecName_);
}

bool IndexOnlyReader::GetFrame(int, Dib&) {
    return false;
}

const AVFrame* IndexOnlyReader::GetPicture(int) {
    return nullptr;
}

int IndexOnlyReader::PictureOf(int sample) const {
    return sample >= 0 && size_t(sample) < pictureAtSample_.size()
               ? pictureAtSample_[size_t(sample)]
               : -1;
}

int IndexOnlyReader::FindKeySample(int sample, bool forward) const {
    if (forward) {
        const auto at = std::lower_bound(keySamples_.begin(), keySamples_.end(), sample);
        return at == keySamples_.end() ? -1 : *at;
    }
    const auto after = std::upper_bound(keySamples_.begin(), keySamples_.end(), sample);
    return after == keySamples_.begin() ? -1 : *(after - 1);
}

}  // namespace kivra
