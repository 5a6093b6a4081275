#pragma once
// What a front camera shows of a walk that the side camera cannot: pelvic obliquity, the knee's
// frontal angle, trunk lean and step width, from the front view's markers, cut into strides by
// events found in the side view and carried over to the front view's frames. Plain values:
// the caller owns the markers and the events.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gait/frontal_roles.h"
#include "gait/gait_cycles.h"
#include "gait/gait_events.h"
#include "gait/gait_parameters.h"

class CLFFManager;

namespace kivra {

// The curve names, also the CSV columns.
inline constexpr const char* kPelvicObliquity = "pelvic_obliquity";
inline constexpr const char* kTrunkLean = "trunk_lean";
inline constexpr const char* kKneeFrontalRight = "knee_frontal_R";
inline constexpr const char* kKneeFrontalLeft = "knee_frontal_L";

// One frame's measures in degrees, each missing where its markers are:
//   pelvic obliquity: the line between the pelvis markers against the horizontal, right side
//     up positive;
//   knee frontal angle: 180 minus the angle at the knee between hip and ankle, positive when
//     the knee lies medial of the hip-ankle line (valgus), negative for varus; medial is
//     towards the other pelvis marker, so it holds walking towards the camera or away;
//   trunk lean: the line from the pelvis midpoint to the trunk marker against the vertical,
//     leaning to the subject's right positive.
// Image coordinates, y down, as the markers are placed.
std::optional<double> PelvicObliquity(ImagePoint right, ImagePoint left);
std::optional<double> KneeFrontalAngle(ImagePoint hip, ImagePoint knee, ImagePoint ankle,
                                       ImagePoint towardsMedial);
std::optional<double> TrunkLean(ImagePoint pelvisRight, ImagePoint pelvisLeft, ImagePoint trunk);

// The measures on every frame first ... last that has a marker of the setup.
std::vector<AngleSeries> FrontalSeries(const CLFFManager& front, int first, int last,
                                       const FrontalSetup& setup);

// The side view's events on the front view's frames: map gives the front frame current at a
// side frame's moment, nothing outside the front video. Events that fall outside are dropped.
std::vector<GaitEvent> EventsInOtherView(const std::vector<GaitEvent>& events,
                                         const std::function<std::optional<int>(int)>& map);

// The width of the step ending at each heel strike: the two heels apart across the picture on
// the frame of the strike, in mm with a scale, in pixels otherwise.
struct StepWidth {
    FootSide side = FootSide::kRight;  // the foot that strikes
    int frame = 0;
    double width = 0.0;
};
std::vector<StepWidth> StepWidths(const CLFFManager& front, const FrontalSetup& setup,
                                  const std::vector<GaitEvent>& frontEvents,
                                  std::optional<double> mmPerPixel);

struct FrontalAnalysis {
    std::vector<AngleCycles> cycles;  // the curves per side over the strides
    std::vector<StepWidth> stepWidths;
    // StepWidth (mm or px), PelvicObliquityRange, KneeFrontalPeak (most valgus in a stride),
    // TrunkLeanRange: per side over the strides.
    std::vector<ParameterSummary> summary;
    bool millimetres = false;
};

// strides: the side view's strides on the front view's frames (start and end mapped).
FrontalAnalysis AnalyseFrontal(const CLFFManager& front, int first, int last,
                               const FrontalSetup& setup, const std::vector<GaitEvent>& frontEvents,
                               const std::vector<StrideParameters>& strides,
                               std::optional<double> mmPerPixel);

// frontal.csv: a row per stride on the front view's frames,
//   Side,StartFrame,EndFrame,PelvicObliquityRange,KneeFrontalPeak,TrunkLeanRange
// (the knee of the stride's own side), then a row per step, Step,Side,Frame,StepWidth, then
// the summary as summary.csv lays it out, Parameter,Value,Unit; each part under its own
// header, an empty line between. CR LF, decimal points in every locale, an empty field where
// a stride has no value.
std::string FormatFrontalCsv(const FrontalAnalysis& analysis,
                             const std::vector<StrideParameters>& strides);
// frontal_cycles.csv: each curve's mean and SD per side over 0..100 %, as cycles.csv.
std::string FormatFrontalCyclesCsv(const FrontalAnalysis& analysis);
inline constexpr const char* kFrontalCsvFileNames[] = {"frontal.csv", "frontal_cycles.csv"};

}  // namespace kivra
