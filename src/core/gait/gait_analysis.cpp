#include "gait/gait_analysis.h"

#include <algorithm>

#include "gait/gait_event_list.h"
#include "kinematics/butterworth.h"
#include "kinematics/kinematics_table.h"
#include "markers/lff_manager.h"
#include "platform/number_text.h"
#include "platform/replace_file.h"
#include "platform/translation.h"

namespace kivra {
namespace {

bool HasData(const CLFFManager& store, int id, int first, int last) {
    for (const T_MARKER& m : store.Row(id - 1)) {
        if (m.frame >= first && m.frame <= last) {
            return true;
        }
    }
    return false;
}

std::vector<AngleSeries> AngleSeriesOf(const CLFFManager& store, int first, int last, double fps,
                                       const GaitAnalysisOptions& options) {
    std::vector<AngleSeries> series;
    if (options.angles.empty() && options.joints.empty()) {
        return series;
    }
    KinematicsOptions kinematics;
    kinematics.angles = options.angles;
    kinematics.joints = options.joints;
    kinematics.filterHz = options.setup.filterHz;
    const KinematicsResult result = BuildKinematics(store, first, last, fps, kinematics);
    if (!result.table) {
        return series;
    }
    for (const AngleKinematics& angle : result.table->angles) {
        series.push_back({angle.name, result.table->frames, angle.degrees});
    }
    for (std::size_t i = 0; i < result.table->joints.size(); ++i) {
        const AngleKinematics& joint = result.table->joints[i];
        const FootSide side =
            options.joints[i].side == LimbSide::kRight ? FootSide::kRight : FootSide::kLeft;
        series.push_back({joint.name, result.table->frames, joint.degrees, side});
    }
    return series;
}

// The most frames in a row the track has.
int LongestRun(const MarkerTrack& track) {
    int longest = 0;
    int run = 0;
    for (std::size_t i = 0; i < track.frames.size(); ++i) {
        run = i > 0 && track.frames[i] == track.frames[i - 1] + 1 ? run + 1 : 1;
        longest = std::max(longest, run);
    }
    return longest;
}

// The body segments the angles are drawn between, each pair of markers once ("knee_R 2-3").
std::vector<SegmentTrack> SegmentsOf(const CLFFManager& store, int first, int last,
                                     const GaitAnalysisOptions& options) {
    std::vector<SegmentTrack> segments;
    std::vector<std::pair<int, int>> seen;
    const auto add = [&](const std::string& angle, std::optional<FootSide> side, int a, int b) {
        const std::pair<int, int> pair = std::minmax(a, b);
        if (a <= 0 || b <= 0 || a == b || std::find(seen.begin(), seen.end(), pair) != seen.end()) {
            return;
        }
        seen.push_back(pair);
        segments.push_back({angle + " " + std::to_string(a) + "-" + std::to_string(b), side,
                            MarkerTrackOf(store, a, first, last),
                            MarkerTrackOf(store, b, first, last)});
    };
    for (const NamedAngle& angle : options.angles) {
        add(angle.name, std::nullopt, angle.proximal, angle.joint);
        add(angle.name, std::nullopt, angle.joint, angle.distal);
    }
    for (const ClinicalAngle& joint : options.joints) {
        const FootSide side = joint.side == LimbSide::kRight ? FootSide::kRight : FootSide::kLeft;
        add(ClinicalAngleName(joint), side, joint.proximal, joint.middle);  // none: the vertical
        add(ClinicalAngleName(joint), side, joint.middle, joint.distal);
    }
    return segments;
}

}  // namespace

std::string FootWithoutStrides::Text() const {
    const std::string foot = FootText(side);
    if (why == kTooFewFrames) {
        return ArgText(translate("GaitMessages",
                                 "%1からはストライドが得られません: マーカが再生範囲で続けて最大 "
                                 "%2 フレームしかなく、立脚期を見るには %3 フレーム必要です"),
                       {foot, std::to_string(longestRun), std::to_string(neededRun)});
    }
    return ArgText(translate("GaitMessages",
                             "%1からはストライドが得られません: 再生範囲の踵接地が %2 回で、"
                             "ストライドには足尖離地を挟んだ 2 回が必要です"),
                   {foot, std::to_string(strikes)});
}

std::vector<GaitMarkerWithoutData> GaitMarkersWithoutData(const CLFFManager& store,
                                                          const GaitAnalysisOptions& options,
                                                          int first, int last) {
    std::vector<GaitMarkerWithoutData> missing;
    const auto check = [&](const std::string& role, int id) {
        if (id > 0 && !HasData(store, id, first, last)) {
            missing.push_back({role, id});
        }
    };
    for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
        const auto& foot = side == FootSide::kRight ? options.setup.right : options.setup.left;
        if (foot) {
            check(std::string(SideName(side)) + " heel", foot->heelId);
            check(std::string(SideName(side)) + " toe", foot->toeId);
        }
    }
    check("pelvis", options.setup.pelvisId);
    for (const NamedAngle& angle : options.angles) {
        for (const int id : {angle.proximal, angle.joint, angle.distal}) {
            if (!HasData(store, id, first, last)) {
                missing.push_back({angle.name, id});
                break;
            }
        }
    }
    for (const AngleWithoutData& joint : AnglesWithoutData(store, first, last, options.joints)) {
        missing.push_back({joint.name, joint.id});
    }
    return missing;
}

