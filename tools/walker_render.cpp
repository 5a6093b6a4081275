#include "walker_render.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kivra {
namespace {

// The gait is worked out in metres (x forward, y up, ground at 0) and then mapped to pixels.
constexpr double kPixelsPerMetre = 210.0;
constexpr double kFloorY = 610.0;
constexpr double kStartX = 140.0;

// A one-metre bar of ten black and white stripes on the floor in front of the walker.
constexpr double kBarLengthMetres = 1.0;
constexpr double kBarLeft = 500.0;
constexpr double kBarCentreY = 668.0;
constexpr double kBarHalfWidth = 4.0;
constexpr int kBarStripes = 10;

constexpr double kSpeed = 1.2;  // m/s
constexpr double kCycle = 1.1;  // s per stride
constexpr double kStride = kSpeed * kCycle;
constexpr double kNearPhaseAtStart = 0.15;

constexpr double kThigh = 0.45;
constexpr double kShank = 0.43;
constexpr double kAnkleHeight = 0.08;
constexpr double kTorso = 0.50;
constexpr double kTorsoLean = 0.07;  // radians forward
constexpr double kUpperArm = 0.30;
constexpr double kForearm = 0.27;
constexpr double kHeadAboveShoulder = 0.18;
constexpr double kHeadRadius = 0.11;

constexpr double kHipMidstance = 0.955;
constexpr double kHipBob = 0.045;
constexpr double kStrikeAhead = 0.32;  // ankle ahead of the hip at heel strike
constexpr double kHeelOff = 0.40;
constexpr double kToeOff = 0.60;
constexpr double kRollMax = 40.0 * std::numbers::pi / 180.0;
constexpr double kStrikePitch = -12.0 * std::numbers::pi / 180.0;

// The foot in its own frame, metres from the ankle, toes forward.
constexpr Vec2 kHeel{-0.06, -0.08};
constexpr Vec2 kBall{0.15, -0.08};
constexpr std::array<Vec2, 6> kFootOutline{
    {{-0.07, -0.03}, {-0.06, -0.08}, {0.15, -0.08}, {0.21, -0.065}, {0.20, -0.035}, {0.04, 0.02}}};

constexpr double Pi = std::numbers::pi;

double Smooth(double u) {
    u = std::clamp(u, 0.0, 1.0);
    return u * u * (3 - 2 * u);
}

double Lerp(double a, double b, double u) {
    return a + (b - a) * u;
}

// Rotation counter-clockwise in the y-up frame.
Vec2 Rotate(Vec2 v, double angle) {
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    return {v.x * c - v.y * s, v.x * s + v.y * c};
}

Vec2 Add(Vec2 a, Vec2 b) {
    return {a.x + b.x, a.y + b.y};
}
Vec2 Sub(Vec2 a, Vec2 b) {
    return {a.x - b.x, a.y - b.y};
}
Vec2 Scale(Vec2 a, double k) {
    return {a.x * k, a.y * k};
}
double Length(Vec2 a) {
    return std::hypot(a.x, a.y);
}

// Catmull-Rom through evenly spaced samples over u in [0, 1].
template <size_t N>
double Spline(const std::array<double, N>& k, double u) {
    const double t = std::clamp(u, 0.0, 1.0) * (N - 1);
    const size_t i = std::min(static_cast<size_t>(t), N - 2);
    const double f = t - i;
    const double p0 = k[i == 0 ? 0 : i - 1];
    const double p1 = k[i];
    const double p2 = k[i + 1];
    const double p3 = k[std::min(i + 2, N - 1)];
    return 0.5 * (2 * p1 + (-p0 + p2) * f + (2 * p0 - 5 * p1 + 4 * p2 - p3) * f * f +
                  (-p0 + 3 * p1 - 3 * p2 + p3) * f * f * f);
}

struct Foot {
    Vec2 ankle;
    double pitch;  // toes down positive
};

// Stance of a foot that struck at x = strike_x: flat, then rolling over the ball.
Foot StanceFoot(double phase, double strike_x) {
    if (phase < kHeelOff) {
        // Heel strike lands toes up; lift the ankle so the heel, not the ankle, meets the floor.
        const double pitch = Lerp(kStrikePitch, 0.0, Smooth(phase / 0.08));
        const Vec2 heel = Rotate(kHeel, -pitch);
        return {{strike_x, -heel.y}, pitch};
    }
    const double roll = kRollMax * Smooth((phase - kHeelOff) / (kToeOff - kHeelOff));
    const Vec2 ball{strike_x + kBall.x, 0.0};
    const Vec2 ankle_from_ball = Rotate(Scale(kBall, -1.0), -roll);
    return {Add(ball, ankle_from_ball), roll};
}

// phase in [0, 1): 0 is heel strike; cycle_start_hip_x is the hip's x at that strike.
Foot FootAt(double phase, double cycle_start_hip_x) {
    const double strike_x = cycle_start_hip_x + kStrikeAhead;
    if (phase < kToeOff) {
        return StanceFoot(phase, strike_x);
    }
    const double u = (phase - kToeOff) / (1.0 - kToeOff);
    const Foot from = StanceFoot(kToeOff, strike_x);
    const Foot to = StanceFoot(0.0, strike_x + kStride);
    const double s = 0.5 - 0.5 * std::cos(Pi * u);
    // Heel swings up behind early, then the foot skims forward.
    const std::array<double, 5> lift{0.0, 0.075, 0.02, 0.008, 0.0};
    const Vec2 ankle{Lerp(from.ankle.x, to.ankle.x, s),
                     Lerp(from.ankle.y, to.ankle.y, s) + Spline(lift, u)};
    return {ankle, Lerp(from.pitch, to.pitch, Smooth(u * 1.3))};
}

// Two-link leg with the knee pointing forward.
Vec2 KneeOf(Vec2 hip, Vec2 ankle) {
    const Vec2 d = Sub(ankle, hip);
    const double reach =
        std::clamp(Length(d), std::abs(kThigh - kShank) + 1e-6, (kThigh + kShank) * 0.9995);
    const double cos_a = (kThigh * kThigh + reach * reach - kShank * kShank) / (2 * kThigh * reach);
    const double a = std::acos(std::clamp(cos_a, -1.0, 1.0));
    const Vec2 dir = Scale(d, 1.0 / Length(d));
    return Add(hip, Scale(Rotate(dir, a), kThigh));
}

struct Arm {
    Vec2 elbow, wrist;
};

// The arm swings against the leg of its own side.
Arm ArmAt(double phase, Vec2 shoulder) {
    const double swing = -std::cos(2 * Pi * phase);  // +1 forward
    const double upper = (3.0 + 18.0 * swing) * Pi / 180.0;
    const double elbow_bend = (22.0 + 12.0 * swing) * Pi / 180.0;
    const Vec2 down{0.0, -1.0};
    const Vec2 elbow = Add(shoulder, Scale(Rotate(down, upper), kUpperArm));
    const Vec2 wrist = Add(elbow, Scale(Rotate(down, upper + elbow_bend), kForearm));
    return {elbow, wrist};
}

Vec2 ToPixels(Vec2 m) {
    return {kStartX + m.x * kPixelsPerMetre, kFloorY - m.y * kPixelsPerMetre};
}

QPointF Pt(Vec2 p) {
    return {p.x, p.y};
}

double Px(double metres) {
    return metres * kPixelsPerMetre;
}

uint32_t Hash(uint32_t x, uint32_t y) {
    uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    h *= 0x297a2d39u;
    h ^= h >> 15;
    return h;
}

QImage MakeBackground() {
    QImage img(kSampleWidth, kSampleHeight, QImage::Format_RGB32);
    const int floor_row = static_cast<int>(kFloorY);
    for (int y = 0; y < kSampleHeight; ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < kSampleWidth; ++x) {
            const int noise = static_cast<int>(Hash(x, y) % 11) - 5;
            int r, g, b;
            if (y < floor_row) {
                // Wall: a soft gradient with faint panel seams.
                const int shade = 212 - 22 * y / floor_row - ((x % 160) < 2 ? 9 : 0);
                r = shade - 4 + noise;
                g = shade - 1 + noise;
                b = shade + 3 + noise;
                if (y >= floor_row - 14) {  // skirting board
                    r = g = b = 228 + noise / 2;
                }
            } else {
                // Floor boards that close up towards the far edge.
                const double depth =
                    static_cast<double>(y - floor_row) / (kSampleHeight - floor_row);
                const double seam = std::fmod(std::sqrt(depth) * 9.0, 1.0);
                const int line = seam < 0.06 ? -18 : 0;
                const int grain = static_cast<int>(Hash(x / 7, y) % 7) - 3;
                r = 158 + line + noise + grain;
                g = 144 + line + noise + grain;
                b = 126 + line + noise;
            }
            row[x] = qRgb(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255));
        }
    }
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(70, 68, 66), 2.0));
    p.drawLine(QPointF(0, kFloorY), QPointF(kSampleWidth, kFloorY));

    const CalibrationBar bar = SampleCalibrationBar();
    const double stripe = (bar.end2.x - bar.end1.x) / kBarStripes;
    p.setPen(Qt::NoPen);
    for (int i = 0; i < kBarStripes; ++i) {
        p.setBrush(i % 2 == 0 ? QColor(24, 24, 24) : QColor(245, 245, 245));
        p.drawRect(
            QRectF(bar.end1.x + i * stripe, bar.end1.y - kBarHalfWidth, stripe, 2 * kBarHalfWidth));
    }
    return img;
}

