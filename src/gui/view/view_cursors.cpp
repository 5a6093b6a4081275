#include "view/view_cursors.h"

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPixmap>
#include <QRect>
#include <algorithm>

#include "ui/picture_drawing.h"

namespace kivra {

namespace {

constexpr int kSize = 32;

// A white shape with a black outline, readable on dark and light pictures alike.
void DrawOutlined(QPainter& p, const QPainterPath& path) {
    FillWithEdge(p, path, Qt::white, Qt::black, 1.0);
}

// A rounded bar from a to b.
QPainterPath Capsule(QPointF a, QPointF b, double width) {
    QPainterPath line(a);
    line.lineTo(b);
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::RoundCap);
    return stroker.createStroke(line);
}

// Palm, thumb and four fingers whose tips reach the given heights; short fingers make a fist.
QPixmap HandPicture(const double (&fingerTops)[4], double fingerBottom, QPointF thumbTip) {
    return PaintPicture(kSize, kSize, [&](QPainter& p) {
        QPainterPath hand = RoundedRectPath(QRectF(8.5, 12.5, 16.0, 14.0), 4.0);
        for (int i = 0; i < 4; ++i) {
            const QRectF finger(8.5 + 4.0 * i, fingerTops[i], 4.0, fingerBottom - fingerTops[i]);
            hand = hand.united(RoundedRectPath(finger, 2.0));
        }
        hand = hand.united(Capsule(QPointF(11.0, 22.0), thumbTip, 4.5)).simplified();
        DrawOutlined(p, hand);
        // The gaps between the fingers, down to the palm.
        p.setPen(QPen(Qt::black, 1.0));
        for (int i = 1; i < 4; ++i) {
            const double x = 8.5 + 4.0 * i;
            const double top = std::max(fingerTops[i - 1], fingerTops[i]) + 2.0;
            if (top < fingerBottom - 1.0) {
                p.drawLine(QPointF(x, top), QPointF(x, fingerBottom - 1.0));
            }
        }
    });
}

}  // namespace

QCursor MarkerPlacingCursor() {
    constexpr int cx = 12;
    constexpr int cy = 11;
    const QPixmap picture = PaintPicture(kSize, kSize, [](QPainter& p) {
        // Cross-hair centred on the hot spot, white under black so it shows on any picture,
        // with a dot on the hot spot.
        const QRect bars[] = {QRect(cx - 10, cy, 7, 1), QRect(cx + 4, cy, 7, 1),
                              QRect(cx, cy - 10, 1, 7), QRect(cx, cy + 4, 1, 7)};
        for (const QRect& bar : bars) {
            p.fillRect(bar.adjusted(-1, -1, 1, 1), Qt::white);
        }
        for (const QRect& bar : bars) {
            p.fillRect(bar, Qt::black);
        }
        p.fillRect(cx, cy, 1, 1, Qt::black);
        // A small arrow below and right of the cross-hair, pointing at it.
        const QPolygonF arrow{{16.5, 15.5}, {16.5, 28.5}, {19.5, 25.5}, {22.0, 30.5},
                              {24.0, 29.5}, {21.5, 24.5}, {25.5, 24.5}};
        DrawOutlined(p, ClosedPath(arrow));
    });
    return QCursor(picture, cx, cy);
}

QCursor OpenHandCursor() {
    const double tops[4] = {4.5, 2.5, 3.5, 6.5};
    return QCursor(HandPicture(tops, 16.0, QPointF(4.5, 14.0)), 7, 7);
}

QCursor ClosedHandCursor() {
    const double tops[4] = {9.5, 8.5, 9.0, 10.5};
    return QCursor(HandPicture(tops, 15.0, QPointF(7.0, 17.5)), 7, 7);
}

}  // namespace kivra
