#pragma once
// The pictures the tracker looks at: frame-exact, as the view shows them (the same decoder
// conversion to 24-bit BGR, the same line doubling when deinterlacing), rows top first. Owns
// a decoder of its own on the stream, so the view's position and cache are left alone. One per
// tracking run.
#include <memory>

#include <opencv2/core.hpp>

#include "picture/dib.h"
#include "reading/video_reader.h"

class CAviVideoStream;

namespace kivra {

class TrackPictures {
public:
    TrackPictures(const CAviVideoStream& stream, bool deinterlace);
    ~TrackPictures();
    TrackPictures(const TrackPictures&) = delete;
    TrackPictures& operator=(const TrackPictures&) = delete;

    bool Ok() const { return decoder_ != nullptr; }
    // The picture of frame (a frame number of the stream) as 8-bit BGR; false when it cannot
    // be decoded. Reading frames in ascending order decodes each picture once.
    bool Read(int frame, cv::Mat& into);

private:
    std::unique_ptr<VideoReader> decoder_;
    const int firstFrame_;
    const int lastFrame_;
    const bool deinterlace_;
    Dib dib_;
};

}  // namespace kivra
