#include "gait/normal_bands.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>

#include "platform/number_text.h"
#include "platform/read_only_file.h"
#include "platform/translation.h"

namespace kivra {
namespace {

constexpr double kMaxBandDegrees = 360.0;
constexpr std::uint64_t kMaxBandFileBytes = 1 << 20;
// More angles than any clinic's table holds: a bound on what one file may make us keep.
constexpr std::size_t kMaxBandAngles = 256;

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

bool ParseNumber(std::string_view text, double& value) {
    text = Trimmed(text);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t comma = line.find(',');
        fields.push_back(Trimmed(line.substr(0, comma)));
        if (comma == std::string_view::npos) {
            return fields;
        }
        line.remove_prefix(comma + 1);
    }
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

struct BandRows {
    std::vector<double> percent, mean, sd;
};

// The rows' values at every whole percent, linear between rows.
ReferenceBand Interpolated(const BandRows& rows) {
    ReferenceBand band;
    std::size_t j = 0;
    for (int p = 0; p < kCyclePoints; ++p) {
        while (j + 1 < rows.percent.size() && rows.percent[j + 1] < p) {
            ++j;
        }
        const std::size_t k = std::min(j + 1, rows.percent.size() - 1);
        const double share =
            k == j
                ? 0.0
                : std::clamp((p - rows.percent[j]) / (rows.percent[k] - rows.percent[j]), 0.0, 1.0);
        band.mean[p] = rows.mean[j] + (rows.mean[k] - rows.mean[j]) * share;
        band.sd[p] = rows.sd[j] + (rows.sd[k] - rows.sd[j]) * share;
    }
    return band;
}

// A problem of one line of the file, as the events file says it too.
std::string AtLine(int number, const std::string& problem) {
    return ArgText(translate("GaitMessages", "%1 行目: %2"), {std::to_string(number), problem});
}

// The text of the angle's problem when the file names its angles, else of the file's one.
std::string ForAngle(bool named, const std::string& angle, const char* anyAngle,
                     const char* thisAngle) {
    return named ? ArgText(translate("GaitMessages", thisAngle), {Excerpt(angle)})
                 : translate("GaitMessages", anyAngle);
}

}  // namespace

NormalBandsResult ReadNormalBands(const NormalBandChoice& choice) {
    NormalBandsResult result;
    std::error_code ec;
    const auto type = std::filesystem::status(choice.file, ec).type();
    if (type == std::filesystem::file_type::not_found) {
        result.error = translate("GaitMessages", "ファイルがありません");
        return result;
    }
    // A folder, a FIFO or a device is no table, and a FIFO would never end a read.
    if (type != std::filesystem::file_type::regular) {
        result.error = type == std::filesystem::file_type::directory
                           ? translate("GaitMessages", "ファイルではなくフォルダです")
                           : translate("GaitMessages", "通常のファイルではありません");
        return result;
    }
    const ReadOnlyFile file(choice.file);
    if (!file.ok()) {
        result.error = translate("GaitMessages", "ファイルを読めません");
        return result;
    }
    if (file.size() > kMaxBandFileBytes) {
        result.error = translate("GaitMessages", "ファイルが 1 MB を超えています");
        return result;
    }
    const std::vector<uint8_t> read = file.ReadUpTo(0, file.size());
    if (read.size() != file.size()) {
        result.error = translate("GaitMessages", "ファイルを読めません");
        return result;
    }
    std::istringstream lines(std::string(read.begin(), read.end()));
    std::string line;
    std::getline(lines, line);
    const std::vector<std::string_view> header = Fields(line);
    const bool named = !header.empty() && EqualsIgnoreCase(header.front(), "Angle");
    const char* const layout = named ? "Angle,Percent,Mean,SD" : "Percent,Mean,SD";
    if (named && !choice.angle.empty()) {
        result.error = translate("GaitMessages",
                                 "このファイルは角度ごとの基準範囲 (Angle,Percent,Mean,SD) "
                                 "を持つため、1 つの角度には結び付けられません");
        return result;
    }
    // Angles in the order of their first row, so that the report lists them as the file does.
    std::vector<std::string> order;
    std::map<std::string, BandRows> rows;
    int number = 1;
    while (std::getline(lines, line)) {
        ++number;
        if (Trimmed(line).empty()) {
            continue;
        }
        const std::vector<std::string_view> fields = Fields(line);
        const std::size_t first = named ? 1 : 0;
        double values[3];
        bool ok = fields.size() == first + 3 && (!named || !fields[0].empty());
        for (std::size_t k = 0; k < 3 && ok; ++k) {
            ok = ParseNumber(fields[first + k], values[k]);
        }
        if (!ok) {
            result.error =
                ArgText(translate("GaitMessages", "%1 行目が %2 の形式ではありません: \"%3\""),
                        {std::to_string(number), layout, Excerpt(line)});
            return result;
        }
        if (values[2] < 0.0) {
            result.error = AtLine(number, translate("GaitMessages", "SD が負の値です"));
            return result;
        }
        // Joint angles in degrees: anything wider is another quantity or a damaged file.
        if (std::abs(values[1]) > kMaxBandDegrees || values[2] > kMaxBandDegrees) {
            result.error = AtLine(
                number,
                translate("GaitMessages", "Mean と SD は -360 から 360 までの関節角度 (度) です"));
            return result;
        }
        const std::string angle = named ? std::string(fields[0]) : choice.angle;
        auto it = rows.find(angle);
        if (it == rows.end()) {
            if (order.size() == kMaxBandAngles) {
                result.error =
                    AtLine(number, translate("GaitMessages", "角度が 256 を超えています"));
                return result;
            }
            order.push_back(angle);
            it = rows.emplace(angle, BandRows{}).first;
        }
        BandRows& band = it->second;
        if (!band.percent.empty() && values[0] <= band.percent.back()) {
            result.error = AtLine(
                number,
                ForAngle(
                    named, angle,
                    QT_TRANSLATE_NOOP("GaitMessages", "Percent の値が昇順になっていません"),
                    QT_TRANSLATE_NOOP("GaitMessages", "%1 の Percent の値が昇順になっていません")));
            return result;
        }
        band.percent.push_back(values[0]);
        band.mean.push_back(values[1]);
        band.sd.push_back(values[2]);
    }
    if (order.empty()) {
        result.error =
            ArgText(translate("GaitMessages", "ファイルに %1 の行がありません"), {layout});
        return result;
    }
    for (const std::string& angle : order) {
        const BandRows& band = rows.at(angle);
        if (band.percent.front() > 0.0 || band.percent.back() < 100.0) {
            result.error = ForAngle(
                named, angle,
                QT_TRANSLATE_NOOP("GaitMessages",
                                  "Percent の値が 0 から 100 までを網羅していません"),
                QT_TRANSLATE_NOOP("GaitMessages",
                                  "%1 の Percent の値が 0 から 100 までを網羅していません"));
            return result;
        }
    }
    // What is wrong inside the file comes first; then whether it says whose band it is.
    if (!named && choice.angle.empty()) {
        result.error = translate("GaitMessages",
                                 "Percent,Mean,SD のファイルは 1 つの角度の基準範囲です: "
                                 "角度を指定してください");
        result.needsAngle = true;
        return result;
    }
    for (const std::string& angle : order) {
        result.bands.push_back({angle, choice.file, Interpolated(rows.at(angle))});
    }
    return result;
}

std::string CycleBaseName(const AngleCycles& angle) {
    // A sided joint's name carries its side ("knee_R").
    return angle.side ? angle.name.substr(0, angle.name.size() - 2) : angle.name;
}

std::string CycleColumnName(const AngleCycles& angle, FootSide side) {
    return angle.side ? angle.name : angle.name + "_" + SideName(side);
}

const NormalBand* BandFor(const std::vector<NormalBand>& bands, const AngleCycles& angle,
                          FootSide side) {
    if (angle.side && *angle.side != side) {
        return nullptr;
    }
    const std::string column = CycleColumnName(angle, side);
    const std::string base = CycleBaseName(angle);
    const NormalBand* found = nullptr;
    for (const NormalBand& band : bands) {
        if (band.angle == column) {
            found = &band;
        }
    }
    if (found == nullptr) {
        for (const NormalBand& band : bands) {
            if (band.angle == base) {
                found = &band;
            }
        }
    }
    return found;
}

ProfileDeviation DeviationFromBands(const std::vector<AngleCycles>& cycles,
                                    const std::vector<NormalBand>& bands) {
    ProfileDeviation result;
    double sum[2] = {0.0, 0.0};
    int count[2] = {0, 0};
    for (const AngleCycles& angle : cycles) {
        for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
            const SideCycles& c = side == FootSide::kRight ? angle.right : angle.left;
            const NormalBand* band = BandFor(bands, angle, side);
            if (band == nullptr || !c.mean) {
                continue;
            }
            double squares = 0.0;
            for (int p = 0; p < kCyclePoints; ++p) {
                const double d = (*c.mean)[p] - band->band.mean[p];
                squares += d * d;
            }
            const double rms = std::sqrt(squares / kCyclePoints);
            result.angles.push_back({CycleColumnName(angle, side), side, rms});
            const int s = side == FootSide::kRight ? 0 : 1;
            sum[s] += rms * rms;
            ++count[s];
        }
    }
    if (count[0] > 0) {
        result.scoreRight = std::sqrt(sum[0] / count[0]);
    }
    if (count[1] > 0) {
        result.scoreLeft = std::sqrt(sum[1] / count[1]);
    }
    if (count[0] + count[1] > 0) {
        result.score = std::sqrt((sum[0] + sum[1]) / (count[0] + count[1]));
    }
    return result;
}

}  // namespace kivra
