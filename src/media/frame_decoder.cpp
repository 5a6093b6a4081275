#include "media/frame_decoder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <list>
#include <unordered_map>

#include "media/ffmpeg_handles.h"
#include "platform/four_cc.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

namespace kivra {

namespace {

constexpr int kNoFrame = -1;

// Closes a POSIX file descriptor on scope exit.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    void Reset(int fd) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

private:
    int fd_;
};

bool ReadAt(int fd, uint64_t offset, uint8_t* out, size_t size) {
    while (size > 0) {
        const ssize_t n = ::pread(fd, out, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        out += n;
        offset += uint64_t(n);
        size -= size_t(n);
    }
    return true;
}

// Full-range YUV formats are described to swscale as their limited twins plus a range flag.
AVPixelFormat PlainFormat(AVPixelFormat format, bool* fullRange) {
    switch (format) {
        case AV_PIX_FMT_YUVJ420P:
            *fullRange = true;
            return AV_PIX_FMT_YUV420P;
        case AV_PIX_FMT_YUVJ422P:
            *fullRange = true;
            return AV_PIX_FMT_YUV422P;
        case AV_PIX_FMT_YUVJ444P:
            *fullRange = true;
            return AV_PIX_FMT_YUV444P;
        case AV_PIX_FMT_YUVJ440P:
            *fullRange = true;
            return AV_PIX_FMT_YUV440P;
        case AV_PIX_FMT_YUVJ411P:
            *fullRange = true;
            return AV_PIX_FMT_YUV411P;
        default:
            return format;
    }
}

// Offsets of the NAL units of an H.264 access unit, Annex B or length-prefixed.
bool H264HasIdr(const uint8_t* data, size_t size, int lengthSize) {
    if (lengthSize > 0) {
        size_t pos = 0;
        while (pos + size_t(lengthSize) < size) {
            uint32_t len = 0;
            for (int i = 0; i < lengthSize; ++i) {
                len = (len << 8) | data[pos + size_t(i)];
            }
            pos += size_t(lengthSize);
            if (len == 0 || len > size - pos) {
                return false;
            }
            if ((data[pos] & 0x1F) == 5) {
                return true;
            }
            pos += len;
        }
        return false;
    }
    for (size_t i = 0; i + 3 < size; ++i) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            if ((data[i + 3] & 0x1F) == 5) {
                return true;
            }
            i += 2;
        }
    }
    return false;
}

// The coding type of the first MPEG-4 part 2 picture in a chunk: 0 I, 1 P, 2 B, 3 S; -1 none;
// -2 when the chunk packs more than one picture.
int Mpeg4VopType(const uint8_t* data, size_t size) {
    int type = -1;
    for (size_t i = 0; i + 4 < size; ++i) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1 && data[i + 3] == 0xB6) {
            if (type != -1) {
                return -2;
            }
            type = data[i + 4] >> 6;
            i += 3;
        }
    }
    return type;
}

}  // namespace

// Decoding state. Pictures are identified by the ordinal of the chunk they were coded in (sent
// as the packet's timestamp, which libavcodec carries to the picture); display numbers follow
// from that, also for codecs that reorder pictures.
class AviFrameDecoder::Impl {
public:
    bool Open(const std::string& path, const AviFile& file, int streamIndex, OpenResult* result);
    const Dib* GetFrame(int sample);

    std::vector<AviSample> samples;
    std::vector<int32_t> ordinalAtSample;  // ordinal of the last non-empty chunk <= sample, or -1
    std::vector<int32_t> sampleOfOrdinal;
    std::vector<int32_t> keyOrdinals;  // sorted
    std::vector<int8_t> leadingCache;  // per key index: -2 not computed, -1 unknown, else count
    DecoderStats stats;
    std::string codecName;
    size_t cacheLimit = size_t(512) << 20;

    size_t CacheBytes() const { return cacheBytes_; }
    void DropCache();

private:
    // Decoded pictures by display number, least recently used first out, bounded in bytes, so
    // stepping backwards through a group of pictures does not decode the group again.
    struct CachedPicture {
        AvFramePtr frame;
        size_t bytes = 0;
        std::list<int>::iterator use;
    };
    void Remember(int display, const AVFrame& frame);
    const AVFrame* Recall(int display);

