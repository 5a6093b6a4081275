// The timeline strip on a real video: what it draws, and how dragging the knob and the range
// handles and clicking move the range and the picture.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "frame/slider_view.h"
#include "geometry/timeline_geometry.h"
#include "session/edit_session.h"
#include "session/frame_cursor.h"
#include "support/ffmpeg_tool.h"
#include "support/recording_host.h"

namespace {

using kivra::test::RunFfmpeg;
using kivra::test::TempDir;

constexpr int kHeight = 30;

// The main frame's part in the strip's work: a real open video; moves the frame and records
// what was asked.
class Host : public kivra::SliderViewHost {
public:
    kivra::OpenVideo& Video() const override { return doc.video; }
    void ShowFrame(int n, bool keyRefresh) override {
        shown.emplace_back(n, keyRefresh);
        cursor.MoveTo(n);
    }

    // An area on frame, as a click in area mode sets it.
    void SetArea(int index, int frame) {
        ASSERT_TRUE(session.SetArea(index, kivra::PixelRect{0, 0, 8, 8}, frame));
    }
    // A marker on each frame, as clicks with the marker ID tool place them.
    void PlaceMarkers(std::initializer_list<int> frames) {
        for (const int frame : frames) {
            ASSERT_TRUE(session.SetMarker(1, frame, 4.0, 4.0)) << frame;
        }
    }

    mutable kivra::test::RecordedDocument doc;
    kivra::EditSession& session = doc.session;
    kivra::FrameCursor& cursor = doc.video.Cursor();
    std::vector<std::pair<int, bool>> shown;  // frame, with key-frame refresh
};

class SliderViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir;
        ASSERT_TRUE(s_dir->ok());
        ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc=size=32x24:rate=25", "-frames:v",
                               "300", "-c:v", "mjpeg", s_dir->File("walk 300.avi")}));
        ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc=size=32x24:rate=25", "-frames:v", "1",
                               "-c:v", "mjpeg", s_dir->File("single.avi")}));
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }

    void SetUp() override {
        m_view = std::make_unique<CSliderView>(m_host);
        m_view->resize(636, kHeight);
        m_view->show();
    }

    void Open(const std::string& name) {
        ASSERT_TRUE(m_host.doc.Open(s_dir->File(name)));
        m_host.shown.clear();
    }

    // Paints the strip as it stands; also refreshes its hit rectangles.
    QImage Paint() { return m_view->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    int X(int frame) const { return kivra::TimelineFrameToX(frame, m_view->PixelsPerFrame()); }
    static QPoint Centre(const kivra::ViewRect& r) {
        return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }

    void Press(QPoint p) { QTest::mousePress(m_view.get(), Qt::LeftButton, {}, p); }
    void Release(QPoint p) { QTest::mouseRelease(m_view.get(), Qt::LeftButton, {}, p); }
    void Move(QPoint p, Qt::MouseButtons buttons = Qt::LeftButton) {
        QMouseEvent move(QEvent::MouseMove, p, m_view->mapToGlobal(p), Qt::NoButton, buttons,
                         Qt::NoModifier);
        QApplication::sendEvent(m_view.get(), &move);
    }
    // Press, move through the points with the button held, release at the last one.
    void Drag(QPoint from, std::initializer_list<QPoint> through) {
        Press(from);
        QPoint last = from;
        for (const QPoint p : through) {
            Move(p);
            Paint();  // the host's view update redraws the strip between moves
            last = p;
        }
        Release(last);
    }

    static TempDir* s_dir;
    Host m_host;
    std::unique_ptr<CSliderView> m_view;
};

TempDir* SliderViewTest::s_dir = nullptr;

