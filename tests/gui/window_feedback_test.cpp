// What the main window tells the user on the way: the frame pane of the status bar through
// every kind of frame change, reverse play from its menu entry, key and button, the status
// message after each save, with the kinematics table's proposed name, the step a click on the
// picture still waits for, and the quick start page in each language.
#include <gtest/gtest.h>

#include <QAction>
#include <QChartView>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolButton>
#include <QUrl>
#include <filesystem>
#include <functional>

#include "frame/frame_position_pane.h"
#include "frame/slider_view.h"
#include "kinematics/kinematics_commands.h"
#include "kinematics/kinematics_plot.h"
#include "support/app_fixture.h"
#include "support/modal_script.h"
#include "ui/icon_toolbar.h"
#include "ui/quick_start_dlg.h"

namespace {

using kivra::FramePositionPane;
using kivra::test::ModalScript;
namespace fs = std::filesystem;

TEST(FramePositionPaneText, FrameCountAndTimeWithAnHourFieldOnlyWhenNeeded) {
    EXPECT_EQ(FramePositionPane::Text(123, 1800, 4100), QStringLiteral("123 / 1800   00:04.100"));
    EXPECT_EQ(FramePositionPane::Text(0, 1, 0), QStringLiteral("0 / 1   00:00.000"));
    EXPECT_EQ(FramePositionPane::Text(7, 9, 3599999), QStringLiteral("7 / 9   59:59.999"));
    EXPECT_EQ(FramePositionPane::Text(7, 9, 3723004), QStringLiteral("7 / 9   1:02:03.004"));
    EXPECT_EQ(FramePositionPane::Text(5, 10, -1), QStringLiteral("5 / 10")) << "no time known";
}

class WindowFeedbackTest : public kivra::test::AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        m_frame->resize(1000, 760);
    }
    int Current() const { return m_frame->Cursor().Current(); }
    QString Pane() const { return m_frame->Bars().FramePane()->text(); }
    // The pane as it should read for the shown frame of the 120-frame, 30 fps sample.
    QString PaneFor(int frame) const {
        return FramePositionPane::Text(frame, 120, (frame * 1000 + 15) / 30);
    }
    QString Status() const { return m_frame->statusBar()->currentMessage(); }
    QAction* Act(kivra::CommandId id) const {
        m_frame->UpdateCommandUI();
        return m_frame->Action(id);
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        m_view->setFocus();
        QTest::keyClick(m_view, key, modifiers);
        QCoreApplication::processEvents();
    }
    void ShowWindow() {
        m_frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame));
    }
    void SetBothAreas() {
        Act(kivra::ID_TRIMMING_AREA)->trigger();
        Paint();
        Click(At(0.35, 0.5));
        Click(At(0.6, 0.5));
        ASSERT_TRUE(m_frame->Session().AreasSet());
    }
    // Chooses an entry of an open menu with the mouse.
    static void ClickMenuEntry(QMenu* menu, QAction* action) {
        menu->popup(QPoint(0, 0));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
        const QRect entry = menu->actionGeometry(action);
        ASSERT_FALSE(entry.isEmpty());
        QTest::mouseClick(menu, Qt::LeftButton, {}, entry.center());
        QCoreApplication::processEvents();
    }
};

