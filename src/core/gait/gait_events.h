#pragma once
// Heel strikes and toe-offs found in the clicked (or followed) heel and toe trajectories of a
// side view. Image pixels in, y down; frames are the video's frame numbers.
#include <optional>
#include <string>
#include <vector>

#include "geometry/view_geometry.h"

namespace kivra {

enum class FootSide { kRight, kLeft };
enum class GaitEventKind { kHeelStrike, kToeOff };

struct GaitEvent {
    int frame = 0;
    FootSide side = FootSide::kRight;
    GaitEventKind kind = GaitEventKind::kHeelStrike;

    auto operator<=>(const GaitEvent&) const = default;
};

// "R" / "L" and "HS" / "TO", as the files and the window show them.
const char* SideName(FootSide side);
const char* EventName(GaitEventKind kind);

// One marker's positions on the frames it has; frames ascending, one point per frame.
struct MarkerTrack {
    std::vector<int> frames;
    std::vector<ImagePoint> points;

    bool Empty() const { return frames.empty(); }
    // The point on frame, or nothing.
    std::optional<ImagePoint> At(int frame) const;
};

struct FootTrack {
    FootSide side = FootSide::kRight;
    MarkerTrack heel;
    MarkerTrack toe;
};

// The floor as the data show it: y = slope * x + intercept for the heel markers (the toe
// markers sit at their own height on the same tilt), and the walking direction along it.
struct FloorLine {
    double slope = 0.0;
    double heelIntercept = 0.0;
    int direction = 1;  // +1: walking towards larger x, -1: towards smaller x

    // Distance walked along the floor to point, in pixels: grows in the walking direction.
    double Progression(ImagePoint point) const;
};

struct EventDetectionOptions {
    double fps = 0.0;
    double filterHz = 0.0;  // 0: the trajectories as placed
};

struct EventDetection {
    std::vector<GaitEvent> events;  // ordered by frame, then side, then kind
    std::optional<FloorLine> floor;
    std::string error;  // why nothing could be detected, in words; empty otherwise
};

// Heel strike: the heel comes to rest on the floor; toe-off: the toe leaves its resting place.
// Each is put at the frame nearest to the moment the marker reaches (or leaves) rest, found by
// extrapolating its approach (or departure), so a foot that rolls off slowly is not reported
// late. An event that the data around it cannot decide (a track that starts in stance or ends
// before the foot moves) is left out.
EventDetection DetectGaitEvents(const std::vector<FootTrack>& feet,
                                const EventDetectionOptions& options);

}  // namespace kivra
