// The main window with its frame view on real videos: what the view paints, the commands that
// change it, dropping files, and what a repaint of an unchanged frame costs.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>

#include "app/mirandel_app.h"
#include "base/qt_user_messages.h"
#include "frame/main_frame.h"
#include "geometry/trimming_param.h"
#include "markers/lff_manager.h"
#include "markers/set_marker_id_dlg.h"
#include "platform/string_table.h"
#include "reading/avi_video_stream.h"
#include "settings/inifile_manager.h"
#include "support/app_fixture.h"
#include "support/ffmpeg_tool.h"
#include "view/vfw_view.h"

namespace {

namespace fs = std::filesystem;
using kivra::test::MessageBoxCatcher;
using kivra::test::TempDir;

const QColor kGrey(100, 100, 100);

int CountColour(const QImage& image, const QRect& area, QColor colour) {
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            n += image.pixelColor(x, y) == colour ? 1 : 0;
        }
    }
    return n;
}

QRect ToQRect(const kivra::ViewRect& r) {
    return QRect(r.left, r.top, r.Width(), r.Height());
}

class FrameViewTest : public kivra::test::AppFixture {};

TEST_F(FrameViewTest, PaintsMarginBarsAndPictureForWideAndTallWindows) {
    const QImage empty = Grab();
    EXPECT_EQ(CountColour(empty, empty.rect(), kGrey), empty.width() * empty.height())
        << "without a video only the background is painted";

    Open(m_sample);
    EXPECT_EQ(m_frame->Session().GetViewMode(), 0);

    // Wide window: bars left and right. Tall window: bars above and below.
    for (const QSize size : {QSize(1100, 500), QSize(600, 900)}) {
        m_frame->resize(size);
        QCoreApplication::processEvents();
        const QImage shot = Grab();
        const QRect pic = ToQRect(m_view->ImageRect());
        ASSERT_FALSE(pic.isEmpty());
        const bool wide = size.width() > size.height();

        EXPECT_EQ(shot.pixelColor(0, 0), kGrey);
        EXPECT_EQ(shot.pixelColor(shot.width() - 1, shot.height() / 2), kGrey);
        EXPECT_EQ(shot.pixelColor(shot.width() / 2, shot.height() - 1), kGrey);
        if (wide) {
            EXPECT_EQ(pic.height(), shot.height() - 2);
            EXPECT_GT(pic.left(), 1);
            EXPECT_EQ(shot.pixelColor(1, shot.height() / 2), QColor(Qt::black));
            EXPECT_EQ(shot.pixelColor(shot.width() - 2, shot.height() / 2), QColor(Qt::black));
        } else {
            EXPECT_EQ(pic.width(), shot.width() - 2);
            EXPECT_GT(pic.top(), 1);
            EXPECT_EQ(shot.pixelColor(shot.width() / 2, 1), QColor(Qt::black));
            EXPECT_EQ(shot.pixelColor(shot.width() / 2, shot.height() - 2), QColor(Qt::black));
        }
        EXPECT_NEAR(double(pic.width()) / pic.height(), 1280.0 / 720.0, 0.02);
        // The picture itself is neither background nor bar.
        const int pixels = pic.width() * pic.height();
        EXPECT_LT(CountColour(shot, pic, kGrey), pixels / 100);
        EXPECT_LT(CountColour(shot, pic, Qt::black), pixels / 10);
    }
}

TEST_F(FrameViewTest, PictureIsUpright) {
    // A top half that is red and a bottom half that is blue must stay so on the screen.
    const std::string path = m_dir.File("halves.avi");
    ASSERT_TRUE(kivra::test::RunFfmpeg({"-f", "lavfi", "-i", "color=c=red:size=320x240:rate=25",
                                        "-f", "lavfi", "-i", "color=c=blue:size=320x240:rate=25",
                                        "-filter_complex", "[0][1]vstack", "-frames:v", "3", "-c:v",
                                        "mjpeg", path}));
    Open(path);
    const QImage shot = Grab();
    const QRect pic = ToQRect(m_view->ImageRect());
    const QColor top = shot.pixelColor(pic.center().x(), pic.top() + pic.height() / 4);
    const QColor bottom = shot.pixelColor(pic.center().x(), pic.bottom() - pic.height() / 4);
    EXPECT_GT(top.red(), 200);
    EXPECT_LT(top.blue(), 50);
    EXPECT_GT(bottom.blue(), 200);
    EXPECT_LT(bottom.red(), 50);
}

