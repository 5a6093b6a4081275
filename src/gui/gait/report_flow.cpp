#include "gait/report_flow.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <set>

namespace kivra {

void ReportFlow::Start(int pageCount) {
    mm = writer.resolution() / 25.4;
    area = QRectF(0, 0, writer.width(), writer.height());
    count = pageCount;
    y = area.top();
    RunningHeader();
}

void ReportFlow::NewPage() {
    writer.newPage();
    ++number;
    y = area.top();
    RunningHeader();
}

QFont ReportFlow::Font(double points, bool bold) const {
    QFont font = p.font();
    font.setPointSizeF(points);
    font.setBold(bold);
    // Shaped runs of digits among Japanese lose their characters in the PDF's text layer, and a
    // report is searched and read back by its numbers.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

void ReportFlow::RunningHeader() {
    p.save();
    p.setFont(Font(7.5));
    p.setPen(QColor(90, 90, 90));
    const QRectF line(area.left(), area.top() - 10 * mm, area.width(), 6 * mm);
    const QString total = count > 0 ? QString::number(count) : QStringLiteral("–");
    const QFontMetricsF metrics(p.font(), &writer);
    p.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
               metrics.elidedText(running.join(QStringLiteral("  ·  ")), Qt::ElideMiddle,
                                  line.width() - 20 * mm));
    p.drawText(line, Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("%1 / %2").arg(number).arg(total));
    p.setPen(QPen(QColor(160, 160, 160), 0.2 * mm));
    p.drawLine(QPointF(area.left(), line.bottom()), QPointF(area.right(), line.bottom()));
    p.restore();
}

Wrapped::Wrapped(const QString& text, const QFont& font, QPaintDevice* device, double width)
    : layout(QString(text)
                 .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                 .replace(QLatin1Char('\r'), QLatin1Char('\n'))
                 .replace(QLatin1Char('\n'), QChar::LineSeparator),
             font, device) {
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    double at = 0.0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, at));
        at += line.height();
        lines.push_back(line);
    }
    layout.endLayout();
}

void Paragraph(ReportFlow& flow, double x, double width, const QString& text, const QFont& font,
               const QColor& colour) {
    // An empty text still takes its line, so what stands beside it keeps its place.
    const Wrapped wrapped(text.isEmpty() ? QStringLiteral(" ") : text, font, &flow.writer, width);
    flow.p.setPen(colour);
    for (const QTextLine& line : wrapped.lines) {
        flow.Need(line.height());
        line.draw(&flow.p, QPointF(x, flow.y - line.y()));
        flow.y += line.height();
    }
}

void Heading(ReportFlow& flow, const QString& title, double following) {
    const double height = 8 * flow.mm;
    flow.Need(height + following);
    if (!flow.Fresh()) {
        flow.y += 2 * flow.mm;
    }
    flow.p.setFont(flow.Font(11, true));
    flow.p.setPen(QColor(30, 50, 80));
    flow.p.drawText(QRectF(flow.area.left(), flow.y, flow.area.width(), 6 * flow.mm),
                    Qt::AlignLeft | Qt::AlignVCenter, title);
    flow.p.setPen(QPen(QColor(30, 50, 80), 0.3 * flow.mm));
    flow.p.drawLine(QPointF(flow.area.left(), flow.y + 6.5 * flow.mm),
                    QPointF(flow.area.right(), flow.y + 6.5 * flow.mm));
    flow.y += height;
}

void TitleLine(ReportFlow& flow, const QString& title, const QString& made) {
    QPainter& p = flow.p;
    const QRectF line(flow.area.left(), flow.y, flow.area.width(), 10 * flow.mm);
    p.setFont(flow.Font(17, true));
    p.setPen(Qt::black);
    p.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, title);
    p.setFont(flow.Font(8.5));
    p.setPen(QColor(70, 70, 70));
    p.drawText(line, Qt::AlignRight | Qt::AlignVCenter, made);
    flow.y += 12 * flow.mm;
}

LegendRow::LegendRow(ReportFlow& flow)
    : m_flow(flow), m_height(5 * flow.mm), m_x(flow.area.left()) {
    flow.p.setFont(flow.Font(8));
}

void LegendRow::Text(const QString& text) {
    const double mm = m_flow.mm;
    const QFontMetricsF metrics(m_flow.p.font(), &m_flow.writer);
    m_flow.p.setPen(Qt::black);
    m_flow.p.drawText(QRectF(m_x, m_flow.y, metrics.horizontalAdvance(text) + 1 * mm, m_height),
                      Qt::AlignLeft | Qt::AlignVCenter, text);
    m_x += metrics.horizontalAdvance(text) + 5 * mm;
}

void LegendRow::Line(const QPen& pen, double lengthMm) {
    const double mid = m_flow.y + m_height / 2;
    m_flow.p.setPen(pen);
    m_flow.p.drawLine(QPointF(m_x, mid), QPointF(m_x + lengthMm * m_flow.mm, mid));
    m_x += (lengthMm + 1.5) * m_flow.mm;
}

void LegendRow::Box(const QColor& colour) {
    const double mm = m_flow.mm;
    m_flow.p.fillRect(QRectF(m_x, m_flow.y + m_height / 2 - 1.5 * mm, 7 * mm, 3 * mm), colour);
    m_x += 8.5 * mm;
}

void LegendRow::End() {
    m_flow.y += m_height + 0.5 * m_flow.mm;
}

QStringList BandFileNames(const std::vector<NormalBand>& bands) {
    std::set<QString> seen;
    QStringList files;
    for (const NormalBand& b : bands) {
        const QString name = QFileInfo(QString::fromStdString(b.file)).fileName();
        if (!name.isEmpty() && seen.insert(name).second) {
            files << name;
        }
    }
    return files;
}

}  // namespace kivra
