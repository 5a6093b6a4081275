#include "reading/direct_reader.h"

#include <algorithm>

extern "C" {
#include <libavutil/imgutils.h>
}

namespace kivra {

namespace {

constexpr int kAttempts = 3;  // a lost picture is tried again from one and two key pictures earlier

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
    if (!index || index->pictureAtSample.empty()) {
        *why = "no frame index";
        return nullptr;
    }
    std::unique_ptr<DirectReader> reader(new DirectReader(std::move(index)));
    if (!reader->OpenFile(why)) {
        return nullptr;
    }
    return reader;
}

bool DirectReader::OpenFile(std::string* why) {
    if (!packet_ || !frame_ || !scaled_ || !shown_) {
        *why = "out of memory";
        return false;
    }
    AVFormatContext* raw = nullptr;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "scan_all_pmts", "1", 0);
    const int opened = avformat_open_input(&raw, index_->path.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) {
        *why = "the file cannot be opened again";
        return false;
    }
    input_.reset(raw);
    // A transport stream makes its streams as it meets them: read as far as the index did.
    if (index_->byteSeek && avformat_find_stream_info(input_.get(), nullptr) < 0) {
        *why = "the container cannot be read";
        return false;
    }
    if (index_->stream >= int(input_->nb_streams)) {
        *why = "the video stream is gone";
        return false;
    }
    for (unsigned i = 0; i < input_->nb_streams; ++i) {
        input_->streams[i]->discard = int(i) == index_->stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }
    const AVCodec* decoder = avcodec_find_decoder(index_->codecpar->codec_id);
    codec_.reset(decoder != nullptr ? avcodec_alloc_context3(decoder) : nullptr);
    if (!codec_ || avcodec_parameters_to_context(codec_.get(), index_->codecpar.get()) < 0) {
        *why = "no decoder for the video";
        return false;
    }
    codec_->pkt_timebase = index_->timeBase;
    codec_->thread_count = 2;
    if (avcodec_open2(codec_.get(), decoder, nullptr) < 0) {
        *why = "the decoder cannot be opened";
        return false;
    }
    return true;
}

std::unique_ptr<VideoReader> DirectReader::OpenSibling() const {
    return Open(index_, nullptr);
}

bool DirectReader::Continues(int picture) const {
    // A drained decoder still hands out the pictures it holds: the clip's last few.
    if (!runValid_) {
        return false;
    }
    const FrameIndex& index = *index_;
    const int start = index.StartPacketFor(picture);
    if (start < runStart_) {
        return false;
    }
    if (anyOut_ && index.packets[size_t(index.pictures[size_t(picture)])].pts <= lastOutPts_) {
        return false;  // already passed
    }
    // Decoding on is worth it while no key picture lies between here and the one needed.
    const auto from =
        std::lower_bound(index.keyPackets.begin(), index.keyPackets.end(), nextPacket_);
    return from == index.keyPackets.end() || *from >= start;
}

bool DirectReader::StartRun(int startPacket) {
    const FrameIndex& index = *index_;
    runValid_ = false;
    drained_ = false;
    pending_ = false;
    anyOut_ = false;
    avcodec_flush_buffers(codec_.get());
    ++stats_.seeks;
    const IndexedPacket& start = index.packets[size_t(startPacket)];
    const int sought = index.byteSeek ? av_seek_frame(input_.get(), -1, start.pos, AVSEEK_FLAG_BYTE)
                                      : av_seek_frame(input_.get(), index.stream, start.rawTime,
                                                      AVSEEK_FLAG_BACKWARD);
    if (sought < 0) {
        return false;
    }
    // The container may land before the key picture; never after it.
    for (;;) {
        av_packet_unref(packet_.get());
        const int read = av_read_frame(input_.get(), packet_.get());
        if (read < 0) {
            return false;
        }
        if (packet_->stream_index != index.stream) {
            continue;
        }
        const auto found = index.packetOfPos.find(packet_->pos);
        if (found == index.packetOfPos.end() || found->second < startPacket) {
            continue;
        }
        if (found->second > startPacket) {
            return false;
        }
        break;
    }
    packet_->pts = start.pts;
    packet_->dts = start.dts;
    pending_ = true;
    nextPacket_ = startPacket + 1;
    runStart_ = startPacket;
    floorPts_ = start.pts;
    runValid_ = true;
    return true;
}

