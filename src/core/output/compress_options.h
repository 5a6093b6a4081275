#pragma once
// What the movie writer compresses with (the system's compression options record), apart from
// the compressor choice that makes it, so the writer and the choice need not include each other.
#include <cstdint>
#include <string>

namespace kivra {

struct CompressOptions {
    uint32_t fccType = 0;  // "vids"
    uint32_t fccHandler = 0;
    int keyFrameEvery = 0;
    int quality = -1;
    int bytesPerSecond = 0;
    uint32_t flags = 0;      // kCompressDataRate | kCompressKeyFrames
    std::string parameters;  // the settings record
};
inline constexpr uint32_t kCompressKeyFrames = 0x1;
inline constexpr uint32_t kCompressDataRate = 0x2;

}  // namespace kivra
