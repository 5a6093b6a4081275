#pragma once
// The one place where sample numbers become stream time.
#include <cstdint>

namespace kivra {

// Milliseconds at which sample n starts, for a stream of rate/scale samples per second.
// -1 when the rate is 0 (no time can be given).
int64_t SampleToMilliseconds(int64_t sample, uint32_t scale, uint32_t rate);

}  // namespace kivra
