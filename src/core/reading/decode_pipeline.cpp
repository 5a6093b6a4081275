#include "reading/decode_pipeline.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "platform/four_cc.h"

namespace kivra {

namespace {

// Whether an H.264 access unit, Annex B or length-prefixed, holds an IDR picture.
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

// libavformat's reading end over a file we opened: reads by position, so it never blocks and
// never disturbs the decoders' reads of the same file. Lives while the demuxer uses it.
class FileReadIo {
public:
    explicit FileReadIo(const ReadOnlyFile& file) : file_(file) {
        auto* buffer = static_cast<uint8_t*>(av_malloc(kBufferSize));
        if (buffer != nullptr) {
            io_ = avio_alloc_context(buffer, kBufferSize, 0, this, &ReadPacket, nullptr, &Seek);
            if (io_ == nullptr) {
                av_free(buffer);
            }
        }
    }
    ~FileReadIo() {
        if (io_ != nullptr) {
            av_freep(&io_->buffer);
            avio_context_free(&io_);
        }
    }
    FileReadIo(const FileReadIo&) = delete;
    FileReadIo& operator=(const FileReadIo&) = delete;

    bool ok() const { return io_ != nullptr; }
    AVIOContext* get() const { return io_; }

private:
    static constexpr int kBufferSize = 64 * 1024;

    static int ReadPacket(void* opaque, uint8_t* data, int size) {
        auto* self = static_cast<FileReadIo*>(opaque);
        const uint64_t total = self->file_.size();
        if (self->position_ >= total || size <= 0) {
            return AVERROR_EOF;
        }
        const size_t n = size_t(std::min<uint64_t>(uint64_t(size), total - self->position_));
        if (!self->file_.Read(self->position_, data, n)) {
            return AVERROR(EIO);
        }
        self->position_ += n;
        return int(n);
    }

    static int64_t Seek(void* opaque, int64_t offset, int whence) {
        auto* self = static_cast<FileReadIo*>(opaque);
        const auto total = int64_t(self->file_.size());
        if (whence & AVSEEK_SIZE) {
            return total;
        }
        int64_t base = 0;
        switch (whence & ~AVSEEK_FORCE) {
            case SEEK_SET:
                break;
            case SEEK_CUR:
                base = int64_t(self->position_);
                break;
            case SEEK_END:
                base = total;
                break;
            default:
                return AVERROR(EINVAL);
        }
        if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0) {
            return AVERROR(EINVAL);
        }
        self->position_ = uint64_t(base + offset);
        return int64_t(self->position_);
    }

    const ReadOnlyFile& file_;
    AVIOContext* io_ = nullptr;
    uint64_t position_ = 0;
};

}  // namespace

std::shared_ptr<const ChunkTable> ChunkTable::Build(const std::string& path, const AviFile& file,
                                                    int streamIndex, BuildResult* result) {
    *result = BuildResult::CannotRead;
    if (streamIndex < 0 || streamIndex >= int(file.streams.size())) {
        return nullptr;
    }
    auto table = std::make_shared<ChunkTable>(path);
    if (!table->file.ok()) {
        return nullptr;
    }
    // The codec parameters (codec id, extradata, raw layouts, bottom-up flags) are what
    // libavformat's AVI reader derives from the headers; the chunks we read ourselves. It reads
    // the file already open, so a name that meanwhile became a FIFO cannot block it.
    FileReadIo io(table->file);
    AVFormatContext* raw = avformat_alloc_context();
    if (raw == nullptr || !io.ok()) {
        avformat_free_context(raw);
        return nullptr;
    }
    raw->pb = io.get();
    const AVInputFormat* avi = av_find_input_format("avi");
    if (avformat_open_input(&raw, nullptr, avi, nullptr) < 0) {
        return nullptr;  // the context was freed by the failed open
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
        return nullptr;
    }
    AvCodecParametersPtr codecpar(avcodec_parameters_alloc());
    if (!codecpar || avcodec_parameters_copy(codecpar.get(), stream->codecpar) < 0) {
        return nullptr;
    }
    input.reset();
    const AVCodecParameters& par = *codecpar;
    if (avcodec_find_decoder(par.codec_id) == nullptr) {
        *result = BuildResult::NoDecoder;
        return nullptr;
    }
    table->codecpar = std::move(codecpar);
    if (par.codec_id == AV_CODEC_ID_H264 && par.extradata_size > 4 && par.extradata[0] == 1) {
        table->h264LengthSize = (par.extradata[4] & 3) + 1;
    }
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(par.codec_id);
    table->mayReorder = descriptor != nullptr && (descriptor->props & AV_CODEC_PROP_REORDER) != 0;
    const uint64_t fileSize = table->file.size();

    std::vector<AviSample>& samples = table->samples;
    samples = file.streams[size_t(streamIndex)].samples;
    // A file whose index was lost cannot say which chunks are key frames; for codecs that code
    // pictures from earlier ones, only the first picture is safe to start from.
    const bool intraOnly = descriptor != nullptr && (descriptor->props & AV_CODEC_PROP_INTRA_ONLY);
    if (!file.indexed && !intraOnly) {
        for (size_t s = 1; s < samples.size(); ++s) {
            samples[s].key = false;
        }
    }
    table->ordinalAtSample.resize(samples.size());
    int32_t last = -1;
    for (size_t s = 0; s < samples.size(); ++s) {
        AviSample& sample = samples[s];
        // A chunk the file no longer holds (truncated file) counts as a dropped frame.
        if (sample.offset > fileSize || sample.size > fileSize - sample.offset) {
            sample.size = 0;
        }
        if (sample.size > 0) {
            last = int32_t(table->sampleOfOrdinal.size());
            if (sample.key || table->sampleOfOrdinal.empty()) {
                table->keyOrdinals.push_back(last);
            }
            table->sampleOfOrdinal.push_back(int32_t(s));
        }
        table->ordinalAtSample[s] = last;
    }
    *result = BuildResult::Ok;
    return table;
}

