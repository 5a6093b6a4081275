#pragma once
// What the program reads a video through: numbered pictures, frame-exact whichever way they are
// reached. An AVI file is read by our own index, any other container through libavformat; the
// open stream, the tracker and the writer each own one and never ask which.
#include <cstddef>
#include <memory>
#include <string>

#include "picture/dib.h"
#include "reading/decoder_stats.h"

struct AVFrame;

namespace kivra {

// Picture size and rate as the reader numbers its samples; zeros where the reader has none of
// its own (an AVI file's headers say it instead).
struct ReaderFormat {
    int width = 0;
    int height = 0;
    uint32_t rate = 0;
    uint32_t scale = 0;
};

class VideoReader {
public:
    virtual ~VideoReader() = default;

    // Another reader of the same video, sharing what is shared cheaply, for another thread.
    virtual std::unique_ptr<VideoReader> OpenSibling() const = 0;

    // The picture of sample n (0-based) as a 24-bit bottom-up DIB; false when it cannot be
    // decoded, which leaves `into` as it was (short of a conversion failing halfway).
    virtual bool GetFrame(int sample, Dib& into) = 0;
    // The picture of sample n, numbered as GetFrame numbers them; valid and unchanged until the
    // next call on this reader. Null when it cannot be decoded.
    virtual const AVFrame* GetPicture(int sample) = 0;
    // Which picture sample n shows: samples with the same number show the same picture. -1
    // when sample n has none.
    virtual int PictureOf(int sample) const = 0;
    // The nearest sample at or before (forward: at or after) sample n that decoding can start
    // from; -1 when there is none.
    virtual int FindKeySample(int sample, bool forward) const = 0;

    // Decoded pictures are kept up to this many bytes so going backwards decodes less. 0 keeps
    // none.
    virtual void SetCacheLimit(size_t bytes) = 0;
    virtual size_t CacheBytes() const = 0;
    // Waits until decoding ahead has nothing left to do; for tests and measurements.
    virtual void WaitForPrefetch() = 0;

    virtual int SampleCount() const = 0;
    virtual ReaderFormat Format() const = 0;
    virtual DecoderStats Stats() const = 0;
    virtual std::string CodecName() const = 0;
};

}  // namespace kivra
