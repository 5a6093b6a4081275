#pragma once
// The clinical gait report: A4 pages drawn with Qt's own PDF writer, in the interface
// language: the video and the date, the parameter table (mean ± SD, right and left), the
// joint-angle cycle curves and still frames at the heel strikes with the markers drawn.
// Used by the window and by kivra-cli; needs a QGuiApplication for its fonts.
#include <QDateTime>
#include <QImage>
#include <QString>

#include <optional>
#include <vector>

#include "gait/gait_analysis.h"

namespace kivra {

struct Dib;

// One still: a frame's picture and the markers on it (image pixels), with its caption data.
struct ReportStill {
    QImage picture;
    std::vector<ImagePoint> markers;
    int frame = 0;
    FootSide side = FootSide::kRight;
};

struct GaitReportInput {
    QString videoName;
    QDateTime made;
    const GaitAnalysis* analysis = nullptr;
    std::optional<ReferenceBand> reference;
    std::vector<ReportStill> stills;
};

// The picture of a decoded frame (24 bits, any row order), as a QImage of its own.
QImage PictureOfDib(const Dib& dib);

// The heel-strike frame of the first stride of each side, right first.
std::vector<std::pair<FootSide, int>> ReportStillFrames(const GaitAnalysis& analysis);

// Writes the report in one step (a failed write leaves an older file as it was); the reason
// in words when it fails.
std::optional<QString> WriteGaitReport(const QString& path, const GaitReportInput& input);

}  // namespace kivra
