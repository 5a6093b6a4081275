#include "gait_commands.h"

#include <QDateTime>
#include <QFileInfo>
#include <QImage>
#include <QString>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <ostream>

#include "gait/gait_file.h"
#include "gait/gait_report.h"
#include "markers/lff_manager.h"

namespace kivra::cli {
namespace {

bool ParsePositiveNumber(const std::string& text, double& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size() &&
           std::isfinite(value) && value > 0.0;
}

// The analysis both commands share; 0 with it made, else the exit status (message written).
int Analyse(const GaitArguments& arguments, const GaitSource& source, std::ostream& err,
            GaitAnalysis& analysis) {
    if (!source.markerFileLoaded) {
        err << "no marker file for " << arguments.video << "\n";
        return 1;
    }
    GaitAnalysisOptions options;
    options.setup = arguments.setup;
    options.angles = arguments.angles;
    if (arguments.scale) {
        options.calibration = Calibration{*arguments.scale, std::nullopt, std::nullopt};
    } else {
        const CalibrationRead read = ReadCalibrationFile(source.calibrationPath);
        // Pixels written where millimetres were meant would pass unnoticed downstream.
        if (read.status == CalibrationRead::kDamaged) {
            err << source.calibrationPath << ": " << read.problem
                << " (give --scale to work without it)\n";
            return 1;
        }
        if (read.status == CalibrationRead::kLoaded) {
            options.calibration = read.calibration;
        }
    }
    const auto missing =
        GaitMarkersWithoutData(*source.markers, options, source.first, source.last);
    for (const GaitMarkerWithoutData& m : missing) {
        err << m.role << " names marker " << m.id << ", which has no data in the play range of "
            << arguments.video << "\n";
    }
    if (!missing.empty()) {
        return 1;
    }
    if (!arguments.detect) {
        const std::string path = GaitFilePath(source.markerPath);
        const GaitFileRead read = ReadGaitFile(path);
        if (read.status == GaitFileRead::kDamaged) {
            err << path << ": " << read.problem << " (give --detect to detect the events afresh)\n";
            return 1;
        }
        if (read.status == GaitFileRead::kLoaded) {
            options.events = read.events;
        }
    }
    analysis = AnalyseGait(*source.markers, source.first, source.last, source.fps, options);
    if (!analysis.error.empty()) {
        err << analysis.error << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int ParseGaitArguments(const std::vector<std::string>& args, GaitArguments& parsed,
                       std::string& problem) {
    if (args.size() < 3) {
        return 2;
    }
    const bool report = args[0] == "report";
    parsed.video = args[1];
    parsed.output = args[2];
    for (std::size_t i = 3; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        double value = 0.0;
        if (arg == "--foot" && hasValue) {
            const std::string given = args[++i];
            const std::size_t equals = given.find('=');
            const std::string side = given.substr(0, equals);
            const auto foot = equals == std::string::npos
                                  ? std::nullopt
                                  : ParseFootMarkers(std::string_view(given).substr(equals + 1));
            if (!foot) {
                problem = "--foot " + given + ": give SIDE=HEEL,TOE with two different IDs";
                return 2;
            }
            if (side != "R" && side != "L") {
                problem = "--foot " + given + ": the side must be R or L";
                return 1;
            }
            (side == "R" ? parsed.setup.right : parsed.setup.left) = foot;
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
        } else if (arg == "--scale" && hasValue && ParsePositiveNumber(args[i + 1], value)) {
            parsed.scale = value;
            ++i;
        } else if (arg == "--filter" && hasValue && ParsePositiveNumber(args[i + 1], value)) {
            parsed.setup.filterHz = value;
            ++i;
        } else if (arg == "--angle" && hasValue) {
            std::string why;
            auto angle = ParseNamedAngle(args[++i], &why);
            if (!angle) {
                problem = "--angle " + args[i] + ": " + why;
                return 2;
            }
            parsed.angles.push_back(std::move(*angle));
        } else if (arg == "--detect") {
            parsed.detect = true;
        } else if (report && arg == "--reference" && hasValue) {
            parsed.reference = args[++i];
        } else {
            return 2;
        }
    }
    if (const auto twice = DuplicateAngleName(parsed.angles)) {
        problem = "the angle name " + *twice + " is given twice";
        return 2;
    }
    if (!parsed.setup.AnyFoot()) {
        problem = "name at least one foot with --foot SIDE=HEEL,TOE";
        return 2;
    }
    return 0;
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
    if (const auto failed = WriteGaitCsvFiles(analysis, arguments.output)) {
        err << arguments.output << "/" << *failed << ": the file cannot be written\n";
        return 1;
    }
    return 0;
}

int RunReport(const GaitArguments& arguments, const GaitSource& source, std::ostream& err) {
    GaitAnalysis analysis;
    if (const int status = Analyse(arguments, source, err, analysis); status != 0) {
        return status;
    }
    GaitReportInput input;
    if (!arguments.reference.empty()) {
        const ReferenceBandResult band = ReadReferenceBand(arguments.reference);
        if (!band.band) {
            err << arguments.reference << ": " << band.error << "\n";
            return 1;
        }
        input.reference = band.band;
    }
    input.videoName = QFileInfo(QString::fromStdString(arguments.video)).fileName();
    input.made = QDateTime::currentDateTime();
    input.analysis = &analysis;
    for (const auto& [side, frame] : ReportStillFrames(analysis)) {
        ReportStill still;
        still.side = side;
        still.frame = frame;
        if (const Dib* dib = source.picture ? source.picture(frame) : nullptr) {
            still.picture = PictureOfDib(*dib);
        }
        std::vector<T_DRAW_MARKER> markers;
        source.markers->GetFrameMarkers(frame, markers);
        for (const T_DRAW_MARKER& m : markers) {
            still.markers.push_back({m.x, m.y});
        }
        input.stills.push_back(std::move(still));
    }
    if (const auto problem = WriteGaitReport(QString::fromStdString(arguments.output), input)) {
        err << arguments.output << ": " << problem->toStdString() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace kivra::cli
