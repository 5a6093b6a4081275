// Mouse work on the frame view: setting the two trimming areas with the box that follows
// the cursor, placing markers while the ID dialog is shown, grabbing, dragging and deleting
// markers, and the cursor that tells which of these a click would do.
#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <vector>

#include "geometry/trimming_param.h"
#include "markers/lff_manager.h"
#include "markers/video_annotations.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "reading/avi_video_stream.h"
#include "view/picture_click_hook.h"
#include "view/vfw_view.h"

using kivra::ViewPoint;

namespace {

constexpr int kHitRadius = 10;

ViewPoint ToViewPoint(const QPointF& p) {
    const QPoint q = p.toPoint();
    return {q.x(), q.y()};
}

bool Inside(ViewPoint p, const kivra::ViewRect& r) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

}  // namespace

void CVfwView::CreateMarkerMenu() {
    m_pMarkerMenu = new QMenu(this);
    m_pMarkerMenu->setObjectName(QStringLiteral("Marker"));
    connect(m_pMarkerMenu->addAction(tr("削除(&D)")), &QAction::triggered, this,
            &CVfwView::OnMarkerDelete);
    connect(m_pMarkerMenu->addAction(tr("削除(全フレーム)(&U)")), &QAction::triggered, this,
            &CVfwView::OnMarkerDeleteAllFrames);
}

int CVfwView::HitTestMarker(kivra::ViewMode viewMode, int frame, ViewPoint point) const {
    const CAviVideoStream* stream = m_host.Stream();
    if (stream == nullptr || !m_host.IsVideoOpen()) {
        return -1;
    }
    std::vector<T_DRAW_MARKER> markers;
    m_host.Annotations()->m_markers.GetFrameMarkers(frame, markers);
    const kivra::ImageMapping mapping = MappingFor(m_rcImage, viewMode, frame);
    // In ID order, so of two markers close together the lower ID wins.
    for (const T_DRAW_MARKER& m : markers) {
        const auto q = kivra::ImageToView({m.x, m.y}, mapping);
        if (q && point.x >= q->x - kHitRadius && point.x < q->x + kHitRadius &&
            point.y >= q->y - kHitRadius && point.y < q->y + kHitRadius) {
            return m.ID;
        }
    }
    return -1;
}

void CVfwView::ChooseCursor(ViewPoint point) {
    if (m_host.IsMarkerIdDialogVisible()) {
        setCursor(m_cursorSetId);
        return;
    }
    // Elsewhere the window's own arrow comes back at the next move, as it does without us.
    if (m_host.Session().GetViewMode() == kivra::kAreaMode || !m_host.IsVideoOpen()) {
        unsetCursor();
    } else if (m_bDragging) {
        setCursor(m_cursorClosedHand);
    } else if (CAviVideoStream* stream = m_host.Stream();
               stream != nullptr &&
               HitTestMarker(m_host.Session().GetViewMode(), ShownFrame(), point) >= 0) {
        setCursor(m_cursorOpenHand);
    } else {
        unsetCursor();
    }
}

void CVfwView::mouseMoveEvent(QMouseEvent* event) {
    const ViewPoint p = ToViewPoint(event->position());
    ChooseCursor(p);
    if (m_host.Session().GetViewMode() == kivra::kAreaMode) {
        setFocus();
        m_ptCursorCenter = p;
        RecomputeCursorBox();
    } else {
        m_rcCursorBox = {};
    }
    if (m_bDragging && m_host.Stream() != nullptr) {
        DragMarkerTo(p);
    }
}

void CVfwView::DragMarkerTo(ViewPoint point) {
    // The marker stays on the picture however far the pointer goes.
    if (m_rcImage.IsEmpty()) {
        return;
    }
    point.x = std::clamp(point.x, m_rcImage.left, m_rcImage.right - 1);
    point.y = std::clamp(point.y, m_rcImage.top, m_rcImage.bottom - 1);
    const int frame = ShownFrame();
    if (const auto image = ViewToImage(point, m_rcImage, m_host.Session().GetViewMode(), frame)) {
        m_host.Session().SetMarker(m_nHitMarkerId, frame, image->x, image->y);
    }
}

