#pragma once
// The markers of the play range as points in a plane, the common ground of the TRC and C3D
// files: X = image x, Y = up (the image's y turned over), Z = 0; millimetres from the
// calibration's origin with a scale, image pixels from the bottom-left without one.
#include <optional>
#include <string>
#include <vector>

#include "kinematics/calibration.h"

class CLFFManager;

namespace kivra {

struct ExportedPoint {
    double x = 0.0, y = 0.0, z = 0.0;
};

// One table per export, built by PointTableOf and read by the writers.
struct PointTable {
    int firstFrame = 0;  // the video frame of the first row
    double rate = 0.0;   // frames per second
    bool millimetres = false;
    std::vector<int> ids;             // marker ID of each column
    std::vector<std::string> labels;  // "M<ID>", one per column
    // [row][column]; nothing where the marker is not on that frame.
    std::vector<std::vector<std::optional<ExportedPoint>>> rows;

    int LastFrame() const { return firstFrame + int(rows.size()) - 1; }
};

// The markers of every ID that has one on first ... last, one row per frame in that range (the
// first marker of a frame counts, as drawing takes it). Nothing when the table would pass
// kMaxTableCells; an empty range gives no rows.
std::optional<PointTable> PointTableOf(const CLFFManager& store, int first, int last, double fps,
                                       int imageHeight,
                                       const std::optional<Calibration>& calibration);

}  // namespace kivra
