#include "output/avi_movie_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "platform/ffmpeg_handles.h"
#include "platform/compressors.h"
#include "platform/unique_fd.h"

extern "C" {
#include <libavutil/buffer.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

namespace kivra {
namespace {

constexpr int kIoBufferSize = 64 * 1024;
constexpr int kFrameAlign = 64;

struct AvFormatOutputDeleter {
    void operator()(AVFormatContext* ctx) const { avformat_free_context(ctx); }
};
struct AvIoDeleter {
    void operator()(AVIOContext* io) const {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
struct AvDictionaryDeleter {
    void operator()(AVDictionary* dict) const { av_dict_free(&dict); }
};
struct AvBufferPoolDeleter {
    void operator()(AVBufferPool* pool) const { av_buffer_pool_uninit(&pool); }
};
using AvFormatOutputPtr = std::unique_ptr<AVFormatContext, AvFormatOutputDeleter>;
using AvIoPtr = std::unique_ptr<AVIOContext, AvIoDeleter>;
using AvDictionaryPtr = std::unique_ptr<AVDictionary, AvDictionaryDeleter>;
using AvBufferPoolPtr = std::unique_ptr<AVBufferPool, AvBufferPoolDeleter>;

std::string ErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// mpegvideo-style encoders take a fixed quantiser through global_quality and the qscale flag.
bool UsesQscale(AVCodecID id) {
    constexpr std::array<AVCodecID, 11> ids = {
        AV_CODEC_ID_MJPEG,     AV_CODEC_ID_MPEG4,      AV_CODEC_ID_MSMPEG4V2,
        AV_CODEC_ID_MSMPEG4V3, AV_CODEC_ID_MPEG1VIDEO, AV_CODEC_ID_MPEG2VIDEO,
        AV_CODEC_ID_H263,      AV_CODEC_ID_H263P,      AV_CODEC_ID_FLV1,
        AV_CODEC_ID_WMV1,      AV_CODEC_ID_WMV2};
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

bool Has(const AVDictionary* dict, const char* key) {
    return av_dict_get(dict, key, nullptr, 0) != nullptr;
}

// Lossless codecs keep the input's colours; the others get the format their encoder lists first,
// which is the one players expect (4:2:0 for H.264, full-range 4:2:0 for MJPEG).
AVPixelFormat ChoosePixelFormat(const AVCodec& codec) {
    if (codec.pix_fmts == nullptr || codec.pix_fmts[0] == AV_PIX_FMT_NONE) {
        return AV_PIX_FMT_YUV420P;
    }
    const AVCodecDescriptor* desc = avcodec_descriptor_get(codec.id);
    const bool losslessOnly =
        desc && (desc->props & AV_CODEC_PROP_LOSSLESS) && !(desc->props & AV_CODEC_PROP_LOSSY);
    if (losslessOnly) {
        const AVPixelFormat best =
            avcodec_find_best_pix_fmt_of_list(codec.pix_fmts, AV_PIX_FMT_BGR0, 0, nullptr);
        if (best != AV_PIX_FMT_NONE) {
            return best;
        }
    }
    return codec.pix_fmts[0];
}

}  // namespace

const char* CreateErrorText(MovieCreateError error) {
    switch (error) {
        case MovieCreateError::None:
            return "";
        case MovieCreateError::FileOpen:
            return "** AVIFileOpen ERROR!!\n";
        case MovieCreateError::CreateStream:
            return "** AVIFileCreateStream ERROR!!\n";
        case MovieCreateError::MakeCompressed:
            return "** AVIMakeCompressedStream ERROR!!\n";
        case MovieCreateError::SetFormat:
            return "** AVIStreamSetFormat ERROR!!\n";
    }
    return "";
}

class AviMovieOutput::Impl {
public:
    ~Impl();

    MovieCreateError Open(const std::string& path, const MovieFormat& format,
                          const CompressOptions& options);
    // Only the encoder, opened as Open would and without any file.
    MovieCreateError OpenEncoderOnly(const MovieFormat& format, const CompressOptions& options);
    bool WriteFrame(const uint8_t* pixels, int stride);
    bool WriteFrame(AVFrame& frame);
    AVPixelFormat InputFormat() const { return raw_ ? AV_PIX_FMT_NONE : pixFmt_; }
    bool LendFrame(AVFrame& frame) const;
    bool Finish();
    bool Fail(const std::string& why) {
        if (detail.empty()) {
            detail = why;
        }
        return false;
    }

    std::string detail;

private:
    static int WritePacket(void* opaque, uint8_t* data, int size);
    static int64_t Seek(void* opaque, int64_t offset, int whence);

    MovieCreateError OpenFile(const std::string& path);
    MovieCreateError MakeEncoder(const CompressOptions& options);
    MovieCreateError OpenCodec(const MovieFormat& format);
    MovieCreateError OpenEncoder(const MovieFormat& format, const CompressOptions& options);
    bool FillFrame(const uint8_t* pixels, int stride);
    bool Encode(const AVFrame* frame);
    bool IoFailed() const { return io_ && io_->error < 0; }
    bool MarkRawHandler(uint32_t code);

    std::string path_;
    int fd_ = -1;
    dev_t dev_ = 0;
    ino_t ino_ = 0;
    bool finished_ = false;
    bool broken_ = false;
    AvIoPtr io_;
    AvFormatOutputPtr out_;
    AVStream* stream_ = nullptr;
    const AVCodec* codec_ = nullptr;
    AvCodecContextPtr enc_;
    AvDictionaryPtr dict_;
    bool raw_ = false;
    AVPixelFormat pixFmt_ = AV_PIX_FMT_NONE;  // the encoder's, kept apart for other threads
    int width_ = 0;
    int height_ = 0;
    SwsContextPtr sws_;
    AvBufferPoolPtr pool_;
    int frameBytes_ = 0;
    AvFramePtr frame_;
    AvPacketPtr packet_;
    int64_t nextPts_ = 0;
};

AviMovieOutput::Impl::~Impl() {
    // Encoder and muxer go first: they may still hold the file through the I/O context.
    enc_.reset();
    out_.reset();
    io_.reset();
    if (fd_ >= 0) {
        ::close(fd_);
    }
    if (!finished_ && !path_.empty()) {
        // Only the file this object made: a name replaced since is left alone.
        struct stat st {};
        if (::lstat(path_.c_str(), &st) == 0 && st.st_dev == dev_ && st.st_ino == ino_) {
            ::unlink(path_.c_str());
        }
    }
}

int AviMovieOutput::Impl::WritePacket(void* opaque, uint8_t* data, int size) {
    const int fd = static_cast<Impl*>(opaque)->fd_;
    int left = size;
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return AVERROR(errno);
        }
        if (n == 0) {
            return AVERROR(EIO);
        }
        data += n;
        left -= int(n);
    }
    return size;
}

int64_t AviMovieOutput::Impl::Seek(void* opaque, int64_t offset, int whence) {
    const int fd = static_cast<Impl*>(opaque)->fd_;
    if (whence & AVSEEK_SIZE) {
        struct stat st {};
        return ::fstat(fd, &st) == 0 ? int64_t(st.st_size) : AVERROR(errno);
    }
    const off_t at = ::lseek(fd, off_t(offset), whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : int64_t(at);
}

MovieCreateError AviMovieOutput::Impl::OpenFile(const std::string& path) {
    // The caller hands a fresh name: whatever is already there (a file, a planted link) is
    // never truncated or followed.
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        detail = std::strerror(errno);
        return MovieCreateError::FileOpen;
    }
    path_ = path;
    struct stat st {};
    if (::fstat(fd_, &st) == 0) {
        dev_ = st.st_dev;
        ino_ = st.st_ino;
    }
    auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
    if (buffer == nullptr) {
        detail = ErrorText(AVERROR(ENOMEM));
        return MovieCreateError::FileOpen;
    }
    io_.reset(avio_alloc_context(buffer, kIoBufferSize, 1, this, nullptr, &WritePacket, &Seek));
    if (!io_) {
        av_free(buffer);
        detail = ErrorText(AVERROR(ENOMEM));
        return MovieCreateError::FileOpen;
    }
    io_->seekable = AVIO_SEEKABLE_NORMAL;  // the muxer goes back for the index and the lengths
    return MovieCreateError::None;
}

MovieCreateError AviMovieOutput::Impl::MakeEncoder(const CompressOptions& options) {
    const auto info = FindCompressor(options.fccHandler);
    if (!info) {
        detail = "no encoder is installed for this compressor";
        return MovieCreateError::MakeCompressed;
    }
    raw_ = IsUncompressedCode(HandlerCodeText(options.fccHandler));
    AVDictionary* parsed = nullptr;
    const int parseResult =
        options.parameters.empty()
            ? 0
            : av_dict_parse_string(&parsed, options.parameters.c_str(), "=", ":", 0);
    dict_.reset(parsed);
    if (parseResult < 0) {
        detail = "cannot read the encoder options: " + ErrorText(parseResult);
        return MovieCreateError::MakeCompressed;
    }
    std::string encoderName = info->name;
    if (const AVDictionaryEntry* e = av_dict_get(dict_.get(), "encoder", nullptr, 0)) {
        encoderName = e->value;
        av_dict_set(&parsed, "encoder", nullptr, 0);
        dict_.release();
        dict_.reset(parsed);
    }
    codec_ = HasEncoder(encoderName.c_str()) ? avcodec_find_encoder_by_name(encoderName.c_str())
                                             : nullptr;
    const AVCodec* standard = avcodec_find_encoder_by_name(info->name.c_str());
    if (codec_ == nullptr || standard == nullptr || codec_->id != standard->id) {
        detail = "encoder " + encoderName + " does not write " + info->codeText;
        return MovieCreateError::MakeCompressed;
    }
    enc_.reset(avcodec_alloc_context3(codec_));
    if (!enc_) {
        detail = ErrorText(AVERROR(ENOMEM));
        return MovieCreateError::MakeCompressed;
    }
    const bool ownQuality =
        Has(dict_.get(), "crf") || Has(dict_.get(), "qp") || Has(dict_.get(), "global_quality");
    const bool ownGop = Has(dict_.get(), "g");
    const bool ownRate = Has(dict_.get(), "b");
    const bool ownThreads = Has(dict_.get(), "threads");

    AVDictionary* rest = dict_.release();
    const int setResult = av_opt_set_dict2(enc_.get(), &rest, AV_OPT_SEARCH_CHILDREN);
    dict_.reset(rest);
    if (setResult < 0) {
        detail = "bad encoder option value: " + ErrorText(setResult);
        return MovieCreateError::MakeCompressed;
    }
    if (const AVDictionaryEntry* unknown =
            av_dict_get(dict_.get(), "", nullptr, AV_DICT_IGNORE_SUFFIX)) {
        detail = std::string("unknown encoder option: ") + unknown->key;
        return MovieCreateError::MakeCompressed;
    }

    // The chooser's values, where the options line did not say otherwise.
    const AVOption* crf =
        enc_->priv_data ? av_opt_find(enc_->priv_data, "crf", nullptr, 0, 0) : nullptr;
    if (!raw_ && options.quality >= 0 && !ownQuality) {
        const double q = std::clamp(options.quality, 0, 10000) / 10000.0;
        if (crf != nullptr) {
            const double top = std::min(crf->max, 63.0);
            const double low = std::max(crf->min, 0.0);
            const double value = std::clamp(std::round(top * (1.0 - q)), low, top);
            av_opt_set_double(enc_->priv_data, "crf", value, 0);
        } else if (UsesQscale(codec_->id)) {
            const int qscale = int(std::lround(31.0 - 30.0 * q));
            enc_->flags |= AV_CODEC_FLAG_QSCALE;
            enc_->global_quality = qscale * FF_QP2LAMBDA;
        }
    }
    if (options.keyFrameEvery > 0 && !ownGop) {
        enc_->gop_size = options.keyFrameEvery;
    }
    if (options.bytesPerSecond > 0 && !ownRate && !raw_) {
        enc_->bit_rate = int64_t(options.bytesPerSecond) * 8;
        if (crf != nullptr) {
            // Constant quality with the data rate as its ceiling.
            enc_->rc_max_rate = enc_->bit_rate;
            enc_->rc_buffer_size = int(std::min<int64_t>(enc_->bit_rate * 2, INT32_MAX));
        }
    }
    if (!ownThreads) {
        enc_->thread_count = 0;
    }
    enc_->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    return MovieCreateError::None;
}

MovieCreateError AviMovieOutput::Impl::OpenCodec(const MovieFormat& format) {
    if (format.width <= 0 || format.height <= 0 || format.width > kMaxMovieSide ||
        format.height > kMaxMovieSide || format.rate == 0 || format.scale == 0 ||
        format.rate > uint32_t(INT32_MAX) || format.scale > uint32_t(INT32_MAX)) {
        detail = "unusable picture size or frame rate";
        return MovieCreateError::SetFormat;
    }
    width_ = format.width;
    height_ = format.height;
    const AVRational timeBase{int(format.scale), int(format.rate)};
    enc_->width = width_;
    enc_->height = height_;
    enc_->time_base = timeBase;
    enc_->framerate = AVRational{int(format.rate), int(format.scale)};
    enc_->sample_aspect_ratio = AVRational{1, 1};
    enc_->pix_fmt = raw_ ? AV_PIX_FMT_BGRA : ChoosePixelFormat(*codec_);
    const int result = avcodec_open2(enc_.get(), codec_, nullptr);
    if (result < 0) {
        detail = "the encoder refused the picture: " + ErrorText(result);
        return MovieCreateError::SetFormat;
    }
    return MovieCreateError::None;
}

MovieCreateError AviMovieOutput::Impl::OpenEncoder(const MovieFormat& format,
                                                   const CompressOptions& options) {
    const MovieCreateError opened = OpenCodec(format);
    if (opened != MovieCreateError::None) {
        return opened;
    }
    const AVRational timeBase{int(format.scale), int(format.rate)};
    int result = avcodec_parameters_from_context(stream_->codecpar, enc_.get());
    if (result < 0) {
        detail = ErrorText(result);
        return MovieCreateError::SetFormat;
    }
    if (raw_) {
        stream_->codecpar->codec_tag = 0;  // compression 0: plain RGB rows
    } else if (enc_->codec_tag == 0) {
        // The tag the user chose ("XVID" for mpeg4), when the container knows it for this codec.
        // Encoders that name their own tag by the layout they chose (utvideo) keep theirs.
        const AVCodecTag* const tags[] = {avformat_get_riff_video_tags(), nullptr};
        const auto standard = FindCompressor(options.fccHandler);
        stream_->codecpar->codec_tag = av_codec_get_id(tags, options.fccHandler) == codec_->id
                                           ? options.fccHandler
                                           : standard->code;
    }
    stream_->time_base = timeBase;
    stream_->avg_frame_rate = enc_->framerate;
    stream_->r_frame_rate = enc_->framerate;

    AVDictionary* muxerOptions = nullptr;
    // Rows are written bottom-up with a positive height, as bitmaps of this kind usually are.
    av_dict_set(&muxerOptions, "flipped_raw_rgb", raw_ ? "1" : "0", 0);
    result = avformat_write_header(out_.get(), &muxerOptions);
    av_dict_free(&muxerOptions);
    if (result < 0 || IoFailed()) {
        detail = "cannot write the file header: " + ErrorText(result < 0 ? result : io_->error);
        return MovieCreateError::SetFormat;
    }
    if (raw_ && !MarkRawHandler(options.fccHandler)) {
        detail = "cannot write the file header";
        return MovieCreateError::SetFormat;
    }

    if (!raw_ && enc_->pix_fmt != AV_PIX_FMT_BGR0) {
        sws_.reset(sws_getContext(width_, height_, AV_PIX_FMT_BGR0, width_, height_, enc_->pix_fmt,
                                  SWS_BICUBIC, nullptr, nullptr, nullptr));
        if (!sws_) {
            detail = "no conversion to the encoder's pixel format";
            return MovieCreateError::SetFormat;
        }
    }
    pixFmt_ = enc_->pix_fmt;
    frameBytes_ = av_image_get_buffer_size(enc_->pix_fmt, width_, height_, kFrameAlign);
    if (frameBytes_ <= 0) {
        detail = ErrorText(frameBytes_);
        return MovieCreateError::SetFormat;
    }
    pool_.reset(av_buffer_pool_init(size_t(frameBytes_), nullptr));
    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    if (!pool_ || !frame_ || !packet_) {
        detail = ErrorText(AVERROR(ENOMEM));
        return MovieCreateError::SetFormat;
    }
    return MovieCreateError::None;
}

// The muxer leaves the stream header's handler empty for plain RGB; the uncompressed code goes
// there, so readers name the stream's compressor as for any other.
bool AviMovieOutput::Impl::MarkRawHandler(uint32_t code) {
    avio_flush(io_.get());
    if (IoFailed()) {
        return false;
    }
    std::array<char, 4096> head{};
    const ssize_t n = ::pread(fd_, head.data(), head.size(), 0);
    if (n < 0) {
        return false;
    }
    const std::string_view text(head.data(), size_t(n));
    const size_t at = text.find("strh");
    if (at == std::string_view::npos || at + 16 > text.size()) {
        return false;
    }
    uint8_t bytes[4];
    for (int i = 0; i < 4; ++i) {
        bytes[i] = uint8_t((code >> (8 * i)) & 0xFF);
    }
    return ::pwrite(fd_, bytes, sizeof bytes, off_t(at + 12)) == ssize_t(sizeof bytes);
}

MovieCreateError AviMovieOutput::Impl::Open(const std::string& path, const MovieFormat& format,
                                            const CompressOptions& options) {
    MovieCreateError error = OpenFile(path);
    if (error != MovieCreateError::None) {
        return error;
    }
    AVFormatContext* out = nullptr;
    const int result = avformat_alloc_output_context2(&out, nullptr, "avi", nullptr);
    out_.reset(out);
    if (result < 0 || !out_) {
        detail = ErrorText(result < 0 ? result : AVERROR(ENOMEM));
        return MovieCreateError::CreateStream;
    }
    out_->pb = io_.get();
    out_->flags |= AVFMT_FLAG_CUSTOM_IO;
    stream_ = avformat_new_stream(out_.get(), nullptr);
    if (stream_ == nullptr) {
        detail = ErrorText(AVERROR(ENOMEM));
        return MovieCreateError::CreateStream;
    }
    error = MakeEncoder(options);
    if (error != MovieCreateError::None) {
        return error;
    }
    return OpenEncoder(format, options);
}

MovieCreateError AviMovieOutput::Impl::OpenEncoderOnly(const MovieFormat& format,
                                                       const CompressOptions& options) {
    const MovieCreateError error = MakeEncoder(options);
    return error != MovieCreateError::None ? error : OpenCodec(format);
}

bool AviMovieOutput::Impl::LendFrame(AVFrame& frame) const {
    av_frame_unref(&frame);
    AVBufferRef* buffer = av_buffer_pool_get(pool_.get());
    if (buffer == nullptr) {
        return false;
    }
    frame.buf[0] = buffer;
    frame.format = pixFmt_;
    frame.width = width_;
    frame.height = height_;
    av_image_fill_arrays(frame.data, frame.linesize, buffer->data, pixFmt_, width_, height_,
                         kFrameAlign);
    return true;
}

bool AviMovieOutput::Impl::FillFrame(const uint8_t* pixels, int stride) {
    if (!LendFrame(*frame_)) {
        return Fail(ErrorText(AVERROR(ENOMEM)));
    }
    frame_->pts = nextPts_++;
    // mpegvideo encoders take their fixed quantiser from each picture.
    frame_->quality = (enc_->flags & AV_CODEC_FLAG_QSCALE) ? enc_->global_quality : 0;
    if (raw_) {
        // Bottom row first; the fourth byte made opaque for readers that take it as alpha.
        for (int y = 0; y < height_; ++y) {
            const uint8_t* src = pixels + ptrdiff_t(height_ - 1 - y) * stride;
            uint8_t* dst = frame_->data[0] + ptrdiff_t(y) * frame_->linesize[0];
            std::memcpy(dst, src, size_t(width_) * 4);
            for (int x = 0; x < width_; ++x) {
                dst[4 * x + 3] = 0xFF;
            }
        }
        return true;
    }
    if (!sws_) {
        av_image_copy_plane(frame_->data[0], frame_->linesize[0], pixels, stride, width_ * 4,
                            height_);
        return true;
    }
    const uint8_t* src[4] = {pixels, nullptr, nullptr, nullptr};
    const int srcStride[4] = {stride, 0, 0, 0};
    if (sws_scale(sws_.get(), src, srcStride, 0, height_, frame_->data, frame_->linesize) !=
        height_) {
        return Fail("cannot convert the picture");
    }
    return true;
}

bool AviMovieOutput::Impl::Encode(const AVFrame* frame) {
    int result = avcodec_send_frame(enc_.get(), frame);
    if (result < 0) {
        return Fail("the encoder failed: " + ErrorText(result));
    }
    for (;;) {
        result = avcodec_receive_packet(enc_.get(), packet_.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
            return true;
        }
        if (result < 0) {
            return Fail("the encoder failed: " + ErrorText(result));
        }
        av_packet_rescale_ts(packet_.get(), enc_->time_base, stream_->time_base);
        packet_->stream_index = stream_->index;
        result = av_interleaved_write_frame(out_.get(), packet_.get());
        if (result < 0 || IoFailed()) {
            return Fail("cannot write the movie: " + ErrorText(result < 0 ? result : io_->error));
        }
    }
}

bool AviMovieOutput::Impl::WriteFrame(const uint8_t* pixels, int stride) {
    if (broken_ || finished_ || pixels == nullptr || stride < width_ * 4) {
        return Fail("nothing can be written");
    }
    broken_ = !(FillFrame(pixels, stride) && Encode(frame_.get()));
    av_frame_unref(frame_.get());
    return !broken_;
}

bool AviMovieOutput::Impl::WriteFrame(AVFrame& frame) {
    if (broken_ || finished_) {
        return Fail("nothing can be written");
    }
    if (raw_ || frame.format != pixFmt_ || frame.width != width_ || frame.height != height_ ||
        frame.buf[0] == nullptr) {
        return Fail("the picture is not in the encoder's format");
    }
    frame.pts = nextPts_++;
    frame.quality = (enc_->flags & AV_CODEC_FLAG_QSCALE) ? enc_->global_quality : 0;
    broken_ = !Encode(&frame);
    return !broken_;
}

bool AviMovieOutput::Impl::Finish() {
    if (broken_ || finished_) {
        return Fail("the movie is incomplete");
    }
    broken_ = true;  // until everything below went through
    if (!Encode(nullptr)) {
        return false;
    }
    int result = av_interleaved_write_frame(out_.get(), nullptr);
    if (result < 0) {
        return Fail("cannot write the movie: " + ErrorText(result));
    }
    result = av_write_trailer(out_.get());
    avio_flush(io_.get());
    if (result < 0 || IoFailed()) {
        return Fail("cannot complete the movie: " + ErrorText(result < 0 ? result : io_->error));
    }
    const int fd = fd_;
    fd_ = -1;
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        return Fail(std::string("cannot complete the movie: ") + std::strerror(errno));
    }
    broken_ = false;
    finished_ = true;
    return true;
}

std::unique_ptr<AviMovieOutput> AviMovieOutput::Create(const std::string& path,
                                                       const MovieFormat& format,
                                                       const CompressOptions& options,
                                                       MovieCreateError* error,
                                                       std::string* detail) {
    auto impl = std::make_unique<Impl>();
    const MovieCreateError result = impl->Open(path, format, options);
    if (error != nullptr) {
        *error = result;
    }
    if (detail != nullptr) {
        *detail = impl->detail;
    }
    if (result != MovieCreateError::None) {
        return nullptr;
    }
    return std::unique_ptr<AviMovieOutput>(new AviMovieOutput(std::move(impl)));
}

bool AviMovieOutput::TryEncoder(const MovieFormat& format, const CompressOptions& options,
                                std::string* detail) {
    Impl impl;
    const bool ok = impl.OpenEncoderOnly(format, options) == MovieCreateError::None;
    if (detail != nullptr) {
        *detail = impl.detail;
    }
    return ok;
}

AviMovieOutput::AviMovieOutput(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
AviMovieOutput::~AviMovieOutput() = default;

bool AviMovieOutput::WriteFrame(const uint8_t* pixels, int stride) {
    return impl_->WriteFrame(pixels, stride);
}

bool AviMovieOutput::WriteFrame(AVFrame& frame) {
    return impl_->WriteFrame(frame);
}

AVPixelFormat AviMovieOutput::InputFormat() const {
    return impl_->InputFormat();
}

bool AviMovieOutput::LendFrame(AVFrame& frame) const {
    return impl_->LendFrame(frame);
}

bool AviMovieOutput::Finish() {
    return impl_->Finish();
}

const std::string& AviMovieOutput::ErrorDetail() const {
    return impl_->detail;
}

}  // namespace kivra
