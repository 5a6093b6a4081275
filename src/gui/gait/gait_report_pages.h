#pragma once
// The gait report's page drawing, shared by the two runs of WriteGaitReport (one that counts
// the pages, one that writes them); private to kivra_gait_report.
#include <QString>

#include "gait/gait_report_input.h"

class QPainter;
class QPdfWriter;

namespace kivra {

// Draws the whole report with painter, active on writer; count heads each page as its total
// (0 while it is not known). The pages drawn.
int DrawGaitReportPages(QPdfWriter& writer, QPainter& painter, const GaitReportInput& input,
                        int count);

}  // namespace kivra
