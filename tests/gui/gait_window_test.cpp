// The gait tools in the running window on a copy of the gait sample: the events the window
// detects are the command line's, each edit is a step of the window's undo history and lands
// in the events file at once, detecting again never drops edits unasked, a reopened video reads
// that file back (a damaged one is refused with its reason), the timeline marks each event on
// its frame and side, and the report. Also why the coordinate CSV is greyed out for the sample.
#include <gtest/gtest.h>

#include <QAction>
#include <QChart>
#include <QComboBox>
#include <QDate>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QToolTip>

#include "gait/foot_markers_dlg.h"
#include "gait/gait_cycle_plot.h"
#include "gait/gait_file.h"
#include "gait/gait_tools.h"
#include "gait/gait_window.h"
#include "gait/report_header_dlg.h"
#include "geometry/timeline_geometry.h"
#include "kinematics/calibration.h"
#include "kinematics/kinematics_commands.h"
#include "markers/set_marker_id_dlg.h"
#include "support/app_fixture.h"
#include "support/modal_script.h"

namespace {

using namespace kivra;
using kivra::test::MessageBoxCatcher;
using kivra::test::ReadFile;
namespace fs = std::filesystem;

const std::string kGaitSample = std::string(KIVRA_BINARY_DIR) + "/sample/walker_gait";

class GaitWindowTest : public kivra::test::AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        for (const char* ext : {".avi", ".lff", ".kcal"}) {
            fs::copy_file(kGaitSample + ext, m_base + ext);
        }
        m_frame->resize(1000, 760);
    }

    GaitTools& Tools() { return *m_frame->Gait(); }
    const std::vector<GaitEvent>& Events() { return Tools().Events().Events(); }
    void Command(CommandId id) {
        m_frame->UpdateCommandUI();
        ASSERT_TRUE(m_frame->Action(id)->isEnabled()) << id;
        m_frame->Action(id)->trigger();
        QCoreApplication::processEvents();
    }
    // Opens the copy with both feet chosen and the gait window showing its analysis.
    void OpenWithWindow() {
        Open(m_base + ".avi");
        KinematicsSettings angles;
        angles.angles = {{"knee", 2, 3, 4}};
        ASSERT_TRUE(m_frame->Kinematics()->StoreSettings(angles));
        ASSERT_TRUE(Tools().StoreSetup({FootMarkers{5, 6}, FootMarkers{7, 8}, 2, 0.0}));
        Command(ID_MARKER_GAIT);
        ASSERT_NE(Tools().Window(), nullptr);
        ASSERT_TRUE(Tools().Analysis().has_value());
    }
    // The first event of side and kind.
    GaitEvent First(FootSide side, GaitEventKind kind) {
        for (const GaitEvent& e : Events()) {
            if (e.side == side && e.kind == kind) {
                return e;
            }
        }
        ADD_FAILURE() << "no such event";
        return {};
    }
    double FirstStrideTime(FootSide side) {
        for (const StrideParameters& s : Tools().Analysis()->parameters.strides) {
            if (s.side == side) {
                return s.strideTime;
            }
        }
        return 0.0;
    }
    // Selects event in the window's list as a click on its row does.
    void Select(const GaitEvent& event) {
        QTableWidget* table = Tools().Window()->EventTable();
        const auto it = std::find(Events().begin(), Events().end(), event);
        ASSERT_NE(it, Events().end());
        QTableWidgetItem* item = table->item(int(it - Events().begin()), 0);
        table->scrollToItem(item);
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                          table->visualItemRect(item).center());
        QCoreApplication::processEvents();
    }
    std::string KgaitPath() const { return m_base + ".kgait"; }
    std::vector<GaitEvent> FileEvents() const { return ReadGaitFile(KgaitPath()).events; }

    kivra::test::TempDir m_files{"kivra-gait 歩行 $;"};
    const std::string m_base = m_files.File("-walk 01");
};

