// kivra-cli kinematics: positions, speeds and joint angles of the play range as a CSV file.
#include <ostream>

#include "../gait_commands.h"
#include "../opened_video.h"
#include "../options.h"
#include "platform/translation.h"

namespace kivra::cli {
namespace {

class KinematicsCommand final : public Command {
public:
    int Parse(const std::vector<std::string>& args, std::ostream& err) override {
        if (args.size() < 3) {
            return 2;
        }
        video_ = args[1];
        output_ = args[2];
        std::string problem;
        const int status = ParseOptions(args, 3, AcceptedOptions{}, options_, problem);
        if (status != 0 && !problem.empty()) {
            err << problem << "\n";
        }
        return status;
    }
    VideoOpening Opening() const override { return VideoOpening::kMarkersOnly; }
    int Run(const OpenedVideo& video, std::ostream&, std::ostream& err) override {
        if (!video.MarkerFileLoaded()) {
            err << NoMarkerFileText(video_) << "\n";
            return 1;
        }
        if (RefusedOutput(video, output_, err)) {
            return 1;
        }
        const RunCalibration calibration = video.Actions().CalibrationForRun(options_.scale);
        // Pixels written where millimetres were meant would pass unnoticed downstream.
        if (calibration.damaged) {
            err << DamagedCalibrationText(calibration.path, calibration.problem) << "\n";
            return 1;
        }
        KinematicsOptions table;
        table.angles = options_.angles;
        table.joints = options_.joints;
        table.filterHz = options_.filterHz;
        table.calibration = calibration.calibration;
        if (AnyAngleWithoutData(video, table, err)) {
            return 1;
        }
        const KinematicsExport exported = video.Actions().ExportKinematicsCsv(output_, table);
        if (!exported.result.ok()) {
            err << exported.result.message << "\n";
            return 1;
        }
        return 0;
    }

private:
    // Each angle with a marker that has no data in the play range, said.
    bool AnyAngleWithoutData(const OpenedVideo& video, const KinematicsOptions& table,
                             std::ostream& err) const {
        const CLFFManager& markers = video.Annotations()->m_markers;
        const int first = video.RangeStart();
        const int last = video.RangeEnd();
        auto missing = AnglesWithoutData(markers, first, last, table.angles);
        for (AngleWithoutData& m : AnglesWithoutData(markers, first, last, table.joints)) {
            missing.push_back(std::move(m));
        }
        for (const AngleWithoutData& m : missing) {
            err << ArgText(translate("CliMessages",
                                     "角度 %1 (マーカ %2) には、%3 の再生範囲にデータがありません"),
                           {m.name, std::to_string(m.id), video_})
                << "\n";
        }
        return !missing.empty();
    }

    std::string video_;
    std::string output_;
    CommandOptions options_;
};

}  // namespace

const CommandEntry kKinematicsCommand{
    "kinematics",
    "  kivra-cli kinematics VIDEO OUT.csv [--angle NAME=A,B,C]... [--joint SIDE:JOINT=A,B,C]...\n"
    "                       [--scale MM_PER_PIXEL] [--filter HZ]\n"
    "      positions (mm with VIDEO's .kcal calibration or --scale, which replaces it; image\n"
    "      pixels otherwise), speeds and the joint angles at marker B, over the play range in\n"
    "      VIDEO's marker file; --filter low-passes the trajectories at HZ (zero lag).\n"
    "      --joint: SIDE R or L; JOINT hip (trunk ID or - for the vertical, hip, knee), knee\n"
    "      (hip, knee, ankle) or ankle (knee, ankle, toe); degrees, 0 standing upright,\n"
    "      flexion and dorsiflexion positive, in column JOINT_SIDE.\n",
    []() -> std::unique_ptr<Command> { return std::make_unique<KinematicsCommand>(); }};

}  // namespace kivra::cli
