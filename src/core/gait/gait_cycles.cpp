#include "gait/gait_cycles.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "platform/number_text.h"
#include "platform/read_only_file.h"

namespace kivra {
namespace {

constexpr double kMaxBandDegrees = 360.0;

std::optional<double> ValueAt(const AngleSeries& series, int frame) {
    const auto it = std::lower_bound(series.frames.begin(), series.frames.end(), frame);
    if (it == series.frames.end() || *it != frame) {
        return std::nullopt;
    }
    return series.degrees[static_cast<std::size_t>(it - series.frames.begin())];
}

std::optional<CycleCurve> Resample(const AngleSeries& series, int start, int end) {
    CycleCurve curve{};
    for (int p = 0; p < kCyclePoints; ++p) {
        const double t = start + (end - start) * (p / 100.0);
        const int below = static_cast<int>(std::floor(t));
        const double share = t - below;
        const auto a = ValueAt(series, below);
        if (!a) {
            return std::nullopt;
        }
        if (share == 0.0) {
            curve[p] = *a;
            continue;
        }
        const auto b = ValueAt(series, below + 1);
        if (!b) {
            return std::nullopt;
        }
        curve[p] = *a + (*b - *a) * share;
    }
    return curve;
}

void Summarise(SideCycles& side) {
    const std::size_t n = side.strides.size();
    if (n == 0) {
        return;
    }
    CycleCurve mean{};
    for (const CycleCurve& c : side.strides) {
        for (int p = 0; p < kCyclePoints; ++p) {
            mean[p] += c[p] / n;
        }
    }
    side.mean = mean;
    if (n < 2) {
        return;
    }
    CycleCurve sd{};
    for (const CycleCurve& c : side.strides) {
        for (int p = 0; p < kCyclePoints; ++p) {
            sd[p] += (c[p] - mean[p]) * (c[p] - mean[p]);
        }
    }
    for (double& v : sd) {
        v = std::sqrt(v / (n - 1));
    }
    side.sd = sd;
}

bool ParseNumber(std::string_view text, double& value) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

}  // namespace

std::vector<AngleCycles> BuildCycleCurves(const std::vector<AngleSeries>& angles,
                                          const std::vector<StrideParameters>& strides) {
    std::vector<AngleCycles> result;
    for (const AngleSeries& series : angles) {
        AngleCycles cycles;
        cycles.name = series.name;
        cycles.side = series.side;
        for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
            if (series.side && *series.side != side) {
                continue;  // the other leg's strides would show this leg cut on them
            }
            SideCycles& target = side == FootSide::kRight ? cycles.right : cycles.left;
            double stance = 0.0;
            int stanceCount = 0;
            for (const StrideParameters& stride : strides) {
                if (stride.side != side) {
                    continue;
                }
                if (stride.stancePercent) {
                    stance += *stride.stancePercent;
                    ++stanceCount;
                }
                if (auto curve = Resample(series, stride.startFrame, stride.endFrame)) {
                    target.strides.push_back(*curve);
                    target.strideStarts.push_back(stride.startFrame);
                }
            }
            if (stanceCount > 0) {
                target.stancePercent = stance / stanceCount;
            }
            Summarise(target);
        }
        result.push_back(std::move(cycles));
    }
    return result;
}

std::optional<double> CyclePosition(const std::vector<StrideParameters>& strides, FootSide side,
                                    int frame) {
    // A strike ends one stride and starts the next: it counts as the next one's 0 %.
    std::optional<double> end;
    for (const StrideParameters& s : strides) {
        if (s.side != side || s.endFrame <= s.startFrame) {
            continue;
        }
        if (frame >= s.startFrame && frame < s.endFrame) {
            return 100.0 * (frame - s.startFrame) / (s.endFrame - s.startFrame);
        }
        if (frame == s.endFrame) {
            end = 100.0;
        }
    }
    return end;
}

ReferenceBandResult ReadReferenceBand(const std::string& path) {
    constexpr std::uint64_t kMaxBytes = 1 << 20;
    ReferenceBandResult result;
    std::error_code ec;
    const auto type = std::filesystem::status(path, ec).type();
    if (type == std::filesystem::file_type::not_found) {
        result.error = "there is no such file";
        return result;
    }
    // A folder, a FIFO or a device is no table, and a FIFO would never end a read.
    if (type != std::filesystem::file_type::regular) {
        result.error = type == std::filesystem::file_type::directory
                           ? "this is a folder, not a file"
                           : "this is not a regular file";
        return result;
    }
    const ReadOnlyFile file(path);
    if (!file.ok()) {
        result.error = "the file cannot be read";
        return result;
    }
    if (file.size() > kMaxBytes) {
        result.error = "the file is larger than 1 MB";
        return result;
    }
    const std::vector<uint8_t> read = file.ReadUpTo(0, file.size());
    if (read.size() != file.size()) {
        result.error = "the file cannot be read";
        return result;
    }
    const std::string bytes(read.begin(), read.end());
    std::istringstream lines(bytes);
    std::string line;
    std::getline(lines, line);  // header
    std::vector<double> percent, mean, sd;
    int number = 1;
    while (std::getline(lines, line)) {
        ++number;
        if (line.empty() || line == "\r") {
            continue;
        }
        double values[3];
        std::size_t start = 0;
        bool ok = true;
        for (int k = 0; k < 3 && ok; ++k) {
            const std::size_t comma = line.find(',', start);
            const std::size_t end = k < 2 ? comma : line.size();
            ok = end != std::string::npos &&
                 ParseNumber(std::string_view(line).substr(start, end - start), values[k]);
            start = end + 1;
        }
        if (!ok) {
            result.error = "line " + std::to_string(number) + " is not Percent,Mean,SD: \"" +
                           Excerpt(line) + "\"";
            return result;
        }
        if (values[2] < 0.0) {
            result.error = "line " + std::to_string(number) + ": a negative SD";
            return result;
        }
        // Joint angles in degrees: anything wider is another quantity or a damaged file.
        if (std::abs(values[1]) > kMaxBandDegrees || values[2] > kMaxBandDegrees) {
            result.error = "line " + std::to_string(number) +
                           ": Mean and SD are joint angles in degrees, from -360 to 360";
            return result;
        }
        if (!percent.empty() && values[0] <= percent.back()) {
            result.error = "line " + std::to_string(number) + ": the percents do not ascend";
            return result;
        }
        percent.push_back(values[0]);
        mean.push_back(values[1]);
        sd.push_back(values[2]);
    }
    if (percent.empty()) {
        result.error = "the file holds no Percent,Mean,SD rows";
        return result;
    }
    if (percent.front() > 0.0 || percent.back() < 100.0) {
        result.error = "the percents do not cover 0 to 100";
        return result;
    }
    ReferenceBand band;
    std::size_t j = 0;
    for (int p = 0; p < kCyclePoints; ++p) {
        while (j + 1 < percent.size() && percent[j + 1] < p) {
            ++j;
        }
        const std::size_t k = std::min(j + 1, percent.size() - 1);
        const double share =
            k == j ? 0.0 : std::clamp((p - percent[j]) / (percent[k] - percent[j]), 0.0, 1.0);
        band.mean[p] = mean[j] + (mean[k] - mean[j]) * share;
        band.sd[p] = sd[j] + (sd[k] - sd[j]) * share;
    }
    result.band = band;
    return result;
}

}  // namespace kivra
