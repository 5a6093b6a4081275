// The progress dialog of long jobs and the slider bar, as real widgets: what the percent label
// reads, who gets disabled and enabled again, that events keep flowing under it, and what the
// speed list and the trackbar report back to the main frame.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <memory>
#include <string>
#include <vector>

#include "frame/progress_dlg.h"
#include "frame/slider_dlg_bar.h"
#include "settings/inifile_manager.h"
#include "support/ffmpeg_tool.h"

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

void SettleEvents() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QTest::qWait(5);
    }
}

class ProgressDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner.resize(400, 300);
        owner.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    }
    QMainWindow owner;
};

TEST_F(ProgressDlgTest, PercentLabelFollowsThePosition) {
    CProgressDlg dlg(&owner);
    EXPECT_EQ(dlg.PercentLabel()->text(), QStringLiteral(" 0 %"));
    dlg.m_nLower = 0;
    dlg.m_nUpper = 10;
    dlg.SetPercent(0);
    EXPECT_EQ(dlg.PercentLabel()->text(), QStringLiteral("0%"));
    dlg.SetPercent(3);
    EXPECT_EQ(dlg.PercentLabel()->text(), QStringLiteral("30%"));
    dlg.SetPercent(10);
    EXPECT_EQ(dlg.PercentLabel()->text(), QStringLiteral("100%"));
    dlg.SetPercent(15);  // past the end the figure wraps, as the bar does
    EXPECT_EQ(dlg.PercentLabel()->text(), QStringLiteral("50%"));

    // A movie long enough to overflow 32-bit arithmetic, and an empty range.
    dlg.m_nUpper = 50'000'000;
    dlg.SetPercent(40'000'000);
    EXPECT_EQ(dlg.PercentLabel()->text(), QStringLiteral("80%"));
    dlg.m_nLower = dlg.m_nUpper = 5;
    dlg.SetPercent(5);
    EXPECT_EQ(dlg.PercentLabel()->text(), QStringLiteral("0%"));
}

TEST_F(ProgressDlgTest, LabelIsRepaintedOnlyWhenItsTextChanges) {
    CProgressDlg dlg(&owner);
    dlg.m_nUpper = 1000;
    ASSERT_TRUE(dlg.CreateModeless());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    SettleEvents();
    PaintCounter paints(dlg.PercentLabel());

    dlg.SetPercent(301);
    SettleEvents();
    EXPECT_EQ(dlg.PercentLabel()->text(), QStringLiteral("30%"));
    EXPECT_GT(paints.count, 0);

    paints.count = 0;
    dlg.SetPercent(305);  // still 30%
    dlg.SetPercent(309);
    SettleEvents();
    EXPECT_EQ(paints.count, 0);
    dlg.DestroyWindow();
}

TEST_F(ProgressDlgTest, OwnerIsDisabledWhileTheDialogExists) {
    {
        CProgressDlg dlg(&owner);
        ASSERT_TRUE(dlg.CreateModeless());
        EXPECT_FALSE(owner.isEnabled());
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_TRUE(dlg.isEnabled());  // the dialog itself stays alive
        EXPECT_FALSE(dlg.CreateModeless());
        EXPECT_TRUE(dlg.DestroyWindow());
        EXPECT_TRUE(owner.isEnabled());
        EXPECT_FALSE(dlg.isVisible());
    }
    {
        CProgressDlg dlg(&owner);
        ASSERT_TRUE(dlg.CreateModeless());
        EXPECT_FALSE(owner.isEnabled());
    }  // destroyed while shown
    EXPECT_TRUE(owner.isEnabled());
}

TEST_F(ProgressDlgTest, OwnerDisabledBeforehandStaysDisabled) {
    owner.setEnabled(false);
    {
        CProgressDlg dlg(&owner);
        ASSERT_TRUE(dlg.CreateModeless());
        EXPECT_EQ(dlg.m_bOwnerDisabled, 0);
        dlg.DestroyWindow();
        EXPECT_FALSE(owner.isEnabled());
        ASSERT_TRUE(dlg.CreateModeless());
    }
    EXPECT_FALSE(owner.isEnabled());
}

