// Two videos side by side: the other pane follows by time whatever the two rates, the pane
// pressed last takes the commands, closing the second pane gives back the one-video window,
// and a saved pair offers the partner when one of them is opened again. The kinematics and gait
// tools work on the active pane, and a tool window keeps the video it was opened for and names
// it in its title.
#include <gtest/gtest.h>

#include <QAction>
#include <QChart>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/command_ids.h"
#include "frame/frame_position_pane.h"
#include "frame/pane_sync.h"
#include "frame/video_pane.h"
#include "gait/gait_tools.h"
#include "gait/gait_window.h"
#include "kinematics/calibration.h"
#include "kinematics/calibration_dlg.h"
#include "kinematics/kinematics_commands.h"
#include "kinematics/kinematics_plot.h"
#include "session/edit_history.h"
#include "support/app_fixture.h"
#include "support/modal_script.h"
#include "sync/sync_session.h"
#include "workspace/workspace.h"

namespace {

using kivra::test::MessageBoxCatcher;

// floor(num / den) for a positive den.
int FloorDiv(long long num, long long den) {
    return int(num >= 0 ? num / den : -((-num + den - 1) / den));
}

class TwoPanesTest : public kivra::test::AppFixture {
protected:
    // "<rate>.avi" of two seconds, tiny so that decoding costs nothing.
    std::string MakeVideo(int rate, const std::string& name) {
        const std::string path = m_dir.File(name);
        EXPECT_TRUE(kivra::test::RunFfmpeg(
            {"-f", "lavfi", "-i", "testsrc=size=64x48:rate=" + std::to_string(rate), "-frames:v",
             std::to_string(2 * rate), "-c:v", "mjpeg", path}));
        return path;
    }
    bool OpenInPane(const std::string& path, int pane) {
        std::optional<bool> opened;
        m_app->OpenDocumentFile(
            path, [&opened](bool ok) { opened = ok; }, pane);
        WaitUntil([&opened] { return opened.has_value(); });
        Settle();
        return opened.value_or(false);
    }
    // A press on a pane's picture, as the user makes the pane active.
    void PressPane(int pane) {
        CVfwView* view = m_frame->Panes().Pane(pane)->View();
        QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(2, 2));
        QCoreApplication::processEvents();
    }
    // The posted steps after an open (first frame, the link) have run.
    static void Settle() { QTest::qWait(50); }
    int Frame(int pane) { return m_frame->Panes().Pane(pane)->Video().Cursor().Current(); }
};