TEST_F(FrameViewTest, ImageInformationAndBannerDrawWhiteText) {
    Open(m_sample);
    const QRect infoBlock(12, 32, 260, 15 * 18);
    const QRect bannerBlock(9, 9, 300, 18);
    const QImage plain = Grab();

    // Ctrl+I through the real action: the flag, the view's copy and the check mark follow.
    Press(QKeySequence(Qt::CTRL | Qt::Key_I));
    EXPECT_EQ(m_frame->Session().ShowInfo(), true);
    EXPECT_EQ(m_frame->Session().ShowInfo(), true);
    m_frame->UpdateCommandUI();
    EXPECT_TRUE(m_frame->Action(kivra::ID_VIEW_IMAGE_INFO)->isChecked());
    const QImage withInfo = Grab();
    EXPECT_GT(CountColour(withInfo, infoBlock, Qt::white),
              CountColour(plain, infoBlock, Qt::white) + 200);

    Press(QKeySequence(Qt::CTRL | Qt::Key_I));
    EXPECT_EQ(m_frame->Session().ShowInfo(), false);
    EXPECT_EQ(CountColour(Grab(), infoBlock, Qt::white), CountColour(plain, infoBlock, Qt::white));

    // Area mode shows its banner; preview paints a black background.
    m_frame->Session().SetViewMode(kivra::kAreaMode);
    m_frame->Session().SetAreaIndex(0);
    EXPECT_GT(CountColour(Grab(), bannerBlock, Qt::white),
              CountColour(plain, bannerBlock, Qt::white) + 50);
    m_frame->Session().SetViewMode(kivra::kPreviewMode);
    const QImage preview = Grab();
    EXPECT_EQ(preview.pixelColor(0, 0), QColor(Qt::black));
    EXPECT_GT(CountColour(preview, bannerBlock, Qt::white), 50);
}

TEST_F(FrameViewTest, ClosingEmptiesTheViewAndResetsTheInformationFlag) {
    EXPECT_FALSE(m_frame->Action(kivra::ID_FILE_NEW)->isEnabled());
    Press(QKeySequence(Qt::CTRL | Qt::Key_I));  // disabled without a video
    EXPECT_EQ(m_frame->Session().ShowInfo(), false);

    Open(m_sample);
    m_frame->UpdateCommandUI();
    EXPECT_TRUE(m_frame->Action(kivra::ID_FILE_NEW)->isEnabled());
    EXPECT_EQ(m_frame->windowTitle(), QStringLiteral("walker.avi - Kivra"));
    Press(QKeySequence(Qt::CTRL | Qt::Key_I));
    ASSERT_EQ(m_frame->Session().ShowInfo(), true);

    m_frame->Action(kivra::ID_FILE_NEW)->trigger();
    EXPECT_EQ(m_frame->Session().GetViewMode(), -1);
    EXPECT_EQ(m_app->GetDocument()->Stream(), nullptr);
    EXPECT_EQ(m_frame->windowTitle(), QStringLiteral("Kivra"));
    EXPECT_FALSE(m_frame->Action(kivra::ID_FILE_NEW)->isEnabled());
    const QImage shot = Grab();
    EXPECT_EQ(CountColour(shot, shot.rect(), kGrey), shot.width() * shot.height());

    // A video opened afterwards starts without the information, as its unchecked item says.
    EXPECT_EQ(m_frame->Session().ShowInfo(), false);
    EXPECT_EQ(m_frame->Session().ShowInfo(), false);
}

TEST_F(FrameViewTest, DroppingThreeFilesOpensOnlyTheLast) {
    MessageBoxCatcher catcher;
    // The first two would each raise the "not recognised" message if they were opened.
    const std::string first = m_dir.File("first notes.txt");
    const std::string second = m_dir.File("-second $;'.txt");
    std::ofstream(first) << "x";
    std::ofstream(second) << "y";
    const std::string last = m_dir.File("最後 の 動画.avi");
    fs::copy_file(m_sample, last);

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(first)),
                  QUrl::fromLocalFile(QString::fromStdString(second)),
                  QUrl::fromLocalFile(QString::fromStdString(last))});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_view, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_view, &drop);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_app->GetDocument()->PathName() == last; }, 5000));
    WaitForJobs();

    EXPECT_EQ(m_app->GetDocument()->PathName(), last);
    EXPECT_EQ(m_frame->Session().GetViewMode(), 0);
    EXPECT_TRUE(catcher.Texts().isEmpty()) << catcher.Texts().join("|").toStdString();
}

