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
#include "gait/gait_report_input.h"
#include "gait/gait_texts.h"

class CLFFManager;
class QPainter;
class QPdfWriter;
class CTrimmingParam;

namespace kivra {

struct Dib;
class Workspace;

// Writes an A4 PDF titled title at path in one step (a failure keeps the old file): draw
// paints every page and returns how many it drew, given the total (0 while a first run into
// memory counts them, on the same kind of device so the text breaks the same way). What went
// wrong, for the user, or nothing.
std::optional<QString> WriteA4Pdf(const QString& path, const QString& title,
                                  const std::function<int(QPdfWriter&, QPainter&, int)>& draw);

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
