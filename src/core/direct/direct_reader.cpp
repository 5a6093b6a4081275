#include "direct/direct_reader.h"

#include <algorithm>
#include <utility>

extern "C" {
#include <libavutil/imgutils.h>
}

namespace kivra {

namespace {

// A lost picture is tried again from one and two key pictures earlier.
constexpr int kOlderGroups = 2;

bool IsYuv420(int format) {
    return format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P;
}

// Copies one plane turned clockwise by turn degrees; width and height are the source's.
void TurnPlane(const uint8_t* src, int srcStride, int width, int height, uint8_t* dst,
               int dstStride, int turn) {
    if (turn == 180) {
        for (int y = 0; y < height; ++y) {
            const uint8_t* from = src + ptrdiff_t(height - 1 - y) * srcStride;
            uint8_t* to = dst + ptrdiff_t(y) * dstStride;
            for (int x = 0; x < width; ++x) {
                to[x] = from[width - 1 - x];
            }
        }
        return;
    }
    // The turned picture is height wide and width high.
    for (int y = 0; y < width; ++y) {
        uint8_t* to = dst + ptrdiff_t(y) * dstStride;
        if (turn == 90) {
            const uint8_t* column = src + y;
            for (int x = 0; x < height; ++x) {
                to[x] = column[ptrdiff_t(height - 1 - x) * srcStride];
            }
        } else {
            const uint8_t* column = src + (width - 1 - y);
            for (int x = 0; x < height; ++x) {
                to[x] = column[ptrdiff_t(x) * srcStride];
            }
        }
    }
}

}  // namespace

DirectReader::DirectReader(std::shared_ptr<const FrameIndex> index) : index_(std::move(index)) {}
DirectReader::~DirectReader() = default;

std::unique_ptr<DirectReader> DirectReader::Open(std::shared_ptr<const FrameIndex> index,
                                                 std::string* why) {
    std::string ignored;
    why = why != nullptr ? why : &ignored;
    if (!index) {
        *why = "no frame index";
        return nullptr;
    }
    std::unique_ptr<DirectReader> reader(new DirectReader(index));
    if (!reader->scaled_ || !reader->shown_) {
        *why = "out of memory";
        return nullptr;
    }
    // The groups the decoding ahead plans by live as long as the index. Only the showing
    // decoder, made first, says why it could not be opened.
    std::shared_ptr<const std::vector<int32_t>> keys(index, &index->keyPictures);
    std::string* reason = why;
    reader->source_ = PictureSource::Open(
        std::move(keys),
        [index, reason](int threads, PictureCache& cache) mutable -> std::unique_ptr<GroupDecoder> {
            std::string* const out = std::exchange(reason, nullptr);
            return DirectPipeline::Open(index, threads, &cache, out);
        },
        kOlderGroups);
    if (!reader->source_) {
        return nullptr;
    }
    return reader;
}

std::unique_ptr<VideoReader> DirectReader::OpenSibling() const {
    return Open(index_, nullptr);
}

bool DirectReader::Rotate(const AVFrame& upright, AVFrame& into) const {
    const int turn = index_->rotation;
    const bool sideways = turn == 90 || turn == 270;
    into.format = AV_PIX_FMT_YUV420P;
    into.width = sideways ? upright.height : upright.width;
    into.height = sideways ? upright.width : upright.height;
    if (av_frame_get_buffer(&into, 0) < 0) {
        return false;
    }
    for (int plane = 0; plane < 3; ++plane) {
        const int width = plane == 0 ? upright.width : (upright.width + 1) / 2;
        const int height = plane == 0 ? upright.height : (upright.height + 1) / 2;
        TurnPlane(upright.data[plane], upright.linesize[plane], width, height, into.data[plane],
                  into.linesize[plane], turn);
    }
    return true;
}

bool DirectReader::Show(const AVFrame& decoded) {
    const FrameIndex& index = *index_;
    av_frame_unref(shown_.get());
    if (decoded.width <= 0 || decoded.height <= 0) {
        return false;
    }
    if (!index.resize && index.rotation == 0) {
        return av_frame_ref(shown_.get(), &decoded) >= 0;
    }
    const bool sideways = index.rotation == 90 || index.rotation == 270;
    const int width = index.resize ? (sideways ? index.height : index.width) : decoded.width;
    const int height = index.resize ? (sideways ? index.width : index.height) : decoded.height;
    const AVFrame* upright = &decoded;
    if (index.resize || !IsYuv420(decoded.format)) {
        // As the conversion's scale filter does it.
        scaler_.reset(sws_getCachedContext(
            scaler_.release(), decoded.width, decoded.height, AVPixelFormat(decoded.format), width,
            height, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr));
        AVFrame& scaled = *scaled_;
        if (scaled.width != width || scaled.height != height || scaled.buf[0] == nullptr) {
            av_frame_unref(&scaled);
            scaled.format = AV_PIX_FMT_YUV420P;
            scaled.width = width;
            scaled.height = height;
            if (av_frame_get_buffer(&scaled, 0) < 0) {
                return false;
            }
        }
        if (!scaler_ || sws_scale(scaler_.get(), decoded.data, decoded.linesize, 0, decoded.height,
                                  scaled.data, scaled.linesize) != height) {
            return false;
        }
        scaled.color_range = decoded.color_range;
        scaled.colorspace = decoded.colorspace;
        upright = &scaled;
    }
    if (index.rotation == 0) {
        if (av_frame_ref(shown_.get(), upright) < 0) {
            return false;
        }
    } else if (!Rotate(*upright, *shown_)) {
        return false;
    }
    shown_->color_range = upright->color_range;
    shown_->colorspace = upright->colorspace;
    return true;
}

const AVFrame* DirectReader::GetPicture(int sample) {
    const int picture = PictureOf(sample);
    if (picture < 0) {
        return nullptr;
    }
    if (picture == shownPicture_ && shown_->buf[0] != nullptr) {
        return shown_.get();
    }
    shownPicture_ = -1;
    const AVFrame* decoded = source_->Get(picture);
    const bool shown = decoded != nullptr && Show(*decoded);
    source_->Release();
    if (!shown) {
        return nullptr;
    }
    shownPicture_ = picture;
    return shown_.get();
}

bool DirectReader::GetFrame(int sample, Dib& into) {
    const AVFrame* picture = GetPicture(sample);
    if (picture == nullptr) {
        return false;
    }
    if (into.Width() != picture->width || into.Height() != picture->height || into.TopDown() ||
        into.header.biBitCount != 24 ||
        into.bits.size() != size_t(DibStride(picture->width, 24)) * size_t(picture->height)) {
        into.Reset24(picture->width, picture->height);
    }
    ++conversions_;
    return converter_.ToBottomUpBgr24(*picture, into.bits.data(), into.bits.size());
}

int DirectReader::PictureOf(int sample) const {
    const std::vector<int32_t>& frames = index_->pictureAtSample;
    return sample >= 0 && size_t(sample) < frames.size() ? frames[size_t(sample)] : -1;
}

int DirectReader::FindKeySample(int sample, bool forward) const {
    const std::vector<int32_t>& keys = index_->keySamples;
    if (forward) {
        const auto at = std::lower_bound(keys.begin(), keys.end(), sample);
        return at == keys.end() ? -1 : *at;
    }
    const auto after = std::upper_bound(keys.begin(), keys.end(), sample);
    return after == keys.begin() ? -1 : *(after - 1);
}

void DirectReader::SetCacheLimit(size_t bytes) {
    source_->SetCacheLimit(bytes);
}

size_t DirectReader::CacheBytes() const {
    return source_->CacheBytes();
}

void DirectReader::WaitForPrefetch() {
    source_->WaitIdle();
}

int DirectReader::SampleCount() const {
    return int(index_->pictureAtSample.size());
}

ReaderFormat DirectReader::Format() const {
    return {index_->width, index_->height, index_->rate, index_->scale};
}

DecoderStats DirectReader::Stats() const {
    DecoderStats stats = source_->Stats();
    stats.conversions = conversions_;
    return stats;
}

std::string DirectReader::CodecName() const {
    return avcodec_get_name(index_->codecpar->codec_id);
}

}  // namespace kivra
