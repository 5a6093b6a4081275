// kivra-cli gait and report: the gait analysis of the play range as CSV files or a PDF.
#include <memory>
#include <ostream>

#include "../gait_commands.h"
#include "../opened_video.h"

namespace kivra::cli {
namespace {

class GaitCommand final : public Command {
public:
    explicit GaitCommand(bool report) : report_(report) {}

    int Parse(const std::vector<std::string>& args, std::ostream& err) override {
        std::string problem;
        const int status = ParseGaitArguments(args, arguments_, problem);
        if (status != 0 && !problem.empty()) {
            err << problem << "\n";
        }
        return status;
    }
    // The report's stills are decoded; the CSV files need the markers alone.
    VideoOpening Opening() const override {
        return report_ ? VideoOpening::kFullWithoutSound : VideoOpening::kMarkersOnly;
    }
    int Run(const OpenedVideo& video, std::ostream&, std::ostream& err) override {
        if (RefusedOutput(video, arguments_.output, err)) {
            return 1;
        }
        GaitSource source;
        source.actions = &video.Actions();
        source.markerFileLoaded = video.MarkerFileLoaded();
        std::unique_ptr<OpenedVideo> front;
        if (arguments_.front.video) {
            std::string problem;
            const std::optional<SyncOffset> offset = FrontOffset(arguments_, problem);
            if (!offset) {
                err << problem << "\n";
                return 1;
            }
            front = std::make_unique<OpenedVideo>(*arguments_.front.video, err,
                                                  VideoOpening::kMarkersOnly, false);
            if (front->Stream() == nullptr) {
                return 1;
            }
            source.front =
                FrontSource{&front->Actions(),
                            front->MarkerFileLoaded() ? &front->Annotations()->m_markers : nullptr,
                            front->RangeStart(),
                            front->RangeEnd(),
                            front->Clock(),
                            video.Clock(),
                            *offset};
        }
        if (!report_) {
            return RunGait(arguments_, source, err);
        }
        CAviVideoStream& stream = *video.Stream();
        source.picture = [&stream](int frame) {
            stream.LoadFrame(frame);
            return &stream.DisplayBitmap();
        };
        return RunReport(arguments_, source, err);
    }

private:
    const bool report_;
    GaitArguments arguments_;
};

}  // namespace

const CommandEntry kGaitCommand{
    "gait",
    "  kivra-cli gait VIDEO OUTDIR [--foot SIDE=HEEL,TOE]... [--pelvis ID]\n"
    "                 [--scale MM_PER_PIXEL] [--filter HZ] [--angle NAME=A,B,C]...\n"
    "                 [--joint SIDE:JOINT=A,B,C]... [--reference [ANGLE=]CSV]... [--detect]\n"
    "                 [--front VIDEO --front-pelvis R,L[,TRUNK] --front-foot SIDE=H,K,A,HEEL\n"
    "                  --offset S --front-scale MM_PER_PIXEL]\n"
    "      heel strikes and toe-offs (SIDE R or L; marker IDs as the window shows them),\n"
    "      stride parameters and joint angles over the gait cycle, over the play range in\n"
    "      VIDEO's marker file, into OUTDIR/events.csv, strides.csv, summary.csv and\n"
    "      cycles.csv; the events of VIDEO's .kgait file are used as edited unless --detect.\n"
    "      Without --foot, the feet and pelvis the .kgait file keeps (set in the window).\n"
    "      --reference: a clinic's normal bands, Angle,Percent,Mean,SD (a band per angle\n"
    "      named: knee_R, or knee for both sides) or Percent,Mean,SD given as ANGLE=CSV;\n"
    "      each banded curve's RMS deviation and their sagittal profile score go into\n"
    "      summary.csv. --front: frontal.csv, frontal_cycles.csv (front = side + S).\n",
    []() -> std::unique_ptr<Command> { return std::make_unique<GaitCommand>(false); }};
const CommandEntry kReportCommand{
    "report",
    "  kivra-cli report VIDEO OUT.pdf [the options of gait]\n"
    "                   [--patient TEXT] [--birth TEXT] [--visit TEXT] [--examiner TEXT]\n"
    "                   [--condition TEXT] [--comment TEXT] [--leg-length MM]\n"
    "      the same analysis as a report of A4 pages, each band drawn behind its own\n"
    "      angle. The header (patient name or ID, date of birth or age, visit date,\n"
    "      examiner, walking condition, comment, leg length) is read from VIDEO's .kvisit\n"
    "      file, which the window writes; each option replaces its field for this report\n"
    "      only (an empty TEXT clears it). --front: a page of the frontal measures.\n",
    []() -> std::unique_ptr<Command> { return std::make_unique<GaitCommand>(true); }};

}  // namespace kivra::cli