TEST_F(TwoPanesTest, TheOtherPaneFollowsByTimeForEveryPairOfRates) {
    struct Case {
        int rateA, rateB, frameA, frameB;  // the two frames made the same moment
    };
    const Case cases[] = {
        {25, 30, 10, 4}, {30, 25, 3, 20}, {50, 60, 40, 12}, {60, 120, 5, 70}, {120, 25, 100, 2}};
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rateA) + "/" + std::to_string(c.rateB));
        const std::string name = std::to_string(index++) + ".avi";
        const std::string a = MakeVideo(c.rateA, "a" + name);
        const std::string b = MakeVideo(c.rateB, "b" + name);
        Open(a);
        ASSERT_TRUE(OpenInPane(b, 1));
        ASSERT_TRUE(m_frame->Sync().Linked()) << "linked as soon as the second video is there";
        // Unlinked, each pane moves alone; the by-hand command takes their frames as one moment.
        ASSERT_TRUE(RunCommand(kivra::ID_VIEW_LINK_PANES));
        ASSERT_FALSE(m_frame->Sync().Linked());
        m_frame->Panes().Pane(0)->Video().Cursor().MoveTo(c.frameA);
        m_frame->Panes().Pane(1)->Video().Cursor().MoveTo(c.frameB);
        {
            MessageBoxCatcher boxes;
            ASSERT_TRUE(RunCommand(kivra::ID_SYNC_SAME_MOMENT));
            EXPECT_TRUE(QTest::qWaitFor([&boxes] { return !boxes.Texts().isEmpty(); }, 5000));
            ASSERT_EQ(boxes.Texts().size(), 1);
            EXPECT_TRUE(boxes.Texts()[0].contains(QStringLiteral("ずれ:")));
        }
        ASSERT_TRUE(m_frame->Sync().Linked());
        EXPECT_TRUE(std::filesystem::exists(kivra::SyncSessionPath(a)));
        const int countA = 2 * c.rateA;
        const int countB = 2 * c.rateB;
        const auto bFromA = [&](int n) {
            return std::clamp(FloorDiv(1LL * (n - c.frameA) * c.rateB, c.rateA) + c.frameB, 0,
                              countB - 1);
        };
        const auto aFromB = [&](int n) {
            return std::clamp(FloorDiv(1LL * (n - c.frameB) * c.rateA, c.rateB) + c.frameA, 0,
                              countA - 1);
        };
        // The first pane steps and jumps as the trackbar does; the second lands at its moment.
        PressPane(0);
        ASSERT_TRUE(RunCommand(kivra::ID_MOVIE_NEXT));
        EXPECT_EQ(Frame(1), bFromA(c.frameA + 1));
        m_frame->ShowFrame(countA * 3 / 4);
        EXPECT_EQ(Frame(1), bFromA(countA * 3 / 4));
        // And the other way round.
        PressPane(1);
        ASSERT_EQ(m_frame->Panes().Active(), 1);
        ASSERT_TRUE(RunCommand(kivra::ID_MOVIE_BACK));
        EXPECT_EQ(Frame(0), aFromB(Frame(1)));
        m_frame->ShowFrame(countB / 3);
        EXPECT_EQ(Frame(0), aFromB(countB / 3));
        // Unlinked, a move stays in its pane; linked again, the offset is the same.
        ASSERT_TRUE(RunCommand(kivra::ID_VIEW_LINK_PANES));
        const int alone = Frame(0);
        m_frame->ShowFrame(countB / 3 + 1);
        EXPECT_EQ(Frame(0), alone);
        ASSERT_TRUE(RunCommand(kivra::ID_VIEW_LINK_PANES));
        EXPECT_EQ(Frame(0), aFromB(countB / 3 + 1));
        // Playing, the active pane's clock moves both.
        PressPane(0);
        ControlPlayClock();
        m_frame->ShowFrame(0);
        m_frame->Playback().Play();
        m_tick += 700;
        m_frame->Playback().OnForwardTick();
        EXPECT_EQ(Frame(0), c.rateA * 7 / 10);
        EXPECT_EQ(Frame(1), bFromA(Frame(0)));
        m_frame->StopPlayback();
        // Backwards as well: at each step of the first pane the second is at its moment.
        m_frame->ShowFrame(countA / 2);
        m_frame->Playback().ReversePlay();
        EXPECT_TRUE(QTest::qWaitFor([&] {
            EXPECT_EQ(Frame(1), bFromA(Frame(0)));
            return Frame(0) <= countA / 2 - 3;
        }));
        m_frame->StopPlayback();
        ASSERT_TRUE(RunCommand(kivra::ID_VIEW_TWO_PANES));  // closes the second pane
        ASSERT_FALSE(m_frame->Panes().Two());
    }
}

