#include "tracking/track_pictures.h"

#include <opencv2/core.hpp>

#include "reading/avi_video_stream.h"

namespace kivra {

TrackPictures::TrackPictures(const CAviVideoStream& stream, bool deinterlace)
    : decoder_(stream.OpenDecoder()),
      firstFrame_(stream.GetStart()),
      lastFrame_(stream.GetEnd()),
      deinterlace_(deinterlace) {
    if (decoder_) {
        decoder_->SetCacheLimit(0);  // forward only: no picture is looked at twice
    }
}

TrackPictures::~TrackPictures() = default;

bool TrackPictures::Read(int frame, cv::Mat& into) {
    if (!decoder_ || frame < firstFrame_ || frame > lastFrame_ ||
        !decoder_->GetFrame(frame - firstFrame_, dib_) || dib_.Empty()) {
        return false;
    }
    if (deinterlace_) {
        DoubleRows(dib_);
    }
    const int width = dib_.Width();
    const int height = dib_.Height();
    if (width <= 0 || height <= 0 || dib_.bits.size() < size_t(dib_.Stride()) * size_t(height)) {
        return false;
    }
    const cv::Mat rows(height, width, CV_8UC3, dib_.bits.data(), size_t(dib_.Stride()));
    if (dib_.TopDown()) {
        rows.copyTo(into);
    } else {
        cv::flip(rows, into, 0);
    }
    return true;
}

}  // namespace kivra
