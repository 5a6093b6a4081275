// The comparison report's pages, flowed one section after the other: a page is turned only
// where the next piece does not fit.
#include "gait/compare_report_pages.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>
#include <iterator>

#include "gait/gait_report_pages.h"
#include "gait/gait_texts.h"
#include "gait/report_flow.h"
#include "gait/report_stills.h"

namespace kivra {
namespace {

QString Number(double value, int decimals) {
    return QLocale::c().toString(value, 'f', decimals);
}

// A change with its sign; one that rounds to nothing has none ("0.0", never "-0.0").
QString Signed(double value, int decimals) {
    const QString text = Number(value, decimals);
    if (text.toDouble() == 0.0) {
        return Number(0.0, decimals);
    }
    return value > 0 ? QStringLiteral("+") + text : text;
}

QColor SideColour(FootSide side) {
    return side == FootSide::kRight ? QColor(200, 40, 40) : QColor(30, 90, 200);
}

// One run of DrawCompareReportPages: the flow over the pages, with what it draws.
struct Flow : ReportFlow {
    const CompareReportInput& input;
};

// Who and which visits in the margin of every page, so a loose page still finds its pair.
QStringList RunningParts(const CompareReportInput& input) {
    QStringList parts{QCoreApplication::translate("CompareReport", "歩行分析 比較レポート")};
    if (const QString patient = input.patient.simplified(); !patient.isEmpty()) {
        parts << patient;
    }
    return parts << QStringLiteral("%1 → %2").arg(input.before.videoName, input.after.videoName);
}

// Text across the page's width from flow.y on.
void Paragraph(Flow& flow, const QString& text, const QFont& font, const QColor& colour) {
    Paragraph(flow, flow.area.left(), flow.area.width(), text, font, colour);
}

// How each visit's curve is drawn: before dashed, after solid.
QPen VisitPen(const QColor& colour, bool after, double mm) {
    return after ? QPen(colour, 0.7 * mm) : QPen(colour.lighter(125), 0.5 * mm, Qt::DashLine);
}

// ---- the visits ----

void DrawTitleAndVisits(Flow& flow) {
    QPainter& p = flow.p;
    const double mm = flow.mm;
    TitleLine(flow, QCoreApplication::translate("CompareReport", "歩行分析 比較レポート"),
              QCoreApplication::translate("CompareReport", "作成日時: %1")
                  .arg(flow.input.made.toString(QStringLiteral("yyyy-MM-dd HH:mm"))));
    if (const QString patient = flow.input.patient.simplified(); !patient.isEmpty()) {
        p.setFont(flow.Font(10));
        p.setPen(Qt::black);
        p.drawText(QRectF(flow.area.left(), flow.y, flow.area.width(), 6 * mm),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   QCoreApplication::translate("CompareReport", "氏名 / ID: %1").arg(patient));
        flow.y += 7 * mm;
    }
    const auto scale = [](const CompareVisitInput& v) {
        return v.mmPerPixel && *v.mmPerPixel > 0
                   ? QCoreApplication::translate("CompareReport", "%1 mm/ピクセル")
                         .arg(Number(*v.mmPerPixel, 4))
                   : QCoreApplication::translate("CompareReport",
                                                 "ピクセル: キャリブレーションなし");
    };
    const auto rate = [](const CompareVisitInput& v) {
        return v.analysis->fps > 0 ? QCoreApplication::translate("CompareReport", "%1 フレーム/秒")
                                         .arg(Number(v.analysis->fps, 2))
                                   : QStringLiteral("–");
    };
    const CompareVisitInput& b = flow.input.before;
    const CompareVisitInput& a = flow.input.after;
    const QString rows[][3] = {
        {QString(), QCoreApplication::translate("CompareReport", "前回 (比較前)"),
         QCoreApplication::translate("CompareReport", "今回 (比較後)")},
        {QCoreApplication::translate("CompareReport", "動画"), b.videoName, a.videoName},
        {QCoreApplication::translate("CompareReport", "日付"), b.date, a.date},
        {QCoreApplication::translate("CompareReport", "フレームレート"), rate(b), rate(a)},
        {QCoreApplication::translate("CompareReport", "キャリブレーション"), scale(b), scale(a)}};
    const double labelWidth = 34 * mm;
    const double column = (flow.area.width() - labelWidth) / 2;
    const double rowHeight = 5.5 * mm;
    const QFontMetricsF metrics(flow.Font(9), &flow.writer);
    for (std::size_t r = 0; r < std::size(rows); ++r) {
        for (int c = 0; c < 3; ++c) {
            const double x =
                c == 0 ? flow.area.left() : flow.area.left() + labelWidth + (c - 1) * column;
            const QRectF cell(x, flow.y, c == 0 ? labelWidth : column - 2 * mm, rowHeight);
            p.setFont(flow.Font(r == 0 ? 9.5 : (c == 0 ? 8.5 : 9), r == 0));
            p.setPen(c == 0 ? QColor(90, 90, 90) : QColor(Qt::black));
            QRectF text = cell;
            if (r == 0 && c > 0) {
                // The line each visit's curves are drawn with, as the key to the charts.
                p.setPen(VisitPen(QColor(60, 60, 60), c == 2, mm));
                const double mid = cell.center().y();
                p.drawLine(QPointF(x, mid), QPointF(x + 9 * mm, mid));
                text.adjust(11 * mm, 0, 0, 0);
                p.setPen(Qt::black);
            }
            p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                       metrics.elidedText(rows[r][c], Qt::ElideMiddle, text.width()));
        }
        flow.y += rowHeight;
        if (r == 0) {
            p.setPen(QPen(Qt::black, 0.3 * mm));
            p.drawLine(QPointF(flow.area.left(), flow.y), QPointF(flow.area.right(), flow.y));
        }
    }
    flow.y += 2 * mm;
    QStringList notes;
    if (flow.input.comparison->lengthUnitsDiffer) {
        notes << QCoreApplication::translate(
            "CompareReport",
            "一方の動画にキャリブレーションがないため、長さと速度の差は計算していません。");
    } else if (!b.analysis->parameters.millimetres) {
        notes << QCoreApplication::translate(
            "CompareReport",
            "長さと速度はピクセル単位です: 同じカメラ位置で撮影した場合にのみ比較できます。");
    }
    notes << QCoreApplication::translate(
        "CompareReport",
        "差は今回から前回を引いた値、変化率は前回に対する百分率です。"
        "フレームレートや歩行方向が違っても、時間は秒、長さは進行方向に沿って測っています。");
    Paragraph(flow, notes.join(QLatin1Char(' ')), flow.Font(8), QColor(60, 60, 60));
}

// ---- the parameter table ----

QString RowLabel(const std::string& parameter) {
    static const std::string kRange = "RangeOfMotion_";
    if (parameter.starts_with(kRange)) {
        return QCoreApplication::translate("CompareReport", "%1の可動域")
            .arg(JointLabel(parameter.substr(kRange.size())));
    }
    if (parameter == "SagittalProfileScore") {
        return QCoreApplication::translate("CompareReport", "矢状面プロファイルスコア");
    }
    return ParameterLabel(parameter);
}

QString SideText(const std::string& side) {
    if (side == "R") {
        return ReportSideLabel(FootSide::kRight);
    }
    if (side == "L") {
        return ReportSideLabel(FootSide::kLeft);
    }
    return QCoreApplication::translate("CompareReport", "両側");
}

void DrawTable(Flow& flow) {
    QPainter& p = flow.p;
    const double mm = flow.mm;
    const double rowHeight = 5.4 * mm;
    // The unit column holds "steps/min" whole.
    const double widths[] = {0.28, 0.07, 0.11, 0.135, 0.135, 0.135, 0.135};
    const QString headings[] = {QCoreApplication::translate("CompareReport", "項目"),
                                QCoreApplication::translate("CompareReport", "側"),
                                QCoreApplication::translate("CompareReport", "単位"),
                                QCoreApplication::translate("CompareReport", "前回"),
                                QCoreApplication::translate("CompareReport", "今回"),
                                QCoreApplication::translate("CompareReport", "差"),
                                QCoreApplication::translate("CompareReport", "変化率 [%]")};
    const auto drawRow = [&](const QString(&cells)[7], bool bold, const QColor& change) {
        p.setFont(flow.Font(8.5, bold));
        double x = flow.area.left();
        for (int c = 0; c < 7; ++c) {
            const QRectF cell(x, flow.y, widths[c] * flow.area.width(), rowHeight);
            p.setPen(c >= 5 && !bold ? change : QColor(Qt::black));
            p.drawText(cell.adjusted(1.2 * mm, 0, -1.2 * mm, 0),
                       (c < 2 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter, cells[c]);
            x += cell.width();
        }
        flow.y += rowHeight;
    };
    const auto rule = [&] {
        p.setPen(QPen(Qt::black, 0.3 * mm));
        p.drawLine(QPointF(flow.area.left(), flow.y), QPointF(flow.area.right(), flow.y));
    };
    Heading(flow, QCoreApplication::translate("CompareReport", "歩行パラメータの変化"),
            4 * rowHeight);
    drawRow(headings, true, Qt::black);
    rule();
    const auto& rows = flow.input.comparison->rows;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ComparisonRow& row = rows[i];
        if (rowHeight > flow.Room()) {
            rule();
            flow.NewPage();
            drawRow(headings, true, Qt::black);
            rule();
        }
        // Millimetres read as metres on a clinic's form.
        const bool metres = row.unit == "mm" || row.unit == "mm/s";
        const double factor = metres ? 0.001 : 1.0;
        const int decimals = metres ? 2 : DecimalsOf(row.unit);
        const QString unit =
            row.unit == "mm" ? QStringLiteral("m")
                             : (row.unit == "mm/s" ? QStringLiteral("m/s") : UnitLabel(row.unit));
        const auto value = [&](const std::optional<double>& v) {
            return v ? Number(*v * factor, decimals) : QStringLiteral("–");
        };
        const QString cells[7] = {
            RowLabel(row.parameter),
            SideText(row.side),
            unit,
            value(row.before),
            value(row.after),
            row.difference ? Signed(*row.difference * factor, decimals) : QStringLiteral("–"),
            row.percentChange ? Signed(*row.percentChange, 1) : QStringLiteral("–")};
        if (i % 2 == 1) {
            p.fillRect(QRectF(flow.area.left(), flow.y, flow.area.width(), rowHeight),
                       QColor(242, 244, 247));
        }
        drawRow(cells, false, QColor(40, 40, 40));
    }
    rule();
    flow.y += 1.5 * mm;
    // The scores of both visits in a sentence too: the figure a clinic quotes.
    const auto degrees = [](const std::optional<double>& v) {
        return v ? Number(*v, 1) + QStringLiteral("°") : QStringLiteral("–");
    };
    const ProfileDeviation& b = flow.input.comparison->beforeDeviation;
    const ProfileDeviation& a = flow.input.comparison->afterDeviation;
    const QString score =
        b.score || a.score
            ? QCoreApplication::translate(
                  "CompareReport",
                  "矢状面プロファイルスコア (正常範囲からの RMS 偏差): 前回 %1 (右 %2、左 %3)、"
                  "今回 %4 (右 %5、左 %6)")
                  .arg(degrees(b.score), degrees(b.scoreRight), degrees(b.scoreLeft),
                       degrees(a.score), degrees(a.scoreRight), degrees(a.scoreLeft))
            : QCoreApplication::translate(
                  "CompareReport",
                  "矢状面プロファイルスコア: 正常範囲が指定されていないため、ありません。");
    Paragraph(flow, score, flow.Font(9, true), Qt::black);
}

// ---- the stills ----

void DrawStill(Flow& flow, const QRectF& frame, const ReportStill& still, const QString& caption) {
    QPainter& p = flow.p;
    const double mm = flow.mm;
    DrawStillPicture(flow, frame, still, [](const StillMarker& m) {
        return m.role.name.isEmpty() || !m.role.side ? QColor(20, 140, 60)
                                                     : SideColour(*m.role.side);
    });
    p.setFont(flow.Font(8.5));
    p.setPen(Qt::black);
    p.drawText(QRectF(frame.left(), frame.bottom() + 0.5 * mm, frame.width(), 5 * mm),
               Qt::AlignCenter, caption);
}

void DrawStills(Flow& flow) {
    const CompareVisitInput* visits[] = {&flow.input.before, &flow.input.after};
    if (!visits[0]->still || !visits[1]->still) {
        return;
    }
    const double mm = flow.mm;
    const double gap = 4 * mm;
    const double width = (flow.area.width() - gap) / 2;
    double aspect = 9.0 / 16.0;
    for (const CompareVisitInput* v : visits) {
        if (!v->still->picture.isNull()) {
            aspect = std::clamp(double(v->still->picture.height()) / v->still->picture.width(), 0.3,
                                1.4);
            break;
        }
    }
    const double pictureHeight = width * aspect;
    const ReportStill& first = *visits[0]->still;
    const QString event = first.kind == GaitEventKind::kHeelStrike
                              ? QCoreApplication::translate("CompareReport", "%1の踵接地")
                                    .arg(ReportSideLabel(first.side))
                              : QCoreApplication::translate("CompareReport", "%1の足尖離地")
                                    .arg(ReportSideLabel(first.side));
    Heading(flow,
            QCoreApplication::translate("CompareReport", "静止画: 最初のストライドの%1").arg(event),
            pictureHeight + 7 * mm);
    for (int k = 0; k < 2; ++k) {
        const CompareVisitInput& v = *visits[k];
        const double fps = v.analysis->fps;
        QString caption =
            (k == 0 ? QCoreApplication::translate("CompareReport", "前回 %1: フレーム %2")
                    : QCoreApplication::translate("CompareReport", "今回 %1: フレーム %2"))
                .arg(v.date)
                .arg(v.still->frame);
        if (fps > 0) {
            caption += QStringLiteral(" (%1 s)").arg(Number(v.still->frame / fps, 2));
        }
        DrawStill(flow, QRectF(flow.area.left() + k * (width + gap), flow.y, width, pictureHeight),
                  *v.still, caption);
    }
    flow.y += pictureHeight + 7 * mm;
    if (first.masked || visits[1]->still->masked) {
        Paragraph(flow,
                  QCoreApplication::translate(
                      "CompareReport", "顔のモザイクは切り出し動画と同じ位置にかけています。"),
                  flow.Font(8), QColor(60, 60, 60));
    }
}

// ---- the cycle curves ----

// One side of one angle, with its curves in both visits (either may be missing).
struct ChartCell {
    std::string base;    // "knee"
    std::string column;  // "knee_R"
    FootSide side = FootSide::kRight;
    const AngleCycles* before = nullptr;
    const AngleCycles* after = nullptr;
    const AngleCycles* any = nullptr;  // for the band
};

const SideCycles& Of(const AngleCycles& cycles, FootSide side) {
    return side == FootSide::kRight ? cycles.right : cycles.left;
}

std::vector<ChartCell> ChartCells(const GaitAnalysis& before, const GaitAnalysis& after) {
    std::vector<ChartCell> cells;
    const auto add = [&](const AngleCycles& cycles, bool isAfter) {
        for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
            if ((cycles.side && *cycles.side != side) || !Of(cycles, side).mean) {
                continue;
            }
            const std::string column = CycleColumnName(cycles, side);
            auto cell = std::find_if(cells.begin(), cells.end(),
                                     [&](const ChartCell& c) { return c.column == column; });
            if (cell == cells.end()) {
                cells.push_back({CycleBaseName(cycles), column, side, nullptr, nullptr, &cycles});
                cell = cells.end() - 1;
            }
            (isAfter ? cell->after : cell->before) = &cycles;
        }
    };
    for (const AngleCycles& cycles : after.cycles) {
        add(cycles, true);
    }
    for (const AngleCycles& cycles : before.cycles) {
        add(cycles, false);
    }
    return cells;
}

