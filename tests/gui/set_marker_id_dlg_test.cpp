// The marker ID dialog as a real window driven by keyboard and mouse: the ID range and its
// wrap, the reset on navigation of the open video, the mode radios and the skip field writing the
// settings, and the close box.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <climits>
#include <memory>

#include "markers/set_marker_id_dlg.h"
#include "settings/inifile_manager.h"
#include "support/ffmpeg_tool.h"
#include "support/recording_host.h"
#include "workspace/open_video.h"

namespace {

// A radio button answers only on its indicator and text, not across its whole width.
QPoint OnIndicator(const QWidget* radio) {
    return {6, radio->height() / 2};
}

class SetMarkerIdDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp.ok());
        settings = std::make_unique<CInifileManager>(temp.File("settings.ini"));
        owner.resize(400, 300);
        owner.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    }
    void TearDown() override {
        dlg.reset();
        video.reset();
    }

    // Makes the open video and the dialog on it from the settings as they are now and shows it.
    CSetMarkerIDDlg& Open() {
        dlg.reset();
        video = std::make_unique<kivra::OpenVideo>(host, kivra::test::DocumentGroups(*settings),
                                                   settings->Trimming(), temp.path());
        dlg = std::make_unique<CSetMarkerIDDlg>(video->Session(), settings->MarkerId(), &owner);
        EXPECT_FALSE(dlg->isVisible());
        dlg->show();
        dlg->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        return *dlg;
    }

    // Replaces the whole skip field by typing `text`, key by key.
    void TypeSkip(const QString& text) {
        QLineEdit* const edit = dlg->SkipEdit();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }

    // A real clip open in the video, whose frames can be moved through.
    void OpenClip() {
        const std::string clip = temp.File("clip 1.avi");
        ASSERT_TRUE(kivra::test::RunFfmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25",
                                            "-frames:v", "5", "-c:v", "mjpeg", clip}));
        kivra::Workspace actions(*video, kivra::test::WorkspaceGroups(*settings), host);
        ASSERT_TRUE(actions.OpenVideo(clip).ok());
    }
    void MoveFrame() { video->Cursor().MoveTo(video->Cursor().Current() == 1 ? 2 : 1); }

    kivra::test::TempDir temp;
    std::unique_ptr<CInifileManager> settings;
    QMainWindow owner;
    kivra::test::RecordingHost host;
    std::unique_ptr<kivra::OpenVideo> video;
    std::unique_ptr<CSetMarkerIDDlg> dlg;
};

TEST_F(SetMarkerIdDlgTest, StartsFromTheSettings) {
    CSetMarkerIDDlg& d = Open();
    EXPECT_EQ(d.windowTitle(), QStringLiteral("ID 指定"));
    EXPECT_EQ(d.CurrentId(), 1);
    EXPECT_EQ(d.IdSpin()->minimum(), 1);
    EXPECT_EQ(d.IdSpin()->maximum(), 100);
    EXPECT_TRUE(d.IncrementRadio()->isChecked());
    EXPECT_FALSE(d.SkipEdit()->isEnabled());
    EXPECT_EQ(d.SkipEdit()->text(), QStringLiteral("1"));
    EXPECT_EQ(d.findChild<QGroupBox*>()->title(), QStringLiteral("クリック時の動作"));
    QStringList labels;
    for (const QLabel* const label : d.findChildren<QLabel*>()) {
        labels << label->text();
    }
    EXPECT_TRUE(labels.contains(QStringLiteral("※ 画面をクリックしてIDを指定します")));
    EXPECT_TRUE(labels.contains(QStringLiteral("* スキップしたフレームは直線補間します")));
    EXPECT_LE(d.width(), 320);  // a small tool window
    EXPECT_LE(d.height(), 300);

    settings->MarkerId().mode = kivra::MarkerIdMode::kSkip;
    settings->MarkerId().skipFrames = 7;
    CSetMarkerIDDlg& skip = Open();
    EXPECT_TRUE(skip.SkipRadio()->isChecked());
    EXPECT_TRUE(skip.SkipEdit()->isEnabled());
    EXPECT_EQ(skip.SkipEdit()->text(), QStringLiteral("7"));
}

