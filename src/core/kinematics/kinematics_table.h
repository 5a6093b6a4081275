#pragma once
// The markers as gait numbers: per frame the position of every marker in millimetres (or image
// pixels without a calibration) with y pointing up from the origin, its speed, and the named
// joint angles, optionally from low-pass filtered trajectories; and the CSV file of that table.
#include <optional>
#include <string>
#include <vector>

#include "kinematics/calibration.h"
#include "kinematics/joint_angle.h"

class CLFFManager;

namespace kivra {

struct KinematicsOptions {
    std::vector<NamedAngle> angles;
    std::vector<ClinicalAngle> joints;
    std::optional<Calibration> calibration;  // nothing: image pixels, no scale
    double filterHz = 0.0;                   // 0: positions as placed
    int imageHeight = 0;                     // where the default origin (bottom-left) lies
};

// One column group per marker ID: a value per table row, nothing where it cannot be computed.
struct MarkerKinematics {
    int id = 0;
    std::vector<std::optional<double>> x, y, speed;
};

struct AngleKinematics {
    std::string name;
    std::vector<std::optional<double>> degrees;
};

struct KinematicsTable {
    double fps = 0.0;
    bool millimetres = false;
    std::vector<int> frames;  // rows: frames of the range that hold a marker, ascending
    std::vector<MarkerKinematics> markers;  // IDs with a marker in the range, ascending
    std::vector<AngleKinematics> angles;    // in the order of the options
    std::vector<AngleKinematics> joints;    // clinical, named "knee_R", in the options' order
    // +1 walking towards +x, -1 towards -x: how the joints' markers progress over the range.
    int walkingDirection = 1;

    // Seconds of a row's frame; nothing without a frame rate.
    std::optional<double> TimeOf(std::size_t row) const;
};

struct KinematicsResult {
    // kTooLarge: more values than kMaxTableCells, or no memory for them; error is the user's
    // message then.
    enum Failure { kNone, kNoFrameRate, kCutoffOutOfRange, kBadScale, kTooLarge };
    std::optional<KinematicsTable> table;
    Failure failure = kNone;
    std::string error;  // why there is no table, in words
};

// Builds the table of frames first ... last (both included) at fps frames per second.
// Filtering runs over each unbroken run of frames of a marker on its own (a gap stays a gap)
// and needs a frame rate above twice the cut-off; speeds are central differences over the
// neighbouring frames' times, so the first and last frame of a run have none.
KinematicsResult BuildKinematics(const CLFFManager& store, int firstFrame, int lastFrame,
                                 double fps, const KinematicsOptions& options);

// The angles among `angles` naming a marker ID that has no marker in first ... last, each
// with the first such ID.
struct AngleWithoutData {
    std::string name;
    int id = 0;
};
std::vector<AngleWithoutData> AnglesWithoutData(const CLFFManager& store, int firstFrame,
                                                int lastFrame,
                                                const std::vector<NamedAngle>& angles);
// The same for clinical joints, named as their columns ("knee_R"); the vertical needs no data.
std::vector<AngleWithoutData> AnglesWithoutData(const CLFFManager& store, int firstFrame,
                                                int lastFrame,
                                                const std::vector<ClinicalAngle>& joints);

// Header "Time", then "Mnn_x,Mnn_y,Mnn_speed" per marker, then the angles' names, then the
// clinical joints' ("knee_R"); one line per row. Decimal points in every locale, CR LF line
// ends, empty fields where a value is missing.
std::string FormatKinematicsCsv(const KinematicsTable& table);
// Replaces the file in one step, written line by line; false leaves an old one intact.
bool WriteKinematicsCsv(const KinematicsTable& table, const std::string& path);

}  // namespace kivra
