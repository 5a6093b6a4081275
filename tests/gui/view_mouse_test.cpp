// Mouse work on the frame view of the real program: setting the two trimming areas, the
// wheel, placing markers through the ID dialog, dragging, hit testing, the marker context menu,
// and what the overlays put on the screen; and the view alone on a fake host.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <memory>
#include <optional>
#include <vector>

#include "frame/slider_dlg_bar.h"
#include "frame/slider_view.h"
#include "geometry/trimming_param.h"
#include "markers/set_marker_id_dlg.h"
#include "markers/video_annotations.h"
#include "platform/string_table.h"
#include "reading/avi_video_stream.h"
#include "settings/inifile_manager.h"
#include "support/app_fixture.h"
#include "support/ffmpeg_tool.h"
#include "support/recording_host.h"
#include "view/view_cursors.h"
#include "view/view_host.h"

namespace {

using kivra::ImagePoint;
using kivra::ViewPoint;
using kivra::ViewRect;

const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kBlack(0, 0, 0);

// Answers every message box with `answer` and keeps the texts.
class MessageAnswerer {
public:
    explicit MessageAnswerer(QMessageBox::StandardButton answer) {
        QObject::connect(&m_timer, &QTimer::timeout, [this, answer] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                m_texts << box->text();
                box->button(answer)->click();
            }
        });
        m_timer.start(10);
    }
    QStringList m_texts;

private:
    QTimer m_timer;
};

bool SameImage(const QCursor& a, const QCursor& b) {
    return a.pixmap().toImage() == b.pixmap().toImage() && a.hotSpot() == b.hotSpot();
}

class ViewMouseTest : public kivra::test::AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        m_frame->resize(1000, 760);
        Open(m_sample);
        Paint();
        m_frame->Settings().MarkerId().askToShowIdBar = false;  // no toolbar question in the way
    }

    CAviVideoStream& Stream() { return *m_frame->Stream(); }
    VideoAnnotations& Annotations() { return *m_frame->Video().Annotations(); }
    CLFFManager& Markers() { return Annotations().m_markers; }
    int Current() { return m_frame->Cursor().Current(); }
    int Mode() const { return m_frame->Session().GetViewMode(); }
    ViewRect Pic() const { return m_view->ImageRect(); }
    void Command(kivra::CommandId id) {
        m_frame->UpdateCommandUI();
        ASSERT_TRUE(m_frame->Action(id)->isEnabled()) << id;
        m_frame->Action(id)->trigger();
        Paint();
    }
    void Wheel(int delta, Qt::KeyboardModifiers keys = {}) {
        const QPointF p(At(0.5, 0.5));
        QWheelEvent e(p, m_view->mapToGlobal(p), {}, {0, delta}, Qt::NoButton, keys,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(m_view, &e);
    }
    void SetBothAreas() {
        Command(kivra::ID_TRIMMING_AREA);
        Click(At(0.35, 0.5));
        Click(At(0.6, 0.5));
        ASSERT_EQ(Mode(), kivra::kNormalMode);
        Paint();
    }
    void ShowIdDialog() {
        m_frame->Markers().OnMarkerSetId();
        ASSERT_TRUE(m_frame->IsMarkerIdDialogVisible());
        ASSERT_EQ(Mode(), kivra::kPreviewMode);
        Paint();
    }
    ImagePoint ToImage(QPoint p, int mode, int frame) {
        return *m_view->ViewToImage({p.x(), p.y()}, Pic(), kivra::ViewMode(mode), frame);
    }
    QPoint ToView(ImagePoint p, int mode, int frame) {
        const ViewPoint v = *m_view->ImageToView(p, Pic(), kivra::ViewMode(mode), frame);
        return {v.x, v.y};
    }
    // An area rectangle where the view draws it.
    ViewRect AreaOnScreen(const ViewRect& r) {
        const double sx = Pic().Width() / 1280.0;
        const double sy = Pic().Height() / 720.0;
        return {Pic().left + int(r.left * sx + 0.5), Pic().top + int(r.top * sy + 0.5),
                Pic().left + int(r.right * sx + 0.5), Pic().top + int(r.bottom * sy + 0.5)};
    }
    // Opens the marker menu at p and presses `key` in it; false when no menu opened.
    bool ContextMenu(QPoint p, Qt::Key key) {
        bool shown = false;
        QTimer::singleShot(0, m_view, [&] {
            if (QWidget* popup = QApplication::activePopupWidget()) {
                shown = true;
                QTest::keyClick(popup, key);
            }
        });
        QContextMenuEvent e(QContextMenuEvent::Mouse, p, m_view->mapToGlobal(p));
        QApplication::sendEvent(m_view, &e);
        QCoreApplication::processEvents();
        return shown;
    }
};