TEST_F(SliderViewTest, DrawsScaleRangeAreasMarkersAndKnob) {
    Open("walk 300.avi");
    m_host.session.SetPlayRange(20, 200);
    m_host.cursor.MoveTo(100);
    m_host.SetArea(0, 150);
    m_host.SetArea(1, 250);
    m_host.PlaceMarkers({60, 120});
    const QImage image = Paint();

    ASSERT_DOUBLE_EQ(m_view->PixelsPerFrame(), 2.0);
    EXPECT_EQ(X(10), 38);
    EXPECT_EQ(m_view->PositionRect(), (kivra::ViewRect{X(100) - 5, 0, X(100) + 5, kHeight}));
    EXPECT_EQ(m_view->StartHandleRect(), (kivra::ViewRect{X(20) - 15, 0, X(20), kHeight}));
    EXPECT_EQ(m_view->EndHandleRect(), (kivra::ViewRect{X(200), 0, X(200) + 15, kHeight}));

    const QColor rangeBar(255, 236, 34);
    EXPECT_EQ(image.pixelColor(X(40), 15), rangeBar);
    EXPECT_EQ(image.pixelColor(X(200), 15), rangeBar);              // the end frame is inside
    EXPECT_EQ(image.pixelColor(X(40), 10), QColor(Qt::black));      // the bar's top edge
    EXPECT_EQ(image.pixelColor(X(40), 19), QColor(200, 200, 200));  // and its bottom edge
    EXPECT_NE(image.pixelColor(X(230), 15), rangeBar);

    const QColor knobFill(150, 150, 200);
    EXPECT_EQ(image.pixelColor(X(100), 15), knobFill);
    EXPECT_EQ(image.pixelColor(X(100) + 5, 15), QColor(Qt::black));  // shadowed right edge
    EXPECT_EQ(image.pixelColor(X(100) - 4, 15), QColor(200, 200, 200));

    // At scale 2.0 the area marks are full-height rectangles two pixels wide.
    for (const int y : {0, 15, kHeight - 1}) {
        EXPECT_EQ(image.pixelColor(X(150), y), QColor(255, 0, 0)) << y;
        EXPECT_EQ(image.pixelColor(X(150) + 1, y), QColor(255, 0, 0)) << y;
        EXPECT_EQ(image.pixelColor(X(250) + 1, y), QColor(0, 0, 255)) << y;
    }
    EXPECT_NE(image.pixelColor(X(150) + 2, 5), QColor(255, 0, 0));
    // Marker ticks: three pixels wide in the lower third, below the range bar.
    EXPECT_EQ(image.pixelColor(X(60), 20), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(X(60) + 2, 27), QColor(Qt::black));
    EXPECT_NE(image.pixelColor(X(60) + 3, 20), QColor(Qt::black));
    EXPECT_NE(image.pixelColor(X(60), 28), QColor(Qt::black));

    // The brackets stand outside the range in the handle colour.
    const QColor handle(255, 255, 200);
    EXPECT_EQ(image.pixelColor(X(20) - 14, 15), handle);
    EXPECT_EQ(image.pixelColor(X(200) + 14, 15), handle);
    // Outside the scale the strip shows the dark shadow colour.
    EXPECT_EQ(image.pixelColor(2, 15), QColor(m_view->palette().color(QPalette::Shadow).rgb()));
}

TEST_F(SliderViewTest, ManyFramesPerPixelDrawMarksAsTwoPixelLines) {
    Open("walk 300.avi");
    m_view->resize(96, kHeight);  // 60 pixels for 300 frames
    m_host.SetArea(0, 150);
    m_host.PlaceMarkers({100});
    const QImage image = Paint();
    ASSERT_DOUBLE_EQ(m_view->PixelsPerFrame(), 0.2);

    auto countInRow = [&](int y, QColor colour) {
        int n = 0;
        for (int x = 0; x < image.width(); ++x) {
            n += image.pixelColor(x, y) == colour ? 1 : 0;
        }
        return n;
    };
    EXPECT_EQ(countInRow(5, QColor(255, 0, 0)), 2);
    EXPECT_EQ(countInRow(0, QColor(255, 0, 0)), 2);
    EXPECT_EQ(countInRow(kHeight - 1, QColor(255, 0, 0)), 0);
    EXPECT_TRUE(image.pixelColor(X(150), 5) == QColor(255, 0, 0) ||
                image.pixelColor(X(150) - 1, 5) == QColor(255, 0, 0));
    const int tickRow = 24;
    EXPECT_EQ(image.pixelColor(X(100), tickRow), QColor(Qt::black));
}

