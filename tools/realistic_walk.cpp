#include "realistic_walk.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <random>

namespace kivra::walks {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

// A point of the foot's side view, metres: s forward, y up from the floor.
struct Planar {
    double s = 0.0;
    double y = 0.0;
};

Planar Add(Planar a, Planar b) {
    return {a.s + b.s, a.y + b.y};
}
Planar Sub(Planar a, Planar b) {
    return {a.s - b.s, a.y - b.y};
}
// Counter-clockwise with s forward and y up: a positive angle lifts the toes.
Planar Rotate(Planar p, double angle) {
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    return {p.s * c - p.y * s, p.s * s + p.y * c};
}

// The rear foot (calcaneus to metatarsal heads) in its own frame, flat on the floor, origin
// under the heel: the heel is rounded, the toes hinge at the metatarsal heads.
struct FootShape {
    double heelRadius = 0.008;
    Planar heelMarker{-0.030, 0.032};  // back of the calcaneus
    Planar joint{0.175, 0.012};        // centre of the metatarsal heads
    Planar toeMarker{0.172, 0.030};    // on the second metatarsal head
    Planar tipFromJoint{0.055, -0.012};

    Planar HeelCentre() const { return {0.0, heelRadius}; }
};

// The rear foot's pose: where the heel's centre of curvature is and the pitch (toes up > 0).
struct Pose {
    Planar centre;
    double pitch = 0.0;
};

// One stance of one foot and how it rolls: heel rocker to foot flat, heel rise over the
// metatarsal heads, then the toes pivot on their tip until it leaves the floor.
struct Stance {
    double strike = 0.0;  // heel touches the floor
    double flat = 0.0;    // forefoot down
    double heelOff = 0.0;
    double toeRock = 0.0;  // toes start to pivot on their tip
    double toeOff = 0.0;   // the tip leaves
    double heelS = 0.0;    // where the heel first touches
    double strikePitch = 0.0;
    double strikeTurn = 0.0;  // pitch rate as the heel lands, radians per second
    double slide = 0.0;       // metres the heel slides on after touching
    double slideTime = 0.0;
    double approach = 0.0;   // horizontal deceleration just before the heel lands
    double pushPitch = 0.0;  // rear foot pitch at toe-off (negative)
    double toePitch = 0.0;   // toes' pitch at toe-off (negative)
    double riseShape = 2.0;
    double toeShape = 2.0;
};

Pose StancePose(const Stance& st, const FootShape& foot, double t) {
    const double since = t - st.strike;
    if (t < st.heelOff) {
        // Already turning toes-down as the heel lands, level at foot flat.
        const double span = st.flat - st.strike;
        const double u = std::clamp(since / span, 0.0, 1.0);
        const double pitch = st.strikePitch * (2 * u * u * u - 3 * u * u + 1) +
                             st.strikeTurn * span * (u * u * u - 2 * u * u + u);
        const double w = std::clamp(since / st.slideTime, 0.0, 1.0);
        const double slide = st.slide * (1.0 - (1.0 - w) * (1.0 - w));
        // Rolling on the rounded heel moves its centre on by radius times the angle turned.
        return {{st.heelS + slide + foot.heelRadius * (st.strikePitch - pitch), foot.heelRadius},
                pitch};
    }
    const Planar flatCentre{st.heelS + st.slide + foot.heelRadius * st.strikePitch,
                            foot.heelRadius};
    const Planar joint = Add(flatCentre, Sub(foot.joint, foot.HeelCentre()));
    const Planar tip = Add(joint, foot.tipFromJoint);
    const double u = std::clamp((t - st.heelOff) / (st.toeOff - st.heelOff), 0.0, 1.0);
    const double pitch = st.pushPitch * std::pow(u, st.riseShape);
    const double v = std::clamp((t - st.toeRock) / (st.toeOff - st.toeRock), 0.0, 1.0);
    const double toes = t > st.toeRock ? st.toePitch * std::pow(v, st.toeShape) : 0.0;
    const Planar movedJoint = Add(tip, Rotate({-foot.tipFromJoint.s, -foot.tipFromJoint.y}, toes));
    return {Add(movedJoint, Rotate(Sub(foot.HeelCentre(), foot.joint), pitch)), pitch};
}

std::array<double, 3> Components(const Pose& p) {
    return {p.centre.s, p.centre.y, p.pitch};
}

// Value, velocity and acceleration of the three pose components at t, from one side only
// (dir -1: what leads up to t, +1: what follows it), so phase changes stay sharp.
struct PoseState {
    std::array<double, 3> value{}, velocity{}, acceleration{};
};

template <class F>
PoseState OneSided(F&& pose, double t, int dir) {
    constexpr double h = 1e-4;
    const auto a = Components(pose(t));
    const auto b = Components(pose(t + dir * h));
    const auto c = Components(pose(t + 2 * dir * h));
    PoseState s;
    for (int i = 0; i < 3; ++i) {
        s.value[i] = a[i];
        s.velocity[i] = dir * (-3 * a[i] + 4 * b[i] - c[i]) / (2 * h);
        s.acceleration[i] = (a[i] - 2 * b[i] + c[i]) / (h * h);
    }
    return s;
}

// Quintic from (p0, v0, a0) at u = 0 to (p1, v1, a1) at u = 1, derivatives in u.
double Quintic(double u, double p0, double v0, double a0, double p1, double v1, double a1) {
    const double u2 = u * u, u3 = u2 * u, u4 = u3 * u, u5 = u4 * u;
    return p0 * (1 - 10 * u3 + 15 * u4 - 6 * u5) + v0 * (u - 6 * u3 + 8 * u4 - 3 * u5) +
           a0 * (0.5 * u2 - 1.5 * u3 + 1.5 * u4 - 0.5 * u5) + p1 * (10 * u3 - 15 * u4 + 6 * u5) +
           v1 * (-4 * u3 + 7 * u4 - 3 * u5) + a1 * (0.5 * u3 - u4 + 0.5 * u5);
}

// A swing-shaping bump: 0 with its first two derivatives at both ends, 1 at its peak.
double Bump(double u, double peak) {
    const double a = 3.0;
    const double b = a * (1.0 - peak) / peak;
    const double top = std::pow(peak, a) * std::pow(1.0 - peak, b);
    return std::pow(std::clamp(u, 0.0, 1.0), a) * std::pow(1.0 - std::clamp(u, 0.0, 1.0), b) / top;
}

// One foot's whole walk: stances and the swings between them.
class FootMotion {
public:
    FootMotion(FootShape shape, std::vector<Stance> stances, double lift, double landingSpeed)
        : foot_(shape), stances_(std::move(stances)), lift_(lift), landing_(landingSpeed) {}

