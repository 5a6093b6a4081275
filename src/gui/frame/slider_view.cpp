#include "frame/slider_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>
#include <array>

#include "gait/gait_event_list.h"
#include "geometry/timeline_geometry.h"
#include "markers/lff_manager.h"
#include "markers/video_annotations.h"
#include "reading/avi_video_stream.h"
#include "session/edit_session.h"

using kivra::TimelineFrameToX;
using kivra::TimelineSpan;
using kivra::ViewPoint;
using kivra::ViewRect;

namespace {

const QColor kBlack(0, 0, 0);
const QColor kLightEdge(200, 200, 200);
const QColor kRangeBar(255, 236, 34);
const QColor kArea1(255, 0, 0);
const QColor kArea2(0, 0, 255);
const QColor kHandleFill(255, 255, 200);
const QColor kKnobFill(150, 150, 200);
const QColor kRightFoot(200, 40, 40);
const QColor kLeftFoot(30, 90, 200);
constexpr int kGaitTickHalfWidth = 4;
constexpr int kHandleWidth = 15;
constexpr int kKnobHalfWidth = 5;

bool Contains(const ViewRect& r, ViewPoint pt) {
    return pt.x >= r.left && pt.x < r.right && pt.y >= r.top && pt.y < r.bottom;
}

void FillSolid(QPainter& dc, int x, int y, int cx, int cy, const QColor& colour) {
    if (cx > 0 && cy > 0) {
        dc.fillRect(QRect(x, y, cx, cy), colour);
    }
}

// A raised or sunken frame: one colour along the top and left edge, another along the right
// and bottom edge, which overlaps the corners.
void Draw3dRect(QPainter& dc, int x, int y, int cx, int cy, const QColor& topLeft,
                const QColor& bottomRight) {
    FillSolid(dc, x, y, cx - 1, 1, topLeft);
    FillSolid(dc, x, y, 1, cy - 1, topLeft);
    FillSolid(dc, x + cx - 1, y, 1, cy, bottomRight);
    FillSolid(dc, x, y + cy - 1, cx, 1, bottomRight);
}

// A filled rectangle with a 1-pixel outline on its inner edge; right and bottom exclusive.
void Rectangle(QPainter& dc, const ViewRect& r, const QColor& pen, const QColor& brush) {
    FillSolid(dc, r.left, r.top, r.Width(), r.Height(), brush);
    FillSolid(dc, r.left, r.top, r.Width(), 1, pen);
    FillSolid(dc, r.left, r.bottom - 1, r.Width(), 1, pen);
    FillSolid(dc, r.left, r.top, 1, r.Height(), pen);
    FillSolid(dc, r.right - 1, r.top, 1, r.Height(), pen);
}

// The "[" of the range start or the "]" of the range end, inside the handle rectangle.
void DrawHandle(QPainter& dc, const ViewRect& r, bool start) {
    const int L = r.left, T = r.top, R = r.right, B = r.bottom;
    const std::array<QPoint, 8> points =
        start ? std::array<QPoint, 8>{QPoint(L, T + 1),     QPoint(L, B - 2),
                                      QPoint(R - 6, B - 2), QPoint(R - 6, B - 5),
                                      QPoint(L + 3, B - 5), QPoint(L + 3, T + 4),
                                      QPoint(R - 6, T + 4), QPoint(R - 6, T + 1)}
              : std::array<QPoint, 8>{QPoint(R, T + 1),     QPoint(R, B - 2),
                                      QPoint(L + 6, B - 2), QPoint(L + 6, B - 5),
                                      QPoint(R - 3, B - 5), QPoint(R - 3, T + 4),
                                      QPoint(L + 6, T + 4), QPoint(L + 6, T + 1)};
    dc.setPen(QPen(kBlack, 1));
    dc.setBrush(kHandleFill);
    dc.drawPolygon(points.data(), int(points.size()));
}

// A handle cursor: a bracket crossed by a left-right arrow, black with a white rim so it reads
// on the dark strip and on the light picture alike. The hot spot sits on the bracket's bar.
QCursor MakeHandleCursor(bool start) {
    constexpr int kSize = 32;
    QPainterPath shape;
    shape.setFillRule(Qt::WindingFill);
    // Arrow: shaft and two heads around row 16.
    shape.addRect(7, 15, 18, 2);
    shape.addPolygon(QPolygonF({QPointF(2, 16), QPointF(8, 10), QPointF(8, 22), QPointF(2, 16)}));
    shape.addPolygon(
        QPolygonF({QPointF(30, 16), QPointF(24, 10), QPointF(24, 22), QPointF(30, 16)}));
    // Bracket: the bar on columns 15-16, the serifs pointing into the range.
    shape.addRect(15, 4, 2, 24);
    const int serifLeft = start ? 15 : 11;
    shape.addRect(serifLeft, 4, 6, 2);
    shape.addRect(serifLeft, 26, 6, 2);

    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    {
        QPainter dc(&pixmap);
        dc.setRenderHint(QPainter::Antialiasing, true);
        dc.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        dc.setBrush(Qt::white);
        dc.drawPath(shape);
        dc.setRenderHint(QPainter::Antialiasing, false);
        dc.setPen(Qt::NoPen);
        dc.setBrush(Qt::black);
        dc.drawPath(shape);
    }
    return QCursor(pixmap, 16, 16);
}

}  // namespace

