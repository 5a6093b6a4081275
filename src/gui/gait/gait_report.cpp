#include "gait/gait_report.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

#include "document/vfw_doc.h"
#include "gait/gait_report_pages.h"
#include "markers/lff_manager.h"
#include "markers/video_annotations.h"
#include "picture/dib.h"
#include "rendering/trimmed_picture.h"
#include "session/edit_session.h"
#include "workspace/workspace.h"

namespace kivra {

QImage PictureOfDib(const Dib& dib) {
    if (dib.Empty() || dib.header.biBitCount != 24) {
        return {};
    }
    QImage image(dib.Width(), dib.Height(), QImage::Format_RGB888);
    for (int y = 0; y < dib.Height(); ++y) {
        const uint8_t* from = dib.PictureRow(y);
        uint8_t* to = image.scanLine(y);
        for (int x = 0; x < dib.Width(); ++x) {
            to[3 * x] = from[3 * x + 2];  // BGR to RGB
            to[3 * x + 1] = from[3 * x + 1];
            to[3 * x + 2] = from[3 * x];
        }
    }
    return image;
}

namespace {

// A body part a joint's marker stands at.
enum class BodyPart { kTrunk, kHip, kKnee, kAnkle, kToe };

QString BodyPartRole(BodyPart part, FootSide side) {
    const bool right = side == FootSide::kRight;
    switch (part) {
        case BodyPart::kTrunk:
            return right ? QCoreApplication::translate("GaitReport", "右体幹")
                         : QCoreApplication::translate("GaitReport", "左体幹");
        case BodyPart::kHip:
            return right ? QCoreApplication::translate("GaitReport", "右股関節")
                         : QCoreApplication::translate("GaitReport", "左股関節");
        case BodyPart::kKnee:
            return right ? QCoreApplication::translate("GaitReport", "右膝")
                         : QCoreApplication::translate("GaitReport", "左膝");
        case BodyPart::kAnkle:
            return right ? QCoreApplication::translate("GaitReport", "右足関節")
                         : QCoreApplication::translate("GaitReport", "左足関節");
        case BodyPart::kToe:
            break;
    }
    return right ? QCoreApplication::translate("GaitReport", "右つま先")
                 : QCoreApplication::translate("GaitReport", "左つま先");
}

}  // namespace

std::map<int, MarkerRole> MarkerRoles(const GaitAnalysisOptions& options) {
    std::map<int, MarkerRole> roles;
    const auto add = [&](int id, const QString& name, std::optional<FootSide> side) {
        if (id > 0) {
            roles.try_emplace(id, MarkerRole{name, side});
        }
    };
    for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
        const auto& foot = side == FootSide::kRight ? options.setup.right : options.setup.left;
        if (foot) {
            add(foot->heelId,
                side == FootSide::kRight ? QCoreApplication::translate("GaitReport", "右踵")
                                         : QCoreApplication::translate("GaitReport", "左踵"),
                side);
            add(foot->toeId, BodyPartRole(BodyPart::kToe, side), side);
        }
    }
    add(options.setup.pelvisId, QCoreApplication::translate("GaitReport", "骨盤"), std::nullopt);
    // The joint's own marker first: it names the place best when two joints share one.
    static constexpr BodyPart kParts[][3] = {{BodyPart::kTrunk, BodyPart::kHip, BodyPart::kKnee},
                                             {BodyPart::kHip, BodyPart::kKnee, BodyPart::kAnkle},
                                             {BodyPart::kKnee, BodyPart::kAnkle, BodyPart::kToe}};
    for (const int which : {1, 0, 2}) {
        for (const ClinicalAngle& joint : options.joints) {
            const FootSide side =
                joint.side == LimbSide::kRight ? FootSide::kRight : FootSide::kLeft;
            const int ids[] = {joint.proximal, joint.middle, joint.distal};
            add(ids[which], BodyPartRole(kParts[static_cast<int>(joint.joint)][which], side), side);
        }
    }
    for (const NamedAngle& angle : options.angles) {
        const QString name = QString::fromStdString(angle.name);
        add(angle.proximal, name + QStringLiteral(" A"), std::nullopt);
        add(angle.joint, name + QStringLiteral(" B"), std::nullopt);
        add(angle.distal, name + QStringLiteral(" C"), std::nullopt);
    }
    return roles;
}

