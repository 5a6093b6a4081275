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
#include "rendering/dib.h"
#include "rendering/trimmed_picture.h"
#include "session/edit_session.h"
#include "workspace/workspace.h"

namespace kivra {

// The summary's parameters as the report names them.
QString ParameterLabel(const std::string& name) {
    static const std::pair<const char*, const char*> kLabels[] = {
        {"StrideTime", QT_TRANSLATE_NOOP("GaitReport", "ストライド時間")},
        {"StepTime", QT_TRANSLATE_NOOP("GaitReport", "ステップ時間")},
        {"StanceTime", QT_TRANSLATE_NOOP("GaitReport", "立脚時間")},
        {"SwingTime", QT_TRANSLATE_NOOP("GaitReport", "遊脚時間")},
        {"StancePercent", QT_TRANSLATE_NOOP("GaitReport", "立脚期")},
        {"SwingPercent", QT_TRANSLATE_NOOP("GaitReport", "遊脚期")},
        {"DoubleSupportPercent", QT_TRANSLATE_NOOP("GaitReport", "両脚支持期")},
        {"StrideLength", QT_TRANSLATE_NOOP("GaitReport", "ストライド長")},
        {"StepLength", QT_TRANSLATE_NOOP("GaitReport", "ステップ長")},
        {"Cadence", QT_TRANSLATE_NOOP("GaitReport", "ケイデンス")},
        {"Speed", QT_TRANSLATE_NOOP("GaitReport", "歩行速度")},
        {"StepTimeSymmetry", QT_TRANSLATE_NOOP("GaitReport", "ステップ時間の対称性指数")},
        {"StepLengthSymmetry", QT_TRANSLATE_NOOP("GaitReport", "ステップ長の対称性指数")}};
    for (const auto& [key, label] : kLabels) {
        if (name == key) {
            return QCoreApplication::translate("GaitReport", label);
        }
    }
    return QString::fromStdString(name);
}

QString ReportSideLabel(FootSide side) {
    return side == FootSide::kRight ? QCoreApplication::translate("GaitReport", "右")
                                    : QCoreApplication::translate("GaitReport", "左");
}

QString LeftOutText(const LeftOutStride& stride) {
    const QString frames = QStringLiteral("%1 %2-%3")
                               .arg(ReportSideLabel(stride.side))
                               .arg(stride.startFrame)
                               .arg(stride.endFrame);
    if (stride.why == LeftOutStride::kPattern) {
        return QCoreApplication::translate(
                   "GaitReport",
                   "%1: イベントが歩行の順序 (踵接地、反対側の離地、反対側の踵接地、"
                   "離地、踵接地) に沿っていません")
            .arg(frames);
    }
    const QString marker = stride.gapInToe
                               ? QCoreApplication::translate("GaitReport", "%1のつま先マーカ")
                               : QCoreApplication::translate("GaitReport", "%1の踵マーカ");
    return QCoreApplication::translate("GaitReport", "%1: %2の欠落 (フレーム %3-%4)")
        .arg(frames, marker.arg(ReportSideLabel(stride.gapSide)))
        .arg(stride.gapFirst)
        .arg(stride.gapLast);
}

QString FootWithoutStridesText(const FootWithoutStrides& foot) {
    const QString side = foot.side == FootSide::kRight
                             ? QCoreApplication::translate("GaitReport", "右足")
                             : QCoreApplication::translate("GaitReport", "左足");
    if (foot.why == FootWithoutStrides::kTooFewFrames) {
        return QCoreApplication::translate(
                   "GaitReport",
                   "%1からはストライドが得られません: マーカが再生範囲で続けて %2 "
                   "フレームしかなく、立脚期を見るには %3 フレーム必要です。")
            .arg(side)
            .arg(foot.longestRun)
            .arg(foot.neededRun);
    }
    return QCoreApplication::translate(
               "GaitReport",
               "%1からはストライドが得られません: 再生範囲の踵接地が %2 回で、"
               "ストライドには離地を挟んだ 2 回が必要です。")
        .arg(side)
        .arg(foot.strikes);
}

QString GaitWarningText(const GaitWarning& warning) {
    const QString foot = warning.side == FootSide::kRight
                             ? QCoreApplication::translate("GaitReport", "右足")
                             : QCoreApplication::translate("GaitReport", "左足");
    switch (warning.code) {
        case GaitWarning::kPixels:
            return QCoreApplication::translate(
                "GaitReport", "長さはピクセル単位です: 動画にキャリブレーションがありません。");
        case GaitWarning::kFewStrides:
            return QCoreApplication::translate(
                       "GaitReport",
                       "%1のストライドは %2 件です。%3 件未満ではばらつきを読めません。")
                .arg(foot)
                .arg(warning.count)
                .arg(kFewStridesPerSide);
        case GaitWarning::kLowFrameRate:
            return QCoreApplication::translate(
                       "GaitReport",
                       "1 ステップが %1 フレームしかなく、半フレームのずれがステップの %2 % に"
                       "なります。")
                .arg(warning.value, 0, 'f', 1)
                .arg(50.0 / warning.value, 0, 'f', 0);
        case GaitWarning::kVariableFrameRate:
            return QCoreApplication::translate(
                       "GaitReport",
                       "元の動画のフレームレートが一定ではありません: %1 フレーム中 %2 "
                       "フレームが前と"
                       "同じ画像で、%3 枚の画像が %4 フレーム/秒の間に落ちています。そこでは時間と"
                       "速度が 1 フレームずれることがあります。")
                .arg(warning.count)
                .arg(warning.repeated)
                .arg(warning.skipped)
                .arg(warning.value, 0, 'f', 3);
        case GaitWarning::kOutOfPlane:
            if (!warning.segment.empty()) {
                return (warning.towards ? QCoreApplication::translate(
                                              "GaitReport",
                                              "体節 %1 の長さがストライドにより %2 % 変わります: "
                                              "カメラに近づくか遠ざかって歩いています。")
                                        : QCoreApplication::translate(
                                              "GaitReport",
                                              "体節 %1 の長さがストライドにより %2 % 変わります: "
                                              "カメラが捉える面から外れています。"))
                    .arg(QString::fromStdString(warning.segment))
                    .arg(warning.value, 0, 'f', 0);
            }
            return (warning.towards
                        ? QCoreApplication::translate("GaitReport",
                                                      "%1の長さがストライドにより %2 % 変わります: "
                                                      "カメラに近づくか遠ざかって歩いています。")
                        : QCoreApplication::translate("GaitReport",
                                                      "%1の長さがストライドにより %2 % 変わります: "
                                                      "カメラが捉える面から外れています。"))
                .arg(foot)
                .arg(warning.value, 0, 'f', 0);
        case GaitWarning::kMarkerGaps:
        case GaitWarning::kStridesLeftOut:
            break;  // the strides left out are listed one by one
    }
    return {};
}

QStringList AnalysisNotes(const GaitAnalysis& analysis, std::size_t strides) {
    QStringList notes;
    for (const GaitWarning& warning : analysis.warnings) {
        if (const QString text = GaitWarningText(warning); !text.isEmpty()) {
            notes << text;
        }
    }
    for (const FootWithoutStrides& foot : analysis.feetWithoutStrides) {
        notes << FootWithoutStridesText(foot);
    }
    const auto& leftOut = analysis.parameters.leftOut;
    if (!leftOut.empty()) {
        notes << QCoreApplication::translate("GaitReport", "除外したストライド: %1")
                     .arg(leftOut.size());
        for (std::size_t i = 0; i < leftOut.size() && i < strides; ++i) {
            notes << QStringLiteral("  ") + LeftOutText(leftOut[i]);
        }
        if (leftOut.size() > strides) {
            notes << QStringLiteral("  ") + QCoreApplication::translate("GaitReport", "ほか %1 件")
                                                .arg(leftOut.size() - strides);
        }
    }
    return notes;
}

QString StatisticText(const Statistic& s, int decimals) {
    if (!s.mean) {
        return QStringLiteral("–");
    }
    const QLocale c = QLocale::c();
    QString text = c.toString(*s.mean, 'f', decimals);
    if (s.sd) {
        text += QStringLiteral(" ± ") + c.toString(*s.sd, 'f', decimals);
    }
    return text;
}

QString UnitLabel(const std::string& unit) {
    if (unit == "steps/min") {
        return QCoreApplication::translate("GaitReport", "歩/分");
    }
    if (unit == "deg") {
        return QStringLiteral("°");
    }
    return QString::fromStdString(unit);
}

int DecimalsOf(const std::string& unit) {
    if (unit == "s") {
        return 3;
    }
    if (unit == "mm" || unit == "px" || unit == "mm/s" || unit == "px/s") {
        return 0;
    }
    return 1;
}

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

namespace {

void SetUpWriter(QPdfWriter& writer) {
    writer.setResolution(300);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(15, 18, 15, 15), QPageLayout::Millimeter));
    writer.setTitle(QCoreApplication::translate("GaitReport", "歩行分析レポート"));
    writer.setCreator(QStringLiteral("Kivra"));
}

}  // namespace

std::optional<QString> WriteGaitReport(const QString& path, const GaitReportInput& input) {
    if (input.analysis == nullptr) {
        return QCoreApplication::translate("GaitReport", "解析結果がありません");
    }
    const QString cannot = QCoreApplication::translate("GaitReport", "PDFを作成できません");
    // Every page names the total: a first run into memory counts the pages, on the same kind
    // of device so the text breaks the same way.
    int pages = 0;
    {
        QBuffer scratch;
        scratch.open(QIODevice::WriteOnly);
        QPdfWriter counting(&scratch);
        SetUpWriter(counting);
        QPainter p;
        if (!p.begin(&counting)) {
            return cannot;
        }
        pages = DrawGaitReportPages(counting, p, input, 0);
        p.end();
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    QPdfWriter writer(&file);
    SetUpWriter(writer);
    QPainter p;
    if (!p.begin(&writer)) {
        file.cancelWriting();
        return cannot;
    }
    DrawGaitReportPages(writer, p, input, pages);
    if (!p.end()) {
        file.cancelWriting();
        return cannot;
    }
    if (!file.commit()) {
        return file.errorString();
    }
    return std::nullopt;
}

}  // namespace kivra
