#include "view/vfw_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFontMetrics>
#include <QMimeData>
#include <QPainter>
#include <QUrl>
#include <algorithm>
#include <cstddef>
#include <mutex>

#include "markers/video_annotations.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "reading/avi_video_stream.h"
#include "reading/stream_info_text.h"
#include "settings/inifile_manager.h"
#include "view/picture_click_hook.h"
#include "view/view_cursors.h"

using kivra::ImagePoint;
using kivra::ViewPoint;
using kivra::ViewRect;

namespace {

const QColor kBackground(100, 100, 100);

QRect ToQRect(const ViewRect& r) {
    return QRect(r.left, r.top, r.Width(), r.Height());
}

// A decoded frame we can wrap without reading past its buffer.
bool UsableDib(const kivra::Dib& dib) {
    return !dib.Empty() && dib.header.biBitCount == 24 && dib.Width() > 0 && dib.Height() > 0 &&
           dib.bits.size() >= size_t(dib.Stride()) * size_t(dib.Height());
}

}  // namespace

struct CVfwView::Mailbox {
    std::mutex lock;  // guards view, which the view empties as it goes
    CVfwView* view = nullptr;
};

CVfwView::CVfwView(kivra::FrameViewHost& host, QWidget* parent)
    : QWidget(parent), m_host(host), m_mailbox(std::make_shared<Mailbox>()) {
    m_mailbox->view = this;
    setObjectName(QStringLiteral("CVfwView"));
    // Every paint covers the whole client area from the back buffer.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAcceptDrops(true);
    // Moves without a button held drive the area box and the cursor choice.
    setMouseTracking(true);

    // "Ms Gothic" is not here; a monospaced Japanese face keeps the information columns.
    m_fontLabel = QFont(QStringLiteral("Noto Sans Mono CJK JP"));
    m_fontLabel.setPixelSize(14);
    m_fontLabel.setWeight(QFont::Normal);
    m_fontLabel.setStyleHint(QFont::Monospace);
    m_fontLabel.setFixedPitch(true);

    m_nBoxHalfSize = m_host.Session().AreaBoxHalfSize(0);

    m_cursorSetId = kivra::MarkerPlacingCursor();
    m_cursorOpenHand = kivra::OpenHandCursor();
    m_cursorClosedHand = kivra::ClosedHandCursor();
    CreateMarkerMenu();
    m_frameFollow = m_host.Cursor().Observe([this](int) {
        RequestPicture();
        if (HasCurrentPicture()) {
            update();  // the same frame again; a new one paints when its picture arrives
        }
    });
    m_sessionFollow = std::make_unique<kivra::SessionFollow>(m_host.Session(), [this](unsigned) {
        RequestPicture();  // the deinterlacing may have changed
        update();
    });
    RequestPicture();  // of a video open before the view
}

CVfwView::~CVfwView() {
    const std::lock_guard<std::mutex> hold(m_mailbox->lock);
    m_mailbox->view = nullptr;
}

void CVfwView::ResetCursorBox() {
    m_nBoxHalfSize = m_host.Session().AreaBoxHalfSize(0);
    m_rcCursorBox = {};
    update();
}

void CVfwView::RecomputeCursorBox() {
    m_rcCursorBox = kivra::AreaBoxAtCursor(m_ptCursorCenter.x, m_ptCursorCenter.y, m_nBoxHalfSize,
                                           m_host.Session().Direction());
    update();
}

void CVfwView::ResizeAreaBox(int step) {
    if (m_host.Session().GetViewMode() != kivra::kAreaMode ||
        (m_host.Session().AreaIndex() == 1 &&
         m_host.Session().GetTrimmingMode() != kivra::kFrontMode)) {
        return;
    }
    m_nBoxHalfSize =
        kivra::ClampHalfSize(m_nBoxHalfSize + step, m_rcImage.Width(), m_rcImage.Height());
    RecomputeCursorBox();
}

void CVfwView::ResetBoxHalfSize() {
    m_nBoxHalfSize = m_host.Session().AreaBoxHalfSize(0);
}