TEST_F(ProgressDlgTest, EventLoopRunsQueuedEventsAndRepaintsTheDisabledOwner) {
    CProgressDlg dlg(&owner);
    ASSERT_TRUE(dlg.CreateModeless());
    SettleEvents();

    bool ran = false;
    QTimer::singleShot(0, [&ran] { ran = true; });
    PaintCounter paints(&owner);
    owner.update();
    SettleEvents();
    EXPECT_TRUE(ran);
    EXPECT_GT(paints.count, 0);
    EXPECT_FALSE(owner.isEnabled());
}

TEST_F(ProgressDlgTest, BarStepsClampsAndStartsOver) {
    CProgressDlg dlg(&owner);
    ASSERT_TRUE(dlg.CreateModeless());
    EXPECT_EQ(dlg.ProgressBar()->minimum(), 0);
    EXPECT_EQ(dlg.ProgressBar()->maximum(), 100);
    EXPECT_EQ(dlg.GetPos(), 0);

    dlg.SetRange32(0, 50);
    EXPECT_EQ(dlg.SetPos(49), 0);
    EXPECT_EQ(dlg.StepIt(), 49);
    EXPECT_EQ(dlg.GetPos(), 50);
    EXPECT_EQ(dlg.StepIt(), 50);
    EXPECT_EQ(dlg.GetPos(), 1);
    EXPECT_EQ(dlg.SetPos(70), 1);
    EXPECT_EQ(dlg.GetPos(), 50);
    dlg.SetPos(-3);
    EXPECT_EQ(dlg.GetPos(), 0);

    // A range beyond 16 bits, as a long movie gives.
    dlg.SetRange32(0, 100'000);
    dlg.SetPos(99'999);
    EXPECT_EQ(dlg.GetPos(), 99'999);
}

TEST_F(ProgressDlgTest, SinkShowsOneJobAndEndsIt) {
    kivra::ProgressDlgSink sink(&owner);
    kivra::ProgressSink& core = sink;
    core.Begin(0, 50, "", kivra::PercentLabel::Hidden);
    CProgressDlg* dlg = sink.Dialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_FALSE(owner.isEnabled());
    EXPECT_TRUE(dlg->windowTitle().isEmpty());
    EXPECT_TRUE(dlg->PercentLabel()->isHidden());
    EXPECT_EQ(dlg->ProgressBar()->maximum(), 50);

    core.SetCaption("フォーマット変換中... 1.5 MB");
    core.SetPosition(25);
    core.Pump();
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("フォーマット変換中... 1.5 MB"));
    EXPECT_EQ(dlg->GetPos(), 25);
    EXPECT_EQ(dlg->PercentLabel()->text(), QStringLiteral("50%"));

    core.Begin(0, 10, "保存処理中...", kivra::PercentLabel::Shown);  // replaces the first job
    EXPECT_FALSE(owner.isEnabled());
    EXPECT_FALSE(sink.Dialog()->PercentLabel()->isHidden());
    core.End();
    EXPECT_EQ(sink.Dialog(), nullptr);
    EXPECT_TRUE(owner.isEnabled());

    {
        kivra::ProgressDlgSink abandoned(&owner);
        abandoned.Begin(0, 10, "x", kivra::PercentLabel::Shown);
        EXPECT_FALSE(owner.isEnabled());
    }
    EXPECT_TRUE(owner.isEnabled());
}

TEST_F(ProgressDlgTest, CancelOnlyWhenTheJobOffersItAndOnlyForThatJob) {
    kivra::ProgressDlgSink sink(&owner);
    kivra::ProgressSink& core = sink;
    core.Begin(0, 10, "保存処理中...", kivra::PercentLabel::Shown);
    CProgressDlg* dlg = sink.Dialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->CancelButton()->isHidden());
    QTest::keyClick(dlg, Qt::Key_Escape);
    dlg->close();
    EXPECT_FALSE(core.CancelRequested());
    EXPECT_TRUE(dlg->isVisible());

    core.OfferCancel();
    EXPECT_TRUE(dlg->CancelButton()->isVisible());
    EXPECT_EQ(dlg->CancelButton()->text(), QStringLiteral("キャンセル"));
    QTest::mouseClick(dlg->CancelButton(), Qt::LeftButton);
    EXPECT_TRUE(core.CancelRequested());
    EXPECT_FALSE(dlg->CancelButton()->isEnabled());
    EXPECT_TRUE(dlg->isVisible());  // the job closes it when it has stopped

    // The next job starts without the request and without the button.
    core.Begin(0, 10, "x", kivra::PercentLabel::Shown);
    EXPECT_FALSE(core.CancelRequested());
    EXPECT_TRUE(sink.Dialog()->CancelButton()->isHidden());
    core.OfferCancel();
    QTest::keyClick(sink.Dialog(), Qt::Key_Escape);  // Escape asks as the button does
    EXPECT_TRUE(core.CancelRequested());
    core.End();
    EXPECT_FALSE(core.CancelRequested());
    EXPECT_TRUE(owner.isEnabled());
}

// A conversion shows its whole title, its caption inside the window too (a desktop without
// title bars), the share done, the time left and Cancel.
TEST_F(ProgressDlgTest, ConversionShowsItsWholeTitleShareAndTimeLeft) {
    kivra::ProgressDlgSink sink(&owner);
    kivra::ProgressSink& core = sink;
    core.Begin(0, 1000, "", kivra::PercentLabel::Shown);
    core.OfferCancel();
    CProgressDlg* dlg = sink.Dialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->RemainingLabel()->isHidden());
    EXPECT_TRUE(dlg->CaptionLabel()->isHidden());

    const QString title = QStringLiteral("フォーマット変換中... 1234.5 MB");
    core.SetCaption(title.toStdString());
    core.SetPosition(425);
    core.SetRemainingTime(65);
    core.Pump();
    SettleEvents();
    EXPECT_EQ(dlg->windowTitle(), title);
    EXPECT_EQ(dlg->CaptionLabel()->text(), title);
    EXPECT_TRUE(dlg->CaptionLabel()->isVisible());
    EXPECT_EQ(dlg->PercentLabel()->text(), QStringLiteral("42%"));
    EXPECT_EQ(dlg->RemainingLabel()->text(), QStringLiteral("残り時間 約 1:05"));
    EXPECT_TRUE(dlg->CancelButton()->isVisible());
    EXPECT_GT(dlg->width(), dlg->fontMetrics().horizontalAdvance(title) + 140);

    // Never narrower again within the job, whatever the title.
    const int wide = dlg->width();
    core.SetCaption("x");
    core.SetRemainingTime(3 * 3600 + 5);
    SettleEvents();
    EXPECT_GE(dlg->width(), wide);
    EXPECT_EQ(dlg->RemainingLabel()->text(), QStringLiteral("残り時間 約 3:00:05"));
    core.SetRemainingTime(-1);
    EXPECT_TRUE(dlg->RemainingLabel()->text().isEmpty());
    core.End();
}