TEST_F(GaitWindowTest, DetectsWhatTheCommandLineDetectsAndEachEditIsAnUndoStepInTheFile) {
    OpenWithWindow();
    // The command line on the same files, through the same workspace action.
    ASSERT_EQ(kivra::test::RunCliCommand(m_files, "gait",
                                         {m_base + ".avi", m_files.File("out"), "--foot", "R=5,6",
                                          "--foot", "L=7,8", "--pelvis", "2"}),
              0);
    GaitAnalysis shown;
    shown.events = Events();
    shown.fps = 30.0;
    EXPECT_EQ(FormatEventsCsv(shown), ReadFile(m_files.File("out/events.csv")));
    EXPECT_FALSE(Tools().EventsEdited());
    EXPECT_FALSE(fs::exists(KgaitPath()));  // nothing edited, nothing written
    GaitWindow& window = *Tools().Window();
    EXPECT_EQ(window.EventTable()->rowCount(), int(Events().size()));
    EXPECT_GT(window.ParameterTable()->rowCount(), 5);
    // The cycle plot's cursor follows the frame the window shows.
    m_frame->ShowFrame(44);  // right stride 28-61
    ASSERT_TRUE(window.Plot()->CursorPercent(FootSide::kRight).has_value());
    EXPECT_NEAR(*window.Plot()->CursorPercent(FootSide::kRight), 100.0 * 16 / 33, 1e-9);

    const std::vector<GaitEvent> detected = Events();
    const GaitEvent strike = First(FootSide::kRight, GaitEventKind::kHeelStrike);
    Select(strike);
    EXPECT_EQ(m_frame->Cursor().Current(), strike.frame);  // the row shows its frame
    m_frame->ShowFrame(strike.frame + 2);
    window.MoveButton()->click();
    GaitEvent moved = strike;
    moved.frame += 2;
    ASSERT_NE(std::find(Events().begin(), Events().end(), moved), Events().end());
    EXPECT_EQ(FileEvents(), Events());
    EXPECT_TRUE(Tools().EventsEdited());
    const double strideBefore = FirstStrideTime(FootSide::kRight);

    Select(First(FootSide::kLeft, GaitEventKind::kToeOff));
    EXPECT_TRUE(window.DeleteButton()->isEnabled());  // the clicked row is selected
    window.DeleteButton()->click();
    EXPECT_EQ(Events().size(), detected.size() - 1);
    // An event the list has already is refused without a step.
    m_frame->ShowFrame(moved.frame);
    window.SideChoice()->setCurrentIndex(0);
    window.KindChoice()->setCurrentIndex(0);
    {
        MessageBoxCatcher boxes;
        window.AddButton()->click();
        EXPECT_EQ(boxes.Texts().size(), 1);
    }
    EXPECT_EQ(Events().size(), detected.size() - 1);

    // Undo and redo through the window's history: the list and the file follow each step.
    Command(ID_MARKER_UNDO);
    EXPECT_EQ(Events().size(), detected.size());
    EXPECT_NE(std::find(Events().begin(), Events().end(), moved), Events().end());
    EXPECT_EQ(FileEvents(), Events());
    Command(ID_MARKER_UNDO);
    EXPECT_EQ(Events(), detected);
    EXPECT_FALSE(Tools().EventsEdited());  // detected again, so no longer written
    EXPECT_FALSE(fs::exists(KgaitPath()));
    EXPECT_NE(FirstStrideTime(FootSide::kRight), strideBefore);
    Command(ID_MARKER_REDO);
    EXPECT_NE(std::find(Events().begin(), Events().end(), moved), Events().end());
    EXPECT_DOUBLE_EQ(FirstStrideTime(FootSide::kRight), strideBefore);
    EXPECT_FALSE(
        m_frame->Video().Annotations()->m_markers.IsModified());  // events are no marker edit

    // A clinic's normal band goes behind the curves; a file that is no band is refused.
    const qsizetype curves = window.Plot()->Chart()->series().size();
    ASSERT_TRUE(kivra::test::WriteFile(m_files.File("normal.csv"), "Percent,Mean,SD\n0,150,5\n"));
    {
        MessageBoxCatcher boxes;
        EXPECT_FALSE(Tools().LoadReference({m_files.File("normal.csv"), "knee"}));
        EXPECT_EQ(boxes.Texts().size(), 1);
    }
    ASSERT_TRUE(kivra::test::WriteFile(m_files.File("normal.csv"),
                                       "Percent,Mean,SD\n0,150,5\n100,150,5\n"));
    ASSERT_TRUE(Tools().LoadReference(
        {m_files.File("normal.csv"), window.Plot()->ShownAngle().toStdString()}));
    ASSERT_TRUE(Tools().Analyse());
    EXPECT_EQ(window.Plot()->Chart()->series().size(), curves + 1);
    EXPECT_TRUE(window.Plot()->DeviationLabel()->text().contains(QStringLiteral("°")));

    // The report of what the window shows: A4 pages. Its stills leave the frame and the marker
    // ID as they were.
    CSetMarkerIDDlg* dialog = m_frame->MarkerIdDialog();
    dialog->IncrementRadio()->click();
    dialog->SetCurrentId(3);
    const int frame = m_frame->Cursor().Current();
    const std::string pdf = m_files.File("report 01.pdf");
    ASSERT_TRUE(Tools().WriteReport(pdf));
    EXPECT_EQ(dialog->CurrentId(), 3);
    EXPECT_EQ(m_frame->Cursor().Current(), frame);
    std::string info;
    ASSERT_TRUE(kivra::test::RunProgramOutput({"pdfinfo", pdf}, info));
    EXPECT_NE(info.find("Pages:           2"), std::string::npos) << info;
}