QColor Dim(QColor c, bool far) {
    return far ? QColor(c.red() * 62 / 100, c.green() * 62 / 100, c.blue() * 62 / 100) : c;
}

void Limb(QPainter& p, Vec2 a, Vec2 b, double width_m, QColor colour) {
    p.setPen(QPen(colour, Px(width_m), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(Pt(a), Pt(b));
}

const QColor kSkin(222, 180, 148);
const QColor kShirt(92, 110, 128);
const QColor kSleeve(76, 92, 110);
const QColor kTrousers(66, 64, 78);
const QColor kShoe(40, 34, 30);
const QColor kHair(74, 52, 40);

void DrawLeg(QPainter& p, Vec2 hip, Vec2 knee, Vec2 ankle, double pitch, bool far) {
    Limb(p, hip, knee, 0.13, Dim(kTrousers, far));
    Limb(p, knee, ankle, 0.10, Dim(kTrousers, far));
    QPolygonF foot;
    for (Vec2 v : kFootOutline) {
        if (v.x > kBall.x && pitch > 0) {
            v = Add(kBall, Rotate(Sub(v, kBall), pitch));  // toes bend and stay on the floor
        }
        const Vec2 r = Rotate(v, -pitch);
        foot << QPointF(ankle.x + Px(r.x), ankle.y - Px(r.y));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(Dim(kShoe, far));
    p.drawPolygon(foot);
}

void DrawArm(QPainter& p, Vec2 shoulder, Vec2 elbow, Vec2 wrist, bool far) {
    Limb(p, shoulder, elbow, 0.085, Dim(kSleeve, far));
    Limb(p, elbow, wrist, 0.065, Dim(kSkin, far));
    p.setPen(Qt::NoPen);
    p.setBrush(Dim(kSkin, far));
    p.drawEllipse(Pt(wrist), Px(0.045), Px(0.045));
}

// Digits of a 3x5 bitmap font, rows top to bottom, bit 2 the left column.
constexpr std::array<std::array<uint8_t, 5>, 10> kDigits{{{7, 5, 5, 5, 7},
                                                          {2, 6, 2, 2, 7},
                                                          {7, 1, 7, 4, 7},
                                                          {7, 1, 7, 1, 7},
                                                          {5, 5, 7, 1, 1},
                                                          {7, 4, 7, 1, 7},
                                                          {7, 4, 7, 5, 7},
                                                          {7, 1, 1, 1, 1},
                                                          {7, 5, 7, 5, 7},
                                                          {7, 5, 7, 1, 7}}};

// No font files needed: the frame number is drawn from the bitmap above.
void DrawFrameNumber(QPainter& p, int number) {
    constexpr int kCell = 4;
    constexpr int kDigitsShown = 3;
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 250, 250));
    p.drawRect(10, 10, kDigitsShown * 4 * kCell + kCell, 7 * kCell);
    p.setBrush(QColor(20, 20, 20));
    for (int i = 0; i < kDigitsShown; ++i) {
        int divisor = 1;
        for (int k = i; k < kDigitsShown - 1; ++k) {
            divisor *= 10;
        }
        const auto& glyph = kDigits[(number / divisor) % 10];
        for (int row = 0; row < 5; ++row) {
            for (int col = 0; col < 3; ++col) {
                if (glyph[row] & (4 >> col)) {
                    p.drawRect(10 + kCell + (i * 4 + col) * kCell, 10 + kCell + row * kCell, kCell,
                               kCell);
                }
            }
        }
    }
    p.setRenderHint(QPainter::Antialiasing, true);
}

}  // namespace