TEST_F(ViewMouseTest, AreasAreSetWithTheBoxThatFollowsTheMouse) {
    Command(kivra::ID_TRIMMING_AREA);
    const QPoint p1 = At(0.35, 0.5);
    const QPoint p2 = At(0.6, 0.5);
    Move(p1);
    const ViewRect box1 = m_view->CursorBox();
    EXPECT_EQ(box1, kivra::AreaBoxAtCursor(p1.x(), p1.y(), 51, kivra::kPortrait));
    Move(p2);
    EXPECT_EQ(m_view->CursorBox(), kivra::AreaBoxAtCursor(p2.x(), p2.y(), 51, kivra::kPortrait));
    Move(p1);
    QImage shot = Grab();
    EXPECT_EQ(shot.pixelColor(box1.left + 1, p1.y()), kRed);
    EXPECT_EQ(shot.pixelColor(box1.left + box1.Width() / 2, box1.bottom - 3), kRed);

    Click(p1);
    const ViewRect area1 = kivra::BoxToImageRect(box1, Pic(), 1280, 720);
    EXPECT_EQ(m_frame->Session().Area1().rect, area1);
    EXPECT_EQ(m_frame->Session().Area1().frame, 0);
    EXPECT_EQ(m_frame->Session().AreaIndex(), 1);
    EXPECT_EQ(Current(), 119) << "area 2 is set on the last frame";
    EXPECT_EQ(m_frame->Session().AreaBoxHalfSize(0), 51);

    // Area 2 may not share the frame of area 1.
    m_frame->Playback().ShowFrame(0);
    Click(p2);
    EXPECT_FALSE(m_frame->Session().Area2().IsSet());
    EXPECT_EQ(m_frame->Session().AreaIndex(), 1);
    EXPECT_EQ(Current(), 0);

    m_frame->Playback().Last();
    Move(p2);
    shot = Grab();
    const ViewRect box2 = m_view->CursorBox();
    EXPECT_EQ(shot.pixelColor(box2.left, p2.y()), kBlue) << "the box of area 2 is blue";
    EXPECT_NE(shot.pixelColor(AreaOnScreen(area1).left, p1.y()), kRed)
        << "area 1 is outlined only on its own frame";

    Click(p2);
    EXPECT_EQ(m_frame->Session().Area2().frame, 119);
    EXPECT_EQ(Mode(), kivra::kNormalMode);
    EXPECT_EQ(m_frame->Session().AreaIndex(), 0);
    EXPECT_EQ(Current(), 0);
    EXPECT_TRUE(m_view->CursorBox().IsEmpty());
    const CTrimmingParam& trim = Annotations().m_trimParam;
    ASSERT_EQ(trim.GetSize(), 120);
    EXPECT_EQ(trim.At(0), area1);
    EXPECT_EQ(trim.At(119), m_frame->Session().Area2().rect);
    EXPECT_GT(trim.At(60).left, area1.left);
    EXPECT_LT(trim.At(60).left, m_frame->Session().Area2().rect.left);

    // Outline colours: red on the area-1 frame, blue on the area-2 frame, black between,
    // each with its mosaic patch (type 1: a square at the top centre).
    const std::pair<int, QColor> frames[] = {{0, kRed}, {119, kBlue}, {60, kBlack}};
    for (const auto& [frame, colour] : frames) {
        m_frame->Playback().ShowFrame(frame);
        shot = Grab();
        const ViewRect r = AreaOnScreen(trim.At(frame));
        const ViewRect mosaic = kivra::MosaicRect(r, 1);
        const int mid = (r.top + r.bottom) / 2;
        EXPECT_EQ(shot.pixelColor(r.left, mid), colour) << frame;
        EXPECT_EQ(shot.pixelColor(r.left + 1, mid), colour) << frame;
        EXPECT_EQ(shot.pixelColor(r.right - 1, mid), colour) << frame;
        EXPECT_EQ(shot.pixelColor(mosaic.left, mosaic.bottom - 2), colour) << frame;
    }
    // In preview the picture is the box; only the mosaic patch is outlined.
    Command(kivra::ID_TRIMMING_PREVIEW);
    m_frame->Playback().ShowFrame(119);
    shot = Grab();
    const ViewRect mosaic = kivra::MosaicRect(Pic(), 1);
    EXPECT_EQ(shot.pixelColor(mosaic.left, mosaic.top + 3), kBlue);
    EXPECT_NE(shot.pixelColor(Pic().left, Pic().top + Pic().Height() / 2), kBlue);
}

