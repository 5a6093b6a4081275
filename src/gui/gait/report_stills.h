#pragma once
// A still of the walker in a report: its picture cropped around the markers, each marker a dot
// with its label beside it where no other label sits. Shared by the gait and the comparison
// reports; private to kivra_gait_report.
#include <QColor>
#include <QRectF>
#include <functional>

#include "gait/gait_report_input.h"
#include "gait/report_flow.h"

namespace kivra {

// The part of a still around its markers, with room about them, in the shape of its box
// (aspect: height over width): the walker large enough to see the posture. The whole picture
// without markers.
QRectF StillCrop(const ReportStill& still, double aspect);

// The still's picture in frame (an empty frame without a picture), its markers in colourOf.
void DrawStillPicture(ReportFlow& flow, const QRectF& frame, const ReportStill& still,
                      const std::function<QColor(const StillMarker&)>& colourOf);

}  // namespace kivra
