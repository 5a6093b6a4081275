#pragma once
// Frame-exact decoding of one AVI video stream: sample n is always the same picture, whether
// reached by stepping, jumping or going backwards. Reads chunks by our own index and feeds them
// to libavcodec. Owned by CAviVideoStream while a stream is open.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/dib.h"
#include "media/riff_avi.h"

namespace kivra {

struct DecoderStats {
    int64_t packetsSent = 0;    // chunks handed to the decoder
    int64_t framesDecoded = 0;  // pictures the decoder returned
    int64_t seeks = 0;          // restarts at a key frame
    int64_t conversions = 0;    // pictures converted to 24-bit BGR
    int64_t cacheHits = 0;      // pictures served from the picture cache
};

class AviFrameDecoder {
public:
    enum class OpenResult { Ok, CannotRead, NoDecoder };

    // Opens the decoder for stream `streamIndex` of the parsed file at path.
    static std::unique_ptr<AviFrameDecoder> Open(const std::string& path, const AviFile& file,
                                                 int streamIndex, OpenResult* result);
    ~AviFrameDecoder();
    AviFrameDecoder(const AviFrameDecoder&) = delete;
    AviFrameDecoder& operator=(const AviFrameDecoder&) = delete;

    // The picture of sample n (0-based within the stream's samples) as a 24-bit bottom-up DIB,
    // or nullptr when it cannot be decoded. A zero-length chunk gives the previous picture.
    // The result stays valid until the next call.
    const Dib* GetFrame(int sample);

    // Decoded pictures are kept up to this many bytes (least recently used go first), so going
    // backwards does not decode a group of pictures again. 0 keeps none.
    void SetCacheLimit(size_t bytes);
    size_t CacheBytes() const;

    int SampleCount() const;
    const DecoderStats& Stats() const;
    std::string CodecName() const;

    class Impl;

private:
    explicit AviFrameDecoder(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace kivra
