#pragma once
// The markers and gait events as a C3D file, the binary format gait labs keep their trials in:
// Intel byte order, floating-point points, no analog data.
#include <optional>
#include <string>
#include <vector>

#include "exchange/point_table.h"
#include "gait/gait_events.h"

namespace kivra {

// One event of the EVENT group: context "Right"/"Left", label "Foot Strike"/"Foot Off".
struct C3dEvent {
    std::string context;
    std::string label;
    double seconds = 0.0;  // on the video's clock, as the point frames are
};

// The gait events at their moments (frames between frames) on a clock of fps.
std::vector<C3dEvent> C3dEventsOf(const std::vector<GaitEvent>& events, double fps);

// What the format cannot hold; the writers refuse rather than cut.
enum class C3dLimit {
    kNone,
    kTooManyFrames,  // the last frame is past 65535, the header's largest
    kTooManyPoints,  // more than 255 markers, the most a label array holds
    kTooManyEvents,  // more than 255 events
    kNoRate,         // the frame rate is not a positive number
};

// The file's bytes: the header block, the parameter blocks from block 2, then the points,
// frame by frame: X, Y, Z and a fourth word, -1 for a marker not on the frame and 0 otherwise.
// Nothing, with *limit set, when the table or events pass what the format holds.
std::optional<std::string> FormatC3d(const PointTable& table, const std::vector<C3dEvent>& events,
                                     C3dLimit* limit = nullptr);

// Replaces the file in one step; false leaves an old one intact (*limit says when the format
// was the reason, kNone when writing failed).
bool WriteC3d(const std::string& path, const PointTable& table, const std::vector<C3dEvent>& events,
              C3dLimit* limit = nullptr);

}  // namespace kivra
