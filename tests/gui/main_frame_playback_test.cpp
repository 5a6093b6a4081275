// Playback through the real main window: the keys while the picture has the focus, the enable
// rules, the slider bar's speed list and trackbar, and the timeline.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <filesystem>

#include "frame/frame_position_pane.h"
#include "frame/slider_dlg_bar.h"
#include "frame/slider_view.h"
#include "markers/set_marker_id_dlg.h"
#include "reading/avi_video_stream.h"
#include "settings/inifile_manager.h"
#include "support/app_fixture.h"

namespace {

class MainFramePlaybackTest : public kivra::test::AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        ControlPlayClock();
    }
    int Current() const { return m_frame->Cursor().Current(); }
    void Key(int key) {
        m_view->setFocus();
        QTest::keyClick(m_view, Qt::Key(key));
        QCoreApplication::processEvents();
    }
    bool Enabled(kivra::CommandId id) {
        m_frame->UpdateCommandUI();
        return m_frame->Action(id)->isEnabled();
    }
};

TEST_F(MainFramePlaybackTest, KeysStepPlayAndStopWhileThePictureHasTheFocus) {
    m_frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame));
    EXPECT_FALSE(Enabled(kivra::ID_MOVIE_PLAY));
    Open(m_sample);
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);
    EXPECT_EQ(Current(), 2);
    Key(Qt::Key_Left);
    EXPECT_EQ(Current(), 1);
    Key(Qt::Key_End);
    EXPECT_EQ(Current(), m_frame->Session().RangeEnd());
    Key(Qt::Key_Home);
    EXPECT_EQ(Current(), 0);
    EXPECT_TRUE(Enabled(kivra::ID_MOVIE_NEXT));
    EXPECT_FALSE(Enabled(kivra::ID_MOVIE_STOP));

    Key(Qt::Key_F8);
    EXPECT_TRUE(m_frame->IsForwardPlaying());
    EXPECT_FALSE(Enabled(kivra::ID_MOVIE_NEXT));
    EXPECT_TRUE(Enabled(kivra::ID_MOVIE_STOP));
    EXPECT_FALSE(Enabled(kivra::ID_FILE_NEW));  // no closing during forward play
    m_tick += 350;
    ASSERT_TRUE(WaitWhileAt(0));
    EXPECT_EQ(Current(), 10);  // the clock moved the picture on: 350 ms at 30 fps
    Key(Qt::Key_F7);
    EXPECT_FALSE(m_frame->IsPlaying());
    const int stoppedAt = Current();
    m_tick += 100;
    PassPlayTicks();  // a timer still running would show a later frame
    EXPECT_EQ(Current(), stoppedAt);

    // Reverse play may be closed; closing stops it.
    m_frame->Action(kivra::ID_MOVIE_REVERSE_PLAY)->trigger();
    EXPECT_TRUE(m_frame->Playback().IsReversePlaying());
    EXPECT_TRUE(Enabled(kivra::ID_FILE_NEW));
}

// Reverse play in the window goes on frame by frame, each one's picture on screen before the
// next: the pictures come from the stream's thread.
TEST_F(MainFramePlaybackTest, ReversePlayShowsEachFrameInTurn) {
    Open(m_sample);
    m_frame->Playback().Last();
    const int last = Current();
    std::vector<int> painted;
    const auto follow = m_frame->Cursor().Observe([&](int frame) { painted.push_back(frame); });
    m_frame->Action(kivra::ID_MOVIE_REVERSE_PLAY)->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Current() <= last - 10; }, 20000))
        << "reverse play stopped at " << Current();
    m_frame->Playback().Stop();
    for (size_t i = 1; i < painted.size(); ++i) {
        EXPECT_EQ(painted[i], painted[i - 1] - 1);
    }
}

TEST_F(MainFramePlaybackTest, SpeedChangeRestartsForwardPlayAndTrackbarFollows) {
    Open(m_sample);
    CSliderDlgBar* bar = m_frame->Bars().SliderBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->Trackbar()->maximum(), 120);  // 0..frame count, not frame count - 1
    m_frame->Playback().Next();
    m_frame->Playback().Next();
    EXPECT_EQ(bar->Trackbar()->value(), 2);

    m_frame->Playback().Play();
    const uint32_t anchor = m_frame->Playback().m_dwPlayTime;
    m_tick += 150;
    ASSERT_TRUE(WaitWhileAt(2));
    const int index = bar->SpeedList()->findText(QStringLiteral("0.5"));
    bar->SpeedList()->setCurrentIndex(index);
    emit bar->SpeedList()->activated(index);
    EXPECT_FLOAT_EQ(m_frame->Settings().Slider().playSpeedRate, 0.5f);
    EXPECT_TRUE(m_frame->IsForwardPlaying());
    EXPECT_NE(m_frame->Playback().m_dwPlayTime, anchor);  // re-anchored at the current frame
    m_frame->Playback().Stop();

    // Moving the trackbar shows that frame.
    bar->Trackbar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCoreApplication::processEvents();
    EXPECT_EQ(Current(), bar->Trackbar()->value());
}

