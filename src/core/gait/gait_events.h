#pragma once
// Heel strikes and toe-offs found in the clicked (or followed) heel and toe trajectories of a
// side view. Image pixels in, y down; frames are the video's frame numbers.
#include <compare>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "geometry/view_geometry.h"

namespace kivra {

enum class FootSide { kRight, kLeft };
enum class GaitEventKind { kHeelStrike, kToeOff };

// One heel strike or toe-off: the frame nearest to it, and the moment itself between frames.
// Events are found, edited and compared by frame, side and kind only.
struct GaitEvent {
    int frame = 0;
    FootSide side = FootSide::kRight;
    GaitEventKind kind = GaitEventKind::kHeelStrike;
    // In frames, e.g. 41.37; the frame itself when given as a frame. Taken from the frame at
    // construction only: code that sets frame afterwards sets the moment too.
    double moment = frame;

    bool operator==(const GaitEvent& other) const { return Key() == other.Key(); }
    std::strong_ordering operator<=>(const GaitEvent& other) const { return Key() <=> other.Key(); }

private:
    std::tuple<int, FootSide, GaitEventKind> Key() const { return {frame, side, kind}; }
};

// "R" / "L" and "HS" / "TO", as the files and the window show them.
const char* SideName(FootSide side);
const char* EventName(GaitEventKind kind);
// The foot in a message, in the interface language: 右足 / 左足 ("the right foot").
std::string FootText(FootSide side);

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

// Heel strike: the heel, coming down to a stance, slows below a share of the walking speed;
// toe-off: the toe, leaving its stance, speeds up past a share of it. The walking speed comes
// from how far the resting places of each marker lie apart. A toe marker on the metatarsal
// head starts to roll forward well before the toe tip leaves the floor, so its leaving rest is
// no toe-off. Each moment is interpolated between frames. An event that the data on both sides
// of it cannot decide (a track that starts in stance or ends before the foot moves, a gap) is
// left out.
EventDetection DetectGaitEvents(const std::vector<FootTrack>& feet,
                                const EventDetectionOptions& options);

// The fewest frames in a row a marker needs at fps for its stances to be seen.
int MinimumRunFrames(double fps);

}  // namespace kivra