TEST_F(ViewMouseTest, WheelResizesTheBoxWithinItsLimits) {
    Command(kivra::ID_TRIMMING_AREA);
    Move(At(0.4, 0.5));
    Wheel(120);
    EXPECT_EQ(m_view->BoxHalfSize(), 54);
    Wheel(120, Qt::ShiftModifier);
    EXPECT_EQ(m_view->BoxHalfSize(), 55);
    Wheel(80);
    EXPECT_EQ(m_view->BoxHalfSize(), 57);
    Wheel(-120, Qt::ShiftModifier);
    EXPECT_EQ(m_view->BoxHalfSize(), 56);
    EXPECT_EQ(m_view->CursorBox().Width(), 2 * 56) << "the box follows the size";
    Wheel(-12000);
    EXPECT_EQ(m_view->BoxHalfSize(), 3);
    Wheel(120000);
    EXPECT_EQ(m_view->BoxHalfSize(), Pic().Width() / 2);
    Wheel(-120 * 20);
    const int size1 = m_view->BoxHalfSize();

    // Side mode: area 2 keeps the size of area 1.
    Click(At(0.4, 0.5));
    EXPECT_EQ(m_frame->Session().AreaBoxHalfSize(0), size1);
    Wheel(120);
    EXPECT_EQ(m_view->BoxHalfSize(), size1);
}

TEST_F(ViewMouseTest, FrontModeResizesAreaTwoFromItsOwnSize) {
    m_frame->Trimming().SetTrimmingMode(kivra::kFrontMode);
    m_frame->Session().SetAreaBoxHalfSize(1, 30);
    Command(kivra::ID_TRIMMING_AREA);
    Click(At(0.4, 0.5));
    EXPECT_EQ(m_view->BoxHalfSize(), 30);
    Wheel(120);
    EXPECT_EQ(m_view->BoxHalfSize(), 33);
    Click(At(0.5, 0.5));
    EXPECT_EQ(m_frame->Session().AreaBoxHalfSize(1), 33);
    EXPECT_EQ(m_view->BoxHalfSize(), 51);
}

TEST_F(ViewMouseTest, ClicksPlaceMarkersWithRisingIdsDrawnByInversion) {
    SetBothAreas();
    ShowIdDialog();
    const QImage before = Grab();
    const QPoint points[] = {At(0.3, 0.5), At(0.5, 0.6), At(0.7, 0.4)};
    for (const QPoint p : points) {
        Click(p);
    }
    EXPECT_TRUE(SameImage(m_view->cursor(), kivra::MarkerPlacingCursor()));
    EXPECT_EQ(m_frame->MarkerIdDialog()->CurrentId(), 4);
    EXPECT_EQ(Current(), 0);
    std::vector<T_DRAW_MARKER> placed;
    Markers().GetFrameMarkers(0, placed);
    ASSERT_EQ(placed.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const ImagePoint expected = ToImage(points[i], kivra::kPreviewMode, 0);
        EXPECT_EQ(placed[i].ID, i + 1);
        EXPECT_DOUBLE_EQ(placed[i].x, expected.x);
        EXPECT_DOUBLE_EQ(placed[i].y, expected.y);
    }

    const QImage after = Grab();
    const QPoint p = points[0];
    const auto inverted = [&](int x, int y) {
        return (after.pixel(x, y) & 0xFFFFFF) == (~before.pixel(x, y) & 0xFFFFFF);
    };
    for (const int d : {-10, -4, 3, 10}) {
        EXPECT_TRUE(inverted(p.x() + d, p.y())) << d;
        EXPECT_TRUE(inverted(p.x(), p.y() + d)) << d;
    }
    EXPECT_EQ(after.pixel(p.x() + 11, p.y()), before.pixel(p.x() + 11, p.y()));
    EXPECT_EQ(after.pixel(p.x(), p.y()), before.pixel(p.x(), p.y())) << "inverted twice";
    // The ID label: black on white above and right of the cross.
    const QRect label(p.x() + 5, p.y() - 18, 10, 13);
    int white = 0;
    int black = 0;
    for (int y = label.top(); y <= label.bottom(); ++y) {
        for (int x = label.left(); x <= label.right(); ++x) {
            white += after.pixelColor(x, y) == Qt::white;
            black += after.pixelColor(x, y) == Qt::black;
        }
    }
    EXPECT_GT(white, 10);
    EXPECT_GT(black, 5);
}

