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
#include "workspace/workspace.h"

namespace kivra::cli {
namespace {

// The analysis both commands share; 0 with it made, else the exit status (message written).
// *used, when given, receives the options it ran with.
int Analyse(const GaitArguments& arguments, const GaitSource& source, std::ostream& err,
            GaitAnalysis& analysis, GaitAnalysisOptions* used = nullptr) {
    if (!source.markerFileLoaded) {
        err << "no marker file for " << arguments.video << "\n";
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
            err << source.calibrationPath << ": " << read.problem
                << " (give --scale to work without it)\n";
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
                err << m.role << " names marker " << m.id
                    << ", which has no data in the play range of " << arguments.video << "\n";
            }
            return 1;
        case GaitRun::kDamagedEventsFile:
            err << run.result.path << ": " << run.result.detail
                << " (give --detect to detect the events afresh)\n";
            return 1;
        case GaitRun::kNoEvents:
            err << run.result.detail << "\n";
            return 1;
        case GaitRun::kNone:
            break;
    }
    if (!run.result.ok()) {
        err << "no video\n";
        return 1;
    }
    analysis = std::move(run.analysis);
    if (used != nullptr) {
        *used = request;  // the report names the setup it ran with
    }
    // The numbers are written all the same; what they leave out is said.
    for (const FootWithoutStrides& foot : analysis.feetWithoutStrides) {
        err << "warning: " << foot.Text() << "\n";
    }
    for (const GaitWarning& w : analysis.warnings) {
        if (w.code != GaitWarning::kMarkerGaps && w.code != GaitWarning::kStridesLeftOut) {
            err << "warning: " << w.Text() << "\n";  // the strides left out follow one by one
        }
    }
    for (const LeftOutStride& s : analysis.parameters.leftOut) {
        err << "warning: the " << (s.side == FootSide::kRight ? "right" : "left")
            << " stride of frames " << s.startFrame << "-" << s.endFrame
            << " is left out: " << s.Reason() << "\n";
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
                return "marker IDs are whole numbers from 1 to 100000";
            }
            return "give two different IDs for the heel and the toe";
        }
    }
    return "give SIDE=HEEL,TOE with two marker IDs";
}

}  // namespace

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
                problem = "--foot " + given + ": the side must be R or L";
                return 1;
            }
            auto& target = side == "R" ? parsed.setup.right : parsed.setup.left;
            if (target) {
                problem = "--foot " + side + " is given twice";
                return 2;
            }
            target = foot;
        } else if (arg == "--pelvis" && hasValue) {
            int id = 0;
            const std::string& text = args[++i];
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
            if (ec != std::errc() || end != text.data() + text.size() || id < 1 ||
                id > kMaxAngleMarkerId) {
                problem = "--pelvis " + text + ": marker IDs are whole numbers from 1 to 100000";
                return 2;
            }
            parsed.setup.pelvisId = id;
        } else if ((arg == "--scale" || arg == "--filter") && hasValue) {
            if (!(value > 0.0)) {
                problem = arg + " " + Excerpt(args[i + 1]) + ": give a number above 0" +
                          (arg == "--scale" ? " (millimetres per pixel)" : " (Hz)");
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
                problem = "--leg-length is given twice";
                return 2;
            }
            parsed.header.legLengthMm = ParseLegLength(text);
            if (!parsed.header.legLengthMm) {
                problem = "--leg-length " + Excerpt(text) + ": give a length in mm above 0 and " +
                          "below " + std::to_string(int(kMaxLegLengthMm));
                return 2;
            }
        } else if (auto* field =
                       args[0] == "report" && hasValue ? HeaderText(parsed.header, arg) : nullptr) {
            if (field->has_value()) {
                problem = arg + " is given twice";
                return 2;
            }
            *field = args[++i];  // as typed: blanks, quotes and leading dashes included
        } else {
            return 2;
        }
    }
    if (const auto twice = DuplicateAngleName(parsed.angles)) {
        problem = "the angle name " + *twice + " is given twice";
        return 2;
    }
    if (auto twice = JointGivenTwice(parsed.angles, parsed.joints, /*cycleColumns=*/true)) {
        problem = std::move(*twice);
        return 2;
    }
    if (!parsed.setup.AnyFoot()) {
        problem = "name at least one foot with --foot SIDE=HEEL,TOE";
        return 2;
    }
    return 0;
}

std::optional<std::string> JointGivenTwice(const std::vector<NamedAngle>& angles,
                                           const std::vector<ClinicalAngle>& joints,
                                           bool cycleColumns) {
    if (const auto twice = DuplicateClinicalAngle(joints)) {
        return "--joint " + *twice + " is given twice";
    }
    for (const ClinicalAngle& joint : joints) {
        const std::string column = ClinicalAngleName(joint);
        const std::string kind = column.substr(0, column.size() - 2);  // without "_R"
        for (const NamedAngle& angle : angles) {
            if (angle.name == column || (cycleColumns && angle.name == kind)) {
                return "the angle name " + angle.name + " would repeat the columns of --joint " +
                       FormatClinicalAngle(joint) + "; give the angle another name";
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
            problem = "--reference " + given + ": a Percent,Mean,SD file is the band of one " +
                      "angle; give it as --reference ANGLE=FILE, ANGLE one of the angles' " +
                      "names (such as knee_R, or knee for both sides)";
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
        err << arguments.output << ": the folder cannot be made\n";
        return 1;
    }
    const ActionResult written = source.actions->WriteGaitCsv(analysis, arguments.output);
    if (written.status == ActionResult::kRefused) {
        err << written.message << "\n" << written.path << "\n";
        return 1;
    }
    if (!written.ok()) {
        err << written.path << ": the file cannot be written\n";
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