CSliderView::CSliderView(kivra::SliderViewHost& host, QWidget* parent)
    : QWidget(parent),
      m_host(host),
      m_curStartHandle(MakeHandleCursor(true)),
      m_curEndHandle(MakeHandleCursor(false)) {
    setObjectName(QStringLiteral("CSliderView"));
    setBackgroundRole(QPalette::Dark);
    // Every pixel comes from the back buffer, so nothing is erased first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    setCursor(Qt::ArrowCursor);
    setMouseTracking(true);  // the cursor follows the handles without a button held
    m_frameFollow = m_host.Video().Cursor().Observe([this](int) { update(); });
    m_sessionFollow = std::make_unique<kivra::SessionFollow>(m_host.Video().Session(),
                                                             [this](unsigned) { update(); });
}

CSliderView::~CSliderView() = default;

void CSliderView::paintEvent(QPaintEvent* /*event*/) {
    const QSize size(std::max(width(), 1), std::max(height(), 1));
    if (m_backBuffer.size() != size) {
        m_backBuffer = QImage(size, QImage::Format_RGB32);
    }
    {
        QPainter dc(&m_backBuffer);
        const CAviVideoStream* stream = m_host.Video().Stream();
        if (stream == nullptr) {
            dc.fillRect(m_backBuffer.rect(), palette().color(QPalette::Dark));
        } else {
            OnDraw(dc, *stream);
        }
    }
    QPainter screen(this);
    screen.drawImage(0, 0, m_backBuffer);
}

