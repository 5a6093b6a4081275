#pragma once
// What makes a 2D gait measurement less trustworthy than its numbers look, found in the
// analysis itself: no calibration, too few strides, too few frames a step, the walker leaving
// the plane the camera sees, strides lost to marker gaps or broken patterns. The window, the
// report and summary.csv show the same list.
#include <string>
#include <vector>

#include "gait/gait_parameters.h"

namespace kivra {

struct GaitWarning {
    enum Code { kPixels, kFewStrides, kLowFrameRate, kOutOfPlane, kMarkerGaps, kStridesLeftOut };
    Code code = kPixels;
    FootSide side = FootSide::kRight;  // kFewStrides, kOutOfPlane: the foot
    int count = 0;         // kFewStrides: strides; kMarkerGaps, kStridesLeftOut: strides left out
    double value = 0.0;    // kLowFrameRate: frames a step; kOutOfPlane: change in percent
    bool towards = false;  // kOutOfPlane: the foot grows or shrinks steadily (walking to or away)

    // "NoCalibration", "FewStrides", ...: the code summary.csv names.
    const char* CodeName() const;
    // The warning in words, for the files and the command line.
    std::string Text() const;
};

// Fewer strides than this a side make a mean without a spread worth reading.
inline constexpr int kFewStridesPerSide = 3;
// Fewer frames than this a step put half a frame of event timing above 4 % of it.
inline constexpr double kFewFramesPerStep = 12.0;
// A foot whose heel-to-toe length changes more than this across strides is not in one plane.
inline constexpr double kOutOfPlanePercent = 10.0;

// The warnings of parameters worked out of the feet the setup names (image pixels) at fps.
std::vector<GaitWarning> GaitWarnings(const GaitParameters& parameters,
                                      const std::vector<FootTrack>& feet, double fps);

}  // namespace kivra