    const Dib* DecodeDisplay(int target);
    void StartRun(int target);
    bool SendNext();
    bool Convert(const AVFrame& frame);
    int KeyIndexFor(int ordinal) const;
    int LeadingCount(int keyIndex);
    bool ReadChunk(int ordinal, std::vector<uint8_t>& out, size_t limit) const;

    FileDescriptor fd_;
    uint64_t fileSize_ = 0;
    AvCodecContextPtr ctx_;
    AvFramePtr frame_ = AvFramePtr(av_frame_alloc());
    AvPacketPtr packet_ = AvPacketPtr(av_packet_alloc());
    SwsContextPtr sws_;
    int h264LengthSize_ = 0;

    bool reorder_ = false;   // the codec may output pictures in another order than coded
    bool runValid_ = false;  // decoder state continues from earlier calls
    bool drained_ = false;
    bool steady_ = false;   // display numbers of outputs are established
    int fedUpTo_ = 0;       // next ordinal to send
    int countFrom_ = 0;     // outputs coded before this ordinal belong to the lead-in
    int firstDisplay_ = 0;  // display number of the first counted output of a run
    int keyOfRun_ = 0;      // ordinal of the key frame whose group the run is after
    int leadingOfRun_ = 0;
    int skipNonRefBefore_ = 0;  // lead-in chunks only matter as references
    int nextDisplay_ = 0;
    int currentDisplay_ = kNoFrame;
    bool rememberRun_ = false;
    Dib dib_;

    std::unordered_map<int, CachedPicture> cache_;
    std::list<int> uses_;  // most recent at the front
    size_t cacheBytes_ = 0;
};

void AviFrameDecoder::Impl::Remember(int display, const AVFrame& frame) {
    if (cacheLimit == 0 || cache_.count(display) != 0) {
        return;
    }
    size_t bytes = sizeof(AVFrame);
    for (const AVBufferRef* buffer : frame.buf) {
        bytes += buffer != nullptr ? buffer->size : 0;
    }
    if (bytes > cacheLimit) {
        return;
    }
    while (cacheBytes_ + bytes > cacheLimit && !uses_.empty()) {
        const auto oldest = cache_.find(uses_.back());
        cacheBytes_ -= oldest->second.bytes;
        cache_.erase(oldest);
        uses_.pop_back();
    }
    // A copy, not a reference: holding the decoder's own buffers makes some decoders (H.264)
    // grow their buffer pools by far more than the pictures kept.
    AvFramePtr ref(av_frame_alloc());
    if (!ref) {
        return;
    }
    ref->format = frame.format;
    ref->width = frame.width;
    ref->height = frame.height;
    if (av_frame_get_buffer(ref.get(), 0) < 0 || av_frame_copy(ref.get(), &frame) < 0 ||
        av_frame_copy_props(ref.get(), &frame) < 0) {
        return;
    }
    uses_.push_front(display);
    cache_.emplace(display, CachedPicture{std::move(ref), bytes, uses_.begin()});
    cacheBytes_ += bytes;
}

const AVFrame* AviFrameDecoder::Impl::Recall(int display) {
    const auto it = cache_.find(display);
    if (it == cache_.end()) {
        return nullptr;
    }
    uses_.splice(uses_.begin(), uses_, it->second.use);
    return it->second.frame.get();
}

void AviFrameDecoder::Impl::DropCache() {
    cache_.clear();
    uses_.clear();
    cacheBytes_ = 0;
}