TEST_F(SetMarkerIdDlgTest, IdWrapsAfterMaxIdAndStepsStayInRange) {
    settings->MarkerId().maxId = 3;
    CSetMarkerIDDlg& d = Open();
    d.SetCurrentId(3);
    EXPECT_EQ(d.CurrentId(), 3);
    d.SetCurrentId(4);
    EXPECT_EQ(d.CurrentId(), 1);
    d.SetCurrentId(0);
    EXPECT_EQ(d.CurrentId(), 1);
    d.SetCurrentId(-5);
    EXPECT_EQ(d.CurrentId(), 1);

    // Clicks place 1, 2, 3, 1, 2 ...
    std::vector<int> placed;
    for (int i = 0; i < 5; ++i) {
        placed.push_back(d.ReadBack());
        d.AdvanceId();
    }
    EXPECT_EQ(placed, (std::vector<int>{1, 2, 3, 1, 2}));

    // The keys and the arrow buttons step within 1 .. MaxID, and nothing can be typed.
    QSpinBox* const spin = d.IdSpin();
    spin->setFocus();
    d.SetCurrentId(1);
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(spin, Qt::Key_Up);
    }
    EXPECT_EQ(d.CurrentId(), 3);
    spin->selectAll();
    QTest::keyClicks(spin, QStringLiteral("2"));
    EXPECT_EQ(d.CurrentId(), 3);
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(spin, Qt::Key_Down);
    }
    EXPECT_EQ(d.CurrentId(), 1);
    const QPoint upArrow(spin->width() - 4, spin->height() / 4);
    const QPoint downArrow(spin->width() - 4, spin->height() * 3 / 4);
    QTest::mouseClick(spin, Qt::LeftButton, {}, downArrow);
    EXPECT_EQ(d.CurrentId(), 1);
    QTest::mouseClick(spin, Qt::LeftButton, {}, upArrow);
    EXPECT_EQ(d.CurrentId(), 2);
}

TEST_F(SetMarkerIdDlgTest, BrokenMaxIdLeavesOnlyIdOne) {
    settings->MarkerId().maxId = 0;
    CSetMarkerIDDlg& d = Open();
    EXPECT_EQ(d.IdSpin()->minimum(), 1);
    EXPECT_EQ(d.IdSpin()->maximum(), 1);
    d.AdvanceId();
    EXPECT_EQ(d.CurrentId(), 1);
    QTest::keyClick(d.IdSpin(), Qt::Key_Up);
    EXPECT_EQ(d.CurrentId(), 1);

    // No overflow at the top of the int range.
    settings->MarkerId().maxId = INT_MAX;
    CSetMarkerIDDlg& big = Open();
    big.SetCurrentId(INT_MAX);
    EXPECT_EQ(big.CurrentId(), INT_MAX);
    big.AdvanceId();
    EXPECT_EQ(big.CurrentId(), 1);
}

TEST_F(SetMarkerIdDlgTest, RadiosSetTheModeAndFrameChangesResetOnlyInIncrementMode) {
    CSetMarkerIDDlg& d = Open();
    OpenClip();
    d.SetCurrentId(5);
    MoveFrame();
    EXPECT_EQ(d.CurrentId(), 1);
    EXPECT_EQ(d.IdSpin()->value(), 1) << "the spin box follows the video's ID";

    QTest::mouseClick(d.SkipRadio(), Qt::LeftButton, {}, OnIndicator(d.SkipRadio()));
    EXPECT_EQ(settings->MarkerId().mode, kivra::MarkerIdMode::kSkip);
    EXPECT_TRUE(d.SkipEdit()->isEnabled());
    d.SetCurrentId(5);
    MoveFrame();
    EXPECT_EQ(d.CurrentId(), 5);

    QTest::mouseClick(d.IncrementRadio(), Qt::LeftButton, {}, OnIndicator(d.IncrementRadio()));
    EXPECT_EQ(settings->MarkerId().mode, kivra::MarkerIdMode::kIncrement);
    EXPECT_FALSE(d.SkipEdit()->isEnabled());

    // Moving through the group with the arrow keys counts as a click too.
    d.IncrementRadio()->setFocus();
    QTest::keyClick(d.IncrementRadio(), Qt::Key_Down);
    EXPECT_TRUE(d.SkipRadio()->isChecked());
    EXPECT_EQ(settings->MarkerId().mode, kivra::MarkerIdMode::kSkip);
    EXPECT_TRUE(d.SkipEdit()->isEnabled());
}

