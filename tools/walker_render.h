#pragma once
// The synthetic side-view walker of the sample video: its gait and its picture.
//
// Positions are picture pixels, x to the right, y down, (0,0) the top-left corner of the
// picture, and pixel column i covers [i, i+1): the centre of pixel i is i + 0.5.
#include <QImage>

#include <array>
#include <cstdint>

namespace kivra {

struct Vec2 {
    double x = 0;
    double y = 0;
};

constexpr int kSampleWidth = 1280;
constexpr int kSampleHeight = 720;
constexpr int kSampleFps = 30;
constexpr int kSampleFrames = 120;
constexpr double kDotRadius = 7.0;

// One frame of the walker; the far leg and arm are half a cycle behind the near ones.
struct WalkerPose {
    Vec2 head;
    Vec2 shoulder;
    Vec2 hip;
    Vec2 near_knee, near_ankle, far_knee, far_ankle;
    double near_foot_pitch = 0, far_foot_pitch = 0;  // radians, toes down positive
    Vec2 near_elbow, near_wrist, far_elbow, far_wrist;
    // Where the sole's heel and ball are: the near foot is the right one.
    Vec2 near_heel, near_toe, far_heel, far_toe;
};

WalkerPose WalkerPoseAt(double seconds);

// A marker dot as drawn: a filled circle of kDotRadius at `centre`.
struct JointDot {
    const char* name;
    Vec2 centre;
    uint8_t r, g, b;
};

// Head, hip, knee, ankle: the dots in the order the truth file lists them.
std::array<JointDot, 4> JointDotsOf(const WalkerPose& pose);
// Heel and toe of the right (near) and left (far) foot, drawn only on the gait sample.
std::array<JointDot, 4> FootDotsOf(const WalkerPose& pose);

// The gait the walker follows, for the true events and parameters written beside the sample.
struct WalkerGait {
    double cycle_seconds;        // one stride
    double right_phase_at_zero;  // 0 is the right heel's strike
    double left_phase_at_zero;
    double stance_share;  // the toe leaves the floor at this phase
    double speed_mm_per_s;
    double stride_mm;
    double mm_per_pixel;
};
WalkerGait SampleGait();

// The calibration bar lying on the floor, still in every frame: the ends of its centre line
// and its true length. The sample is drawn without perspective, so the bar's scale holds for
// the walker too.
struct CalibrationBar {
    Vec2 end1;
    Vec2 end2;
    double length_mm = 0;
};

CalibrationBar SampleCalibrationBar();

// Draws frames of the walker; owns the static background and the frame buffer it returns.
class WalkerRenderer {
public:
    // With foot dots: heel and toe dots on both feet as well.
    explicit WalkerRenderer(bool foot_dots = false);

    // Valid until the next call. Format_RGB32.
    const QImage& Render(const WalkerPose& pose, int frame_number);

private:
    QImage background_;
    QImage frame_;
    bool foot_dots_;
};

}  // namespace kivra
