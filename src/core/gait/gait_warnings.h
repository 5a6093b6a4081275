#pragma once
// What makes a 2D gait measurement less trustworthy than its numbers look, found in the
// analysis itself: no calibration, too few strides, too few frames a step, the walker leaving
// the plane the camera sees, strides lost to marker gaps or broken patterns. The window, the
// report and summary.csv show the same list.
#include <optional>
#include <string>
#include <vector>

#include "gait/gait_parameters.h"

namespace kivra {

struct GaitWarning {
    enum Code {
        kPixels,
        kFewStrides,
        kLowFrameRate,
        kOutOfPlane,
        kMarkerGaps,
        kStridesLeftOut,
        kVariableFrameRate,
    };
    Code code = kPixels;
    FootSide side = FootSide::kRight;  // kFewStrides, kOutOfPlane: the foot
    int count = 0;         // kFewStrides: strides; kMarkerGaps, kStridesLeftOut: strides left out;
                           // kVariableFrameRate: frames in the range
    double value = 0.0;    // kLowFrameRate: frames a step; kOutOfPlane: change in percent;
                           // kVariableFrameRate: the frames' constant rate
    int repeated = 0;      // kVariableFrameRate: frames showing the picture of the frame before
    int skipped = 0;       // kVariableFrameRate: pictures no frame shows
    bool towards = false;  // kOutOfPlane: the foot grows or shrinks steadily (walking to or away)
    std::string segment;   // kOutOfPlane: the body segment that changed ("knee_R 2-3"); empty:
                           // the foot

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

// A body segment between two markers of an angle, whose length in the picture stays while the
// walker keeps to the plane; compared at the same moment of each stride of a side (of its own
// side only for a sided joint).
struct SegmentTrack {
    std::string name;
    std::optional<FootSide> side;
    MarkerTrack from, to;
};

// How a video's frames, numbered at one constant rate, show the source's pictures over a range:
// a source of varying rate repeats pictures on some frames and leaves others out.
struct FrameTiming {
    int frames = 0;
    int repeated = 0;
    int skipped = 0;
};

// The source's rate varied: two or more pictures repeated or left out, and at least one in
// 500 frames (an edit list's first picture shown twice is no varying rate).
bool VariableFrameRate(const FrameTiming& timing);

// The warnings of parameters worked out of the feet the setup names and the angles' segments
// (image pixels) at fps.
std::vector<GaitWarning> GaitWarnings(const GaitParameters& parameters,
                                      const std::vector<FootTrack>& feet, double fps,
                                      const std::vector<SegmentTrack>& segments = {});

}  // namespace kivra