int ChunkTable::KeyIndexFor(int ordinal) const {
    return GroupOf(keyOrdinals, ordinal);
}

DecodePipeline::DecodePipeline(std::shared_ptr<const ChunkTable> table)
    : table_(std::move(table)) {}

DecodePipeline::~DecodePipeline() = default;

std::unique_ptr<DecodePipeline> DecodePipeline::Create(std::shared_ptr<const ChunkTable> table,
                                                       int threads, PictureCache* cache) {
    if (!table || !table->codecpar) {
        return nullptr;
    }
    std::unique_ptr<DecodePipeline> pipeline(new DecodePipeline(std::move(table)));
    const ChunkTable& t = *pipeline->table_;
    const AVCodec* codec = avcodec_find_decoder(t.codecpar->codec_id);
    if (codec == nullptr || !pipeline->frame_ || !pipeline->packet_) {
        return nullptr;
    }
    pipeline->ctx_.reset(avcodec_alloc_context3(codec));
    if (!pipeline->ctx_ ||
        avcodec_parameters_to_context(pipeline->ctx_.get(), t.codecpar.get()) < 0) {
        return nullptr;
    }
    if (cache != nullptr) {
        pipeline->source_.cache = cache;
        PictureCache::DecodeInto(*pipeline->ctx_, pipeline->source_);
    }
    // Pictures are told apart by timestamp, not by output order, so frame threads are safe.
    pipeline->ctx_->thread_count = threads;
    pipeline->ctx_->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    if (avcodec_open2(pipeline->ctx_.get(), codec, nullptr) < 0) {
        return nullptr;
    }
    pipeline->reorder_ = t.mayReorder;
    pipeline->leadingCache_.assign(t.keyOrdinals.size(), -2);
    return pipeline;
}

std::string DecodePipeline::CodecName() const {
    return ctx_->codec != nullptr ? ctx_->codec->name : "";
}

bool DecodePipeline::ReadChunk(int ordinal, std::vector<uint8_t>& out, size_t limit) const {
    const AviSample& sample = table_->samples[size_t(table_->sampleOfOrdinal[size_t(ordinal)])];
    out.resize(std::min<size_t>(sample.size, limit));
    return table_->file.Read(sample.offset, out.data(), out.size());
}