std::vector<StillFrame> ReportStillFrames(const GaitAnalysis& analysis) {
    std::vector<StillFrame> frames;
    for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
        const auto stride =
            std::find_if(analysis.parameters.strides.begin(), analysis.parameters.strides.end(),
                         [side](const StrideParameters& s) { return s.side == side; });
        if (stride == analysis.parameters.strides.end()) {
            continue;
        }
        frames.push_back({side, GaitEventKind::kHeelStrike, stride->startFrame});
        for (const GaitEvent& e : analysis.events) {
            if (e.side == side && e.kind == GaitEventKind::kToeOff &&
                e.frame > stride->startFrame && e.frame < stride->endFrame) {
                frames.push_back({side, GaitEventKind::kToeOff, e.frame});
                break;
            }
        }
    }
    return frames;
}

bool ApplyMovieMosaic(QImage& picture, const Dib& frame, const MovieMosaic& mosaic,
                      int frameNumber) {
    if (mosaic.trims == nullptr || picture.isNull()) {
        return false;
    }
    if (picture.size() != QSize(frame.Width(), frame.Height())) {
        picture = QImage();  // no way to tell where the face is: no picture rather than a face
        return false;
    }
    const PixelRect trim = mosaic.trims->At(frameNumber);
    const TrimPlacement place =
        PlaceTrimRect(trim, frame.Width(), frame.Height(), mosaic.width, mosaic.height);
    const PixelRect whole = MosaicRect({0, 0, mosaic.width, mosaic.height}, mosaic.type);
    const PixelRect patch{
        std::max(whole.left, place.dest.left), std::max(whole.top, place.dest.top),
        std::min(whole.right, place.dest.right), std::min(whole.bottom, place.dest.bottom)};
    if (place.source.IsEmpty() || place.dest.IsEmpty() || patch.IsEmpty()) {
        return false;
    }
    // The movie's own picture, so the still shows the very cells the movie shows.
    TrimmedPictureRenderer movie;
    movie.Render(&frame, trim, mosaic.width, mosaic.height, mosaic.type);
    const double sx = double(place.source.Width()) / place.dest.Width();
    const double sy = double(place.source.Height()) / place.dest.Height();
    const int x0 =
        std::max(0, int(std::floor(place.source.left + (patch.left - place.dest.left) * sx)));
    const int x1 = std::min(
        picture.width(), int(std::ceil(place.source.left + (patch.right - place.dest.left) * sx)));
    const int y0 =
        std::max(0, int(std::floor(place.source.top + (patch.top - place.dest.top) * sy)));
    const int y1 = std::min(
        picture.height(), int(std::ceil(place.source.top + (patch.bottom - place.dest.top) * sy)));
    if (picture.format() != QImage::Format_RGB888) {
        picture = picture.convertToFormat(QImage::Format_RGB888);
    }
    for (int y = y0; y < y1; ++y) {
        const int v =
            std::clamp(place.dest.top + int(std::floor((y + 0.5 - place.source.top) / sy)),
                       patch.top, patch.bottom - 1);
        const uint8_t* from = movie.Pixels() + std::size_t(v) * std::size_t(movie.Stride());
        uint8_t* to = picture.scanLine(y);
        for (int x = x0; x < x1; ++x) {
            const int u =
                std::clamp(place.dest.left + int(std::floor((x + 0.5 - place.source.left) / sx)),
                           patch.left, patch.right - 1);
            to[3 * x] = from[4 * u + 2];  // BGRx to RGB
            to[3 * x + 1] = from[4 * u + 1];
            to[3 * x + 2] = from[4 * u];
        }
    }
    return true;
}

