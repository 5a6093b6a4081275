#include "gait_commands.h"

#include <QDateTime>
#include <QFileInfo>
#include <QImage>
#include <QString>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <ostream>
#include <span>

#include "frontal/frontal_measures.h"
#include "gait/gait_file.h"
#include "gait/gait_report.h"
#include "markers/lff_manager.h"
#include "platform/number_text.h"
#include "platform/replace_file.h"
#include "platform/translation.h"
#include "sync/sync_session.h"
#include "workspace/workspace.h"

namespace kivra::cli {
namespace {

// A marker's role in the gait setup as the user reads it; an angle's name stays as given.
std::string RoleText(const std::string& role) {
    static const std::pair<const char*, const char*> kRoles[] = {
        {"R heel", QT_TRANSLATE_NOOP("CliMessages", "右の踵")},
        {"R toe", QT_TRANSLATE_NOOP("CliMessages", "右のつま先")},
        {"L heel", QT_TRANSLATE_NOOP("CliMessages", "左の踵")},
        {"L toe", QT_TRANSLATE_NOOP("CliMessages", "左のつま先")},
        {"pelvis", QT_TRANSLATE_NOOP("CliMessages", "骨盤")}};
    for (const auto& [key, text] : kRoles) {
        if (role == key) {
            return translate("CliMessages", text);
        }
    }
    return role;
}

}  // namespace

int Analyse(const GaitArguments& arguments, const GaitSource& source, std::ostream& err,
            GaitAnalysis& analysis, GaitAnalysisOptions* used) {
    if (!source.markerFileLoaded) {
        err << NoMarkerFileText(arguments.video) << "\n";
        return 1;
    }
    GaitRequest request;
    std::string problem;
    if (auto bands = ReadBands(arguments, problem)) {
        request.bands = std::move(*bands);
    } else {
        err << problem << "\n";
        return 1;
    }
    const std::optional<GaitSetup> setup =
        SetupFor(arguments, source.actions->GaitEventsPath(), problem);
    if (!setup) {
        err << problem << "\n";
        return 1;
    }
    if (!setup->AnyFoot()) {
        err << NoFootMarkersText(arguments.video) << "\n";
        return 2;  // as for a command line without --foot
    }
    request.setup = *setup;
    request.angles = arguments.angles;
    request.joints = arguments.joints;
    request.detect = arguments.detect;
    const RunCalibration calibration = source.actions->CalibrationForRun(arguments.scale);
    // Pixels written where millimetres were meant would pass unnoticed downstream.
    if (calibration.damaged) {
        err << DamagedCalibrationText(calibration.path, calibration.problem) << "\n";
        return 1;
    }
    request.calibration = calibration.calibration;
    GaitRun run = source.actions->AnalyseGait(request);
    if (ReportGaitRunFailure(run, arguments.video, err)) {
        return 1;
    }
    if (!run.result.ok()) {
        err << translate("CliMessages", "動画が開かれていません") << "\n";
        return 1;
    }
    analysis = std::move(run.analysis);
    if (used != nullptr) {
        *used = request;  // the report names the setup it ran with
    }
    // The numbers are written all the same; what they leave out is said.
    const auto warn = [&err](const std::string& text) {
        err << ArgText(translate("CliMessages", "警告: %1"), {text}) << "\n";
    };
    for (const FootWithoutStrides& foot : analysis.feetWithoutStrides) {
        warn(foot.Text());
    }
    for (const GaitWarning& w : analysis.warnings) {
        if (w.code != GaitWarning::kMarkerGaps && w.code != GaitWarning::kStridesLeftOut) {
            warn(w.Text());  // the strides left out follow one by one
        }
    }
    for (const LeftOutStride& s : analysis.parameters.leftOut) {
        warn(ArgText(
            s.side == FootSide::kRight
                ? translate("CliMessages", "フレーム %1-%2 の右のストライドを除外しました: %3")
                : translate("CliMessages", "フレーム %1-%2 の左のストライドを除外しました: %3"),
            {std::to_string(s.startFrame), std::to_string(s.endFrame), s.Reason()}));
    }
    return 0;
}

namespace {

// The same file, however the two names were written; as given when it cannot be resolved.
std::filesystem::path Resolved(const std::string& path) {
    std::error_code error;
    std::filesystem::path full = std::filesystem::weakly_canonical(path, error);
    return error ? std::filesystem::path(path) : full;
}

// The frontal measures on the front view's frames, the side's events and strides carried
// over; 0 with them made, else the exit status (message written).
int AnalyseFront(const GaitArguments& arguments, const FrontSource& front, const GaitAnalysis& side,
                 std::ostream& err, FrontalAnalysis& frontal,
                 std::vector<StrideParameters>& strides) {
    const std::string& video = *arguments.front.video;
    if (front.markers == nullptr) {
        err << NoMarkerFileText(video) << "\n";
        return 1;
    }
    const RunCalibration calibration = front.actions->CalibrationForRun(arguments.front.scale);
    if (calibration.damaged) {
        err << ArgText(translate("CliMessages",
                                 "%1: %2 (正面のキャリブレーションなしで進めるには --front-scale "
                                 "を指定してください)"),
                       {calibration.path, calibration.problem})
            << "\n";
        return 1;
    }
    // The options name the markers, else the front video's events file keeps them.
    FrontalSetup setup = arguments.front.setup;
    if (!arguments.front.AnyMarker()) {
        const GaitFileRead stored = ReadGaitFile(front.actions->GaitEventsPath());
        if (stored.status == GaitFileRead::kDamaged) {
            err << front.actions->GaitEventsPath() << ": " << stored.problem << "\n";
            return 1;
        }
        if (!stored.frontal) {
            err << ArgText(translate("CliMessages",
                                     "%1 の正面のマーカがありません: --front-pelvis か "
                                     "--front-foot で指定してください"),
                           {video})
                << "\n";
            return 1;
        }
        setup = *stored.frontal;
    }
    const FrameLink link(front.sideClock, front.clock, front.offset);
    const auto toFront = [&link](int frame) -> std::optional<int> {
        const LinkedFrame linked = link.BFromA(frame);
        return linked.clamped ? std::nullopt : std::optional<int>(linked.frame);
    };
    for (const StrideParameters& s : side.parameters.strides) {
        const auto start = toFront(s.startFrame);
        const auto end = toFront(s.endFrame);
        if (!start || !end) {
            err << ArgText(translate("CliMessages", "警告: %1"),
                           {ArgText(translate("CliMessages",
                                              "フレーム %1-%2 のストライドは正面の動画の外です"),
                                    {std::to_string(s.startFrame), std::to_string(s.endFrame)})})
                << "\n";
            continue;
        }
        StrideParameters mapped = s;
        mapped.startFrame = *start;
        mapped.endFrame = *end;
        strides.push_back(mapped);
    }
    std::optional<double> mmPerPixel;
    if (calibration.calibration) {
        mmPerPixel = calibration.calibration->mmPerPixel;
    }
    frontal = AnalyseFrontal(*front.markers, front.first, front.last, setup,
                             EventsInOtherView(side.events, toFront), strides, mmPerPixel);
    return 0;
}

}  // namespace

bool ReportGaitRunFailure(const GaitRun& run, const std::string& video, std::ostream& err) {
    switch (run.failure) {
        case GaitRun::kMarkersWithoutData:
            for (const GaitMarkerWithoutData& m : run.missing) {
                err << ArgText(translate("CliMessages",
                                         "%1 (マーカ %2) には、%3 の再生範囲にデータがありません"),
                               {RoleText(m.role), std::to_string(m.id), video})
                    << "\n";
            }
            return true;
        case GaitRun::kDamagedEventsFile:
            err << ArgText(
                       translate("CliMessages",
                                 "%1: %2 (イベントを検出し直すには --detect を指定してください)"),
                       {run.result.path, run.result.detail})
                << "\n";
            return true;
        case GaitRun::kNoEvents:
            err << run.result.detail << "\n";
            return true;
        case GaitRun::kNone:
            break;
    }
    return false;
}

std::optional<SyncOffset> FrontOffset(const GaitArguments& arguments, std::string& problem) {
    const std::string& front = *arguments.front.video;
    if (arguments.front.offset) {
        return arguments.front.offset;
    }
    const std::filesystem::path side = Resolved(arguments.video);
    const std::filesystem::path other = Resolved(front);
    for (const std::string& path : {SyncSessionPath(arguments.video), SyncSessionPath(front)}) {
        std::error_code error;
        if (!std::filesystem::exists(path, error)) {
            continue;
        }
        const SyncSessionRead read = ReadSyncSession(path);
        if (!read.session) {
            problem = path + ": " + read.why;
            return std::nullopt;
        }
        const std::filesystem::path a = Resolved(read.session->videoA);
        const std::filesystem::path b = Resolved(read.session->videoB);
        if (a == side && b == other) {
            return read.session->offset;
        }
        if (a == other && b == side) {
            return read.session->offset.Negated();
        }
    }
    problem = ArgText(translate("CliMessages",
                                "%1 と %2 のずれがありません: --offset を指定するか、"
                                "kivra-cli sync %1 %2 --save を実行してください"),
                      {arguments.video, front});
    return std::nullopt;
}

std::optional<GaitSetup> SetupFor(const CommandOptions& options, const std::string& eventsPath,
                                  std::string& problem) {
    if (options.setup.AnyFoot()) {
        return options.setup;
    }
    const GaitFileRead stored = ReadGaitFile(eventsPath);
    if (stored.status == GaitFileRead::kDamaged) {
        problem = eventsPath + ": " + stored.problem;
        return std::nullopt;
    }
    GaitSetup setup = stored.feet ? stored.feet->AppliedTo(options.setup) : options.setup;
    if (options.setup.pelvisId > 0) {
        setup.pelvisId = options.setup.pelvisId;
    }
    return setup;
}

std::string NoFootMarkersText(const std::string& video) {
    return ArgText(translate("CliMessages",
                             "%1 の足のマーカが設定されていません: --foot SIDE=HEEL,TOE で"
                             "指定するか、ウィンドウの「足のマーカ」で設定してください"),
                   {video});
}

std::string NoMarkerFileText(const std::string& video) {
    return ArgText(translate("CliMessages", "%1 のマーカファイルがありません"), {video});
}

std::string DamagedCalibrationText(const std::string& path, const std::string& problem) {
    return ArgText(
        translate("CliMessages",
                  "%1: %2 (キャリブレーションなしで進めるには --scale を指定してください)"),
        {path, problem});
}

int ParseGaitArguments(const std::vector<std::string>& args, GaitArguments& parsed,
                       std::string& problem) {
    if (args.size() < 3) {
        return 2;
    }
    parsed.video = args[1];
    parsed.output = args[2];
    const bool report = args[0] == "report";
    const AcceptedOptions accepted{/*gait=*/true, /*header=*/report, /*front=*/true};
    if (const int status = ParseOptions(args, 3, accepted, parsed, problem); status != 0) {
        return status;
    }
    parsed.setup.filterHz = parsed.filterHz;
    const FrontOptions& front = parsed.front;
    if (front.AnyGiven() && !front.video) {
        problem = translate("CliMessages", "正面のオプションには --front VIDEO も指定してください");
        return 2;
    }
    return 0;
}

std::optional<std::vector<NormalBand>> ReadBands(const GaitArguments& arguments,
                                                 std::string& problem) {
    // The names a band may be given for, and the curves there are to tie an untied file to.
    std::vector<std::string> names, curves;
    for (const NamedAngle& angle : arguments.angles) {
        curves.push_back(angle.name);
        names.insert(names.end(), {angle.name, angle.name + "_R", angle.name + "_L"});
    }
    for (const ClinicalAngle& joint : arguments.joints) {
        const std::string column = ClinicalAngleName(joint);
        curves.push_back(column);
        names.insert(names.end(), {column, column.substr(0, column.size() - 2)});
    }
    std::vector<NormalBand> bands;
    for (const std::string& given : arguments.references) {
        NormalBandChoice choice{given, ""};
        const std::size_t equals = given.find('=');
        if (equals != std::string::npos &&
            std::find(names.begin(), names.end(), given.substr(0, equals)) != names.end()) {
            choice = {given.substr(equals + 1), given.substr(0, equals)};
        }
        NormalBandsResult read = ReadNormalBands(choice);
        if (read.needsAngle && curves.size() == 1) {
            choice.angle = curves.front();
            read = ReadNormalBands(choice);
        }
        if (read.needsAngle) {
            // The layout is filled in, so that its commas are no part of the sentence.
            problem = "--reference " + given + ": " +
                      ArgText(translate("CliMessages",
                                        "%1 のファイルは 1 つの角度の基準範囲です。"
                                        "--reference ANGLE=FILE の形で、ANGLE に角度の名前 "
                                        "(knee_R など。両側なら knee) を指定してください"),
                              {"Percent,Mean,SD"});
            return std::nullopt;
        }
        if (!read.error.empty()) {
            problem = choice.file + ": " + read.error;
            return std::nullopt;
        }
        bands.insert(bands.end(), read.bands.begin(), read.bands.end());
    }
    return bands;
}

std::optional<ReportHeader> ReportHeaderOf(const HeaderOptions& given, const std::string& path,
                                           std::string& problem) {
    ReportHeaderRead read = ReadReportHeader(path);
    if (read.status == ReportHeaderRead::kDamaged) {
        problem = path + ": " + read.problem;
        return std::nullopt;
    }
    ReportHeader header = std::move(read.header);
    const std::pair<const std::optional<std::string>*, std::string*> fields[] = {
        {&given.patient, &header.patient},     {&given.birth, &header.birth},
        {&given.visit, &header.visit},         {&given.examiner, &header.examiner},
        {&given.condition, &header.condition}, {&given.comment, &header.comment}};
    for (const auto& [option, field] : fields) {
        if (*option) {
            *field = **option;
        }
    }
    if (given.legLengthMm) {
        header.legLengthMm = given.legLengthMm;
    }
    return header;
}

int RunGait(const GaitArguments& arguments, const GaitSource& source, std::ostream& err) {
    GaitAnalysis analysis;
    if (const int status = Analyse(arguments, source, err, analysis); status != 0) {
        return status;
    }
    FrontalAnalysis frontal;
    std::vector<StrideParameters> frontStrides;
    if (source.front) {
        if (const int status =
                AnalyseFront(arguments, *source.front, analysis, err, frontal, frontStrides);
            status != 0) {
            return status;
        }
    }
    std::error_code error;
    std::filesystem::create_directories(arguments.output, error);
    if (!std::filesystem::is_directory(arguments.output, error)) {
        err << arguments.output << ": " << translate("CliMessages", "フォルダを作れません") << "\n";
        return 1;
    }
    const auto cannotWrite = [&err](const std::string& path) {
        err << path << ": " << translate("CliMessages", "ファイルに書き込めません") << "\n";
        return 1;
    };
    // The frontal files may be neither video's own; nothing is written when one would be.
    const std::string frontalPaths[] = {arguments.output + "/" + kFrontalCsvFileNames[0],
                                        arguments.output + "/" + kFrontalCsvFileNames[1]};
    const auto checked =
        source.front ? std::span<const std::string>(frontalPaths) : std::span<const std::string>();
    for (const std::string& path : checked) {
        for (const Workspace* owner : {source.actions, source.front->actions}) {
            if (const ActionResult target = owner->CheckOutputTarget(path); !target.ok()) {
                err << target.message << "\n" << path << "\n";
                return 1;
            }
        }
    }
    const ActionResult written = source.actions->WriteGaitCsv(analysis, arguments.output);
    if (written.status == ActionResult::kRefused) {
        err << written.message << "\n" << written.path << "\n";
        return 1;
    }
    if (!written.ok()) {
        return cannotWrite(written.path);
    }
    if (source.front) {
        if (!ReplaceFileContents(frontalPaths[0], FormatFrontalCsv(frontal, frontStrides))) {
            return cannotWrite(frontalPaths[0]);
        }
        if (!ReplaceFileContents(frontalPaths[1], FormatFrontalCyclesCsv(frontal))) {
            return cannotWrite(frontalPaths[1]);
        }
    }
    return 0;
}

int RunReport(const GaitArguments& arguments, const GaitSource& source, std::ostream& err) {
    std::string headerProblem;
    const std::optional<ReportHeader> header =
        ReportHeaderOf(arguments.header, source.actions->VisitPath(), headerProblem);
    if (!header) {
        err << headerProblem << "\n";
        return 1;
    }
    GaitAnalysis analysis;
    GaitAnalysisOptions options;
    if (const int status = Analyse(arguments, source, err, analysis, &options); status != 0) {
        return status;
    }
    FrontalAnalysis frontal;
    if (source.front) {
        std::vector<StrideParameters> strides;
        if (const int status =
                AnalyseFront(arguments, *source.front, analysis, err, frontal, strides);
            status != 0) {
            return status;
        }
    }
    GaitReportInput input;
    input.videoName = QFileInfo(QString::fromStdString(arguments.video)).fileName();
    input.made = QDateTime::currentDateTime();
    input.header = *header;
    input.analysis = &analysis;
    input.options = &options;
    input.bands = analysis.bands;
    input.stills = ReportStills(analysis, &options, *source.actions, source.picture);
    input.frontal = source.front ? &frontal : nullptr;
    if (const auto problem = WriteGaitReport(QString::fromStdString(arguments.output), input)) {
        err << arguments.output << ": " << problem->toStdString() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace kivra::cli