void DrawChart(Flow& flow, const QRectF& box, const ChartCell& cell) {
    QPainter& p = flow.p;
    const double mm = flow.mm;
    const NormalBand* normal = BandFor(flow.input.bands, *cell.any, cell.side);
    const ReferenceBand* band = normal != nullptr ? &normal->band : nullptr;
    const std::optional<CycleCurve>* means[] = {
        cell.before ? &Of(*cell.before, cell.side).mean : nullptr,
        cell.after ? &Of(*cell.after, cell.side).mean : nullptr};
    p.setFont(flow.Font(9.5, true));
    p.setPen(SideColour(cell.side).darker(120));
    p.drawText(QRectF(box.left(), box.top(), box.width(), 6 * mm), Qt::AlignCenter,
               QCoreApplication::translate("CompareReport", "%1 %2", "chart title: angle, side")
                   .arg(JointLabel(cell.base), ReportSideLabel(cell.side)));
    const QRectF plot = box.adjusted(17 * mm, 7 * mm, -3 * mm, -10 * mm);
    CycleRange range;
    for (const auto* mean : means) {
        if (mean != nullptr && *mean) {
            range.Widen(**mean);
        }
    }
    if (band != nullptr) {
        range.Widen(band->mean, band->sd);
    }
    p.setFont(flow.Font(7));
    if (range.Empty()) {
        p.setPen(QColor(60, 60, 60));
        p.drawText(plot, Qt::AlignCenter,
                   QCoreApplication::translate("CompareReport", "データなし"));
        return;
    }
    const CycleScale scale = DrawCycleChartFrame(p, mm, box, plot, range.lo, range.hi);
    p.save();
    p.setClipRect(plot);
    if (band != nullptr) {
        p.fillPath(scale.Band(band->mean, band->sd), QColor(150, 150, 150, 90));
    }
    for (int k = 0; k < 2; ++k) {
        if (means[k] != nullptr && *means[k]) {
            p.strokePath(scale.Curve(**means[k]), VisitPen(SideColour(cell.side), k == 1, mm));
        }
    }
    p.restore();
    p.setPen(QPen(Qt::black, 0.25 * mm));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);
}