WalkerPose WalkerPoseAt(double seconds) {
    const double cycles = seconds / kCycle + kNearPhaseAtStart;
    const double hip_x = kSpeed * seconds;
    const double near_phase = cycles - std::floor(cycles);
    const double far_cycles = cycles + 0.5;
    const double far_phase = far_cycles - std::floor(far_cycles);

    // Lowest in double support, highest at mid stance: two bobs per stride.
    const double hip_y = kHipMidstance - kHipBob * 0.5 * (1 + std::cos(4 * Pi * near_phase));
    const Vec2 hip{hip_x, hip_y};
    const Foot near_foot = FootAt(near_phase, hip_x - near_phase * kStride);
    const Foot far_foot = FootAt(far_phase, hip_x - far_phase * kStride);
    const Vec2 up = Rotate({0.0, 1.0}, -kTorsoLean);
    const Vec2 shoulder = Add(hip, Scale(up, kTorso));
    const Vec2 head = Add(shoulder, Scale(Rotate(up, -0.03), kHeadAboveShoulder));
    const Arm near_arm = ArmAt(near_phase, shoulder);
    const Arm far_arm = ArmAt(far_phase, shoulder);

    WalkerPose pose;
    pose.head = ToPixels(head);
    pose.shoulder = ToPixels(shoulder);
    pose.hip = ToPixels(hip);
    pose.near_ankle = ToPixels(near_foot.ankle);
    pose.far_ankle = ToPixels(far_foot.ankle);
    pose.near_knee = ToPixels(KneeOf(hip, near_foot.ankle));
    pose.far_knee = ToPixels(KneeOf(hip, far_foot.ankle));
    pose.near_foot_pitch = near_foot.pitch;
    pose.far_foot_pitch = far_foot.pitch;
    pose.near_elbow = ToPixels(near_arm.elbow);
    pose.near_wrist = ToPixels(near_arm.wrist);
    pose.far_elbow = ToPixels(far_arm.elbow);
    pose.far_wrist = ToPixels(far_arm.wrist);
    pose.near_heel = ToPixels(Add(near_foot.ankle, Rotate(kHeel, -near_foot.pitch)));
    pose.near_toe = ToPixels(Add(near_foot.ankle, Rotate(kBall, -near_foot.pitch)));
    pose.far_heel = ToPixels(Add(far_foot.ankle, Rotate(kHeel, -far_foot.pitch)));
    pose.far_toe = ToPixels(Add(far_foot.ankle, Rotate(kBall, -far_foot.pitch)));
    return pose;
}

