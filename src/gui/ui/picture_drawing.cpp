#include "ui/picture_drawing.h"

#include <QImage>
#include <QPainter>

namespace kivra {

QPixmap PaintPicture(int size, qreal grid, const std::function<void(QPainter&)>& draw) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / grid, size / grid);
    draw(p);
    p.end();
    return QPixmap::fromImage(image);
}

QPen RoundPen(const QColor& colour, qreal width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QPainterPath ClosedPath(const QPolygonF& corners) {
    QPainterPath path;
    path.addPolygon(corners);
    path.closeSubpath();
    return path;
}

QPainterPath RoundedRectPath(const QRectF& rect, qreal radius) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

void FillWithEdge(QPainter& p, const QPainterPath& path, const QColor& fill, const QColor& edge,
                  qreal edgeWidth) {
    p.setPen(RoundPen(edge, edgeWidth));
    p.setBrush(fill);
    p.drawPath(path);
}

}  // namespace kivra