TEST_F(ViewMouseTest, SkipModeFillsTheSkippedFramesAndJumpsWithinThePlayRange) {
    SetBothAreas();
    ShowIdDialog();
    CSetMarkerIDDlg& dlg = *m_frame->MarkerIdDialog();
    dlg.SkipRadio()->click();
    dlg.SkipEdit()->setText(QStringLiteral("10"));
    m_frame->Session().SetPlayRange(0, 25);
    m_frame->Playback().ShowFrame(12);
    Paint();

    const QPoint a = At(0.4, 0.5);
    const ImagePoint ia = ToImage(a, kivra::kPreviewMode, 12);
    Click(a);
    EXPECT_EQ(Current(), 22);
    EXPECT_EQ(m_frame->Bars().SliderBar()->GetPos(), 22);
    EXPECT_EQ(dlg.CurrentId(), 1);
    EXPECT_FALSE(Markers().HasMarkers(17)) << "nothing earlier to fill from";

    const QPoint b = At(0.6, 0.3);
    const ImagePoint ib = ToImage(b, kivra::kPreviewMode, 22);
    Click(b);
    EXPECT_EQ(Current(), 25) << "the end of the play range, not frame 32";
    EXPECT_EQ(dlg.CurrentId(), 1);
    const T_MARKER& mid = Markers().Row(0)[size_t(Markers().FindMarker(0, 17))];
    EXPECT_NEAR(mid.x, (ia.x + ib.x) / 2, 1e-9);
    EXPECT_NEAR(mid.y, (ia.y + ib.y) / 2, 1e-9);
    EXPECT_EQ(Markers().Row(0).size(), 11u);
}

// With the fill by tracking chosen, the frames between two clicks follow the ankle through its
// swing instead of the straight line, which cuts the arc by 54 pixels at frame 25.
TEST_F(ViewMouseTest, SkipModeCanFillTheSkippedFramesByFollowingThePoint) {
    SetBothAreas();
    ShowIdDialog();
    CSetMarkerIDDlg& dlg = *m_frame->MarkerIdDialog();
    dlg.SkipRadio()->click();
    dlg.SkipEdit()->setText(QStringLiteral("10"));
    auto* const trackFill = dlg.findChild<QCheckBox*>(QStringLiteral("TrackFill"));
    ASSERT_NE(trackFill, nullptr);
    trackFill->click();
    ASSERT_TRUE(m_frame->Settings().MarkerId().skipFillByTracking);
    m_frame->Playback().ShowFrame(20);
    Paint();
    // The walker's ankle (its truth, in the store's pixel-centre convention).
    Click(ToView({269.490 - 0.5, 571.407 - 0.5}, kivra::kPreviewMode, 20));
    ASSERT_EQ(Current(), 30);
    Paint();
    Click(ToView({442.820 - 0.5, 592.764 - 0.5}, kivra::kPreviewMode, 30));
    ASSERT_EQ(Markers().Row(0).size(), 11u);
    const T_MARKER& mid = Markers().Row(0)[size_t(Markers().FindMarker(0, 25))];
    EXPECT_NEAR(mid.x, 410.170 - 0.5, 3.0);
    EXPECT_NEAR(mid.y, 587.653 - 0.5, 3.0);

    // The click and its fill are one step to take back.
    m_frame->Video().History().Undo();
    EXPECT_EQ(Markers().Row(0).size(), 1u);
}