// The slider bar with a settings store of its own and a main frame that records requests.
class SliderBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp.ok());
        settings = std::make_unique<CInifileManager>(temp.File("settings.ini"));
        bar.SetActions({
            [this] { return playing; },
            [this] { requests.push_back("stop"); },
            [this] { requests.push_back("play"); },
            [this](int frame) { frames.push_back(frame); },
        });
        bar.resize(600, 40);
        bar.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    }

    // Opens the list and picks `text` with the keyboard, as a user would.
    void ChooseSpeed(const QString& text) {
        QComboBox* const list = bar.SpeedList();
        list->showPopup();
        QAbstractItemView* const view = list->view();
        ASSERT_TRUE(view->isVisible());
        const int target = list->findText(text);
        ASSERT_GE(target, 0);
        while (view->currentIndex().row() < target) {
            QTest::keyClick(view, Qt::Key_Down);
        }
        while (view->currentIndex().row() > target) {
            QTest::keyClick(view, Qt::Key_Up);
        }
        QTest::keyClick(view, Qt::Key_Return);
        SettleEvents();
        EXPECT_FALSE(view->isVisible());
    }

    kivra::test::TempDir temp;
    std::unique_ptr<CInifileManager> settings;
    CSliderDlgBar bar;
    bool playing = false;
    std::vector<std::string> requests;
    std::vector<int> frames;
};