void CVfwView::SetBoxHalfSize(int halfSize) {
    m_nBoxHalfSize = halfSize;
    RecomputeCursorBox();
}

void CVfwView::InvalidatePictureCache() {
    m_scaled = {};
    m_picture = {};
    m_asked = {};
    RequestPicture();
}

void CVfwView::RequestPicture(bool keep) {
    CAviVideoStream* stream = m_host.Stream();
    if (stream == nullptr || m_bVideoHidden) {
        return;
    }
    const Asked want{stream->Opening(), ShownFrame(), m_host.Deinterlaced()};
    if (!keep && (want == m_asked || (m_asked.frame < 0 && HasCurrentPicture()))) {
        return;
    }
    m_asked = want;
    // Runs on the stream's thread: only posts, and only while the view is there to take it.
    auto arrived = [mailbox = m_mailbox, keep](kivra::ShownPicture&& picture) {
        const std::lock_guard<std::mutex> hold(mailbox->lock);
        if (mailbox->view == nullptr) {
            return;
        }
        auto shared = std::make_shared<kivra::ShownPicture>(std::move(picture));
        CVfwView* view = mailbox->view;
        QMetaObject::invokeMethod(
            view, [view, shared, keep] { view->PictureArrived(std::move(*shared), keep); },
            Qt::QueuedConnection);
    };
    stream->RequestFrame(want.frame, want.deinterlace, keep, std::move(arrived));
}

void CVfwView::PictureArrived(kivra::ShownPicture&& picture, bool keep) {
    const CAviVideoStream* stream = m_host.Stream();
    if (stream == nullptr || picture.opening != stream->Opening()) {
        return;  // of a video closed meanwhile
    }
    if (m_asked == Asked{picture.opening, picture.frame, picture.deinterlaced}) {
        m_asked = {};
    }
    m_picture = std::move(picture);
    m_host.UpdateRateStatus();  // counts the pictures shown while playing
    if (keep) {
        repaint();  // seen even when the next picture follows at once
    } else {
        update();
    }
}

const kivra::ShownPicture* CVfwView::Picture() const {
    const CAviVideoStream* stream = m_host.Stream();
    return stream != nullptr && m_picture.frame >= 0 && m_picture.opening == stream->Opening()
               ? &m_picture
               : nullptr;
}

bool CVfwView::HasCurrentPicture() const {
    const kivra::ShownPicture* picture = Picture();
    return picture != nullptr && picture->frame == ShownFrame() &&
           picture->deinterlaced == m_host.Deinterlaced();
}

bool CVfwView::AwaitsPicture() const {
    return m_host.Stream() != nullptr && !m_bVideoHidden && !HasCurrentPicture();
}

int CVfwView::PaintedFrame() const {
    const kivra::ShownPicture* picture = Picture();
    return picture != nullptr ? picture->frame : ShownFrame();
}

ViewRect CVfwView::TrimRectOfFrame(int frame) const {
    const CAviVideoStream* stream = m_host.Stream();
    return stream != nullptr ? m_host.Annotations()->m_trimParam.At(frame) : ViewRect{};
}

std::pair<int, int> CVfwView::ImageSize() const {
    // The arrived picture's size, or the file's before any has arrived.
    const CAviVideoStream* stream = m_host.Stream();
    if (stream == nullptr) {
        return {0, 0};
    }
    const kivra::ShownPicture* picture = Picture();
    if (picture != nullptr && UsableDib(picture->dib)) {
        return {picture->dib.Width(), picture->dib.Height()};
    }
    return {static_cast<int>(stream->FileInfo().dwWidth),
            static_cast<int>(stream->FileInfo().dwHeight)};
}

kivra::ImageMapping CVfwView::MappingFor(const ViewRect& imageRect, kivra::ViewMode viewMode,
                                         int frame) const {
    kivra::ImageMapping m;
    m.imageRect = imageRect;
    std::tie(m.imageWidth, m.imageHeight) = ImageSize();
    std::tie(m.outputWidth, m.outputHeight) = m_host.Session().OutputSize();
    m.trimRect = TrimRectOfFrame(frame);
    m.preview = viewMode == kivra::kPreviewMode;
    return m;
}

