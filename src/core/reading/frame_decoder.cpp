#include "reading/frame_decoder.h"

#include <algorithm>

#include "picture/picture_cache.h"
#include "picture/picture_converter.h"
#include "platform/ffmpeg_handles.h"
#include "reading/decode_pipeline.h"
#include "reading/picture_source.h"

namespace kivra {

namespace {

constexpr int kNoFrame = -1;

}  // namespace

// The showing side: the pictures of the stream's picture source, kept by reference as the one
// shown, and their conversion into the caller's bitmap.
class AviFrameDecoder::Impl {
public:
    bool Open(const std::string& path, const AviFile& file, int streamIndex, OpenResult* result);
    bool OpenOn(std::shared_ptr<const ChunkTable> chunks, OpenResult* result);
    bool GetFrame(int sample, Dib& into);
    const AVFrame* GetPicture(int sample);
    DecoderStats Stats() const;

    std::shared_ptr<const ChunkTable> table;
    ReaderFormat format;
    std::unique_ptr<PictureSource> source;

private:
    // Keeps a reference to frame as the picture shown.
    bool Show(int display, const AVFrame& frame);
    bool Convert(const AVFrame& frame, Dib& into);

    PictureConverter converter_;
    // The picture last shown, by reference: showing it again converts it without decoding.
    AvFramePtr shown_ = AvFramePtr(av_frame_alloc());
    int currentDisplay_ = kNoFrame;
    int64_t conversions_ = 0;
};

bool AviFrameDecoder::Impl::Open(const std::string& path, const AviFile& file, int streamIndex,
                                 OpenResult* result) {
    ChunkTable::BuildResult built = ChunkTable::BuildResult::CannotRead;
    table = ChunkTable::Build(path, file, streamIndex, &built);
    if (!table) {
        *result = built == ChunkTable::BuildResult::NoDecoder ? OpenResult::NoDecoder
                                                              : OpenResult::CannotRead;
        return false;
    }
    const AviStream& stream = file.streams[size_t(streamIndex)];
    format.rate = stream.header.rate;
    format.scale = stream.header.scale;
    if (table->codecpar) {
        format.width = table->codecpar->width;
        format.height = table->codecpar->height;
    }
    return OpenOn(table, result);
}

bool AviFrameDecoder::Impl::OpenOn(std::shared_ptr<const ChunkTable> chunks, OpenResult* result) {
    table = std::move(chunks);
    // The key frames are what the decoding ahead plans its runs by; they live as long as the
    // table. A picture that does not come out is tried once more from its own key frame.
    std::shared_ptr<const std::vector<int32_t>> keys(table, &table->keyOrdinals);
    source = PictureSource::Open(
        std::move(keys),
        [table = table](int threads, PictureCache& into) -> std::unique_ptr<GroupDecoder> {
            return DecodePipeline::Create(table, threads, &into);
        },
        0);
    if (!source || !shown_) {
        *result = OpenResult::NoDecoder;
        return false;
    }
    *result = OpenResult::Ok;
    return true;
}

bool AviFrameDecoder::Impl::Show(int display, const AVFrame& frame) {
    if (frame.width <= 0 || frame.height <= 0) {
        return false;
    }
    av_frame_unref(shown_.get());
    // Without it, showing it again decodes it again.
    if (av_frame_ref(shown_.get(), &frame) < 0) {
        currentDisplay_ = kNoFrame;
        return false;
    }
    currentDisplay_ = display;
    return true;
}

bool AviFrameDecoder::Impl::Convert(const AVFrame& frame, Dib& into) {
    if (frame.width <= 0 || frame.height <= 0) {
        return false;
    }
    if (into.Width() != frame.width || into.Height() != frame.height || into.TopDown() ||
        into.header.biBitCount != 24 ||
        into.bits.size() != size_t(DibStride(frame.width, 24)) * size_t(frame.height)) {
        into.Reset24(frame.width, frame.height);
    }
    ++conversions_;
    return converter_.ToBottomUpBgr24(frame, into.bits.data(), into.bits.size());
}

const AVFrame* AviFrameDecoder::Impl::GetPicture(int sample) {
    if (sample < 0 || size_t(sample) >= table->samples.size()) {
        return nullptr;
    }
    const int target = table->ordinalAtSample[size_t(sample)];
    if (target < 0) {
        return nullptr;
    }
    if (target == currentDisplay_ && shown_->buf[0] != nullptr) {
        return shown_.get();
    }
    const AVFrame* picture = source->Get(target);
    const bool shown = picture != nullptr && Show(target, *picture);
    source->Release();
    return shown ? shown_.get() : nullptr;
}

bool AviFrameDecoder::Impl::GetFrame(int sample, Dib& into) {
    const AVFrame* picture = GetPicture(sample);
    return picture != nullptr && Convert(*picture, into);
}

DecoderStats AviFrameDecoder::Impl::Stats() const {
    DecoderStats stats = source->Stats();
    stats.conversions = conversions_;
    return stats;
}

std::unique_ptr<AviFrameDecoder> AviFrameDecoder::Open(const std::string& path, const AviFile& file,
                                                       int streamIndex, OpenResult* result) {
    OpenResult ignored;
    OpenResult* out = result != nullptr ? result : &ignored;
    auto impl = std::make_unique<Impl>();
    if (!impl->Open(path, file, streamIndex, out)) {
        return nullptr;
    }
    return std::unique_ptr<AviFrameDecoder>(new AviFrameDecoder(std::move(impl)));
}

std::unique_ptr<VideoReader> AviFrameDecoder::OpenSibling() const {
    auto impl = std::make_unique<Impl>();
    impl->format = impl_->format;
    OpenResult ignored;
    if (!impl->OpenOn(impl_->table, &ignored)) {
        return nullptr;
    }
    return std::unique_ptr<AviFrameDecoder>(new AviFrameDecoder(std::move(impl)));
}

AviFrameDecoder::AviFrameDecoder(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
AviFrameDecoder::~AviFrameDecoder() = default;

bool AviFrameDecoder::GetFrame(int sample, Dib& into) {
    return impl_->GetFrame(sample, into);
}
const AVFrame* AviFrameDecoder::GetPicture(int sample) {
    return impl_->GetPicture(sample);
}
int AviFrameDecoder::PictureOf(int sample) const {
    const ChunkTable& table = *impl_->table;
    return sample >= 0 && size_t(sample) < table.ordinalAtSample.size()
               ? table.ordinalAtSample[size_t(sample)]
               : kNoFrame;
}
int AviFrameDecoder::FindKeySample(int sample, bool forward) const {
    const ChunkTable& table = *impl_->table;
    const std::vector<int32_t>& keys = table.keyOrdinals;
    const auto at = std::partition_point(keys.begin(), keys.end(), [&](int32_t ordinal) {
        return table.sampleOfOrdinal[size_t(ordinal)] < sample;
    });
    if (forward) {
        return at == keys.end() ? kNoFrame : table.sampleOfOrdinal[size_t(*at)];
    }
    if (at != keys.end() && table.sampleOfOrdinal[size_t(*at)] == sample) {
        return sample;
    }
    return at == keys.begin() ? kNoFrame : table.sampleOfOrdinal[size_t(*(at - 1))];
}
int AviFrameDecoder::SampleCount() const {
    return int(impl_->table->samples.size());
}
ReaderFormat AviFrameDecoder::Format() const {
    return impl_->format;
}
DecoderStats AviFrameDecoder::Stats() const {
    return impl_->Stats();
}
std::string AviFrameDecoder::CodecName() const {
    return static_cast<const DecodePipeline&>(impl_->source->Decoder()).CodecName();
}

void AviFrameDecoder::SetCacheLimit(size_t bytes) {
    impl_->source->SetCacheLimit(bytes);
}

size_t AviFrameDecoder::CacheBytes() const {
    return impl_->source->CacheBytes();
}

void AviFrameDecoder::WaitForPrefetch() {
    impl_->source->WaitIdle();
}

}  // namespace kivra