std::array<JointDot, 4> JointDotsOf(const WalkerPose& pose) {
    return {{{"head", pose.head, 230, 0, 0},
             {"hip", pose.hip, 0, 200, 40},
             {"knee", pose.near_knee, 20, 60, 255},
             {"ankle", pose.near_ankle, 255, 165, 0}}};
}

std::array<JointDot, 4> FootDotsOf(const WalkerPose& pose) {
    return {{{"right_heel", pose.near_heel, 255, 0, 200},
             {"right_toe", pose.near_toe, 0, 220, 220},
             {"left_heel", pose.far_heel, 150, 60, 255},
             {"left_toe", pose.far_toe, 255, 255, 0}}};
}

WalkerGait SampleGait() {
    const double right = kNearPhaseAtStart;
    return {kCycle,
            right,
            std::fmod(right + 0.5, 1.0),
            kToeOff,
            kSpeed * 1000.0,
            kStride * 1000.0,
            1000.0 / kPixelsPerMetre};
}

CalibrationBar SampleCalibrationBar() {
    const double length = Px(kBarLengthMetres);
    return {{kBarLeft, kBarCentreY}, {kBarLeft + length, kBarCentreY}, kBarLengthMetres * 1000.0};
}

WalkerRenderer::WalkerRenderer(bool foot_dots)
    : background_(MakeBackground()), foot_dots_(foot_dots) {}

