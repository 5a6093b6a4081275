#pragma once
// Walks as a gait lab records them, for testing and measuring the event detection: a 3D walker
// whose feet roll heel, flat, over the metatarsal heads and about the toe tip, with heel, toe
// (second metatarsal head) and sacrum markers seen by a pinhole side camera. The true events
// are the contacts of the foot itself, at continuous times. Plain C++, no Qt; the gait
// benchmark and the gait tests share it.
#include <optional>
#include <vector>

#include "gait/gait_events.h"

namespace kivra::walks {

// One marker missing on the frames between two moments, as a hidden or unclicked marker.
struct MarkerGap {
    FootSide side = FootSide::kRight;
    bool toe = false;  // false: the heel marker
    double fromSeconds = 0.0;
    double toSeconds = 0.0;
};

// How the walk is made and filmed. The seed varies the walker (cadence, stance share, foot
// angles, stride to stride changes); the noise seed only the clicks.
struct WalkOptions {
    double fps = 30.0;
    int direction = 1;  // +1: left to right in the picture, -1: right to left
    double seconds = 4.5;
    unsigned seed = 1;
    double clickNoisePx = 0.0;  // standard deviation of each clicked coordinate
    unsigned noiseSeed = 1;
    std::optional<MarkerGap> gap;
};

struct TrueEvent {
    double seconds = 0.0;
    FootSide side = FootSide::kRight;
    GaitEventKind kind = GaitEventKind::kHeelStrike;
};

// A stride of one foot from its heel strike to the next, both inside the walk.
struct TrueStride {
    FootSide side = FootSide::kRight;
    double start = 0.0, end = 0.0;  // seconds
    double stancePercent = 0.0;
    double doubleSupportPercent = 0.0;  // both double supports inside the stride
    double lengthMetres = 0.0;
};

// The filmed walk: tracks on frames 0 ... frames - 1 (image pixels, y down), the right foot
// first, and the truth.
struct RealisticWalk {
    double fps = 0.0;
    int frames = 0;
    std::vector<FootTrack> feet;
    MarkerTrack sacrum;
    std::vector<TrueEvent> events;  // ordered by time
    std::vector<TrueStride> strides;
    double cadence = 0.0;         // steps per minute
    double pixelsPerMetre = 0.0;  // at the line of walking
};

RealisticWalk MakeRealisticWalk(const WalkOptions& options);

}  // namespace kivra::walks