bool AviFrameDecoder::Impl::Open(const std::string& path, const AviFile& file, int streamIndex,
                                 OpenResult* result) {
    *result = OpenResult::CannotRead;
    if (streamIndex < 0 || streamIndex >= int(file.streams.size())) {
        return false;
    }
    // The codec parameters (codec id, extradata, raw layouts, bottom-up flags) are what
    // libavformat's AVI reader derives from the headers; the chunks we read ourselves.
    AVFormatContext* raw = nullptr;
    const AVInputFormat* avi = av_find_input_format("avi");
    if (avformat_open_input(&raw, path.c_str(), avi, nullptr) < 0) {
        return false;
    }
    AvFormatInputPtr input(raw);
    int videoOrdinal = 0;
    for (int i = 0; i < streamIndex; ++i) {
        videoOrdinal +=
            file.streams[size_t(i)].header.fccType == MakeFourCC('v', 'i', 'd', 's') ? 1 : 0;
    }
    const AVStream* stream = nullptr;
    for (unsigned i = 0, seen = 0; i < input->nb_streams; ++i) {
        if (input->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            if (int(seen++) == videoOrdinal) {
                stream = input->streams[i];
                break;
            }
        }
    }
    if (stream == nullptr) {
        return false;
    }
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (codec == nullptr) {
        *result = OpenResult::NoDecoder;
        return false;
    }
    ctx_.reset(avcodec_alloc_context3(codec));
    if (!ctx_ || avcodec_parameters_to_context(ctx_.get(), stream->codecpar) < 0) {
        *result = OpenResult::NoDecoder;
        return false;
    }
    // Two threads: the machines this runs on have at least two cores, and forward play of
    // long-GOP HD video needs them. Pictures are told apart by timestamp, not by output order.
    ctx_->thread_count = 2;
    ctx_->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    if (avcodec_open2(ctx_.get(), codec, nullptr) < 0) {
        *result = OpenResult::NoDecoder;
        return false;
    }
    codecName = codec->name;
    if (ctx_->codec_id == AV_CODEC_ID_H264 && ctx_->extradata_size > 4 && ctx_->extradata[0] == 1) {
        h264LengthSize_ = (ctx_->extradata[4] & 3) + 1;
    }
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(ctx_->codec_id);
    reorder_ = descriptor != nullptr && (descriptor->props & AV_CODEC_PROP_REORDER) != 0;
    input.reset();

    fd_.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (fd_.get() < 0 || ::fstat(fd_.get(), &st) != 0) {
        return false;
    }
    fileSize_ = uint64_t(st.st_size);

    samples = file.streams[size_t(streamIndex)].samples;
    // A file whose index was lost cannot say which chunks are key frames; for codecs that code
    // pictures from earlier ones, only the first picture is safe to start from.
    const bool intraOnly = descriptor != nullptr && (descriptor->props & AV_CODEC_PROP_INTRA_ONLY);
    if (!file.indexed && !intraOnly) {
        for (size_t s = 1; s < samples.size(); ++s) {
            samples[s].key = false;
        }
    }
    ordinalAtSample.resize(samples.size());
    int32_t last = -1;
    for (size_t s = 0; s < samples.size(); ++s) {
        AviSample& sample = samples[s];
        // A chunk the file no longer holds (truncated file) counts as a dropped frame.
        if (sample.offset > fileSize_ || sample.size > fileSize_ - sample.offset) {
            sample.size = 0;
        }
        if (sample.size > 0) {
            last = int32_t(sampleOfOrdinal.size());
            if (sample.key || sampleOfOrdinal.empty()) {
                keyOrdinals.push_back(last);
            }
            sampleOfOrdinal.push_back(int32_t(s));
        }
        ordinalAtSample[s] = last;
    }
    leadingCache.assign(keyOrdinals.size(), -2);
    *result = OpenResult::Ok;
    return true;
}

int AviFrameDecoder::Impl::KeyIndexFor(int ordinal) const {
    const auto it = std::upper_bound(keyOrdinals.begin(), keyOrdinals.end(), ordinal);
    return it == keyOrdinals.begin() ? 0 : int(it - keyOrdinals.begin()) - 1;
}

bool AviFrameDecoder::Impl::ReadChunk(int ordinal, std::vector<uint8_t>& out, size_t limit) const {
    const AviSample& sample = samples[size_t(sampleOfOrdinal[size_t(ordinal)])];
    out.resize(std::min<size_t>(sample.size, limit));
    return ReadAt(fd_.get(), sample.offset, out.data(), out.size());
}

