#include "avi_mjpeg_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace kivra {
namespace {

std::string Failed(const char* what, int err) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, text, sizeof text);
    return std::string(what) + ": " + text;
}

}  // namespace

void AviMjpegWriter::FormatCloser::operator()(AVFormatContext* ctx) const {
    if (ctx->pb != nullptr && !(ctx->oformat->flags & AVFMT_NOFILE)) {
        avio_closep(&ctx->pb);
    }
    avformat_free_context(ctx);
}

AviMjpegWriter::AviMjpegWriter() = default;
AviMjpegWriter::~AviMjpegWriter() = default;

std::string AviMjpegWriter::Open(const std::string& path, int width, int height, int fps) {
    AVFormatContext* raw_format = nullptr;
    int err = avformat_alloc_output_context2(&raw_format, nullptr, "avi", path.c_str());
    if (err < 0 || raw_format == nullptr) {
        return Failed("no AVI muxer", err);
    }
    format_.reset(raw_format);
    // No library version strings in the file: the sample must come out byte-identical.
    format_->flags |= AVFMT_FLAG_BITEXACT;

    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    if (codec == nullptr) {
        return "no MJPEG encoder";
    }
    encoder_.reset(avcodec_alloc_context3(codec));
    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    if (!encoder_ || !frame_ || !packet_) {
        return "out of memory";
    }
    encoder_->width = width;
    encoder_->height = height;
    encoder_->pix_fmt = AV_PIX_FMT_YUVJ420P;
    encoder_->color_range = AVCOL_RANGE_JPEG;
    encoder_->time_base = AVRational{1, fps};
    encoder_->framerate = AVRational{fps, 1};
    encoder_->gop_size = 1;
    encoder_->flags |= AV_CODEC_FLAG_QSCALE | AV_CODEC_FLAG_BITEXACT;
    encoder_->global_quality = FF_QP2LAMBDA * 2;
    encoder_->thread_count = 1;
    if (format_->oformat->flags & AVFMT_GLOBALHEADER) {
        encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    if ((err = avcodec_open2(encoder_.get(), codec, nullptr)) < 0) {
        return Failed("cannot open the MJPEG encoder", err);
    }

    AVStream* stream = avformat_new_stream(format_.get(), nullptr);
    if (stream == nullptr) {
        return "cannot add the video stream";
    }
    stream_index_ = stream->index;
    stream->time_base = encoder_->time_base;
    stream->avg_frame_rate = encoder_->framerate;
    stream->r_frame_rate = encoder_->framerate;
    if ((err = avcodec_parameters_from_context(stream->codecpar, encoder_.get())) < 0) {
        return Failed("cannot set the stream parameters", err);
    }

    if ((err = avio_open(&format_->pb, path.c_str(), AVIO_FLAG_WRITE)) < 0) {
        return Failed("cannot create the file", err);
    }
    if ((err = avformat_write_header(format_.get(), nullptr)) < 0) {
        return Failed("cannot write the AVI header", err);
    }
    header_written_ = true;
    if (stream->time_base.num != 1 || stream->time_base.den != fps) {
        return "the AVI muxer changed the frame rate";
    }

    frame_->format = encoder_->pix_fmt;
    frame_->width = width;
    frame_->height = height;
    frame_->color_range = AVCOL_RANGE_JPEG;
    if ((err = av_frame_get_buffer(frame_.get(), 0)) < 0) {
        return Failed("cannot allocate a frame", err);
    }
    sws_.reset(sws_getContext(width, height, AV_PIX_FMT_RGB32, width, height, AV_PIX_FMT_YUVJ420P,
                              SWS_BICUBIC | SWS_ACCURATE_RND | SWS_BITEXACT, nullptr, nullptr,
                              nullptr));
    if (!sws_) {
        return "cannot set up the colour conversion";
    }
    return {};
}

std::string AviMjpegWriter::WriteFrame(const uint8_t* pixels, int stride) {
    if (!header_written_) {
        return "the writer is not open";
    }
    int err = av_frame_make_writable(frame_.get());
    if (err < 0) {
        return Failed("cannot reuse the frame", err);
    }
    const uint8_t* const src[] = {pixels};
    const int src_stride[] = {stride};
    sws_scale(sws_.get(), src, src_stride, 0, encoder_->height, frame_->data, frame_->linesize);
    frame_->pts = next_pts_++;
    frame_->quality = encoder_->global_quality;
    frame_->pict_type = AV_PICTURE_TYPE_I;
    if ((err = avcodec_send_frame(encoder_.get(), frame_.get())) < 0) {
        return Failed("the encoder refused a frame", err);
    }
    return Drain(false);
}

std::string AviMjpegWriter::Drain(bool flushing) {
    for (;;) {
        int err = avcodec_receive_packet(encoder_.get(), packet_.get());
        if (err == AVERROR(EAGAIN) || (flushing && err == AVERROR_EOF)) {
            return {};
        }
        if (err < 0) {
            return Failed("the encoder failed", err);
        }
        packet_->stream_index = stream_index_;
        packet_->duration = 1;
        packet_->flags |= AV_PKT_FLAG_KEY;
        av_packet_rescale_ts(packet_.get(), encoder_->time_base,
                             format_->streams[stream_index_]->time_base);
        err = av_interleaved_write_frame(format_.get(), packet_.get());
        av_packet_unref(packet_.get());
        if (err < 0) {
            return Failed("cannot write a frame", err);
        }
    }
}

std::string AviMjpegWriter::Finish() {
    if (!header_written_) {
        return "the writer is not open";
    }
    int err = avcodec_send_frame(encoder_.get(), nullptr);
    if (err < 0) {
        return Failed("cannot flush the encoder", err);
    }
    if (std::string drained = Drain(true); !drained.empty()) {
        return drained;
    }
    header_written_ = false;
    if ((err = av_write_trailer(format_.get())) < 0) {
        return Failed("cannot finish the AVI", err);
    }
    if (format_->pb->error < 0) {
        return Failed("cannot write the file", format_->pb->error);
    }
    if ((err = avio_closep(&format_->pb)) < 0) {
        return Failed("cannot close the file", err);
    }
    return {};
}

}  // namespace kivra
