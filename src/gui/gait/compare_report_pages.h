#pragma once
// The comparison report's page drawing, shared by the counting and the writing run of
// WriteCompareReport; private to kivra_gait_report.
#include "gait/compare_report_input.h"

class QPainter;
class QPdfWriter;

namespace kivra {

// Draws the whole report with painter, active on writer; count heads each page as its total
// (0 while it is not known). The pages drawn.
int DrawCompareReportPages(QPdfWriter& writer, QPainter& painter, const CompareReportInput& input,
                           int count);

}  // namespace kivra
