// kivra-cli trc and c3d: the markers of the play range for modelling tools and gait labs.
#include <new>
#include <ostream>

#include "../gait_commands.h"
#include "../opened_video.h"
#include "exchange/c3d_writer.h"
#include "exchange/trc_writer.h"
#include "markers/csv_export.h"
#include "platform/number_text.h"
#include "platform/translation.h"

namespace kivra::cli {
namespace {

// The C3D format's limit, for the user.
std::string LimitText(C3dLimit limit) {
    switch (limit) {
        case C3dLimit::kTooManyFrames:
            return translate("CliMessages", "C3D ファイルに書けるのはフレーム 65535 までです");
        case C3dLimit::kTooManyPoints:
            return translate("CliMessages", "C3D ファイルに書けるマーカは 255 個までです");
        case C3dLimit::kTooManyEvents:
            return translate("CliMessages", "C3D ファイルに書けるイベントは 255 個までです");
        case C3dLimit::kNoRate:
            return translate("CliMessages", "動画のフレームレートがわかりません");
        case C3dLimit::kNone:
            break;
    }
    return translate("CliMessages", "ファイルに書き込めません");
}

// The gait events for the C3D file: none without feet (the options' or the .kgait's); else as
// the gait command takes them. 0 with them made, else the exit status (message written).
int EventsOf(const GaitArguments& arguments, const OpenedVideo& video,
             const std::optional<Calibration>& calibration, std::ostream& err,
             std::vector<GaitEvent>& events) {
    std::string problem;
    const std::optional<GaitSetup> setup =
        SetupFor(arguments, video.Actions().GaitEventsPath(), problem);
    if (!setup) {
        err << problem << "\n";
        return 1;
    }
    if (!setup->AnyFoot()) {
        return 0;
    }
    GaitRequest request;
    request.setup = *setup;
    request.setup.filterHz = arguments.filterHz;
    request.angles = arguments.angles;
    request.joints = arguments.joints;
    request.detect = arguments.detect;
    request.calibration = calibration;
    GaitRun run = video.Actions().AnalyseGait(request);
    if (ReportGaitRunFailure(run, arguments.video, err)) {
        return 1;
    }
    events = std::move(run.analysis.events);
    return 0;
}

// One run of trc or c3d: the same points, the C3D file with the events beside them.
class ExchangeCommand final : public Command {
public:
    explicit ExchangeCommand(bool c3d) : c3d_(c3d) {}

    int Parse(const std::vector<std::string>& args, std::ostream& err) override {
        if (args.size() < 3) {
            return 2;
        }
        arguments_.video = args[1];
        arguments_.output = args[2];
        std::string problem;
        int status = 0;
        if (c3d_) {
            status = ParseOptions(args, 3, AcceptedOptions{/*gait=*/true}, arguments_, problem);
        } else if (args.size() == 5 && args[3] == "--scale") {
            arguments_.scale = ParsePositiveNumber(args[4]);
            if (!arguments_.scale) {
                problem = NumberProblem(args[3], args[4]);
                status = 2;
            }
        } else if (args.size() != 3) {
            status = 2;
        }
        if (status != 0 && !problem.empty()) {
            err << problem << "\n";
        }
        return status;
    }
    VideoOpening Opening() const override { return VideoOpening::kMarkersOnly; }
    int Run(const OpenedVideo& video, std::ostream&, std::ostream& err) override {
        if (!video.MarkerFileLoaded()) {
            err << NoMarkerFileText(arguments_.video) << "\n";
            return 1;
        }
        if (RefusedOutput(video, arguments_.output, err)) {
            return 1;
        }
        const RunCalibration calibration = video.Actions().CalibrationForRun(arguments_.scale);
        // Pixels written where millimetres were meant would pass unnoticed downstream.
        if (calibration.damaged) {
            err << DamagedCalibrationText(calibration.path, calibration.problem) << "\n";
            return 1;
        }
        std::vector<GaitEvent> events;
        if (const int status = EventsOf(arguments_, video, calibration.calibration, err, events);
            status != 0) {
            return status;
        }
        const CAviVideoStream& stream = *video.Stream();
        try {
            const std::optional<PointTable> table = PointTableOf(
                video.Annotations()->m_markers, video.RangeStart(), video.RangeEnd(),
                stream.GetFrameRate(), int(stream.FileInfo().dwHeight), calibration.calibration);
            if (!table) {
                err << TableTooLargeText(video.RangeEnd() - video.RangeStart() + 1,
                                         video.Annotations()->m_markers.GetRowCount())
                    << "\n";
                return 1;
            }
            C3dLimit limit = C3dLimit::kNone;
            const bool written = c3d_ ? WriteC3d(arguments_.output, *table,
                                                 C3dEventsOf(events, stream.GetFrameRate()), &limit)
                                      : WriteTrc(arguments_.output, *table);
            if (!written) {
                err << arguments_.output << ": " << LimitText(limit) << "\n";
                return 1;
            }
        } catch (const std::bad_alloc&) {
            err << TableOutOfMemoryText() << "\n";
            return 1;
        }
        return 0;
    }

private:
    const bool c3d_;
    GaitArguments arguments_;
};

}  // namespace

const CommandEntry kTrcCommand{
    "trc",
    "  kivra-cli trc VIDEO OUT.trc [--scale MM_PER_PIXEL]\n"
    "      the markers of the play range as a TRC file for modelling tools: X right, Y up,\n"
    "      Z 0; mm from the calibration (or --scale), else px from the bottom-left.\n",
    []() -> std::unique_ptr<Command> { return std::make_unique<ExchangeCommand>(false); }};
const CommandEntry kC3dCommand{
    "c3d",
    "  kivra-cli c3d VIDEO OUT.c3d [the options of gait]\n"
    "      the same points as a C3D file, with the heel strikes and toe-offs of gait as its\n"
    "      events (Foot Strike, Foot Off) when --foot is given or VIDEO's .kgait names\n"
    "      the feet.\n",
    []() -> std::unique_ptr<Command> { return std::make_unique<ExchangeCommand>(true); }};

}  // namespace kivra::cli
