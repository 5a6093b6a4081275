#pragma once
// The report of two visits compared: A4 pages in the interface language naming which visit is
// which, the parameter table (before, after, difference, % change per side), the sagittal
// profile scores of both, still frames of both at the same gait event, and each angle's mean
// cycle of both visits on one chart over its normal band. Used by the window and kivra-cli;
// needs a QGuiApplication for its fonts.
#include <QString>

#include <functional>
#include <optional>

#include "gait/compare_report_input.h"
#include "gait/gait_report.h"

namespace kivra {

// The first still of ReportStillFrames (right heel strike first) that both visits have.
std::optional<StillFrame> SharedStillFrame(const GaitAnalysis& before, const GaitAnalysis& after);

// The still of one visit at `at`, masked and with its markers named as the gait report's;
// picture decodes a frame.
ReportStill CompareStill(const GaitAnalysis& analysis, const GaitAnalysisOptions& options,
                         const Workspace& workspace, const StillFrame& at,
                         const std::function<const Dib*(int frame)>& picture);

// Writes the report in one step (a failed write leaves an older file as it was); the reason
// in words when it fails.
std::optional<QString> WriteCompareReport(const QString& path, const CompareReportInput& input);

}  // namespace kivra