TEST_F(SliderViewTest, WithoutAVideoTheStripIsPlainAndIgnoresTheMouse) {
    const QImage image = Paint();
    const QColor plain(m_view->palette().color(QPalette::Dark).rgb());
    for (const QPoint p : {QPoint(0, 0), QPoint(300, 15), QPoint(635, 29)}) {
        EXPECT_EQ(image.pixelColor(p), plain);
    }
    Press(QPoint(300, 15));
    Move(QPoint(400, 15));
    Release(QPoint(400, 15));
    EXPECT_EQ(m_view->DragItem(), CSliderView::kDragNone);
    EXPECT_EQ(m_host.session.RangeStart(), -1);
    EXPECT_EQ(m_host.session.RangeEnd(), -1);

    // Also after a video was open: the strip forgets the drawn rectangles' meaning.
    Open("walk 300.avi");
    Paint();
    const QPoint knob = Centre(m_view->PositionRect());
    m_host.doc.workspace.CloseVideo();
    Press(knob);
    Move(QPoint(400, 15));
    Release(QPoint(400, 15));
    EXPECT_TRUE(m_host.shown.empty());
}

TEST_F(SliderViewTest, ClickJumpsToTheFrameUnderThePointerClampedToTheSamples) {
    Open("walk 300.avi");
    m_host.session.SetPlayRange(20, 200);
    Paint();
    const QPoint inside(X(123) + 1, 5);
    Press(inside);
    EXPECT_EQ(m_view->DragItem(), CSliderView::kDragNone);
    Release(inside);
    Press(QPoint(2, 5));
    Release(QPoint(2, 5));
    Press(QPoint(630, 5));
    Release(QPoint(630, 5));
    const std::vector<std::pair<int, bool>> expected{{123, false}, {0, false}, {299, false}};
    EXPECT_EQ(m_host.shown, expected);
    EXPECT_EQ(m_host.cursor.Current(), 299);
    EXPECT_EQ(m_host.session.RangeStart(), 20);
    EXPECT_EQ(m_host.session.RangeEnd(), 200);
}

TEST_F(SliderViewTest, KnobDragScrubsAndWinsOverTheHandleItCovers) {
    Open("walk 300.avi");
    m_host.session.SetPlayRange(20, 200);
    m_host.cursor.MoveTo(20);  // the knob sits on the start handle's edge
    Paint();
    Press(QPoint(X(20) - 3, 15));
    EXPECT_EQ(m_view->DragItem(), CSliderView::kDragPosition);
    Move(QPoint(X(150), 15));
    Move(QPoint(X(250) + 1, 15));
    EXPECT_EQ(m_host.cursor.Current(), 250);
    Release(QPoint(X(250) + 1, 15));
    const std::vector<std::pair<int, bool>> expected{{150, false}, {250, false}};
    EXPECT_EQ(m_host.shown, expected);  // the release adds nothing
    EXPECT_EQ(m_host.session.RangeStart(), 20);
    EXPECT_EQ(m_host.session.RangeEnd(), 200);
    EXPECT_EQ(m_view->DragItem(), CSliderView::kDragNone);
}