    const std::vector<Stance>& Stances() const { return stances_; }

    Pose At(double t) const {
        std::size_t k = 0;
        while (k + 1 < stances_.size() && stances_[k + 1].strike <= t) {
            ++k;
        }
        const Stance& st = stances_[k];
        if (t <= st.toeOff || k + 1 == stances_.size()) {
            return StancePose(st, foot_, std::min(t, st.toeOff));
        }
        return SwingPose(st, stances_[k + 1], t);
    }

private:
    Pose SwingPose(const Stance& from, const Stance& to, double t) const {
        const double d = to.strike - from.toeOff;
        const double u = (t - from.toeOff) / d;
        const auto before = [&](double x) { return StancePose(from, foot_, x); };
        const auto after = [&](double x) { return StancePose(to, foot_, x); };
        const PoseState a = OneSided(before, from.toeOff, -1);
        PoseState b = OneSided(after, to.strike, +1);
        // The heel comes down onto the floor and stops there; the rest is the landing's shock.
        b.velocity[1] = -landing_;
        b.acceleration = {-to.approach, 0.0, 0.0};
        std::array<double, 3> q{};
        for (int i = 0; i < 3; ++i) {
            q[i] = Quintic(u, a.value[i], a.velocity[i] * d, a.acceleration[i] * d * d, b.value[i],
                           b.velocity[i] * d, b.acceleration[i] * d * d);
        }
        // The foot is lifted early in the swing, swings ahead of the even pace at first and the
        // ankle turns the toes up for the landing.
        q[1] += lift_ * Bump(u, 0.32) + 0.35 * lift_ * Bump(u, 0.75);
        q[0] += 0.06 * (to.heelS - from.heelS) * Bump(u, 0.45);
        q[2] += 12.0 * kDegree * Bump(u, 0.55);
        return {{q[0], q[1]}, q[2]};
    }

