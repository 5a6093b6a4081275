#include "gait/gait_report.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

#include "markers/lff_manager.h"
#include "rendering/dib.h"

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

namespace {

QString SideLabel(FootSide side) {
    return side == FootSide::kRight ? QCoreApplication::translate("GaitReport", "右")
                                    : QCoreApplication::translate("GaitReport", "左");
}

}  // namespace

QString LeftOutText(const LeftOutStride& stride) {
    const QString frames = QStringLiteral("%1 %2-%3")
                               .arg(SideLabel(stride.side))
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
        .arg(frames, marker.arg(SideLabel(stride.gapSide)))
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
        case GaitWarning::kOutOfPlane:
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

namespace {

// Page geometry in device pixels of the writer.
struct Page {
    QRectF area;
    double mm = 1.0;  // device pixels per millimetre
};

void DrawHeader(QPainter& p, const Page& page, const GaitReportInput& input, int number,
                int count) {
    QFont small = p.font();
    small.setPointSizeF(8);
    p.setFont(small);
    p.setPen(QColor(90, 90, 90));
    const QRectF line(page.area.left(), page.area.top() - 9 * page.mm, page.area.width(),
                      6 * page.mm);
    p.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, input.videoName);
    p.drawText(line, Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("%1 / %2").arg(number).arg(count));
}

double DrawParameterTable(QPainter& p, const Page& page, double top, const GaitAnalysis& a) {
    const double rowHeight = 7.0 * page.mm;
    const double widths[] = {0.34, 0.12, 0.18, 0.18, 0.18};
    const QString headings[] = {QCoreApplication::translate("GaitReport", "項目"),
                                QCoreApplication::translate("GaitReport", "単位"),
                                QCoreApplication::translate("GaitReport", "両側"),
                                QCoreApplication::translate("GaitReport", "右"),
                                QCoreApplication::translate("GaitReport", "左")};
    QFont font = p.font();
    font.setPointSizeF(9.5);
    font.setBold(true);
    p.setFont(font);
    double x = page.area.left();
    p.setPen(Qt::black);
    for (int c = 0; c < 5; ++c) {
        const QRectF cell(x, top, widths[c] * page.area.width(), rowHeight);
        p.drawText(cell.adjusted(1.5 * page.mm, 0, -1.5 * page.mm, 0),
                   (c == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter, headings[c]);
        x += cell.width();
    }
    top += rowHeight;
    p.setPen(QPen(Qt::black, 0.3 * page.mm));
    p.drawLine(QPointF(page.area.left(), top), QPointF(page.area.right(), top));
    font.setBold(false);
    p.setFont(font);
    int row = 0;
    for (const ParameterSummary& s : a.parameters.summary) {
        if (row % 2 == 1) {
            p.fillRect(QRectF(page.area.left(), top, page.area.width(), rowHeight),
                       QColor(242, 244, 247));
        }
        const int decimals = DecimalsOf(s.unit);
        const QString cells[] = {ParameterLabel(s.name), UnitLabel(s.unit),
                                 StatisticText(s.both, decimals), StatisticText(s.right, decimals),
                                 StatisticText(s.left, decimals)};
        x = page.area.left();
        p.setPen(Qt::black);
        for (int c = 0; c < 5; ++c) {
            const QRectF cell(x, top, widths[c] * page.area.width(), rowHeight);
            p.drawText(cell.adjusted(1.5 * page.mm, 0, -1.5 * page.mm, 0),
                       (c == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter, cells[c]);
            x += cell.width();
        }
        top += rowHeight;
        ++row;
    }
    p.setPen(QPen(Qt::black, 0.3 * page.mm));
    p.drawLine(QPointF(page.area.left(), top), QPointF(page.area.right(), top));
    return top;
}

void DrawStill(QPainter& p, const QRectF& box, const ReportStill& still, double mm) {
    if (still.picture.isNull()) {
        return;
    }
    const QSizeF size =
        QSizeF(still.picture.size()).scaled(box.size() - QSizeF(0, 7 * mm), Qt::KeepAspectRatio);
    const QRectF target(box.left() + (box.width() - size.width()) / 2, box.top(), size.width(),
                        size.height());
    p.drawImage(target, still.picture);
    const double sx = target.width() / still.picture.width();
    const double sy = target.height() / still.picture.height();
    p.setPen(QPen(QColor(255, 255, 255), 0.4 * mm));
    p.setBrush(QColor(230, 30, 30));
    for (const ImagePoint& m : still.markers) {
        p.drawEllipse(QPointF(target.left() + m.x * sx, target.top() + m.y * sy), 1.3 * mm,
                      1.3 * mm);
    }
    p.setPen(Qt::black);
    QFont font = p.font();
    font.setPointSizeF(9);
    p.setFont(font);
    p.drawText(QRectF(box.left(), target.bottom() + 1 * mm, box.width(), 6 * mm), Qt::AlignCenter,
               QCoreApplication::translate("GaitReport", "%1 踵接地 フレーム %2")
                   .arg(SideLabel(still.side))
                   .arg(still.frame));
}

// One side's cycle curves of one angle: strides faint, mean bold, SD band, the clinic's band
// behind them, and where stance gives way to swing.
void DrawCycleChart(QPainter& p, const QRectF& box, const QString& title, FootSide side,
                    const SideCycles& c, const std::optional<ReferenceBand>& reference, double mm) {
    QFont font = p.font();
    font.setPointSizeF(9.5);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QRectF(box.left(), box.top(), box.width(), 6 * mm), Qt::AlignCenter, title);
    const QRectF plot = box.adjusted(14 * mm, 8 * mm, -3 * mm, -10 * mm);
    double lo = 1e300;
    double hi = -1e300;
    const auto widen = [&](double v) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    };
    for (const CycleCurve& s : c.strides) {
        for (const double v : s) {
            widen(v);
        }
    }
    if (c.mean && c.sd) {
        for (int i = 0; i < kCyclePoints; ++i) {
            widen((*c.mean)[i] + (*c.sd)[i]);
            widen((*c.mean)[i] - (*c.sd)[i]);
        }
    }
    if (reference) {
        for (int i = 0; i < kCyclePoints; ++i) {
            widen(reference->mean[i] + reference->sd[i]);
            widen(reference->mean[i] - reference->sd[i]);
        }
    }
    font.setBold(false);
    font.setPointSizeF(7.5);
    p.setFont(font);
    if (lo > hi) {
        p.drawText(plot, Qt::AlignCenter, QCoreApplication::translate("GaitReport", "データなし"));
        return;
    }
    // Round the range out to tens of degrees so the grid reads easily.
    lo = std::floor(lo / 10.0) * 10.0;
    hi = std::ceil(hi / 10.0) * 10.0;
    if (hi - lo < 10.0) {
        hi = lo + 10.0;
    }
    const auto at = [&](double percent, double degrees) {
        return QPointF(plot.left() + plot.width() * percent / 100.0,
                       plot.bottom() - plot.height() * (degrees - lo) / (hi - lo));
    };
    p.setPen(QPen(QColor(215, 215, 215), 0.2 * mm));
    // Counted, not summed: with a step far below the values' precision a sum never ends.
    double step = (hi - lo) > 60 ? 20.0 : 10.0;
    while ((hi - lo) / step > 12.0 && std::isfinite(step)) {
        step *= 2.0;
    }
    const int lines = static_cast<int>(std::min(12.0, std::floor((hi - lo) / step + 1e-9)));
    for (int k = 0; k <= lines; ++k) {
        const double v = lo + k * step;
        p.drawLine(at(0, v), at(100, v));
        p.setPen(QColor(60, 60, 60));
        p.drawText(QRectF(box.left(), at(0, v).y() - 3 * mm, 12.5 * mm, 6 * mm),
                   Qt::AlignRight | Qt::AlignVCenter, QLocale::c().toString(v, 'f', 0));
        p.setPen(QPen(QColor(215, 215, 215), 0.2 * mm));
    }
    for (int x = 0; x <= 100; x += 20) {
        p.drawLine(at(x, lo), at(x, hi));
        p.setPen(QColor(60, 60, 60));
        p.drawText(QRectF(at(x, lo).x() - 6 * mm, plot.bottom() + 0.5 * mm, 12 * mm, 4 * mm),
                   Qt::AlignCenter, QString::number(x));
        p.setPen(QPen(QColor(215, 215, 215), 0.2 * mm));
    }
    p.setPen(QColor(60, 60, 60));
    p.drawText(QRectF(plot.left(), plot.bottom() + 4.5 * mm, plot.width(), 4 * mm), Qt::AlignCenter,
               QCoreApplication::translate("GaitReport", "歩行周期 (%)"));
    const auto band = [&](const CycleCurve& mean, const CycleCurve& sd, const QColor& colour) {
        QPainterPath path;
        path.moveTo(at(0, mean[0] + sd[0]));
        for (int i = 1; i < kCyclePoints; ++i) {
            path.lineTo(at(i, mean[i] + sd[i]));
        }
        for (int i = kCyclePoints - 1; i >= 0; --i) {
            path.lineTo(at(i, mean[i] - sd[i]));
        }
        path.closeSubpath();
        p.fillPath(path, colour);
    };
    const auto curve = [&](const CycleCurve& values, const QPen& pen) {
        QPainterPath path;
        path.moveTo(at(0, values[0]));
        for (int i = 1; i < kCyclePoints; ++i) {
            path.lineTo(at(i, values[i]));
        }
        p.strokePath(path, pen);
    };
    p.save();
    p.setClipRect(plot);
    if (reference) {
        band(reference->mean, reference->sd, QColor(160, 160, 160, 90));
    }
    const QColor colour = side == FootSide::kRight ? QColor(200, 40, 40) : QColor(30, 90, 200);
    if (c.mean && c.sd) {
        QColor light = colour;
        light.setAlpha(50);
        band(*c.mean, *c.sd, light);
    }
    QColor faint = colour;
    faint.setAlpha(90);
    for (const CycleCurve& s : c.strides) {
        curve(s, QPen(faint, 0.25 * mm));
    }
    if (c.mean) {
        curve(*c.mean, QPen(colour, 0.7 * mm));
    }
    if (c.stancePercent) {
        p.setPen(QPen(QColor(40, 40, 40), 0.3 * mm, Qt::DashLine));
        p.drawLine(at(*c.stancePercent, lo), at(*c.stancePercent, hi));
    }
    p.restore();
    p.setPen(QPen(Qt::black, 0.25 * mm));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);
}

}  // namespace

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

