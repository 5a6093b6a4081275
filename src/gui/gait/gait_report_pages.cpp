// The report's pages: sections flowed one after the other, a page turned only where the next
// piece does not fit, so no page but the last is left half empty.
#include "gait/gait_report_pages.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>

#include <algorithm>
#include <array>
#include <cmath>

#include "gait/gait_texts.h"
#include "gait/report_flow.h"
#include "gait/report_stills.h"

namespace kivra {
namespace {

QColor SideColour(std::optional<FootSide> side) {
    if (!side) {
        return {20, 140, 60};
    }
    return *side == FootSide::kRight ? QColor(200, 40, 40) : QColor(30, 90, 200);
}

QString Translated(const char* text) {
    return QCoreApplication::translate("GaitReport", text);
}

QString Number(double value, int decimals) {
    return QLocale::c().toString(value, 'f', decimals);
}

// One run of DrawGaitReportPages: the flow over the pages, with what it draws.
struct Flow : ReportFlow {
    const GaitReportInput& input;
};

// Who and what in the margin of every page.
QStringList RunningParts(const GaitReportInput& input) {
    QStringList parts{QCoreApplication::translate("GaitReport", "歩行分析レポート")};
    for (const std::string& part : {input.header.patient, input.header.visit}) {
        if (const QString text = QString::fromStdString(part).simplified(); !text.isEmpty()) {
            parts << text;
        }
    }
    return parts << input.videoName;
}

// ---- the patient and the visit ----

// A form's field: its label, and the value on a line, or the line left blank to be filled in
// by hand.
void Field(Flow& flow, const QRectF& cell, const QString& label, const QString& value,
           const QString& unit = {}) {
    QPainter& p = flow.p;
    const double mm = flow.mm;
    p.setFont(flow.Font(8));
    p.setPen(QColor(90, 90, 90));
    const double labelWidth = 30 * mm;
    p.drawText(QRectF(cell.left(), cell.top(), labelWidth, cell.height()),
               Qt::AlignLeft | Qt::AlignBottom, label);
    const QRectF line(cell.left() + labelWidth, cell.top(), cell.width() - labelWidth - 4 * mm,
                      cell.height());
    p.setPen(QPen(QColor(120, 120, 120), 0.2 * mm));
    p.drawLine(line.bottomLeft() + QPointF(0, 0.8 * mm), line.bottomRight() + QPointF(0, 0.8 * mm));
    p.setFont(flow.Font(10));
    p.setPen(Qt::black);
    const QFontMetricsF metrics(p.font(), &flow.writer);
    if (!unit.isEmpty()) {
        p.drawText(line, Qt::AlignRight | Qt::AlignBottom, unit);
    }
    const double room =
        line.width() - (unit.isEmpty() ? 0 : metrics.horizontalAdvance(unit) + 2 * mm);
    p.drawText(line.adjusted(1 * mm, 0, 0, 0), Qt::AlignLeft | Qt::AlignBottom,
               metrics.elidedText(value.simplified(), Qt::ElideRight, room - 1 * mm));
}

void DrawTitleAndHeader(Flow& flow) {
    QPainter& p = flow.p;
    const double mm = flow.mm;
    const ReportHeader& h = flow.input.header;
    // The machine's locale may speak another language than the report: a date without words.
    TitleLine(flow, QCoreApplication::translate("GaitReport", "歩行分析レポート"),
              QCoreApplication::translate("GaitReport", "作成日時: %1")
                  .arg(flow.input.made.toString(QStringLiteral("yyyy-MM-dd HH:mm"))));
    const auto text = [](const std::string& s) { return QString::fromStdString(s); };
    const QString leg =
        h.legLengthMm && std::isfinite(*h.legLengthMm) ? Number(*h.legLengthMm, 0) : QString();
    struct Entry {
        QString label, value, unit;
    };
    const Entry fields[][2] = {
        {{QCoreApplication::translate("GaitReport", "氏名 / ID"), text(h.patient), {}},
         {QCoreApplication::translate("GaitReport", "生年月日 / 年齢"), text(h.birth), {}}},
        {{QCoreApplication::translate("GaitReport", "検査日"), text(h.visit), {}},
         {QCoreApplication::translate("GaitReport", "検査者"), text(h.examiner), {}}},
        {{QCoreApplication::translate("GaitReport", "歩行条件"), text(h.condition), {}},
         {QCoreApplication::translate("GaitReport", "脚長"), leg, QStringLiteral("mm")}}};
    const double rowHeight = 7.5 * mm;
    const double half = flow.area.width() / 2;
    for (const auto& row : fields) {
        for (int c = 0; c < 2; ++c) {
            Field(flow, QRectF(flow.area.left() + c * half, flow.y, half, rowHeight), row[c].label,
                  row[c].value, row[c].unit);
        }
        flow.y += rowHeight + 1.5 * mm;
    }
    const QString comment = text(h.comment).trimmed();
    if (comment.isEmpty()) {
        // Room for a remark by hand.
        const QRectF first(flow.area.left(), flow.y, flow.area.width() + 4 * mm, rowHeight);
        Field(flow, first, QCoreApplication::translate("GaitReport", "コメント"), {});
        Field(flow, first.translated(0, rowHeight + 1.5 * mm), {}, {});
        flow.y += 2 * (rowHeight + 1.5 * mm);
        return;
    }
    p.setFont(flow.Font(8));
    p.setPen(QColor(90, 90, 90));
    p.drawText(QRectF(flow.area.left(), flow.y + 1 * mm, 30 * mm, 5 * mm),
               Qt::AlignLeft | Qt::AlignVCenter,
               QCoreApplication::translate("GaitReport", "コメント"));
    flow.y += 1.5 * mm;
    Paragraph(flow, flow.area.left() + 31 * mm, flow.area.width() - 31 * mm, comment, flow.Font(10),
              Qt::black);
    flow.y += 1.5 * mm;
}

// ---- the recording ----

QString MarkerIdsText(const GaitAnalysisOptions& options) {
    QStringList parts;
    const auto foot = [&](const std::optional<FootMarkers>& f, const char* heel, const char* toe) {
        if (f) {
            parts << Translated(heel).arg(f->heelId) << Translated(toe).arg(f->toeId);
        }
    };
    foot(options.setup.right, QT_TRANSLATE_NOOP("GaitReport", "右踵 %1"),
         QT_TRANSLATE_NOOP("GaitReport", "右つま先 %1"));
    foot(options.setup.left, QT_TRANSLATE_NOOP("GaitReport", "左踵 %1"),
         QT_TRANSLATE_NOOP("GaitReport", "左つま先 %1"));
    if (options.setup.pelvisId > 0) {
        parts << QCoreApplication::translate("GaitReport", "骨盤 %1").arg(options.setup.pelvisId);
    }
    return parts.join(QCoreApplication::translate("GaitReport", "、"));
}

QString AnglesText(const GaitAnalysisOptions& options) {
    QStringList parts;
    for (const NamedAngle& a : options.angles) {
        parts << QStringLiteral("%1 %2-%3-%4")
                     .arg(QString::fromStdString(a.name))
                     .arg(a.proximal)
                     .arg(a.joint)
                     .arg(a.distal);
    }
    for (const ClinicalAngle& j : options.joints) {
        parts << QStringLiteral("%1 %2-%3-%4")
                     .arg(QString::fromStdString(ClinicalAngleName(j)))
                     .arg(j.proximal > 0 ? QString::number(j.proximal)
                                         : QCoreApplication::translate("GaitReport", "鉛直"))
                     .arg(j.middle)
                     .arg(j.distal);
    }
    return parts.join(QCoreApplication::translate("GaitReport", "、"));
}

void DrawRecording(Flow& flow) {
    const GaitAnalysis& a = *flow.input.analysis;
    const GaitAnalysisOptions* options = flow.input.options;
    const double mm = flow.mm;
    std::vector<std::pair<QString, QString>> rows;
    rows.emplace_back(QCoreApplication::translate("GaitReport", "動画"), flow.input.videoName);
    rows.emplace_back(
        QCoreApplication::translate("GaitReport", "フレームレート"),
        a.fps > 0
            ? QCoreApplication::translate("GaitReport", "%1 フレーム/秒").arg(Number(a.fps, 2))
            : QStringLiteral("–"));
    if (options != nullptr) {
        rows.emplace_back(
            QCoreApplication::translate("GaitReport", "キャリブレーション"),
            options->calibration && options->calibration->mmPerPixel > 0
                ? QCoreApplication::translate("GaitReport", "%1 mm/ピクセル")
                      .arg(Number(options->calibration->mmPerPixel, 4))
                : QCoreApplication::translate("GaitReport", "ピクセル: キャリブレーションなし"));
        rows.emplace_back(QCoreApplication::translate("GaitReport", "フィルタ"),
                          options->setup.filterHz > 0
                              ? QCoreApplication::translate("GaitReport", "ローパス %1 Hz")
                                    .arg(Number(options->setup.filterHz, 1))
                              : QCoreApplication::translate("GaitReport", "なし"));
        rows.emplace_back(QCoreApplication::translate("GaitReport", "マーカ ID"),
                          MarkerIdsText(*options));
        if (const QString angles = AnglesText(*options); !angles.isEmpty()) {
            rows.emplace_back(QCoreApplication::translate("GaitReport", "角度 (A-B-C)"), angles);
        }
    }
    const auto strides = [&](FootSide side) {
        return std::count_if(a.parameters.strides.begin(), a.parameters.strides.end(),
                             [side](const auto& s) { return s.side == side; });
    };
    rows.emplace_back(
        QCoreApplication::translate("GaitReport", "イベント", "the recording's count of them"),
        QCoreApplication::translate("GaitReport", "%1 件 (%2)、ストライド: 右 %3、左 %4")
            .arg(a.events.size())
            .arg(a.detected ? QCoreApplication::translate("GaitReport", "自動検出")
                            : QCoreApplication::translate("GaitReport", "編集済み"))
            .arg(strides(FootSide::kRight))
            .arg(strides(FootSide::kLeft)));
    Heading(flow, QCoreApplication::translate("GaitReport", "記録"), 6 * mm);
    const double labelWidth = 34 * mm;
    const double valueLine = QFontMetricsF(flow.Font(9), &flow.writer).height();
    for (const auto& [label, value] : rows) {
        flow.Need(5 * mm);
        flow.p.setFont(flow.Font(8.5));
        flow.p.setPen(QColor(90, 90, 90));
        flow.p.drawText(QRectF(flow.area.left(), flow.y, labelWidth, valueLine),
                        Qt::AlignLeft | Qt::AlignVCenter, label);
        Paragraph(flow, flow.area.left() + labelWidth, flow.area.width() - labelWidth, value,
                  flow.Font(9), Qt::black);
        flow.y += 0.6 * mm;
    }
}

void DrawNotes(Flow& flow) {
    const QStringList notes = AnalysisNotes(*flow.input.analysis, 3);
    if (notes.isEmpty()) {
        return;
    }
    Heading(flow, QCoreApplication::translate("GaitReport", "注意"), 6 * flow.mm);
    for (const QString& note : notes) {
        // Wrapped: a reason in a long language must not run off the page.
        Paragraph(flow, flow.area.left(), flow.area.width(), note, flow.Font(9),
                  QColor(170, 40, 20));
        flow.y += 0.8 * flow.mm;
    }
}

// ---- the parameters ----

// One row of the parameter table as printed.
struct TableRow {
    QString label, unit, both, right, left;
};

Statistic Scaled(Statistic s, double factor) {
    if (s.mean) {
        *s.mean *= factor;
    }
    if (s.sd) {
        *s.sd *= factor;
    }
    return s;
}

std::vector<TableRow> ParameterRows(const GaitAnalysis& a, std::optional<double> legMm) {
    std::vector<TableRow> rows;
    for (const ParameterSummary& s : a.parameters.summary) {
        // Millimetres read as metres on a clinic's form.
        const bool metres = s.unit == "mm" || s.unit == "mm/s";
        const double factor = metres ? 0.001 : 1.0;
        const int decimals = metres ? 2 : DecimalsOf(s.unit);
        const QString unit = s.unit == "mm"
                                 ? QStringLiteral("m")
                                 : (s.unit == "mm/s" ? QStringLiteral("m/s") : UnitLabel(s.unit));
        rows.push_back({ParameterLabel(s.name), unit,
                        StatisticText(Scaled(s.both, factor), decimals),
                        StatisticText(Scaled(s.right, factor), decimals),
                        StatisticText(Scaled(s.left, factor), decimals)});
    }
    if (!legMm || !a.parameters.millimetres || !(*legMm > 0) || !std::isfinite(*legMm)) {
        return rows;
    }
    const double leg = *legMm;
    const std::pair<const char*, const char*> lengths[] = {
        {"StrideLength", QT_TRANSLATE_NOOP("GaitReport", "ストライド長 / 脚長")},
        {"StepLength", QT_TRANSLATE_NOOP("GaitReport", "ステップ長 / 脚長")}};
    for (const auto& [name, label] : lengths) {
        if (const ParameterSummary* s = FindParameter(a.parameters, name)) {
            rows.push_back({Translated(label), QStringLiteral("–"),
                            StatisticText(Scaled(s->both, 1.0 / leg), 2),
                            StatisticText(Scaled(s->right, 1.0 / leg), 2),
                            StatisticText(Scaled(s->left, 1.0 / leg), 2)});
        }
    }
    if (const ParameterSummary* s = FindParameter(a.parameters, "Speed")) {
        // Hof 1996: v / sqrt(g L), with v and L in metres.
        const double factor = 0.001 / std::sqrt(9.81 * leg / 1000.0);
        rows.push_back({QCoreApplication::translate("GaitReport", "無次元速度 v/√(g·L)"),
                        QStringLiteral("–"), StatisticText(Scaled(s->both, factor), 3),
                        StatisticText(Scaled(s->right, factor), 3),
                        StatisticText(Scaled(s->left, factor), 3)});
    }
    return rows;
}

// One row of the five-column tables (item, unit, both, right, left), text left of the first
// column and right of the others; the flow moves down by the row.
constexpr double kTableRowMm = 5.8;
void DrawTableRow(Flow& flow, const QString (&cells)[5], bool bold) {
    static constexpr double kWidths[] = {0.34, 0.12, 0.18, 0.18, 0.18};
    QPainter& p = flow.p;
    const double mm = flow.mm;
    p.setFont(flow.Font(9, bold));
    p.setPen(Qt::black);
    double x = flow.area.left();
    for (int c = 0; c < 5; ++c) {
        const QRectF cell(x, flow.y, kWidths[c] * flow.area.width(), kTableRowMm * mm);
        p.drawText(cell.adjusted(1.5 * mm, 0, -1.5 * mm, 0),
                   (c == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter, cells[c]);
        x += cell.width();
    }
    flow.y += kTableRowMm * mm;
}

void DrawParameters(Flow& flow) {
    const GaitAnalysis& a = *flow.input.analysis;
    QPainter& p = flow.p;
    const double mm = flow.mm;
    const double rowHeight = kTableRowMm * mm;
    const TableRow headings{QCoreApplication::translate("GaitReport", "項目"),
                            QCoreApplication::translate("GaitReport", "単位"),
                            QCoreApplication::translate("GaitReport", "両側"),
                            QCoreApplication::translate("GaitReport", "右"),
                            QCoreApplication::translate("GaitReport", "左")};
    const std::vector<TableRow> rows = ParameterRows(a, flow.input.header.legLengthMm);
    const std::size_t plain = a.parameters.summary.size();
    const auto drawRow = [&](const TableRow& row, bool bold) {
        const QString cells[] = {row.label, row.unit, row.both, row.right, row.left};
        DrawTableRow(flow, cells, bold);
    };
    const auto rule = [&] {
        p.setPen(QPen(Qt::black, 0.3 * mm));
        p.drawLine(QPointF(flow.area.left(), flow.y), QPointF(flow.area.right(), flow.y));
    };
    QStringList notes{QCoreApplication::translate(
        "GaitReport",
        "平均 ± 標準偏差。対称性指数は右と左の差の大きさを両者の平均で割った百分率。")};
    if (!a.parameters.millimetres) {
        notes << QCoreApplication::translate(
            "GaitReport",
            "長さと速度はピクセル単位 (px、px/s) です: キャリブレーションがありません。");
    } else if (rows.size() > plain) {
        notes << QCoreApplication::translate(
                     "GaitReport",
                     "脚長 L = %1 mm で正規化。無次元速度は Hof (1996) による v/√(g·L)、"
                     "g = 9.81 m/s²。")
                     .arg(Number(*flow.input.header.legLengthMm, 0));
    }
    const QString note = notes.join(QLatin1Char(' '));
    QString score;
    if (const ProfileDeviation& d = a.deviation; d.score) {
        const auto degrees = [](const std::optional<double>& v) {
            return v ? Number(*v, 1) + QStringLiteral("°") : QStringLiteral("–");
        };
        score = QCoreApplication::translate(
                    "GaitReport",
                    "矢状面プロファイルスコア (正常範囲からの RMS 偏差): 全体 %1、右 %2、左 %3")
                    .arg(degrees(d.score), degrees(d.scoreRight), degrees(d.scoreLeft));
    }
    // The notes head the table, so the table may end at any page's foot; the score keeps to
    // its last row.
    const Wrapped noteLines(note, flow.Font(8), &flow.writer, flow.area.width());
    Heading(flow, QCoreApplication::translate("GaitReport", "歩行パラメータ"),
            double(noteLines.lines.size()) * noteLines.LineHeight() + 4 * rowHeight);
    Paragraph(flow, flow.area.left(), flow.area.width(), note, flow.Font(8), QColor(60, 60, 60));
    flow.y += 1 * mm;
    drawRow(headings, true);
    rule();
    const double below = score.isEmpty() ? 0.0 : 8 * mm;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        // The last rows go over together: never one row alone on a page.
        const std::size_t last = std::min<std::size_t>(3, rows.size() - i);
        const bool tail = rows.size() - i <= 3;
        if (rowHeight * double(tail ? last : 1) + (tail ? below : 0.0) > flow.Room()) {
            rule();
            flow.NewPage();
            drawRow(headings, true);
            rule();
        }
        if (i == plain) {
            // The rows normalised to leg length set apart from the measured ones.
            p.setPen(QPen(QColor(120, 120, 120), 0.2 * mm));
            p.drawLine(QPointF(flow.area.left(), flow.y), QPointF(flow.area.right(), flow.y));
        }
        if (i % 2 == 1) {
            p.fillRect(QRectF(flow.area.left(), flow.y, flow.area.width(), rowHeight),
                       QColor(242, 244, 247));
        }
        drawRow(rows[i], false);
    }
    rule();
    if (!score.isEmpty()) {
        flow.y += 1.5 * mm;
        Paragraph(flow, flow.area.left(), flow.area.width(), score, flow.Font(9, true), Qt::black);
    }
}

// ---- the events ----

void DrawEvents(Flow& flow) {
    const GaitAnalysis& a = *flow.input.analysis;
    if (a.events.empty()) {
        return;
    }
    QPainter& p = flow.p;
    const double mm = flow.mm;
    const double rowHeight = 4.4 * mm;
    const QString headings[] = {QCoreApplication::translate("GaitReport", "フレーム"),
                                QCoreApplication::translate("GaitReport", "時間 [s]"),
                                QCoreApplication::translate("GaitReport", "側"),
                                QCoreApplication::translate("GaitReport", "イベント")};
    const QString strike = QCoreApplication::translate("GaitReport", "踵接地");
    const QString toeOff = QCoreApplication::translate("GaitReport", "足尖離地");
    const QString rightSide = QCoreApplication::translate("GaitReport", "右", "short, in a table");
    const QString leftSide = QCoreApplication::translate("GaitReport", "左", "short, in a table");
    // Columns as wide as their words in the report's language, as many groups as fit.
    const QFontMetricsF bold(flow.Font(7.5, true), &flow.writer);
    const QFontMetricsF plain(flow.Font(7.5), &flow.writer);
    const QString widest[] = {
        QStringLiteral("00000"), QStringLiteral("000.000"),
        plain.horizontalAdvance(rightSide) > plain.horizontalAdvance(leftSide) ? rightSide
                                                                               : leftSide,
        plain.horizontalAdvance(strike) > plain.horizontalAdvance(toeOff) ? strike : toeOff};
    double columns[4];
    double needed = 0.0;
    for (int c = 0; c < 4; ++c) {
        columns[c] =
            std::max(bold.horizontalAdvance(headings[c]), plain.horizontalAdvance(widest[c])) +
            2 * mm;
        needed += columns[c];
    }
    const int groups = std::clamp(int(flow.area.width() / needed), 1, 4);
    const double groupWidth = flow.area.width() / groups;
    columns[3] = std::max(columns[3], groupWidth - columns[0] - columns[1] - columns[2]);
    Heading(flow,
            QCoreApplication::translate("GaitReport", "歩行イベント (%1 件)").arg(a.events.size()),
            3 * rowHeight);
    std::size_t next = 0;
    while (next < a.events.size()) {
        int fit = static_cast<int>(std::floor((flow.Room() - rowHeight) / rowHeight));
        if (fit < 2 && !flow.Fresh()) {
            flow.NewPage();
            fit = static_cast<int>(std::floor((flow.Room() - rowHeight) / rowHeight));
        }
        const std::size_t left = a.events.size() - next;
        const int rows = std::max(1, std::min<int>(fit, int((left + groups - 1) / groups)));
        p.setFont(flow.Font(7.5, true));
        p.setPen(Qt::black);
        for (int g = 0; g < groups; ++g) {
            double x = flow.area.left() + g * groupWidth;
            for (int c = 0; c < 4; ++c) {
                const QRectF cell(x, flow.y, columns[c], rowHeight);
                p.drawText(cell.adjusted(0.7 * mm, 0, -0.7 * mm, 0),
                           (c < 2 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                           headings[c]);
                x += cell.width();
            }
        }
        const double top = flow.y + rowHeight;
        p.setPen(QPen(Qt::black, 0.25 * mm));
        p.drawLine(QPointF(flow.area.left(), top), QPointF(flow.area.right(), top));
        p.setFont(flow.Font(7.5));
        // Down the columns first, as a list is read.
        for (int g = 0; g < groups; ++g) {
            for (int r = 0; r < rows; ++r) {
                const std::size_t i = next + std::size_t(g) * rows + r;
                if (i >= a.events.size()) {
                    break;
                }
                const GaitEvent& e = a.events[i];
                const QString cells[] = {
                    QString::number(e.frame),
                    a.fps > 0 ? Number(e.moment / a.fps, 3) : QStringLiteral("–"),
                    e.side == FootSide::kRight ? rightSide : leftSide,
                    e.kind == GaitEventKind::kHeelStrike ? strike : toeOff};
                double x = flow.area.left() + g * groupWidth;
                const double y = top + r * rowHeight;
                if (r % 2 == 1) {
                    p.fillRect(QRectF(x, y, groupWidth, rowHeight), QColor(242, 244, 247));
                }
                p.setPen(Qt::black);
                for (int c = 0; c < 4; ++c) {
                    const QRectF cell(x, y, columns[c], rowHeight);
                    if (c == 2) {
                        p.setPen(SideColour(e.side));
                    }
                    p.drawText(cell.adjusted(0.7 * mm, 0, -0.7 * mm, 0),
                               (c < 2 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                               cells[c]);
                    p.setPen(Qt::black);
                    x += cell.width();
                }
            }
        }
        p.setPen(QPen(QColor(170, 170, 170), 0.2 * mm));
        for (int g = 1; g < groups; ++g) {
            const double x = flow.area.left() + g * groupWidth;
            p.drawLine(QPointF(x, flow.y), QPointF(x, top + rows * rowHeight));
        }
        next += std::size_t(rows) * groups;
        flow.y = top + rows * rowHeight + 1 * mm;
    }
}

// ---- the stills ----

void DrawStill(Flow& flow, const QRectF& box, const ReportStill& still, double pictureHeight) {
    QPainter& p = flow.p;
    const double mm = flow.mm;
    const QRectF frame(box.left(), box.top(), box.width(), pictureHeight);
    DrawStillPicture(flow, frame, still, [](const StillMarker& m) {
        return m.role.name.isEmpty() ? QColor(150, 150, 150) : SideColour(m.role.side);
    });
    p.setFont(flow.Font(8.5));
    p.setPen(Qt::black);
    const double fps = flow.input.analysis->fps;
    QString caption = (still.kind == GaitEventKind::kHeelStrike
                           ? QCoreApplication::translate("GaitReport", "%1 踵接地 フレーム %2")
                           : QCoreApplication::translate("GaitReport", "%1 足尖離地 フレーム %2"))
                          .arg(ReportSideLabel(still.side))
                          .arg(still.frame);
    if (fps > 0) {
        caption += QStringLiteral(" (%1 s)").arg(Number(still.frame / fps, 2));
    }
    p.drawText(QRectF(box.left(), frame.bottom() + 0.5 * mm, box.width(), 5 * mm), Qt::AlignCenter,
               caption);
}

void DrawStills(Flow& flow) {
    const auto& stills = flow.input.stills;
    if (stills.empty()) {
        return;
    }
    const double mm = flow.mm;
    const double gap = 4 * mm;
    const double width = (flow.area.width() - gap) / 2;
    double aspect = 9.0 / 16.0;
    for (const ReportStill& s : stills) {
        if (!s.picture.isNull()) {
            aspect = std::clamp(double(s.picture.height()) / s.picture.width(), 0.3, 1.4);
            break;
        }
    }
    const double pictureHeight = width * aspect;
    const double rowHeight = pictureHeight + 7 * mm;
    Heading(flow, QCoreApplication::translate("GaitReport", "静止画"), rowHeight);
    const bool masked =
        std::any_of(stills.begin(), stills.end(), [](const ReportStill& s) { return s.masked; });
    if (masked) {
        Paragraph(flow, flow.area.left(), flow.area.width(),
                  QCoreApplication::translate(
                      "GaitReport", "顔のモザイクは切り出し動画と同じ位置にかけています。"),
                  flow.Font(8), QColor(60, 60, 60));
        flow.y += 1 * mm;
    }
    for (std::size_t i = 0; i < stills.size(); i += 2) {
        flow.Need(rowHeight);
        for (std::size_t k = i; k < i + 2 && k < stills.size(); ++k) {
            DrawStill(
                flow,
                QRectF(flow.area.left() + double(k - i) * (width + gap), flow.y, width, rowHeight),
                stills[k], pictureHeight);
        }
        flow.y += rowHeight + 1.5 * mm;
    }
}

// ---- the cycle curves ----

// One side's curve of one angle in a chart.
struct ChartCell {
    const AngleCycles* cycles = nullptr;
    FootSide side = FootSide::kRight;
};

QString JointTitle(const AngleCycles& cycles) {
    const std::string base = CycleBaseName(cycles);
    static const std::pair<const char*, const char*> kFrontal[] = {
        {kPelvicObliquity, QT_TRANSLATE_NOOP("GaitReport", "骨盤傾斜")},
        {kTrunkLean, QT_TRANSLATE_NOOP("GaitReport", "体幹側屈")},
        {"knee_frontal", QT_TRANSLATE_NOOP("GaitReport", "膝の前額面角度")}};
    for (const auto& [name, title] : kFrontal) {
        if (base == name) {
            return Translated(title);
        }
    }
    return cycles.side ? JointLabel(base) : QString::fromStdString(base);
}

// One side's cycle curves of one angle: strides faint, mean bold, SD band, its normal band
// behind them, where stance gives way to swing, and how far the mean lies from the band.
void DrawCycleChart(Flow& flow, const QRectF& box, const ChartCell& cell) {
    QPainter& p = flow.p;
    const double mm = flow.mm;
    const SideCycles& c = cell.side == FootSide::kRight ? cell.cycles->right : cell.cycles->left;
    const NormalBand* normal = BandFor(flow.input.bands, *cell.cycles, cell.side);
    const ReferenceBand* band = normal != nullptr ? &normal->band : nullptr;
    std::optional<double> rms;
    const std::string column = CycleColumnName(*cell.cycles, cell.side);
    for (const BandDeviation& d : flow.input.analysis->deviation.angles) {
        if (d.column == column && band != nullptr) {
            rms = d.rmsDegrees;
        }
    }
    p.setFont(flow.Font(9.5, true));
    p.setPen(SideColour(cell.side).darker(120));
    p.drawText(QRectF(box.left(), box.top(), box.width(), 6 * mm), Qt::AlignCenter,
               QCoreApplication::translate("GaitReport", "%1 %2", "chart title: angle, side")
                   .arg(JointTitle(*cell.cycles), ReportSideLabel(cell.side)));
    const QRectF plot = box.adjusted(17 * mm, 7 * mm, -3 * mm, -(rms ? 14 : 10) * mm);
    CycleRange range;
    for (const CycleCurve& s : c.strides) {
        range.Widen(s);
    }
    if (c.mean && c.sd) {
        range.Widen(*c.mean, *c.sd);
    }
    if (band != nullptr) {
        range.Widen(band->mean, band->sd);
    }
    p.setFont(flow.Font(7));
    if (range.Empty()) {
        p.setPen(QColor(60, 60, 60));
        p.drawText(plot, Qt::AlignCenter, QCoreApplication::translate("GaitReport", "データなし"));
        return;
    }
    const CycleScale scale = DrawCycleChartFrame(p, mm, box, plot, range.lo, range.hi);
    const auto at = [&scale](double percent, double degrees) { return scale.At(percent, degrees); };
    if (rms) {
        p.setFont(flow.Font(7.5, true));
        p.drawText(QRectF(plot.left(), plot.bottom() + 8.8 * mm, plot.width(), 4.5 * mm),
                   Qt::AlignCenter,
                   QCoreApplication::translate("GaitReport", "正常範囲からの RMS 偏差: %1°")
                       .arg(Number(*rms, 1)));
        p.setFont(flow.Font(7));
    }
    const auto fill = [&](const CycleCurve& mean, const CycleCurve& sd, const QColor& colour) {
        p.fillPath(scale.Band(mean, sd), colour);
    };
    const auto curve = [&](const CycleCurve& values, const QPen& pen) {
        p.strokePath(scale.Curve(values), pen);
    };
    p.save();
    p.setClipRect(plot);
    if (band != nullptr) {
        fill(band->mean, band->sd, QColor(150, 150, 150, 90));
    }
    const QColor colour = SideColour(cell.side);
    if (c.mean && c.sd) {
        QColor light = colour;
        light.setAlpha(50);
        fill(*c.mean, *c.sd, light);
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
        p.drawLine(at(*c.stancePercent, scale.lo), at(*c.stancePercent, scale.hi));
        const QString label = QCoreApplication::translate("GaitReport", "足尖離地 %1%")
                                  .arg(Number(*c.stancePercent, 0));
        p.setFont(flow.Font(6.5));
        const QFontMetricsF metrics(p.font(), &flow.writer);
        const double w = metrics.horizontalAdvance(label) + 1.2 * mm;
        const double x = at(*c.stancePercent, scale.hi).x();
        const QRectF tag(*c.stancePercent < 70 ? x + 0.8 * mm : x - 0.8 * mm - w,
                         plot.top() + 0.8 * mm, w, metrics.height());
        p.fillRect(tag, QColor(255, 255, 255, 220));
        p.setPen(QColor(40, 40, 40));
        p.drawText(tag, Qt::AlignCenter, label);
    }
    p.restore();
    p.setPen(QPen(Qt::black, 0.25 * mm));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);
}

// The key to every chart, once above them, and the files their bands come from.
void DrawLegend(Flow& flow) {
    const double mm = flow.mm;
    const QColor red = SideColour(FootSide::kRight);
    const QColor blue = SideColour(FootSide::kLeft);
    QColor faintRed = red;
    faintRed.setAlpha(90);
    QColor lightRed = red;
    lightRed.setAlpha(50);
    LegendRow legend(flow);
    legend.Line(QPen(faintRed, 0.25 * mm), 7);
    legend.Text(QCoreApplication::translate("GaitReport", "各ストライド"));
    legend.Line(QPen(red, 0.7 * mm), 7);
    legend.Line(QPen(blue, 0.7 * mm), 7);
    legend.Text(QCoreApplication::translate("GaitReport", "平均 (右 / 左)"));
    legend.Box(lightRed);
    legend.Text(QCoreApplication::translate("GaitReport", "±1 SD"));
    if (!flow.input.bands.empty()) {
        legend.Box(QColor(150, 150, 150, 90));
        legend.Text(QCoreApplication::translate("GaitReport", "正常範囲 (平均 ± SD)"));
    }
    legend.Line(QPen(QColor(40, 40, 40), 0.3 * mm, Qt::DashLine), 7);
    legend.Text(QCoreApplication::translate("GaitReport", "足尖離地"));
    legend.End();
    if (const QStringList files = BandFileNames(flow.input.bands); !files.isEmpty()) {
        Paragraph(flow, flow.area.left(), flow.area.width(),
                  QCoreApplication::translate("GaitReport", "正常範囲のファイル: %1")
                      .arg(files.join(QStringLiteral(", "))),
                  flow.Font(8), QColor(60, 60, 60));
    }
    flow.y += 1 * mm;
}

using ChartRow = std::array<std::optional<ChartCell>, 2>;

// A row per angle, right beside left; a joint's two sides share one row, and curves without
// their other side pair up so no half row stays empty.
std::vector<ChartRow> ChartRows(const std::vector<AngleCycles>& all) {
    std::vector<std::pair<std::string, ChartRow>> named;
    for (const AngleCycles& cycles : all) {
        const std::string base = (cycles.side ? "joint:" : "angle:") + CycleBaseName(cycles);
        auto row = std::find_if(named.begin(), named.end(),
                                [&](const auto& r) { return r.first == base; });
        if (row == named.end()) {
            named.emplace_back(base, ChartRow{});
            row = named.end() - 1;
        }
        for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
            if (!cycles.side || *cycles.side == side) {
                row->second[side == FootSide::kRight ? 0 : 1] = ChartCell{&cycles, side};
            }
        }
    }
    std::vector<ChartRow> rows;
    std::optional<ChartCell> single;
    for (const auto& [base, row] : named) {
        if (row[0] && row[1]) {
            if (single) {
                rows.push_back({single, std::nullopt});
                single.reset();
            }
            rows.push_back(row);
        } else if (single) {
            rows.push_back({single, row[0] ? row[0] : row[1]});
            single.reset();
        } else {
            single = row[0] ? row[0] : row[1];
        }
    }
    if (single) {
        rows.push_back({single, std::nullopt});
    }
    return rows;
}

// The charts of cycles under title; the key only above the sagittal ones, which come first.
void DrawCharts(Flow& flow, const std::vector<AngleCycles>& cycles, const QString& title,
                bool legend) {
    const std::vector<ChartRow> rows = ChartRows(cycles);
    if (rows.empty()) {
        return;
    }
    const double mm = flow.mm;
    const double preferred = 72 * mm;
    const double least = 55 * mm;
    Heading(flow, title, 12 * mm + least);
    if (legend) {
        DrawLegend(flow);
    }
    std::size_t next = 0;
    while (next < rows.size()) {
        // As many rows as fit, stretched to fill the page unless they are the last.
        const std::size_t left = rows.size() - next;
        std::size_t fit = std::size_t(std::max(0.0, std::floor(flow.Room() / least)));
        if (fit == 0 && !flow.Fresh()) {
            flow.NewPage();
            continue;
        }
        fit = std::max<std::size_t>(fit, 1);
        fit = std::min(fit, left);
        const double height =
            std::min(fit == left ? preferred : 1.3 * preferred, flow.Room() / double(fit));
        for (std::size_t i = 0; i < fit; ++i, ++next) {
            const double half = flow.area.width() / 2;
            for (int s = 0; s < 2; ++s) {
                if (const auto& cell = rows[next][s]) {
                    DrawCycleChart(
                        flow, QRectF(flow.area.left() + s * half, flow.y, half, height - 2 * mm),
                        *cell);
                }
            }
            flow.y += height;
        }
    }
}

// ---- the front view ----

// The front view's summary (frontal.csv's) and its cycle curves, from a page of their own.
void DrawFrontal(Flow& flow) {
    const FrontalAnalysis* frontal = flow.input.frontal;
    if (frontal == nullptr) {
        return;
    }
    if (!flow.Fresh()) {
        flow.NewPage();
    }
    QPainter& p = flow.p;
    const double mm = flow.mm;
    const double rowHeight = kTableRowMm * mm;
    Heading(flow, QCoreApplication::translate("GaitReport", "正面から見た計測 (前額面)"),
            rowHeight * double(frontal->summary.size() + 1));
    const auto drawRow = [&](const QString(&cells)[5], bool bold) {
        DrawTableRow(flow, cells, bold);
    };
    drawRow({QCoreApplication::translate("GaitReport", "項目"),
             QCoreApplication::translate("GaitReport", "単位"),
             QCoreApplication::translate("GaitReport", "両側"),
             QCoreApplication::translate("GaitReport", "右"),
             QCoreApplication::translate("GaitReport", "左")},
            true);
    p.setPen(QPen(Qt::black, 0.3 * mm));
    p.drawLine(QPointF(flow.area.left(), flow.y), QPointF(flow.area.right(), flow.y));
    for (const ParameterSummary& s : frontal->summary) {
        const int decimals = s.unit == "deg" ? 1 : DecimalsOf(s.unit);
        flow.Need(rowHeight);
        drawRow({ParameterLabel(s.name), UnitLabel(s.unit), StatisticText(s.both, decimals),
                 StatisticText(s.right, decimals), StatisticText(s.left, decimals)},
                false);
    }
    flow.y += 1.5 * mm;
    Paragraph(flow, flow.area.left(), flow.area.width(),
              QCoreApplication::translate(
                  "GaitReport",
                  "側面の動画のストライドを正面の動画に移して計測。平均 ± 標準偏差。骨盤傾斜は"
                  "右が上で正、膝の前額面角度は外反で正、体幹側屈は右へ傾くと正。"),
              flow.Font(8), QColor(60, 60, 60));
    DrawCharts(flow, frontal->cycles, QCoreApplication::translate("GaitReport", "前額面の周期曲線"),
               false);
}

}  // namespace

QPainterPath CycleScale::Curve(const CycleCurve& values) const {
    QPainterPath path;
    path.moveTo(At(0, values[0]));
    for (int i = 1; i < kCyclePoints; ++i) {
        path.lineTo(At(i, values[i]));
    }
    return path;
}

QPainterPath CycleScale::Band(const CycleCurve& mean, const CycleCurve& sd) const {
    QPainterPath path;
    path.moveTo(At(0, mean[0] + sd[0]));
    for (int i = 1; i < kCyclePoints; ++i) {
        path.lineTo(At(i, mean[i] + sd[i]));
    }
    for (int i = kCyclePoints - 1; i >= 0; --i) {
        path.lineTo(At(i, mean[i] - sd[i]));
    }
    path.closeSubpath();
    return path;
}

void CycleRange::Widen(double v) {
    if (std::isfinite(v)) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
}

void CycleRange::Widen(const CycleCurve& values) {
    for (const double v : values) {
        Widen(v);
    }
}

void CycleRange::Widen(const CycleCurve& mean, const CycleCurve& sd) {
    for (int i = 0; i < kCyclePoints; ++i) {
        Widen(mean[i] + sd[i]);
        Widen(mean[i] - sd[i]);
    }
}

CycleScale DrawCycleChartFrame(QPainter& p, double mm, const QRectF& box, const QRectF& plot,
                               double lo, double hi) {
    // Round the range out to tens of degrees so the grid reads easily.
    lo = std::floor(lo / 10.0) * 10.0;
    hi = std::ceil(hi / 10.0) * 10.0;
    if (hi - lo < 10.0) {
        hi = lo + 10.0;
    }
    const CycleScale scale{plot, lo, hi};
    const auto at = [&scale](double percent, double degrees) { return scale.At(percent, degrees); };
    const QPen grid(QColor(215, 215, 215), 0.2 * mm);
    const QColor ink(60, 60, 60);
    // Counted, not summed: with a step far below the values' precision a sum never ends.
    double step = (hi - lo) > 60 ? 20.0 : 10.0;
    while ((hi - lo) / step > 12.0 && std::isfinite(step)) {
        step *= 2.0;
    }
    const int lines = static_cast<int>(std::min(12.0, std::floor((hi - lo) / step + 1e-9)));
    for (int k = 0; k <= lines; ++k) {
        const double v = lo + k * step;
        p.setPen(grid);
        p.drawLine(at(0, v), at(100, v));
        p.setPen(ink);
        p.drawText(QRectF(plot.left() - 10 * mm, at(0, v).y() - 3 * mm, 9 * mm, 6 * mm),
                   Qt::AlignRight | Qt::AlignVCenter, Number(v, 0));
    }
    for (int x = 0; x <= 100; x += 20) {
        p.setPen(grid);
        p.drawLine(at(x, lo), at(x, hi));
        p.setPen(ink);
        p.drawText(QRectF(at(x, lo).x() - 6 * mm, plot.bottom() + 0.5 * mm, 12 * mm, 4 * mm),
                   Qt::AlignCenter, QString::number(x));
    }
    p.drawText(QRectF(plot.left(), plot.bottom() + 4.3 * mm, plot.width(), 4 * mm), Qt::AlignCenter,
               QCoreApplication::translate("GaitReport", "歩行周期 [%]"));
    p.save();
    p.translate(box.left() + 2.5 * mm, plot.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-plot.height() / 2, -2.5 * mm, plot.height(), 5 * mm), Qt::AlignCenter,
               QCoreApplication::translate("GaitReport", "角度 [°]"));
    p.restore();
    return scale;
}

int DrawGaitReportPages(QPdfWriter& writer, QPainter& painter, const GaitReportInput& input,
                        int count) {
    Flow flow{{writer, painter, RunningParts(input)}, input};
    flow.Start(count);
    DrawTitleAndHeader(flow);
    DrawRecording(flow);
    DrawNotes(flow);
    DrawParameters(flow);
    DrawEvents(flow);
    DrawStills(flow);
    DrawCharts(flow, input.analysis->cycles,
               QCoreApplication::translate("GaitReport", "関節角度の周期曲線"), true);
    DrawFrontal(flow);
    return flow.number;
}

}  // namespace kivra
