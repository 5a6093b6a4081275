#pragma once
// The frame view: the current frame of the open video fitted into the window, with the mode
// banner, stream information, trimming areas, locus and markers laid over it, and all mouse
// work on the picture. A child of the pane; draws the editing session and passes the user's
// input to it, both reached through its host (the main frame, which outlives it).
#include <QCursor>
#include <QFont>
#include <QImage>
#include <QWidget>
#include <memory>
#include <optional>
#include <utility>

#include "geometry/trimming_param.h"
#include "geometry/view_geometry.h"
#include "reading/picture_requests.h"
#include "rendering/picture_scaler.h"
#include "session/edit_session.h"
#include "session/frame_cursor.h"
#include "view/view_host.h"

class CAviVideoStream;
namespace kivra {
class PictureClickHook;
}
class QMenu;
class QPainter;

class CVfwView : public QWidget {
    Q_OBJECT

public:
    explicit CVfwView(kivra::FrameViewHost& host, QWidget* parent = nullptr);
    ~CVfwView() override;

    // Area mode starts over: the cursor box hidden, at area 1's remembered half-size.
    void ResetCursorBox();
    // The box takes area 1's remembered half-size at the next pointer move (areas cleared).
    void ResetBoxHalfSize();
    // The cursor box around the last cursor centre at the current half-size.
    void RecomputeCursorBox();
    // Grows or shrinks the cursor box by step (while area 1 is set, or area 2 in front mode),
    // within 3 and half the larger side of the picture.
    void ResizeAreaBox(int step);
    // The half-size the cursor box takes for the area set next (after Esc and Tab).
    void SetBoxHalfSize(int halfSize);

    // The two mappings for the picture painted into imageRect, in the given view mode, with the
    // trimming rectangle of `frame` in preview. Nothing where the mapping cannot be formed.
    std::optional<kivra::ImagePoint> ViewToImage(kivra::ViewPoint point,
                                                 const kivra::ViewRect& imageRect,
                                                 kivra::ViewMode viewMode, int frame) const;
    std::optional<kivra::ViewPoint> ImageToView(kivra::ImagePoint point,
                                                const kivra::ViewRect& imageRect,
                                                kivra::ViewMode viewMode, int frame) const;

    // The ID of the first marker (lowest ID) of `frame` within 10 pixels of point, mapped in
    // viewMode; -1 for none or while no video is open.
    int HitTestMarker(kivra::ViewMode viewMode, int frame, kivra::ViewPoint point) const;

    // The two commands of the marker context menu; both act on m_nHitMarkerId.
    void OnMarkerDelete();
    void OnMarkerDeleteAllFrames();  // asks first
    QMenu* MarkerMenu() const { return m_pMarkerMenu; }

    // A tool that takes picture clicks first and draws over the picture; null for none.
    void SetPictureClickHook(kivra::PictureClickHook* hook);

    // The picture's rectangle of the last paint, view pixels.
    const kivra::ViewRect& ImageRect() const { return m_rcImage; }
    const QFont& LabelFont() const { return m_fontLabel; }

    // Drops the pictures of the last video, so the next paint shows the new one's.
    void InvalidatePictureCache();
    // Asks for the shown frame's picture, which is painted when it arrives. A kept request is
    // painted at once on arrival even if the frame has moved on meanwhile (the key-frame
    // refresh); any other gives way to the next.
    void RequestPicture(bool keep = false);
    // The picture on screen is the shown frame's, in the current deinterlacing.
    bool HasCurrentPicture() const;
    // A video is shown whose current picture has not arrived yet.
    bool AwaitsPicture() const;
    // While another video is being opened over this one: its picture and markers leave the
    // screen at once, and come back only if the new one does not open.
    void SetVideoHidden(bool hidden);
    bool VideoHidden() const { return m_bVideoHidden; }
    // How often the frame was scaled for the screen since construction (for measurements).
    int PictureScaleCount() const { return m_nScaleCount; }