void CSliderView::OnDraw(QPainter& dc, const CAviVideoStream& stream) {
    const int h = height();
    dc.fillRect(m_backBuffer.rect(), palette().color(QPalette::Shadow));

    m_nMargin = kivra::kTimelineMargin;
    m_dPixelsPerFrame = kivra::TimelineScale(width(), stream.GetFrameCount());
    const double scale = m_dPixelsPerFrame;

    Draw3dRect(dc, m_nMargin - 1, 0, TimelineSpan(stream.GetFrameCount(), scale) + 1, h, kBlack,
               kLightEdge);

    const kivra::EditSession& session = m_host.Video().Session();
    const int rangeStart = session.RangeStart();
    const int rangeEnd = session.RangeEnd();
    const int xStart = TimelineFrameToX(rangeStart, scale);
    const int xEnd = TimelineFrameToX(rangeEnd, scale);
    const int barWidth = TimelineSpan(double(rangeEnd) - rangeStart + 1, scale);
    FillSolid(dc, xStart, h / 3, barWidth, h / 3, kRangeBar);
    Draw3dRect(dc, xStart, h / 3, barWidth, h / 3, kBlack, kLightEdge);

    if (const int area1 = session.Area1().frame; area1 != -1) {
        DrawMark(dc, area1, kArea1, h);
    }
    if (const int area2 = session.Area2().frame; area2 != -1) {
        DrawMark(dc, area2, kArea2, h);
    }
    if (const VideoAnnotations* annotations = m_host.Video().Annotations()) {
        for (const int frame : annotations->m_markers.FramesWithMarkers()) {
            DrawMarkerTick(dc, frame, h);
        }
    }
    DrawGaitEvents(dc, h);

    m_rcStartHandle = {xStart - kHandleWidth, 0, xStart, h};
    m_rcEndHandle = {xEnd, 0, xEnd + kHandleWidth, h};
    DrawHandle(dc, m_rcStartHandle, true);
    DrawHandle(dc, m_rcEndHandle, false);

    // The knob is drawn a pixel right and down of its hit rectangle, and two pixels shorter.
    const int xCurrent = TimelineFrameToX(m_host.Video().Cursor().Current(), scale);
    m_rcPosition = {xCurrent - kKnobHalfWidth, 0, xCurrent + kKnobHalfWidth, h};
    const ViewRect knob{xCurrent - kKnobHalfWidth + 1, 1, xCurrent + kKnobHalfWidth + 1, h - 1};
    Rectangle(dc, knob, kLightEdge, kKnobFill);
    Draw3dRect(dc, knob.left, knob.top, knob.Width(), knob.Height(), kLightEdge, kBlack);
}

void CSliderView::DrawMark(QPainter& dc, int frame, const QColor& colour, int h) const {
    const int x = TimelineFrameToX(frame, m_dPixelsPerFrame);
    if (m_dPixelsPerFrame >= 2.0) {
        FillSolid(dc, x, 0, TimelineSpan(1.0, m_dPixelsPerFrame), h, colour);
        return;
    }
    dc.setPen(QPen(colour, 2, Qt::SolidLine, Qt::FlatCap));
    dc.drawLine(x, 0, x, h - 2);
}

void CSliderView::DrawMarkerTick(QPainter& dc, int frame, int h) const {
    const int x = TimelineFrameToX(frame, m_dPixelsPerFrame);
    const int top = int(h / 3.0 * 2);
    if (m_dPixelsPerFrame >= 2.0) {
        FillSolid(dc, x, top, TimelineSpan(1.0, m_dPixelsPerFrame) + 1, h / 3 - 2, kBlack);
        return;
    }
    dc.setPen(QPen(kBlack, 2, Qt::SolidLine, Qt::FlatCap));
    dc.drawLine(x, top, x, h - 2);
}

void CSliderView::DrawGaitEvents(QPainter& dc, int h) const {
    if (m_gaitEvents == nullptr || m_gaitEvents->Events().empty()) {
        return;
    }
    const int third = h / 3;
    const int halfFrame = m_dPixelsPerFrame >= 2.0 ? TimelineSpan(1.0, m_dPixelsPerFrame) / 2 : 0;
    dc.save();
    dc.setRenderHint(QPainter::Antialiasing, false);
    for (const kivra::GaitEvent& e : m_gaitEvents->Events()) {
        const bool right = e.side == kivra::FootSide::kRight;
        // Side by place as well as colour: right in the top third, left in the bottom one.
        const int top = right ? 0 : h - third;
        const int bottom = top + third - 1;
        const int x = TimelineFrameToX(e.frame, m_dPixelsPerFrame) + halfFrame;
        const int w = kGaitTickHalfWidth;
        // A strike points down (the foot comes down), a toe-off up.
        const bool strike = e.kind == kivra::GaitEventKind::kHeelStrike;
        const QPolygon triangle =
            strike ? QPolygon({QPoint(x - w, top), QPoint(x + w, top), QPoint(x, bottom)})
                   : QPolygon({QPoint(x - w, bottom), QPoint(x + w, bottom), QPoint(x, top)});
        dc.setPen(QPen(kLightEdge, 1));
        dc.setBrush(right ? kRightFoot : kLeftFoot);
        dc.drawPolygon(triangle);
        FillSolid(dc, x, top + 1, 1, third - 2, right ? kRightFoot : kLeftFoot);
    }
    dc.restore();
}