GaitAnalysis AnalyseGait(const CLFFManager& store, int first, int last, double fps,
                         const GaitAnalysisOptions& options) {
    GaitAnalysis analysis;
    analysis.fps = fps;
    if (!options.setup.AnyFoot()) {
        analysis.error = translate("GaitMessages", "足のマーカが指定されていません");
        return analysis;
    }
    // The same rule whether the events are detected or given: the cycle curves filter too.
    if (options.setup.filterHz != 0.0) {
        if (std::string problem = CutoffProblem(options.setup.filterHz, fps); !problem.empty()) {
            analysis.error = std::move(problem);
            return analysis;
        }
    }
    if (options.events) {
        if (auto outside = EventOutsideRange(*options.events, first, last)) {
            analysis.error = std::move(*outside);
            return analysis;
        }
    }
    const std::vector<FootTrack> feet = FootTracksOf(store, options.setup, first, last);
    const EventDetection detection = DetectGaitEvents(feet, {fps, options.setup.filterHz});
    if (options.events) {
        analysis.events = *options.events;
    } else if (!detection.error.empty()) {
        analysis.error = detection.error;
        return analysis;
    } else {
        analysis.events = detection.events;
        analysis.detected = true;
    }
    analysis.floor = detection.floor.value_or(FloorLine{});
    GaitParameterInput input;
    input.fps = fps;
    if (options.calibration) {
        input.mmPerPixel = options.calibration->mmPerPixel;
    }
    input.feet = feet;
    if (options.setup.pelvisId > 0) {
        input.pelvis = MarkerTrackOf(store, options.setup.pelvisId, first, last);
    }
    input.floor = analysis.floor;
    analysis.parameters = ComputeGaitParameters(analysis.events, input);
    analysis.cycles = BuildCycleCurves(AngleSeriesOf(store, first, last, fps, options),
                                       analysis.parameters.strides);
    analysis.bands = options.bands;
    analysis.deviation = DeviationFromBands(analysis.cycles, analysis.bands);
    for (const FootTrack& foot : feet) {
        const auto ofFoot = [&](const auto& s) { return s.side == foot.side; };
        if (std::any_of(analysis.parameters.strides.begin(), analysis.parameters.strides.end(),
                        ofFoot) ||
            std::any_of(analysis.parameters.leftOut.begin(), analysis.parameters.leftOut.end(),
                        ofFoot)) {
            continue;
        }
        FootWithoutStrides problem;
        problem.side = foot.side;
        problem.neededRun = MinimumRunFrames(fps);
        problem.longestRun = std::min(LongestRun(foot.heel), LongestRun(foot.toe));
        problem.strikes = static_cast<int>(
            std::count_if(analysis.events.begin(), analysis.events.end(), [&](const GaitEvent& e) {
                return e.side == foot.side && e.kind == GaitEventKind::kHeelStrike;
            }));
        problem.why = problem.longestRun < problem.neededRun ? FootWithoutStrides::kTooFewFrames
                                                             : FootWithoutStrides::kTooFewStrikes;
        analysis.feetWithoutStrides.push_back(problem);
    }
    analysis.warnings =
        GaitWarnings(analysis.parameters, feet, fps, SegmentsOf(store, first, last, options));
    if (VariableFrameRate(options.timing)) {
        GaitWarning w{GaitWarning::kVariableFrameRate, FootSide::kRight, options.timing.frames,
                      fps};
        w.repeated = options.timing.repeated;
        w.skipped = options.timing.skipped;
        analysis.warnings.insert(analysis.warnings.begin(), w);
    }
    return analysis;
}

std::string FormatEventsCsv(const GaitAnalysis& analysis) {
    std::string out = "Frame,Time,Side,Event\r\n";
    for (const GaitEvent& e : analysis.events) {
        out += std::to_string(e.frame) + ",";
        AppendFixed(
            out, analysis.fps > 0 ? std::optional<double>(e.moment / analysis.fps) : std::nullopt,
            4);
        out += std::string(",") + SideName(e.side) + "," + EventName(e.kind) + "\r\n";
    }
    return out;
}

