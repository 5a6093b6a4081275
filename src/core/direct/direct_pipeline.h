#pragma once
// One libavcodec decoder fed by libavformat straight from a clip's container, going by the frame
// index: runs start at key packets, and pictures come out numbered by their place in
// presentation order. The direct reader shows through one; its decoding-ahead thread owns
// another.
#include <memory>
#include <string>

#include "direct/frame_index.h"
#include "picture/picture_cache.h"
#include "platform/ffmpeg_handles.h"
#include "reading/group_decoder.h"

namespace kivra {

class DirectPipeline final : public GroupDecoder {
public:
    // threads: libavcodec decoding threads. With a cache, pictures are decoded into its buffers.
    // Null with a reason when the file or its decoder cannot be opened.
    static std::unique_ptr<DirectPipeline> Open(std::shared_ptr<const FrameIndex> index,
                                                int threads, PictureCache* cache, std::string* why);
    ~DirectPipeline() override;
    DirectPipeline(const DirectPipeline&) = delete;
    DirectPipeline& operator=(const DirectPipeline&) = delete;

    bool CanContinueTo(int target) const override;
    // A failed seek leaves no run: Next then ends at once.
    void StartRun(int target, int fromGroup, bool withLeading) override;
    int NextDisplay() const override { return nextDisplay_; }
    int Next(StopCheck stop, void* context) override;
    const AVFrame& Picture() const override { return *frame_; }
    bool PictureShared() const override { return source_.cache != nullptr && !source_.foreign; }
    void ReleasePicture() override;
    // Numbered by presentation, a group's leading pictures are the end of the group before it,
    // which a run from that group's key picture decodes whole.
    int LeadingCount(int) override { return 0; }
    void SetReorders(bool) override {}
    const DecoderStats& Stats() const override { return stats_; }

private:
    explicit DirectPipeline(std::shared_ptr<const FrameIndex> index);
    bool OpenFile(int threads, PictureCache* cache, std::string* why);
    bool Seek(int startPacket);
    // Sends the next packet of the run, or the end of the stream; false when nothing is left
    // or stop says so.
    bool Feed(StopCheck stop, void* context);

    std::shared_ptr<const FrameIndex> index_;
    PictureCache::BufferSource source_;  // before codec_, which refers to it until it is freed
    AvFormatInputPtr input_;
    AvCodecContextPtr codec_;
    AvPacketPtr packet_ = AvPacketPtr(av_packet_alloc());
    AvFramePtr frame_ = AvFramePtr(av_frame_alloc());
    DecoderStats stats_;

    bool runValid_ = false;
    bool drained_ = false;    // the end of the stream was sent
    bool pending_ = false;    // packet_ holds the run's next packet, read while seeking
    int nextPacket_ = 0;      // decode-order index of the next packet sent
    int runStart_ = 0;        // the key packet the run started at
    int nextDisplay_ = 0;     // the picture the run gives next unless one is lost
    int64_t floorPts_ = 0;    // pictures before the run's key picture are not whole
    int64_t lastOutPts_ = 0;  // the decoder gives pictures in presentation order
    bool anyOut_ = false;
};

}  // namespace kivra
