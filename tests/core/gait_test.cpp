// Heel strikes and toe-offs from synthetic walks with known contacts, the parameters from
// hand-made events, and the gait files read back or refused.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <numbers>
#include <random>

#include "gait/gait_analysis.h"
#include "gait/gait_cycles.h"
#include "gait/gait_event_list.h"
#include "gait/gait_events.h"
#include "gait/gait_file.h"
#include "gait/gait_parameters.h"
#include "gait/gait_setup.h"
#include "gait/gait_warnings.h"
#include "gait/normal_bands.h"
#include "kinematics/butterworth.h"
#include "markers/lff_manager.h"
#include "platform/number_text.h"
#include "support/ffmpeg_tool.h"
#include "ui_translations.h"

namespace {

using namespace kivra;
using kivra::test::ReadFile;
using kivra::test::TempDir;

constexpr double kFps = 30.0;
constexpr double kCycle = 1.1;   // seconds per stride
constexpr double kStride = 280;  // pixels per stride
constexpr double kFootLength = 45;
constexpr double kStanceShare = 0.6;

double Ease(double u) {
    return 0.5 - 0.5 * std::cos(std::numbers::pi * std::clamp(u, 0.0, 1.0));
}

// One foot of a side-view walk: phase 0 is heel strike, the foot is flat from 0.08, the heel
// rises from 0.4 and the toe leaves the floor at 0.6; the swing eases out and in.
struct SyntheticFoot {
    double phaseAtZero = 0.0;
    double startX = 100.0;

    double Phase(double t) const { return t / kCycle + phaseAtZero; }
    double StrikeX(int cycle) const { return startX + cycle * kStride; }

    // Heel and toe at time t, floor at y = 0, y up.
    std::pair<ImagePoint, ImagePoint> At(double t) const {
        const double phase = Phase(t);
        const int cycle = static_cast<int>(std::floor(phase));
        const double u = phase - cycle;
        const double x = StrikeX(cycle);
        const double strikePitch = 12.0 * std::numbers::pi / 180.0;
        const double rollMax = 40.0 * std::numbers::pi / 180.0;
        const auto stance = [&](double v, double atX) -> std::pair<ImagePoint, ImagePoint> {
            if (v < 0.4) {
                const double pitch = strikePitch * (1.0 - Ease(v / 0.08));
                return {{atX, 0.0},
                        {atX + kFootLength * std::cos(pitch), kFootLength * std::sin(pitch)}};
            }
            const double roll = rollMax * Ease((v - 0.4) / (kStanceShare - 0.4));
            const ImagePoint toe{atX + kFootLength, 0.0};
            return {{toe.x - kFootLength * std::cos(roll), kFootLength * std::sin(roll)}, toe};
        };
        if (u < kStanceShare) {
            return stance(u, x);
        }
        const double s = (u - kStanceShare) / (1.0 - kStanceShare);
        const auto from = stance(kStanceShare - 1e-9, x);
        const auto to = stance(0.0, x + kStride);
        const double e = Ease(s);
        const double lift = 25.0 * std::sin(std::numbers::pi * s) * (1.0 - s);
        return {{from.first.x + (to.first.x - from.first.x) * e,
                 from.first.y + (to.first.y - from.first.y) * e + lift},
                {from.second.x + (to.second.x - from.second.x) * e,
                 from.second.y + (to.second.y - from.second.y) * e + lift}};
    }