TEST_F(TwoPanesTest, TheActivePaneTakesTheCommandsAndClosingItGivesBackTheOneVideoWindow) {
    const std::string b = MakeVideo(30, "second video $;'.avi");
    Open(m_sample);
    QWidget* const central = m_frame->centralWidget();
    const QString title = m_frame->windowTitle();
    m_frame->ShowFrame(7);
    ASSERT_TRUE(m_frame->Session().SetMarker(1, 7, 100, 100));
    ASSERT_TRUE(OpenInPane(b, 1));
    ASSERT_NE(m_frame->findChild<QSplitter*>(), nullptr);
    EXPECT_EQ(m_frame->Panes().Active(), 1) << "the video just opened";

    // Marker, undo and the image information in the second pane leave the first alone.
    kivra::OpenVideo& first = m_frame->Panes().Pane(0)->Video();
    kivra::OpenVideo& second = m_frame->Panes().Pane(1)->Video();
    EXPECT_EQ(&m_frame->Video(), &second);
    ASSERT_TRUE(m_frame->Session().SetMarker(1, 2, 10, 10));
    ASSERT_TRUE(RunCommand(kivra::ID_MARKER_UNDO));
    EXPECT_FALSE(second.History().CanUndo());
    EXPECT_TRUE(first.History().CanUndo()) << "the first video's step is still there";
    ASSERT_TRUE(RunCommand(kivra::ID_VIEW_IMAGE_INFO));
    EXPECT_TRUE(second.Session().ShowInfo());
    EXPECT_FALSE(first.Session().ShowInfo());
    EXPECT_FALSE(m_frame->Action(kivra::ID_MARKER_GAIT)->isEnabled())
        << "the second video has no markers";
    // Each pane says its own frame and time, whichever pane the status bar follows.
    ASSERT_EQ(m_frame->findChildren<kivra::FramePositionPane*>("PanePosition").size(), 2);
    const auto shown = [this](int pane) {  // the position under the pane's picture
        for (auto* position : m_frame->findChildren<kivra::FramePositionPane*>("PanePosition")) {
            if (position->parentWidget()->isAncestorOf(m_frame->Panes().Pane(pane)->View())) {
                return position->text();
            }
        }
        return QString();
    };
    const auto says = [](const kivra::OpenVideo& video) {
        const CAviVideoStream& stream = *video.Stream();
        const int at = video.Cursor().Current();
        return kivra::FramePositionPane::Text(at, stream.GetFrameCount(), stream.SampleToTime(at));
    };
    EXPECT_EQ(shown(0), says(first));
    EXPECT_EQ(shown(1), says(second));
    m_frame->ShowFrame(5);
    EXPECT_EQ(shown(1), says(second));
    EXPECT_EQ(shown(0), says(first)) << "moved by the link, or not at all";

    PressPane(0);
    EXPECT_EQ(&m_frame->Video(), &first);
    EXPECT_EQ(m_frame->VideoView(), m_view);
    ASSERT_TRUE(RunCommand(kivra::ID_MARKER_UNDO));
    EXPECT_FALSE(first.History().CanUndo());

    // Closing asks about the second video's markers; afterwards the window is as it was.
    PressPane(1);
    ASSERT_TRUE(m_frame->Session().SetMarker(1, 3, 20, 20));
    const int frame = Frame(0);
    {
        MessageBoxCatcher boxes(QMessageBox::No);
        ASSERT_TRUE(RunCommand(kivra::ID_VIEW_TWO_PANES));
        EXPECT_EQ(boxes.Texts().size(), 1);
    }
    EXPECT_FALSE(m_frame->Panes().Two());
    EXPECT_EQ(m_app->SecondVideo(), nullptr);
    EXPECT_EQ(m_frame->centralWidget(), central);
    EXPECT_EQ(m_frame->findChild<QSplitter*>(), nullptr);
    EXPECT_TRUE(m_frame->findChildren<kivra::FramePositionPane*>("PanePosition").isEmpty());
    EXPECT_EQ(m_frame->VideoView(), m_view);
    EXPECT_EQ(m_frame->windowTitle(), title);
    EXPECT_EQ(m_frame->Cursor().Current(), frame);
    EXPECT_EQ(m_frame->Video().Path(), m_sample);
}

TEST_F(TwoPanesTest, ASavedPairOffersThePartnerAndLinksItWithTheSavedOffset) {
    const std::string a = MakeVideo(25, "side walk.avi");
    const std::string b = MakeVideo(50, "front walk.avi");
    const auto offset = kivra::SyncOffset::Make(3, 10);
    ASSERT_TRUE(offset);
    ASSERT_EQ(kivra::SaveSyncSession({a, b, *offset, kivra::SyncMethod::kSound},
                                     kivra::SyncSessionPath(a)),
              "");
    {
        // Opened as the second video of the pair, the partner goes into the first pane.
        MessageBoxCatcher boxes(QMessageBox::No);
        Open(b);
        EXPECT_TRUE(QTest::qWaitFor([&boxes] { return !boxes.Texts().isEmpty(); }, 5000));
        ASSERT_EQ(boxes.Texts().size(), 1);
        EXPECT_TRUE(boxes.Texts()[0].contains(QStringLiteral("side walk.avi")));
        EXPECT_FALSE(m_frame->Panes().Two());
    }
    {
        MessageBoxCatcher boxes(QMessageBox::Yes);
        Open(a);
        // The link comes after the partner's open and its first frame, posted: waited for, as a
        // busy machine may take longer than a settling pause.
        WaitUntil([this] {
            return m_frame->Panes().Two() && !m_frame->Jobs().Busy() && m_frame->Sync().Linked();
        });
        Settle();
    }
    ASSERT_TRUE(m_frame->Panes().Two());
    EXPECT_TRUE(std::filesystem::equivalent(m_frame->Panes().Pane(1)->Video().Path(), b));
    EXPECT_EQ(m_frame->Sync().Offset(), *offset);
    EXPECT_TRUE(m_frame->Sync().Linked());
    PressPane(0);
    m_frame->ShowFrame(10);  // 0.4 s in A is 0.7 s in B
    EXPECT_EQ(Frame(1), 35);

    // A damaged session file is refused with its reason; nothing else opens.
    ASSERT_TRUE(RunCommand(kivra::ID_VIEW_TWO_PANES));
    {
        std::ofstream(kivra::SyncSessionPath(a)) << "not a session\n";
        MessageBoxCatcher boxes;
        Open(a);
        EXPECT_TRUE(QTest::qWaitFor([&boxes] { return !boxes.Texts().isEmpty(); }, 5000));
        ASSERT_EQ(boxes.Texts().size(), 1);
        EXPECT_TRUE(boxes.Texts()[0].contains(QStringLiteral("side walk.ksync")));
    }
    EXPECT_FALSE(m_frame->Panes().Two());
}

