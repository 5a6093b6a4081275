#pragma once
// Frame-exact reading of a clip in any container libavformat reads (MP4, MOV, MKV, MPEG-TS),
// straight from the file: pictures are found by their presentation timestamps in the frame
// index, and turned and resized as the conversion would. One per thread; siblings share the
// index. Owned by the open stream, the tracker or the writer.
#include <memory>
#include <string>

#include "platform/ffmpeg_handles.h"
#include "rendering/picture_cache.h"
#include "rendering/picture_converter.h"
#include "reading/frame_index.h"
#include "reading/video_reader.h"

namespace kivra {

class DirectReader final : public VideoReader {
public:
    // Null with a reason when the file or its decoder cannot be opened.
    static std::unique_ptr<DirectReader> Open(std::shared_ptr<const FrameIndex> index,
                                              std::string* why);
    ~DirectReader() override;
    DirectReader(const DirectReader&) = delete;
    DirectReader& operator=(const DirectReader&) = delete;

    std::unique_ptr<VideoReader> OpenSibling() const override;
    bool GetFrame(int sample, Dib& into) override;
    const AVFrame* GetPicture(int sample) override;
    int PictureOf(int sample) const override;
    int FindKeySample(int sample, bool forward) const override;
    void SetCacheLimit(size_t bytes) override;
    size_t CacheBytes() const override;
    void WaitForPrefetch() override {}
    int SampleCount() const override;
    ReaderFormat Format() const override;
    DecoderStats Stats() const override;
    std::string CodecName() const override;

    const FrameIndex& Index() const { return *index_; }

private:
    explicit DirectReader(std::shared_ptr<const FrameIndex> index);
    bool OpenFile(std::string* why);
    // Decodes until picture comes out; it is then in frame_.
    bool DecodePicture(int picture);
    bool StartRun(int startPacket);
    bool Continues(int picture) const;
    // Sends the next packet of the run, or the end of the stream; false when nothing is left.
    bool Feed();
    // Turns and resizes a decoded picture into shown_.
    bool Show(const AVFrame& decoded);
    bool Rotate(const AVFrame& upright, AVFrame& into) const;

    std::shared_ptr<const FrameIndex> index_;
    AvFormatInputPtr input_;
    AvCodecContextPtr codec_;
    AvPacketPtr packet_ = AvPacketPtr(av_packet_alloc());
    AvFramePtr frame_ = AvFramePtr(av_frame_alloc());
    AvFramePtr scaled_ = AvFramePtr(av_frame_alloc());
    AvFramePtr shown_ = AvFramePtr(av_frame_alloc());
    SwsContextPtr scaler_;
    PictureCache cache_;
    PictureConverter converter_;
    DecoderStats stats_;

    bool runValid_ = false;
    bool drained_ = false;    // the end of the stream was sent
    bool pending_ = false;    // packet_ holds the run's next packet, read while seeking
    int nextPacket_ = 0;      // decode-order index of the next packet sent
    int runStart_ = 0;        // the key packet the run started at
    int64_t floorPts_ = 0;    // pictures before the run's key picture are not whole
    int64_t lastOutPts_ = 0;  // the decoder gives pictures in presentation order
    bool anyOut_ = false;
    int shownPicture_ = -1;
};

}  // namespace kivra
