// kivra-cli batch: the gait analysis and report of every video of a folder or list, each into
// a result folder of its own, and one cohort.csv over all of them.
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <ostream>
#include <sstream>
#include <thread>

#include "../gait_commands.h"
#include "../opened_video.h"
#include "batch/batch_inputs.h"
#include "batch/cohort_table.h"
#include "batch/job_runner.h"
#include "platform/path_util.h"
#include "platform/replace_file.h"
#include "platform/translation.h"

namespace kivra::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kReportFileName = "report.pdf";

// The lines a run wrote, as one reason for the cohort's row.
std::string ReasonOf(const std::string& log) {
    std::string reason;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty()) {
            reason += (reason.empty() ? "" : "; ") + line;
        }
    }
    return reason;
}

// Every file a finished result folder holds.
bool WholeResult(const std::string& folder) {
    std::error_code error;
    for (const char* name : kGaitCsvFileNames) {
        if (!fs::is_regular_file(JoinPath(folder, name), error)) {
            return false;
        }
    }
    return fs::is_regular_file(JoinPath(folder, kReportFileName), error);
}

// One run over many videos; owned by Run for the command.
class BatchCommand final : public Command {
public:
    int Parse(const std::vector<std::string>& args, std::ostream& err) override {
        // --jobs, --again, --list and --join are the batch's own; the rest are gait's options.
        std::vector<std::string> rest;
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& arg = args[i];
            if (arg == "--again") {
                again_ = true;
            } else if ((arg == "--jobs" || arg == "--list" || arg == "--join") &&
                       i + 1 < args.size()) {
                const std::string& value = args[++i];
                long long jobs = 0;
                if (arg == "--list") {
                    list_ = value;
                } else if (arg == "--join") {
                    join_ = value;
                } else if (ParseInt(value, &jobs) && jobs >= 1 && jobs <= 256) {
                    jobs_ = int(jobs);
                } else {
                    err << "--jobs " << value << ": "
                        << translate("CliMessages", "1 から 256 までの整数を指定してください")
                        << "\n";
                    return 2;
                }
            } else {
                rest.push_back(arg);
            }
        }
        if (join_) {
            joined_.assign(rest.begin() + 1, rest.end());
            return joined_.empty() ? 2 : 0;
        }
        const std::size_t places = list_ ? 2 : 3;  // batch [FOLDER] OUTDIR
        if (rest.size() < places) {
            return 2;
        }
        folder_ = list_ ? std::string() : rest[1];
        output_ = rest[places - 1];
        std::string problem;
        const AcceptedOptions accepted{/*gait=*/true, /*header=*/false, /*front=*/false};
        // Without --foot each video's .kgait names its feet; one without is a failed row.
        const int status = ParseOptions(rest, places, accepted, arguments_, problem);
        if (status != 0) {
            if (!problem.empty()) {
                err << problem << "\n";
            }
            return status;
        }
        arguments_.setup.filterHz = arguments_.filterHz;
        options_.assign(rest.begin() + std::ptrdiff_t(places), rest.end());
        return 0;
    }
    VideoOpening Opening() const override { return VideoOpening::kNone; }
    int Run(const OpenedVideo&, std::ostream&, std::ostream&) override { return 1; }

    int RunAlone(bool convert, std::ostream&, std::ostream& err) override {
        convert_ = convert;
        err_ = &err;
        std::string problem;
        if (join_) {
            return Join(err);
        }
        const auto videos =
            list_ ? VideosInList(*list_, problem) : VideosInFolder(folder_, problem);
        if (!videos) {
            err << problem << "\n";
            return 1;
        }
        std::error_code error;
        fs::create_directories(output_, error);
        if (!fs::is_directory(output_, error)) {
            err << output_ << ": " << translate("CliMessages", "フォルダを作れません") << "\n";
            return 1;
        }
        videos_ = *videos;
        names_ = ResultFolderNames(videos_);
        rows_.assign(videos_.size(), CohortRow{});
        const int jobs = jobs_ > 0 ? jobs_ : int(std::max(1u, std::thread::hardware_concurrency()));
        RunJobs(videos_.size(), jobs, [this](std::size_t i) { Analyse(i); });

        const std::string cohort = JoinPath(output_, "cohort.csv");
        if (!ReplaceFileContents(cohort, FormatCohortCsv(rows_))) {
            err << cohort << ": " << translate("CliMessages", "ファイルに書き込めません") << "\n";
            return 1;
        }
        int counts[3] = {};
        for (const CohortRow& row : rows_) {
            ++counts[row.status];
        }
        err << ArgText(translate("CliMessages", "%1 本中 成功 %2、失敗 %3、スキップ %4: %5"),
                       {std::to_string(rows_.size()), std::to_string(counts[CohortRow::kOk]),
                        std::to_string(counts[CohortRow::kFailed]),
                        std::to_string(counts[CohortRow::kSkipped]), cohort})
            << "\n";
        return counts[CohortRow::kFailed] > 0 ? 1 : 0;
    }