void CVfwView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_nHitMarkerId = -1;
    if (m_bDragging) {
        m_bDragging = false;  // the release of the last drag went elsewhere
        m_host.Session().EndEditGroup();
    }
    CAviVideoStream* stream = m_host.Stream();
    if (stream == nullptr || !m_host.IsVideoOpen()) {
        return;
    }
    const ViewPoint p = ToViewPoint(event->position());
    const kivra::ViewMode mode = m_host.Session().GetViewMode();
    if (mode == kivra::kAreaMode) {
        SetAreaAtCursor();
        return;
    }
    if (m_pClickHook != nullptr && Inside(p, m_rcImage)) {
        const auto image = ViewToImage(p, m_rcImage, mode, ShownFrame());
        if (image && m_pClickHook->OnPictureClick(*image)) {
            return;
        }
    }
    if (mode == kivra::kPreviewMode && m_host.IsMarkerIdDialogVisible()) {
        PlaceMarker(p);
        return;
    }
    const int id = HitTestMarker(mode, ShownFrame(), p);
    if (id < 0) {
        ReportMissingMarkerStep(p, mode);
        return;
    }
    // Qt holds the mouse for this view until the button is released; the whole drag is one edit.
    m_host.Session().BeginEditGroup(kivra::EditKind::kMoveMarker);
    m_nHitMarkerId = id;
    m_bDragging = true;
    ChooseCursor(p);
}

void CVfwView::ReportMissingMarkerStep(ViewPoint point, kivra::ViewMode mode) {
    // A click beside the picture aimed at nothing, so there is nothing to explain.
    if (!Inside(point, m_rcImage)) {
        return;
    }
    const kivra::EditSession& session = m_host.Session();
    using kivra::MarkerStep;
    const MarkerStep missing = !session.AreasSet()           ? MarkerStep::kAreas
                               : mode != kivra::kPreviewMode ? MarkerStep::kPreview
                                                             : MarkerStep::kMarkerId;
    m_host.ClickPlacedNothing(missing);
}

void CVfwView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    if (m_bDragging) {
        m_bDragging = false;
        m_nHitMarkerId = -1;
        m_host.Session().EndEditGroup();
    }
}

void CVfwView::SetAreaAtCursor() {
    kivra::EditSession& session = m_host.Session();
    const bool second = session.AreaIndex() == 1;
    const auto [imageWidth, imageHeight] = ImageSize();
    const kivra::PixelRect rect =
        kivra::BoxToImageRect(m_rcCursorBox, m_rcImage, imageWidth, imageHeight);
    if (!session.SetArea(second ? 1 : 0, rect, ShownFrame())) {
        return;
    }
    session.SetAreaBoxHalfSize(second ? 1 : 0, m_nBoxHalfSize);
    if (!second) {
        // In side mode area 2 starts as large as area 1 and keeps that size.
        if (session.GetTrimmingMode() == kivra::kFrontMode) {
            m_nBoxHalfSize = session.AreaBoxHalfSize(1);
            RecomputeCursorBox();
        }
        m_host.ShowLastFrame();
    } else {
        m_nBoxHalfSize = session.AreaBoxHalfSize(0);
        m_rcCursorBox = {};
        m_host.ShowFirstFrame();
    }
}

void CVfwView::PlaceMarker(ViewPoint point) {
    const int frame = ShownFrame();
    const auto image = ViewToImage(point, m_rcImage, kivra::kPreviewMode, frame);
    if (!image) {
        return;  // no trimmed picture to place it on
    }
    m_host.Video().ClickMarker(frame, image->x, image->y, m_host.SkippedFramesFill());
}

void CVfwView::wheelEvent(QWheelEvent* event) {
    // Some systems turn a wheel with a modifier held into a sideways one.
    const QPoint delta = event->angleDelta();
    const int d = delta.y() != 0 ? delta.y() : delta.x();
    ResizeAreaBox(kivra::WheelStep(d, (event->modifiers() & Qt::ShiftModifier) != 0));
    event->accept();
}

void CVfwView::contextMenuEvent(QContextMenuEvent* event) {
    const CAviVideoStream* stream = m_host.Stream();
    if (stream == nullptr || !m_host.IsVideoOpen() || m_bDragging || m_host.IsForwardPlaying()) {
        return;
    }
    m_nHitMarkerId = HitTestMarker(m_host.Session().GetViewMode(), ShownFrame(),
                                   {event->pos().x(), event->pos().y()});
    if (m_nHitMarkerId >= 0) {
        m_pMarkerMenu->exec(event->globalPos());
    }
}

void CVfwView::OnMarkerDelete() {
    CAviVideoStream* stream = m_host.Stream();
    if (stream == nullptr || m_nHitMarkerId < 0) {
        return;
    }
    m_host.Session().DeleteMarker(m_nHitMarkerId, ShownFrame());
}

void CVfwView::OnMarkerDeleteAllFrames() {
    const int id = m_nHitMarkerId;
    if (m_host.Stream() == nullptr || id < 0 ||
        m_host.ShowMessage(kivra::LoadString(kivra::kIdsDeleteIdAllFramesQuestion),
                           kivra::MsgButtons::YesNo,
                           kivra::MsgIcon::Question) != kivra::MsgAnswer::Yes) {
        return;
    }
    // The video may have closed while the question was open.
    m_host.Session().DeleteMarkerAllFrames(id);
}
