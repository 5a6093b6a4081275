#include "ui/static_logo.h"

#include <QBitmap>
#include <QPainter>
#include <QPainterPath>

CStaticLogo::CStaticLogo(QWidget* parent) : QWidget(parent) {}

void CStaticLogo::SetBitmap(const QImage& picture) {
    if (picture.isNull()) {
        m_picture = QPixmap();
    } else {
        m_picture = QPixmap::fromImage(picture);
        m_picture.setMask(m_picture.createMaskFromColor(KeyColour(), Qt::MaskInColor));
    }
    updateGeometry();
    update();
}

QSize CStaticLogo::sizeHint() const {
    return m_picture.isNull() ? QSize(0, 0) : m_picture.size();
}

void CStaticLogo::paintEvent(QPaintEvent*) {
    if (m_picture.isNull())
        return;
    QPainter(this).drawPixmap(0, 0, m_picture);
}

namespace kivra {

QImage MakeKivraLogo() {
    QImage logo(64, 64, QImage::Format_RGB32);
    logo.fill(CStaticLogo::KeyColour());
    QPainter p(&logo);
    p.setRenderHint(QPainter::Antialiasing, false);  // soft edges would blend into the key
    // A teal disc with a stylised stride: two legs and a footprint arc.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 120, 130));
    p.drawEllipse(QRect(2, 2, 60, 60));
    p.setBrush(Qt::white);
    p.drawEllipse(QRect(28, 10, 10, 10));
    QPen limb(Qt::white, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(limb);
    p.drawLine(33, 22, 31, 36);                                                  // trunk
    p.drawPolyline(QPolygon({QPoint(31, 36), QPoint(38, 45), QPoint(36, 54)}));  // front leg
    p.drawPolyline(QPolygon({QPoint(31, 36), QPoint(26, 45), QPoint(19, 51)}));  // back leg
    p.drawPolyline(QPolygon({QPoint(33, 25), QPoint(40, 31), QPoint(44, 28)}));  // arm
    p.drawLine(33, 25, 25, 32);
    p.setPen(QPen(QColor(255, 200, 60), 3));
    p.drawLine(12, 56, 52, 56);  // the ground line
    return logo;
}

}  // namespace kivra
