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

#include "gait/gait_report.h"
#include "platform/number_text.h"
#include "platform/translation.h"
#include "workspace/workspace.h"

namespace kivra::cli {
namespace {

std::string MarkerIdProblem() {
    return ArgText(translate("CliMessages", "マーカ ID は 1 から %1 までの整数です"),
                   {std::to_string(kMaxAngleMarkerId)});
}

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

// The analysis both commands share; 0 with it made, else the exit status (message written).
// *used, when given, receives the options it ran with.
int Analyse(const GaitArguments& arguments, const GaitSource& source, std::ostream& err,
            GaitAnalysis& analysis, GaitAnalysisOptions* used = nullptr) {
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
    request.setup = arguments.setup;
    request.angles = arguments.angles;
    request.joints = arguments.joints;
    request.detect = arguments.detect;
    if (arguments.scale) {
        request.calibration = Calibration{*arguments.scale, std::nullopt, std::nullopt};
    } else {
        const CalibrationRead read = ReadCalibrationFile(source.calibrationPath);
        // Pixels written where millimetres were meant would pass unnoticed downstream.
        if (read.status == CalibrationRead::kDamaged) {
            err << DamagedCalibrationText(source.calibrationPath, read.problem) << "\n";
            return 1;
        }
        if (read.status == CalibrationRead::kLoaded) {
            request.calibration = read.calibration;
        }
    }
    GaitRun run = source.actions->AnalyseGait(request);
    switch (run.failure) {
        case GaitRun::kMarkersWithoutData:
            for (const GaitMarkerWithoutData& m : run.missing) {
                err << ArgText(translate("CliMessages",
                                         "%1 (マーカ %2) には、%3 の再生範囲にデータがありません"),
                               {RoleText(m.role), std::to_string(m.id), arguments.video})
                    << "\n";
            }
            return 1;
        case GaitRun::kDamagedEventsFile:
            err << ArgText(
                       translate("CliMessages",
                                 "%1: %2 (イベントを検出し直すには --detect を指定してください)"),
                       {run.result.path, run.result.detail})
                << "\n";
            return 1;
        case GaitRun::kNoEvents:
            err << run.result.detail << "\n";
            return 1;
        case GaitRun::kNone:
            break;
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

// The header text field an option names, or null.
std::optional<std::string>* HeaderText(HeaderOptions& header, const std::string& option) {
    const std::pair<const char*, std::optional<std::string> HeaderOptions::*> fields[] = {
        {"--patient", &HeaderOptions::patient},     {"--birth", &HeaderOptions::birth},
        {"--visit", &HeaderOptions::visit},         {"--examiner", &HeaderOptions::examiner},
        {"--condition", &HeaderOptions::condition}, {"--comment", &HeaderOptions::comment}};
    for (const auto& [name, field] : fields) {
        if (option == name) {
            return &(header.*field);
        }
    }
    return nullptr;
}

// Why "SIDE=HEEL,TOE" gave no foot: IDs that are no IDs, or the same ID twice.
std::string FootProblem(const std::string& given, std::size_t equals) {
    const std::string ids = equals == std::string::npos ? std::string() : given.substr(equals + 1);
    const std::size_t comma = ids.find(',');
    if (comma != std::string::npos) {
        const std::string heel = ids.substr(0, comma);
        const std::string toe = ids.substr(comma + 1);
        const auto id = [](const std::string& text) {
            int value = 0;
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
            return ec == std::errc() && end == text.data() + text.size() && value >= 1 &&
                   value <= kMaxAngleMarkerId;
        };
        if (!heel.empty() && !toe.empty() &&
            heel.find_first_not_of("0123456789-+") == std::string::npos &&
            toe.find_first_not_of("0123456789-+") == std::string::npos) {
            if (!id(heel) || !id(toe)) {
                return MarkerIdProblem();
            }
            return translate("CliMessages", "踵とつま先には別の ID を指定してください");
        }
    }
    return translate("CliMessages", "SIDE=HEEL,TOE の形で 2 つのマーカ ID を指定してください");
}

}  // namespace

std::string NoMarkerFileText(const std::string& video) {
    return ArgText(translate("CliMessages", "%1 のマーカファイルがありません"), {video});
}

std::string DamagedCalibrationText(const std::string& path, const std::string& problem) {
    return ArgText(
        translate("CliMessages",
                  "%1: %2 (キャリブレーションなしで進めるには --scale を指定してください)"),
        {path, problem});
}

std::string NumberProblem(const std::string& option, const std::string& given) {
    return option + " " + Excerpt(given) + ": " +
           (option == "--scale"
                ? translate("CliMessages",
                            "0 より大きい数値を指定してください (ピクセルあたりのミリメートル)")
                : translate("CliMessages", "0 より大きい数値を指定してください (Hz)"));
}

std::string GivenTwiceText(const std::string& option) {
    return ArgText(translate("CliMessages", "%1 が 2 回指定されています"), {option});
}

std::string AngleNameTwiceText(const std::string& name) {
    return ArgText(translate("CliMessages", "角度の名前 %1 が 2 回指定されています"), {name});
}

int ParseGaitArguments(const std::vector<std::string>& args, GaitArguments& parsed,
                       std::string& problem) {
    if (args.size() < 3) {
        return 2;
    }
    parsed.video = args[1];
    parsed.output = args[2];
    for (std::size_t i = 3; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        // Above zero when the next argument is a positive number.
        const double value = hasValue ? ParsePositiveNumber(args[i + 1]).value_or(0.0) : 0.0;
        if (arg == "--foot" && hasValue) {
            const std::string given = args[++i];
            const std::size_t equals = given.find('=');
            const std::string side = given.substr(0, equals);
            const auto foot = equals == std::string::npos
                                  ? std::nullopt
                                  : ParseFootMarkers(std::string_view(given).substr(equals + 1));
            if (!foot) {
                problem = "--foot " + given + ": " + FootProblem(given, equals);
                return 2;
            }
            if (side != "R" && side != "L") {
                problem = "--foot " + given + ": " +
                          translate("CliMessages", "左右は R か L で指定してください");
                return 1;
            }
            auto& target = side == "R" ? parsed.setup.right : parsed.setup.left;
            if (target) {
                problem = GivenTwiceText("--foot " + side);
                return 2;
            }
            target = foot;
        } else if (arg == "--pelvis" && hasValue) {
            int id = 0;
            const std::string& text = args[++i];
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
            if (ec != std::errc() || end != text.data() + text.size() || id < 1 ||
                id > kMaxAngleMarkerId) {
                problem = "--pelvis " + text + ": " + MarkerIdProblem();
                return 2;
            }
            parsed.setup.pelvisId = id;
        } else if ((arg == "--scale" || arg == "--filter") && hasValue) {
            if (!(value > 0.0)) {
                problem = NumberProblem(arg, args[i + 1]);
                return 2;
            }
            if (arg == "--scale") {
                parsed.scale = value;
            } else {
                parsed.setup.filterHz = value;
            }
            ++i;
        } else if (arg == "--angle" && hasValue) {
            std::string why;
            auto angle = ParseNamedAngle(args[++i], &why);
            if (!angle) {
                problem = "--angle " + args[i] + ": " + why;
                return 2;
            }
            parsed.angles.push_back(std::move(*angle));
        } else if (arg == "--joint" && hasValue) {
            std::string why;
            const auto joint = ParseClinicalAngle(args[++i], &why);
            if (!joint) {
                problem = "--joint " + args[i] + ": " + why;
                return 2;
            }
            parsed.joints.push_back(*joint);
        } else if (arg == "--detect") {
            parsed.detect = true;
        } else if (arg == "--reference" && hasValue) {
            parsed.references.push_back(args[++i]);
        } else if (args[0] == "report" && arg == "--leg-length" && hasValue) {
            const std::string& text = args[++i];
            if (parsed.header.legLengthMm) {
                problem = GivenTwiceText("--leg-length");
                return 2;
            }
            parsed.header.legLengthMm = ParseLegLength(text);
            if (!parsed.header.legLengthMm) {
                problem = "--leg-length " + Excerpt(text) + ": " +
                          ArgText(translate("CliMessages",
                                            "0 より大きく %1 未満の長さを mm で指定してください"),
                                  {std::to_string(int(kMaxLegLengthMm))});
                return 2;
            }
        } else if (auto* field =
                       args[0] == "report" && hasValue ? HeaderText(parsed.header, arg) : nullptr) {
            if (field->has_value()) {
                problem = GivenTwiceText(arg);
                return 2;
            }
            *field = args[++i];  // as typed: blanks, quotes and leading dashes included
        } else {
            return 2;
        }
    }
    if (const auto twice = DuplicateAngleName(parsed.angles)) {
        problem = AngleNameTwiceText(*twice);
        return 2;
    }
    if (auto twice = JointGivenTwice(parsed.angles, parsed.joints, /*cycleColumns=*/true)) {
        problem = std::move(*twice);
        return 2;
    }
    if (!parsed.setup.AnyFoot()) {
        problem =
            translate("CliMessages", "--foot SIDE=HEEL,TOE で少なくとも片方の足を指定してください");
        return 2;
    }
    return 0;
}

std::optional<std::string> JointGivenTwice(const std::vector<NamedAngle>& angles,
                                           const std::vector<ClinicalAngle>& joints,
                                           bool cycleColumns) {
    if (const auto twice = DuplicateClinicalAngle(joints)) {
        return GivenTwiceText("--joint " + *twice);
    }
    for (const ClinicalAngle& joint : joints) {
        const std::string column = ClinicalAngleName(joint);
        const std::string kind = column.substr(0, column.size() - 2);  // without "_R"
        for (const NamedAngle& angle : angles) {
            if (angle.name == column || (cycleColumns && angle.name == kind)) {
                return ArgText(translate("CliMessages",
                                         "角度の名前 %1 は --joint %2 の列と重なります。"
                                         "角度に別の名前を付けてください"),
                               {angle.name, FormatClinicalAngle(joint)});
            }
        }
    }
    return std::nullopt;
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
    std::error_code error;
    std::filesystem::create_directories(arguments.output, error);
    if (!std::filesystem::is_directory(arguments.output, error)) {
        err << arguments.output << ": " << translate("CliMessages", "フォルダを作れません") << "\n";
        return 1;
    }
    const ActionResult written = source.actions->WriteGaitCsv(analysis, arguments.output);
    if (written.status == ActionResult::kRefused) {
        err << written.message << "\n" << written.path << "\n";
        return 1;
    }
    if (!written.ok()) {
        err << written.path << ": " << translate("CliMessages", "ファイルに書き込めません") << "\n";
        return 1;
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
    GaitReportInput input;
    input.videoName = QFileInfo(QString::fromStdString(arguments.video)).fileName();
    input.made = QDateTime::currentDateTime();
    input.header = *header;
    input.analysis = &analysis;
    input.options = &options;
    input.bands = analysis.bands;
    input.stills = ReportStills(analysis, &options, *source.actions, source.picture);
    if (const auto problem = WriteGaitReport(QString::fromStdString(arguments.output), input)) {
        err << arguments.output << ": " << problem->toStdString() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace kivra::cli