TEST_F(WindowFeedbackTest, FramePaneFollowsEveryWayTheFrameMoves) {
    ShowWindow();
    EXPECT_TRUE(Pane().isEmpty()) << "no video";
    Open(m_sample);
    EXPECT_EQ(Pane(), QStringLiteral("0 / 120   00:00.000"));

    // Keys, first and last: 0-based like the image information.
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);
    EXPECT_EQ(Pane(), QStringLiteral("3 / 120   00:00.100"));
    Key(Qt::Key_End);
    EXPECT_EQ(Pane(), QStringLiteral("119 / 120   00:03.967"));
    Key(Qt::Key_Home);
    EXPECT_EQ(Pane(), PaneFor(0));

    // A click on the timeline.
    CSliderView* timeline = m_frame->SliderView();
    QTest::mouseClick(timeline, Qt::LeftButton, {}, QPoint(timeline->width() / 2, 15));
    QCoreApplication::processEvents();
    ASSERT_GT(Current(), 0);
    EXPECT_EQ(Pane(), PaneFor(Current()));

    // Forward play, frame by frame as the clock moves.
    ControlPlayClock();
    Key(Qt::Key_Home);
    Key(Qt::Key_F8);
    ASSERT_TRUE(m_frame->IsForwardPlaying());
    m_tick += 350;
    ASSERT_TRUE(WaitWhileAt(0));
    EXPECT_EQ(Current(), 10);
    EXPECT_EQ(Pane(), QStringLiteral("10 / 120   00:00.333"));
    Key(Qt::Key_F7);

    // Reverse play: every tick shows the next frame back, and the pane with it.
    Key(Qt::Key_F8, Qt::ShiftModifier);
    ASSERT_TRUE(m_frame->Playback().IsReversePlaying());
    for (int step = 0; step < 3; ++step) {
        const int from = Current();
        ASSERT_TRUE(WaitWhileAt(from));
        EXPECT_EQ(Pane(), PaneFor(Current()));
    }
    Key(Qt::Key_F7);

    // A click in the kinematics plot.
    m_frame->Video().Annotations()->m_markers.SetMarker(0, 3, 10.0, 20.0);
    Act(kivra::ID_MARKER_PLOT)->trigger();
    CKinematicsPlotWnd* plot = m_frame->Kinematics()->PlotWindow();
    ASSERT_NE(plot, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(plot));
    const std::optional<QPoint> at = plot->ViewportPointOfFrame(77);
    ASSERT_TRUE(at);
    QTest::mouseClick(plot->ChartView()->viewport(), Qt::LeftButton, Qt::NoModifier, *at);
    QCoreApplication::processEvents();
    ASSERT_EQ(Current(), 77);
    EXPECT_EQ(Pane(), PaneFor(77));
    plot->close();

    // Closing the video (without saving the marker) empties it.
    kivra::test::MessageBoxCatcher no(QMessageBox::No);
    Act(kivra::ID_FILE_NEW)->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(Pane().isEmpty());
}

TEST_F(WindowFeedbackTest, ReversePlayFromTheMenuTheKeyAndTheButton) {
    ShowWindow();
    Open(m_sample);
    Key(Qt::Key_End);
    QAction* reverse = Act(kivra::ID_MOVIE_REVERSE_PLAY);
    ASSERT_NE(reverse, nullptr);
    EXPECT_EQ(reverse->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F8));

    // In the movie menu, right after play.
    const QList<QAction*> entries = m_frame->Menu(kivra::WindowMenu::Movie)->actions();
    const qsizetype play = entries.indexOf(Act(kivra::ID_MOVIE_PLAY));
    ASSERT_GE(play, 0);
    ASSERT_LT(play + 1, entries.size());
    EXPECT_EQ(entries[play + 1], reverse);
    EXPECT_EQ(reverse->text(), QStringLiteral("逆再生(&R)"));
    ClickMenuEntry(m_frame->Menu(kivra::WindowMenu::Movie), reverse);
    EXPECT_TRUE(m_frame->Playback().IsReversePlaying());
    ASSERT_TRUE(WaitWhileAt(119));
    EXPECT_LT(Current(), 119);
    m_frame->UpdateCommandUI();
    EXPECT_TRUE(m_frame->Bars().MovieBar()->IsPressed(kivra::ID_MOVIE_REVERSE_PLAY));
    EXPECT_TRUE(m_frame->Bars().MovieBar()->IsPressed(kivra::ID_MOVIE_PLAY));

    // The key toggles: pressed again it stops, and the frame stays where it was.
    Key(Qt::Key_F8, Qt::ShiftModifier);
    EXPECT_FALSE(m_frame->IsPlaying());
    const int stoppedAt = Current();
    PassPlayTicks();
    EXPECT_EQ(Current(), stoppedAt);
    m_frame->UpdateCommandUI();
    EXPECT_FALSE(m_frame->Bars().MovieBar()->IsPressed(kivra::ID_MOVIE_REVERSE_PLAY));

    // The button beside play, with its own picture.
    QToolButton* button = m_frame->Bars().MovieBar()->Button(kivra::ID_MOVIE_REVERSE_PLAY);
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->icon().isNull());
    EXPECT_NE(button->icon().cacheKey(),
              m_frame->Bars().MovieBar()->Button(kivra::ID_MOVIE_PLAY)->icon().cacheKey());
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(m_frame->Playback().IsReversePlaying());
    // Forward play running: the reverse button stops it rather than turning round.
    QTest::mouseClick(button, Qt::LeftButton);
    Act(kivra::ID_MOVIE_PLAY)->trigger();
    ASSERT_TRUE(m_frame->IsForwardPlaying());
    m_frame->UpdateCommandUI();
    EXPECT_FALSE(m_frame->Bars().MovieBar()->IsPressed(kivra::ID_MOVIE_REVERSE_PLAY));
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(m_frame->IsPlaying());

    // Without a video the entry is there but greyed.
    Act(kivra::ID_FILE_NEW)->trigger();
    EXPECT_FALSE(Act(kivra::ID_MOVIE_REVERSE_PLAY)->isEnabled());
    EXPECT_FALSE(button->isEnabled());
}

