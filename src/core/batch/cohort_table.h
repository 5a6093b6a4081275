#pragma once
// cohort.csv of a batch run: one row per video with its status, stride counts, summary
// parameters and warnings, each row rebuilt from the files of its result folder so that a
// result done in an earlier run reads exactly like a new one.
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kivra {

// One video's row; made by the batch command, one per video in the order of the file names.
struct CohortRow {
    enum Status { kOk, kFailed, kSkipped };
    std::string file;  // the video as it was given
    std::string date;  // its modification time (FileDateText)
    Status status = kOk;
    std::string reason;  // why it failed or was skipped
    std::string lengthUnit;
    int stridesRight = 0, stridesLeft = 0;
    // The summary's parameters as summary.csv names and writes them: the mean and each side,
    // the band deviations and profile scores, StridesLeftOut; no SDs or counts.
    std::vector<std::pair<std::string, std::string>> values;
    std::vector<std::string> warnings;  // "CODE: text"
};

// Fills row's counts, values and warnings from folder's summary.csv and strides.csv; false,
// with row.reason said, when they cannot be read.
bool ReadResultRow(const std::string& folder, CohortRow& row);

// The table: File,Date,Status,Reason,LengthUnit,Strides_R,Strides_L, then every parameter any
// row has in the order they first appear, then Warnings (joined by " | "); decimal points,
// CR LF line ends, fields quoted where they hold a comma or quote, a line end in one a blank.
std::string FormatCohortCsv(const std::vector<CohortRow>& rows);

// The rows of cohort.csv texts as FormatCohortCsv wrote them, in their order: to join the
// tables of several machines, whose columns may differ. Nothing, with problem said, when a
// text is not such a table.
std::optional<std::vector<CohortRow>> ReadCohortCsv(const std::string& text, std::string& problem);

// The fields of one CSV line, quotes taken off ("" inside quotes is one ").
std::vector<std::string> CsvLineFields(const std::string& line);

}  // namespace kivra