TEST_F(ViewMouseTest, DraggingStoresTheSameImagePointInNormalAndPreviewMode) {
    SetBothAreas();
    const ViewRect trim = Annotations().m_trimParam.At(0);
    const ImagePoint target{trim.left + trim.Width() * 0.6, trim.top + trim.Height() * 0.4};
    Markers().SetMarker(0, 0, trim.left + 10.0, trim.top + 20.0);
    std::vector<ImagePoint> stored;
    for (const bool preview : {false, true}) {
        if (preview) {
            Command(kivra::ID_TRIMMING_PREVIEW);
        }
        const int mode = Mode();
        const QPoint from = ToView({Markers().Row(0)[0].x, Markers().Row(0)[0].y}, mode, 0);
        QTest::mousePress(m_view, Qt::LeftButton, {}, from);
        EXPECT_EQ(m_view->IsDragging(), true);
        EXPECT_EQ(m_view->HitMarkerId(), 1);
        EXPECT_TRUE(SameImage(m_view->cursor(), kivra::ClosedHandCursor()));
        const QPoint to = ToView(target, mode, 0);
        Move(to, Qt::LeftButton);
        QTest::mouseRelease(m_view, Qt::LeftButton, {}, to);
        EXPECT_EQ(m_view->IsDragging(), false);
        EXPECT_EQ(m_view->HitMarkerId(), -1);
        const T_MARKER& m = Markers().Row(0)[0];
        stored.push_back({m.x, m.y});
        EXPECT_NEAR(m.x, target.x, 1.0) << mode;
        EXPECT_NEAR(m.y, target.y, 1.0) << mode;
    }
    EXPECT_NEAR(stored[0].x, stored[1].x, 1.0);
    EXPECT_NEAR(stored[0].y, stored[1].y, 1.0);

    // A drag far out of the view leaves the marker on the edge of the picture.
    const QPoint from = ToView(stored[1], kivra::kPreviewMode, 0);
    QTest::mousePress(m_view, Qt::LeftButton, {}, from);
    Move({-50, m_view->height() + 50}, Qt::LeftButton);
    QTest::mouseRelease(m_view, Qt::LeftButton, {}, {-50, m_view->height() + 50});
    const T_MARKER& m = Markers().Row(0)[0];
    EXPECT_NEAR(m.x, trim.left, 0.01);
    EXPECT_LT(m.y, trim.bottom);
    EXPECT_GT(m.y, trim.bottom - 2.0);
}

TEST_F(ViewMouseTest, HitTestPrefersTheLowerIdWithinTenPixels) {
    const QPoint q = At(0.5, 0.5);
    Markers().SetMarker(1, 0, ToImage(q, 0, 0).x, ToImage(q, 0, 0).y);
    const QPoint q5 = q + QPoint(15, 0);
    Markers().SetMarker(4, 0, ToImage(q5, 0, 0).x, ToImage(q5, 0, 0).y);
    const auto hit = [&](QPoint p) {
        return m_view->HitTestMarker(kivra::kNormalMode, 0, {p.x(), p.y()});
    };
    EXPECT_EQ(hit(q + QPoint(7, 0)), 2);
    EXPECT_EQ(hit(q + QPoint(12, 0)), 5);
    EXPECT_EQ(hit(q + QPoint(-10, -10)), 2);
    EXPECT_EQ(hit(q + QPoint(-11, 0)), -1);
    EXPECT_EQ(hit(q + QPoint(0, 10)), -1) << "the bottom edge is outside";
    EXPECT_EQ(m_view->HitTestMarker(kivra::kNormalMode, 1, {q.x(), q.y()}), -1) << "another frame";

    Move(q + QPoint(7, 0));
    EXPECT_TRUE(SameImage(m_view->cursor(), kivra::OpenHandCursor()));
    QTest::mousePress(m_view, Qt::LeftButton, {}, q + QPoint(7, 0));
    EXPECT_EQ(m_view->HitMarkerId(), 2);
    QTest::mouseRelease(m_view, Qt::LeftButton, {}, q + QPoint(7, 0));
}

