#pragma once
// Writes the trimmed movie of an open video: for every frame of the play range the frame-exact
// picture, cut along that frame's trimming rectangle, scaled onto a black picture of the output
// size, the mosaic patch pixelated, compressed into an AVI. Decoding runs ahead on a worker.
#include <string>

#include "output/codec_option.h"
#include "platform/progress_sink.h"
#include "platform/user_messages.h"

class CAviVideoStream;
struct VideoAnnotations;

namespace kivra {

struct TrimmedMovieJob {
    std::string outputPath;  // created anew; removed again unless the movie is complete
    int rangeStart = 0;      // play range, inclusive; sample i is frame rangeStart + i
    int rangeEnd = 0;
    int outputWidth = 640;  // the editing session's OutputSize
    int outputHeight = 480;
    bool deinterlace = false;
    CompressOptions compress;
    int mosaicType = 1;  // the shape of the pixelated patch
};

enum class WriteResult {
    Written,       // the file at outputPath is complete
    CreateFailed,  // the output could not be created (its message was shown)
    Failed,        // an encode, write or close error; nothing is left at outputPath
    Cancelled,     // the user stopped it; nothing is left at outputPath
};

// Cuts along the trimming rectangles of `annotations`, with job's mosaic; shows progress with
// caption 2019 in `progress` (with a cancel button) and the creation messages through `messages`.
// When given, *detail receives FFmpeg's reason for a failure.
WriteResult WriteTrimmedMovie(CAviVideoStream& stream, const VideoAnnotations& annotations,
                              const TrimmedMovieJob& job, ProgressSink& progress,
                              UserMessages& messages, std::string* detail = nullptr);

}  // namespace kivra
