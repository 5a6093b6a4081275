#include "view/view_cursors.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPixmap>
#include <algorithm>

namespace kivra {

namespace {

constexpr int kSize = 32;

QImage BlankCursorImage() {
    QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A white shape with a black outline, readable on dark and light pictures alike.
void DrawOutlined(QPainter& p, const QPainterPath& path) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.fillPath(path, Qt::white);
    p.strokePath(path, QPen(Qt::black, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

QPainterPath Finger(double x, double top, double bottom) {
    QPainterPath path;
    path.addRoundedRect(QRectF(x, top, 4.0, bottom - top), 2.0, 2.0);
    return path;
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
QImage HandImage(const double (&fingerTops)[4], double fingerBottom, QPointF thumbTip) {
    QImage image = BlankCursorImage();
    QPainter p(&image);
    QPainterPath hand;
    hand.addRoundedRect(QRectF(8.5, 12.5, 16.0, 14.0), 4.0, 4.0);
    for (int i = 0; i < 4; ++i) {
        hand = hand.united(Finger(8.5 + 4.0 * i, fingerTops[i], fingerBottom));
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
    return image;
}

}  // namespace

QCursor MarkerPlacingCursor() {
    QImage image = BlankCursorImage();
    QPainter p(&image);
    // Cross-hair centred on the hot spot, white under black so it shows on any picture, with
    // a dot on the hot spot.
    const int cx = 12;
    const int cy = 11;
    const auto bar = [&p](int x, int y, int w, int h) {
        p.fillRect(x - 1, y - 1, w + 2, h + 2, Qt::white);
    };
    bar(cx - 10, cy, 7, 1);
    bar(cx + 4, cy, 7, 1);
    bar(cx, cy - 10, 1, 7);
    bar(cx, cy + 4, 1, 7);
    p.fillRect(cx - 10, cy, 7, 1, Qt::black);
    p.fillRect(cx + 4, cy, 7, 1, Qt::black);
    p.fillRect(cx, cy - 10, 1, 7, Qt::black);
    p.fillRect(cx, cy + 4, 1, 7, Qt::black);
    p.fillRect(cx, cy, 1, 1, Qt::black);
    // A small arrow below and right of the cross-hair, pointing at it.
    QPainterPath arrow;
    arrow.moveTo(16.5, 15.5);
    arrow.lineTo(16.5, 28.5);
    arrow.lineTo(19.5, 25.5);
    arrow.lineTo(22.0, 30.5);
    arrow.lineTo(24.0, 29.5);
    arrow.lineTo(21.5, 24.5);
    arrow.lineTo(25.5, 24.5);
    arrow.closeSubpath();
    DrawOutlined(p, arrow);
    p.end();
    return QCursor(QPixmap::fromImage(image), cx, cy);
}

QCursor OpenHandCursor() {
    const double tops[4] = {4.5, 2.5, 3.5, 6.5};
    return QCursor(QPixmap::fromImage(HandImage(tops, 16.0, QPointF(4.5, 14.0))), 7, 7);
}

QCursor ClosedHandCursor() {
    const double tops[4] = {9.5, 8.5, 9.0, 10.5};
    return QCursor(QPixmap::fromImage(HandImage(tops, 15.0, QPointF(7.0, 17.5))), 7, 7);
}

}  // namespace kivra