// Detect Again asks before edited events (edited now or read from the file) give way to
// detected ones, Enter answering No; taken, the file goes in the same undo step, and each undo
// and redo brings back the list, the label and the file together.
TEST_F(GaitWindowTest, DetectAgainAsksBeforeDroppingEditsAndUndoBringsListLabelAndFileBack) {
    OpenWithWindow();
    GaitWindow& window = *Tools().Window();
    const std::vector<GaitEvent> detected = Events();
    // What the user sees and what lies on disk: the list, the label's state, the file.
    const auto expectShown = [&](const std::vector<GaitEvent>& events, const std::string& file,
                                 const char* step) {
        EXPECT_EQ(Events(), events) << step;
        EXPECT_EQ(window.EventTable()->rowCount(), int(events.size())) << step;
        const bool edited = !file.empty();
        EXPECT_EQ(Tools().EventsEdited(), edited) << step;
        EXPECT_TRUE(window.StatusLabel()->text().contains(edited ? "(編集済み)" : "(自動検出)"))
            << step << " " << window.StatusLabel()->text().toStdString();
        EXPECT_EQ(fs::exists(KgaitPath()), edited) << step;
        if (edited) {
            EXPECT_EQ(ReadFile(KgaitPath()), file) << step;
        }
    };
    {
        MessageBoxCatcher boxes;  // detected events: nothing to ask, nothing written
        window.DetectButton()->click();
        EXPECT_TRUE(boxes.Texts().isEmpty());
    }
    expectShown(detected, "", "detected");

    const GaitEvent strike = First(FootSide::kRight, GaitEventKind::kHeelStrike);
    Select(strike);
    m_frame->ShowFrame(strike.frame + 2);
    window.MoveButton()->click();
    const std::vector<GaitEvent> edited = Events();
    ASSERT_NE(edited, detected);
    const std::string file = ReadFile(KgaitPath());
    ASSERT_FALSE(file.empty());

    QString question;
    {
        kivra::test::ModalScript script({[&question](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (box == nullptr) {
                return false;
            }
            question = box->text();
            QWidget* focus = box->focusWidget();
            QTest::keyClick(focus != nullptr ? focus : box, Qt::Key_Return);
            return true;
        }});
        window.DetectButton()->click();
        EXPECT_TRUE(script.Done());
    }
    EXPECT_TRUE(question.contains("置き換え")) << question.toStdString();
    expectShown(edited, file, "Enter on the question");
    {
        kivra::test::ModalScript script({kivra::test::Answer(QMessageBox::Yes)});
        window.DetectButton()->click();
        EXPECT_TRUE(script.Done());
    }
    expectShown(detected, "", "Yes");

    const struct {
        CommandId command;
        const std::vector<GaitEvent>& events;
        std::string file;
    } steps[] = {
        {ID_MARKER_UNDO, edited, file},  // the detection taken back
        {ID_MARKER_REDO, detected, ""},  // and made again
        {ID_MARKER_UNDO, edited, file},  // taken back again
        {ID_MARKER_UNDO, detected, ""},  // the move taken back
        {ID_MARKER_REDO, edited, file},  // and made again
    };
    for (const auto& step : steps) {
        Command(step.command);
        expectShown(step.events, step.file, step.command == ID_MARKER_UNDO ? "undo" : "redo");
    }

    // Events read back from the file are the user's too.
    Command(ID_FILE_NEW);
    Open(m_base + ".avi");
    Command(ID_MARKER_GAIT);
    ASSERT_EQ(Tools().Window(), &window);
    {
        MessageBoxCatcher boxes(QMessageBox::No);
        window.DetectButton()->click();
        EXPECT_EQ(boxes.Texts().size(), 1);
    }
    expectShown(edited, file, "No after reopening");
}