// The walk with markers in the second pane, the bare sample in the first.
TEST_F(TwoPanesTest, KinematicsAndGaitToolsWorkOnTheActivePaneAndKeepTheVideoTheyOpenedFor) {
    const std::string gaitSample = std::string(KIVRA_BINARY_DIR) + "/sample/walker_gait";
    const std::string b = m_dir.File("-walk B 歩行 $;.avi");
    std::filesystem::copy_file(gaitSample + ".avi", b);
    std::filesystem::copy_file(gaitSample + ".lff", m_dir.File("-walk B 歩行 $;.lff"));
    Open(m_sample);
    ASSERT_TRUE(OpenInPane(b, 1));
    ASSERT_TRUE(RunCommand(kivra::ID_VIEW_LINK_PANES));  // each pane moves alone
    ASSERT_EQ(m_frame->Panes().Active(), 1);

    // One set of angles and feet for the window, whichever pane stored them.
    kivra::KinematicsSettings angles;
    angles.angles = {{"knee", 2, 3, 4}};
    ASSERT_TRUE(m_frame->Kinematics()->StoreSettings(angles));
    ASSERT_TRUE(m_frame->Gait()->StoreSetup(
        {kivra::FootMarkers{5, 6}, kivra::FootMarkers{7, 8}, 2, 0.0, {}}));
    EXPECT_EQ(m_frame->Tools().Kinematics(0)->Settings(), angles);
    EXPECT_EQ(m_frame->Tools().Gait(0)->Setup(), m_frame->Tools().Gait(1)->Setup());

    // The kinematics CSV of the second video, named after it.
    const std::string csv = m_dir.File("B kinematics.csv");
    QString proposed;
    {
        const auto type = kivra::test::TypeName(QString::fromStdString(csv));
        kivra::test::ModalScript user({[&proposed, type](QWidget* modal) {
            if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
                proposed = dialog->selectedFiles().value(0);
            }
            return type(modal);
        }});
        ASSERT_TRUE(RunCommand(kivra::ID_MARKER_KINEMATICS_OUTPUT));
        EXPECT_TRUE(user.Done());
    }
    EXPECT_TRUE(proposed.endsWith(QStringLiteral("-walk B 歩行 $;_kinematics.csv")))
        << proposed.toStdString();
    EXPECT_NE(kivra::test::ReadFile(csv).find("knee"), std::string::npos);

    // The gait window of the second video; the first has none.
    ASSERT_TRUE(RunCommand(kivra::ID_MARKER_GAIT));
    const QPointer<kivra::GaitWindow> gaitB = m_frame->Tools().Gait(1)->Window();
    ASSERT_NE(gaitB, nullptr);
    EXPECT_EQ(m_frame->Tools().Gait(0)->Window(), nullptr);
    const int events = gaitB->EventTable()->rowCount();
    EXPECT_GT(events, 4);
    EXPECT_EQ(events, int(m_frame->Tools().Gait(1)->Events().Events().size()));
    const QString nameA = QFileInfo(QString::fromStdString(m_sample)).fileName();
    const QString nameB = QStringLiteral("-walk B 歩行 $;.avi");
    EXPECT_TRUE(gaitB->windowTitle().endsWith(QStringLiteral(" - ") + nameB))
        << gaitB->windowTitle().toStdString();

    // A plot for each pane, each following its own video's frame and data.
    PressPane(0);
    EXPECT_FALSE(RunCommand(kivra::ID_MARKER_KINEMATICS_OUTPUT))
        << "the first video has no markers";
    ASSERT_TRUE(RunCommand(kivra::ID_MARKER_PLOT));
    const QPointer<CKinematicsPlotWnd> plotA = m_frame->Tools().Kinematics(0)->PlotWindow();
    m_frame->ShowFrame(10);
    PressPane(1);
    ASSERT_TRUE(RunCommand(kivra::ID_MARKER_PLOT));
    const QPointer<CKinematicsPlotWnd> plotB = m_frame->Tools().Kinematics(1)->PlotWindow();
    ASSERT_TRUE(plotA != nullptr && plotB != nullptr && plotA != plotB);
    const QString plotTitle = plotA->windowTitle().section(QStringLiteral(" - "), 0, 0);
    EXPECT_EQ(plotA->windowTitle(), plotTitle + QStringLiteral(" - ") + nameA);
    EXPECT_EQ(plotB->windowTitle(), plotTitle + QStringLiteral(" - ") + nameB);
    m_frame->ShowFrame(50);
    EXPECT_EQ(plotB->CurrentFrame(), 50);
    EXPECT_EQ(plotA->CurrentFrame(), 10);
    EXPECT_TRUE(plotA->Chart()->series().isEmpty());
    EXPECT_FALSE(plotB->Chart()->series().isEmpty());
    EXPECT_EQ(gaitB->EventTable()->rowCount(), events);

    // The second pane's calibration takes clicks on its picture only, and is stored beside it.
    ASSERT_TRUE(RunCommand(kivra::ID_MARKER_CALIBRATION));
    const QPointer<CCalibrationDlg> calibration =
        m_frame->Tools().Kinematics(1)->CalibrationDialog();
    ASSERT_NE(calibration, nullptr);
    EXPECT_TRUE(calibration->windowTitle().endsWith(QStringLiteral(" - ") + nameB));
    EXPECT_EQ(m_frame->Tools().Kinematics(0)->CalibrationDialog(), nullptr);
    CVfwView* viewB = m_frame->Panes().Pane(1)->View();
    QTest::mouseClick(viewB, Qt::LeftButton, {}, viewB->rect().center());
    QTest::mouseClick(viewB, Qt::LeftButton, {}, viewB->rect().center() + QPoint(20, 0));
    CVfwView* viewA = m_frame->Panes().Pane(0)->View();
    QTest::mouseClick(viewA, Qt::LeftButton, {}, viewA->rect().center());
    EXPECT_EQ(m_frame->Panes().Active(), 0);
    EXPECT_EQ(calibration->Points().size(), 2u);
    calibration->LengthEdit()->setValue(100.0);
    QTest::mouseClick(calibration->OkButton(), Qt::LeftButton);
    EXPECT_TRUE(std::filesystem::exists(kivra::CalibrationPath(b)));
    EXPECT_FALSE(std::filesystem::exists(kivra::CalibrationPath(m_sample)));
    EXPECT_EQ(plotA->CurrentFrame(), 10);

    // The second pane's tools go with it; the first's stay.
    {
        MessageBoxCatcher boxes(QMessageBox::No);
        ASSERT_TRUE(RunCommand(kivra::ID_VIEW_TWO_PANES));
    }
    ASSERT_FALSE(m_frame->Panes().Two());
    EXPECT_TRUE(gaitB.isNull());
    EXPECT_TRUE(plotB.isNull());
    EXPECT_TRUE(calibration.isNull());
    EXPECT_EQ(m_frame->Tools().Kinematics(1), nullptr);
    ASSERT_FALSE(plotA.isNull());
    EXPECT_TRUE(plotA->isVisible());
    EXPECT_EQ(plotA->windowTitle(), plotTitle);  // one video: the window's own title again
    EXPECT_FALSE(m_frame->Action(kivra::ID_MARKER_GAIT)->isEnabled());
}

}  // namespace