    FootShape foot_;
    std::vector<Stance> stances_;
    double lift_;
    double landing_;
};

// The camera: a pinhole looking across the walkway from the walker's side, a little tilted.
struct Camera {
    std::array<double, 3> position{0.0, 0.45, 5.0};
    std::array<std::array<double, 3>, 3> rows{};  // world to camera axes
    double focal = 1900.0;
    double cx = 960.0, cy = 540.0;

    Camera(double rollDeg, double pitchDeg, double yawDeg) {
        const double r = rollDeg * kDegree, p = pitchDeg * kDegree, w = yawDeg * kDegree;
        // Camera axes in the world: x right, y up, looking along -z; turned by yaw about y,
        // pitch about x and roll about the view axis.
        const auto mul = [](const std::array<std::array<double, 3>, 3>& a,
                            const std::array<std::array<double, 3>, 3>& b) {
            std::array<std::array<double, 3>, 3> c{};
            for (int i = 0; i < 3; ++i) {
                for (int j = 0; j < 3; ++j) {
                    for (int k = 0; k < 3; ++k) {
                        c[i][j] += a[i][k] * b[k][j];
                    }
                }
            }
            return c;
        };
        const std::array<std::array<double, 3>, 3> yaw{
            {{std::cos(w), 0, std::sin(w)}, {0, 1, 0}, {-std::sin(w), 0, std::cos(w)}}};
        const std::array<std::array<double, 3>, 3> pitch{
            {{1, 0, 0}, {0, std::cos(p), -std::sin(p)}, {0, std::sin(p), std::cos(p)}}};
        const std::array<std::array<double, 3>, 3> roll{
            {{std::cos(r), -std::sin(r), 0}, {std::sin(r), std::cos(r), 0}, {0, 0, 1}}};
        const auto axes = mul(mul(yaw, pitch), roll);  // columns: camera axes in the world
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                rows[i][j] = axes[j][i];
            }
        }
    }

    ImagePoint Project(const std::array<double, 3>& world) const {
        std::array<double, 3> c{};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                c[i] += rows[i][j] * (world[j] - position[j]);
            }
        }
        const double depth = -c[2];
        return {cx + focal * c[0] / depth, cy - focal * c[1] / depth};
    }
};

}  // namespace

