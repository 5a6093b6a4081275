// The front view's measures: each against hand computation for a walk towards the camera and
// away from it, and a whole front-view walk (the walker growing as it comes closer) cut into
// strides by events carried over from the side view.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "frontal/frontal_measures.h"
#include "markers/lff_manager.h"
#include "support/ffmpeg_tool.h"

namespace {

using kivra::FootSide;
using kivra::ImagePoint;

constexpr double kPi = std::numbers::pi;

double Deg(double radians) {
    return radians * 180.0 / kPi;
}

TEST(FrontalMeasuresTest, EachMeasureAgainstHandComputationWhicheverWayTheWalkerFaces) {
    struct Case {
        const char* name;
        double mirror;  // +1: walking towards the camera (the subject's right on the image's left)
    };
    for (const Case c : {Case{"towards the camera", 1.0}, Case{"away from it", -1.0}}) {
        SCOPED_TRACE(c.name);
        const auto at = [&c](double x, double y) { return ImagePoint{200.0 + c.mirror * x, y}; };
        // Right side 10 px higher over 200 px.
        EXPECT_NEAR(*kivra::PelvicObliquity(at(-100, 200), at(100, 210)), Deg(std::atan(0.05)),
                    1e-9);
        EXPECT_NEAR(*kivra::PelvicObliquity(at(-100, 210), at(100, 200)), -Deg(std::atan(0.05)),
                    1e-9);
        // Right knee 10 px towards the left pelvis over half legs of 100 px: valgus.
        const ImagePoint medial = at(100, 300);
        const double bend = 2.0 * Deg(std::atan(0.1));
        EXPECT_NEAR(*kivra::KneeFrontalAngle(at(-100, 300), at(-90, 400), at(-100, 500), medial),
                    bend, 1e-9);
        EXPECT_NEAR(*kivra::KneeFrontalAngle(at(-100, 300), at(-110, 400), at(-100, 500), medial),
                    -bend, 1e-9);
        EXPECT_NEAR(*kivra::KneeFrontalAngle(at(-100, 300), at(-100, 400), at(-100, 500), medial),
                    0.0, 1e-9);
        // Trunk marker 10 px towards the subject's left over 200 px up.
        EXPECT_NEAR(*kivra::TrunkLean(at(-100, 300), at(100, 300), at(10, 100)),
                    -Deg(std::atan(0.05)), 1e-9);
    }
    EXPECT_FALSE(kivra::PelvicObliquity({5, 5}, {5, 5}));
    EXPECT_FALSE(kivra::KneeFrontalAngle({0, 0}, {0, 0}, {0, 10}, {5, 0}));
    EXPECT_FALSE(kivra::TrunkLean({0, 0}, {0, 0}, {0, -10}));
    EXPECT_FALSE(kivra::PelvicObliquity({NAN, 0}, {5, 5}));
}

// A walker coming towards the camera over 120 frames, 40 frames a stride: pelvis tilting
// +-5 degrees, the right knee bending up to 8 degrees into valgus in its stance, heels 150 mm
// apart at 2 mm a pixel where the calibration was taken, growing 0.5 % a frame.
TEST(FrontalMeasuresTest, AWalkTowardsTheCameraGivesItsAmplitudesPerStride) {
    constexpr int kFrames = 121;
    constexpr int kStride = 40;
    constexpr int kRight = 1, kLeft = 2, kHipR = 3, kKneeR = 4, kAnkleR = 5, kHeelR = 6, kHeelL = 7,
                  kHipL = 8, kKneeL = 9, kAnkleL = 10, kTrunk = 11;
    const kivra::test::TempDir dir;
    CLFFManager store;
    store.LoadMarkers(dir.File("front walk.lff"), kTrunk);  // no file: empty rows
    const auto scale = [](int f) { return 1.0 + 0.005 * f; };
    for (int f = 0; f < kFrames; ++f) {
        const double s = scale(f);
        const double phase = 2.0 * kPi * f / kStride;
        const double tilt = 5.0 * kPi / 180.0 * std::sin(phase);
        const double valgus = 8.0 * kPi / 180.0 * std::max(0.0, std::sin(phase));
        const double cx = 400.0, cy = 300.0, half = 60.0 * s, leg = 100.0 * s;
        // Facing the camera: the subject's right on the image's left; right side up is smaller y.
        const ImagePoint r{cx - half * std::cos(tilt), cy - half * std::sin(tilt)};
        const ImagePoint l{cx + half * std::cos(tilt), cy + half * std::sin(tilt)};
        const auto set = [&](int id, double x, double y) { store.SetMarker(id - 1, f, x, y); };
        set(kRight, r.x, r.y);
        set(kLeft, l.x, l.y);
        set(kHipR, r.x, r.y);
        set(kKneeR, r.x + leg * std::tan(valgus / 2.0), r.y + leg);  // medial is +x
        set(kAnkleR, r.x, r.y + 2.0 * leg);
        set(kHipL, l.x, l.y);
        set(kKneeL, l.x, l.y + leg);
        set(kAnkleL, l.x, l.y + 2.0 * leg);
        set(kHeelR, cx - 37.5 * s, cy + 2.2 * leg);
        set(kHeelL, cx + 37.5 * s, cy + 2.2 * leg);
        set(kTrunk, cx, cy - 250.0 * s);
    }
    kivra::FrontalSetup setup;
    setup.pelvisRight = kRight;
    setup.pelvisLeft = kLeft;
    setup.right = {kHipR, kKneeR, kAnkleR, kHeelR};
    setup.left = {kHipL, kKneeL, kAnkleL, kHeelL};
    setup.trunk = kTrunk;

    // The side view ran at 60 fps against the front's 30, starting 10 frames (of the side) later.
    std::vector<kivra::GaitEvent> side;
    std::vector<kivra::StrideParameters> strides;
    for (int k = 0; k < 3; ++k) {
        side.push_back({2 * (k * kStride) - 10, FootSide::kRight});
        side.push_back({2 * (k * kStride + kStride / 2) - 10, FootSide::kLeft});
    }
    side.push_back({2 * (3 * kStride) - 10, FootSide::kRight});
    const auto front = kivra::EventsInOtherView(side, [](int f) -> std::optional<int> {
        const int frame = (f + 10) / 2;
        return frame >= 0 && frame < kFrames ? std::optional<int>(frame) : std::nullopt;
    });
    ASSERT_EQ(front.size(), side.size());
    EXPECT_EQ(front[1].frame, kStride / 2);
    for (int k = 0; k < 3; ++k) {
        kivra::StrideParameters stride;
        stride.side = FootSide::kRight;
        stride.startFrame = k * kStride;
        stride.endFrame = (k + 1) * kStride;
        strides.push_back(stride);
    }

    const kivra::FrontalAnalysis a =
        kivra::AnalyseFrontal(store, 0, kFrames - 1, setup, front, strides, 2.0);
    const auto find = [&a](const char* name) {
        for (const auto& p : a.summary) {
            if (p.name == name) {
                return p;
            }
        }
        ADD_FAILURE() << name;
        return kivra::ParameterSummary{};
    };
    EXPECT_EQ(find("PelvicObliquityRange").right.count, 3);
    EXPECT_NEAR(*find("PelvicObliquityRange").right.mean, 10.0, 0.05);
    EXPECT_NEAR(*find("KneeFrontalPeak").right.mean, 8.0, 0.01);
    EXPECT_NEAR(*find("TrunkLeanRange").right.mean, 0.0, 1e-9);
    ASSERT_EQ(a.stepWidths.size(), front.size());
    for (const kivra::StepWidth& w : a.stepWidths) {
        EXPECT_NEAR(w.width, 2.0 * 75.0 * scale(w.frame), 1e-9) << w.frame;
    }
    EXPECT_TRUE(a.millimetres);
    EXPECT_EQ(find("StepWidth").unit, "mm");
    EXPECT_EQ(find("StepWidth").both.count, int(front.size()));
}

}  // namespace