    // The box that follows the pointer in area mode (view pixels; empty outside it), half its
    // shorter side, and the marker under the pointer or being dragged (-1 for none).
    const kivra::ViewRect& CursorBox() const { return m_rcCursorBox; }
    int BoxHalfSize() const { return m_nBoxHalfSize; }
    int HitMarkerId() const { return m_nHitMarkerId; }
    bool IsDragging() const { return m_bDragging; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // The frame the user acts on: the current one, or the key-frame refresh's.
    int ShownFrame() const { return m_host.Cursor().Shown(); }
    // The frame painted: the one whose picture has arrived (the shown one until one has), so
    // the picture and what is drawn over it always belong together.
    int PaintedFrame() const;
    // The picture that arrived for this opening of the video; null before one has.
    const kivra::ShownPicture* Picture() const;
    void PictureArrived(kivra::ShownPicture&& picture, bool keep);
    void OnDraw(QPainter& dc);
    // Fits the current frame into box, paints bars and picture, returns the picture rectangle.
    kivra::ViewRect DrawFrame(QPainter& dc, const kivra::ViewRect& box);
    void DrawStreamInfo(QPainter& dc, const CAviVideoStream& stream);
    void DrawModeBanner(QPainter& dc);
    void DrawTrimmingAreas(QPainter& dc);
    void DrawLocus(QPainter& dc);
    void DrawMarkers(QPainter& dc);
    // Mouse work (view_mouse.cpp).
    void CreateMarkerMenu();
    void ChooseCursor(kivra::ViewPoint point);
    void SetAreaAtCursor();
    void PlaceMarker(kivra::ViewPoint point);
    // A click on the picture that placed, moved and set nothing: tells the host which step
    // before placing markers is still missing.
    void ReportMissingMarkerStep(kivra::ViewPoint point, kivra::ViewMode mode);
    void DragMarkerTo(kivra::ViewPoint point);

    // Text with its cell's top-left corner at (x, y).
    void TextOut(QPainter& dc, int x, int y, const QString& text) const;

    // The frame's trimming rectangle in image pixels; empty while there is none for it.
    kivra::ViewRect TrimRectOfFrame(int frame) const;
    // The size of the source frame the view fits and maps with; 0x0 without a video.
    std::pair<int, int> ImageSize() const;
    kivra::ImageMapping MappingFor(const kivra::ViewRect& imageRect, kivra::ViewMode viewMode,
                                   int frame) const;

    // The scaled picture of the last paint and what it was made from.
    struct ScaledPicture {
        uint64_t opening = 0;
        int sample = -1;
        bool deinterlaced = false;
        int dibWidth = 0;
        int dibHeight = 0;
        kivra::ViewRect source;   // image pixels
        kivra::ViewRect dest;     // where source went inside the picture
        kivra::ViewRect picture;  // view pixels
        QImage image;
    };
    // The picture-sized image with the placement's source scaled into its dest, black around it.
    const QImage& ScaledFrame(const kivra::ShownPicture& shown, const kivra::TrimPlacement& place,
                              const kivra::ViewRect& picture);

    kivra::FrameViewHost& m_host;
    // Where the requests' thread posts arrived pictures; emptied when the view goes.
    struct Mailbox;
    std::shared_ptr<Mailbox> m_mailbox;
    kivra::ShownPicture m_picture;  // the last that arrived; frame -1 before any
    struct Asked {
        uint64_t opening = 0;
        int frame = -1;
        bool deinterlace = false;
        bool operator==(const Asked&) const = default;
    };
    Asked m_asked;  // the last request not yet arrived; frame -1 for none
    kivra::ViewPoint m_ptCursorCenter;
    kivra::ViewRect m_rcCursorBox;
    int m_nBoxHalfSize = 0;
    int m_nHitMarkerId = -1;
    bool m_bDragging = false;
    bool m_bVideoHidden = false;
    QImage m_backBuffer;  // client-size off-screen surface
    QFont m_fontLabel;
    kivra::ViewRect m_rcImage;
    ScaledPicture m_scaled;
    kivra::PictureScaler m_scaler;
    int m_nScaleCount = 0;
    QMenu* m_pMarkerMenu = nullptr;  // child of this view
    QCursor m_cursorSetId;           // placing markers with the ID dialog
    QCursor m_cursorOpenHand;        // over a marker
    QCursor m_cursorClosedHand;      // dragging a marker
    kivra::FrameCursor::Subscription m_frameFollow;
    std::unique_ptr<kivra::SessionFollow> m_sessionFollow;  // redraws on the session's notices

    kivra::PictureClickHook* m_pClickHook = nullptr;  // not owned
};
