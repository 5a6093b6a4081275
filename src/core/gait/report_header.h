#pragma once
// Who and what a gait report is about: the patient, the visit and the walking condition, as
// the clinician entered them for one video. Kept in a small file of its own beside the marker
// file, "<marker file base>.kvisit", never in the marker file itself:
//
//   kivra-visit 1
//   patient 山田 太郎
//   comment 右膝の術後 6 か月\n杖なし
//   leg-length 845.5
//
// One "key value" line per field given; the value is escaped (\\ \n \r \t, \s for a blank at
// either end, \xHH for other control characters) so that any UTF-8 text comes back exactly.
// Unknown keys are refused, so a newer file is never half understood.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kivra {

struct ReportHeader {
    std::string patient;  // name or ID
    std::string birth;    // date of birth or age, as typed
    std::string visit;    // visit date, as typed
    std::string examiner;
    std::string condition;  // barefoot, shoes, orthosis, walking aid, or the clinician's words
    std::string comment;    // free text, may hold line breaks
    std::optional<double> legLengthMm;  // for the parameters normalised to leg length
    bool operator==(const ReportHeader&) const = default;

    bool Empty() const { return *this == ReportHeader{}; }
};

// The header file of a marker file: its extension replaced by ".kvisit".
std::string ReportHeaderPath(const std::string& markerPath);

inline constexpr int kReportHeaderVersion = 1;
// Files larger than this are not ours; a header that would be larger is not written.
inline constexpr std::size_t kMaxReportHeaderBytes = 64u << 10;
// Leg lengths are above zero and below this (mm): a value past it is a typing error.
inline constexpr double kMaxLegLengthMm = 3000.0;

// The whole text as a leg length in mm (a decimal point), or nothing when it is not a finite
// number above zero and below kMaxLegLengthMm.
std::optional<double> ParseLegLength(std::string_view text);

struct ReportHeaderRead {
    enum Status { kMissing, kLoaded, kDamaged };
    Status status = kMissing;
    ReportHeader header;  // only with kLoaded
    std::string problem;  // only with kDamaged: what is wrong, for the user
};

// The file's text; ParseReportHeader reads it back exactly.
std::string FormatReportHeader(const ReportHeader& header);
ReportHeaderRead ParseReportHeader(std::string_view text);
// Missing when nothing is at path; damaged when it cannot be read, is not a regular file (a
// FIFO is never opened), is too large or does not parse.
ReportHeaderRead ReadReportHeader(const std::string& path);
// Replaces the file in one step, readable by its owner only when new; false leaves an old one
// intact, and refuses a header whose file would be too large.
bool WriteReportHeader(const std::string& path, const ReportHeader& header);

}  // namespace kivra
