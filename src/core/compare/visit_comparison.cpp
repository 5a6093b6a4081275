#include "compare/visit_comparison.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>

#include "platform/number_text.h"
#include "platform/replace_file.h"

namespace kivra {
namespace {

bool Finite(const std::optional<double>& v) {
    return v && std::isfinite(*v);
}

bool IsLengthUnit(const std::string& unit) {
    return unit == "mm" || unit == "px" || unit == "mm/s" || unit == "px/s";
}

ComparisonRow Row(const std::string& parameter, const std::string& side, std::string unit,
                  const std::optional<double>& before, const std::optional<double>& after,
                  bool comparable) {
    ComparisonRow row{parameter, side, std::move(unit), {}, {}, {}, {}};
    if (Finite(before)) {
        row.before = before;
    }
    if (Finite(after)) {
        row.after = after;
    }
    if (comparable && row.before && row.after) {
        row.difference = *row.after - *row.before;
        // A share already in per cent changes by points: a percentage of it says nothing.
        if (*row.before != 0.0 && row.unit != "%") {
            row.percentChange = 100.0 * *row.difference / std::fabs(*row.before);
        }
    }
    return row;
}

const AngleCycles* FindCycles(const std::vector<AngleCycles>& all, const AngleCycles& like,
                              FootSide side) {
    const std::string column = CycleColumnName(like, side);
    for (const AngleCycles& cycles : all) {
        if ((!cycles.side || *cycles.side == side) && CycleColumnName(cycles, side) == column) {
            return &cycles;
        }
    }
    return nullptr;
}

std::optional<double> RangeOf(const AngleCycles* cycles, FootSide side) {
    if (cycles == nullptr) {
        return std::nullopt;
    }
    const SideCycles& c = side == FootSide::kRight ? cycles->right : cycles->left;
    return c.mean ? std::optional<double>(RangeOfMotion(*c.mean)) : std::nullopt;
}

std::string CsvText(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

}  // namespace

double RangeOfMotion(const CycleCurve& curve) {
    const auto [lo, hi] = std::minmax_element(curve.begin(), curve.end());
    return *hi - *lo;
}

VisitComparison CompareVisits(const GaitAnalysis& before, const GaitAnalysis& after,
                              VisitLabel beforeLabel, VisitLabel afterLabel) {
    VisitComparison result;
    result.before = std::move(beforeLabel);
    result.after = std::move(afterLabel);
    result.beforeDeviation = before.deviation;
    result.afterDeviation = after.deviation;
    result.lengthUnitsDiffer = before.parameters.millimetres != after.parameters.millimetres;

    // The summary's order is fixed, so a parameter of one visit is found by its name.
    const auto& names =
        !before.parameters.summary.empty() ? before.parameters.summary : after.parameters.summary;
    for (const ParameterSummary& shape : names) {
        const ParameterSummary* b = FindParameter(before.parameters, shape.name);
        const ParameterSummary* a = FindParameter(after.parameters, shape.name);
        const Statistic none;
        const auto stat = [&none](const ParameterSummary* p, FootSide side) -> const Statistic& {
            return p == nullptr ? none : (side == FootSide::kRight ? p->right : p->left);
        };
        std::string unit = shape.unit;
        bool comparable = true;
        if (b != nullptr && a != nullptr && b->unit != a->unit) {
            unit = b->unit + "/" + a->unit;
            comparable = false;
        } else if (IsLengthUnit(unit) && result.lengthUnitsDiffer) {
            comparable = false;
        }
        bool sided = false;
        for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
            const Statistic& sb = stat(b, side);
            const Statistic& sa = stat(a, side);
            if (sb.count > 0 || sa.count > 0) {
                sided = true;
                result.rows.push_back(Row(shape.name, side == FootSide::kRight ? "R" : "L", unit,
                                          sb.mean, sa.mean, comparable));
            }
        }
        if (!sided) {
            result.rows.push_back(Row(shape.name, "Both", unit,
                                      b != nullptr ? b->both.mean : std::nullopt,
                                      a != nullptr ? a->both.mean : std::nullopt, comparable));
        }
    }

    // Every angle of either visit, in the after visit's order, then those only before had.
    std::vector<const AngleCycles*> angles;
    for (const auto* visit : {&after, &before}) {
        for (const AngleCycles& cycles : visit->cycles) {
            const bool known = std::any_of(angles.begin(), angles.end(), [&](const auto* seen) {
                return CycleBaseName(*seen) == CycleBaseName(cycles) && seen->side == cycles.side;
            });
            if (!known) {
                angles.push_back(&cycles);
            }
        }
    }
    for (const AngleCycles* cycles : angles) {
        for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
            if (cycles->side && *cycles->side != side) {
                continue;
            }
            const auto b = RangeOf(FindCycles(before.cycles, *cycles, side), side);
            const auto a = RangeOf(FindCycles(after.cycles, *cycles, side), side);
            if (b || a) {
                result.rows.push_back(Row("RangeOfMotion_" + CycleBaseName(*cycles),
                                          side == FootSide::kRight ? "R" : "L", "deg", b, a, true));
            }
        }
    }

    const ProfileDeviation& pb = before.deviation;
    const ProfileDeviation& pa = after.deviation;
    // A side without a banded curve in either visit has no score to compare.
    const std::pair<const char*, std::optional<double> ProfileDeviation::*> scores[] = {
        {"R", &ProfileDeviation::scoreRight},
        {"L", &ProfileDeviation::scoreLeft},
        {"Both", &ProfileDeviation::score}};
    for (const auto& [side, score] : scores) {
        if (pb.*score || pa.*score) {
            result.rows.push_back(
                Row("SagittalProfileScore", side, "deg", pb.*score, pa.*score, true));
        }
    }
    return result;
}

std::string FormatComparisonCsv(const VisitComparison& comparison) {
    std::string out = "Parameter,Side,Unit,Before,After,Difference,PercentChange\r\n";
    out += "File,,," + CsvText(comparison.before.fileName) + "," +
           CsvText(comparison.after.fileName) + ",,\r\n";
    out += "Date,,," + CsvText(comparison.before.date) + "," + CsvText(comparison.after.date) +
           ",,\r\n";
    for (const ComparisonRow& row : comparison.rows) {
        out += CsvText(row.parameter) + "," + row.side + "," + CsvText(row.unit) + ",";
        AppendFixed(out, row.before, 4);
        out += ",";
        AppendFixed(out, row.after, 4);
        out += ",";
        AppendFixed(out, row.difference, 4);
        out += ",";
        AppendFixed(out, row.percentChange, 2);
        out += "\r\n";
    }
    return out;
}

bool WriteComparisonCsv(const std::string& path, const VisitComparison& comparison) {
    return ReplaceFileContents(path, FormatComparisonCsv(comparison));
}

std::string FileDate(const std::string& path) {
    std::error_code error;
    const auto written = std::filesystem::last_write_time(path, error);
    if (error) {
        return {};
    }
    const std::time_t seconds =
        std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(written));
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) {
        return {};
    }
    char text[16] = {};
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

bool IsIsoDate(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return false;
    }
    for (const std::size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u}) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
    }
    const std::chrono::year_month_day date{
        std::chrono::year(std::stoi(text.substr(0, 4))),
        std::chrono::month(unsigned(std::stoi(text.substr(5, 2)))),
        std::chrono::day(unsigned(std::stoi(text.substr(8, 2))))};
    return date.ok();
}

}  // namespace kivra
