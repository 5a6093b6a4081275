#pragma once
// The gait commands of kivra-cli: "gait" writes the analysis as CSV files into a folder,
// "report" as a PDF. The caller opens the video; these take its markers and pictures.
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "gait/gait_analysis.h"

namespace kivra {
struct Dib;
class Workspace;
}  // namespace kivra

namespace kivra::cli {

struct GaitArguments {
    std::string video;
    std::string output;  // OUTDIR for gait, OUT.pdf for report
    GaitSetup setup;
    std::optional<double> scale;
    std::vector<NamedAngle> angles;
    std::vector<ClinicalAngle> joints;
    std::string reference;  // "Percent,Mean,SD" CSV for the report's curves
    bool detect = false;
};

// What the opened video gives the commands.
struct GaitSource {
    Workspace* actions = nullptr;  // on the opened video: its markers, range and events file
    bool markerFileLoaded = false;
    std::string calibrationPath;
    std::function<const Dib*(int frame)> picture;  // the report's stills, decoded
};

// Reads "gait|report VIDEO OUT [options]". 2 for a command line that is wrong (problem says
// why when it can), 1 for one that names something impossible (an unknown side), 0 when
// usable.
int ParseGaitArguments(const std::vector<std::string>& args, GaitArguments& parsed,
                       std::string& problem);

// Why the joints cannot each have columns of their own: a joint of a side given twice, an angle
// named as a joint's column ("knee_R"), or, with cycleColumns, as the joint itself ("knee",
// whose knee_R_mean would repeat the joint's); nothing when they can.
std::optional<std::string> JointGivenTwice(const std::vector<NamedAngle>& angles,
                                           const std::vector<ClinicalAngle>& joints,
                                           bool cycleColumns);

int RunGait(const GaitArguments& arguments, const GaitSource& source, std::ostream& err);
int RunReport(const GaitArguments& arguments, const GaitSource& source, std::ostream& err);

}  // namespace kivra::cli