// The gait sample sets no trimming area, so its coordinate CSV (in the trimmed picture's
// pixels) is greyed out; the menu entry says why when the pointer rests on it.
TEST_F(GaitWindowTest, GreyedOutCoordinateCsvSaysWhyInItsMenu) {
    Open(m_base + ".avi");
    m_frame->UpdateCommandUI();
    QAction* csv = m_frame->Action(ID_MARKER_COORDINATE_OUTPUT);
    ASSERT_FALSE(csv->isEnabled());
    QMenu* menu = m_frame->Menu(kivra::WindowMenu::Marker);
    menu->popup(m_frame->mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    const QPoint at = menu->actionGeometry(csv).center();
    QHelpEvent hover(QEvent::ToolTip, at, menu->mapToGlobal(at));
    QApplication::sendEvent(menu, &hover);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_TRUE(QToolTip::text().contains("運動学出力")) << QToolTip::text().toStdString();
    menu->close();
}

// An added strike that breaks the walking pattern never turns into a stride: the window names
// the strides it leaves out, and the undo of the edit takes the note away with it.
TEST_F(GaitWindowTest, AStrikeInTheMiddleOfAStanceLeavesItsStridesOutWithTheReason) {
    OpenWithWindow();
    GaitWindow& window = *Tools().Window();
    const GaitEvent strike = First(FootSide::kRight, GaitEventKind::kHeelStrike);
    const QString stride = QStringLiteral("%1-%2").arg(strike.frame).arg(strike.frame + 12);
    EXPECT_FALSE(window.NotesLabel()->text().contains(stride));
    const std::size_t strides = Tools().Analysis()->parameters.strides.size();
    m_frame->ShowFrame(strike.frame + 12);  // still standing on it
    window.SideChoice()->setCurrentIndex(0);
    window.KindChoice()->setCurrentIndex(0);
    QTest::mouseClick(window.AddButton(), Qt::LeftButton);
    QCoreApplication::processEvents();
    const GaitParameters& p = Tools().Analysis()->parameters;
    ASSERT_EQ(p.leftOut.size(), 3u) << window.NotesLabel()->text().toStdString();
    EXPECT_EQ(p.strides.size(), strides - 2);
    EXPECT_FALSE(window.NotesLabel()->isHidden());
    const QString notes = window.NotesLabel()->text();
    EXPECT_TRUE(notes.contains(stride)) << notes.toStdString();
    Command(ID_MARKER_UNDO);
    EXPECT_TRUE(Tools().Analysis()->parameters.leftOut.empty());
    EXPECT_FALSE(window.NotesLabel()->text().contains(stride));
}

// The window follows what its numbers are built on without Detect Again: angles defined while it
// shows, and the band chosen last time, which the next start reads again.
TEST_F(GaitWindowTest, NewAnglesRefreshTheCurvesAndTheBandIsRememberedForTheNextStart) {
    OpenWithWindow();
    KinematicsSettings angles;
    angles.angles = {{"knee", 2, 3, 4}, {"hip", 1, 2, 3}};
    ASSERT_TRUE(m_frame->Kinematics()->StoreSettings(angles));
    ASSERT_EQ(Tools().Analysis()->cycles.size(), 2u);
    EXPECT_EQ(Tools().Analysis()->cycles[1].name, "hip");

    const std::string band = m_files.File("normal 膝.csv");
    ASSERT_TRUE(kivra::test::WriteFile(band, "Percent,Mean,SD\n0,10,5\n100,10,5\n"));
    ASSERT_TRUE(Tools().LoadReference({band, "knee"}));
    const std::vector<NormalBandChoice> stored = {{band, "knee"}};
    EXPECT_EQ(LoadGaitSetup(m_frame->Settings().IniPath()).bands, stored);
    GaitTools again(MakeKinematicsHost(*m_frame), *m_frame->Kinematics(), 99);
    ASSERT_EQ(again.Bands().size(), 1u);
    EXPECT_EQ(again.Bands()[0].angle, "knee");
    EXPECT_DOUBLE_EQ(again.Bands()[0].band.mean[50], 10.0);
}

TEST_F(GaitWindowTest, ReopenReadsTheEditedEventsMarksThemOnTheTimelineAndRefusesADamagedFile) {
    OpenWithWindow();
    const GaitEvent strike = First(FootSide::kRight, GaitEventKind::kHeelStrike);
    ASSERT_TRUE(Tools().MoveEvent(strike, strike.frame + 1));
    const std::vector<GaitEvent> edited = Events();

    Command(ID_FILE_NEW);
    EXPECT_TRUE(Events().empty());
    Open(m_base + ".avi");
    EXPECT_EQ(Events(), edited);
    EXPECT_TRUE(Tools().EventsEdited());

    // Each event on its frame: right above the range bar, left below it, in the side's colour.
    CSliderView* slider = m_frame->SliderView();
    const QImage strip = slider->grab().toImage();
    const int h = strip.height();
    const auto inkAt = [&](int frame, int y) {
        const int x = TimelineFrameToX(frame, slider->PixelsPerFrame());
        // Anywhere over the frame's own columns.
        for (int dx = 0; dx <= TimelineSpan(1.0, slider->PixelsPerFrame()); ++dx) {
            const QColor c = strip.pixelColor(x + dx, y);
            if (c.red() > 150 && c.green() < 100) {
                return QStringLiteral("red");
            }
            if (c.blue() > 150 && c.red() < 100) {
                return QStringLiteral("blue");
            }
        }
        return QString();
    };
    const GaitEvent right = First(FootSide::kRight, GaitEventKind::kToeOff);
    const GaitEvent left = First(FootSide::kLeft, GaitEventKind::kHeelStrike);
    EXPECT_EQ(inkAt(right.frame, h / 6), "red");
    EXPECT_EQ(inkAt(right.frame, h - h / 6), "");
    EXPECT_EQ(inkAt(left.frame, h - h / 6), "blue");
    EXPECT_EQ(inkAt(left.frame, h / 6), "");

    // A damaged file is refused with its reason and the events are detected again.
    ASSERT_TRUE(kivra::test::WriteFile(KgaitPath(), "kivra-gait 7\n"));
    Command(ID_FILE_NEW);
    {
        MessageBoxCatcher boxes;
        Open(m_base + ".avi");
        ASSERT_EQ(boxes.Texts().size(), 1);
        EXPECT_TRUE(boxes.Texts().front().contains(QStringLiteral("7")))
            << boxes.Texts().front().toStdString();
    }
    EXPECT_FALSE(Tools().EventsEdited());
    Command(ID_MARKER_GAIT);
    EXPECT_FALSE(Events().empty());
    EXPECT_EQ(ReadFile(KgaitPath()), "kivra-gait 7\n");  // left as it was until an edit
}

// Accepting the foot markers dialog keeps the feet in the open video's .kgait beside its edited
// events; opened again, the video takes its own feet over [Gait]'s, and without them [Gait]'s.
TEST_F(GaitWindowTest, AcceptedFootMarkersAreKeptInTheVideosKgaitAndWinWhenItIsOpened) {
    OpenWithWindow();
    const GaitEvent strike = First(FootSide::kRight, GaitEventKind::kHeelStrike);
    ASSERT_TRUE(Tools().MoveEvent(strike, strike.frame + 1));
    const std::vector<GaitEvent> edited = Events();
    {
        kivra::test::ModalScript user({[](QWidget* modal) {
            auto* d = qobject_cast<FootMarkersDlg*>(modal);
            if (d == nullptr) {
                return false;
            }
            d->FootBox(FootSide::kLeft)->setChecked(false);
            d->HeelEdit(FootSide::kRight)->setValue(7);
            d->ToeEdit(FootSide::kRight)->setValue(8);
            QAbstractButton* ok = d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
            QMetaObject::invokeMethod(
                ok, [ok] { QTest::mouseClick(ok, Qt::LeftButton); }, Qt::QueuedConnection);
            return true;
        }});
        Command(ID_MARKER_FOOT_MARKERS);
        EXPECT_TRUE(user.Done());
    }
    const FootRoles mine{FootMarkers{7, 8}, std::nullopt, 2};
    const GaitFileRead kept = ReadGaitFile(KgaitPath());
    EXPECT_EQ(kept.feet, mine);
    EXPECT_EQ(kept.events, edited);
    EXPECT_EQ(FootRoles::Of(Tools().Setup()), mine);

    // Other feet in [Gait] for the videos without their own.
    const GaitSetup others{FootMarkers{5, 6}, FootMarkers{7, 8}, 0, 0.0};
    Command(ID_FILE_NEW);
    ASSERT_TRUE(Tools().StoreSetup(others));
    Open(m_base + ".avi");
    EXPECT_EQ(FootRoles::Of(Tools().Setup()), mine);
    EXPECT_EQ(Events(), edited);
    {
        kivra::test::ModalScript user({kivra::test::Answer(QMessageBox::Yes)});
        EXPECT_TRUE(Tools().DetectAgain());
        EXPECT_TRUE(user.Done());
    }
    const GaitFileRead detected = ReadGaitFile(KgaitPath());  // the edits dropped, the feet kept
    EXPECT_EQ(detected.status, GaitFileRead::kMissing);
    EXPECT_EQ(detected.feet, mine);
    Command(ID_FILE_NEW);
    fs::remove(KgaitPath());
    Open(m_base + ".avi");
    EXPECT_EQ(Tools().Setup(), others);
}

// A damaged calibration file stops each kinematics and gait command of the window with the
// reason kivra-cli gives for the same file, and none of them writes anything; once the file is
// good again they run on it.
TEST_F(GaitWindowTest, DamagedCalibrationStopsEachCommandWithTheCommandLinesReason) {
    using kivra::test::ModalScript;
    const std::string kcal = m_base + ".kcal";
    const std::string good = ReadFile(kcal);
    ASSERT_TRUE(kivra::test::WriteFile(kcal, "kivra-calibration 1\nscale_mm_per_pixel twelve\n"));
    const std::string problem = ReadCalibrationFile(kcal).problem;
    ASSERT_FALSE(problem.empty());
    ASSERT_EQ(kivra::test::RunCliCommand(m_files, "kinematics",
                                         {m_base + ".avi", m_files.File("cli.csv")},
                                         {"LANG=ja_JP.UTF-8"}),  // the window's language
              1);
    EXPECT_NE(ReadFile(m_files.File("err.txt")).find(kcal + ": " + problem), std::string::npos)
        << ReadFile(m_files.File("err.txt"));
    const QString reason = QString::fromStdString("キャリブレーションファイルが壊れています。\n" +
                                                  kcal + "\n(" + problem + ")");
    {
        MessageBoxCatcher boxes;
        Open(m_base + ".avi");
        EXPECT_TRUE(boxes.Texts().empty()) << "the commands say it, not the open";
    }
    ASSERT_TRUE(Tools().StoreSetup({FootMarkers{5, 6}, FootMarkers{7, 8}, 2, 0.0}));

    const std::string csv = m_files.File("kinematics 01.csv");
    const std::string pdf = m_files.File("report 01.pdf");
    struct Case {
        const char* command;
        CommandId id;
        bool asksForFile;
    };
    for (const Case& c : {Case{"kinematics CSV", ID_MARKER_KINEMATICS_OUTPUT, true},
                          Case{"gait report", ID_MARKER_GAIT_REPORT, false}}) {
        QString told;
        std::deque<ModalScript::Step> steps;
        if (c.asksForFile) {
            steps.push_back(kivra::test::TypeName(QString::fromStdString(csv)));
        }
        steps.push_back(kivra::test::Answer(QMessageBox::Ok, &told));
        ModalScript user(std::move(steps));
        Command(c.id);
        EXPECT_TRUE(user.Done()) << c.command;
        EXPECT_EQ(told, reason) << c.command;
    }
    // The gait window says it in place of the analysis; detecting again says it in a box.
    Command(ID_MARKER_GAIT);
    ASSERT_NE(Tools().Window(), nullptr);
    EXPECT_EQ(Tools().Window()->StatusLabel()->text(), reason);
    EXPECT_FALSE(Tools().Analysis().has_value());
    {
        MessageBoxCatcher boxes;
        Tools().Window()->DetectButton()->click();
        EXPECT_EQ(boxes.Texts(), QStringList{reason});
    }
    EXPECT_TRUE(Events().empty());
    EXPECT_FALSE(fs::exists(csv));
    EXPECT_FALSE(fs::exists(pdf));

    ASSERT_TRUE(kivra::test::WriteFile(kcal, good));
    ASSERT_TRUE(Tools().Analyse());
    EXPECT_FALSE(Events().empty());
    EXPECT_TRUE(m_frame->Kinematics()->ExportKinematics(csv));
    EXPECT_TRUE(fs::exists(csv));
}

// The report asks for the patient and visit first, filled from the video's .kvisit: OK keeps
// what was typed there for the next time, Cancel writes no report. The gait window's button
// edits them alone; a leg length that is no length keeps the dialog open.
TEST_F(GaitWindowTest, ReportHeaderIsTypedOnceAndKeptBesideTheVideo) {
    OpenWithWindow();
    const std::string kvisit = m_base + ".kvisit";
    using kivra::test::ModalScript;
    const auto onHeader = [](std::function<void(ReportHeaderDlg&)> act) -> ModalScript::Step {
        return [act](QWidget* modal) {
            auto* dialog = qobject_cast<ReportHeaderDlg*>(modal);
            if (dialog != nullptr) {
                act(*dialog);
            }
            return dialog != nullptr;
        };
    };
    const auto press = [](ReportHeaderDlg& d, QDialogButtonBox::StandardButton which) {
        QAbstractButton* button = d.findChild<QDialogButtonBox*>()->button(which);
        QMetaObject::invokeMethod(
            button, [button] { QTest::mouseClick(button, Qt::LeftButton); }, Qt::QueuedConnection);
    };
    const ReportHeader typed{"  ID 42 'Ö' $x; ",  "1950-04-01", "2024-05-01", "検査 花子", "装具",
                             "右膝術後\n-杖なし", 845.5};
    QString refused;
    {
        ModalScript user(
            {onHeader([&](ReportHeaderDlg& d) {
                 EXPECT_TRUE(d.PatientEdit()->text().isEmpty());
                 EXPECT_EQ(d.VisitEdit()->text(), QDate::currentDate().toString(Qt::ISODate));
                 d.PatientEdit()->setText(QString::fromStdString(typed.patient));
                 QTest::keyClicks(d.BirthEdit(), QStringLiteral("1950-04-01"));
                 d.VisitEdit()->setText(QStringLiteral("2024-05-01"));
                 d.ExaminerEdit()->setText(QStringLiteral("検査 花子"));
                 d.ConditionChoice()->setCurrentIndex(2);
                 d.CommentEdit()->setPlainText(QStringLiteral("右膝術後\n-杖なし"));
                 d.LegLengthEdit()->setText(QStringLiteral("0"));
                 press(d, QDialogButtonBox::Ok);
             }),
             kivra::test::Answer(QMessageBox::Ok, &refused), onHeader([&](ReportHeaderDlg& d) {
                 d.LegLengthEdit()->setText(QStringLiteral("８４５．５"));  // typed full-width
                 press(d, QDialogButtonBox::Ok);
             })});
        Tools().Window()->HeaderButton()->click();
        EXPECT_TRUE(user.Done());
    }
    EXPECT_TRUE(refused.contains(QStringLiteral("脚長"))) << refused.toStdString();
    const ReportHeaderRead saved = ReadReportHeader(kvisit);
    ASSERT_EQ(saved.status, ReportHeaderRead::kLoaded) << saved.problem;
    EXPECT_EQ(saved.header, typed);

    // Reopened for the report: the same values; Cancel there writes no report.
    const std::string pdf = m_files.File("report 02.pdf");
    for (const bool accept : {false, true}) {
        ReportHeader shown;
        std::deque<ModalScript::Step> steps = {onHeader([&](ReportHeaderDlg& d) {
            shown = {d.PatientEdit()->text().toStdString(),
                     d.BirthEdit()->text().toStdString(),
                     d.VisitEdit()->text().toStdString(),
                     d.ExaminerEdit()->text().toStdString(),
                     d.ConditionChoice()->currentText().toStdString(),
                     d.CommentEdit()->toPlainText().toStdString(),
                     ParseLegLength(d.LegLengthEdit()->text().toStdString())};
            press(d, accept ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel);
        })};
        if (accept) {
            steps.push_back(kivra::test::TypeName(QString::fromStdString(pdf)));
        }
        ModalScript user(std::move(steps));
        Command(ID_MARKER_GAIT_REPORT);
        EXPECT_TRUE(user.Done());
        EXPECT_EQ(shown, typed);
        EXPECT_EQ(fs::exists(pdf), accept);
    }
    EXPECT_EQ(ReadReportHeader(kvisit).header, typed);
}

}  // namespace
