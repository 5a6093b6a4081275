#include "kinematics/calibration.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <vector>

#include "platform/number_text.h"
#include "platform/path_util.h"
#include "platform/read_only_file.h"
#include "platform/replace_file.h"
#include "platform/translation.h"

namespace kivra {
namespace {

constexpr std::string_view kMagic = "kivra-calibration";
constexpr int kVersion = 1;
// Pictures are far smaller; anything beyond is a damaged number, not a place.
constexpr double kMaxCoordinate = 1e7;

// Shortest text that reads back as the same double.
std::string Number(double v) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
            ++i;
        }
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
            ++i;
        }
        if (i > start) {
            words.push_back(line.substr(start, i - start));
        }
    }
    return words;
}

std::optional<double> ParseNumber(std::string_view text) {
    double v = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

std::optional<ImagePoint> ParsePoint(std::string_view x, std::string_view y) {
    const auto px = ParseNumber(x);
    const auto py = ParseNumber(y);
    if (!px || !py || std::fabs(*px) > kMaxCoordinate || std::fabs(*py) > kMaxCoordinate) {
        return std::nullopt;
    }
    return ImagePoint{*px, *py};
}

CalibrationRead Damaged(std::string problem) {
    CalibrationRead read;
    read.status = CalibrationRead::kDamaged;
    read.problem = std::move(problem);
    return read;
}

}  // namespace

std::optional<Calibration> CalibrationFromPoints(ImagePoint first, ImagePoint second,
                                                 double lengthMm,
                                                 std::optional<ImagePoint> origin) {
    const double pixels = std::hypot(second.x - first.x, second.y - first.y);
    if (!std::isfinite(pixels) || !std::isfinite(lengthMm) || lengthMm <= 0.0 || pixels <= 1e-9) {
        return std::nullopt;
    }
    if (origin && !(std::isfinite(origin->x) && std::isfinite(origin->y))) {
        return std::nullopt;
    }
    const double scale = lengthMm / pixels;
    if (!std::isfinite(scale)) {
        return std::nullopt;
    }
    return Calibration{scale, origin, CalibrationReference{first, second, lengthMm}};
}

std::string CalibrationPath(const std::string& videoPath) {
    return ReplaceExtension(videoPath, ".kcal");
}

std::string FormatCalibration(const Calibration& c) {
    // Appended piece by piece: GCC 12 warns about the same line written as one sum.
    std::string out(kMagic);
    out += ' ';
    out += std::to_string(kVersion);
    out += '\n';
    out += "scale_mm_per_pixel " + Number(c.mmPerPixel) + "\n";
    if (c.origin) {
        out += "origin " + Number(c.origin->x) + " " + Number(c.origin->y) + "\n";
    }
    if (c.reference) {
        const CalibrationReference& r = *c.reference;
        out += "reference " + Number(r.first.x) + " " + Number(r.first.y) + " " +
               Number(r.second.x) + " " + Number(r.second.y) + " " + Number(r.lengthMm) + "\n";
    }
    return out;
}

CalibrationRead ParseCalibration(std::string_view text) {
    if (text.size() > kMaxCalibrationFileBytes) {
        return Damaged(
            translate("KinematicsMessages", "キャリブレーションファイルとしては大きすぎます"));
    }
    Calibration c;
    bool header = false;
    bool haveScale = false;
    int lineNumber = 0;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const std::vector<std::string_view> w = Words(line);
        if (w.empty() || w[0].front() == '#') {
            continue;
        }
        const auto where = [lineNumber](const std::string& problem) {
            return ArgText(translate("KinematicsMessages", "%1 行目: %2"),
                           {std::to_string(lineNumber), problem});
        };
        if (!header) {
            if (w.size() != 2 || w[0] != kMagic) {
                return Damaged(ArgText(translate("KinematicsMessages",
                                                 "キャリブレーションファイルではありません "
                                                 "(\"%1 %2\" で始まる必要があります)"),
                                       {kMagic, std::to_string(kVersion)}));
            }
            if (w[1] != std::to_string(kVersion)) {
                return Damaged(ArgText(translate("KinematicsMessages",
                                                 "キャリブレーションファイルのバージョン %1 は"
                                                 "このプログラムでは読めません"),
                                       {Excerpt(w[1])}));
            }
            header = true;
            continue;
        }
        if (w[0] == "scale_mm_per_pixel" && w.size() == 2 && !haveScale) {
            const auto v = ParseNumber(w[1]);
            if (!v || *v <= 0.0 || *v > kMaxCoordinate) {
                return Damaged(
                    where(translate("KinematicsMessages", "縮尺は正の数でなければなりません")));
            }
            c.mmPerPixel = *v;
            haveScale = true;
        } else if (w[0] == "origin" && w.size() == 3 && !c.origin) {
            c.origin = ParsePoint(w[1], w[2]);
            if (!c.origin) {
                return Damaged(where(
                    translate("KinematicsMessages", "原点は 2 つの数値でなければなりません")));
            }
        } else if (w[0] == "reference" && w.size() == 6 && !c.reference) {
            const auto first = ParsePoint(w[1], w[2]);
            const auto second = ParsePoint(w[3], w[4]);
            const auto length = ParseNumber(w[5]);
            if (!first || !second || !length || *length <= 0.0) {
                return Damaged(where(translate(
                    "KinematicsMessages", "基準は 4 つの座標と 1 つの長さでなければなりません")));
            }
            c.reference = CalibrationReference{*first, *second, *length};
        } else {
            return Damaged(where(ArgText(translate("KinematicsMessages", "予期しない内容 \"%1\""),
                                         {line.substr(0, 60)})));
        }
    }
    if (!header) {
        return Damaged(translate("KinematicsMessages", "ファイルが空です"));
    }
    if (!haveScale) {
        return Damaged(translate("KinematicsMessages", "ファイルに縮尺がありません"));
    }
    CalibrationRead read;
    read.status = CalibrationRead::kLoaded;
    read.calibration = c;
    return read;
}

CalibrationRead ReadCalibrationFile(const std::string& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        return {};
    }
    const ReadOnlyFile file(path);
    if (!file.ok()) {
        return Damaged(translate("KinematicsMessages", "ファイルを読めません"));
    }
    if (file.size() > kMaxCalibrationFileBytes) {
        return Damaged(
            translate("KinematicsMessages", "キャリブレーションファイルとしては大きすぎます"));
    }
    const std::vector<uint8_t> bytes = file.ReadUpTo(0, file.size());
    if (bytes.size() != file.size()) {
        return Damaged(translate("KinematicsMessages", "ファイルを読めません"));
    }
    return ParseCalibration(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool WriteCalibrationFile(const std::string& path, const Calibration& calibration) {
    return ReplaceFileContents(path, FormatCalibration(calibration));
}

}  // namespace kivra
