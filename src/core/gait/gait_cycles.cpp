#include "gait/gait_cycles.h"

#include <algorithm>
#include <cmath>

namespace kivra {
namespace {

std::optional<double> ValueAt(const AngleSeries& series, int frame) {
    const auto it = std::lower_bound(series.frames.begin(), series.frames.end(), frame);
    if (it == series.frames.end() || *it != frame) {
        return std::nullopt;
    }
    return series.degrees[static_cast<std::size_t>(it - series.frames.begin())];
}

std::optional<CycleCurve> Resample(const AngleSeries& series, int start, int end) {
    CycleCurve curve{};
    for (int p = 0; p < kCyclePoints; ++p) {
        const double t = start + (end - start) * (p / 100.0);
        const int below = static_cast<int>(std::floor(t));
        const double share = t - below;
        const auto a = ValueAt(series, below);
        if (!a) {
            return std::nullopt;
        }
        if (share == 0.0) {
            curve[p] = *a;
            continue;
        }
        const auto b = ValueAt(series, below + 1);
        if (!b) {
            return std::nullopt;
        }
        curve[p] = *a + (*b - *a) * share;
    }
    return curve;
}

void Summarise(SideCycles& side) {
    const std::size_t n = side.strides.size();
    if (n == 0) {
        return;
    }
    CycleCurve mean{};
    for (const CycleCurve& c : side.strides) {
        for (int p = 0; p < kCyclePoints; ++p) {
            mean[p] += c[p] / n;
        }
    }
    side.mean = mean;
    if (n < 2) {
        return;
    }
    CycleCurve sd{};
    for (const CycleCurve& c : side.strides) {
        for (int p = 0; p < kCyclePoints; ++p) {
            sd[p] += (c[p] - mean[p]) * (c[p] - mean[p]);
        }
    }
    for (double& v : sd) {
        v = std::sqrt(v / (n - 1));
    }
    side.sd = sd;
}

}  // namespace

std::vector<AngleCycles> BuildCycleCurves(const std::vector<AngleSeries>& angles,
                                          const std::vector<StrideParameters>& strides) {
    std::vector<AngleCycles> result;
    for (const AngleSeries& series : angles) {
        AngleCycles cycles;
        cycles.name = series.name;
        cycles.side = series.side;
        for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
            if (series.side && *series.side != side) {
                continue;  // the other leg's strides would show this leg cut on them
            }
            SideCycles& target = side == FootSide::kRight ? cycles.right : cycles.left;
            double stance = 0.0;
            int stanceCount = 0;
            for (const StrideParameters& stride : strides) {
                if (stride.side != side) {
                    continue;
                }
                if (stride.stancePercent) {
                    stance += *stride.stancePercent;
                    ++stanceCount;
                }
                if (auto curve = Resample(series, stride.startFrame, stride.endFrame)) {
                    target.strides.push_back(*curve);
                    target.strideStarts.push_back(stride.startFrame);
                }
            }
            if (stanceCount > 0) {
                target.stancePercent = stance / stanceCount;
            }
            Summarise(target);
        }
        result.push_back(std::move(cycles));
    }
    return result;
}

std::optional<double> CyclePosition(const std::vector<StrideParameters>& strides, FootSide side,
                                    int frame) {
    // A strike ends one stride and starts the next: it counts as the next one's 0 %.
    std::optional<double> end;
    for (const StrideParameters& s : strides) {
        if (s.side != side || s.endFrame <= s.startFrame) {
            continue;
        }
        if (frame >= s.startFrame && frame < s.endFrame) {
            return 100.0 * (frame - s.startFrame) / (s.endFrame - s.startFrame);
        }
        if (frame == s.endFrame) {
            end = 100.0;
        }
    }
    return end;
}

}  // namespace kivra