// How many pictures coded after this key frame are shown before it; -1 when it cannot be told
// from the chunk headers (the caller then decodes the previous group for references).
int AviFrameDecoder::Impl::LeadingCount(int keyIndex) {
    int8_t& cached = leadingCache[size_t(keyIndex)];
    if (cached != -2) {
        return cached;
    }
    const int key = keyOrdinals[size_t(keyIndex)];
    std::vector<uint8_t> head;
    int count = -1;
    if (ctx_->codec_id == AV_CODEC_ID_H264) {
        // An IDR picture closes the group: nothing after it refers to earlier pictures.
        if (ReadChunk(key, head, size_t(1) << 20) &&
            H264HasIdr(head.data(), head.size(), h264LengthSize_)) {
            count = 0;
        }
    } else if (ctx_->codec_id == AV_CODEC_ID_MPEG4) {
        // B pictures straight after the I picture belong before it in display order.
        count = 0;
        for (int o = key + 1; o < int(sampleOfOrdinal.size()) && count < 64; ++o) {
            if (!ReadChunk(o, head, 512)) {
                count = -1;
                break;
            }
            const int type = Mpeg4VopType(head.data(), head.size());
            if (type == -2) {
                count = -1;
                break;
            }
            if (type != 2) {
                break;
            }
            ++count;
        }
    }
    cached = int8_t(count);
    return count;
}

void AviFrameDecoder::Impl::StartRun(int target) {
    avcodec_flush_buffers(ctx_.get());
    ++stats.seeks;
    const int keyIndex = KeyIndexFor(target);
    const int key = keyOrdinals.empty() ? 0 : keyOrdinals[size_t(keyIndex)];
    keyOfRun_ = key;
    countFrom_ = key;
    firstDisplay_ = key;
    leadingOfRun_ = 0;
    skipNonRefBefore_ = 0;
    fedUpTo_ = key;
    if (reorder_ && keyIndex > 0) {
        const int leading = LeadingCount(keyIndex);
        if (leading < 0 || target < key + leading) {
            // Decode the previous group's reference pictures so the leading ones can be shown.
            fedUpTo_ = keyOrdinals[size_t(keyIndex - 1)];
            skipNonRefBefore_ = key;
        } else {
            leadingOfRun_ = leading;
        }
    }
    steady_ = false;
    drained_ = false;
    runValid_ = true;
}

bool AviFrameDecoder::Impl::SendNext() {
    if (fedUpTo_ >= int(sampleOfOrdinal.size())) {
        drained_ = true;
        return avcodec_send_packet(ctx_.get(), nullptr) >= 0;
    }
    const int ordinal = fedUpTo_++;
    const AviSample& sample = samples[size_t(sampleOfOrdinal[size_t(ordinal)])];
    av_packet_unref(packet_.get());
    if (av_new_packet(packet_.get(), int(std::min<uint32_t>(sample.size, INT32_MAX - 64))) < 0 ||
        !ReadAt(fd_.get(), sample.offset, packet_->data, size_t(packet_->size))) {
        return true;  // an unreadable chunk is a lost picture, not the end
    }
    packet_->pts = ordinal;
    packet_->dts = ordinal;
    if (sample.key) {
        packet_->flags |= AV_PKT_FLAG_KEY;
    }
    ctx_->skip_frame = ordinal < skipNonRefBefore_ ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
    ++stats.packetsSent;
    const int ret = avcodec_send_packet(ctx_.get(), packet_.get());
    // Invalid data is a lost picture; EAGAIN cannot happen as we only send after draining output.
    return ret >= 0 || ret == AVERROR_INVALIDDATA || ret == AVERROR(EAGAIN);
}

const Dib* AviFrameDecoder::Impl::DecodeDisplay(int target) {
    const int keyIndex = KeyIndexFor(target);
    const int key = keyOrdinals.empty() ? 0 : keyOrdinals[size_t(keyIndex)];
    const bool canContinue =
        runValid_ && !drained_ && steady_ && target >= nextDisplay_ && key <= fedUpTo_;
    // Pictures are kept only on the way to a target behind the current one: those are the ones
    // the following backward steps need. Forward stepping and jumps ahead keep nothing, so they
    // stay as lean and fast as a decoder without a cache.
    rememberRun_ = !canContinue && currentDisplay_ != kNoFrame && target < currentDisplay_;
    if (!canContinue) {
        StartRun(target);
    }
    for (;;) {
        const int ret = avcodec_receive_frame(ctx_.get(), frame_.get());
        if (ret == AVERROR(EAGAIN)) {
            if (drained_ || !SendNext()) {
                runValid_ = false;
                return nullptr;
            }
            continue;
        }
        if (ret < 0) {
            runValid_ = false;
            return nullptr;
        }
        ++stats.framesDecoded;
        const int64_t coded = frame_->pts;
        int display;
        if (!reorder_) {
            display = coded != AV_NOPTS_VALUE ? int(coded) : nextDisplay_;
        } else {
            if (!steady_) {
                if (coded != AV_NOPTS_VALUE && coded < countFrom_) {
                    av_frame_unref(frame_.get());
                    continue;  // a lead-in reference picture
                }
                // The key picture comes after its leading pictures; those not decodable
                // without the previous group were dropped by the decoder.
                nextDisplay_ = firstDisplay_ + (coded == keyOfRun_ ? leadingOfRun_ : 0);
                steady_ = true;
            }
            display = nextDisplay_;
        }
        nextDisplay_ = display + 1;
        steady_ = true;
        if (rememberRun_) {
            Remember(display, *frame_);
        }
        if (display == target) {
            const bool ok = Convert(*frame_);
            av_frame_unref(frame_.get());
            if (!ok) {
                return nullptr;
            }
            currentDisplay_ = target;
            return &dib_;
        }
        av_frame_unref(frame_.get());
        if (display > target) {
            return nullptr;  // the wanted picture was lost in the file
        }
    }
}