bool DirectReader::Feed() {
    const FrameIndex& index = *index_;
    if (!pending_) {
        for (;;) {
            av_packet_unref(packet_.get());
            const int read = av_read_frame(input_.get(), packet_.get());
            if (read < 0 || nextPacket_ >= int(index.packets.size())) {
                av_packet_unref(packet_.get());
                if (drained_) {
                    return false;
                }
                drained_ = true;
                avcodec_send_packet(codec_.get(), nullptr);
                return true;
            }
            if (packet_->stream_index == index.stream) {
                break;
            }
        }
        // Our own timestamps, unwrapped, so that pictures come out under the index's names.
        const IndexedPacket& entry = index.packets[size_t(nextPacket_++)];
        packet_->pts = entry.pts;
        packet_->dts = entry.dts;
    }
    pending_ = false;
    ++stats_.packetsSent;
    avcodec_send_packet(codec_.get(), packet_.get());  // a damaged packet loses its picture only
    av_packet_unref(packet_.get());
    return true;
}

bool DirectReader::DecodePicture(int picture) {
    const FrameIndex& index = *index_;
    const int64_t target = index.packets[size_t(index.pictures[size_t(picture)])].pts;
    int start = index.StartPacketFor(picture);
    bool remember = false;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (attempt > 0 || !Continues(picture)) {
            if (!StartRun(start)) {
                runValid_ = false;
                return false;
            }
            // A run started here passes the pictures that steps back from the target need.
            remember = true;
        }
        for (;;) {
            av_frame_unref(frame_.get());
            const int received = avcodec_receive_frame(codec_.get(), frame_.get());
            if (received == AVERROR(EAGAIN)) {
                if (Feed()) {
                    continue;
                }
                break;
            }
            if (received < 0) {
                break;
            }
            ++stats_.framesDecoded;
            const int64_t pts =
                frame_->pts != AV_NOPTS_VALUE ? frame_->pts : frame_->best_effort_timestamp;
            if (pts < floorPts_) {
                continue;  // a leading picture of the run's key picture: not whole
            }
            lastOutPts_ = pts;
            anyOut_ = true;
            if (pts == target) {
                return true;
            }
            if (pts > target) {
                break;
            }
            if (remember) {
                const auto found = index.pictureOfPts.find(pts);
                if (found != index.pictureOfPts.end()) {
                    cache_.Insert(found->second, *frame_, false, true);
                }
            }
        }
        // The picture did not come out whole: start one group earlier.
        runValid_ = false;
        const auto at = std::lower_bound(index.keyPackets.begin(), index.keyPackets.end(), start);
        if (at == index.keyPackets.begin()) {
            return false;
        }
        start = *(at - 1);
    }
    return false;
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
    if (const PictureCache::Picture cached = cache_.Find(picture)) {
        ++stats_.cacheHits;
        if (!Show(*cached)) {
            return nullptr;
        }
    } else if (!DecodePicture(picture) || !Show(*frame_)) {
        return nullptr;
    }
    av_frame_unref(frame_.get());
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
    ++stats_.conversions;
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
    cache_.SetLimit(bytes);
}

size_t DirectReader::CacheBytes() const {
    return cache_.Bytes();
}

int DirectReader::SampleCount() const {
    return int(index_->pictureAtSample.size());
}

ReaderFormat DirectReader::Format() const {
    return {index_->width, index_->height, index_->rate, index_->scale};
}

DecoderStats DirectReader::Stats() const {
    return stats_;
}

std::string DirectReader::CodecName() const {
    return avcodec_get_name(index_->codecpar->codec_id);
}

}  // namespace kivra