void DrawLegend(Flow& flow) {
    const double mm = flow.mm;
    LegendRow legend(flow);
    legend.Line(VisitPen(QColor(60, 60, 60), false, mm), 9);
    legend.Text(QCoreApplication::translate("CompareReport", "前回の平均 (%1)")
                    .arg(flow.input.before.date));
    legend.Line(VisitPen(QColor(60, 60, 60), true, mm), 9);
    legend.Text(
        QCoreApplication::translate("CompareReport", "今回の平均 (%1)").arg(flow.input.after.date));
    if (!flow.input.bands.empty()) {
        legend.Box(QColor(150, 150, 150, 90));
        legend.Text(QCoreApplication::translate("CompareReport", "正常範囲 (平均 ± SD)"));
    }
    legend.End();
    if (const QStringList files = BandFileNames(flow.input.bands); !files.isEmpty()) {
        Paragraph(flow,
                  QCoreApplication::translate("CompareReport", "正常範囲のファイル: %1")
                      .arg(files.join(QStringLiteral(", "))),
                  flow.Font(8), QColor(60, 60, 60));
    }
    flow.y += 1 * mm;
}

void DrawCharts(Flow& flow) {
    const std::vector<ChartCell> cells =
        ChartCells(*flow.input.before.analysis, *flow.input.after.analysis);
    if (cells.empty()) {
        return;
    }
    const double mm = flow.mm;
    const double height = 68 * mm;
    Heading(flow, QCoreApplication::translate("CompareReport", "関節角度の平均周期曲線"),
            8 * mm + height);
    DrawLegend(flow);
    const double half = flow.area.width() / 2;
    for (std::size_t i = 0; i < cells.size();) {
        // A joint's right and left side by side; a lone side takes the left half.
        const bool pair = i + 1 < cells.size() && cells[i].base == cells[i + 1].base &&
                          cells[i].side == FootSide::kRight && cells[i + 1].side == FootSide::kLeft;
        flow.Need(height);
        DrawChart(flow, QRectF(flow.area.left(), flow.y, half, height - 2 * mm), cells[i]);
        if (pair) {
            DrawChart(flow, QRectF(flow.area.left() + half, flow.y, half, height - 2 * mm),
                      cells[i + 1]);
        }
        i += pair ? 2 : 1;
        flow.y += height;
    }
}

}  // namespace

int DrawCompareReportPages(QPdfWriter& writer, QPainter& painter, const CompareReportInput& input,
                           int count) {
    Flow flow{{writer, painter, RunningParts(input)}, input};
    flow.Start(count);
    DrawTitleAndVisits(flow);
    DrawTable(flow);
    DrawStills(flow);
    DrawCharts(flow);
    return flow.number;
}

}  // namespace kivra
