#pragma once
// Frame-exact decoding of one AVI video stream: sample n is always the same picture, whether
// reached by stepping, jumping or going backwards. Reads chunks by our own index and feeds them
// to libavcodec; going backwards, a second decoder works ahead on a thread of its own. Owned by
// CAviVideoStream while a stream is open.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "picture/dib.h"
#include "reading/decoder_stats.h"
#include "reading/riff_avi.h"
#include "reading/video_reader.h"

struct AVFrame;

namespace kivra {

class AviFrameDecoder final : public VideoReader {
public:
    enum class OpenResult { Ok, CannotRead, NoDecoder };

    // Opens the decoder for stream `streamIndex` of the parsed file at path.
    static std::unique_ptr<AviFrameDecoder> Open(const std::string& path, const AviFile& file,
                                                 int streamIndex, OpenResult* result);
    // Another decoder of the same stream, sharing its chunk table, for work on another thread.
    std::unique_ptr<VideoReader> OpenSibling() const override;
    ~AviFrameDecoder() override;
    AviFrameDecoder(const AviFrameDecoder&) = delete;
    AviFrameDecoder& operator=(const AviFrameDecoder&) = delete;

    // Converts the picture of sample n (0-based within the stream's samples) into `into` as a
    // 24-bit bottom-up DIB; false when it cannot be decoded, which leaves `into` as it was
    // (short of a conversion failing halfway). A zero-length chunk gives the previous picture.
    bool GetFrame(int sample, Dib& into) override;
    // The decoded picture of sample n as the codec gave it, numbered as GetFrame numbers them;
    // it stays valid, unchanged, until the next call on this decoder. Null when it cannot be
    // decoded. Take a reference (av_frame_ref) to keep it longer.
    const AVFrame* GetPicture(int sample) override;
    // Which picture sample n shows: samples with the same number show the same picture (a
    // zero-length chunk repeats the one before). -1 when sample n has none.
    int PictureOf(int sample) const override;
    // The nearest sample at or before (forward: at or after) sample n that decoding can start
    // from, by the key frames decoding itself goes by; -1 when there is none.
    int FindKeySample(int sample, bool forward) const override;

    // Decoded pictures are kept up to this many bytes (least recently used go first), so going
    // backwards does not decode a group of pictures again. 0 keeps none.
    void SetCacheLimit(size_t bytes) override;
    size_t CacheBytes() const override;

    // Waits until decoding ahead has nothing left to do; for tests and measurements.
    void WaitForPrefetch() override;

    int SampleCount() const override;
    ReaderFormat Format() const override;
    DecoderStats Stats() const override;
    std::string CodecName() const override;

    class Impl;

private:
    explicit AviFrameDecoder(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace kivra