// A move from anywhere reaches everything that shows the frame, with nobody passing it on.
TEST_F(MainFramePlaybackTest, TheWindowsPartsFollowTheCurrentFrame) {
    m_frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame));
    Open(m_sample);
    QCoreApplication::processEvents();
    CSetMarkerIDDlg* dialog = m_frame->MarkerIdDialog();
    dialog->IncrementRadio()->click();
    dialog->SetCurrentId(3);
    const int repaints = m_view->PictureScaleCount();
    ASSERT_TRUE(m_frame->Cursor().MoveTo(40));
    EXPECT_EQ(m_frame->Bars().SliderBar()->Trackbar()->value(), 40);
    EXPECT_TRUE(m_frame->Bars().FramePane()->text().startsWith(QStringLiteral("40 / 120")));
    EXPECT_EQ(dialog->CurrentId(), 1);
    // The picture follows once it has arrived from the stream's thread.
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_view->PictureScaleCount() > repaints; }, 20000));
}

TEST_F(MainFramePlaybackTest, ForwardPlayReachesRangeEndAndRewinds) {
    Open(m_sample);
    kivra::EditSession& session = m_frame->Session();
    EXPECT_EQ(session.RangeStart(), 0);
    EXPECT_EQ(session.RangeEnd(), 119);
    ASSERT_TRUE(session.SetPlayRange(100, 110));
    m_frame->Playback().Play();
    EXPECT_EQ(Current(), 100);
    m_tick += 110;  // 3.333 s + 0.110 s at 30 fps
    ASSERT_TRUE(WaitWhileAt(100));
    EXPECT_EQ(Current(), 103);
    m_tick += 300;  // past frame 110
    ASSERT_TRUE(WaitWhileAt(103));
    EXPECT_FALSE(m_frame->IsPlaying());
    EXPECT_EQ(Current(), 100);
    // Closing the video puts the range back to "no video". The range is kept in the marker
    // file, so closing first asks to save it.
    const kivra::test::MessageBoxCatcher no(QMessageBox::No);
    m_app->OnFileNew();
    EXPECT_EQ(no.Texts().size(), 1);
    EXPECT_EQ(session.RangeStart(), -1);
}

}  // namespace

namespace {

// While a source is converted, the progress dialog shows the growing size and the main window
// is disabled but still painted; afterwards the window is enabled again.
class ConversionProgressTest : public kivra::test::AppFixture {};

TEST_F(ConversionProgressTest, ProgressDialogDuringConversion) {
    const std::string mp4 = m_dir.File("long clip.mp4");
    ASSERT_TRUE(
        kivra::test::RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=30", "-frames:v",
                                "150", "-c:v", "libx264", "-preset", "ultrafast", mp4}));
    // Read directly, the clip would need no conversion.
    m_frame->Settings().Program().openDirect = false;
    m_frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame));
    bool sawDialog = false, sawDisabled = false, sawSize = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && w->metaObject()->className() == QByteArray("CProgressDlg")) {
                sawDialog = true;
                sawSize = sawSize || w->windowTitle().contains(QStringLiteral(" MB"));
            }
        }
        sawDisabled = sawDisabled || !m_frame->isEnabled();
    });
    watcher.start(20);
    ASSERT_TRUE(OpenAndWait(mp4));
    watcher.stop();
    EXPECT_TRUE(sawDialog);
    EXPECT_TRUE(sawDisabled);
    EXPECT_TRUE(sawSize);
    EXPECT_TRUE(m_frame->isEnabled());
    EXPECT_EQ(m_frame->Stream()->GetFrameCount(), 150);
}

// Cancel during the conversion keeps the open video, says nothing and leaves no file of the
// way; the window takes commands again.
TEST_F(ConversionProgressTest, CancelledConversionKeepsTheOpenVideo) {
    const std::string mp4 = m_dir.File("long clip.mp4");
    ASSERT_TRUE(
        kivra::test::RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=30", "-frames:v",
                                "300", "-c:v", "libx264", "-preset", "ultrafast", mp4}));
    Open(m_sample);
    m_frame->Settings().Program().openDirect = false;
    kivra::test::MessageBoxCatcher none;
    bool opened = true;
    {
        kivra::test::ProgressCanceller cancel(QStringLiteral(" MB"));
        opened = OpenAndWait(mp4);
        EXPECT_TRUE(cancel.Pressed());
    }
    EXPECT_FALSE(opened);
    EXPECT_TRUE(none.Texts().isEmpty());
    EXPECT_EQ(m_app->GetDocument()->PathName(), m_sample);
    EXPECT_TRUE(m_frame->Video().IsOpen());
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("long clip.$tmp$.avi")));
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("long clip.$tmp$.wav")));
    EXPECT_TRUE(m_frame->isEnabled());
    m_frame->UpdateCommandUI();
    EXPECT_TRUE(m_frame->Action(kivra::ID_MOVIE_PLAY)->isEnabled());
}

}  // namespace
