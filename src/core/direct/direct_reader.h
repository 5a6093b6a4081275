#pragma once
// Frame-exact reading of a clip in any container libavformat reads (MP4, MOV, MKV, MPEG-TS),
// straight from the file: pictures are found by their presentation timestamps in the frame
// index, and turned and resized as the conversion would. One per thread; siblings share the
// index. Owned by the open stream, the tracker or the writer.
#include <memory>
#include <string>

#include "direct/direct_pipeline.h"
#include "direct/frame_index.h"
#include "picture/picture_converter.h"
#include "platform/ffmpeg_handles.h"
#include "reading/picture_source.h"
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
    void WaitForPrefetch() override;
    int SampleCount() const override;
    ReaderFormat Format() const override;
    DecoderStats Stats() const override;
    std::string CodecName() const override;

    const FrameIndex& Index() const { return *index_; }

private:
    explicit DirectReader(std::shared_ptr<const FrameIndex> index);
    // Turns and resizes a decoded picture into shown_.
    bool Show(const AVFrame& decoded);
    bool Rotate(const AVFrame& upright, AVFrame& into) const;

    std::shared_ptr<const FrameIndex> index_;
    std::unique_ptr<PictureSource> source_;
    AvFramePtr scaled_ = AvFramePtr(av_frame_alloc());
    AvFramePtr shown_ = AvFramePtr(av_frame_alloc());
    SwsContextPtr scaler_;
    PictureConverter converter_;
    int64_t conversions_ = 0;
    int shownPicture_ = -1;  // what shown_ holds
};

}  // namespace kivra