TEST_F(WindowFeedbackTest, EachSaveSaysWhatItWroteWhere) {
    // A video whose name has a blank and Japanese text.
    const std::string video = m_dir.File("歩行 テスト.avi");
    fs::copy_file(m_sample, video);
    ShowWindow();
    Open(video);
    Paint();
    SetBothAreas();
    m_frame->Video().Annotations()->m_markers.SetMarker(0, 3, 300.0, 200.0);
    m_frame->Video().Annotations()->m_markers.SetModified(true);
    EXPECT_TRUE(Status().isEmpty());

    Act(kivra::ID_MARKER_SAVE)->trigger();
    const std::string lff = m_dir.File("歩行 テスト.lff");
    ASSERT_TRUE(fs::exists(lff));
    EXPECT_EQ(Status(), QStringLiteral("マーカを保存しました: ") + QString::fromStdString(lff));

    const std::string csv = m_dir.File("座標 $1.csv");
    {
        ModalScript user({kivra::test::TypeName(QString::fromStdString(csv))});
        Act(kivra::ID_MARKER_COORDINATE_OUTPUT)->trigger();
        EXPECT_TRUE(user.Done());
    }
    ASSERT_TRUE(fs::exists(csv));
    EXPECT_EQ(Status(), QStringLiteral("座標を出力しました: ") + QString::fromStdString(csv));

    // The kinematics table's dialog proposes "<video>_kinematics.csv" beside the video;
    // taking the proposal writes there.
    const QString proposed = QString::fromStdString(m_dir.File("歩行 テスト_kinematics.csv"));
    QString shownFolder, shownName;
    {
        ModalScript user({[&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            auto* edit = dialog != nullptr
                             ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                             : nullptr;
            if (edit == nullptr) {
                return false;
            }
            shownFolder = dialog->directory().absolutePath();
            shownName = edit->text();
            QMetaObject::invokeMethod(
                edit, [edit] { QTest::keyClick(edit, Qt::Key_Return); }, Qt::QueuedConnection);
            return true;
        }});
        kivra::test::MessageBoxCatcher emptyAngles;  // the sample's angles have no markers
        Act(kivra::ID_MARKER_KINEMATICS_OUTPUT)->trigger();
        EXPECT_TRUE(user.Done());
    }
    EXPECT_EQ(shownFolder, QString::fromStdString(fs::path(m_dir.path()).string()));
    EXPECT_EQ(shownName, QStringLiteral("歩行 テスト_kinematics.csv"));
    EXPECT_TRUE(fs::exists(proposed.toStdString()));
    EXPECT_EQ(Status(), QStringLiteral("運動学データを出力しました: ") + proposed);

    // A failed save tells it in a box and leaves the last message alone.
    {
        kivra::test::MessageBoxCatcher failure;
        const std::string nowhere = m_dir.File("missing folder/out.csv");
        EXPECT_FALSE(m_frame->Markers().ExportCoordinates(nowhere));
        EXPECT_EQ(failure.Texts().size(), 1);
    }
    EXPECT_EQ(Status(), QStringLiteral("運動学データを出力しました: ") + proposed);
}

TEST_F(WindowFeedbackTest, AClickThatPlacesNoMarkerNamesTheMissingStep) {
    ShowWindow();
    Open(m_sample);
    Paint();
    m_frame->Settings().MarkerId().askToShowIdBar = false;  // no toolbar question in the way
    // Each state is reached from the one before; reaching it (the area clicks too) says nothing.
    const struct {
        const char* state;
        std::function<void()> enter;
        const char* says;
    } steps[] = {
        {"no areas", [] {}, "[トリミング]-[エリア指定]"},
        {"areas, no preview", [&] { SetBothAreas(); }, "[トリミング]-[プレビュー]"},
        {"preview, no marker ID", [&] { Act(kivra::ID_TRIMMING_PREVIEW)->trigger(); },
         "[マーカ]-[IDの指定]"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.state);
        m_frame->statusBar()->clearMessage();
        step.enter();
        Paint();
        EXPECT_TRUE(Status().isEmpty()) << Status().toStdString();
        Click(At(0.5, 0.3));
        EXPECT_TRUE(Status().startsWith(QStringLiteral("マーカを置くには")) &&
                    Status().contains(QString::fromUtf8(step.says)))
            << Status().toStdString();
        EXPECT_FALSE(m_frame->Video().Annotations()->m_markers.AnyMarkers());
    }

    // Clicks that do something, or aim beside the picture, leave the bar alone.
    m_frame->statusBar()->clearMessage();
    const QPoint beside(m_view->ImageRect().left / 2, At(0.5, 0.5).y());
    ASSERT_GT(m_view->ImageRect().left, 4) << "the preview stands between bars";
    Click(beside);
    m_frame->Markers().OnMarkerSetId();
    Paint();
    Click(At(0.5, 0.3));
    EXPECT_TRUE(m_frame->Video().Annotations()->m_markers.AnyMarkers())
        << "placed with the ID dialog";
    m_frame->Markers().OnMarkerSetId();  // hidden again: the click grabs the marker
    Paint();
    Click(At(0.5, 0.3));
    EXPECT_TRUE(Status().isEmpty()) << Status().toStdString();
}

