#pragma once
// What decoding a stream has cost so far, for measurements and tests. Filled by the decoders.
#include <cstdint>

namespace kivra {

struct DecoderStats {
    int64_t packetsSent = 0;      // chunks handed to the decoder
    int64_t framesDecoded = 0;    // pictures the decoder returned
    int64_t seeks = 0;            // restarts at a key frame
    int64_t conversions = 0;      // pictures converted to 24-bit BGR
    int64_t cacheHits = 0;        // pictures served from the picture cache
    int64_t prefetched = 0;       // pictures the decoding-ahead thread put in the cache
    int64_t prefetchDecoded = 0;  // pictures the decoding-ahead thread decoded, references too
    int64_t prefetchWaits = 0;    // times a request waited for the decoding-ahead thread
};

}  // namespace kivra