int CSliderView::FrameAt(const CAviVideoStream& stream, int x) const {
    return kivra::TimelineXToFrame(x, m_dPixelsPerFrame, stream.GetStart(), stream.GetEnd());
}

void CSliderView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_host.Video().Stream() == nullptr) {
        return;
    }
    const QPoint p = event->position().toPoint();
    const ViewPoint pt{p.x(), p.y()};
    // The knob wins over a handle it covers.
    if (Contains(m_rcPosition, pt)) {
        m_nDragItem = kDragPosition;
    } else if (Contains(m_rcStartHandle, pt)) {
        m_nDragItem = kDragStartHandle;
    } else if (Contains(m_rcEndHandle, pt)) {
        m_nDragItem = kDragEndHandle;
    }
}

void CSliderView::mouseMoveEvent(QMouseEvent* event) {
    const CAviVideoStream* stream = m_host.Video().Stream();
    if (stream == nullptr) {
        return;
    }
    const QPoint p = event->position().toPoint();
    const ViewPoint pt{p.x(), p.y()};

    // Later tests win, so the knob's cursor shows where it covers a handle.
    const QCursor* shape = nullptr;
    const QCursor sizeWE(Qt::SizeHorCursor);
    if (Contains(m_rcStartHandle, pt)) {
        shape = &m_curStartHandle;
    }
    if (Contains(m_rcEndHandle, pt)) {
        shape = &m_curEndHandle;
    }
    if (Contains(m_rcPosition, pt)) {
        shape = &sizeWE;
    }
    if (shape != nullptr) {
        setCursor(*shape);
    } else if (m_nDragItem == kDragNone) {
        setCursor(Qt::ArrowCursor);
    }

    if (m_nDragItem == kDragNone) {
        return;
    }
    if (!(event->buttons() & Qt::LeftButton)) {
        // The release went elsewhere (a window popped up mid-drag); the drag is over.
        m_nDragItem = kDragNone;
        return;
    }

    const int frame = FrameAt(*stream, p.x());
    int target = frame;
    kivra::EditSession& session = m_host.Video().Session();
    const int rangeStart = session.RangeStart();
    const int rangeEnd = session.RangeEnd();
    // The range keeps at least two frames inside the video; a request outside it is refused.
    if (m_nDragItem == kDragStartHandle) {
        session.SetPlayRange(frame < rangeEnd ? frame : rangeEnd - 1, rangeEnd);
        setCursor(m_curStartHandle);
        target = session.RangeStart();
    } else if (m_nDragItem == kDragEndHandle) {
        session.SetPlayRange(rangeStart, frame > rangeStart ? frame : rangeStart + 1);
        setCursor(m_curEndHandle);
        target = session.RangeEnd();
    }
    update();
    m_host.ShowFrame(target, false);
}

void CSliderView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const int dragged = m_nDragItem;
    m_nDragItem = kDragNone;
    const CAviVideoStream* stream = m_host.Video().Stream();
    if (stream == nullptr) {
        return;
    }
    if (dragged == kDragNone) {
        m_host.ShowFrame(FrameAt(*stream, event->position().toPoint().x()), false);
    } else if (dragged == kDragEndHandle) {
        // Back to the start of the new range; frame 0 goes through its key frame first.
        const int start = m_host.Video().Session().RangeStart();
        m_host.ShowFrame(start, start == 0);
    }
}