// The Help menu's page in the language the program started in: it names the real menu entries
// of every step, and each of its pictures, and those of the other language's page, loads.
TEST_F(WindowFeedbackTest, QuickStartShowsThePageOfTheInterfaceLanguage) {
    using kivra::UiLanguage;
    const kivra::CommandId named[] = {
        kivra::ID_FILE_OPEN,         kivra::ID_TRIMMING_SIDE_MODE, kivra::ID_TRIMMING_FRONT_MODE,
        kivra::ID_TRIMMING_AREA,     kivra::ID_TRIMMING_PREVIEW,   kivra::ID_MARKER_SET_ID,
        kivra::ID_MARKER_FOLLOW,     kivra::ID_MARKER_SAVE,        kivra::ID_MARKER_FOOT_MARKERS,
        kivra::ID_MARKER_ANGLES,     kivra::ID_MARKER_GAIT,        kivra::ID_MARKER_GAIT_REPORT,
        kivra::ID_MARKER_CALIBRATION};
    for (const UiLanguage language : {UiLanguage::Japanese, UiLanguage::English}) {
        SCOPED_TRACE(kivra::LanguageCode(language));
        if (language == UiLanguage::English) {
            SetLanguageSetting("en");
            StartAgain();
        }
        ShowWindow();
        QAction* entry = Act(kivra::ID_HELP_QUICK_START);
        ASSERT_NE(entry, nullptr);
        EXPECT_LT(
            m_frame->Menu(kivra::WindowMenu::Help)->actions().indexOf(entry),
            m_frame->Menu(kivra::WindowMenu::Help)->actions().indexOf(Act(kivra::ID_APP_ABOUT)));
        ClickMenuEntry(m_frame->Menu(kivra::WindowMenu::Help), entry);
        ClickMenuEntry(m_frame->Menu(kivra::WindowMenu::Help),
                       entry);  // the same window comes up again
        ASSERT_EQ(m_frame->findChildren<CQuickStartDlg*>().size(), 1);
        CQuickStartDlg* page = m_frame->QuickStart();
        ASSERT_TRUE(page != nullptr && page->isVisible() && !page->isModal());

        // "[マーカ]-[歩行分析]" for "歩行分析(&W)...": the entry as the menu shows it.
        const QString text = page->Browser()->toPlainText();
        for (const kivra::CommandId id : named) {
            QString shown = Act(id)->text();
            shown.remove(QRegularExpression(QStringLiteral("\\(&.\\)|&|\\.\\.\\.$")));
            EXPECT_TRUE(text.contains(QLatin1Char('[') + shown + QLatin1Char(']')))
                << shown.toStdString();
        }

        QTextBrowser* browser = page->Browser();
        for (const UiLanguage pageLanguage : {UiLanguage::English, UiLanguage::Japanese}) {
            QFile html(CQuickStartDlg::PagePath(pageLanguage));
            ASSERT_TRUE(html.open(QIODevice::ReadOnly));
            const QString source = QString::fromUtf8(html.readAll());
            browser->setSource(QUrl(QStringLiteral("qrc") + html.fileName()));
            int pictures = 0;
            auto it =
                QRegularExpression(QStringLiteral("<img src=\"([^\"]+)\"")).globalMatch(source);
            for (; it.hasNext(); ++pictures) {
                const QUrl src(it.next().captured(1));
                const QImage picture = QImage::fromData(
                    browser->loadResource(QTextDocument::ImageResource, src).toByteArray());
                EXPECT_FALSE(picture.isNull()) << src.toString().toStdString();
            }
            EXPECT_GE(pictures, 4) << html.fileName().toStdString();
        }
    }
}

}  // namespace