// The view paints the picture that has arrived and never waits for one: with the stream's
// thread held, a step paints the last frame's picture at once, and the new one follows.
TEST_F(FrameViewTest, PaintsWhatHasArrivedWithoutWaitingForTheDecoder) {
    Open(m_sample);
    m_frame->resize(800, 600);
    const QImage first = Grab();
    CAviVideoStream* stream = m_frame->Stream();
    ASSERT_NE(stream, nullptr);

    std::mutex lock;  // guards open
    std::condition_variable opened;
    bool open = false;
    stream->RequestFrame(0, false, true, [&](kivra::ShownPicture&&) {
        std::unique_lock<std::mutex> hold(lock);
        opened.wait(hold, [&] { return open; });
    });
    m_frame->Cursor().MoveTo(20);
    QElapsedTimer painting;
    painting.start();
    const QImage held = m_view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_LT(painting.elapsed(), 2000);
    EXPECT_TRUE(m_view->AwaitsPicture());
    EXPECT_EQ(held, first) << "the last picture stays until the new one arrives";
    {
        const std::lock_guard<std::mutex> hold(lock);
        open = true;
    }
    opened.notify_all();
    const QImage stepped = Grab();
    EXPECT_FALSE(m_view->AwaitsPicture());
    EXPECT_NE(stepped, first);
}

TEST_F(FrameViewTest, RepaintOfAnUnchangedFrameNeitherDecodesNorRescales) {
    const std::string big = m_dir.File("big.avi");
    ASSERT_TRUE(kivra::test::RunFfmpeg({"-f", "lavfi", "-i", "testsrc=size=1920x1080:rate=25",
                                        "-frames:v", "5", "-c:v", "mjpeg", "-q:v", "3", big}));
    Open(big);
    m_frame->resize(1922, 1200);
    QCoreApplication::processEvents();
    CAviVideoStream* stream = m_app->GetDocument()->Stream();
    ASSERT_NE(stream, nullptr);

    QElapsedTimer timer;
    m_frame->Cursor().MoveTo(1);
    timer.start();
    kivra::test::PaintArrived(*m_view);
    const double newFrameMs = timer.nsecsElapsed() / 1e6;  // decode and scale
    m_view->InvalidatePictureCache();
    timer.restart();
    kivra::test::PaintArrived(*m_view);
    const double scaleMs = timer.nsecsElapsed() / 1e6;  // scale only
    const int64_t decoded = stream->DecoderStats().framesDecoded;
    const int scaled = m_view->PictureScaleCount();

    constexpr int kRepaints = 30;
    timer.restart();
    for (int i = 0; i < kRepaints; ++i) {
        kivra::test::PaintArrived(*m_view);
    }
    const double repaintMs = timer.nsecsElapsed() / 1e6 / kRepaints;
    EXPECT_EQ(stream->DecoderStats().framesDecoded, decoded);
    EXPECT_EQ(m_view->PictureScaleCount(), scaled);
    std::cout << "view " << m_view->width() << "x" << m_view->height()
              << ", 1920x1080 frame: new frame " << newFrameMs << " ms, same frame rescaled "
              << scaleMs << " ms, unchanged repaint " << repaintMs << " ms\n";

    // What changes the picture does scale again: deinterlacing (Ctrl+D) and another frame.
    Press(QKeySequence(Qt::CTRL | Qt::Key_D));
    EXPECT_TRUE(m_app->GetSettings()->Trimming().deinterlace);
    kivra::test::PaintArrived(*m_view);
    EXPECT_EQ(m_view->PictureScaleCount(), scaled + 1);
    m_frame->Cursor().MoveTo(3);
    kivra::test::PaintArrived(*m_view);
    EXPECT_EQ(m_view->PictureScaleCount(), scaled + 2);
}

TEST_F(FrameViewTest, CommandLineVideoOpensOnceTheWindowIsUp) {
    m_app->ExitInstance();
    m_app.reset();

    // A name with a leading dash, given after "--", relative to the current folder.
    const std::string name = "-walk $1.avi";
    fs::copy_file(m_sample, m_dir.File(name));
    const fs::path before = fs::current_path();
    fs::current_path(m_dir.path());
    m_app = std::make_unique<CMirandelApp>();
    const bool started = m_app->InitInstance(
        {QStringLiteral("kivra"), QStringLiteral("--"), QString::fromStdString(name)});
    fs::current_path(before);
    ASSERT_TRUE(started);
    EXPECT_TRUE(m_app->GetMainFrame()->isVisible());
    EXPECT_EQ(m_app->GetDocument()->PathName(), "");  // not before the event loop runs
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    WaitUntil([this] { return !m_app->GetMainFrame()->Jobs().Busy(); });
    EXPECT_EQ(m_app->GetDocument()->PathName(), m_dir.File(name));
    EXPECT_EQ(m_app->GetMainFrame()->Session().GetViewMode(), kivra::kNormalMode);
}