bool AviFrameDecoder::Impl::Convert(const AVFrame& frame) {
    if (frame.width <= 0 || frame.height <= 0 || frame.format < 0) {
        return false;
    }
    bool fullRange = frame.color_range == AVCOL_RANGE_JPEG;
    const AVPixelFormat source = PlainFormat(AVPixelFormat(frame.format), &fullRange);
    sws_.reset(sws_getCachedContext(sws_.release(), frame.width, frame.height, source, frame.width,
                                    frame.height, AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr,
                                    nullptr));
    if (!sws_) {
        return false;
    }
    const int matrix = frame.colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_DEFAULT;
    const int* coefficients = sws_getCoefficients(matrix);
    sws_setColorspaceDetails(sws_.get(), coefficients, fullRange ? 1 : 0, coefficients, 1, 0,
                             1 << 16, 1 << 16);
    if (dib_.Width() != frame.width || dib_.Height() != frame.height) {
        dib_.Reset24(frame.width, frame.height);
    }
    // Bottom-up rows, as device-independent bitmaps store them.
    const int stride = dib_.Stride();
    uint8_t* dst[4] = {dib_.bits.data() + size_t(frame.height - 1) * size_t(stride), nullptr,
                       nullptr, nullptr};
    const int dstStride[4] = {-stride, 0, 0, 0};
    ++stats.conversions;
    return sws_scale(sws_.get(), frame.data, frame.linesize, 0, frame.height, dst, dstStride) ==
           frame.height;
}

const Dib* AviFrameDecoder::Impl::GetFrame(int sample) {
    if (sample < 0 || size_t(sample) >= samples.size()) {
        return nullptr;
    }
    const int target = ordinalAtSample[size_t(sample)];
    if (target < 0) {
        return nullptr;
    }
    if (target == currentDisplay_) {
        return &dib_;
    }
    if (const AVFrame* cached = Recall(target)) {
        ++stats.cacheHits;
        if (!Convert(*cached)) {
            return nullptr;
        }
        currentDisplay_ = target;
        return &dib_;
    }
    const bool wasReorder = reorder_;
    const Dib* result = DecodeDisplay(target);
    // A codec that may reorder but does not (no B pictures) is numbered by its chunks, which
    // survives damaged pictures; decide once the decoder has seen the stream's headers.
    if (wasReorder && ctx_->has_b_frames == 0 && stats.framesDecoded > 0) {
        reorder_ = false;
        runValid_ = false;
    }
    return result;
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

AviFrameDecoder::AviFrameDecoder(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
AviFrameDecoder::~AviFrameDecoder() = default;

const Dib* AviFrameDecoder::GetFrame(int sample) {
    return impl_->GetFrame(sample);
}
int AviFrameDecoder::SampleCount() const {
    return int(impl_->samples.size());
}
const DecoderStats& AviFrameDecoder::Stats() const {
    return impl_->stats;
}
std::string AviFrameDecoder::CodecName() const {
    return impl_->codecName;
}

void AviFrameDecoder::SetCacheLimit(size_t bytes) {
    impl_->cacheLimit = bytes;
    impl_->DropCache();
}

size_t AviFrameDecoder::CacheBytes() const {
    return impl_->CacheBytes();
}

}  // namespace kivra
