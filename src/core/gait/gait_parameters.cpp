#include "gait/gait_parameters.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <tuple>

namespace kivra {
namespace {

FootSide Other(FootSide side) {
    return side == FootSide::kRight ? FootSide::kLeft : FootSide::kRight;
}

// The first event of side and kind in the frames (after, before), exclusive.
std::optional<int> FirstBetween(const std::vector<GaitEvent>& events, FootSide side,
                                GaitEventKind kind, int after, int before) {
    for (const GaitEvent& e : events) {
        if (e.side == side && e.kind == kind && e.frame > after && e.frame < before) {
            return e.frame;
        }
    }
    return std::nullopt;
}

// A marker's point on frame, or on the nearest frame at most two away (a skipped click).
std::optional<ImagePoint> NearPoint(const MarkerTrack& track, int frame) {
    for (const int offset : {0, -1, 1, -2, 2}) {
        if (const auto p = track.At(frame + offset)) {
            return p;
        }
    }
    return std::nullopt;
}

const FootTrack* FootOf(const GaitParameterInput& input, FootSide side) {
    for (const FootTrack& foot : input.feet) {
        if (foot.side == side) {
            return &foot;
        }
    }
    return nullptr;
}

Statistic Summarise(const std::vector<double>& values) {
    Statistic s;
    s.count = static_cast<int>(values.size());
    if (values.empty()) {
        return s;
    }
    double sum = 0.0;
    for (const double v : values) {
        sum += v;
    }
    const double mean = sum / values.size();
    s.mean = mean;
    if (values.size() >= 2) {
        double squares = 0.0;
        for (const double v : values) {
            squares += (v - mean) * (v - mean);
        }
        s.sd = std::sqrt(squares / (values.size() - 1));
    }
    return s;
}

using Field = std::function<std::optional<double>(const StrideParameters&)>;

ParameterSummary SummaryOf(const std::vector<StrideParameters>& strides, std::string name,
                           std::string unit, const Field& field) {
    std::vector<double> right, left, both;
    for (const StrideParameters& stride : strides) {
        if (const auto v = field(stride)) {
            (stride.side == FootSide::kRight ? right : left).push_back(*v);
            both.push_back(*v);
        }
    }
    return {std::move(name), std::move(unit), Summarise(right), Summarise(left), Summarise(both)};
}

ParameterSummary BothOnly(std::string name, std::string unit, std::optional<double> value) {
    ParameterSummary row{std::move(name), std::move(unit), {}, {}, {}};
    if (value) {
        row.both.mean = value;
        row.both.count = 1;
    }
    return row;
}

std::optional<double> Symmetry(const Statistic& right, const Statistic& left) {
    if (!right.mean || !left.mean || *right.mean + *left.mean == 0.0) {
        return std::nullopt;
    }
    return 100.0 * std::abs(*right.mean - *left.mean) / (0.5 * (*right.mean + *left.mean));
}

}  // namespace

GaitParameters ComputeGaitParameters(const std::vector<GaitEvent>& events,
                                     const GaitParameterInput& input) {
    GaitParameters result;
    result.millimetres = input.mmPerPixel.has_value();
    if (!(input.fps > 0.0)) {
        return result;
    }
    const double scale = input.mmPerPixel.value_or(1.0);
    const auto seconds = [&](int frames) { return frames / input.fps; };
    const auto heelAt = [&](FootSide side, int frame) -> std::optional<double> {
        const FootTrack* foot = FootOf(input, side);
        if (foot == nullptr) {
            return std::nullopt;
        }
        const auto p = NearPoint(foot->heel, frame);
        return p ? std::optional<double>(input.floor.Progression(*p)) : std::nullopt;
    };
    for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
        std::vector<int> strikes;
        for (const GaitEvent& e : events) {
            if (e.side == side && e.kind == GaitEventKind::kHeelStrike) {
                strikes.push_back(e.frame);
            }
        }
        for (std::size_t i = 0; i + 1 < strikes.size(); ++i) {
            StrideParameters s;
            s.side = side;
            s.startFrame = strikes[i];
            s.endFrame = strikes[i + 1];
            s.strideTime = seconds(s.endFrame - s.startFrame);
            const auto toeOff =
                FirstBetween(events, side, GaitEventKind::kToeOff, s.startFrame, s.endFrame);
            if (toeOff) {
                s.stanceTime = seconds(*toeOff - s.startFrame);
                s.swingTime = seconds(s.endFrame - *toeOff);
                s.stancePercent = 100.0 * *s.stanceTime / s.strideTime;
            }
            const auto from = heelAt(side, s.startFrame);
            const auto to = heelAt(side, s.endFrame);
            if (from && to) {
                s.strideLength = (*to - *from) * scale;
            }
            const FootSide other = Other(side);
            const auto otherStrike =
                FirstBetween(events, other, GaitEventKind::kHeelStrike, s.startFrame, s.endFrame);
            if (otherStrike) {
                s.stepTime = seconds(s.endFrame - *otherStrike);
                const auto otherHeel = heelAt(other, *otherStrike);
                if (to && otherHeel) {
                    s.stepLength = (*to - *otherHeel) * scale;
                }
                // Both feet down: from this strike to the other's toe-off, and from the
                // other's strike to this foot's toe-off.
                const auto otherOff =
                    FirstBetween(events, other, GaitEventKind::kToeOff, s.startFrame, *otherStrike);
                if (toeOff && otherOff && *toeOff > *otherStrike) {
                    const int frames = (*otherOff - s.startFrame) + (*toeOff - *otherStrike);
                    s.doubleSupportPercent = 100.0 * seconds(frames) / s.strideTime;
                }
            }
            result.strides.push_back(s);
        }
    }
    std::sort(result.strides.begin(), result.strides.end(),
              [](const StrideParameters& a, const StrideParameters& b) {
                  return std::tie(a.startFrame, a.side) < std::tie(b.startFrame, b.side);
              });

