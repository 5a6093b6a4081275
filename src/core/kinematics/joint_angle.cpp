#include "kinematics/joint_angle.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <numbers>
#include <set>

#include "platform/translation.h"

namespace kivra {
namespace {

// Below this a segment has no direction worth naming (pixels or millimetres alike).
constexpr double kMinSegmentLength = 1e-6;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

std::optional<int> ParseId(std::string_view text) {
    text = Trim(text);
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < 1 ||
        value > kMaxAngleMarkerId) {
        return std::nullopt;
    }
    return value;
}

void SetError(std::string* error, std::string text) {
    if (error != nullptr) {
        *error = std::move(text);
    }
}

bool HasDirection(double x, double y) {
    const double length = std::hypot(x, y);
    return std::isfinite(length) && length >= kMinSegmentLength;
}

// The angle turning a to b, counter-clockwise positive, in (-180, 180].
double SignedDegrees(Point2D a, Point2D b) {
    return std::atan2(a.x * b.y - a.y * b.x, a.x * b.x + a.y * b.y) * 180.0 / std::numbers::pi;
}

constexpr std::string_view kJointNames[] = {"hip", "knee", "ankle"};

}  // namespace

std::optional<double> JointAngleDegrees(Point2D proximal, Point2D joint, Point2D distal) {
    const double ax = proximal.x - joint.x;
    const double ay = proximal.y - joint.y;
    const double bx = distal.x - joint.x;
    const double by = distal.y - joint.y;
    const double la = std::hypot(ax, ay);
    const double lb = std::hypot(bx, by);
    if (!std::isfinite(la) || !std::isfinite(lb) || la < kMinSegmentLength ||
        lb < kMinSegmentLength) {
        return std::nullopt;
    }
    // atan2 of cross and dot keeps its accuracy near 0 and 180 degrees, where acos does not.
    const double cross = ax * by - ay * bx;
    const double dot = ax * bx + ay * by;
    return std::atan2(std::fabs(cross), dot) * 180.0 / std::numbers::pi;
}

bool IsValidAngleName(std::string_view name) {
    name = Trim(name);
    if (name.empty() || name.size() > kMaxAngleNameBytes) {
        return false;
    }
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f || c == ',' || c == '=' || c == ';' || c == '"') {
            return false;
        }
    }
    return true;
}