TEST_F(ViewMouseTest, ContextMenuDeletesOnThisFrameOrOnAllFrames) {
    const QPoint p1 = At(0.3, 0.5);
    const QPoint p2 = At(0.7, 0.5);
    for (const int frame : {0, 3, 7}) {
        Markers().SetMarker(0, frame, ToImage(p1, 0, 0).x, ToImage(p1, 0, 0).y);
        Markers().SetMarker(1, frame, ToImage(p2, 0, 0).x, ToImage(p2, 0, 0).y);
    }
    EXPECT_FALSE(ContextMenu(At(0.5, 0.2), Qt::Key_D)) << "no marker there";
    EXPECT_EQ(m_view->HitMarkerId(), -1);

    EXPECT_TRUE(ContextMenu(p1, Qt::Key_D));
    EXPECT_EQ(Markers().FindMarker(0, 0), -1);
    EXPECT_EQ(Markers().Row(0).size(), 2u) << "other frames keep ID 1";
    EXPECT_EQ(Markers().Row(1).size(), 3u);

    {
        MessageAnswerer no(QMessageBox::No);
        EXPECT_TRUE(ContextMenu(p2, Qt::Key_U));
        ASSERT_EQ(no.m_texts.size(), 1);
        EXPECT_EQ(no.m_texts[0], QString::fromStdString(kivra::LoadString(2043)));
        EXPECT_EQ(Markers().Row(1).size(), 3u);
    }
    {
        MessageAnswerer yes(QMessageBox::Yes);
        EXPECT_TRUE(ContextMenu(p2, Qt::Key_U));
        EXPECT_TRUE(Markers().Row(1).empty());
        EXPECT_EQ(Markers().Row(0).size(), 2u);
    }

    // Not while a marker is being dragged.
    m_frame->Playback().ShowFrame(3);
    Paint();
    QTest::mousePress(m_view, Qt::LeftButton, {}, p1);
    ASSERT_EQ(m_view->IsDragging(), true);
    EXPECT_FALSE(ContextMenu(p1, Qt::Key_D));
    QTest::mouseRelease(m_view, Qt::LeftButton, {}, p1);
    EXPECT_EQ(Markers().Row(0).size(), 2u);
}

TEST_F(ViewMouseTest, LocusFollowsEachIdUpToTheCurrentFrame) {
    SetBothAreas();
    m_frame->Settings().MarkerId().locusColor = 0x0003FE01;  // 0x00BBGGRR
    const QColor locus(1, 254, 3);
    Command(kivra::ID_MARKER_SHOW_LOCUS);
    Command(kivra::ID_TRIMMING_PREVIEW);
    const auto place = [&](int frame, double fx, double fy) {
        const ViewRect t = Annotations().m_trimParam.At(frame);
        Markers().SetMarker(0, frame, t.left + t.Width() * fx, t.top + t.Height() * fy);
        return ImagePoint{t.left + t.Width() * fx, t.top + t.Height() * fy};
    };
    const ImagePoint i2 = place(2, 0.2, 0.3);
    const ImagePoint i6 = place(6, 0.5, 0.5);
    const ImagePoint i10 = place(10, 0.7, 0.4);
    const ImagePoint i40 = place(40, 0.3, 0.8);
    m_frame->Playback().ShowFrame(10);
    const auto near = [&](const QImage& shot, QPoint c) {
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                if (shot.pixelColor(c + QPoint(dx, dy)) == locus) {
                    return true;
                }
            }
        }
        return false;
    };
    // Each point is placed with its own frame's trimming rectangle.
    const QPoint v2 = ToView(i2, kivra::kPreviewMode, 2);
    const QPoint v6 = ToView(i6, kivra::kPreviewMode, 6);
    const QPoint v10 = ToView(i10, kivra::kPreviewMode, 10);
    const QPoint v40 = ToView(i40, kivra::kPreviewMode, 40);
    QImage shot = Grab();
    EXPECT_TRUE(near(shot, (v2 + v6) / 2));
    EXPECT_TRUE(near(shot, (v6 + v10) / 2));
    EXPECT_FALSE(near(shot, (v10 + v40) / 2)) << "frame 40 is still to come";

    Command(kivra::ID_MARKER_SHOW_LOCUS);
    shot = Grab();
    EXPECT_FALSE(near(shot, (v2 + v6) / 2));
}

