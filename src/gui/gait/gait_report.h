#pragma once
// The clinical gait report: A4 pages drawn with Qt's own PDF writer, in the interface
// language: the video and the date, the parameter table (mean ± SD, right and left), the
// joint-angle cycle curves and still frames at the heel strikes with the markers drawn.
// Used by the window and by kivra-cli; needs a QGuiApplication for its fonts.
#include <QDateTime>
#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

#include "gait/gait_analysis.h"

class CLFFManager;

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

// A summary parameter's name for the user ("StrideTime": stride time), and a statistic as
// "mean ± SD" with the decimals its unit wants (DecimalsOf), "–" without a mean.
QString ParameterLabel(const std::string& name);
// A summary unit as the user reads it ("steps/min": 歩/分); the others are symbols.
QString UnitLabel(const std::string& unit);
int DecimalsOf(const std::string& unit);
QString StatisticText(const Statistic& s, int decimals);

// "右 45-78: 右の踵マーカの欠落 (フレーム 57-60)": a stride left out and why, for the user.
QString LeftOutText(const LeftOutStride& stride);
// A warning that the measurement may not hold, for the user; empty for those AnalysisNotes
// lists stride by stride.
QString GaitWarningText(const GaitWarning& warning);
// Why a foot gives no stride, for the user.
QString FootWithoutStridesText(const FootWithoutStrides& foot);
// The feet without strides and the strides left out (the first `strides` of them named), one
// line each; empty when the analysis leaves nothing out.
QStringList AnalysisNotes(const GaitAnalysis& analysis, std::size_t strides);

// The picture of a decoded frame (24 bits, any row order), as a QImage of its own.
QImage PictureOfDib(const Dib& dib);

// The heel-strike frame of the first stride of each side, right first.
std::vector<std::pair<FootSide, int>> ReportStillFrames(const GaitAnalysis& analysis);

// The stills of ReportStillFrames with the markers placed on them; picture decodes a frame
// (null: the still is left blank).
std::vector<ReportStill> ReportStills(const GaitAnalysis& analysis, const CLFFManager& markers,
                                      const std::function<const Dib*(int frame)>& picture);

// Writes the report in one step (a failed write leaves an older file as it was); the reason
// in words when it fails.
std::optional<QString> WriteGaitReport(const QString& path, const GaitReportInput& input);

}  // namespace kivra