RealisticWalk MakeRealisticWalk(const WalkOptions& options) {
    std::mt19937 random(options.seed * 7919u + 17u);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    const auto spread = [&](double mean, double sd, double limit) {
        return mean + std::clamp(sd * normal(random), -limit, limit);
    };

    // The walker: cadence 105 to 120 steps a minute, about 1.1 to 1.35 m/s.
    const double cycle = 120.0 / (105.0 + 15.0 * uniform(random));
    const double speed = 1.1 + 0.25 * uniform(random);
    const double stanceShare = spread(0.60, 0.008, 0.015);
    const double size = spread(1.0, 0.05, 0.1);
    FootShape shape;
    for (Planar* p : {&shape.heelMarker, &shape.joint, &shape.toeMarker, &shape.tipFromJoint}) {
        p->s *= size;
    }
    const double strikePitch = spread(18.0, 2.5, 5.0) * kDegree;
    const double pushPitch = -spread(58.0, 4.0, 8.0) * kDegree;
    const double toePitch = -spread(40.0, 5.0, 10.0) * kDegree;
    const double toeRockTime = spread(0.11, 0.02, 0.04);
    const double lift = spread(0.06, 0.008, 0.015);
    const double stepWidth = spread(0.16, 0.02, 0.04);
    const double toeOut = spread(7.0, 3.0, 6.0) * kDegree;
    const double dir = options.direction < 0 ? -1.0 : 1.0;

    // The pelvis moves on evenly, a little faster in double support, and bobs twice a stride.
    const double firstStrike = -2.0 * cycle - cycle * uniform(random);
    const double middle = options.seconds / 2;
    const auto sacrumAt = [&](double t) {
        const double phase = 2 * std::numbers::pi * (t - firstStrike) / cycle;
        return std::array<double, 3>{speed * (t - middle) + 0.012 * std::sin(2 * phase),
                                     0.93 - 0.02 * std::cos(2 * phase), 0.015 * std::sin(phase)};
    };

    // Heel strikes, stride by stride, the left one about half a stride after the right.
    const double end = options.seconds + 4.0 * cycle;
    std::vector<double> right, left;
    for (double t = firstStrike; t < end; t += cycle * spread(1.0, 0.015, 0.04)) {
        right.push_back(t);
    }
    for (std::size_t k = 0; k + 1 < right.size(); ++k) {
        left.push_back(right[k] + (right[k + 1] - right[k]) * spread(0.5, 0.01, 0.025));
    }
    right.pop_back();
    const auto stancesOf = [&](const std::vector<double>& strikes) {
        std::vector<Stance> stances;
        for (std::size_t k = 0; k + 1 < strikes.size(); ++k) {
            const double stride = strikes[k + 1] - strikes[k];
            Stance st;
            st.strike = strikes[k];
            st.toeOff = st.strike + stride * spread(stanceShare, 0.008, 0.02);
            st.flat = st.strike + stride * spread(0.085, 0.008, 0.02);
            st.heelOff = st.strike + stride * spread(0.34, 0.015, 0.04);
            st.toeRock = st.toeOff - spread(toeRockTime, 0.008, 0.02);
            st.heelS = sacrumAt(st.strike)[0] + spread(0.30, 0.01, 0.025);
            st.strikePitch = spread(strikePitch, 1.5 * kDegree, 4.0 * kDegree);
            st.strikeTurn = -spread(1.5, 0.4, 1.0);
            // The heel lands still moving forward and friction stops it within a few mm.
            st.slide = spread(0.001, 0.0004, 0.0008);
            st.slideTime = 2 * st.slide / spread(0.6, 0.12, 0.25);
            st.approach = spread(15.0, 3.0, 6.0);
            st.pushPitch = spread(pushPitch, 2.0 * kDegree, 5.0 * kDegree);
            st.toePitch = spread(toePitch, 2.0 * kDegree, 5.0 * kDegree);
            st.riseShape = spread(2.2, 0.15, 0.4);
            st.toeShape = spread(2.0, 0.2, 0.4);
            stances.push_back(st);
        }
        return stances;
    };
    const double landing = spread(0.12, 0.03, 0.06);
    const std::array<FootMotion, 2> motions = {FootMotion(shape, stancesOf(right), lift, landing),
                                               FootMotion(shape, stancesOf(left), lift, landing)};

    const Camera camera(spread(1.5, 0.7, 1.5), spread(-3.0, 1.0, 2.0), spread(1.0, 1.0, 2.0));
    const auto world = [&](double forward, double up, double lateral) {
        // The walker's right is +z when walking towards +x, -z walking back.
        return std::array<double, 3>{dir * forward, up, dir * lateral};
    };

    RealisticWalk walk;
    walk.fps = options.fps;
    walk.frames = static_cast<int>(std::lround(options.seconds * options.fps));
    walk.cadence = 120.0 / cycle;
    walk.pixelsPerMetre = camera.focal / camera.position[2];
    std::mt19937 clicks(options.noiseSeed * 104729u + 3u);
    std::normal_distribution<double> click(0.0, options.clickNoisePx);
    const auto place = [&](MarkerTrack& track, int frame, ImagePoint p) {
        if (options.clickNoisePx > 0) {
            p.x += click(clicks);
            p.y += click(clicks);
        }
        track.frames.push_back(frame);
        track.points.push_back(p);
    };
    for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
        const FootMotion& motion = motions[side == FootSide::kRight ? 0 : 1];
        const double lateral = (side == FootSide::kRight ? 0.5 : -0.5) * stepWidth;
        const double outward = side == FootSide::kRight ? 1.0 : -1.0;
        FootTrack track;
        track.side = side;
        for (int f = 0; f < walk.frames; ++f) {
            const double t = f / options.fps;
            const Pose pose = motion.At(t);
            for (const bool toe : {false, true}) {
                const Planar local = toe ? shape.toeMarker : shape.heelMarker;
                const Planar p =
                    Add(pose.centre, Rotate(Sub(local, shape.HeelCentre()), pose.pitch));
                // The foot points a little outwards: along it, forward and sideways.
                const double along = p.s - pose.centre.s;
                const std::array<double, 3> w = world(pose.centre.s + along * std::cos(toeOut), p.y,
                                                      lateral + outward * along * std::sin(toeOut));
                const bool hidden = options.gap && options.gap->side == side &&
                                    options.gap->toe == toe && t >= options.gap->fromSeconds &&
                                    t <= options.gap->toSeconds;
                if (!hidden) {
                    place(toe ? track.toe : track.heel, f, camera.Project(w));
                }
            }
        }
        walk.feet.push_back(std::move(track));
    }
    for (int f = 0; f < walk.frames; ++f) {
        const auto s = sacrumAt(f / options.fps);
        place(walk.sacrum, f, camera.Project(world(s[0], s[1], s[2])));
    }

    const double last = (walk.frames - 1) / options.fps;
    for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
        for (const Stance& st : motions[side == FootSide::kRight ? 0 : 1].Stances()) {
            if (st.strike >= 0 && st.strike <= last) {
                walk.events.push_back({st.strike, side, GaitEventKind::kHeelStrike});
            }
            if (st.toeOff >= 0 && st.toeOff <= last) {
                walk.events.push_back({st.toeOff, side, GaitEventKind::kToeOff});
            }
        }
    }
    std::sort(walk.events.begin(), walk.events.end(),
              [](const TrueEvent& a, const TrueEvent& b) { return a.seconds < b.seconds; });

    for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
        const std::vector<Stance>& own = motions[side == FootSide::kRight ? 0 : 1].Stances();
        const std::vector<Stance>& other = motions[side == FootSide::kRight ? 1 : 0].Stances();
        for (std::size_t k = 0; k + 1 < own.size(); ++k) {
            const Stance& st = own[k];
            const double next = own[k + 1].strike;
            if (st.strike < 0 || next > last) {
                continue;
            }
            // Double support: from this strike to the other foot's toe-off, and from the other
            // foot's strike to this toe-off.
            double support = 0.0;
            for (const Stance& o : other) {
                if (o.toeOff > st.strike && o.strike < st.strike) {
                    support += o.toeOff - st.strike;
                }
                if (o.strike > st.strike && o.strike < st.toeOff) {
                    support += st.toeOff - o.strike;
                }
            }
            const double stride = next - st.strike;
            walk.strides.push_back({side, st.strike, next, 100.0 * (st.toeOff - st.strike) / stride,
                                    100.0 * support / stride, own[k + 1].heelS - st.heelS});
        }
    }
    std::sort(walk.strides.begin(), walk.strides.end(),
              [](const TrueStride& a, const TrueStride& b) { return a.start < b.start; });
    return walk;
}

}  // namespace kivra::walks