TEST_F(SetMarkerIdDlgTest, FillNoteNamesTrackingWhileItsBoxIsTicked) {
    const QString straight = QStringLiteral("* スキップしたフレームは直線補間します");
    const QString tracking = QStringLiteral("* スキップしたフレームは追跡で補間します");
    settings->MarkerId().mode = kivra::MarkerIdMode::kSkip;
    settings->MarkerId().skipFillByTracking = true;
    CSetMarkerIDDlg& d = Open();
    EXPECT_EQ(d.FillNote()->text(), tracking) << "the stored choice shows at once";

    QCheckBox* const box = d.TrackFillCheck();
    QTest::mouseClick(box, Qt::LeftButton, {}, OnIndicator(box));
    EXPECT_FALSE(settings->MarkerId().skipFillByTracking);
    EXPECT_EQ(d.FillNote()->text(), straight);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Space);
    EXPECT_TRUE(settings->MarkerId().skipFillByTracking);
    EXPECT_EQ(d.FillNote()->text(), tracking);
    EXPECT_GE(d.width(), d.FillNote()->sizeHint().width()) << "the longer note fits";
}

TEST_F(SetMarkerIdDlgTest, SkipFieldTakesOneToHundredAndRestoresAnythingElse) {
    settings->MarkerId().mode = kivra::MarkerIdMode::kSkip;
    CSetMarkerIDDlg& d = Open();
    QLineEdit* const edit = d.SkipEdit();

    TypeSkip(QStringLiteral("7"));
    EXPECT_EQ(settings->MarkerId().skipFrames, 7);
    EXPECT_EQ(edit->text(), QStringLiteral("7"));

    TypeSkip(QStringLiteral("0"));
    EXPECT_EQ(edit->text(), QStringLiteral("7"));
    EXPECT_EQ(settings->MarkerId().skipFrames, 7);

    TypeSkip(QStringLiteral("xy-"));  // not even shown
    EXPECT_EQ(edit->text(), QStringLiteral("7"));
    EXPECT_EQ(settings->MarkerId().skipFrames, 7);

    edit->end(false);
    QTest::keyClick(edit, Qt::Key_Backspace);  // empty
    EXPECT_EQ(edit->text(), QStringLiteral("7"));
    EXPECT_EQ(settings->MarkerId().skipFrames, 7);

    // Typing 101 passes through 1 and 10; the third digit is refused.
    TypeSkip(QStringLiteral("101"));
    EXPECT_EQ(edit->text(), QStringLiteral("10"));
    EXPECT_EQ(settings->MarkerId().skipFrames, 10);
    TypeSkip(QStringLiteral("100"));
    EXPECT_EQ(settings->MarkerId().skipFrames, 100);

    // After a restore the value is selected, so the next digit replaces it.
    TypeSkip(QStringLiteral("0"));
    QTest::keyClicks(edit, QStringLiteral("3"));
    EXPECT_EQ(edit->text(), QStringLiteral("3"));
    EXPECT_EQ(settings->MarkerId().skipFrames, 3);

    // The read-back at a click checks text the validator never saw.
    edit->setText(QStringLiteral("abc"));
    EXPECT_EQ(d.ReadBack(), 1);
    EXPECT_EQ(edit->text(), QStringLiteral("3"));
    edit->setText(QStringLiteral("99999999999"));
    d.ReadBack();
    EXPECT_EQ(edit->text(), QStringLiteral("3"));
    EXPECT_EQ(settings->MarkerId().skipFrames, 3);
}

TEST_F(SetMarkerIdDlgTest, StoredSkipCountOutsideTheRangeIsClamped) {
    settings->MarkerId().skipFrames = 0;
    EXPECT_EQ(Open().SkipEdit()->text(), QStringLiteral("1"));
    EXPECT_EQ(settings->MarkerId().skipFrames, 1);
    settings->MarkerId().skipFrames = 500;
    EXPECT_EQ(Open().SkipEdit()->text(), QStringLiteral("100"));
    EXPECT_EQ(settings->MarkerId().skipFrames, 100);
}

TEST_F(SetMarkerIdDlgTest, CloseBoxAndEscapeHideAndReport) {
    CSetMarkerIDDlg& d = Open();
    int closed = 0;
    d.SetClosedCallback([&closed] { ++closed; });
    d.SetCurrentId(4);

    d.close();  // what the close box sends
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(closed, 1);

    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    EXPECT_EQ(d.CurrentId(), 4);  // hidden, not rebuilt
    QTest::keyClick(d.IdSpin(), Qt::Key_Escape);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(closed, 2);

    d.hide();  // the main frame's own toggle does not report
    EXPECT_EQ(closed, 2);
}

}  // namespace
