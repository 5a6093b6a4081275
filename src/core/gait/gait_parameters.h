#pragma once
// Spatiotemporal gait parameters from heel strikes and toe-offs: per stride (heel strike to the
// next heel strike of the same foot) and summarised per side and for both sides together.
#include <optional>
#include <string>
#include <vector>

#include "gait/gait_events.h"

namespace kivra {

struct StrideParameters {
    FootSide side = FootSide::kRight;
    int startFrame = 0;
    int endFrame = 0;
    double strideTime = 0.0;  // seconds
    std::optional<double> stanceTime, swingTime, stancePercent;
    std::optional<double> strideLength;  // along the walking direction, mm or pixels
    // The step that ends this stride: from the other foot's strike inside it to this one.
    std::optional<double> stepTime, stepLength;
    std::optional<double> doubleSupportPercent;
};

struct GaitParameterInput {
    double fps = 0.0;
    std::optional<double> mmPerPixel;  // lengths in pixels without it
    std::vector<FootTrack> feet;       // for the heel positions at the strikes
    MarkerTrack pelvis;                // optional: walking speed from its progression
    FloorLine floor;
};

// Mean, sample standard deviation and count of one parameter over the strides that have it.
struct Statistic {
    std::optional<double> mean, sd;
    int count = 0;
};
// Of values as they are; the SD from two values on.
Statistic Summarise(const std::vector<double>& values);

struct ParameterSummary {
    std::string name;  // "StrideTime", "StancePercent", ...
    std::string unit;  // "s", "%", "mm", "px", "steps/min", "mm/s", "px/s"
    Statistic right, left, both;
};

// Two strikes of one foot that make no stride: an event between them was lost in a marker
// gap, or the events do not follow the walking pattern; reason says which, for the user.
struct LeftOutStride {
    enum Why { kGap, kPattern };
    FootSide side = FootSide::kRight;
    int startFrame = 0;
    int endFrame = 0;
    Why why = kPattern;
    // With kGap: the marker without points, and the frames it lacks.
    FootSide gapSide = FootSide::kRight;
    bool gapInToe = false;
    int gapFirst = 0, gapLast = 0;

    // "gap in the right heel marker, frames 57-60", for the files.
    std::string Reason() const;
};

struct GaitParameters {
    std::vector<StrideParameters> strides;  // by start frame
    std::vector<LeftOutStride> leftOut;     // by start frame
    std::vector<ParameterSummary> summary;  // in a fixed order, see ComputeGaitParameters
    bool millimetres = false;
};

// A stride runs from a heel strike to the next of the same foot, through the other foot's
// toe-off and strike and its own toe-off (HS, opposite TO, opposite HS, TO, HS; with one foot
// marked, HS, TO, HS), with every marker of the feet on every frame between; times are taken
// between the events' moments, lengths from the heels at those moments. Cadence counts every
// step of the range: two opposite strikes with the other foot's toe-off alone between them.
// The summary holds, in this order: StrideTime, StepTime, StanceTime, SwingTime,
// StancePercent, SwingPercent, DoubleSupportPercent, StrideLength, StepLength, Cadence (both
// only), Speed (both only; from the pelvis when it is marked over the strides, else stride
// length over stride time), StepTimeSymmetry and StepLengthSymmetry (both only: |R - L| over
// their mean, in percent). events must be ordered as DetectGaitEvents orders them.
GaitParameters ComputeGaitParameters(const std::vector<GaitEvent>& events,
                                     const GaitParameterInput& input);

// The named row of the summary, or nothing.
const ParameterSummary* FindParameter(const GaitParameters& parameters, const std::string& name);

}  // namespace kivra