TEST_F(SliderViewTest, StartHandleStopsBeforeTheEndAndAtTheFirstSample) {
    Open("walk 300.avi");
    m_host.session.SetPlayRange(20, 200);
    m_host.cursor.MoveTo(100);
    Paint();
    Press(Centre(m_view->StartHandleRect()));
    ASSERT_EQ(m_view->DragItem(), CSliderView::kDragStartHandle);
    Move(QPoint(X(60), 15));
    EXPECT_EQ(m_host.session.RangeStart(), 60);
    EXPECT_EQ(m_host.cursor.Current(), 60);  // the picture follows the handle
    Move(QPoint(X(200), 15));
    EXPECT_EQ(m_host.session.RangeStart(), 199);
    Move(QPoint(X(280), 15));
    EXPECT_EQ(m_host.session.RangeStart(), 199);
    Move(QPoint(-40, 15));
    EXPECT_EQ(m_host.session.RangeStart(), 0);
    Move(QPoint(X(33), 15));
    Release(QPoint(X(33), 15));

    const std::vector<std::pair<int, bool>> expected{
        {60, false}, {199, false}, {199, false}, {0, false}, {33, false}};
    EXPECT_EQ(m_host.shown, expected);  // releasing the start handle leaves the picture there
    EXPECT_EQ(m_host.session.RangeStart(), 33);
    EXPECT_EQ(m_host.session.RangeEnd(), 200);

    // A release that went to a window popping up mid-drag ends the drag at the next move.
    Paint();
    Press(Centre(m_view->StartHandleRect()));
    Move(QPoint(X(90), 15), Qt::NoButton);
    Move(QPoint(X(90), 15));
    EXPECT_EQ(m_host.session.RangeStart(), 33);
    Release(QPoint(X(90), 15));
}

TEST_F(SliderViewTest, EndHandleStopsAfterTheStartAndReturnsToRangeStartOnRelease) {
    Open("walk 300.avi");
    m_host.session.SetPlayRange(20, 200);
    Paint();
    Drag(Centre(m_view->EndHandleRect()), {QPoint(X(5), 15), QPoint(2000, 15)});
    EXPECT_EQ(m_host.session.RangeEnd(), 299);
    const std::vector<std::pair<int, bool>> expected{{21, false}, {299, false}, {20, false}};
    EXPECT_EQ(m_host.shown, expected);
    EXPECT_EQ(m_host.cursor.Current(), 20);

    // From range start 0 the return goes through the key-frame refresh.
    m_host.session.SetPlayRange(0, 299);
    m_host.shown.clear();
    Paint();
    Drag(Centre(m_view->EndHandleRect()), {QPoint(X(120), 15)});
    EXPECT_EQ(m_host.session.RangeEnd(), 120);
    const std::vector<std::pair<int, bool>> fromZero{{120, false}, {0, true}};
    EXPECT_EQ(m_host.shown, fromZero);
    EXPECT_EQ(m_host.cursor.Current(), 0);
}

TEST_F(SliderViewTest, OneFrameVideoKeepsItsRangeInsideTheVideo) {
    Open("single.avi");
    ASSERT_EQ(m_host.session.RangeEnd(), 0);
    Paint();
    Drag(Centre(m_view->StartHandleRect()), {QPoint(300, 15), QPoint(-40, 15)});
    Drag(Centre(m_view->EndHandleRect()), {QPoint(-40, 15)});
    EXPECT_EQ(m_host.session.RangeStart(), 0);
    EXPECT_EQ(m_host.session.RangeEnd(), 0);
    for (const auto& [frame, refresh] : m_host.shown) {
        EXPECT_EQ(frame, 0);
    }
}

TEST_F(SliderViewTest, CursorShowsWhatThePointerWouldGrab) {
    Open("walk 300.avi");
    m_host.session.SetPlayRange(20, 200);
    m_host.cursor.MoveTo(100);
    Paint();
    Move(Centre(m_view->StartHandleRect()), Qt::NoButton);
    EXPECT_EQ(m_view->cursor().pixmap().toImage(), m_view->StartHandleCursor().pixmap().toImage());
    Move(Centre(m_view->EndHandleRect()), Qt::NoButton);
    EXPECT_EQ(m_view->cursor().pixmap().toImage(), m_view->EndHandleCursor().pixmap().toImage());
    EXPECT_NE(m_view->StartHandleCursor().pixmap().toImage(),
              m_view->EndHandleCursor().pixmap().toImage());
    Move(Centre(m_view->PositionRect()), Qt::NoButton);
    EXPECT_EQ(m_view->cursor().shape(), Qt::SizeHorCursor);
    Move(QPoint(X(50), 5), Qt::NoButton);
    EXPECT_EQ(m_view->cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(m_host.shown.empty());
}

}  // namespace
