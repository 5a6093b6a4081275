#pragma once
// Joint angles over the gait cycle: each stride's curve resampled to 0..100 % (101 points),
// and their mean and standard deviation per side; and the shape of a clinic's normal band.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "gait/gait_parameters.h"

namespace kivra {

inline constexpr int kCyclePoints = 101;
using CycleCurve = std::array<double, kCyclePoints>;

// One angle's values per frame: frames ascending, nothing where it cannot be computed.
struct AngleSeries {
    std::string name;
    std::vector<int> frames;
    std::vector<std::optional<double>> degrees;
    std::optional<FootSide> side;  // a joint of one leg: resampled over that side's strides only
};

struct SideCycles {
    std::vector<CycleCurve> strides;  // the strides whose every point could be computed
    std::vector<int> strideStarts;    // their heel-strike frames
    std::optional<CycleCurve> mean;
    std::optional<CycleCurve> sd;         // from two strides on
    std::optional<double> stancePercent;  // mean stance share, where swing begins
};

struct AngleCycles {
    std::string name;
    SideCycles right, left;        // a sided angle's other side stays empty
    std::optional<FootSide> side;  // as its series
};

// The angle at every whole percent of each stride, linear between frames; a stride with a
// frame missing (or an angle that cannot be computed) inside it is left out. A sided angle
// takes only the strides of its side.
std::vector<AngleCycles> BuildCycleCurves(const std::vector<AngleSeries>& angles,
                                          const std::vector<StrideParameters>& strides);

// Where in its stride a frame lies, in percent, for the stride of side that contains it; a
// strike that starts a stride is its 0 %, the last strike 100 % of the stride it ends.
std::optional<double> CyclePosition(const std::vector<StrideParameters>& strides, FootSide side,
                                    int frame);

// A normal band over the cycle, in degrees.
struct ReferenceBand {
    CycleCurve mean{};
    CycleCurve sd{};
};

}  // namespace kivra
