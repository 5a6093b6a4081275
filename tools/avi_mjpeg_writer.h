#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/ffmpeg_handles.h"

namespace kivra {

// Writes 32-bit pictures as an intra-only, high-quality MJPEG AVI at a whole frame rate.
// Owns every FFmpeg object it uses; Finish() must succeed for the file to be complete.
class AviMjpegWriter {
public:
    AviMjpegWriter();
    ~AviMjpegWriter();
    AviMjpegWriter(const AviMjpegWriter&) = delete;
    AviMjpegWriter& operator=(const AviMjpegWriter&) = delete;

    // Each returns an empty string on success, else what went wrong.
    std::string Open(const std::string& path, int width, int height, int fps);
    // `pixels` in QImage::Format_RGB32 layout (0xffRRGGBB words), `stride` bytes a row.
    std::string WriteFrame(const uint8_t* pixels, int stride);
    std::string Finish();

private:
    // An output context also owns the file it writes.
    struct FormatCloser {
        void operator()(AVFormatContext* ctx) const;
    };

    std::string Drain(bool flushing);

    std::unique_ptr<AVFormatContext, FormatCloser> format_;
    AvCodecContextPtr encoder_;
    AvFramePtr frame_;
    AvPacketPtr packet_;
    SwsContextPtr sws_;
    int stream_index_ = -1;
    int64_t next_pts_ = 0;
    bool header_written_ = false;
};

}  // namespace kivra
