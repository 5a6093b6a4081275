#pragma once
// The offset from the sound both cameras heard: each video's sound decoded to one channel at
// a low common rate, then cross-correlated through the FFT over a bounded range of offsets.
#include <string>
#include <vector>

#include "sync/sync_offset.h"

namespace kivra {

// One video's sound as one channel of float samples, owned by whoever correlates it.
struct MonoAudio {
    std::vector<float> samples;
    int rate = 0;
    double startSeconds = 0.0;  // the first sample's time from the first frame's start
};

struct AudioRead {
    MonoAudio audio;
    std::string why;  // in the interface language; empty when the sound was read
};

inline constexpr int kSyncAudioRate = 8000;
// The sound read at most, which bounds the memory and the time a long recording takes.
inline constexpr double kSyncAudioSeconds = 120.0;

// The best audio stream of path, mixed to mono at rate. A file without sound, or whose sound
// cannot be decoded, gives why.
AudioRead ReadMonoAudio(const std::string& path, int rate = kSyncAudioRate,
                        double maxSeconds = kSyncAudioSeconds);

// The offset (B = A + offset) where the sounds agree best within +-maxOffsetSeconds, to one
// sample. Its confidence is the correlation peak over the best one outside its main lobe
// (0.1 s either side); found when that is at least kSoundConfidence and the peak's correlation
// coefficient at least kSoundLeastPeak (sounds that never meet correlate by rounding alone).
inline constexpr double kSoundConfidence = 1.5;
inline constexpr double kSoundLeastPeak = 0.05;
SyncEstimate FindSoundOffset(const MonoAudio& a, const MonoAudio& b, double maxOffsetSeconds);

}  // namespace kivra
