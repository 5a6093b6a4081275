#pragma once
// The timeline strip above the picture: the whole video as a scale with the play range, the
// area frames, the marker frames, the gait events and the current position, and the mouse
// work on them. A child
// of the pane; reads the open video its host (the main frame, which outlives it) gives it, and
// asks the host to move the frame.
#include <QCursor>
#include <QImage>
#include <QWidget>
#include <memory>

#include "geometry/view_geometry.h"
#include "session/edit_session.h"
#include "session/frame_cursor.h"
#include "workspace/open_video.h"

class CAviVideoStream;
class QPainter;

namespace kivra {

class GaitEventList;

// What the strip reads from and asks of the rest of the program.
class SliderViewHost {
public:
    virtual ~SliderViewHost() = default;
    // The open video the strip draws and observes: its stream, current frame, play range,
    // areas and marker frames. The handles change the play range through its session.
    virtual OpenVideo& Video() const = 0;
    // Moves to frame n: position, trackbar, marker-ID reset, all views updated; with keyRefresh,
    // the key-frame refresh for n before the views are updated.
    virtual void ShowFrame(int n, bool keyRefresh) = 0;
};

}  // namespace kivra

class CSliderView : public QWidget {
    Q_OBJECT

public:
    enum DragItem { kDragNone = -1, kDragPosition = 0, kDragStartHandle = 1, kDragEndHandle = 2 };

    explicit CSliderView(kivra::SliderViewHost& host, QWidget* parent = nullptr);
    ~CSliderView() override;

    // The artwork of the two handle cursors, for the tests.
    const QCursor& StartHandleCursor() const { return m_curStartHandle; }
    const QCursor& EndHandleCursor() const { return m_curEndHandle; }

    // The scale and hit rectangles as last drawn, and what a drag holds.
    double PixelsPerFrame() const { return m_dPixelsPerFrame; }
    const kivra::ViewRect& PositionRect() const { return m_rcPosition; }
    const kivra::ViewRect& StartHandleRect() const { return m_rcStartHandle; }
    const kivra::ViewRect& EndHandleRect() const { return m_rcEndHandle; }
    int DragItem() const { return m_nDragItem; }

    // The heel strikes and toe-offs to mark: right foot above the range bar, left below, a
    // strike pointing down and a toe-off up. Not owned; null marks none.
    void SetGaitEvents(const kivra::GaitEventList* events) { m_gaitEvents = events; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void OnDraw(QPainter& dc, const CAviVideoStream& stream);
    void DrawMark(QPainter& dc, int frame, const QColor& colour, int h) const;
    void DrawMarkerTick(QPainter& dc, int frame, int h) const;
    void DrawGaitEvents(QPainter& dc, int h) const;
    // The frame under strip pixel x, clamped to the stream's samples.
    int FrameAt(const CAviVideoStream& stream, int x) const;

    kivra::SliderViewHost& m_host;
    double m_dPixelsPerFrame = 0.0;  // recomputed at every drawing
    int m_nMargin = 18;
    kivra::ViewRect m_rcPosition;
    kivra::ViewRect m_rcStartHandle;
    kivra::ViewRect m_rcEndHandle;
    int m_nDragItem = kDragNone;
    QImage m_backBuffer;  // client-size off-screen surface
    QCursor m_curStartHandle;
    QCursor m_curEndHandle;
    const kivra::GaitEventList* m_gaitEvents = nullptr;
    kivra::FrameCursor::Subscription m_frameFollow;
    std::unique_ptr<kivra::SessionFollow> m_sessionFollow;  // redraws on the session's notices
};