TEST_F(FrameViewTest, TrimmingModeAndSettingsAreWrittenAtExit) {
    m_frame->Session().LoadTrimmingMode(1);
    m_app->GetSettings()->Trimming().deinterlace = true;
    m_app->ExitInstance();
    m_app.reset();

    std::string ini;
    for (const auto& entry : fs::recursive_directory_iterator(m_dir.path())) {
        if (entry.path().filename() == "Kivra.ini") {
            ini = entry.path().string();
        }
    }
    ASSERT_FALSE(ini.empty());
    std::ifstream in(ini);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Mode=1"), std::string::npos) << text;
    EXPECT_NE(text.find("Deinterlace=1"), std::string::npos) << text;
}

// A 320 x 240 grey picture with a 20-pixel square near each edge: red at the left, blue at the
// right, green at the top, magenta at the bottom.
class PreviewEdgeTest : public kivra::test::AppFixture {
protected:
    struct Feature {
        const char* edge;
        kivra::PixelRect trim;  // 120 x 160, the output's 3:4, half of it off the picture
        kivra::ImagePoint centre;
        bool (*is)(QColor);
        kivra::PixelRect offPicture;   // the part of trim beyond the picture
        kivra::ImagePoint insideEdge;  // a grey point just inside the picture's edge
    };

    void SetUp() override {
        AppFixture::SetUp();
        const std::string path = m_dir.File("edges.avi");
        ASSERT_TRUE(
            kivra::test::RunFfmpeg({"-f", "lavfi", "-i", "color=c=gray:size=320x240:rate=25", "-vf",
                                    "drawbox=x=10:y=110:w=20:h=20:color=red:t=fill,"
                                    "drawbox=x=290:y=110:w=20:h=20:color=blue:t=fill,"
                                    "drawbox=x=150:y=10:w=20:h=20:color=lime:t=fill,"
                                    "drawbox=x=150:y=210:w=20:h=20:color=magenta:t=fill",
                                    "-frames:v", "10", "-c:v", "mjpeg", "-q:v", "2", path}));
        m_frame->resize(1000, 760);
        m_frame->Settings().MarkerId().askToShowIdBar = false;
        Open(path);
    }

    // Every frame trimmed to rect, as a marker file with two equal areas would; no area is
    // outlined, so nothing but the picture is drawn over it.
    void TrimEveryFrameTo(const kivra::PixelRect& rect) {
        CTrimmingParam& trims = m_frame->Video().Annotations()->m_trimParam;
        trims.Clear();
        for (int i = 0; i < m_frame->Stream()->GetFrameCount(); ++i) {
            trims.Add(rect);
        }
        m_frame->Playback().ShowFrame(5);
        kivra::test::PaintArrived(*m_view);
    }

    QPoint ToView(kivra::ImagePoint p) {
        const auto v = m_view->ImageToView(p, m_view->ImageRect(), kivra::kPreviewMode, 5);
        return v ? QPoint(v->x, v->y) : QPoint(-1, -1);
    }
};

