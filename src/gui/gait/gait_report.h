#pragma once
// The clinical gait report: A4 pages drawn with Qt's own PDF writer, in the interface
// language, flowed so each page is used: the patient and visit, the recording and its marker
// IDs, what the numbers leave out, the parameter table (mean ± SD, right and left), every
// event, still frames at a heel strike and a toe-off of each side with the markers named and
// the face masked as in the trimmed movie, and the joint-angle cycle curves against their
// normal bands. Used by the window and by kivra-cli; needs a QGuiApplication for its fonts.
#include <QDateTime>
#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "gait/gait_analysis.h"
#include "gait/normal_bands.h"
#include "gait/report_header.h"

class CLFFManager;
class CTrimmingParam;

namespace kivra {

struct Dib;
class Workspace;

// What a marker ID stands for in the analysis ("R heel", "R knee", "knee B"), in the
// interface language, and the side it belongs to (none: pelvis, a plain angle's markers).
struct MarkerRole {
    QString name;
    std::optional<FootSide> side;
};

// One marker on a still: image pixels, its ID and role (an empty name: no role).
struct StillMarker {
    ImagePoint at;
    int id = 0;
    MarkerRole role;
};

// One still: a frame's picture (the face mosaic already applied) and its markers.
struct ReportStill {
    QImage picture;
    std::vector<StillMarker> markers;
    int frame = 0;
    FootSide side = FootSide::kRight;
    GaitEventKind kind = GaitEventKind::kHeelStrike;
    bool masked = false;  // the movie's face mosaic lies over it
};

struct GaitReportInput {
    QString videoName;
    QDateTime made;
    ReportHeader header;
    const GaitAnalysis* analysis = nullptr;
    const GaitAnalysisOptions* options = nullptr;  // the recording's setup; null: not shown
    std::vector<NormalBand> bands;                 // each drawn behind its own curve only
    std::vector<ReportStill> stills;
};

// A summary parameter's name for the user ("StrideTime": stride time), and a statistic as
// "mean ± SD" with the decimals its unit wants (DecimalsOf), "–" without a mean.
QString ParameterLabel(const std::string& name);
// A summary unit as the user reads it ("steps/min": 歩/分, "deg": °); the others are symbols.
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

// The role of every marker ID the options name: the feet and the pelvis first, then the
// joints (the marker at "R knee" of R:knee=2,3,4 is "R knee"), then the plain angles (name and
// A, B or C); an ID keeps the first role it gets.
std::map<int, MarkerRole> MarkerRoles(const GaitAnalysisOptions& options);

// The heel strike and the toe-off of the first stride of each side, right first.
struct StillFrame {
    FootSide side = FootSide::kRight;
    GaitEventKind kind = GaitEventKind::kHeelStrike;
    int frame = 0;
};
std::vector<StillFrame> ReportStillFrames(const GaitAnalysis& analysis);

// The trimmed movie's face mosaic: the trimming rectangle of every frame, the patch's shape
// and the movie's picture size.
struct MovieMosaic {
    const CTrimmingParam* trims = nullptr;
    int type = 0;
    int width = 0;
    int height = 0;
};

// Lays over picture (the decoded frame as PictureOfDib gives it) the patch the trimmed movie
// pixelates on that frame, as the movie renders it, scaled back onto the frame's pixels and
// rounded outward; nothing without a trimming rectangle or a mosaic. Whether it laid one.
bool ApplyMovieMosaic(QImage& picture, const Dib& frame, const MovieMosaic& mosaic,
                      int frameNumber);

// The stills of ReportStillFrames, masked, with the markers and their roles (options may be
// null); picture decodes a frame (null: the still is left blank).
std::vector<ReportStill> ReportStills(const GaitAnalysis& analysis,
                                      const GaitAnalysisOptions* options,
                                      const CLFFManager& markers, const MovieMosaic& mosaic,
                                      const std::function<const Dib*(int frame)>& picture);
// The same with the open video's markers, trimming rectangles and mosaic.
std::vector<ReportStill> ReportStills(const GaitAnalysis& analysis,
                                      const GaitAnalysisOptions* options,
                                      const Workspace& workspace,
                                      const std::function<const Dib*(int frame)>& picture);

// Writes the report in one step (a failed write leaves an older file as it was); the reason
// in words when it fails.
std::optional<QString> WriteGaitReport(const QString& path, const GaitReportInput& input);

}  // namespace kivra
