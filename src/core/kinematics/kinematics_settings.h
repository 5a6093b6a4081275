#pragma once
// The user's kinematics settings, kept in their own section of the settings ini so that the
// long-standing keys are never touched:
//
//   [Kinematics]
//   Angle1=knee=2,3,4
//   Angle2=hip=1,2,3
//   FilterHz=6.0          (0: no filtering, the default)
//   Joints=R:knee=2,3,4;L:hip=-,5,6   (clinical joints; absent when none)
//
// Read and written by whoever changes them (the angles dialog); the settings store's own save
// at exit rewrites only its keys and keeps this section.
#include <string>
#include <vector>

#include "kinematics/joint_angle.h"

namespace kivra {

struct KinematicsSettings {
    std::vector<NamedAngle> angles;
    double filterHz = 0.0;
    std::vector<ClinicalAngle> joints;  // last, so {angles, filterHz} keeps its meaning
    bool operator==(const KinematicsSettings&) const = default;
};

inline constexpr int kMaxNamedAngles = 100;

// Defaults for a missing file, section or key. Angles are read from Angle1 upwards until the
// first missing key (at most kMaxNamedAngles); an entry that does not parse, or repeats a
// name, is skipped. A cut-off that is not a positive number reads as 0. Joints read as none
// when any of them does not parse or repeats a joint of a side.
KinematicsSettings LoadKinematicsSettings(const std::string& iniPath);
// Replaces the section as a whole; the rest of the file stays as it was. False when the file
// could not be written (it is then unchanged) or iniPath is empty.
bool SaveKinematicsSettings(const std::string& iniPath, const KinematicsSettings& settings);

}  // namespace kivra