// The window's part in the view's work: a real open video with its editing session, and a
// count of what the view asked for.
class FakeViewHost : public kivra::FrameViewHost {
public:
    kivra::OpenVideo& Video() const override { return video; }
    bool Deinterlaced() const override { return settings.Trimming().deinterlace; }
    const kivra::MarkerIdSettings& MarkerIds() const override { return settings.MarkerId(); }
    bool IsForwardPlaying() const override { return false; }
    bool IsMarkerIdDialogVisible() const override { return idTool; }
    void ShowFirstFrame() override { shown.push_back(video.Stream()->GetStart()); }
    void ShowLastFrame() override { shown.push_back(video.Stream()->GetEnd()); }
    void UpdateRateStatus() override { ++rateUpdates; }
    kivra::MsgAnswer ShowMessage(const std::string&, kivra::MsgButtons, kivra::MsgIcon) override {
        return kivra::MsgAnswer::No;
    }
    void OpenDocumentFile(const std::string&) override {}

    kivra::test::TempDir folder;
    mutable CInifileManager settings{std::string()};
    kivra::test::RecordingHost messages;
    mutable kivra::OpenVideo video{messages, kivra::test::DocumentGroups(settings),
                                   settings.Trimming(), folder.path()};
    kivra::Workspace actions{video, kivra::test::WorkspaceGroups(settings), messages};
    bool idTool = false;     // the ID dialog is up
    std::vector<int> shown;  // frames the First and Last commands were asked for
    int rateUpdates = 0;
};

// The view on a fake host, without the program around it: areas set by clicks move the host's
// modes and frames, and a click with the ID dialog up places the dialog's ID.
TEST(FrameViewOnHost, AreaClicksAndIdPlacementGoThroughTheHost) {
    const kivra::test::TempDir dir;
    ASSERT_TRUE(dir.ok());
    ASSERT_TRUE(kivra::test::RunFfmpeg({"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25",
                                        "-frames:v", "10", "-c:v", "mjpeg", dir.File("walk.avi")}));
    FakeViewHost host;
    ASSERT_TRUE(host.actions.OpenVideo(dir.File("walk.avi")).ok());
    kivra::EditSession& session = host.video.Session();
    VideoAnnotations& annotations = *host.video.Annotations();
    session.ToggleAreaMode();
    CVfwView view(host);
    view.resize(640, 480);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    kivra::test::PaintArrived(view);
    EXPECT_GT(host.rateUpdates, 0) << "each picture shown updates the rate pane";
    const ViewRect pic = view.ImageRect();
    ASSERT_FALSE(pic.IsEmpty());
    const QPoint centre((pic.left + pic.right) / 2, (pic.top + pic.bottom) / 2);
    const auto click = [&](QPoint p) {
        QMouseEvent move(QEvent::MouseMove, p, view.mapToGlobal(p), Qt::NoButton, Qt::NoButton, {});
        QApplication::sendEvent(&view, &move);
        QTest::mouseClick(&view, Qt::LeftButton, {}, p);
    };

    click(centre);
    EXPECT_EQ(session.Area1().frame, 0);
    EXPECT_EQ(session.AreaIndex(), 1);
    EXPECT_EQ(host.shown, std::vector<int>{9});
    host.video.Cursor().MoveTo(9);
    click(centre + QPoint(20, 0));
    EXPECT_EQ(session.Area2().frame, 9);
    EXPECT_EQ(session.GetViewMode(), kivra::kNormalMode);
    EXPECT_EQ(session.AreaIndex(), 0);
    EXPECT_EQ(host.shown, (std::vector<int>{9, 0}));
    EXPECT_FALSE(annotations.m_trimParam.At(0).IsEmpty());
    EXPECT_FALSE(annotations.m_trimParam.At(9).IsEmpty());

    // Without the ID dialog a click places nothing; with it the video's ID goes in and steps on.
    session.SetViewMode(kivra::kPreviewMode);
    host.video.Cursor().MoveTo(4);
    kivra::test::PaintArrived(view);
    click(centre);
    EXPECT_FALSE(annotations.m_markers.AnyMarkers());
    host.idTool = true;
    session.SetMarkerId(3);
    click(centre);
    std::vector<T_DRAW_MARKER> markers;
    annotations.m_markers.GetFrameMarkers(4, markers);
    ASSERT_EQ(markers.size(), 1u);
    EXPECT_EQ(markers[0].ID, 3);
    EXPECT_EQ(session.MarkerId(), 4);
    EXPECT_EQ(host.video.History().Count(), 3) << "two areas and the marker, one step each";
}

}  // namespace
