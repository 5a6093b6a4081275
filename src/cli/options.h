#pragma once
// The options kinematics, gait and report share, read by one parser so that each is written,
// checked and refused alike wherever it is given.
#include <optional>
#include <string>
#include <vector>

#include "frontal/frontal_measures.h"
#include "gait/gait_setup.h"
#include "kinematics/joint_angle.h"
#include "sync/sync_offset.h"

namespace kivra::cli {

// The report header's fields given on the command line, each in place of the header file's.
struct HeaderOptions {
    std::optional<std::string> patient, birth, visit, examiner, condition, comment;
    std::optional<double> legLengthMm;
};

// Which options a command takes besides --angle, --joint, --scale and --filter.
struct AcceptedOptions {
    bool gait = false;    // --foot, --pelvis, --reference, --detect; angles have cycle columns
    bool header = false;  // the report header's fields
    bool front = false;   // the front view: --front, --front-pelvis, --front-foot, --offset, ...
};

// The front view filmed with the side one, as given: its video, markers, offset and scale.
struct FrontOptions {
    std::optional<std::string> video;
    FrontalSetup setup;
    bool pelvisGiven = false;
    std::optional<SyncOffset> offset;  // front time = side time + offset
    std::optional<double> scale;       // millimetres per pixel of the front view
    bool AnyMarker() const;            // --front-pelvis or --front-foot given
    bool AnyGiven() const;             // any front option, --front itself included
};

struct CommandOptions {
    std::optional<double> scale;  // millimetres per pixel, in place of the calibration file
    double filterHz = 0.0;        // 0: the trajectories as placed
    std::vector<NamedAngle> angles;
    std::vector<ClinicalAngle> joints;
    GaitSetup setup;  // the feet and the pelvis; its filterHz is left to the command
    // The band files as given: "FILE" or "ANGLE=FILE" (see ReadBands).
    std::vector<std::string> references;
    bool detect = false;
    HeaderOptions header;
    FrontOptions front;
};

// Reads args[first] on. 2 for a command line that is wrong (problem says why when it can), 1
// for one that names something impossible (an unknown side), 0 when usable.
int ParseOptions(const std::vector<std::string>& args, std::size_t first, AcceptedOptions accepted,
                 CommandOptions& parsed, std::string& problem);

// Why the joints cannot each have columns of their own: a joint of a side given twice, an angle
// named as a joint's column ("knee_R"), or, with cycleColumns, as the joint itself ("knee",
// whose knee_R_mean would repeat the joint's); nothing when they can.
std::optional<std::string> JointGivenTwice(const std::vector<NamedAngle>& angles,
                                           const std::vector<ClinicalAngle>& joints,
                                           bool cycleColumns);

// "--scale X: give a number above 0 ..." for --scale and --filter.
std::string NumberProblem(const std::string& option, const std::string& given);
std::string GivenTwiceText(const std::string& option);
std::string AngleNameTwiceText(const std::string& name);

}  // namespace kivra::cli
