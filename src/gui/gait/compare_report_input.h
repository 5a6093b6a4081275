#pragma once
// What a comparison report is drawn from: the two visits with their analyses and stills, and
// the comparison of them. Filled by the window or kivra-cli and handed to WriteCompareReport.
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

#include "compare/visit_comparison.h"
#include "gait/gait_report_input.h"

namespace kivra {

// One visit as the report shows it; the analysis is the caller's.
struct CompareVisitInput {
    QString videoName;  // the file name alone
    QString date;       // YYYY-MM-DD
    const GaitAnalysis* analysis = nullptr;
    std::optional<double> mmPerPixel;  // the calibration it measured in; none: pixels
    std::optional<ReportStill> still;  // at the event both visits show
};

// What the comparison report is drawn from; filled by the window or kivra-cli.
struct CompareReportInput {
    QDateTime made;
    QString patient;  // may be empty
    CompareVisitInput before, after;
    const VisitComparison* comparison = nullptr;
    std::vector<NormalBand> bands;  // drawn behind the curves they belong to
};

}  // namespace kivra