TEST_F(SliderBarTest, SpeedListShowsTheStoredSpeed) {
    const QStringList items = {"2.0", "1.0", "0.8", "0.5", "0.2", "0.1"};
    ASSERT_EQ(bar.SpeedList()->count(), items.size());
    for (int i = 0; i < items.size(); ++i) {
        EXPECT_EQ(bar.SpeedList()->itemText(i), items[i]);
    }

    settings->Slider().playSpeedRate = 0.8f;
    ASSERT_TRUE(bar.InitializeBar(settings->Slider()));
    EXPECT_EQ(bar.m_nSpeedIndex, 2);
    EXPECT_EQ(bar.SpeedList()->currentText(), QStringLiteral("0.8"));

    settings->Slider().playSpeedRate = 1.5f;  // not in the list
    bar.InitializeBar(settings->Slider());
    EXPECT_EQ(bar.m_nSpeedIndex, -1);
    EXPECT_EQ(bar.SpeedList()->currentIndex(), -1);
    EXPECT_FLOAT_EQ(settings->Slider().playSpeedRate, 1.5f);
}

TEST_F(SliderBarTest, ChoosingASpeedStoresItAndRestartsOnlyForwardPlay) {
    settings->Slider().playSpeedRate = 1.0f;
    bar.InitializeBar(settings->Slider());

    ChooseSpeed(QStringLiteral("0.5"));
    EXPECT_EQ(bar.m_nSpeedIndex, 3);
    EXPECT_FLOAT_EQ(settings->Slider().playSpeedRate, 0.5f);
    EXPECT_TRUE(requests.empty());

    playing = true;
    ChooseSpeed(QStringLiteral("2.0"));
    EXPECT_FLOAT_EQ(settings->Slider().playSpeedRate, 2.0f);
    EXPECT_EQ(requests, (std::vector<std::string>{"stop", "play"}));
}

TEST_F(SliderBarTest, TrackbarReportsUserMovesOnly) {
    bar.ResetTrackbar(300);
    QSlider* const slider = bar.Trackbar();
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), 300);
    EXPECT_EQ(slider->tickInterval(), 15);
    EXPECT_EQ(slider->pageStep(), 15);
    EXPECT_EQ(slider->singleStep(), 1);
    EXPECT_EQ(slider->value(), 0);

    QTest::keyClick(slider, Qt::Key_Right);
    QTest::keyClick(slider, Qt::Key_PageUp);
    QTest::keyClick(slider, Qt::Key_End);
    EXPECT_EQ(frames, (std::vector<int>{1, 16, 300}));

    frames.clear();
    bar.SetPos(120);
    EXPECT_EQ(bar.GetPos(), 120);
    bar.SetPos(1000);  // beyond the range: clamped, as the frame commands rely on
    EXPECT_EQ(bar.GetPos(), 300);
    bar.ResetTrackbar(100);
    EXPECT_EQ(bar.GetPos(), 0);
    EXPECT_TRUE(frames.empty());

    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(frames, (std::vector<int>{1}));
}

TEST(SliderBarToolBar, WrapsIntoAHiddenToolBar) {
    QMainWindow frame;
    auto* bar = new CSliderDlgBar;
    QToolBar* const toolBar = bar->WrapInToolBar(&frame);
    frame.addToolBar(Qt::TopToolBarArea, toolBar);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    EXPECT_EQ(toolBar->windowTitle(), QStringLiteral("スライダー"));
    EXPECT_FALSE(toolBar->isVisible());
    EXPECT_EQ(bar->parentWidget(), toolBar);

    toolBar->toggleViewAction()->trigger();
    EXPECT_TRUE(toolBar->isVisible());
    EXPECT_TRUE(bar->isVisible());
}

}  // namespace
