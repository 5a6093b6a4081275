#pragma once
// Joint angles from three points, and the named angles a user defines over marker IDs
// ("knee=2,3,4": proximal, joint, distal).
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivra {

struct Point2D {
    double x = 0.0;
    double y = 0.0;
};

// The angle at `joint` between the segments to `proximal` and `distal`, in degrees from 0
// (folded back onto itself) to 180 (a straight limb). Nothing when a segment has no length
// or a coordinate is not a finite number.
std::optional<double> JointAngleDegrees(Point2D proximal, Point2D joint, Point2D distal);

// An angle the user named over three marker IDs.
struct NamedAngle {
    std::string name;
    int proximal = 0;
    int joint = 0;
    int distal = 0;
    bool operator==(const NamedAngle&) const = default;
};

// The highest marker ID an angle may name (the marker store's own bound).
inline constexpr int kMaxAngleMarkerId = 100000;
// Longest name in bytes; it becomes a CSV column heading.
inline constexpr std::size_t kMaxAngleNameBytes = 64;

// "NAME=A,B,C" with blanks allowed around each part. The name must not be empty nor hold a
// control character, a comma, '=', ';' or a double quote (it heads a CSV column); the three
// IDs are different numbers from 1 to kMaxAngleMarkerId. On failure *error (when given) says
// what is wrong.
std::optional<NamedAngle> ParseNamedAngle(std::string_view text, std::string* error = nullptr);
// "NAME=A,B,C", which ParseNamedAngle reads back.
std::string FormatNamedAngle(const NamedAngle& angle);
// Whether `name` may head an angle's column (the rule of ParseNamedAngle), after trimming.
bool IsValidAngleName(std::string_view name);

// The first name used twice, or nothing.
std::optional<std::string> DuplicateAngleName(const std::vector<NamedAngle>& angles);

// ---- joint angles in the clinical convention ----

enum class LimbSide { kRight, kLeft };
enum class ClinicalJoint { kHip, kKnee, kAnkle };

// A joint of one leg over three marker IDs: hip (trunk or 0 for the picture's vertical, hip,
// knee), knee (hip, knee, ankle) or ankle (knee, ankle, toe).
struct ClinicalAngle {
    LimbSide side = LimbSide::kRight;
    ClinicalJoint joint = ClinicalJoint::kKnee;
    int proximal = 0;
    int middle = 0;
    int distal = 0;
    bool operator==(const ClinicalAngle&) const = default;
};

// The angle in degrees, 0 in the upright standing posture, for a walk towards +x
// (walkingDirection +1) or -x (-1), with y pointing up:
//   hip: the thigh (middle to distal) against the trunk line continued downward (proximal to
//        middle, or straight down without a proximal point), flexion (thigh forward) positive;
//   knee: 180 minus the plain angle, hyperextension (shank forward of the thigh line)
//         negative;
//   ankle: the foot (middle to distal) against the right angle to the shank (proximal to
//          middle), dorsiflexion (toe up) positive.
// Nothing when a segment has no length or a coordinate is not a finite number.
std::optional<double> ClinicalAngleDegrees(ClinicalJoint joint,
                                           const std::optional<Point2D>& proximal, Point2D middle,
                                           Point2D distal, int walkingDirection);

// "knee_R": the CSV column and curve name.
std::string ClinicalAngleName(const ClinicalAngle& angle);
// "SIDE:JOINT=A,B,C" with SIDE R or L, JOINT hip, knee or ankle; for the hip A may be "-"
// (the vertical). On failure *error (when given) says what is wrong.
std::optional<ClinicalAngle> ParseClinicalAngle(std::string_view text,
                                                std::string* error = nullptr);
// "R:knee=2,3,4", which ParseClinicalAngle reads back.
std::string FormatClinicalAngle(const ClinicalAngle& angle);
// The name of the first joint of a side given twice, or nothing.
std::optional<std::string> DuplicateClinicalAngle(const std::vector<ClinicalAngle>& angles);

}  // namespace kivra
