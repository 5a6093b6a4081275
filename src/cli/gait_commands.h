#pragma once
// The gait commands of kivra-cli: "gait" writes the analysis as CSV files into a folder,
// "report" as a PDF. The caller opens the video; these take its markers and pictures.
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "gait/gait_analysis.h"
#include "gait/report_header.h"
#include "options.h"
#include "sync/sync_offset.h"

class CLFFManager;

namespace kivra {
struct Dib;
struct GaitRun;
class Workspace;
}  // namespace kivra

namespace kivra::cli {

// The options as given, setup.filterHz included; header is the report's only.
struct GaitArguments : CommandOptions {
    std::string video;
    std::string output;  // OUTDIR for gait, OUT.pdf for report
};

// The front view, opened by the caller beside the side view for the frontal measures.
struct FrontSource {
    Workspace* actions = nullptr;
    const CLFFManager* markers = nullptr;  // null without its marker file
    int first = 0, last = -1;              // its play range
    VideoClock clock, sideClock;
    SyncOffset offset;  // front time = side time + offset
};

// What the opened video gives the commands.
struct GaitSource {
    Workspace* actions = nullptr;  // on the opened video: its markers, range and events file
    bool markerFileLoaded = false;
    std::function<const Dib*(int frame)> picture;  // the report's stills, decoded
    std::optional<FrontSource> front;              // gait with --front
};

// Reads "gait|report VIDEO OUT [options]". 2 for a command line that is wrong (problem says
// why when it can), 1 for one that names something impossible (an unknown side), 0 when
// usable.
int ParseGaitArguments(const std::vector<std::string>& args, GaitArguments& parsed,
                       std::string& problem);

// The band files of --reference: "ANGLE=FILE" where ANGLE names a cycle curve of the angles
// (knee_R, knee, a plain angle's name or its _R/_L column), else the whole text is the file;
// a Percent,Mean,SD file given without an angle goes to the one angle there is. Nothing, with
// problem said, when a file cannot be read or its angle is unclear.
std::optional<std::vector<NormalBand>> ReadBands(const GaitArguments& arguments,
                                                 std::string& problem);

// The report's header: the header file at path (missing: empty) with each field the command
// line gives in its place; the file is never written. Nothing, with problem said, when it is
// damaged.
std::optional<ReportHeader> ReportHeaderOf(const HeaderOptions& given, const std::string& path,
                                           std::string& problem);

// The front view's offset: --offset, else from the .ksync beside the side video or the front
// one that names both, either way round. Nothing, with problem said, when there is none or
// the file is damaged.
std::optional<SyncOffset> FrontOffset(const GaitArguments& arguments, std::string& problem);

// The feet and pelvis for a video whose events file is at eventsPath: the options' where --foot
// is given, else the file's (a --pelvis given still wins); no foot when neither names one. The
// filter and bands are the options'. Nothing, with problem said, when the file is damaged.
std::optional<GaitSetup> SetupFor(const CommandOptions& options, const std::string& eventsPath,
                                  std::string& problem);

// The messages kinematics shares with the gait commands, in the interface language.
std::string NoMarkerFileText(const std::string& video);
std::string NoFootMarkersText(const std::string& video);
std::string DamagedCalibrationText(const std::string& path, const std::string& problem);

// Says why a gait run failed (markers without data, a damaged events file, no events) in the
// interface language; false, saying nothing, when it did not fail.
bool ReportGaitRunFailure(const GaitRun& run, const std::string& video, std::ostream& err);

// The analysis the gait commands share, its warnings written to err; 0 with it made, else the
// exit status (message written). *used, when given, receives the options it ran with.
int Analyse(const GaitArguments& arguments, const GaitSource& source, std::ostream& err,
            GaitAnalysis& analysis, GaitAnalysisOptions* used = nullptr);

int RunGait(const GaitArguments& arguments, const GaitSource& source, std::ostream& err);
int RunReport(const GaitArguments& arguments, const GaitSource& source, std::ostream& err);

}  // namespace kivra::cli