    const std::string length = result.millimetres ? "mm" : "px";
    const auto& strides = result.strides;
    auto& rows = result.summary;
    rows.reserve(12);  // rows are referred to while the last ones are added
    rows.push_back(SummaryOf(strides, "StrideTime", "s",
                             [](auto& s) { return std::optional<double>(s.strideTime); }));
    rows.push_back(SummaryOf(strides, "StepTime", "s", [](auto& s) { return s.stepTime; }));
    rows.push_back(SummaryOf(strides, "StanceTime", "s", [](auto& s) { return s.stanceTime; }));
    rows.push_back(SummaryOf(strides, "SwingTime", "s", [](auto& s) { return s.swingTime; }));
    rows.push_back(
        SummaryOf(strides, "StancePercent", "%", [](auto& s) { return s.stancePercent; }));
    rows.push_back(SummaryOf(strides, "SwingPercent", "%", [](auto& s) {
        return s.stancePercent ? std::optional<double>(100.0 - *s.stancePercent) : std::nullopt;
    }));
    rows.push_back(SummaryOf(strides, "DoubleSupportPercent", "%",
                             [](auto& s) { return s.doubleSupportPercent; }));
    rows.push_back(
        SummaryOf(strides, "StrideLength", length, [](auto& s) { return s.strideLength; }));
    rows.push_back(SummaryOf(strides, "StepLength", length, [](auto& s) { return s.stepLength; }));

    const ParameterSummary& stepTime = rows[1];
    const ParameterSummary& strideTime = rows[0];
    std::optional<double> cadence;
    if (stepTime.both.mean && *stepTime.both.mean > 0.0) {
        cadence = 60.0 / *stepTime.both.mean;
    } else if (strideTime.both.mean && *strideTime.both.mean > 0.0) {
        cadence = 120.0 / *strideTime.both.mean;
    }
    rows.push_back(BothOnly("Cadence", "steps/min", cadence));

    std::optional<double> speed;
    if (!strides.empty() && !input.pelvis.Empty()) {
        int first = strides.front().startFrame;
        int last = strides.front().endFrame;
        for (const StrideParameters& s : strides) {
            first = std::min(first, s.startFrame);
            last = std::max(last, s.endFrame);
        }
        const auto a = NearPoint(input.pelvis, first);
        const auto b = NearPoint(input.pelvis, last);
        if (a && b && last > first) {
            speed = (input.floor.Progression(*b) - input.floor.Progression(*a)) * scale /
                    seconds(last - first);
        }
    }
    const ParameterSummary& strideLength = rows[7];
    if (!speed && strideLength.both.mean && strideTime.both.mean) {
        double lengths = 0.0;
        double times = 0.0;
        for (const StrideParameters& s : strides) {
            if (s.strideLength) {
                lengths += *s.strideLength;
                times += s.strideTime;
            }
        }
        if (times > 0.0) {
            speed = lengths / times;
        }
    }
    rows.push_back(BothOnly("Speed", length + "/s", speed));
    rows.push_back(BothOnly("StepTimeSymmetry", "%", Symmetry(rows[1].right, rows[1].left)));
    rows.push_back(BothOnly("StepLengthSymmetry", "%", Symmetry(rows[8].right, rows[8].left)));
    return result;
}

const ParameterSummary* FindParameter(const GaitParameters& parameters, const std::string& name) {
    for (const ParameterSummary& row : parameters.summary) {
        if (row.name == name) {
            return &row;
        }
    }
    return nullptr;
}

}  // namespace kivra