    // The true events from frame 0 to last: the frame nearest each moment.
    std::vector<GaitEvent> Truth(FootSide side, int last) const {
        std::vector<GaitEvent> events;
        for (int cycle = -1; cycle < 20; ++cycle) {
            for (const auto& [share, kind] : {std::pair{0.0, GaitEventKind::kHeelStrike},
                                              std::pair{kStanceShare, GaitEventKind::kToeOff}}) {
                const double t = (cycle + share - phaseAtZero) * kCycle;
                const int frame = static_cast<int>(std::lround(t * kFps));
                if (frame >= 0 && frame <= last) {
                    events.push_back({frame, side, kind});
                }
            }
        }
        return events;
    }
};

struct WalkView {
    double tiltDegrees = 0.0;
    bool mirrored = false;
    double noisePx = 0.0;
};

// The picture of the walk: y down from a floor at 600, optionally mirrored and tilted, and
// clicked with noise.
ImagePoint ToImage(ImagePoint p, const WalkView& view, std::mt19937& random) {
    double x = view.mirrored ? 1200.0 - p.x : p.x;
    double y = 600.0 - p.y;
    const double a = view.tiltDegrees * std::numbers::pi / 180.0;
    const double rx = 600 + (x - 600) * std::cos(a) - (y - 600) * std::sin(a);
    const double ry = 600 + (x - 600) * std::sin(a) + (y - 600) * std::cos(a);
    std::uniform_real_distribution<double> noise(-view.noisePx, view.noisePx);
    return {rx + (view.noisePx > 0 ? noise(random) : 0.0),
            ry + (view.noisePx > 0 ? noise(random) : 0.0)};
}

FootTrack Track(const SyntheticFoot& foot, FootSide side, int frames, const WalkView& view,
                std::mt19937& random) {
    FootTrack track;
    track.side = side;
    for (int f = 0; f < frames; ++f) {
        const auto [heel, toe] = foot.At(f / kFps);
        track.heel.frames.push_back(f);
        track.heel.points.push_back(ToImage(heel, view, random));
        track.toe.frames.push_back(f);
        track.toe.points.push_back(ToImage(toe, view, random));
    }
    return track;
}

// Every true event is found within `within` frames, and nothing else is.
void ExpectEvents(const std::vector<GaitEvent>& found, const std::vector<GaitEvent>& truth,
                  int within, const std::string& label) {
    int matched = 0;
    for (const GaitEvent& t : truth) {
        bool hit = false;
        for (const GaitEvent& f : found) {
            if (f.side == t.side && f.kind == t.kind && std::abs(f.frame - t.frame) <= within) {
                hit = true;
            }
        }
        // Events at the very ends cannot be decided and may be left out.
        if (!hit && t.frame > 12 && t.frame < 108) {
            ADD_FAILURE() << label << ": no " << SideName(t.side) << " " << EventName(t.kind)
                          << " near frame " << t.frame;
        }
        matched += hit ? 1 : 0;
    }
    EXPECT_EQ(found.size(), static_cast<std::size_t>(matched)) << label << ": invented events";
}

TEST(GaitEventsTest, SyntheticWalksClearNoisyMirroredTiltedAndOneFoot) {
    const SyntheticFoot right{0.15, 100.0};
    const SyntheticFoot left{0.65, 100.0 + kStride / 2};
    constexpr int kFrames = 120;
    std::vector<GaitEvent> truth = right.Truth(FootSide::kRight, kFrames - 1);
    const auto leftTruth = left.Truth(FootSide::kLeft, kFrames - 1);
    truth.insert(truth.end(), leftTruth.begin(), leftTruth.end());

    struct Case {
        const char* label;
        WalkView view;
        double filterHz;
        int within;
    };
    for (const Case& c : {Case{"clean", {}, 0.0, 1}, Case{"clean filtered", {}, 8.0, 1},
                          Case{"1 px clicks", {0.0, false, 1.0}, 6.0, 2},
                          Case{"mirrored on a tilted floor", {4.0, true, 0.0}, 0.0, 1},
                          Case{"tilted the other way, noisy", {-3.0, false, 1.0}, 6.0, 2}}) {
        std::mt19937 random(7);
        const std::vector<FootTrack> feet = {
            Track(right, FootSide::kRight, kFrames, c.view, random),
            Track(left, FootSide::kLeft, kFrames, c.view, random)};
        const EventDetection detection = DetectGaitEvents(feet, {kFps, c.filterHz});
        ASSERT_TRUE(detection.error.empty()) << c.label << ": " << detection.error;
        ExpectEvents(detection.events, truth, c.within, c.label);
        ASSERT_TRUE(detection.floor);
        EXPECT_EQ(detection.floor->direction, c.view.mirrored ? -1 : 1) << c.label;
        EXPECT_NEAR(std::atan(detection.floor->slope) * 180 / std::numbers::pi, c.view.tiltDegrees,
                    0.5)
            << c.label;
    }

    // One foot alone, and a track that starts in stance: no strike is invented before it.
    std::mt19937 random(3);
    FootTrack near = Track(right, FootSide::kRight, kFrames, {}, random);
    const EventDetection one = DetectGaitEvents({near}, {kFps, 0.0});
    ExpectEvents(one.events, right.Truth(FootSide::kRight, kFrames - 1), 1, "one foot");
    for (const GaitEvent& e : one.events) {
        EXPECT_EQ(e.side, FootSide::kRight);
    }
    EXPECT_GT(one.events.front().frame, 0);

    // Refusals say why.
    EXPECT_FALSE(DetectGaitEvents({near}, {0.0, 0.0}).error.empty());
    EXPECT_FALSE(DetectGaitEvents({near}, {kFps, 20.0}).error.empty());
    EXPECT_FALSE(DetectGaitEvents({FootTrack{}}, {kFps, 0.0}).error.empty());
}

MarkerTrack Line(int first, int last, double x0, double dx) {
    MarkerTrack track;
    for (int f = first; f <= last; ++f) {
        track.frames.push_back(f);
        track.points.push_back({x0 + dx * (f - first), 500.0});
    }
    return track;
}

// At 100 fps: right strikes at 0, 100, 200 and leaves at 60, 160; left leaves at 10, 110, 210
// and strikes at 50, 150. The heels stand at 10 px per frame of walking.
TEST(GaitParametersTest, HandMadeEventsGiveTheTextbookNumbers) {
    using enum GaitEventKind;
    const std::vector<GaitEvent> events = {
        {0, FootSide::kRight, kHeelStrike},   {10, FootSide::kLeft, kToeOff},
        {50, FootSide::kLeft, kHeelStrike},   {60, FootSide::kRight, kToeOff},
        {100, FootSide::kRight, kHeelStrike}, {110, FootSide::kLeft, kToeOff},
        {150, FootSide::kLeft, kHeelStrike},  {160, FootSide::kRight, kToeOff},
        {200, FootSide::kRight, kHeelStrike}, {210, FootSide::kLeft, kToeOff}};
    GaitParameterInput input;
    input.fps = 100.0;
    input.mmPerPixel = 2.0;
    input.feet = {{FootSide::kRight, Line(0, 220, 0.0, 10.0), {}},
                  {FootSide::kLeft, Line(0, 220, 0.0, 10.0), {}}};
    input.pelvis = Line(0, 220, 0.0, 10.0);
    const GaitParameters p = ComputeGaitParameters(events, input);
    ASSERT_EQ(p.strides.size(), 3u);  // R 0-100, L 50-150, R 100-200
    const StrideParameters& r = p.strides[0];
    EXPECT_EQ(r.side, FootSide::kRight);
    EXPECT_DOUBLE_EQ(r.strideTime, 1.0);
    EXPECT_DOUBLE_EQ(*r.stanceTime, 0.6);
    EXPECT_DOUBLE_EQ(*r.swingTime, 0.4);
    EXPECT_DOUBLE_EQ(*r.stancePercent, 60.0);
    EXPECT_DOUBLE_EQ(*r.strideLength, 2000.0);
    EXPECT_DOUBLE_EQ(*r.stepTime, 0.5);
    EXPECT_DOUBLE_EQ(*r.stepLength, 1000.0);
    EXPECT_DOUBLE_EQ(*r.doubleSupportPercent, 20.0);
    const StrideParameters& l = p.strides[1];
    EXPECT_EQ(l.side, FootSide::kLeft);
    EXPECT_DOUBLE_EQ(*l.stancePercent, 60.0);
    EXPECT_DOUBLE_EQ(*l.doubleSupportPercent, 20.0);

    EXPECT_TRUE(p.millimetres);
    EXPECT_DOUBLE_EQ(*FindParameter(p, "Cadence")->both.mean, 120.0);
    EXPECT_DOUBLE_EQ(*FindParameter(p, "Speed")->both.mean, 2000.0);
    EXPECT_EQ(FindParameter(p, "Speed")->unit, "mm/s");
    const ParameterSummary* stride = FindParameter(p, "StrideTime");
    EXPECT_EQ(stride->right.count, 2);
    EXPECT_EQ(stride->left.count, 1);
    EXPECT_EQ(stride->both.count, 3);
    EXPECT_DOUBLE_EQ(*stride->right.sd, 0.0);
    EXPECT_FALSE(stride->left.sd);  // one stride has no spread
    EXPECT_DOUBLE_EQ(*FindParameter(p, "StepTimeSymmetry")->both.mean, 0.0);

    // One foot only, no calibration, no pelvis: lengths in pixels, cadence from strides, no
    // steps or double support.
    std::vector<GaitEvent> right;
    for (const GaitEvent& e : events) {
        if (e.side == FootSide::kRight) {
            right.push_back(e);
        }
    }
    GaitParameterInput alone = input;
    alone.mmPerPixel.reset();
    alone.pelvis = {};
    alone.feet.pop_back();
    const GaitParameters q = ComputeGaitParameters(right, alone);
    ASSERT_EQ(q.strides.size(), 2u);
    EXPECT_FALSE(q.strides[0].stepTime);
    EXPECT_FALSE(q.strides[0].doubleSupportPercent);
    EXPECT_DOUBLE_EQ(*q.strides[0].strideLength, 1000.0);
    EXPECT_DOUBLE_EQ(*FindParameter(q, "Cadence")->both.mean, 120.0);
    EXPECT_DOUBLE_EQ(*FindParameter(q, "Speed")->both.mean, 1000.0);
    EXPECT_EQ(FindParameter(q, "Speed")->unit, "px/s");
    EXPECT_FALSE(FindParameter(q, "StepLengthSymmetry")->both.mean);
}

// A lost or stray event never merges or invents a stride: a marker gap and a strike added
// in mid-stance leave their strides out with the reason, cadence keeps counting real steps,
// and moments between frames carry into the times.
TEST(GaitParametersTest, StridesFollowTheWalkingPatternOrAreLeftOutWithTheReason) {
    const UiTranslations english(UiLanguage::English);  // the reasons are compared in English
    using enum GaitEventKind;
    // At 100 fps: the textbook walk of HandMadeEventsGiveTheTextbookNumbers, a stride longer.
    const std::vector<GaitEvent> walk = {
        {0, FootSide::kRight, kHeelStrike},   {10, FootSide::kLeft, kToeOff},
        {50, FootSide::kLeft, kHeelStrike},   {60, FootSide::kRight, kToeOff},
        {100, FootSide::kRight, kHeelStrike}, {110, FootSide::kLeft, kToeOff},
        {150, FootSide::kLeft, kHeelStrike},  {160, FootSide::kRight, kToeOff},
        {200, FootSide::kRight, kHeelStrike}, {210, FootSide::kLeft, kToeOff},
        {250, FootSide::kLeft, kHeelStrike}};
    const auto without = [&](int frame) {
        std::vector<GaitEvent> e;
        std::copy_if(walk.begin(), walk.end(), std::back_inserter(e),
                     [&](const GaitEvent& x) { return x.frame != frame; });
        return e;
    };
    auto with = walk;
    with.push_back({30, FootSide::kRight, kHeelStrike});  // in the right foot's stance
    auto late = walk;
    late[4].moment = 100.5;  // the strike between frames 100 and 101
    struct Case {
        const char* what;
        std::vector<GaitEvent> events;
        int gapFrom, gapTo;  // of the right heel marker; -1: none
        std::size_t strides;
        std::vector<std::string> leftOut;  // "R 0-100: reason"
        double cadence;
    };
    const std::string pattern =
        "the events between do not follow the walking pattern (HS, opposite TO, opposite HS, "
        "TO, HS)";
    const Case cases[] = {
        {"the whole walk", walk, -1, -1, 4, {}, 120.0},
        {"a strike lost in a gap",
         without(100),
         97,
         103,
         1,
         {"R 0-200: gap in the right heel marker, frames 97-103",
          "L 50-150: gap in the right heel marker, frames 97-103"},
         120.0},
        {"a strike added in mid-stance",
         with,
         -1,
         -1,
         3,
         {"R 0-30: " + pattern, "R 30-100: " + pattern},
         120.0},
        {"a strike between frames", late, -1, -1, 4, {}, 120.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GaitParameterInput input;
        input.fps = 100.0;
        MarkerTrack heel = Line(0, 260, 0.0, 10.0);
        if (c.gapFrom >= 0) {
            heel.frames.erase(heel.frames.begin() + c.gapFrom, heel.frames.begin() + c.gapTo + 1);
            heel.points.erase(heel.points.begin() + c.gapFrom, heel.points.begin() + c.gapTo + 1);
        }
        input.feet = {{FootSide::kRight, heel, Line(0, 260, 0.0, 10.0)},
                      {FootSide::kLeft, Line(0, 260, 0.0, 10.0), Line(0, 260, 0.0, 10.0)}};
        auto events = c.events;
        std::sort(events.begin(), events.end());
        const GaitParameters p = ComputeGaitParameters(events, input);
        EXPECT_EQ(p.strides.size(), c.strides);
        std::vector<std::string> leftOut;
        for (const LeftOutStride& s : p.leftOut) {
            leftOut.push_back(std::string(SideName(s.side)) + " " + std::to_string(s.startFrame) +
                              "-" + std::to_string(s.endFrame) + ": " + s.Reason());
        }
        EXPECT_EQ(leftOut, c.leftOut);
        for (const StrideParameters& s : p.strides) {
            EXPECT_NEAR(s.strideTime, 1.0, 0.006) << s.startFrame;
            ASSERT_TRUE(s.doubleSupportPercent) << s.startFrame;
            EXPECT_NEAR(*s.doubleSupportPercent, 20.0, 1.0) << s.startFrame;
        }
        EXPECT_NEAR(*FindParameter(p, "Cadence")->both.mean, c.cadence, 0.7);
    }
    // The moment, not the frame, times the strides around it.
    GaitParameterInput input;
    input.fps = 100.0;
    input.feet = {{FootSide::kRight, Line(0, 260, 0.0, 10.0), {}},
                  {FootSide::kLeft, Line(0, 260, 0.0, 10.0), {}}};
    const GaitParameters p = ComputeGaitParameters(late, input);
    ASSERT_EQ(p.strides.size(), 4u);
    EXPECT_DOUBLE_EQ(p.strides[0].strideTime, 1.005);
    EXPECT_DOUBLE_EQ(*p.strides[0].stepTime, 0.505);
    EXPECT_DOUBLE_EQ(*p.strides[0].strideLength, 1005.0);  // the heel between frames
}

// Each warning is raised by a walk built to raise it, and a clean calibrated walk raises none.
TEST(GaitWarningsTest, RaisedByTheWalksThatCallForThemAndNoOther) {
    using enum GaitEventKind;
    struct Case {
        const char* what;
        int framesPerStride, strides;
        bool calibrated;
        double toeGrowth;    // pixels a frame the heel-to-toe distance grows by
        int gapAt;           // a right heel gap of three frames from here; -1: none
        double thighGrowth;  // the same for a right thigh of 100 px
        const char* expected;
    };
    const Case cases[] = {
        {"clean", 100, 5, true, 0.0, -1, 0.0, ""},
        {"in pixels", 100, 5, false, 0.0, -1, 0.0, "NoCalibration"},
        {"two strides a side", 100, 2, true, 0.0, -1, 0.0, "FewStrides R,FewStrides L"},
        {"ten frames a stride", 10, 5, true, 0.0, -1, 0.0, "LowFrameRate"},
        {"walking towards the camera", 100, 5, true, 0.02, -1, 0.0, "OutOfPlane R,OutOfPlane L"},
        {"a gap", 100, 5, true, 0.0, 220, 0.0, "MarkerGaps"},
        {"a thigh turning out of the plane", 100, 5, true, 0.0, -1, 0.05, "OutOfPlane R thigh"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int p = c.framesPerStride;
        std::vector<GaitEvent> events;
        for (int k = 0; k <= c.strides; ++k) {
            events.push_back({p * k, FootSide::kRight, kHeelStrike});
            events.push_back({p * k + p / 10, FootSide::kLeft, kToeOff});
            events.push_back({p * k + p / 2, FootSide::kLeft, kHeelStrike});
            events.push_back({p * k + 6 * p / 10, FootSide::kRight, kToeOff});
        }
        const int last = p * (c.strides + 1);
        std::vector<FootTrack> feet;
        for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
            FootTrack foot{side, Line(0, last, 0.0, 1.0), Line(0, last, 20.0, 1.0 + c.toeGrowth)};
            if (side == FootSide::kRight && c.gapAt >= 0) {
                for (MarkerTrack* t : {&foot.heel}) {
                    t->frames.erase(t->frames.begin() + c.gapAt, t->frames.begin() + c.gapAt + 3);
                    t->points.erase(t->points.begin() + c.gapAt, t->points.begin() + c.gapAt + 3);
                }
            }
            feet.push_back(foot);
        }
        GaitParameterInput input;
        input.fps = 100.0;
        input.feet = feet;
        if (c.calibrated) {
            input.mmPerPixel = 2.0;
        }
        // The thigh of a right hip joint, measured on right strides only.
        const SegmentTrack thigh{"thigh", FootSide::kRight, Line(0, last, 0.0, 1.0),
                                 Line(0, last, 100.0, 1.0 + c.thighGrowth)};
        std::string codes;
        for (const GaitWarning& w :
             GaitWarnings(ComputeGaitParameters(events, input), feet, 100.0, {thigh})) {
            codes += (codes.empty() ? "" : ",") + std::string(w.CodeName());
            if (w.code == GaitWarning::kFewStrides || w.code == GaitWarning::kOutOfPlane) {
                codes += std::string(" ") + SideName(w.side);
            }
            if (!w.segment.empty()) {
                codes += " " + w.segment;
            }
            EXPECT_FALSE(w.Text().empty());
        }
        EXPECT_EQ(codes, c.expected);
    }
}

// Damaged numbers stay out of the results: a non-finite heel spoils only its own stride, a
// list of 200,000 strikes is read in one pass, and a cut-off too low to settle is refused.
TEST(GaitParametersTest, DamagedNumbersAndHugeListsStayBounded) {
    const UiTranslations english(UiLanguage::English);  // the reasons are compared in English
    using enum GaitEventKind;
    GaitParameterInput input;
    input.fps = 100.0;
    input.feet = {{FootSide::kRight, Line(0, 220, 0.0, 10.0), {}},
                  {FootSide::kLeft, Line(0, 220, 0.0, 10.0), {}}};
    input.feet[0].heel.points[0].x = -std::numeric_limits<double>::infinity();
    GaitAnalysis analysis;
    analysis.fps = 100.0;
    analysis.events = {{0, FootSide::kRight, kHeelStrike},   {10, FootSide::kLeft, kToeOff},
                       {50, FootSide::kLeft, kHeelStrike},   {60, FootSide::kRight, kToeOff},
                       {100, FootSide::kRight, kHeelStrike}, {110, FootSide::kLeft, kToeOff},
                       {150, FootSide::kLeft, kHeelStrike}};
    analysis.parameters = ComputeGaitParameters(analysis.events, input);
    const ParameterSummary* length = FindParameter(analysis.parameters, "StrideLength");
    EXPECT_EQ(length->both.count, 1);
    EXPECT_DOUBLE_EQ(*length->both.mean, 1000.0);  // the left stride alone
    EXPECT_NE(FormatStridesCsv(analysis).find("\r\nR,0,100,1.0000,0.6000,0.4000,60.00,,"),
              std::string::npos)
        << FormatStridesCsv(analysis);
    EXPECT_EQ(FormatSummaryCsv(analysis).find("nan"), std::string::npos);
    EXPECT_EQ(FormatSummaryCsv(analysis).find("inf"), std::string::npos);

    std::vector<GaitEvent> many;
    for (int f = 0; f < 200000; ++f) {
        many.push_back({f * 2, FootSide::kRight, f % 2 == 0 ? kHeelStrike : kToeOff});
    }
    input.feet.pop_back();
    input.feet[0].heel = Line(0, 400000, 0.0, 1.0);
    input.feet[0].toe = input.feet[0].heel;
    const GaitParameters p = ComputeGaitParameters(many, input);
    EXPECT_EQ(p.strides.size(), 99999u);
    EXPECT_TRUE(p.leftOut.empty());

    EXPECT_FALSE(ZeroLagLowPass::Make(0.0001, 30.0));
    EXPECT_NE(CutoffProblem(0.0001, 30.0)
                  .find("lowest usable cut-off at 30.000 frames per "
                        "second is 0.0009 Hz"),
              std::string::npos)
        << CutoffProblem(0.0001, 30.0);
    EXPECT_NE(CutoffProblem(15.0, 30.0).find("below half the frame rate"), std::string::npos);
    EXPECT_EQ(CutoffProblem(6.0, 30.0), "");
    // At the lowest usable cut-off the start-up has settled: a slow drift comes back as it went.
    const auto lowest = ZeroLagLowPass::Make(ZeroLagLowPass::LowestCutoff(30.0), 30.0);
    ASSERT_TRUE(lowest);
    std::vector<double> drift;
    for (int i = 0; i < 40; ++i) {
        drift.push_back(10.0 + 0.5 * i);
    }
    const std::vector<double> filtered = lowest->Run(drift);
    for (std::size_t i = 0; i < drift.size(); ++i) {
        EXPECT_NEAR(filtered[i], drift[i], 0.01) << i;
    }

    // A message quotes a short excerpt, never splitting a character.
    EXPECT_EQ(Excerpt(std::string(5000, 'x')), std::string(40, 'x') + "...");
    EXPECT_EQ(Excerpt(std::string(39, 'a') + "歩行"), std::string(39, 'a') + "...");
    EXPECT_EQ(Excerpt("short"), "short");
}

TEST(GaitCyclesTest, StridesResampledAveragedAndTheReferenceBandRead) {
    AngleSeries knee{"knee", {}, {}};
    for (int f = 0; f <= 220; ++f) {
        knee.frames.push_back(f);
        // Right strides 0-100 and 100-200: the angle is the percent itself, plus 10 on the
        // second, so the mean is percent + 5 and the SD the same everywhere.
        knee.degrees.push_back(f < 100 ? f : (f <= 200 ? f - 100 + 10.0 : 0.0));
    }
    knee.degrees[210] = std::nullopt;  // the left stride 150-220 loses a frame
    std::vector<StrideParameters> strides(3);
    strides[0] = {FootSide::kRight, 0, 100, 1.0, 0.6, 0.4, 60.0};
    strides[1] = {FootSide::kLeft, 150, 220, 0.7, 0.42, 0.28, 60.0};
    strides[2] = {FootSide::kRight, 100, 200, 1.0, 0.58, 0.42, 58.0};
    const std::vector<AngleCycles> cycles = BuildCycleCurves({knee}, strides);
    ASSERT_EQ(cycles.size(), 1u);
    const SideCycles& r = cycles[0].right;
    ASSERT_EQ(r.strides.size(), 2u);
    EXPECT_DOUBLE_EQ((*r.mean)[0], 5.0);
    EXPECT_DOUBLE_EQ((*r.mean)[50], 55.0);
    EXPECT_NEAR((*r.sd)[70], std::sqrt(50.0), 1e-9);
    EXPECT_DOUBLE_EQ(*r.stancePercent, 59.0);
    EXPECT_TRUE(cycles[0].left.strides.empty());  // a missing frame leaves the stride out
    EXPECT_DOUBLE_EQ(*CyclePosition(strides, FootSide::kRight, 125), 25.0);
    EXPECT_FALSE(CyclePosition(strides, FootSide::kLeft, 120));
}

// A band file gives bands for the angles it names, or for the one the user ties it to; each
// curve is measured against its own band only.
TEST(NormalBandsTest, ReadTiedMatchedAndMeasured) {
    TempDir dir;
    const auto read = [&](const std::string& text, const std::string& angle) {
        const std::string path = dir.File("band.csv");
        std::ofstream(path, std::ios::binary) << text;
        return ReadNormalBands({path, angle});
    };
    const NormalBandsResult tied =
        read("Percent,Mean,SD\r\n0,10,2\r\n50,60,4\r\n100,10,2\r\n", "knee_R");
    ASSERT_EQ(tied.bands.size(), 1u) << tied.error;
    EXPECT_EQ(tied.bands[0].angle, "knee_R");
    EXPECT_DOUBLE_EQ(tied.bands[0].band.mean[25], 35.0);
    EXPECT_DOUBLE_EQ(tied.bands[0].band.sd[75], 3.0);
    // Rows of two angles interleaved, each ascending on its own.
    const NormalBandsResult named = read(
        "Angle,Percent,Mean,SD\nknee,0,5,1\nhip_L,0,30,1\nknee,100,25,3\nhip_L,100,30,1\n", "");
    ASSERT_EQ(named.bands.size(), 2u) << named.error;
    EXPECT_EQ(named.bands[1].angle, "hip_L");
    EXPECT_DOUBLE_EQ(named.bands[0].band.mean[50], 15.0);
    struct Refused {
        const char* text;
        const char* angle;
        bool needsAngle;
    };
    for (const Refused& r :
         {Refused{"Percent,Mean,SD\n0,1\n100,1,1\n", "k", false},
          Refused{"Percent,Mean,SD\n0,1,1\n50,x,1\n", "k", false},
          Refused{"Percent,Mean,SD\n0,1,1\n60,1,1\n50,1,1\n100,1,1\n", "k", false},
          Refused{"Percent,Mean,SD\n10,1,1\n100,1,1\n", "k", false},
          Refused{"Percent,Mean,SD\n0,1,-1\n", "k", false},
          Refused{"Percent,Mean,SD\n0,1,1\n100,1,1\n", "", true},
          Refused{"Angle,Percent,Mean,SD\nk,0,1,1\nk,100,1,1\n", "k", false},
          Refused{"Angle,Percent,Mean,SD\nk,0,1,1\nk,100,1,1\nh,0,1,1\n", "", false},
          Refused{"Angle,Percent,Mean,SD\n,0,1,1\n,100,1,1\n", "", false}}) {
        const NormalBandsResult refused = read(r.text, r.angle);
        EXPECT_TRUE(refused.bands.empty()) << r.text;
        EXPECT_FALSE(refused.error.empty()) << r.text;
        EXPECT_EQ(refused.needsAngle, r.needsAngle) << r.text;
    }
    EXPECT_FALSE(ReadNormalBands({dir.File("none.csv"), "k"}).error.empty());

    // A plain angle "knee" (both sides) and a right knee joint "knee_R" are matched by column
    // first, then by name; the later of two bands for one name wins.
    const auto flat = [](double degrees) {
        CycleCurve curve;
        curve.fill(degrees);
        return curve;
    };
    const auto band = [&](const std::string& angle, double mean) {
        return NormalBand{angle, angle + ".csv", {flat(mean), flat(1.0)}};
    };
    AngleCycles plain{"knee", {}, {}, std::nullopt};
    plain.right.mean = flat(10.0);
    plain.left.mean = flat(10.0);
    AngleCycles joint{"ankle_R", {}, {}, FootSide::kRight};
    joint.right.mean = flat(0.0);
    const std::vector<NormalBand> bands = {band("knee", 0.0), band("knee_L", 13.0),
                                           band("ankle", 50.0), band("ankle", 4.0)};
    EXPECT_EQ(BandFor(bands, plain, FootSide::kRight), &bands[0]);
    EXPECT_EQ(BandFor(bands, plain, FootSide::kLeft), &bands[1]);
    EXPECT_EQ(BandFor(bands, joint, FootSide::kRight), &bands[3]);
    EXPECT_EQ(BandFor(bands, joint, FootSide::kLeft), nullptr);
    const ProfileDeviation deviation = DeviationFromBands({plain, joint}, bands);
    ASSERT_EQ(deviation.angles.size(), 3u);
    EXPECT_EQ(deviation.angles[1].column, "knee_L");
    EXPECT_DOUBLE_EQ(deviation.angles[1].rmsDegrees, 3.0);
    EXPECT_DOUBLE_EQ(*deviation.scoreRight, std::sqrt((100.0 + 16.0) / 2));
    EXPECT_DOUBLE_EQ(*deviation.scoreLeft, 3.0);
    EXPECT_DOUBLE_EQ(*deviation.score, std::sqrt((100.0 + 9.0 + 16.0) / 3));
    EXPECT_FALSE(DeviationFromBands({plain}, {}).score);
}

// One leg's joint is curved over its own strides only, whichever side the strides alternate
// with; cycles.csv gives it its two columns after the plain angles'.
TEST(GaitCyclesTest, ASidedAngleTakesOnlyItsSidesStrides) {
    AngleSeries plain{"k", {}, {}};
    for (int f = 0; f <= 200; ++f) {
        plain.frames.push_back(f);
        plain.degrees.push_back(f < 100 ? 10.0 : 30.0);
    }
    std::vector<StrideParameters> strides(2);
    strides[0] = {FootSide::kRight, 0, 99, 1.0, 0.6, 0.4, 60.0};
    strides[1] = {FootSide::kLeft, 100, 200, 1.0, 0.6, 0.4, 60.0};
    struct Case {
        std::optional<FootSide> side;
        bool right, left;
        const char* columns;
    };
    for (const Case& c :
         {Case{std::nullopt, true, true,
               ",k_R_mean,k_R_sd,k_L_mean,k_L_sd,x_R_mean,x_R_sd,x_L_mean,"
               "x_L_sd\r\n"},
          Case{FootSide::kRight, true, false, ",k_R_mean,k_R_sd,k_L_mean,k_L_sd,x_mean,x_sd\r\n"},
          Case{FootSide::kLeft, false, true, ",k_R_mean,k_R_sd,k_L_mean,k_L_sd,x_mean,x_sd\r\n"}}) {
        AngleSeries sided = plain;
        sided.name = "x";
        sided.side = c.side;
        GaitAnalysis analysis;
        analysis.cycles = BuildCycleCurves({plain, sided}, strides);
        ASSERT_EQ(analysis.cycles.size(), 2u);
        const AngleCycles& x = analysis.cycles[1];
        EXPECT_EQ(x.side, c.side);
        EXPECT_EQ(x.right.mean.has_value(), c.right);
        EXPECT_EQ(x.left.mean.has_value(), c.left);
        if (c.right) {
            EXPECT_DOUBLE_EQ((*x.right.mean)[50], 10.0);
        }
        if (c.left) {
            EXPECT_DOUBLE_EQ((*x.left.mean)[50], 30.0);
        }
        const std::string csv = FormatCyclesCsv(analysis);
        EXPECT_EQ(csv.substr(0, csv.find("\r\n") + 2), std::string("Percent") + c.columns);
        // The sided columns hold its side's mean: 10 on the right, 30 on the left.
        const std::string row50 =
            csv.substr(csv.find("\r\n50,"), csv.find("\r\n51,") - csv.find("\r\n50,"));
        if (c.side == FootSide::kLeft) {
            EXPECT_TRUE(row50.ends_with(",30.000,")) << row50;
        } else if (c.side == FootSide::kRight) {
            EXPECT_TRUE(row50.ends_with(",10.000,")) << row50;
        }
    }
}

TEST(GaitFileTest, RoundTripAndDamagedFilesRefusedWithTheirReason) {
    using enum GaitEventKind;
    const std::vector<GaitEvent> events = {{3, FootSide::kLeft, kToeOff},
                                           {31, FootSide::kRight, kHeelStrike},
                                           {52, FootSide::kLeft, kHeelStrike}};
    TempDir dir;
    const std::string path = GaitFilePath(dir.File("walk 01.$tmp$.lff"));
    EXPECT_EQ(path, dir.File("walk 01.$tmp$.kgait"));
    EXPECT_EQ(ReadGaitFile(path).status, GaitFileRead::kMissing);
    ASSERT_TRUE(WriteGaitFile(path, events));
    const GaitFileRead read = ReadGaitFile(path);
    ASSERT_EQ(read.status, GaitFileRead::kLoaded) << read.problem;
    EXPECT_EQ(read.events, events);
    EXPECT_EQ(ParseGaitFile("# by hand\nkivra-gait 1\r\n\nevent 5 R TO\r\n").events,
              (std::vector<GaitEvent>{{5, FootSide::kRight, kToeOff}}));
    // Moments between frames survive an edit of another event; whole frames stay version 1.
    EXPECT_TRUE(FormatGaitFile(events).starts_with("kivra-gait 1\n"));
    std::vector<GaitEvent> moments = events;
    moments[1].moment = 30.625;
    EXPECT_EQ(FormatGaitFile(moments),
              "kivra-gait 2\nevent 3 L TO\nevent 31 R HS 30.625\nevent 52 L HS\n");
    const GaitFileRead back = ParseGaitFile(FormatGaitFile(moments));
    ASSERT_EQ(back.events.size(), 3u);
    EXPECT_EQ(back.events[1].moment, 30.625);
    EXPECT_EQ(back.events[2].moment, 52.0);

    for (const char* bad :
         {"", "kivra-gait 4\n", "kivra-calibration 1\n", "kivra-gait 1\nevent 5 X HS\n",
          "kivra-gait 1\nevent 5 R HS 5.2\n", "kivra-gait 2\nevent 5 R HS 5.6\n",
          "kivra-gait 2\nevent 5 R HS nan\n", "kivra-gait 1\nevent 5 R XX\n",
          "kivra-gait 1\nevent -5 R HS\n", "kivra-gait 1\nevent 99999999999 R HS\n",
          "kivra-gait 1\nevent 5 R\n", "kivra-gait 1\nstride 1 2\n"}) {
        const GaitFileRead damaged = ParseGaitFile(bad);
        EXPECT_EQ(damaged.status, GaitFileRead::kDamaged) << bad;
        EXPECT_FALSE(damaged.problem.empty()) << bad;
    }
    // A front video's roles: only a file that has them is of version 3; they outlive edits of
    // the events, and a file of roles alone reads as one without events.
    FrontalSetup roles;
    roles.pelvisRight = 1;
    roles.pelvisLeft = 2;
    roles.right = {3, 4, 5, 7};
    roles.left.heel = 8;
    ASSERT_TRUE(WriteFrontalRoles(path, roles));
    EXPECT_EQ(ReadFile(path),
              "kivra-gait 3\nfront-pelvis 1 2 0\nfront-leg R 3 4 5 7\n"
              "front-leg L 0 0 0 8\nevent 3 L TO\nevent 31 R HS\nevent 52 L HS\n");
    ASSERT_TRUE(WriteGaitFile(path, {events[0]}));
    const GaitFileRead kept = ReadGaitFile(path);
    EXPECT_EQ(kept.events, std::vector<GaitEvent>{events[0]});
    ASSERT_TRUE(kept.frontal);
    EXPECT_EQ(FormatGaitFile(kept.events, kept.frontal), ReadFile(path));
    ASSERT_TRUE(WriteGaitFile(path, {}));
    EXPECT_EQ(ReadGaitFile(path).status, GaitFileRead::kMissing);
    EXPECT_EQ(ReadGaitFile(path).frontal->left.heel, 8);
    ASSERT_TRUE(WriteFrontalRoles(path, std::nullopt));
    EXPECT_FALSE(std::filesystem::exists(path));
    const UiTranslations english(UiLanguage::English);  // the line is named in English
    for (const char* bad :
         {"kivra-gait 2\nfront-pelvis 1 2 0\n", "kivra-gait 3\nfront-pelvis 1 2\n",
          "kivra-gait 3\nfront-leg X 1 2 3 4\n", "kivra-gait 3\nfront-leg R 1 2 3 -4\n",
          "kivra-gait 2\nfoot R 5 6\n", "kivra-gait 3\nfoot R 5\n", "kivra-gait 3\nfoot X 5 6\n",
          "kivra-gait 3\nfoot L 5 5\n", "kivra-gait 3\nfoot R 0 6\n",
          "kivra-gait 3\nfoot R 5 100001\n", "kivra-gait 3\npelvis 0\n",
          "kivra-gait 3\npelvis 2 3\n", "kivra-gait 3\npelvis x\n"}) {
        const GaitFileRead damaged = ParseGaitFile(bad);
        EXPECT_EQ(damaged.status, GaitFileRead::kDamaged) << bad;
        EXPECT_TRUE(damaged.problem.starts_with("line 2: ")) << damaged.problem;
    }

    // A video's own feet the same way: beside the front roles, kept through edits of the events,
    // and a file they leave is again byte for byte as without them.
    const FootRoles feet{FootMarkers{5, 6}, std::nullopt, 2};
    ASSERT_TRUE(WriteGaitFile(path, events));
    const std::string plain = ReadFile(path);
    ASSERT_TRUE(WriteFootRoles(path, feet));
    EXPECT_EQ(ReadFile(path),
              "kivra-gait 3\nfoot R 5 6\npelvis 2\nevent 3 L TO\nevent 31 R HS\nevent 52 L HS\n");
    ASSERT_TRUE(WriteFrontalRoles(path, roles));
    ASSERT_TRUE(WriteGaitFile(path, {events[0]}));
    const GaitFileRead both = ReadGaitFile(path);
    EXPECT_EQ(both.feet, feet);
    EXPECT_EQ(both.frontal->left.heel, 8);
    EXPECT_EQ(both.events, std::vector<GaitEvent>{events[0]});
    EXPECT_EQ(FormatGaitFile(both.events, both.frontal, both.feet), ReadFile(path));
    ASSERT_TRUE(WriteFrontalRoles(path, std::nullopt));
    ASSERT_TRUE(WriteGaitFile(path, events));
    ASSERT_TRUE(WriteFootRoles(path, FootRoles{}));  // names nothing: none
    EXPECT_EQ(ReadFile(path), plain);
    ASSERT_TRUE(WriteFootRoles(path, FootRoles{std::nullopt, FootMarkers{8, 7}, 0}));
    ASSERT_TRUE(WriteGaitFile(path, {}));
    const GaitFileRead alone = ReadGaitFile(path);
    EXPECT_EQ(alone.status, GaitFileRead::kMissing);
    EXPECT_EQ(alone.feet->left, (FootMarkers{8, 7}));
    ASSERT_TRUE(WriteFootRoles(path, std::nullopt));
    EXPECT_FALSE(std::filesystem::exists(path));
    ASSERT_TRUE(kivra::test::WriteFile(dir.File("damaged.kgait"), "kivra-gait 3\nfoot R 5\n"));
    EXPECT_FALSE(WriteFootRoles(dir.File("damaged.kgait"), feet));
    EXPECT_EQ(ReadFile(dir.File("damaged.kgait")), "kivra-gait 3\nfoot R 5\n");

    // A failed save leaves the old file: the target's folder is gone.
    EXPECT_FALSE(WriteGaitFile(dir.File("no such folder/x.kgait"), events));
    EXPECT_EQ(ReadGaitFile(dir.File("folder.kgait")).status, GaitFileRead::kMissing);
    std::filesystem::create_directory(dir.File("folder.kgait"));
    EXPECT_EQ(ReadGaitFile(dir.File("folder.kgait")).status, GaitFileRead::kDamaged);
}

TEST(GaitEventListTest, EditsRefusedWithoutChangeKeepTheListOrdered) {
    using enum GaitEventKind;
    GaitEventList list;
    list.Replace({{50, FootSide::kLeft, kHeelStrike},
                  {20, FootSide::kRight, kHeelStrike},
                  {20, FootSide::kRight, kHeelStrike}});
    ASSERT_EQ(list.Events().size(), 2u);
    EXPECT_EQ(list.Events().front().frame, 20);
    const auto before = list.Events();
    const GaitEvent r20{20, FootSide::kRight, kHeelStrike};
    const GaitEvent l50{50, FootSide::kLeft, kHeelStrike};
    EXPECT_FALSE(list.Add(r20, 0, 100));                                       // already there
    EXPECT_FALSE(list.Add({101, FootSide::kRight, kToeOff}, 0, 100));          // outside the range
    EXPECT_FALSE(list.Move({21, FootSide::kRight, kHeelStrike}, 30, 0, 100));  // not there
    EXPECT_FALSE(list.Move(r20, -1, 0, 100));
    EXPECT_FALSE(list.Delete({21, FootSide::kRight, kHeelStrike}));
    list.Add({50, FootSide::kLeft, kToeOff}, 0, 100);
    EXPECT_FALSE(list.Move({50, FootSide::kLeft, kToeOff}, 50, 0, 100));  // onto itself
    list.Delete({50, FootSide::kLeft, kToeOff});
    EXPECT_EQ(list.Events(), before);

    EXPECT_TRUE(list.Move(r20, 70, 0, 100));
    EXPECT_EQ(list.Events().back(), (GaitEvent{70, FootSide::kRight, kHeelStrike}));
    EXPECT_TRUE(list.Add({10, FootSide::kLeft, kToeOff}, 0, 100));
    EXPECT_EQ(list.Events().front().frame, 10);
    EXPECT_TRUE(list.Delete(l50));
    EXPECT_EQ(list.Nearest(66, 5)->frame, 70);
    EXPECT_FALSE(list.Nearest(40, 5));
}

TEST(GaitSetupTest, IniRoundTripAndTracksFromTheMarkerStore) {
    TempDir dir;
    const std::string ini = dir.File("Kivra.ini");
    std::ofstream(ini) << "[Settings]\nOpenDirect=1\n";
    EXPECT_EQ(LoadGaitSetup(ini), GaitSetup{});
    GaitSetup setup;
    setup.right = FootMarkers{5, 6};
    setup.pelvisId = 2;
    setup.filterHz = 6.0;
    setup.bands = {{dir.File("normal knee 膝.csv"), ""}, {dir.File("a=b;c.csv"), "knee_R"}};
    ASSERT_TRUE(SaveGaitSetup(ini, setup));
    EXPECT_EQ(LoadGaitSetup(ini), setup);
    std::ifstream in(ini);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("OpenDirect=1"), std::string::npos);
    EXPECT_NE(text.find("RightFoot=5,6"), std::string::npos);
    EXPECT_FALSE(ParseFootMarkers("5,5"));
    EXPECT_FALSE(ParseFootMarkers("0,5"));
    EXPECT_FALSE(ParseFootMarkers("5;6"));

    CLFFManager store;
    store.LoadMarkers(dir.File("none.lff"), 10);
    store.SetMarker(4, 10, 1.0, 2.0);  // ID 5
    store.SetMarker(4, 11, 3.0, 4.0);
    store.SetMarker(5, 11, 5.0, 6.0);  // ID 6
    store.SetMarker(4, 40, 0.0, 0.0);  // outside the range
    const std::vector<FootTrack> feet = FootTracksOf(store, setup, 0, 30);
    ASSERT_EQ(feet.size(), 1u);
    EXPECT_EQ(feet[0].heel.frames, (std::vector<int>{10, 11}));
    EXPECT_DOUBLE_EQ(feet[0].heel.At(11)->y, 4.0);
    EXPECT_EQ(feet[0].toe.frames, (std::vector<int>{11}));
}

}  // namespace