std::optional<ImagePoint> CVfwView::ViewToImage(ViewPoint point, const ViewRect& imageRect,
                                                kivra::ViewMode viewMode, int frame) const {
    return kivra::ViewToImage(point, MappingFor(imageRect, viewMode, frame));
}

std::optional<ViewPoint> CVfwView::ImageToView(ImagePoint point, const ViewRect& imageRect,
                                               kivra::ViewMode viewMode, int frame) const {
    return kivra::ImageToView(point, MappingFor(imageRect, viewMode, frame));
}

void CVfwView::paintEvent(QPaintEvent* /*event*/) {
    // Sized here rather than on every resize, so a drag of the window edge allocates once.
    const QSize size(std::max(width(), 1), std::max(height(), 1));
    if (m_backBuffer.size() != size) {
        m_backBuffer = QImage(size, QImage::Format_RGB32);
    }
    {
        QPainter dc(&m_backBuffer);
        OnDraw(dc);
    }
    QPainter screen(this);
    screen.drawImage(0, 0, m_backBuffer);
}

void CVfwView::SetVideoHidden(bool hidden) {
    if (hidden != m_bVideoHidden) {
        m_bVideoHidden = hidden;
        RequestPicture();
        update();
    }
}

void CVfwView::OnDraw(QPainter& dc) {
    const kivra::ViewMode mode = m_host.Session().GetViewMode();
    dc.fillRect(m_backBuffer.rect(), mode == kivra::kPreviewMode ? QColor(Qt::black) : kBackground);
    CAviVideoStream* stream = m_host.Stream();
    if (stream == nullptr || m_bVideoHidden) {
        return;
    }
    m_rcImage = DrawFrame(dc, {0, 0, width(), height()});
    if (m_host.Session().ShowInfo()) {
        DrawStreamInfo(dc, *stream);
    }
    DrawModeBanner(dc);
    DrawTrimmingAreas(dc);
    DrawLocus(dc);
    DrawMarkers(dc);
    if (m_pClickHook != nullptr) {
        const int frame = PaintedFrame();
        m_pClickHook->PaintOverPicture(dc, [this, mode, frame](ImagePoint p) {
            return ImageToView(p, m_rcImage, mode, frame);
        });
    }
}

void CVfwView::SetPictureClickHook(kivra::PictureClickHook* hook) {
    m_pClickHook = hook;
    update();
}

ViewRect CVfwView::DrawFrame(QPainter& dc, const ViewRect& box) {
    const kivra::ShownPicture* shown = Picture();
    const auto [width, height] = ImageSize();
    const double aspect = kivra::PictureAspect(m_host.Session().GetViewMode(),
                                               m_host.Session().Direction(), width, height);
    const kivra::FrameFit fit = kivra::FitFrame(box, aspect);
    dc.fillRect(ToQRect(fit.bar1), Qt::black);
    dc.fillRect(ToQRect(fit.bar2), Qt::black);

    // In preview the picture stands for the whole trimming rectangle, as the mappings and the
    // saved movie take it: what lies off the frame stays black, the rest keeps its shape.
    const ViewRect whole{0, 0, width, height};
    kivra::TrimPlacement place{whole, {0, 0, fit.picture.Width(), fit.picture.Height()}};
    if (m_host.Session().GetViewMode() == kivra::kPreviewMode) {
        place = kivra::PlaceTrimRect(TrimRectOfFrame(PaintedFrame()), width, height,
                                     fit.picture.Width(), fit.picture.Height());
    }
    if (shown != nullptr && UsableDib(shown->dib) && !fit.picture.IsEmpty() &&
        !place.source.IsEmpty()) {
        dc.drawImage(QPoint(fit.picture.left, fit.picture.top),
                     ScaledFrame(*shown, place, fit.picture));
    }
    return fit.picture;
}

