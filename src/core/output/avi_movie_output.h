#pragma once
// One AVI file being written: a single video stream, compressed by the libavcodec encoder that
// the compression options name (raw 32-bit BGR for the uncompressed code), muxed by libavformat.
// Owned by the writer for one save; destroying it without Finish leaves no file behind.
#include <cstdint>
#include <memory>
#include <string>

#include "output/compress_options.h"
#include "platform/ffmpeg_handles.h"

namespace kivra {

// Larger pictures are refused before any encoder is asked.
inline constexpr int kMaxMovieSide = 16384;

struct MovieFormat {
    int width = 0;
    int height = 0;
    uint32_t rate = 0;  // frame rate = rate / scale, taken from the source stream
    uint32_t scale = 0;
};

// Which step of creating the output failed; each has the user's message (see CreateErrorText).
enum class MovieCreateError { None, FileOpen, CreateStream, MakeCompressed, SetFormat };

// "** AVIFileOpen ERROR!!\n" and its siblings; empty for None.
const char* CreateErrorText(MovieCreateError error);

class AviMovieOutput {
public:
    // Creates `path` anew for writing. Nothing is returned on failure, with *error telling which
    // step failed and *detail FFmpeg's reason; no file is left at path then.
    static std::unique_ptr<AviMovieOutput> Create(const std::string& path,
                                                  const MovieFormat& format,
                                                  const CompressOptions& options,
                                                  MovieCreateError* error, std::string* detail);
    // Opens and closes the encoder that Create would use for this format and these options,
    // writing nothing; false with FFmpeg's reason in *detail when it cannot be opened.
    static bool TryEncoder(const MovieFormat& format, const CompressOptions& options,
                           std::string* detail);
    ~AviMovieOutput();
    AviMovieOutput(const AviMovieOutput&) = delete;
    AviMovieOutput& operator=(const AviMovieOutput&) = delete;

    // Compresses and writes the next sample: a width x height picture of 32-bit BGRx pixels, top
    // row first, `stride` bytes apart. False on any encode or write error (disk full included).
    bool WriteFrame(const uint8_t* pixels, int stride);
    // The pixel format the encoder takes, for pictures made in it directly; AV_PIX_FMT_NONE for
    // the uncompressed code, which only takes BGRx.
    AVPixelFormat InputFormat() const;
    // Points frame (its old references dropped) at a writable width x height picture of
    // InputFormat from the output's pool; false when out of memory. Safe on any thread.
    bool LendFrame(AVFrame& frame) const;
    // Compresses and writes the next sample from a picture of InputFormat and the movie's size;
    // the encoder may keep a reference to its buffers, so write the next picture elsewhere
    // unless av_frame_is_writable says so. Sets its timestamp. False as WriteFrame above.
    bool WriteFrame(AVFrame& frame);
    // Drains the encoder, writes the index and closes the file; false on any error. The file is
    // complete only when this returned true.
    bool Finish();
    // FFmpeg's reason for the last failure.
    const std::string& ErrorDetail() const;

    class Impl;

private:
    explicit AviMovieOutput(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace kivra