namespace {

const std::string kGaitSample = std::string(KIVRA_BINARY_DIR) + "/sample/walker_gait";

struct TruthEvent {
    GaitEvent event;
    double seconds = 0.0;
};

std::vector<TruthEvent> ReadTruthEvents() {
    std::ifstream in(kGaitSample + "_events.csv");
    std::string line;
    std::getline(in, line);
    std::vector<TruthEvent> events;
    while (std::getline(in, line)) {
        TruthEvent t;
        char side[4] = {}, kind[4] = {};
        if (std::sscanf(line.c_str(), "%d,%lf,%1[RL],%2[HSTO]", &t.event.frame, &t.seconds, side,
                        kind) == 4) {
            t.event.side = side[0] == 'R' ? FootSide::kRight : FootSide::kLeft;
            t.event.kind = kind[0] == 'H' ? GaitEventKind::kHeelStrike : GaitEventKind::kToeOff;
            events.push_back(t);
        }
    }
    return events;
}

double TrueParameter(const std::string& name) {
    std::ifstream in(kGaitSample + "_parameters.csv");
    std::string line;
    while (std::getline(in, line)) {
        if (line.starts_with(name + ",")) {
            return std::stod(line.substr(name.size() + 1));
        }
    }
    return std::nan("");
}

// The sample's walk as clicked exactly, and with every click off by up to a pixel: events
// within one frame (two with the noise and the filter on), parameters within the clinic's
// tolerances.
TEST(GaitSampleTest, EventsAndParametersMatchTheRenderedWalk) {
    const std::vector<TruthEvent> truth = ReadTruthEvents();
    ASSERT_GE(truth.size(), 12u);
    GaitAnalysisOptions options;
    options.setup.right = FootMarkers{5, 6};
    options.setup.left = FootMarkers{7, 8};
    options.setup.pelvisId = 2;
    const CalibrationRead calibration = ReadCalibrationFile(kGaitSample + ".kcal");
    ASSERT_EQ(calibration.status, CalibrationRead::kLoaded);
    options.calibration = calibration.calibration;
    options.angles = {{"knee", 2, 3, 4}};

    for (const double noise : {0.0, 1.0}) {
        CLFFManager store;
        ASSERT_EQ(store.LoadMarkers(kGaitSample + ".lff", 8), CLFFManager::kLoaded);
        std::mt19937 random(11);
        std::uniform_real_distribution<double> click(-noise, noise);
        for (int row = 0; row < 8 && noise > 0; ++row) {
            for (const T_MARKER m : store.Row(row)) {
                store.SetMarker(row, m.frame, m.x + click(random), m.y + click(random));
            }
        }
        options.setup.filterHz = noise > 0 ? 6.0 : 0.0;
        const GaitAnalysis a = AnalyseGait(store, 0, 119, 30.0, options);
        ASSERT_TRUE(a.error.empty()) << a.error;
        std::vector<GaitEvent> truthEvents;
        for (const TruthEvent& t : truth) {
            truthEvents.push_back(t.event);
        }
        ExpectEvents(a.events, truthEvents, noise > 0 ? 2 : 1, noise > 0 ? "noisy" : "clean");

        const auto mean = [&](const char* name) {
            return *FindParameter(a.parameters, name)->both.mean;
        };
        EXPECT_NEAR(mean("StrideTime"), TrueParameter("StrideTime"), 0.02);
        // The sample's heel lands without speed and its ball stays down until the toe leaves,
        // unlike a real foot: its moments come half a frame early and late.
        EXPECT_NEAR(mean("StancePercent"), TrueParameter("StancePercent"), 3.5);
        EXPECT_LT(*FindParameter(a.parameters, "StepTimeSymmetry")->both.mean, 2.0);
        EXPECT_NEAR(mean("StrideLength"), TrueParameter("StrideLength"),
                    0.01 * TrueParameter("StrideLength"));
        EXPECT_NEAR(mean("StepLength"), TrueParameter("StepLength"),
                    0.01 * TrueParameter("StepLength"));
        EXPECT_NEAR(mean("Cadence"), TrueParameter("Cadence"), 0.02 * TrueParameter("Cadence"));
        EXPECT_NEAR(mean("Speed"), TrueParameter("Speed"), 0.02 * TrueParameter("Speed"));
        ASSERT_EQ(a.cycles.size(), 1u);
        EXPECT_GE(a.cycles[0].right.strides.size(), 2u);
    }
}

}  // namespace