std::vector<std::pair<FootSide, int>> ReportStillFrames(const GaitAnalysis& analysis) {
    std::vector<std::pair<FootSide, int>> frames;
    for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
        for (const StrideParameters& s : analysis.parameters.strides) {
            if (s.side == side) {
                frames.emplace_back(side, s.startFrame);
                break;
            }
        }
    }
    return frames;
}

std::vector<ReportStill> ReportStills(const GaitAnalysis& analysis, const CLFFManager& markers,
                                      const std::function<const Dib*(int frame)>& picture) {
    std::vector<ReportStill> stills;
    for (const auto& [side, frame] : ReportStillFrames(analysis)) {
        ReportStill still;
        still.side = side;
        still.frame = frame;
        if (const Dib* dib = picture ? picture(frame) : nullptr) {
            still.picture = PictureOfDib(*dib);
        }
        std::vector<T_DRAW_MARKER> placed;
        markers.GetFrameMarkers(frame, placed);
        for (const T_DRAW_MARKER& m : placed) {
            still.markers.push_back({m.x, m.y});
        }
        stills.push_back(std::move(still));
    }
    return stills;
}

std::optional<QString> WriteGaitReport(const QString& path, const GaitReportInput& input) {
    if (input.analysis == nullptr) {
        return QCoreApplication::translate("GaitReport", "解析結果がありません");
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    QPdfWriter writer(&file);
    writer.setResolution(300);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(15, 18, 15, 15), QPageLayout::Millimeter));
    writer.setTitle(QCoreApplication::translate("GaitReport", "歩行分析レポート"));
    writer.setCreator(QStringLiteral("Kivra"));
    QPainter p;
    if (!p.begin(&writer)) {
        file.cancelWriting();
        return QCoreApplication::translate("GaitReport", "PDFを作成できません");
    }
    Page page;
    page.mm = writer.resolution() / 25.4;
    page.area = QRectF(0, 0, writer.width(), writer.height());

    const GaitAnalysis& a = *input.analysis;
    // The charts: one row per angle, right and left beside each other, three rows a page.
    const int angleRows = static_cast<int>(a.cycles.size());
    const int pages = 1 + (angleRows + 2) / 3;

    QFont title = p.font();
    title.setPointSizeF(17);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::black);
    double top = page.area.top();
    p.drawText(QRectF(page.area.left(), top, page.area.width(), 12 * page.mm),
               Qt::AlignLeft | Qt::AlignVCenter,
               QCoreApplication::translate("GaitReport", "歩行分析レポート"));
    top += 14 * page.mm;
    QFont body = p.font();
    body.setPointSizeF(10);
    body.setBold(false);
    p.setFont(body);
    // The machine's locale may speak another language than the report: a date without words.
    const QString date = input.made.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    const QString lines[] = {
        QCoreApplication::translate("GaitReport", "動画: %1").arg(input.videoName),
        QCoreApplication::translate("GaitReport", "作成日時: %1").arg(date),
        QCoreApplication::translate("GaitReport", "イベント: %1 件 (%2)")
            .arg(a.events.size())
            .arg(a.detected ? QCoreApplication::translate("GaitReport", "自動検出")
                            : QCoreApplication::translate("GaitReport", "編集済み")),
        QCoreApplication::translate("GaitReport", "ストライド: 右 %1、左 %2")
            .arg(std::count_if(a.parameters.strides.begin(), a.parameters.strides.end(),
                               [](const auto& s) { return s.side == FootSide::kRight; }))
            .arg(std::count_if(a.parameters.strides.begin(), a.parameters.strides.end(),
                               [](const auto& s) { return s.side == FootSide::kLeft; }))};
    for (const QString& line : lines) {
        p.drawText(QRectF(page.area.left(), top, page.area.width(), 6 * page.mm),
                   Qt::AlignLeft | Qt::AlignVCenter, line);
        top += 6 * page.mm;
    }
    // What the numbers leave out, a few strides of it, so no number hides a lost event.
    p.setPen(QColor(170, 40, 20));
    for (const QString& line : AnalysisNotes(a, 3)) {
        // Wrapped: a reason in a long language must not run off the page.
        const QRectF room(page.area.left(), top, page.area.width(), 20 * page.mm);
        const QRectF used = p.boundingRect(room, Qt::AlignLeft | Qt::TextWordWrap, line);
        p.drawText(room, Qt::AlignLeft | Qt::TextWordWrap, line);
        top += used.height() + 0.8 * page.mm;
    }
    p.setPen(Qt::black);
    top += 4 * page.mm;
    top = DrawParameterTable(p, page, top, a);
    p.setFont(body);
    // Two lines where a language needs them: the note must not run off the page.
    p.drawText(QRectF(page.area.left(), top + 1 * page.mm, page.area.width(), 9 * page.mm),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
               QCoreApplication::translate(
                   "GaitReport",
                   "平均 ± 標準偏差。対称性指数は右と左の差の大きさを両者の平均で割った百分率。"));
    top += 12 * page.mm;
    if (!input.stills.empty()) {
        const double width = page.area.width() / 2;
        const double height = std::min(page.area.bottom() - top, width * 0.75);
        for (std::size_t i = 0; i < input.stills.size() && i < 2; ++i) {
            DrawStill(p, QRectF(page.area.left() + i * width, top, width - 3 * page.mm, height),
                      input.stills[i], page.mm);
        }
    }
    DrawHeader(p, page, input, 1, pages);

    for (int row = 0; row < angleRows; ++row) {
        if (row % 3 == 0) {
            writer.newPage();
            DrawHeader(p, page, input, 2 + row / 3, pages);
        }
        const double height = page.area.height() / 3;
        const double y = page.area.top() + (row % 3) * height;
        const AngleCycles& cycles = a.cycles[static_cast<std::size_t>(row)];
        const QString name = QString::fromStdString(cycles.name);
        DrawCycleChart(p, QRectF(page.area.left(), y, page.area.width() / 2, height - 4 * page.mm),
                       name + QStringLiteral(" ") + QCoreApplication::translate("GaitReport", "右"),
                       FootSide::kRight, cycles.right, input.reference, page.mm);
        DrawCycleChart(p,
                       QRectF(page.area.left() + page.area.width() / 2, y, page.area.width() / 2,
                              height - 4 * page.mm),
                       name + QStringLiteral(" ") + QCoreApplication::translate("GaitReport", "左"),
                       FootSide::kLeft, cycles.left, input.reference, page.mm);
    }
    if (!p.end()) {
        file.cancelWriting();
        return QCoreApplication::translate("GaitReport", "PDFを作成できません");
    }
    if (!file.commit()) {
        return file.errorString();
    }
    return std::nullopt;
}

}  // namespace kivra