std::string FormatStridesCsv(const GaitAnalysis& analysis) {
    std::string out =
        "Side,StartFrame,EndFrame,StrideTime,StanceTime,SwingTime,StancePercent,StrideLength,"
        "StepTime,StepLength\r\n";
    for (const StrideParameters& s : analysis.parameters.strides) {
        out += std::string(SideName(s.side)) + "," + std::to_string(s.startFrame) + "," +
               std::to_string(s.endFrame);
        const std::pair<std::optional<double>, int> fields[] = {
            {s.strideTime, 4},   {s.stanceTime, 4}, {s.swingTime, 4}, {s.stancePercent, 2},
            {s.strideLength, 1}, {s.stepTime, 4},   {s.stepLength, 1}};
        for (const auto& [value, decimals] : fields) {
            out += ",";
            AppendFixed(out, value, decimals);
        }
        out += "\r\n";
    }
    return out;
}

std::string FormatSummaryCsv(const GaitAnalysis& analysis) {
    std::string out = "Parameter,Value,Unit\r\n";
    const auto row = [&](const std::string& name, const std::optional<double>& value,
                         const std::string& unit) {
        out += name + ",";
        AppendFixed(out, value, 4);
        out += "," + unit + "\r\n";
    };
    for (const ParameterSummary& p : analysis.parameters.summary) {
        row(p.name, p.both.mean, p.unit);
        const bool perSide = p.right.count > 0 || p.left.count > 0;
        if (!perSide) {
            continue;
        }
        row(p.name + "_SD", p.both.sd, p.unit);
        row(p.name + "_R", p.right.mean, p.unit);
        row(p.name + "_R_SD", p.right.sd, p.unit);
        row(p.name + "_L", p.left.mean, p.unit);
        row(p.name + "_L_SD", p.left.sd, p.unit);
        out += p.name + "_Count," + std::to_string(p.both.count) + ",strides\r\n";
    }
    // Only with a band: a table without one keeps its rows.
    for (const BandDeviation& d : analysis.deviation.angles) {
        row("BandDeviation_" + d.column, d.rmsDegrees, "deg");
    }
    const ProfileDeviation& profile = analysis.deviation;
    if (profile.score) {
        row("SagittalProfileScore", profile.score, "deg");
        row("SagittalProfileScore_R", profile.scoreRight, "deg");
        row("SagittalProfileScore_L", profile.scoreLeft, "deg");
    }
    // Strikes that make no stride, each with its reason, so that no number hides a lost event.
    const auto& leftOut = analysis.parameters.leftOut;
    out += "StridesLeftOut," + std::to_string(leftOut.size()) + ",strides\r\n";
    for (const LeftOutStride& s : leftOut) {
        out += std::string("StrideLeftOut_") + SideName(s.side) + "," +
               std::to_string(s.startFrame) + ",\"" +
               ArgText(translate("GaitMessages", "フレーム %1-%2: %3"),
                       {std::to_string(s.startFrame), std::to_string(s.endFrame), s.Reason()}) +
               "\"\r\n";
    }
    for (const GaitWarning& w : analysis.warnings) {
        out += std::string("Warning,") + w.CodeName() + ",\"" + w.Text() + "\"\r\n";
    }
    return out;
}

std::string FormatCyclesCsv(const GaitAnalysis& analysis) {
    std::string out = "Percent";
    std::vector<const std::optional<CycleCurve>*> columns;
    for (const AngleCycles& a : analysis.cycles) {
        for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
            if (a.side && *a.side != side) {
                continue;  // one leg's joint has no curve of the other
            }
            const SideCycles& c = side == FootSide::kRight ? a.right : a.left;
            // A sided angle's name ("knee_R") carries its side already.
            const std::string name = a.side ? a.name : a.name + "_" + SideName(side);
            out += "," + name + "_mean," + name + "_sd";
            columns.push_back(&c.mean);
            columns.push_back(&c.sd);
        }
    }
    out += "\r\n";
    for (int p = 0; p < kCyclePoints; ++p) {
        out += std::to_string(p);
        for (const std::optional<CycleCurve>* curve : columns) {
            out += ",";
            if (*curve) {
                AppendFixed(out, (**curve)[p], 3);
            }
        }
        out += "\r\n";
    }
    return out;
}

std::optional<std::string> WriteGaitCsvFiles(const GaitAnalysis& analysis,
                                             const std::string& folder) {
    const std::string texts[] = {FormatEventsCsv(analysis), FormatStridesCsv(analysis),
                                 FormatSummaryCsv(analysis), FormatCyclesCsv(analysis)};
    static_assert(std::size(texts) == std::size(kGaitCsvFileNames));
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        if (!ReplaceFileContents(folder + "/" + kGaitCsvFileNames[i], texts[i])) {
            return std::string(kGaitCsvFileNames[i]);
        }
    }
    return std::nullopt;
}

}  // namespace kivra