private:
    // The cohort tables of several runs as one, their rows in the order given.
    int Join(std::ostream& err) const {
        std::vector<CohortRow> rows;
        for (const std::string& path : joined_) {
            std::ifstream in(path, std::ios::binary);
            std::ostringstream text;
            text << in.rdbuf();
            std::string problem = translate("CliMessages", "ファイルを読めません");
            const auto read = in ? ReadCohortCsv(text.str(), problem) : std::nullopt;
            if (!read) {
                err << path << ": " << problem << "\n";
                return 1;
            }
            rows.insert(rows.end(), read->begin(), read->end());
        }
        if (!ReplaceFileContents(*join_, FormatCohortCsv(rows))) {
            err << *join_ << ": " << translate("CliMessages", "ファイルに書き込めません") << "\n";
            return 1;
        }
        return 0;
    }

    // One video's CSV files, report and done stamp, on a worker thread. Qt draws text and PDF
    // pages on any thread, each painter on its own device; the window draws its reports on
    // its main thread all the same.
    void Analyse(std::size_t i) {
        CohortRow& row = rows_[i];
        const std::string& video = videos_[i];
        row.file = video;
        row.date = FileDateText(video);
        const std::string folder = JoinPath(output_, names_[i]);
        const std::string stamp = DoneStamp(video, options_);
        if (!again_ && ResultIsDone(folder, stamp) && WholeResult(folder) &&
            ReadResultRow(folder, row)) {
            Finished(i, translate("CliMessages", "前回の結果を使います"));
            return;
        }
        row = CohortRow{video, row.date};
        std::error_code error;
        if (!fs::is_regular_file(video, error)) {
            return Fail(i, video + ": " + translate("CliMessages", "ファイルを読めません"));
        }
        if (!fs::exists(MarkerFileOfVideo(video), error)) {
            return Fail(i, NoMarkerFileText(video), CohortRow::kSkipped);
        }
        // Taken away first: a run cut short must not leave the old stamp over new files.
        fs::remove(JoinPath(folder, kDoneFileName), error);
        fs::create_directories(folder, error);
        if (!fs::is_directory(folder, error)) {
            return Fail(i, folder + ": " + translate("CliMessages", "フォルダを作れません"));
        }
        try {
            std::ostringstream log;
            GaitArguments arguments = arguments_;
            arguments.video = video;
            arguments.output = folder;
            const OpenedVideo opened(video, log, VideoOpening::kFullWithoutSound, convert_);
            if (opened.Stream() == nullptr) {
                return Fail(i, ReasonOf(log.str()));
            }
            GaitSource source;
            source.actions = &opened.Actions();
            source.markerFileLoaded = opened.MarkerFileLoaded();
            CAviVideoStream& stream = *opened.Stream();
            source.picture = [&stream](int frame) {
                stream.LoadFrame(frame);
                return &stream.DisplayBitmap();
            };
            if (RunGait(arguments, source, log) != 0) {
                return Fail(i, ReasonOf(log.str()));
            }
            // The report says again the warnings gait has just said.
            arguments.output = JoinPath(folder, kReportFileName);
            std::ostringstream again;
            if (RefusedOutput(opened, arguments.output, again) ||
                RunReport(arguments, source, again) != 0) {
                return Fail(i, ReasonOf(log.str() + again.str()));
            }
            if (!ReplaceFileContents(JoinPath(folder, kDoneFileName), stamp)) {
                return Fail(i, JoinPath(folder, kDoneFileName) + ": " +
                                   translate("CliMessages", "ファイルに書き込めません"));
            }
            if (!ReadResultRow(folder, row)) {
                return Fail(i, row.reason);
            }
            Finished(i, log.str());
        } catch (const std::exception& e) {
            // Memory ran out for this one; the others go on.
            Fail(i, e.what());
        }
    }

    void Fail(std::size_t i, const std::string& reason,
              CohortRow::Status status = CohortRow::kFailed) {
        CohortRow& row = rows_[i];
        row = CohortRow{row.file, row.date, status, reason};
        Finished(i, {});
    }

    // The progress line of a video that has ended, with what its run said below it.
    void Finished(std::size_t i, const std::string& said) {
        const CohortRow& row = rows_[i];
        const char* status[] = {"ok", "failed", "skipped"};
        std::string text = "[" + std::to_string(++done_) + "/" + std::to_string(rows_.size()) +
                           "] " + names_[i] + ": " + status[row.status];
        if (!row.reason.empty()) {
            text += ": " + row.reason;
        }
        std::istringstream lines(said);
        for (std::string line; std::getline(lines, line);) {
            text += "\n    " + line;
        }
        const std::lock_guard<std::mutex> hold(say_);
        *err_ << text << std::endl;
    }

    GaitArguments arguments_;  // the options as given, no video or output
    std::vector<std::string> options_;
    std::optional<std::string> list_, join_;
    std::vector<std::string> joined_;  // the tables --join reads
    std::string folder_, output_;
    int jobs_ = 0;  // 0: one per processor
    bool again_ = false, convert_ = false;
    std::vector<std::string> videos_, names_;
    std::vector<CohortRow> rows_;  // row i written by the job of video i alone
    std::atomic<int> done_{0};
    std::mutex say_;
    std::ostream* err_ = nullptr;
};

}  // namespace

const CommandEntry kBatchCommand{
    "batch",
    "  kivra-cli batch FOLDER OUTDIR [the options of gait but the --front ones] [--jobs N]\n"
    "                  [--again]\n"
    "      gait and report on every video in FOLDER (not its sub-folders) that has a marker\n"
    "      file, each into OUTDIR/NAME/ (NAME: the file name without extension), and one\n"
    "      OUTDIR/cohort.csv with a row per video. N videos run at once (default: one per\n"
    "      processor); a result finished before from the same files and options is kept\n"
    "      unless --again. Without --foot, each video's feet are those its .kgait keeps; one\n"
    "      without is a failed row. Exit status 1 when a video failed.\n"
    "      batch --list FILE OUTDIR [...]: the videos named in FILE, one path a line.\n"
    "      batch --join OUT.csv COHORT.csv...: the cohort tables of several runs as one.\n",
    []() -> std::unique_ptr<Command> { return std::make_unique<BatchCommand>(); }};

}  // namespace kivra::cli