const QImage& WalkerRenderer::Render(const WalkerPose& pose, int frame_number) {
    frame_ = background_.copy();
    QPainter p(&frame_);
    p.setRenderHint(QPainter::Antialiasing);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 40));
    p.drawEllipse(QPointF(pose.hip.x, kFloorY + 3), Px(0.38), 7.0);

    DrawArm(p, pose.shoulder, pose.far_elbow, pose.far_wrist, true);
    DrawLeg(p, pose.hip, pose.far_knee, pose.far_ankle, pose.far_foot_pitch, true);

    Limb(p, pose.hip, pose.shoulder, 0.21, kShirt);
    p.setPen(Qt::NoPen);
    p.setBrush(kTrousers);
    p.drawEllipse(Pt(pose.hip), Px(0.105), Px(0.105));
    Limb(p, pose.shoulder, pose.head, 0.09, kSkin);

    // Head with hair over the crown and back, and a nose; the dot sits on bare skin.
    const double head_r = Px(kHeadRadius);
    p.setPen(Qt::NoPen);
    p.setBrush(kSkin);
    p.drawEllipse(Pt(pose.head), head_r, head_r);
    p.drawEllipse(QPointF(pose.head.x + head_r * 0.95, pose.head.y + head_r * 0.1), head_r * 0.22,
                  head_r * 0.16);
    p.setBrush(kHair);
    const QRectF head_box(pose.head.x - head_r, pose.head.y - head_r, 2 * head_r, 2 * head_r);
    p.drawChord(head_box, 55 * 16, 130 * 16);

    DrawLeg(p, pose.hip, pose.near_knee, pose.near_ankle, pose.near_foot_pitch, false);
    DrawArm(p, pose.shoulder, pose.near_elbow, pose.near_wrist, false);

    for (const JointDot& dot : JointDotsOf(pose)) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(dot.r, dot.g, dot.b));
        p.drawEllipse(Pt(dot.centre), kDotRadius, kDotRadius);
    }
    if (foot_dots_) {
        // The far foot's dots first: the near foot passes in front of them.
        const auto feet = FootDotsOf(pose);
        for (const int i : {2, 3, 0, 1}) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(feet[i].r, feet[i].g, feet[i].b));
            p.drawEllipse(Pt(feet[i].centre), kDotRadius, kDotRadius);
        }
    }

    DrawFrameNumber(p, frame_number);
    p.end();
    return frame_;
}

}  // namespace kivra
