// kivra-cli compare: two analysed visits side by side as a PDF report, and as CSV on request.
#include <QDateTime>
#include <QFileInfo>
#include <QString>

#include <algorithm>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>

#include "../gait_commands.h"
#include "../opened_video.h"
#include "compare/visit_comparison.h"
#include "gait/compare_report.h"
#include "platform/translation.h"

namespace kivra::cli {
namespace {

// One visit as the command analysed it.
struct Visit {
    GaitAnalysis analysis;
    GaitAnalysisOptions options;
    VisitLabel label;
};

class CompareCommand final : public Command {
public:
    int Parse(const std::vector<std::string>& args, std::ostream& err) override {
        if (args.size() < 4) {
            return 2;
        }
        arguments_.video = args[1];
        after_ = args[2];
        arguments_.output = args[3];
        // The compare's own options are taken out; the rest are the gait options.
        std::vector<std::string> rest(args.begin(), args.begin() + 4);
        const std::pair<const char*, std::optional<std::string>*> own[] = {
            {"--csv", &csv_}, {"--before-date", &beforeDate_}, {"--after-date", &afterDate_}};
        for (std::size_t i = 4; i < args.size(); ++i) {
            const auto match = std::find_if(std::begin(own), std::end(own),
                                            [&](const auto& o) { return args[i] == o.first; });
            if (match == std::end(own)) {
                rest.push_back(args[i]);
                continue;
            }
            if (i + 1 >= args.size()) {
                return 2;
            }
            if (*match->second) {
                err << GivenTwiceText(match->first) << "\n";
                return 2;
            }
            *match->second = args[++i];
            if (match->second != &csv_ && !IsIsoDate(**match->second)) {
                err << ArgText(translate("CliMessages",
                                         "%1 %2: 日付は YYYY-MM-DD の形で指定してください"),
                               {match->first, **match->second})
                    << "\n";
                return 2;
            }
        }
        std::string problem;
        // Without --foot each visit's .kgait names its own feet.
        const int status =
            ParseOptions(rest, 4, AcceptedOptions{/*gait=*/true}, arguments_, problem);
        arguments_.setup.filterHz = arguments_.filterHz;
        if (status != 0 && !problem.empty()) {
            err << problem << "\n";
        }
        return status;
    }
    // Both videos are opened here, alike, so that --convert holds for each.
    VideoOpening Opening() const override { return VideoOpening::kNone; }
    int Run(const OpenedVideo&, std::ostream&, std::ostream&) override { return 1; }
    int RunAlone(bool convert, std::ostream&, std::ostream& err) override {
        const OpenedVideo before(arguments_.video, err, VideoOpening::kFullWithoutSound, convert);
        if (before.Stream() == nullptr) {
            return 1;
        }
        // Neither video's own files may be written over, the other's included.
        const auto refused = [&](const OpenedVideo& video) {
            return RefusedOutput(video, arguments_.output, err) ||
                   (csv_ && RefusedOutput(video, *csv_, err));
        };
        if (refused(before)) {
            return 1;
        }
        const OpenedVideo after(after_, err, VideoOpening::kFullWithoutSound, convert);
        if (after.Stream() == nullptr || refused(after)) {
            return 1;
        }
        Visit visits[2];
        const OpenedVideo* opened[] = {&before, &after};
        const std::string paths[] = {arguments_.video, after_};
        const std::optional<std::string> dates[] = {beforeDate_, afterDate_};
        for (int k = 0; k < 2; ++k) {
            GaitArguments arguments = arguments_;
            arguments.video = paths[k];
            GaitSource source;
            source.actions = &opened[k]->Actions();
            source.markerFileLoaded = opened[k]->MarkerFileLoaded();
            // Each line said about a visit names its video: two analyses speak here.
            std::ostringstream said;
            const int status =
                Analyse(arguments, source, said, visits[k].analysis, &visits[k].options);
            std::istringstream lines(said.str());
            for (std::string line; std::getline(lines, line);) {
                err << paths[k] << ": " << line << "\n";
            }
            if (status != 0) {
                return status;
            }
            visits[k].label = {QFileInfo(QString::fromStdString(paths[k])).fileName().toStdString(),
                               dates[k] ? *dates[k] : FileDate(paths[k])};
        }
        const VisitComparison comparison =
            CompareVisits(visits[0].analysis, visits[1].analysis, visits[0].label, visits[1].label);
        if (csv_ && !WriteComparisonCsv(*csv_, comparison)) {
            err << *csv_ << ": " << translate("CliMessages", "ファイルに書き込めません") << "\n";
            return 1;
        }
        return WriteReport(opened, visits, comparison, err);
    }

private:
    int WriteReport(const OpenedVideo* const (&opened)[2], const Visit (&visits)[2],
                    const VisitComparison& comparison, std::ostream& err) const {
        CompareReportInput input;
        input.made = QDateTime::currentDateTime();
        input.comparison = &comparison;
        input.bands = visits[1].analysis.bands;
        // The patient as the latest visit's header names them; a damaged header only loses it.
        std::string problem;
        for (const OpenedVideo* video : {opened[1], opened[0]}) {
            const auto header = ReportHeaderOf({}, video->Actions().VisitPath(), problem);
            if (header && !header->patient.empty() && input.patient.isEmpty()) {
                input.patient = QString::fromStdString(header->patient);
            }
        }
        const std::optional<StillFrame> shared =
            SharedStillFrame(visits[0].analysis, visits[1].analysis);
        CompareVisitInput* targets[] = {&input.before, &input.after};
        for (int k = 0; k < 2; ++k) {
            CompareVisitInput& v = *targets[k];
            v.videoName = QString::fromStdString(visits[k].label.fileName);
            v.date = QString::fromStdString(visits[k].label.date);
            v.analysis = &visits[k].analysis;
            if (visits[k].options.calibration) {
                v.mmPerPixel = visits[k].options.calibration->mmPerPixel;
            }
            if (shared) {
                CAviVideoStream& stream = *opened[k]->Stream();
                v.still = CompareStill(visits[k].analysis, visits[k].options, opened[k]->Actions(),
                                       *shared, [&stream](int frame) {
                                           stream.LoadFrame(frame);
                                           return &stream.DisplayBitmap();
                                       });
            }
        }
        if (const auto failed =
                WriteCompareReport(QString::fromStdString(arguments_.output), input)) {
            err << arguments_.output << ": " << failed->toStdString() << "\n";
            return 1;
        }
        return 0;
    }

    GaitArguments arguments_;  // video: the visit before
    std::string after_;
    std::optional<std::string> csv_, beforeDate_, afterDate_;
};

}  // namespace

const CommandEntry kCompareCommand{
    "compare",
    "  kivra-cli compare BEFORE AFTER OUT.pdf [the options of gait but the --front ones]\n"
    "                    [--csv OUT.csv] [--before-date YYYY-MM-DD] [--after-date YYYY-MM-DD]\n"
    "      two visits analysed alike (each with the events of its own .kgait file unless\n"
    "      --detect; without --foot, with the feet it keeps) as a report: the parameters\n"
    "      before and after with their difference and % change per side, the sagittal\n"
    "      profile scores, stills of both at the same event and each angle's mean cycle of\n"
    "      both over its band. --csv: the table as\n"
    "      Parameter,Side,Unit,Before,After,Difference,PercentChange. A visit's date is its\n"
    "      video's modification date unless given.\n",
    []() -> std::unique_ptr<Command> { return std::make_unique<CompareCommand>(); }};

}  // namespace kivra::cli
