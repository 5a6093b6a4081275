#include "gait/gait_analysis.h"

#include <charconv>

#include "kinematics/kinematics_table.h"
#include "markers/lff_manager.h"
#include "platform/replace_file.h"

namespace kivra {
namespace {

void AppendFixed(std::string& out, const std::optional<double>& v, int decimals) {
    if (!v) {
        return;
    }
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, *v, std::chars_format::fixed, decimals);
    out.append(buf, res.ptr);
}

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
    if (options.angles.empty()) {
        return series;
    }
    KinematicsOptions kinematics;
    kinematics.angles = options.angles;
    kinematics.filterHz = options.setup.filterHz;
    const KinematicsResult result = BuildKinematics(store, first, last, fps, kinematics);
    if (!result.table) {
        return series;
    }
    for (const AngleKinematics& angle : result.table->angles) {
        series.push_back({angle.name, result.table->frames, angle.degrees});
    }
    return series;
}

}  // namespace

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
    return missing;
}

GaitAnalysis AnalyseGait(const CLFFManager& store, int first, int last, double fps,
                         const GaitAnalysisOptions& options) {
    GaitAnalysis analysis;
    analysis.fps = fps;
    if (!options.setup.AnyFoot()) {
        analysis.error = "no foot markers are chosen";
        return analysis;
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
    return analysis;
}

std::string FormatEventsCsv(const GaitAnalysis& analysis) {
    std::string out = "Frame,Time,Side,Event\r\n";
    for (const GaitEvent& e : analysis.events) {
        out += std::to_string(e.frame) + ",";
        AppendFixed(out,
                    analysis.fps > 0 ? std::optional<double>(e.frame / analysis.fps) : std::nullopt,
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
    return out;
}

std::string FormatCyclesCsv(const GaitAnalysis& analysis) {
    std::string out = "Percent";
    std::vector<const std::optional<CycleCurve>*> columns;
    for (const AngleCycles& a : analysis.cycles) {
        for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
            const SideCycles& c = side == FootSide::kRight ? a.right : a.left;
            out += "," + a.name + "_" + SideName(side) + "_mean," + a.name + "_" + SideName(side) +
                   "_sd";
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
    const std::pair<const char*, std::string> files[] = {
        {"events.csv", FormatEventsCsv(analysis)},
        {"strides.csv", FormatStridesCsv(analysis)},
        {"summary.csv", FormatSummaryCsv(analysis)},
        {"cycles.csv", FormatCyclesCsv(analysis)}};
    for (const auto& [name, text] : files) {
        if (!ReplaceFileContents(folder + "/" + name, text)) {
            return std::string(name);
        }
    }
    return std::nullopt;
}

}  // namespace kivra
