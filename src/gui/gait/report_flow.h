#pragma once
// The writing position over a report's pages and its page turns, with who and what in the
// margin of every page; one per run of a report's drawing, on the painter and writer it is
// given. Shared by the gait and the comparison reports; private to kivra_gait_report.
#include <QFont>
#include <QRectF>
#include <QStringList>
#include <QTextLayout>
#include <vector>

#include "gait/normal_bands.h"

class QColor;
class QPainter;
class QPaintDevice;
class QPdfWriter;
class QPen;

namespace kivra {

struct ReportFlow {
    QPdfWriter& writer;
    QPainter& p;
    QStringList running;  // the running header's parts, joined by dots
    QRectF area;
    double mm = 1.0;  // device pixels per millimetre
    int count = 0;
    int number = 1;
    double y = 0.0;

    // The first page's top, under its running header; count heads each page as its total
    // (0 while it is not known).
    void Start(int pageCount);
    double Room() const { return area.bottom() - y; }
    bool Fresh() const { return y <= area.top() + 0.5; }
    // A new page unless height fits below y; a fresh page takes whatever comes.
    void Need(double height) {
        if (height > Room() && !Fresh()) {
            NewPage();
        }
    }
    void NewPage();
    QFont Font(double points, bool bold = false) const;
    // The parts and the page number in the margin, so a loose page still finds its file.
    void RunningHeader();
};

// Lines of text broken to width, line breaks kept; laid out on device for its metrics.
// Owns its layout, which its lines point into: made where it is drawn, never copied.
struct Wrapped {
    QTextLayout layout;
    std::vector<QTextLine> lines;

    Wrapped(const QString& text, const QFont& font, QPaintDevice* device, double width);
    double LineHeight() const { return lines.empty() ? 0.0 : lines.front().height(); }
};

// Text wrapped between x and x + width from flow.y on, a page turned between lines where
// needed.
void Paragraph(ReportFlow& flow, double x, double width, const QString& text, const QFont& font,
               const QColor& colour);
// A section's title, kept on the page of what follows it.
void Heading(ReportFlow& flow, const QString& title, double following);

// The report's title large on the left of its first line, made (when it was made) small on the
// right; flow.y below them.
void TitleLine(ReportFlow& flow, const QString& title, const QString& made);

// The key to a report's charts: a row of lines and colour boxes with their texts, left to right
// from flow.y on; End moves flow.y below it.
class LegendRow {
public:
    explicit LegendRow(ReportFlow& flow);
    void Text(const QString& text);
    void Line(const QPen& pen, double lengthMm);
    void Box(const QColor& colour);
    void End();

private:
    ReportFlow& m_flow;
    double m_height;
    double m_x;
};

// The file names the bands come from, each once, in their order.
QStringList BandFileNames(const std::vector<NormalBand>& bands);

}  // namespace kivra
