#include "gait/report_stills.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <vector>

namespace kivra {

QRectF StillCrop(const ReportStill& still, double aspect) {
    const QRectF whole(QPointF(0, 0), QSizeF(still.picture.size()));
    QRectF around;
    for (const StillMarker& m : still.markers) {
        if (whole.contains(QPointF(m.at.x, m.at.y))) {
            around |= QRectF(m.at.x, m.at.y, 1, 1);
        }
    }
    if (around.isEmpty()) {
        return whole;
    }
    const double margin = 0.3 * std::max(around.height(), 0.1 * whole.height());
    around.adjust(-margin, -margin, margin, margin);
    QSizeF size = around.height() / around.width() > aspect
                      ? QSizeF(around.height() / aspect, around.height())
                      : QSizeF(around.width(), around.width() * aspect);
    size = size.boundedTo(whole.size()).expandedTo(QSizeF(1, 1));
    size = QSizeF(std::min(size.width(), size.height() / aspect),
                  std::min(size.height(), size.width() * aspect));
    QRectF crop(QPointF(0, 0), size);
    crop.moveCenter(around.center());
    crop.moveLeft(std::clamp(crop.left(), 0.0, whole.width() - crop.width()));
    crop.moveTop(std::clamp(crop.top(), 0.0, whole.height() - crop.height()));
    return crop;
}

void DrawStillPicture(ReportFlow& flow, const QRectF& frame, const ReportStill& still,
                      const std::function<QColor(const StillMarker&)>& colourOf) {
    QPainter& p = flow.p;
    const double mm = flow.mm;
    if (still.picture.isNull()) {
        p.setPen(QPen(QColor(170, 170, 170), 0.25 * mm));
        p.setBrush(Qt::NoBrush);
        p.drawRect(frame);
    } else {
        const QRectF crop = StillCrop(still, frame.height() / frame.width());
        const QSizeF size = crop.size().scaled(frame.size(), Qt::KeepAspectRatio);
        const QRectF target(frame.left() + (frame.width() - size.width()) / 2, frame.top(),
                            size.width(), size.height());
        p.drawImage(target, still.picture, crop);
        const double sx = target.width() / crop.width();
        const double sy = target.height() / crop.height();
        p.setFont(flow.Font(6));
        const QFontMetricsF metrics(p.font(), &flow.writer);
        std::vector<QRectF> taken;
        for (const StillMarker& m : still.markers) {
            const QPointF at(target.left() + (m.at.x - crop.left()) * sx,
                             target.top() + (m.at.y - crop.top()) * sy);
            if (!target.contains(at)) {
                continue;
            }
            const QColor colour = colourOf(m);
            p.setPen(QPen(Qt::white, 0.3 * mm));
            p.setBrush(colour);
            p.drawEllipse(at, 1.0 * mm, 1.0 * mm);
            const QString label = m.role.name.isEmpty() ? QString::number(m.id) : m.role.name;
            const QSizeF text(metrics.horizontalAdvance(label) + 1.2 * mm, metrics.height());
            // Beside the marker where no other label sits, right or left by side.
            const double right = at.x() + 1.6 * mm;
            const double left = at.x() - 1.6 * mm - text.width();
            const bool leftFirst = m.role.side == FootSide::kLeft;
            QRectF place;
            for (const double dy : {0.0, -1.0, 1.0, -2.0, 2.0}) {
                for (const double x : {leftFirst ? left : right, leftFirst ? right : left}) {
                    const QRectF candidate(
                        QPointF(x, at.y() - text.height() / 2 + dy * text.height()), text);
                    const bool free =
                        std::none_of(taken.begin(), taken.end(),
                                     [&](const QRectF& r) { return r.intersects(candidate); });
                    if (free && target.contains(candidate)) {
                        place = candidate;
                        break;
                    }
                }
                if (!place.isNull()) {
                    break;
                }
            }
            if (place.isNull()) {
                place = QRectF(QPointF(right, at.y() - text.height() / 2), text);
            }
            taken.push_back(place);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(255, 255, 255, 215));
            p.drawRoundedRect(place, 0.5 * mm, 0.5 * mm);
            p.setPen(colour.darker(130));
            p.drawText(place, Qt::AlignCenter, label);
        }
        p.setBrush(Qt::NoBrush);
    }
}

}  // namespace kivra
