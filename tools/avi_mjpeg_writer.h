#pragma once
#include <cstdint>
#include <memory>
#include <string>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

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
    struct FormatCloser {
        void operator()(AVFormatContext* ctx) const;
    };
    struct CodecCloser {
        void operator()(AVCodecContext* ctx) const;
    };
    struct FrameFreer {
        void operator()(AVFrame* frame) const;
    };
    struct PacketFreer {
        void operator()(AVPacket* pkt) const;
    };
    struct SwsFreer {
        void operator()(SwsContext* sws) const;
    };

    std::string Drain(bool flushing);

    std::unique_ptr<AVFormatContext, FormatCloser> format_;
    std::unique_ptr<AVCodecContext, CodecCloser> encoder_;
    std::unique_ptr<AVFrame, FrameFreer> frame_;
    std::unique_ptr<AVPacket, PacketFreer> packet_;
    std::unique_ptr<SwsContext, SwsFreer> sws_;
    int stream_index_ = -1;
    int64_t next_pts_ = 0;
    bool header_written_ = false;
};

}  // namespace kivra
