#include "gait/gait_parameters.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <tuple>

#include "platform/translation.h"

namespace kivra {
namespace {

FootSide Other(FootSide side) {
    return side == FootSide::kRight ? FootSide::kLeft : FootSide::kRight;
}

// A marker's point on frame, or on the nearest frame at most two away (a skipped click).
std::optional<ImagePoint> NearPoint(const MarkerTrack& track, int frame) {
    for (const int offset : {0, -1, 1, -2, 2}) {
        const long long near = static_cast<long long>(frame) + offset;
        if (near < 0 || near > std::numeric_limits<int>::max()) {
            continue;
        }
        if (const auto p = track.At(static_cast<int>(near))) {
            return p;
        }
    }
    return std::nullopt;
}

// The point at a moment between frames, linear between the two frames around it; the nearest
// point when one of them is missing.
std::optional<ImagePoint> PointAt(const MarkerTrack& track, double moment) {
    if (!std::isfinite(moment) || moment < 0.0 || moment >= std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    const int below = static_cast<int>(std::floor(moment));
    const double share = moment - below;
    const auto a = track.At(below);
    const auto b = track.At(below + 1);
    if (a && b) {
        return ImagePoint{a->x + (b->x - a->x) * share, a->y + (b->y - a->y) * share};
    }
    return NearPoint(track, static_cast<int>(std::lround(moment)));
}

const FootTrack* FootOf(const GaitParameterInput& input, FootSide side) {
    for (const FootTrack& foot : input.feet) {
        if (foot.side == side) {
            return &foot;
        }
    }
    return nullptr;
}

// The first frames of first ... last the track has no point on, as a left-out stride's gap.
std::optional<LeftOutStride> GapIn(const MarkerTrack& track, FootSide side, bool toe, int first,
                                   int last) {
    auto it = std::lower_bound(track.frames.begin(), track.frames.end(), first);
    for (int expected = first; expected <= last; ++it, ++expected) {
        if (it == track.frames.end() || *it != expected) {
            LeftOutStride gap;
            gap.why = LeftOutStride::kGap;
            gap.gapSide = side;
            gap.gapInToe = toe;
            gap.gapFirst = expected;
            gap.gapLast = it == track.frames.end() ? last : std::min(last, *it - 1);
            return gap;
        }
    }
    return std::nullopt;
}

// The first gap of any marker of the feet named in first ... last.
std::optional<LeftOutStride> GapInFeet(const GaitParameterInput& input,
                                       std::initializer_list<FootSide> sides, int first, int last) {
    for (const FootSide side : sides) {
        if (const FootTrack* foot = FootOf(input, side)) {
            for (const bool toe : {false, true}) {
                const MarkerTrack& track = toe ? foot->toe : foot->heel;
                // A marker not given at all cannot have lost an event.
                if (track.Empty()) {
                    continue;
                }
                if (auto gap = GapIn(track, side, toe, first, last)) {
                    return gap;
                }
            }
        }
    }
    return std::nullopt;
}

using Field = std::function<std::optional<double>(const StrideParameters&)>;

ParameterSummary SummaryOf(const std::vector<StrideParameters>& strides, std::string name,
                           std::string unit, const Field& field) {
    std::vector<double> right, left, both;
    for (const StrideParameters& stride : strides) {
        if (const auto v = field(stride); v && std::isfinite(*v)) {
            (stride.side == FootSide::kRight ? right : left).push_back(*v);
            both.push_back(*v);
        }
    }
    return {std::move(name), std::move(unit), Summarise(right), Summarise(left), Summarise(both)};
}

ParameterSummary BothOnly(std::string name, std::string unit, std::optional<double> value) {
    ParameterSummary row{std::move(name), std::move(unit), {}, {}, {}};
    if (value && std::isfinite(*value)) {
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

bool Is(const GaitEvent& e, FootSide side, GaitEventKind kind) {
    return e.side == side && e.kind == kind;
}

}  // namespace

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

GaitParameters ComputeGaitParameters(const std::vector<GaitEvent>& given,
                                     const GaitParameterInput& input) {
    GaitParameters result;
    result.millimetres = input.mmPerPixel.has_value();
    if (!(input.fps > 0.0)) {
        return result;
    }
    // In the order they happened, so that the pattern between two strikes can be read off.
    std::vector<GaitEvent> events = given;
    std::stable_sort(events.begin(), events.end(), [](const GaitEvent& a, const GaitEvent& b) {
        return std::tie(a.moment, a.frame) < std::tie(b.moment, b.frame);
    });
    const double scale = input.mmPerPixel.value_or(1.0);
    const auto seconds = [&](double frames) { return frames / input.fps; };
    const auto heelAt = [&](FootSide side, double moment) -> std::optional<double> {
        const FootTrack* foot = FootOf(input, side);
        if (foot == nullptr) {
            return std::nullopt;
        }
        const auto p = PointAt(foot->heel, moment);
        return p ? std::optional<double>(input.floor.Progression(*p)) : std::nullopt;
    };
    const bool bothFeet =
        FootOf(input, FootSide::kRight) != nullptr && FootOf(input, FootSide::kLeft) != nullptr;

    // Every step between opposite strikes with the other foot's toe-off alone between them;
    // a step across a gap or an edit that breaks the pattern is no step.
    std::vector<double> stepTimes;
    std::optional<std::size_t> lastStrike;
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (events[i].kind != GaitEventKind::kHeelStrike) {
            continue;
        }
        if (lastStrike) {
            const GaitEvent& a = events[*lastStrike];
            const GaitEvent& b = events[i];
            if (a.side != b.side && i == *lastStrike + 2 &&
                Is(events[*lastStrike + 1], b.side, GaitEventKind::kToeOff) &&
                !GapInFeet(input, {FootSide::kRight, FootSide::kLeft}, a.frame, b.frame)) {
                stepTimes.push_back(seconds(b.moment - a.moment));
            }
        }
        lastStrike = i;
    }

    for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
        const FootSide other = Other(side);
        std::vector<std::size_t> strikes;
        for (std::size_t i = 0; i < events.size(); ++i) {
            if (Is(events[i], side, GaitEventKind::kHeelStrike)) {
                strikes.push_back(i);
            }
        }
        for (std::size_t k = 0; k + 1 < strikes.size(); ++k) {
            const GaitEvent& start = events[strikes[k]];
            const GaitEvent& end = events[strikes[k + 1]];
            // HS, opposite TO, opposite HS, TO, HS: anything else is a lost or a stray event.
            const std::vector<GaitEvent> between(
                events.begin() + static_cast<std::ptrdiff_t>(strikes[k] + 1),
                events.begin() + static_cast<std::ptrdiff_t>(strikes[k + 1]));
            const bool pattern =
                bothFeet ? between.size() == 3 && Is(between[0], other, GaitEventKind::kToeOff) &&
                               Is(between[1], other, GaitEventKind::kHeelStrike) &&
                               Is(between[2], side, GaitEventKind::kToeOff)
                         : between.size() == 1 && Is(between[0], side, GaitEventKind::kToeOff);
            std::optional<LeftOutStride> why =
                bothFeet ? GapInFeet(input, {side, other}, start.frame, end.frame)
                         : GapInFeet(input, {side}, start.frame, end.frame);
            if (!why && (!pattern || !(end.moment > start.moment))) {
                why = LeftOutStride{};
            }
            if (why) {
                why->side = side;
                why->startFrame = start.frame;
                why->endFrame = end.frame;
                result.leftOut.push_back(*why);
                continue;
            }
            StrideParameters s;
            s.side = side;
            s.startFrame = start.frame;
            s.endFrame = end.frame;
            s.strideTime = seconds(end.moment - start.moment);
            const GaitEvent& toeOff = between.back();
            s.stanceTime = seconds(toeOff.moment - start.moment);
            s.swingTime = seconds(end.moment - toeOff.moment);
            s.stancePercent = 100.0 * *s.stanceTime / s.strideTime;
            const auto from = heelAt(side, start.moment);
            const auto to = heelAt(side, end.moment);
            if (from && to) {
                s.strideLength = (*to - *from) * scale;
            }
            if (bothFeet) {
                const GaitEvent& otherOff = between[0];
                const GaitEvent& otherStrike = between[1];
                s.stepTime = seconds(end.moment - otherStrike.moment);
                const auto otherHeel = heelAt(other, otherStrike.moment);
                if (to && otherHeel) {
                    s.stepLength = (*to - *otherHeel) * scale;
                }
                // Both feet down: from this strike to the other's toe-off, and from the
                // other's strike to this foot's toe-off.
                s.doubleSupportPercent =
                    100.0 *
                    ((otherOff.moment - start.moment) + (toeOff.moment - otherStrike.moment)) /
                    (end.moment - start.moment);
            }
            result.strides.push_back(s);
        }
    }
    const auto byStart = [](const auto& a, const auto& b) {
        return std::tie(a.startFrame, a.side) < std::tie(b.startFrame, b.side);
    };
    std::sort(result.strides.begin(), result.strides.end(), byStart);
    std::sort(result.leftOut.begin(), result.leftOut.end(), byStart);

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

    // Steps per minute over every step of the range; one foot alone gives two per stride.
    const ParameterSummary& strideTime = rows[0];
    const Statistic steps = Summarise(stepTimes);
    std::optional<double> cadence;
    if (bothFeet && steps.mean && *steps.mean > 0.0) {
        cadence = 60.0 / *steps.mean;
    } else if (!bothFeet && strideTime.both.mean && *strideTime.both.mean > 0.0) {
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
            if (s.strideLength && std::isfinite(*s.strideLength)) {
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

std::string LeftOutStride::Reason() const {
    if (why == kPattern) {
        return translate("GaitMessages",
                         "間のイベントが歩行の順序 (HS、反対側の TO、反対側の HS、TO、HS) "
                         "に沿っていません");
    }
    const bool right = gapSide == FootSide::kRight;
    const std::string marker =
        gapInToe ? (right ? translate("GaitMessages", "右のつま先マーカの欠落 (フレーム %1-%2)")
                          : translate("GaitMessages", "左のつま先マーカの欠落 (フレーム %1-%2)"))
                 : (right ? translate("GaitMessages", "右の踵マーカの欠落 (フレーム %1-%2)")
                          : translate("GaitMessages", "左の踵マーカの欠落 (フレーム %1-%2)"));
    return ArgText(marker, {std::to_string(gapFirst), std::to_string(gapLast)});
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
