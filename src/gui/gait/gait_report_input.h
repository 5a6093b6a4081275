#pragma once
// What a gait report is drawn from: the video, the patient and visit, the analysis with its
// options and bands, and the stills with their markers named. Filled by the window or
// kivra-cli and handed to WriteGaitReport.
#include <QDateTime>
#include <QImage>
#include <QString>

#include <optional>
#include <vector>

#include "frontal/frontal_measures.h"
#include "gait/gait_analysis.h"
#include "gait/normal_bands.h"
#include "gait/report_header.h"

namespace kivra {

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
    // The front view's curves and summary on a page of their own; null: no front view.
    const FrontalAnalysis* frontal = nullptr;
};

}  // namespace kivra
