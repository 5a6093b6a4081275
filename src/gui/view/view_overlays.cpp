// What the frame view lays over the picture: the trimming areas with their mosaic patches, the
// box that follows the cursor, the marker trajectories and the markers with their IDs.
#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "geometry/trimming_param.h"
#include "markers/lff_manager.h"
#include "markers/video_annotations.h"
#include "reading/avi_video_stream.h"
#include "settings/inifile_manager.h"
#include "view/vfw_view.h"

using kivra::ViewPoint;
using kivra::ViewRect;

namespace {

// One-pixel outline inside r, right and bottom edges excluded.
void FrameRect(QPainter& dc, const ViewRect& r, const QColor& colour) {
    if (r.IsEmpty()) {
        return;
    }
    const int w = r.Width();
    const int h = r.Height();
    dc.fillRect(r.left, r.top, w, 1, colour);
    dc.fillRect(r.left, r.bottom - 1, w, 1, colour);
    dc.fillRect(r.left, r.top, 1, h, colour);
    dc.fillRect(r.right - 1, r.top, 1, h, colour);
}

// Two-pixel outline: the rectangle and the rectangle one pixel inside it.
void FrameRect2(QPainter& dc, const ViewRect& r, const QColor& colour) {
    FrameRect(dc, r, colour);
    FrameRect(dc, {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, colour);
}

// Image pixels -> view pixels the way the area outlines are placed: each edge scaled and
// rounded on its own, so neighbouring outlines line up with the picture.
ViewRect AreaToView(const ViewRect& area, const ViewRect& imageRect, int imageWidth,
                    int imageHeight) {
    const double sx = double(imageRect.Width()) / imageWidth;
    const double sy = double(imageRect.Height()) / imageHeight;
    const auto edge = [](int origin, int v, double scale) {
        const double d = origin + std::trunc(v * scale + 0.5);
        return static_cast<int>(std::clamp(d, -1e9, 1e9));
    };
    return {edge(imageRect.left, area.left, sx), edge(imageRect.top, area.top, sy),
            edge(imageRect.left, area.right, sx), edge(imageRect.top, area.bottom, sy)};
}

// The settings hold colours as 0x00BBGGRR.
QColor FromColorRef(int colorRef) {
    const auto v = static_cast<uint32_t>(colorRef);
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

}  // namespace

void CVfwView::DrawTrimmingAreas(QPainter& dc) {
    const int frame = PaintedFrame();
    const kivra::EditSession& session = m_host.Session();
    const kivra::AreaState& area1 = session.Area1();
    const kivra::AreaState& area2 = session.Area2();
    const bool bothSet = session.AreasSet();
    std::optional<QColor> colour;
    if (frame == area1.frame) {
        colour = QColor(255, 0, 0);
    } else if (frame == area2.frame) {
        colour = QColor(0, 0, 255);
    } else if (bothSet) {
        colour = QColor(0, 0, 0);
    }

    const kivra::ViewMode mode = m_host.Session().GetViewMode();
    ViewRect base = bothSet ? TrimRectOfFrame(frame) : area1.rect;
    const auto [imageWidth, imageHeight] = ImageSize();
    if (!base.IsEmpty() && colour && imageWidth > 0 && imageHeight > 0) {
        if (mode == kivra::kPreviewMode) {
            // The trimmed box fills the picture; only its mosaic patch is outlined.
            base = m_rcImage;
        } else {
            base = AreaToView(base, m_rcImage, imageWidth, imageHeight);
            FrameRect2(dc, base, *colour);
        }
        FrameRect(dc, kivra::MosaicRect(base, m_host.Session().MosaicType()), *colour);
    }

    if (mode == kivra::kAreaMode && !m_rcCursorBox.IsEmpty()) {
        const QColor boxColour =
            m_host.Session().AreaIndex() == 1 ? QColor(0, 0, 255) : QColor(255, 0, 0);
        const ViewRect& box = m_rcCursorBox;
        FrameRect2(dc, box, boxColour);
        FrameRect(dc, kivra::MosaicRect(box, m_host.Session().MosaicType()), boxColour);
        dc.fillRect(box.left + box.Width() / 2, box.top, 1, box.Height(), boxColour);
    }
}

void CVfwView::DrawLocus(QPainter& dc) {
    const kivra::MarkerIdSettings& settings = m_host.MarkerIds();
    if (!settings.showLocus || m_host.Session().GetViewMode() != kivra::kPreviewMode ||
        m_host.IsMarkerIdDialogVisible()) {
        return;
    }
    const int current = PaintedFrame();
    const int rows = std::min(settings.maxId, m_host.Annotations()->m_markers.GetRowCount());
    dc.save();
    dc.setRenderHint(QPainter::Antialiasing, false);
    dc.setPen(QPen(FromColorRef(settings.locusColor), 1));
    kivra::ImageMapping mapping = MappingFor(m_rcImage, kivra::kPreviewMode, current);
    QPolygon points;
    for (int row = 0; row < rows; ++row) {
        points.clear();
        for (const T_MARKER& m : m_host.Annotations()->m_markers.Row(row)) {
            if (m.frame > current) {
                break;
            }
            // Each point sits in the trimmed picture of its own frame.
            mapping.trimRect = m_host.Annotations()->m_trimParam.At(int(m.frame));
            if (const auto v = kivra::ImageToView({m.x, m.y}, mapping)) {
                points << QPoint(v->x, v->y);
            }
        }
        if (points.size() >= 2) {
            dc.drawPolyline(points);
        }
    }
    dc.restore();
}

void CVfwView::DrawMarkers(QPainter& dc) {
    std::vector<T_DRAW_MARKER> markers;
    m_host.Annotations()->m_markers.GetFrameMarkers(PaintedFrame(), markers);
    if (markers.empty()) {
        return;
    }
    const kivra::ImageMapping mapping =
        MappingFor(m_rcImage, m_host.Session().GetViewMode(), PaintedFrame());
    dc.save();
    dc.setFont(m_fontLabel);
    dc.setBackgroundMode(Qt::OpaqueMode);
    dc.setBackground(Qt::white);
    dc.setPen(Qt::black);
    for (const T_DRAW_MARKER& m : markers) {
        const auto v = kivra::ImageToView({m.x, m.y}, mapping);
        if (!v) {
            continue;
        }
        // Inverted strokes stay visible on any picture. Each stroke inverts on its own, so
        // the centre pixel, crossed twice, shows the picture.
        dc.setCompositionMode(QPainter::RasterOp_NotDestination);
        dc.fillRect(v->x - 10, v->y, 21, 1, Qt::black);
        dc.fillRect(v->x, v->y - 10, 1, 21, Qt::black);
        dc.setCompositionMode(QPainter::CompositionMode_SourceOver);
        dc.drawText(v->x + 5, v->y - 5, QString::number(m.ID));
    }
    dc.restore();
}