const QImage& CVfwView::ScaledFrame(const kivra::ShownPicture& shown,
                                    const kivra::TrimPlacement& place, const ViewRect& picture) {
    const kivra::Dib& dib = shown.dib;
    const bool deinterlaced = shown.deinterlaced;
    ScaledPicture& s = m_scaled;
    if (!s.image.isNull() && s.opening == shown.opening && s.sample == shown.frame &&
        s.deinterlaced == deinterlaced && s.dibWidth == dib.Width() &&
        s.dibHeight == dib.Height() && s.source == place.source && s.dest == place.dest &&
        s.picture == picture) {
        return s.image;
    }
    if (s.image.width() != picture.Width() || s.image.height() != picture.Height()) {
        s.image = QImage(picture.Width(), picture.Height(), QImage::Format_RGB32);
    }
    const ViewRect& source = place.source;
    const ViewRect& dest = place.dest;
    const bool full = dest == ViewRect{0, 0, picture.Width(), picture.Height()};
    if (!full) {
        s.image.fill(Qt::black);
    }
    const int stride = int(s.image.bytesPerLine());
    uint8_t* const target =
        s.image.bits() + ptrdiff_t{dest.top} * stride + ptrdiff_t{dest.left} * 4;
    if (!m_scaler.Scale(dib, source.left, source.top, source.Width(), source.Height(), dest.Width(),
                        dest.Height(), target, stride)) {
        s.image.fill(Qt::black);
    }
    s.opening = shown.opening;
    s.sample = shown.frame;
    s.deinterlaced = deinterlaced;
    s.dibWidth = dib.Width();
    s.dibHeight = dib.Height();
    s.source = source;
    s.dest = dest;
    s.picture = picture;
    ++m_nScaleCount;
    return s.image;
}

void CVfwView::TextOut(QPainter& dc, int x, int y, const QString& text) const {
    dc.drawText(x, y + QFontMetrics(dc.font()).ascent(), text);
}

void CVfwView::DrawStreamInfo(QPainter& dc, const CAviVideoStream& stream) {
    QStringList lines;
    for (const std::string& line : kivra::StreamInfoLines(&stream, PaintedFrame())) {
        lines << QString::fromStdString(line);
    }
    dc.save();
    dc.setFont(m_fontLabel);
    dc.setPen(Qt::black);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        TextOut(dc, 13, 33 + 15 * int(i), lines[i]);
    }
    dc.setPen(Qt::white);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        TextOut(dc, 12, 32 + 15 * int(i), lines[i]);
    }
    dc.restore();
}

void CVfwView::DrawModeBanner(QPainter& dc) {
    int id = 0;
    if (m_host.Session().GetViewMode() == kivra::kAreaMode) {
        if (m_host.Session().AreaIndex() == 0) {
            id = kivra::kIdsArea1Banner;
        } else if (m_host.Session().AreaIndex() == 1) {
            id = kivra::kIdsArea2Banner;
        }
    } else if (m_host.Session().GetViewMode() == kivra::kPreviewMode) {
        id = kivra::kIdsPreviewBanner;
    }
    if (id == 0) {
        return;
    }
    const QString text = QString::fromStdString(kivra::LoadString(id));
    dc.save();
    dc.setFont(m_fontLabel);
    dc.setPen(Qt::black);
    TextOut(dc, 10, 10, text);
    dc.setPen(Qt::white);
    TextOut(dc, 9, 9, text);
    dc.restore();
}

void CVfwView::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (std::any_of(urls.begin(), urls.end(), [](const QUrl& u) { return u.isLocalFile(); })) {
        event->acceptProposedAction();
    }
}

void CVfwView::dragMoveEvent(QDragMoveEvent* event) {
    event->acceptProposedAction();
}

void CVfwView::dropEvent(QDropEvent* event) {
    // Every name is looked at, but only the last local file is opened.
    std::string last;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            last = QFile::encodeName(url.toLocalFile()).toStdString();
        }
    }
    if (last.empty()) {
        return;
    }
    event->acceptProposedAction();
    // Opened after the drop has finished, so no message box runs inside the drag protocol.
    QMetaObject::invokeMethod(
        this, [this, last] { m_host.OpenDocumentFile(last); }, Qt::QueuedConnection);
}
