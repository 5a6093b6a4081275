#include "direct/direct_pipeline.h"

#include <algorithm>

namespace kivra {

DirectPipeline::DirectPipeline(std::shared_ptr<const FrameIndex> index)
    : index_(std::move(index)) {}

DirectPipeline::~DirectPipeline() = default;

std::unique_ptr<DirectPipeline> DirectPipeline::Open(std::shared_ptr<const FrameIndex> index,
                                                     int threads, PictureCache* cache,
                                                     std::string* why) {
    std::string ignored;
    why = why != nullptr ? why : &ignored;
    if (!index || index->pictureAtSample.empty() || index->keyPictures.empty()) {
        *why = "no frame index";
        return nullptr;
    }
    std::unique_ptr<DirectPipeline> pipeline(new DirectPipeline(std::move(index)));
    if (!pipeline->OpenFile(threads, cache, why)) {
        return nullptr;
    }
    return pipeline;
}

bool DirectPipeline::OpenFile(int threads, PictureCache* cache, std::string* why) {
    if (!packet_ || !frame_) {
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
    codec_->thread_count = threads;
    if (cache != nullptr) {
        source_.cache = cache;
        PictureCache::DecodeInto(*codec_, source_);
    }
    if (avcodec_open2(codec_.get(), decoder, nullptr) < 0) {
        *why = "the decoder cannot be opened";
        return false;
    }
    return true;
}

bool DirectPipeline::CanContinueTo(int target) const {
    // A drained decoder still hands out the pictures it holds: the clip's last few.
    const FrameIndex& index = *index_;
    if (!runValid_ || target < 0 || size_t(target) >= index.pictures.size()) {
        return false;
    }
    const int start = index.StartPacketFor(target);
    if (start < runStart_) {
        return false;
    }
    if (anyOut_ && index.packets[size_t(index.pictures[size_t(target)])].pts <= lastOutPts_) {
        return false;  // already passed
    }
    // Decoding on is worth it while no key picture lies between here and the one needed. When
    // the needed group itself starts further on, what lies before it would be decoded for
    // nothing: a jump to the next key frame of a long group must not decode the whole group.
    const auto from =
        std::lower_bound(index.keyPackets.begin(), index.keyPackets.end(), nextPacket_);
    return from == index.keyPackets.end() || *from > start || *from == nextPacket_;
}

void DirectPipeline::StartRun(int target, int fromGroup, bool /*withLeading*/) {
    const FrameIndex& index = *index_;
    const int own = GroupOf(index.keyPictures, target);
    const int group = fromGroup < 0 ? own : std::min(fromGroup, own);
    ReleasePicture();
    runValid_ = Seek(index.keyPackets[size_t(group)]);
    nextDisplay_ = index.keyPictures[size_t(group)];
}

bool DirectPipeline::Seek(int startPacket) {
    const FrameIndex& index = *index_;
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
    return true;
}

bool DirectPipeline::Feed(StopCheck stop, void* context) {
    const FrameIndex& index = *index_;
    if (stop != nullptr && stop(context)) {
        return false;
    }
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

int DirectPipeline::Next(StopCheck stop, void* context) {
    const FrameIndex& index = *index_;
    while (runValid_) {
        av_frame_unref(frame_.get());
        const int received = avcodec_receive_frame(codec_.get(), frame_.get());
        if (received == AVERROR(EAGAIN)) {
            if (Feed(stop, context)) {
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
        const auto found = index.pictureOfPts.find(pts);
        if (found == index.pictureOfPts.end()) {
            continue;  // decoded for its references only
        }
        nextDisplay_ = found->second + 1;
        return found->second;
    }
    av_frame_unref(frame_.get());
    runValid_ = false;
    return kRunEnded;
}

void DirectPipeline::ReleasePicture() {
    av_frame_unref(frame_.get());
}

}  // namespace kivra