namespace {

// "A,B,C" as its three parts, or nothing for more or fewer.
std::optional<std::array<std::string_view, 3>> ThreeParts(std::string_view text) {
    std::array<std::string_view, 3> parts;
    for (int i = 0; i < 3; ++i) {
        const std::size_t comma = text.find(',');
        if ((i < 2) != (comma != std::string_view::npos)) {
            return std::nullopt;
        }
        parts[i] = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    return parts;
}

}  // namespace

std::optional<NamedAngle> ParseNamedAngle(std::string_view text, std::string* error) {
    const std::size_t eq = text.find('=');
    if (eq == std::string_view::npos) {
        SetError(error,
                 translate("KinematicsMessages", "角度は NAME=A,B,C の形で指定してください"));
        return std::nullopt;
    }
    const std::string_view name = Trim(text.substr(0, eq));
    if (!IsValidAngleName(name)) {
        SetError(error, translate("KinematicsMessages",
                                  "角度の名前は、カンマ、'='、';'、引用符、制御文字を含まない "
                                  "1 から 64 バイトにしてください"));
        return std::nullopt;
    }
    const auto parts = ThreeParts(text.substr(eq + 1));
    if (!parts) {
        SetError(error, translate("KinematicsMessages",
                                  "角度にはマーカ ID をちょうど 3 つ指定してください: NAME=A,B,C"));
        return std::nullopt;
    }
    int ids[3] = {};
    for (int i = 0; i < 3; ++i) {
        const std::optional<int> id = ParseId((*parts)[i]);
        if (!id) {
            SetError(error, ArgText(translate("KinematicsMessages",
                                              "マーカ ID は 1 から %1 までの整数です"),
                                    {std::to_string(kMaxAngleMarkerId)}));
            return std::nullopt;
        }
        ids[i] = *id;
    }
    if (ids[0] == ids[1] || ids[1] == ids[2] || ids[0] == ids[2]) {
        SetError(error, translate("KinematicsMessages",
                                  "角度の 3 つのマーカ ID は互いに異なる必要があります"));
        return std::nullopt;
    }
    return NamedAngle{std::string(name), ids[0], ids[1], ids[2]};
}

std::string FormatNamedAngle(const NamedAngle& angle) {
    return angle.name + "=" + std::to_string(angle.proximal) + "," + std::to_string(angle.joint) +
           "," + std::to_string(angle.distal);
}

std::optional<std::string> DuplicateAngleName(const std::vector<NamedAngle>& angles) {
    std::set<std::string> seen;
    for (const NamedAngle& a : angles) {
        if (!seen.insert(a.name).second) {
            return a.name;
        }
    }
    return std::nullopt;
}

std::optional<double> ClinicalAngleDegrees(ClinicalJoint joint,
                                           const std::optional<Point2D>& proximal, Point2D middle,
                                           Point2D distal, int walkingDirection) {
    // The vertical stands in for a missing trunk marker; other joints need all three.
    const Point2D upper =
        proximal ? Point2D{middle.x - proximal->x, middle.y - proximal->y} : Point2D{0.0, -1.0};
    const Point2D lower{distal.x - middle.x, distal.y - middle.y};
    if ((!proximal && joint != ClinicalJoint::kHip) || !HasDirection(upper.x, upper.y) ||
        !HasDirection(lower.x, lower.y)) {
        return std::nullopt;
    }
    // Walking towards +x, forward rotation of a segment hanging down is counter-clockwise.
    const double forward = walkingDirection < 0 ? -1.0 : 1.0;
    const double turn = SignedDegrees(upper, lower);
    double degrees = 0.0;
    switch (joint) {
        case ClinicalJoint::kHip:
            degrees = forward * turn;
            break;
        case ClinicalJoint::kKnee:
            degrees = -forward * turn;
            break;
        case ClinicalJoint::kAnkle:
            degrees = forward * turn - 90.0;
            degrees = degrees <= -180.0 ? degrees + 360.0 : degrees;
            break;
    }
    return degrees + 0.0;  // a straight joint reads 0, never -0
}

std::string ClinicalAngleName(const ClinicalAngle& angle) {
    return std::string(kJointNames[static_cast<int>(angle.joint)]) +
           (angle.side == LimbSide::kRight ? "_R" : "_L");
}

std::optional<ClinicalAngle> ParseClinicalAngle(std::string_view text, std::string* error) {
    const std::size_t colon = text.find(':');
    const std::size_t eq = text.find('=');
    if (colon == std::string_view::npos || eq == std::string_view::npos || eq < colon) {
        SetError(error,
                 translate("KinematicsMessages", "関節は SIDE:JOINT=A,B,C の形で指定してください"));
        return std::nullopt;
    }
    ClinicalAngle angle;
    const std::string_view side = Trim(text.substr(0, colon));
    if (side != "R" && side != "L") {
        SetError(error, translate("KinematicsMessages", "左右は R か L で指定してください"));
        return std::nullopt;
    }
    angle.side = side == "R" ? LimbSide::kRight : LimbSide::kLeft;
    const std::string_view joint = Trim(text.substr(colon + 1, eq - colon - 1));
    const auto* known = std::find(std::begin(kJointNames), std::end(kJointNames), joint);
    if (known == std::end(kJointNames)) {
        SetError(error, translate("KinematicsMessages",
                                  "関節は hip、knee、ankle のいずれかにしてください"));
        return std::nullopt;
    }
    angle.joint = static_cast<ClinicalJoint>(known - std::begin(kJointNames));
    const auto parts = ThreeParts(text.substr(eq + 1));
    if (!parts) {
        SetError(error,
                 translate("KinematicsMessages",
                           "関節にはマーカ ID をちょうど 3 つ指定してください: SIDE:JOINT=A,B,C"));
        return std::nullopt;
    }
    int ids[3] = {};
    for (int i = 0; i < 3; ++i) {
        const std::string_view part = (*parts)[i];
        if (i == 0 && angle.joint == ClinicalJoint::kHip && Trim(part) == "-") {
            ids[i] = 0;  // the picture's vertical
        } else if (const std::optional<int> id = ParseId(part)) {
            ids[i] = *id;
        } else {
            const bool vertical = angle.joint == ClinicalJoint::kHip && i == 0;
            SetError(error, ArgText(vertical ? translate("KinematicsMessages",
                                                         "マーカ ID は 1 から %1 までの整数か、"
                                                         "鉛直を表す - です")
                                             : translate("KinematicsMessages",
                                                         "マーカ ID は 1 から %1 までの整数です"),
                                    {std::to_string(kMaxAngleMarkerId)}));
            return std::nullopt;
        }
    }
    if (ids[0] == ids[1] || ids[1] == ids[2] || ids[0] == ids[2]) {
        SetError(error, translate("KinematicsMessages",
                                  "関節の 3 つのマーカ ID は互いに異なる必要があります"));
        return std::nullopt;
    }
    angle.proximal = ids[0];
    angle.middle = ids[1];
    angle.distal = ids[2];
    return angle;
}

std::string FormatClinicalAngle(const ClinicalAngle& angle) {
    return std::string(angle.side == LimbSide::kRight ? "R:" : "L:") +
           std::string(kJointNames[static_cast<int>(angle.joint)]) + "=" +
           (angle.proximal > 0 ? std::to_string(angle.proximal) : std::string("-")) + "," +
           std::to_string(angle.middle) + "," + std::to_string(angle.distal);
}

std::optional<std::string> DuplicateClinicalAngle(const std::vector<ClinicalAngle>& angles) {
    std::set<std::string> seen;
    for (const ClinicalAngle& a : angles) {
        if (!seen.insert(ClinicalAngleName(a)).second) {
            return ClinicalAngleName(a);
        }
    }
    return std::nullopt;
}

}  // namespace kivra
