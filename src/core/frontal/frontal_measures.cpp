#include "frontal/frontal_measures.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>

#include "gait/gait_analysis.h"
#include "gait/gait_setup.h"
#include "kinematics/joint_angle.h"
#include "markers/lff_manager.h"
#include "platform/number_text.h"

namespace kivra {
namespace {

constexpr double kDegrees = 180.0 / std::numbers::pi;

bool Finite(ImagePoint p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

const AngleCycles* FindCycles(const std::vector<AngleCycles>& cycles, const std::string& name) {
    const auto it = std::find_if(cycles.begin(), cycles.end(),
                                 [&](const AngleCycles& c) { return c.name == name; });
    return it == cycles.end() ? nullptr : &*it;
}

// One value per stride of each side (its range or its peak), from the curve of that side.
ParameterSummary StrideSummary(const std::vector<AngleCycles>& cycles, const std::string& right,
                               const std::string& left, const std::string& name, bool peak) {
    ParameterSummary summary{name, "deg", {}, {}, {}};
    std::vector<double> all;
    for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
        const AngleCycles* found = FindCycles(cycles, side == FootSide::kRight ? right : left);
        if (found == nullptr) {
            continue;
        }
        const SideCycles& sideCycles = side == FootSide::kRight ? found->right : found->left;
        std::vector<double> values;
        for (const CycleCurve& stride : sideCycles.strides) {
            const auto [low, high] = std::minmax_element(stride.begin(), stride.end());
            values.push_back(peak ? *high : *high - *low);
        }
        all.insert(all.end(), values.begin(), values.end());
        (side == FootSide::kRight ? summary.right : summary.left) = Summarise(values);
    }
    summary.both = Summarise(all);
    return summary;
}

// The range (or peak) of one stride's curve, found by the frame it starts on.
std::optional<double> OfStride(const std::vector<AngleCycles>& cycles, const std::string& name,
                               const StrideParameters& stride, bool peak) {
    const AngleCycles* found = FindCycles(cycles, name);
    if (found == nullptr) {
        return std::nullopt;
    }
    const SideCycles& side = stride.side == FootSide::kRight ? found->right : found->left;
    for (std::size_t i = 0; i < side.strides.size() && i < side.strideStarts.size(); ++i) {
        if (side.strideStarts[i] == stride.startFrame) {
            const auto [low, high] =
                std::minmax_element(side.strides[i].begin(), side.strides[i].end());
            return peak ? *high : *high - *low;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<double> PelvicObliquity(ImagePoint right, ImagePoint left) {
    const double across = std::abs(right.x - left.x);
    const double rise = left.y - right.y;  // y grows downwards
    if (!Finite(right) || !Finite(left) || (across == 0.0 && rise == 0.0)) {
        return std::nullopt;
    }
    return std::atan2(rise, across) * kDegrees;
}

std::optional<double> KneeFrontalAngle(ImagePoint hip, ImagePoint knee, ImagePoint ankle,
                                       ImagePoint towardsMedial) {
    if (!Finite(towardsMedial)) {
        return std::nullopt;
    }
    const std::optional<double> inner =
        JointAngleDegrees({hip.x, hip.y}, {knee.x, knee.y}, {ankle.x, ankle.y});
    if (!inner) {
        return std::nullopt;
    }
    // The knee's side of the hip-ankle line, against the medial side.
    const double lineX = ankle.x - hip.x;
    const double lineY = ankle.y - hip.y;
    const double kneeSide = lineX * (knee.y - hip.y) - lineY * (knee.x - hip.x);
    const double medialSide = lineX * (towardsMedial.y - hip.y) - lineY * (towardsMedial.x - hip.x);
    const double bend = 180.0 - *inner;
    if (bend == 0.0) {
        return 0.0;
    }
    if (medialSide == 0.0) {
        return std::nullopt;  // no way to tell medial from lateral
    }
    return (kneeSide > 0.0) == (medialSide > 0.0) ? bend : -bend;
}

std::optional<double> TrunkLean(ImagePoint pelvisRight, ImagePoint pelvisLeft, ImagePoint trunk) {
    if (!Finite(pelvisRight) || !Finite(pelvisLeft) || !Finite(trunk) ||
        pelvisRight.x == pelvisLeft.x) {
        return std::nullopt;
    }
    const double midX = (pelvisRight.x + pelvisLeft.x) / 2.0;
    const double midY = (pelvisRight.y + pelvisLeft.y) / 2.0;
    const double towardsRight = pelvisRight.x > pelvisLeft.x ? 1.0 : -1.0;
    const double up = midY - trunk.y;
    const double across = (trunk.x - midX) * towardsRight;
    if (up == 0.0 && across == 0.0) {
        return std::nullopt;
    }
    return std::atan2(across, up) * kDegrees;
}

std::vector<AngleSeries> FrontalSeries(const CLFFManager& front, int first, int last,
                                       const FrontalSetup& setup) {
    const auto track = [&](int id) {
        return id > 0 ? MarkerTrackOf(front, id, first, last) : MarkerTrack{};
    };
    const MarkerTrack pelvisRight = track(setup.pelvisRight);
    const MarkerTrack pelvisLeft = track(setup.pelvisLeft);
    const MarkerTrack trunk = track(setup.trunk);
    struct LegTracks {
        MarkerTrack hip, knee, ankle;
    };
    const LegTracks right{track(setup.right.hip), track(setup.right.knee),
                          track(setup.right.ankle)};
    const LegTracks left{track(setup.left.hip), track(setup.left.knee), track(setup.left.ankle)};

    std::vector<int> frames;
    for (const MarkerTrack* t : {&pelvisRight, &pelvisLeft, &trunk, &right.hip, &right.knee,
                                 &right.ankle, &left.hip, &left.knee, &left.ankle}) {
        frames.insert(frames.end(), t->frames.begin(), t->frames.end());
    }
    std::sort(frames.begin(), frames.end());
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());

    std::vector<AngleSeries> series;
    const auto add = [&](const char* name, std::optional<FootSide> side, auto measure) {
        AngleSeries s{name, frames, {}, side};
        bool any = false;
        for (const int frame : frames) {
            s.degrees.push_back(measure(frame));
            any = any || s.degrees.back().has_value();
        }
        if (any) {
            series.push_back(std::move(s));
        }
    };
    add(kPelvicObliquity, std::nullopt, [&](int f) -> std::optional<double> {
        const auto r = pelvisRight.At(f);
        const auto l = pelvisLeft.At(f);
        return r && l ? PelvicObliquity(*r, *l) : std::nullopt;
    });
    const auto knee = [&](const LegTracks& leg, const MarkerTrack& otherPelvis,
                          const MarkerTrack& otherHip) {
        return [&](int f) -> std::optional<double> {
            const auto h = leg.hip.At(f);
            const auto k = leg.knee.At(f);
            const auto a = leg.ankle.At(f);
            // The other side's pelvis marker tells medial; its hip marker will do without one.
            auto medial = otherPelvis.At(f);
            if (!medial) {
                medial = otherHip.At(f);
            }
            return h && k && a && medial ? KneeFrontalAngle(*h, *k, *a, *medial) : std::nullopt;
        };
    };
    add(kKneeFrontalRight, FootSide::kRight, knee(right, pelvisLeft, left.hip));
    add(kKneeFrontalLeft, FootSide::kLeft, knee(left, pelvisRight, right.hip));
    add(kTrunkLean, std::nullopt, [&](int f) -> std::optional<double> {
        const auto r = pelvisRight.At(f);
        const auto l = pelvisLeft.At(f);
        const auto t = trunk.At(f);
        return r && l && t ? TrunkLean(*r, *l, *t) : std::nullopt;
    });
    return series;
}

std::vector<GaitEvent> EventsInOtherView(const std::vector<GaitEvent>& events,
                                         const std::function<std::optional<int>(int)>& map) {
    std::vector<GaitEvent> mapped;
    for (const GaitEvent& event : events) {
        if (const std::optional<int> frame = map(event.frame)) {
            GaitEvent e{*frame, event.side, event.kind};
            e.moment = *frame;
            mapped.push_back(e);
        }
    }
    return mapped;
}

std::vector<StepWidth> StepWidths(const CLFFManager& front, const FrontalSetup& setup,
                                  const std::vector<GaitEvent>& frontEvents,
                                  std::optional<double> mmPerPixel) {
    std::vector<StepWidth> widths;
    if (setup.right.heel <= 0 || setup.left.heel <= 0) {
        return widths;
    }
    const int first = frontEvents.empty() ? 0 : frontEvents.front().frame;
    const int last = frontEvents.empty() ? -1 : frontEvents.back().frame;
    const MarkerTrack right = MarkerTrackOf(front, setup.right.heel, first, last);
    const MarkerTrack left = MarkerTrackOf(front, setup.left.heel, first, last);
    for (const GaitEvent& event : frontEvents) {
        if (event.kind != GaitEventKind::kHeelStrike) {
            continue;
        }
        const auto r = right.At(event.frame);
        const auto l = left.At(event.frame);
        if (!r || !l) {
            continue;
        }
        const double pixels = std::abs(r->x - l->x);
        widths.push_back({event.side, event.frame, mmPerPixel ? pixels * *mmPerPixel : pixels});
    }
    return widths;
}

FrontalAnalysis AnalyseFrontal(const CLFFManager& front, int first, int last,
                               const FrontalSetup& setup, const std::vector<GaitEvent>& frontEvents,
                               const std::vector<StrideParameters>& strides,
                               std::optional<double> mmPerPixel) {
    FrontalAnalysis analysis;
    analysis.millimetres = mmPerPixel.has_value();
    analysis.cycles = BuildCycleCurves(FrontalSeries(front, first, last, setup), strides);
    analysis.stepWidths = StepWidths(front, setup, frontEvents, mmPerPixel);

    ParameterSummary width{"StepWidth", analysis.millimetres ? "mm" : "px", {}, {}, {}};
    std::vector<double> right, left, all;
    for (const StepWidth& w : analysis.stepWidths) {
        (w.side == FootSide::kRight ? right : left).push_back(w.width);
        all.push_back(w.width);
    }
    width.right = Summarise(right);
    width.left = Summarise(left);
    width.both = Summarise(all);
    analysis.summary.push_back(width);
    analysis.summary.push_back(StrideSummary(analysis.cycles, kPelvicObliquity, kPelvicObliquity,
                                             "PelvicObliquityRange", false));
    analysis.summary.push_back(StrideSummary(analysis.cycles, kKneeFrontalRight, kKneeFrontalLeft,
                                             "KneeFrontalPeak", true));
    analysis.summary.push_back(
        StrideSummary(analysis.cycles, kTrunkLean, kTrunkLean, "TrunkLeanRange", false));
    return analysis;
}

std::string FormatFrontalCsv(const FrontalAnalysis& analysis,
                             const std::vector<StrideParameters>& strides) {
    std::string out =
        "Side,StartFrame,EndFrame,PelvicObliquityRange,KneeFrontalPeak,TrunkLeanRange\r\n";
    for (const StrideParameters& s : strides) {
        const bool right = s.side == FootSide::kRight;
        out += std::string(SideName(s.side)) + "," + std::to_string(s.startFrame) + "," +
               std::to_string(s.endFrame);
        for (const std::optional<double>& value :
             {OfStride(analysis.cycles, kPelvicObliquity, s, false),
              OfStride(analysis.cycles, right ? kKneeFrontalRight : kKneeFrontalLeft, s, true),
              OfStride(analysis.cycles, kTrunkLean, s, false)}) {
            out += ",";
            AppendFixed(out, value, 3);
        }
        out += "\r\n";
    }
    out += "\r\nStep,Side,Frame,StepWidth\r\n";
    for (std::size_t i = 0; i < analysis.stepWidths.size(); ++i) {
        const StepWidth& w = analysis.stepWidths[i];
        out += std::to_string(i + 1) + "," + SideName(w.side) + "," + std::to_string(w.frame) + ",";
        AppendFixed(out, w.width, 1);
        out += "\r\n";
    }
    out += "\r\nParameter,Value,Unit\r\n";
    const auto row = [&](const std::string& name, const std::optional<double>& value,
                         const std::string& unit) {
        out += name + ",";
        AppendFixed(out, value, 4);
        out += "," + unit + "\r\n";
    };
    for (const ParameterSummary& p : analysis.summary) {
        row(p.name, p.both.mean, p.unit);
        row(p.name + "_SD", p.both.sd, p.unit);
        row(p.name + "_R", p.right.mean, p.unit);
        row(p.name + "_R_SD", p.right.sd, p.unit);
        row(p.name + "_L", p.left.mean, p.unit);
        row(p.name + "_L_SD", p.left.sd, p.unit);
        out += p.name + "_Count," + std::to_string(p.both.count) + "," +
               (p.name == "StepWidth" ? "steps" : "strides") + "\r\n";
    }
    return out;
}

std::string FormatFrontalCyclesCsv(const FrontalAnalysis& analysis) {
    GaitAnalysis curves;  // the layout of cycles.csv, its curves alone
    curves.cycles = analysis.cycles;
    return FormatCyclesCsv(curves);
}

}  // namespace kivra
