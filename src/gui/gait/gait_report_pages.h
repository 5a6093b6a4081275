#pragma once
// The gait report's page drawing, shared by the two runs of WriteGaitReport (one that counts
// the pages, one that writes them); private to kivra_gait_report.
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QString>

#include "gait/gait_report_input.h"

class QPainter;
class QPdfWriter;

namespace kivra {

// A chart over the gait cycle: where a value stands in plot, from 0 to 100 % across and lo to
// hi degrees up.
struct CycleScale {
    QRectF plot;
    double lo = 0.0, hi = 0.0;
    QPointF At(double percent, double degrees) const {
        return {plot.left() + plot.width() * percent / 100.0,
                plot.bottom() - plot.height() * (degrees - lo) / (hi - lo)};
    }
    // A curve's line, and the area between mean - sd and mean + sd.
    QPainterPath Curve(const CycleCurve& values) const;
    QPainterPath Band(const CycleCurve& mean, const CycleCurve& sd) const;
};
// The degrees such a chart must show: the finite values widened into it.
struct CycleRange {
    double lo = 1e300, hi = -1e300;
    bool Empty() const { return lo > hi; }
    void Widen(double v);
    void Widen(const CycleCurve& values);
    void Widen(const CycleCurve& mean, const CycleCurve& sd);  // mean ± sd
};
// Draws the frame of such a chart in the current font: lo and hi rounded out to tens of
// degrees, the grid with its numbers and both axis titles (box holds plot and its margins).
CycleScale DrawCycleChartFrame(QPainter& p, double mm, const QRectF& box, const QRectF& plot,
                               double lo, double hi);

// Draws the whole report with painter, active on writer; count heads each page as its total
// (0 while it is not known). The pages drawn.
int DrawGaitReportPages(QPdfWriter& writer, QPainter& painter, const GaitReportInput& input,
                        int count);

}  // namespace kivra