std::vector<ReportStill> ReportStills(const GaitAnalysis& analysis,
                                      const GaitAnalysisOptions* options,
                                      const CLFFManager& markers, const MovieMosaic& mosaic,
                                      const std::function<const Dib*(int frame)>& picture) {
    const std::map<int, MarkerRole> roles =
        options != nullptr ? MarkerRoles(*options) : std::map<int, MarkerRole>{};
    std::vector<ReportStill> stills;
    for (const StillFrame& at : ReportStillFrames(analysis)) {
        ReportStill still;
        still.side = at.side;
        still.kind = at.kind;
        still.frame = at.frame;
        if (const Dib* dib = picture ? picture(at.frame) : nullptr) {
            still.picture = PictureOfDib(*dib);
            still.masked = ApplyMovieMosaic(still.picture, *dib, mosaic, at.frame);
        }
        std::vector<T_DRAW_MARKER> placed;
        markers.GetFrameMarkers(at.frame, placed);
        for (const T_DRAW_MARKER& m : placed) {
            const auto role = roles.find(m.ID);
            still.markers.push_back(
                {{m.x, m.y}, m.ID, role != roles.end() ? role->second : MarkerRole{}});
        }
        stills.push_back(std::move(still));
    }
    return stills;
}

std::vector<ReportStill> ReportStills(const GaitAnalysis& analysis,
                                      const GaitAnalysisOptions* options,
                                      const Workspace& workspace,
                                      const std::function<const Dib*(int frame)>& picture) {
    const VideoAnnotations* annotations = workspace.Document().Annotations();
    if (annotations == nullptr) {
        return {};
    }
    MovieMosaic mosaic;
    mosaic.trims = &annotations->m_trimParam;
    mosaic.type = workspace.Session().MosaicType();
    std::tie(mosaic.width, mosaic.height) = workspace.Session().OutputSize();
    return ReportStills(analysis, options, annotations->m_markers, mosaic, picture);
}

std::optional<QString> WriteA4Pdf(const QString& path, const QString& title,
                                  const std::function<int(QPdfWriter&, QPainter&, int)>& draw) {
    const QString cannot = QCoreApplication::translate("GaitReport", "PDFを作成できません");
    const auto setUp = [&title](QPdfWriter& writer) {
        writer.setResolution(300);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(15, 18, 15, 15), QPageLayout::Millimeter));
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Kivra"));
    };
    // Every page names the total: a first run into memory counts the pages, on the same kind
    // of device so the text breaks the same way.
    int pages = 0;
    {
        QBuffer scratch;
        scratch.open(QIODevice::WriteOnly);
        QPdfWriter counting(&scratch);
        setUp(counting);
        QPainter p;
        if (!p.begin(&counting)) {
            return cannot;
        }
        pages = draw(counting, p, 0);
        p.end();
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    QPdfWriter writer(&file);
    setUp(writer);
    QPainter p;
    if (!p.begin(&writer)) {
        file.cancelWriting();
        return cannot;
    }
    draw(writer, p, pages);
    if (!p.end()) {
        file.cancelWriting();
        return cannot;
    }
    if (!file.commit()) {
        return file.errorString();
    }
    return std::nullopt;
}

std::optional<QString> WriteGaitReport(const QString& path, const GaitReportInput& input) {
    if (input.analysis == nullptr) {
        return QCoreApplication::translate("GaitReport", "解析結果がありません");
    }
    return WriteA4Pdf(path, QCoreApplication::translate("GaitReport", "歩行分析レポート"),
                      [&input](QPdfWriter& writer, QPainter& painter, int pages) {
                          return DrawGaitReportPages(writer, painter, input, pages);
                      });
}

}  // namespace kivra