// How many pictures coded after this key frame are shown before it; -1 when it cannot be told
// from the chunk headers (the previous group is then decoded for references).
int DecodePipeline::LeadingCount(int keyIndex) {
    int8_t& cached = leadingCache_[size_t(keyIndex)];
    if (cached != -2) {
        return cached;
    }
    const int key = table_->keyOrdinals[size_t(keyIndex)];
    std::vector<uint8_t> head;
    int count = -1;
    if (ctx_->codec_id == AV_CODEC_ID_H264) {
        // An IDR picture closes the group: nothing after it refers to earlier pictures.
        if (ReadChunk(key, head, size_t(1) << 20) &&
            H264HasIdr(head.data(), head.size(), table_->h264LengthSize)) {
            count = 0;
        }
    } else if (ctx_->codec_id == AV_CODEC_ID_MPEG4) {
        // B pictures straight after the I picture belong before it in display order.
        count = 0;
        for (int o = key + 1; o < table_->ChunkCount() && count < 64; ++o) {
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

int DecodePipeline::KeyPictureDisplay(int coded, int counted) {
    const std::vector<int32_t>& keys = table_->keyOrdinals;
    const auto it = std::lower_bound(keys.begin(), keys.end(), coded);
    if (it == keys.end() || *it != coded || it == keys.begin()) {
        return counted;
    }
    const int leading = LeadingCount(int(it - keys.begin()));
    return leading >= 0 ? coded + leading : counted;
}

void DecodePipeline::SetReorders(bool reorder) {
    if (reorder != reorder_) {
        reorder_ = reorder && table_->mayReorder;
        runValid_ = false;
    }
}

void DecodePipeline::SettleReordering() {
    if (reorder_ && ctx_->has_b_frames == 0 && stats_.framesDecoded > 0) {
        reorder_ = false;
        runValid_ = false;
    }
}

bool DecodePipeline::CanContinueTo(int target) const {
    const int keyIndex = table_->KeyIndexFor(target);
    const int key = table_->keyOrdinals.empty() ? 0 : table_->keyOrdinals[size_t(keyIndex)];
    // A drained run still holds the pictures the decoder had not given out yet: the last ones.
    return runValid_ && steady_ && target >= nextDisplay_ && key <= fedUpTo_;
}

void DecodePipeline::StartRun(int target, int fromGroup, bool withLeading) {
    avcodec_flush_buffers(ctx_.get());
    ReleasePicture();
    ++stats_.seeks;
    const std::vector<int32_t>& keys = table_->keyOrdinals;
    const int targetGroup = table_->KeyIndexFor(target);
    const int group = fromGroup < 0 ? targetGroup : std::min(fromGroup, targetGroup);
    const int key = keys.empty() ? 0 : keys[size_t(group)];
    keyOfRun_ = key;
    countFrom_ = key;
    firstDisplay_ = key;
    leadingOfRun_ = 0;
    skipNonRefBefore_ = 0;
    fedUpTo_ = key;
    if (reorder_ && group > 0) {
        const int leading = LeadingCount(group);
        if (leading < 0 || target < key + leading || (withLeading && leading > 0)) {
            // Decode the previous group's reference pictures so the leading ones can be shown.
            fedUpTo_ = keys[size_t(group - 1)];
            skipNonRefBefore_ = key;
        } else {
            leadingOfRun_ = leading;
        }
    }
    nextDisplay_ = key + leadingOfRun_;
    steady_ = false;
    drained_ = false;
    runValid_ = true;
}

int DecodePipeline::NextDisplay() const {
    return nextDisplay_;
}

void DecodePipeline::ReleasePicture() {
    av_frame_unref(frame_.get());
}

bool DecodePipeline::SendNext(StopCheck stop, void* context) {
    if (fedUpTo_ >= table_->ChunkCount()) {
        drained_ = true;
        return avcodec_send_packet(ctx_.get(), nullptr) >= 0;
    }
    if (stop != nullptr && stop(context)) {
        return false;
    }
    const int ordinal = fedUpTo_++;
    const AviSample& sample = table_->samples[size_t(table_->sampleOfOrdinal[size_t(ordinal)])];
    av_packet_unref(packet_.get());
    if (av_new_packet(packet_.get(), int(std::min<uint32_t>(sample.size, INT32_MAX - 64))) < 0 ||
        !table_->file.Read(sample.offset, packet_->data, size_t(packet_->size))) {
        return true;  // an unreadable chunk is a lost picture, not the end
    }
    packet_->pts = ordinal;
    packet_->dts = ordinal;
    if (sample.key) {
        packet_->flags |= AV_PKT_FLAG_KEY;
    }
    ctx_->skip_frame = ordinal < skipNonRefBefore_ ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
    ++stats_.packetsSent;
    const int ret = avcodec_send_packet(ctx_.get(), packet_.get());
    // Invalid data is a lost picture; EAGAIN cannot happen as we only send after draining output.
    return ret >= 0 || ret == AVERROR_INVALIDDATA || ret == AVERROR(EAGAIN);
}

int DecodePipeline::Next(StopCheck stop, void* context) {
    if (!runValid_) {
        return kRunEnded;
    }
    for (;;) {
        const int ret = avcodec_receive_frame(ctx_.get(), frame_.get());
        if (ret == AVERROR(EAGAIN)) {
            if (drained_ || !SendNext(stop, context)) {
                runValid_ = false;
                return kRunEnded;
            }
            continue;
        }
        if (ret < 0) {
            runValid_ = false;
            return kRunEnded;
        }
        ++stats_.framesDecoded;
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
            } else if (coded != AV_NOPTS_VALUE) {
                // A run through a key frame counts on; the key picture's own number does not
                // depend on where the run began, so a picture lost before it shifts nothing.
                nextDisplay_ = KeyPictureDisplay(int(coded), nextDisplay_);
            }
            display = nextDisplay_;
        }
        nextDisplay_ = display + 1;
        steady_ = true;
        return display;
    }
}

}  // namespace kivra
