#pragma once
// The whole gait analysis of one video's markers over its play range: events (detected, or
// as the user edited them), parameters and cycle curves, and the four CSV files of it. Used
// alike by the window and the command line.
#include <optional>
#include <string>
#include <vector>

#include "gait/gait_cycles.h"
#include "gait/gait_parameters.h"
#include "gait/gait_setup.h"
#include "gait/gait_warnings.h"
#include "gait/normal_bands.h"
#include "kinematics/calibration.h"
#include "kinematics/joint_angle.h"

class CLFFManager;

namespace kivra {

struct GaitAnalysisOptions {
    GaitSetup setup;
    std::optional<Calibration> calibration;        // lengths in pixels without it
    std::vector<NamedAngle> angles;                // the cycle curves' angles
    std::vector<ClinicalAngle> joints;             // and the sided ones, after them
    std::vector<NormalBand> bands;                 // the curves measured against a band
    FrameTiming timing;                            // of the video's frames over the range
    std::optional<std::vector<GaitEvent>> events;  // as edited; nothing: detect them
};

// A foot the setup names that gives no stride at all, and why, for the user.
struct FootWithoutStrides {
    enum Why { kTooFewFrames, kTooFewStrikes };
    FootSide side = FootSide::kRight;
    Why why = kTooFewStrikes;
    int longestRun = 0;  // kTooFewFrames: its markers' most frames in a row
    int neededRun = 0;   // the frames in a row a stance needs to be seen
    int strikes = 0;     // kTooFewStrikes: its heel strikes in the range

    // "the left foot gives no stride: ...", for the command line.
    std::string Text() const;
};

struct GaitAnalysis {
    std::vector<GaitEvent> events;
    bool detected = false;  // the events were detected now, not taken as given
    FloorLine floor;
    GaitParameters parameters;
    std::vector<AngleCycles> cycles;
    std::vector<NormalBand> bands;  // as the options gave them
    ProfileDeviation deviation;     // of the curves that have a band
    std::vector<FootWithoutStrides> feetWithoutStrides;
    std::vector<GaitWarning> warnings;
    double fps = 0.0;
    std::string error;  // why there is no analysis, in words; empty otherwise
};

// The IDs the setup names (feet, pelvis) and the angles name that have no marker in
// first ... last, each with what names it ("R heel", "pelvis", an angle's name, "knee_R").
struct GaitMarkerWithoutData {
    std::string role;
    int id = 0;
};
std::vector<GaitMarkerWithoutData> GaitMarkersWithoutData(const CLFFManager& store,
                                                          const GaitAnalysisOptions& options,
                                                          int first, int last);

GaitAnalysis AnalyseGait(const CLFFManager& store, int first, int last, double fps,
                         const GaitAnalysisOptions& options);

// events.csv, strides.csv, summary.csv and cycles.csv of the analysis: decimal points in every
// locale, CR LF line ends, empty fields where a value cannot be computed. An event's Frame is
// the nearest frame, its Time the moment between frames. With bands, summary.csv gives each
// banded curve's "BandDeviation_knee_R" and the "SagittalProfileScore" (_R, _L); it ends with
// "StridesLeftOut,N,strides" and a row "StrideLeftOut_R,START,"frames A-B: reason"" for each,
// then a row "Warning,CODE,"text"" for each warning.
std::string FormatEventsCsv(const GaitAnalysis& analysis);
std::string FormatStridesCsv(const GaitAnalysis& analysis);
std::string FormatSummaryCsv(const GaitAnalysis& analysis);
std::string FormatCyclesCsv(const GaitAnalysis& analysis);
// The names of the four files, in the order they are written.
inline constexpr const char* kGaitCsvFileNames[] = {"events.csv", "strides.csv", "summary.csv",
                                                    "cycles.csv"};
// Writes the four files into folder (which must exist), each replaced in one step; the name
// of the first that could not be written, or nothing.
std::optional<std::string> WriteGaitCsvFiles(const GaitAnalysis& analysis,
                                             const std::string& folder);

}  // namespace kivra
