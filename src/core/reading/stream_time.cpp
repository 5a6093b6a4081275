#include "reading/stream_time.h"

extern "C" {
#include <libavutil/mathematics.h>
}

namespace kivra {

int64_t SampleToMilliseconds(int64_t sample, uint32_t scale, uint32_t rate) {
    if (rate == 0) {
        return -1;
    }
    // sample * scale * 1000 / rate without overflow, rounded to the nearest millisecond.
    return av_rescale(sample, int64_t(scale) * 1000, rate);
}

}  // namespace kivra
