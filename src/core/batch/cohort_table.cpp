#include "batch/cohort_table.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "platform/path_util.h"
#include "platform/translation.h"

namespace kivra {
namespace {

// The lines of a small text file, CR taken off; false when it cannot be read.
bool ReadLines(const std::string& path, std::vector<std::string>& lines) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
    }
    return !in.bad();
}

// The summary rows a cohort compares on; SDs and counts stay in each video's own file.
bool IsCohortValue(const std::string& name) {
    return !name.ends_with("_SD") && !name.ends_with("_Count") &&
           !name.starts_with("StrideLeftOut_") && name != "Warning";
}

// One record a line, so that a table is joined line by line: a line end becomes a blank.
std::string Quoted(const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        return field;
    }
    std::string out = "\"";
    for (const char c : field) {
        out += c == '"' ? std::string("\"\"") : std::string(1, c == '\r' || c == '\n' ? ' ' : c);
    }
    return out + "\"";
}

const char* StatusName(CohortRow::Status status) {
    switch (status) {
        case CohortRow::kOk:
            return "ok";
        case CohortRow::kFailed:
            return "failed";
        case CohortRow::kSkipped:
            return "skipped";
    }
    return "";
}

}  // namespace

std::vector<std::string> CsvLineFields(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

bool ReadResultRow(const std::string& folder, CohortRow& row) {
    std::vector<std::string> summary, strides;
    if (!ReadLines(JoinPath(folder, "summary.csv"), summary) ||
        !ReadLines(JoinPath(folder, "strides.csv"), strides) || summary.empty() ||
        summary.front() != "Parameter,Value,Unit") {
        row.reason = folder + ": " + translate("BatchMessages", "結果のファイルを読めません");
        return false;
    }
    for (std::size_t i = 1; i < summary.size(); ++i) {
        const std::vector<std::string> f = CsvLineFields(summary[i]);
        if (f.size() < 3) {
            continue;
        }
        if (f[0] == "Warning") {
            row.warnings.push_back(f[1] + ": " + f[2]);
        } else if (IsCohortValue(f[0])) {
            row.values.emplace_back(f[0], f[1]);
            if (f[0] == "StrideLength") {
                row.lengthUnit = f[2];
            }
        }
    }
    for (std::size_t i = 1; i < strides.size(); ++i) {
        const std::vector<std::string> f = CsvLineFields(strides[i]);
        row.stridesRight += f[0] == "R" ? 1 : 0;
        row.stridesLeft += f[0] == "L" ? 1 : 0;
    }
    return true;
}

std::string FormatCohortCsv(const std::vector<CohortRow>& rows) {
    std::vector<std::string> names;
    for (const CohortRow& row : rows) {
        for (const auto& [name, value] : row.values) {
            if (std::find(names.begin(), names.end(), name) == names.end()) {
                names.push_back(name);
            }
        }
    }
    std::string out = "File,Date,Status,Reason,LengthUnit,Strides_R,Strides_L";
    for (const std::string& name : names) {
        out += "," + Quoted(name);
    }
    out += ",Warnings\r\n";
    for (const CohortRow& row : rows) {
        const bool made = row.status == CohortRow::kOk;
        out += Quoted(row.file) + "," + row.date + "," + StatusName(row.status) + "," +
               Quoted(row.reason) + "," + Quoted(row.lengthUnit) + "," +
               (made ? std::to_string(row.stridesRight) : "") + "," +
               (made ? std::to_string(row.stridesLeft) : "");
        for (const std::string& name : names) {
            const auto value = std::find_if(row.values.begin(), row.values.end(),
                                            [&](const auto& v) { return v.first == name; });
            out += "," + (value != row.values.end() ? Quoted(value->second) : std::string());
        }
        std::string warnings;
        for (const std::string& w : row.warnings) {
            warnings += (warnings.empty() ? "" : " | ") + w;
        }
        out += "," + Quoted(warnings) + "\r\n";
    }
    return out;
}

std::optional<std::vector<CohortRow>> ReadCohortCsv(const std::string& text, std::string& problem) {
    static const std::vector<std::string> kFirst = {"File",       "Date",      "Status",   "Reason",
                                                    "LengthUnit", "Strides_R", "Strides_L"};
    std::vector<CohortRow> rows;
    std::vector<std::string> names;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end;
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::vector<std::string> f = CsvLineFields(line);
        if (names.empty()) {
            if (f.size() < kFirst.size() + 1 ||
                !std::equal(kFirst.begin(), kFirst.end(), f.begin()) || f.back() != "Warnings") {
                problem = translate("BatchMessages", "cohort.csv の表ではありません");
                return std::nullopt;
            }
            names = f;
            continue;
        }
        if (line.empty()) {
            continue;
        }
        if (f.size() != names.size()) {
            problem = ArgText(translate("BatchMessages", "%1 行目の列の数が見出しと違います"),
                              {std::to_string(rows.size() + 2)});
            return std::nullopt;
        }
        CohortRow& row = rows.emplace_back();
        row.file = f[0];
        row.date = f[1];
        row.status = f[2] == "failed"    ? CohortRow::kFailed
                     : f[2] == "skipped" ? CohortRow::kSkipped
                                         : CohortRow::kOk;
        row.reason = f[3];
        row.lengthUnit = f[4];
        row.stridesRight = std::atoi(f[5].c_str());
        row.stridesLeft = std::atoi(f[6].c_str());
        for (std::size_t i = kFirst.size(); i + 1 < f.size(); ++i) {
            row.values.emplace_back(names[i], f[i]);
        }
        for (std::size_t from = 0; !f.back().empty();) {
            const std::size_t bar = f.back().find(" | ", from);
            row.warnings.push_back(f.back().substr(from, bar - from));
            if (bar == std::string::npos) {
                break;
            }
            from = bar + 3;
        }
    }
    if (names.empty()) {
        problem = translate("BatchMessages", "cohort.csv の表ではありません");
        return std::nullopt;
    }
    return rows;
}

}  // namespace kivra