TEST_F(PreviewEdgeTest, AreasPastEachEdgeShowTheRestBlackAndThePictureUndistorted) {
    const Feature features[] = {
        {"left",
         {-60, 40, 60, 200},
         {20, 120},
         [](QColor c) { return c.red() > 180 && c.green() < 90 && c.blue() < 90; },
         {-60, 40, 0, 200},
         {3, 60}},
        {"right",
         {260, 40, 380, 200},
         {300, 120},
         [](QColor c) { return c.blue() > 180 && c.red() < 90 && c.green() < 90; },
         {320, 40, 380, 200},
         {317, 60}},
        {"top",
         {100, -80, 220, 80},
         {160, 20},
         [](QColor c) { return c.green() > 180 && c.red() < 90 && c.blue() < 90; },
         {100, -80, 220, 0},
         {120, 3}},
        {"bottom",
         {100, 160, 220, 320},
         {160, 220},
         [](QColor c) { return c.red() > 180 && c.blue() > 180 && c.green() < 90; },
         {100, 240, 220, 320},
         {120, 237}},
    };
    ASSERT_TRUE(m_frame->Stream() != nullptr);
    m_frame->Markers().OnMarkerSetId();
    ASSERT_EQ(m_frame->Session().GetViewMode(), kivra::kPreviewMode);
    for (const Feature& f : features) {
        SCOPED_TRACE(f.edge);
        TrimEveryFrameTo(f.trim);
        const QImage shot = Grab();
        const QRect pic = ToQRect(m_view->ImageRect());
        ASSERT_FALSE(pic.isEmpty());
        const double scale = double(pic.width()) / f.trim.Width();  // view pixels per image pixel
        ASSERT_NEAR(scale, double(pic.height()) / f.trim.Height(), 0.01);

        // The feature: where the mappings put it, at its own size.
        double sumX = 0;
        double sumY = 0;
        int n = 0;
        QRect extent;
        for (int y = pic.top(); y <= pic.bottom(); ++y) {
            for (int x = pic.left(); x <= pic.right(); ++x) {
                if (f.is(shot.pixelColor(x, y))) {
                    sumX += x;
                    sumY += y;
                    ++n;
                    extent |= QRect(x, y, 1, 1);
                }
            }
        }
        ASSERT_GT(n, 0);
        // Pixel indices to positions: a pixel's centre is half a pixel in.
        const QPointF seen(sumX / n + 0.5, sumY / n + 0.5);
        const QPoint mapped = ToView(f.centre);
        EXPECT_NEAR(seen.x(), mapped.x(), 1.0);
        EXPECT_NEAR(seen.y(), mapped.y(), 1.0);
        EXPECT_NEAR(extent.width(), 20 * scale, 2.0);
        EXPECT_NEAR(extent.height(), 20 * scale, 2.0);

        // Off the picture: black up to a pixel from the edge; grey just inside it.
        const QPoint offTopLeft = ToView({double(f.offPicture.left), double(f.offPicture.top)});
        const QPoint offBottomRight =
            ToView({double(f.offPicture.right), double(f.offPicture.bottom)});
        const QRect off =
            QRect(offTopLeft, offBottomRight - QPoint(1, 1)).adjusted(1, 1, -1, -1) & pic;
        ASSERT_GT(off.width() * off.height(), 1000);
        EXPECT_EQ(CountColour(shot, off, Qt::black), off.width() * off.height());
        const QPoint inside = ToView(f.insideEdge);
        const QColor grey = shot.pixelColor(inside);
        EXPECT_NEAR(grey.red(), 128, 12);
        EXPECT_NEAR(grey.green(), 128, 12);

        // A click on the feature's centre as painted stores that point of the picture.
        const QPoint click(int(std::floor(seen.x() + 0.5)), int(std::floor(seen.y() + 0.5)));
        QTest::mouseClick(m_view, Qt::LeftButton, {}, click);
        const CLFFManager& markers = m_frame->Video().Annotations()->m_markers;
        const int row = m_frame->MarkerIdDialog()->CurrentId() - 2;
        ASSERT_GE(row, 0);
        const int at = markers.FindMarker(row, 5);
        ASSERT_GE(at, 0);
        const T_MARKER& m = markers.Row(row)[size_t(at)];
        // Half a view pixel from rounding the click, a little more for the measured centre.
        EXPECT_NEAR(m.x, f.centre.x, 0.6 / scale);
        EXPECT_NEAR(m.y, f.centre.y, 0.6 / scale);
    }
}

TEST(QtFileDialogFilter, TurnsFilterTextIntoQtFilters) {
    EXPECT_EQ(
        kivra::QtFileDialogFilter(kivra::LoadString(2010)),
        QStringLiteral("動画ファイル (*.avi *.m2ts *.mts *.mov *.mod *.vod *.mpg *.mpeg *.mp4 "
                       "*.wmv *.rm *.rmvb *.ram *.flv *.mkv)"));
    EXPECT_EQ(kivra::QtFileDialogFilter("CSV file(*.csv)|*.csv||"),
              QStringLiteral("CSV file(*.csv)"));
    // Patterns the description does not show as they are still follow it.
    EXPECT_EQ(kivra::QtFileDialogFilter("Movies(*.avi;*.mp4)|*.avi;*.mp4||"),
              QStringLiteral("Movies(*.avi;*.mp4) (*.avi *.mp4)"));
    EXPECT_EQ(kivra::QtFileDialogFilter("A|*.a|B|*.b;*.c||"),
              QStringLiteral("A (*.a);;B (*.b *.c)"));
    EXPECT_EQ(kivra::QtFileDialogFilter(""), QString());
}

}  // namespace
