#pragma once
// Drawing pieces shared by the pictures the program paints in code rather than loads (toolbar
// buttons, the frame view's cursors), so they share one way of setting up and edging shapes.
#include <QColor>
#include <QPainterPath>
#include <QPen>
#include <QPixmap>
#include <QPolygonF>
#include <QRectF>
#include <functional>

class QPainter;

namespace kivra {

// A size x size picture, transparent around what `draw` paints. `draw` works antialiased on a
// grid x grid canvas scaled to the size, so one drawing serves every size.
QPixmap PaintPicture(int size, qreal grid, const std::function<void(QPainter&)>& draw);

// A solid pen with round caps and joins, so thick lines and corners end softly.
QPen RoundPen(const QColor& colour, qreal width);

// The closed outline through the corners, in order.
QPainterPath ClosedPath(const QPolygonF& corners);

QPainterPath RoundedRectPath(const QRectF& rect, qreal radius);

// Fills the path and draws its edge with a round pen; leaves that pen and brush set.
void FillWithEdge(QPainter& p, const QPainterPath& path, const QColor& fill, const QColor& edge,
                  qreal edgeWidth);

}  // namespace kivra
