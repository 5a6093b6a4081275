#pragma once
// The offset from a flash both cameras saw: each frame's mean brightness, its sudden rises,
// and the rises of both videos matched as moments.
#include <functional>
#include <vector>

#include "sync/sync_offset.h"

class CAviVideoStream;

namespace kivra {

// Told frames done of total; false stops the work.
using BrightnessProgress = std::function<bool(int done, int total)>;

// The mean brightness (0-255) of every frame of the open stream, from a grid of its pixels;
// NaN for a frame that cannot be decoded. Empty when stopped.
std::vector<double> FrameBrightness(CAviVideoStream& stream,
                                    const BrightnessProgress& progress = {});

// A frame that is suddenly brighter than the one before: strength is the rise over the
// frame-to-frame noise of the whole video.
struct Flash {
    int frame = 0;
    double strength = 0.0;
};

// Rises that stand out at least kFlashStrength times over the noise and by kFlashLevels
// levels, the strongest of any few frames in a row only; ordered by frame.
inline constexpr double kFlashStrength = 8.0;
inline constexpr double kFlashLevels = 10.0;
std::vector<Flash> FindFlashes(const std::vector<double>& brightness);

// The offset (B = A + offset) the flashes of both videos agree on within a frame of the
// slower video. Its confidence is the weakest matched flash's strength; found when at least
// half of the fewer video's flashes agree.
SyncEstimate FindFlashOffset(const std::vector<double>& a, const VideoClock& clockA,
                             const std::vector<double>& b, const VideoClock& clockB,
                             double maxOffsetSeconds);

}  // namespace kivra
