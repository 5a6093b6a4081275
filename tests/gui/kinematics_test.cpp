// The kinematics tools as the user meets them: the plot window's current-frame line and
// clicks, saving the plot, the plot following stepping and playback in the main window, the
// angles kept in Kivra.ini, the calibration file read for each run, and the whole path on the
// sample walker: joints clicked on their true positions, the calibration bar clicked and its
// length typed, the knee angle and the bar's length compared with the truth.
#include <gtest/gtest.h>

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <array>
#include <cmath>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

#include "kinematics/angles_dlg.h"
#include "kinematics/calibration_dlg.h"
#include "kinematics/kinematics_commands.h"
#include "kinematics/kinematics_plot.h"
#include "markers/lff_manager.h"
#include "markers/set_marker_id_dlg.h"
#include "platform/path_util.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "settings/inifile_manager.h"
#include "support/app_fixture.h"
#include "support/walker_truth.h"

namespace {

using kivra::ImagePoint;
using kivra::test::MessageBoxCatcher;
using kivra::test::ReadFile;
using kivra::test::WriteFile;

constexpr int kJoints = kivra::test::kWalkerJoints;

struct Bar {
    ImagePoint first, second;
    double lengthMm = 0;
};

Bar ReadBar() {
    std::ifstream in(std::string(KIVRA_BINARY_DIR) + "/sample/walker_calibration.csv");
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "object,x1,y1,x2,y2,length_mm");
    std::getline(in, line);
    std::istringstream row(line);
    std::string name, v[5];
    std::getline(row, name, ',');
    for (std::string& field : v) {
        std::getline(row, field, ',');
    }
    EXPECT_EQ(name, "bar");
    return {
        {std::stod(v[0]), std::stod(v[1])}, {std::stod(v[2]), std::stod(v[3])}, std::stod(v[4])};
}

// The angle at b between a and c, the schoolbook way.
double TruthAngle(ImagePoint a, ImagePoint b, ImagePoint c) {
    const double ux = a.x - b.x, uy = a.y - b.y, vx = c.x - b.x, vy = c.y - b.y;
    const double cosine = (ux * vx + uy * vy) / (std::hypot(ux, uy) * std::hypot(vx, vy));
    return std::acos(std::clamp(cosine, -1.0, 1.0)) * 180.0 / M_PI;
}

// The viewport point where the chart draws the series' point (x, y).
QPoint ViewportPointOf(const CKinematicsPlotWnd& plot, QAbstractSeries* series, QPointF value) {
    const QPointF inChart = plot.Chart()->mapToPosition(value, series);
    return plot.ChartView()->mapFromScene(plot.Chart()->mapToScene(inChart));
}

// ---- the plot window on its own --------------------------------------------------------------

class PlotWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Three markers over frames 0-59 at 30 fps; ID 2 misses frames 20-24.
        m_store.LoadMarkers("", 3);
        for (int f = 0; f < 60; ++f) {
            m_store.SetMarker(0, f, 100.0 + f, 100.0);
            if (f < 20 || f > 24) {
                m_store.SetMarker(1, f, 100.0, 200.0);
            }
            m_store.SetMarker(2, f, 200.0, 200.0 + f);
        }
        kivra::KinematicsOptions options;
        options.angles = {{"knee", 1, 2, 3}};
        options.imageHeight = 480;
        m_table = *kivra::BuildKinematics(m_store, 0, 59, 30.0, options).table;
        m_plot.SetTable(m_table, 0, 59);
        m_plot.resize(900, 500);
        m_plot.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_plot));
        QCoreApplication::processEvents();
    }
    // The knee's series that holds frame f's point.
    QLineSeries* KneeSeriesAt(int f) {
        for (QAbstractSeries* s : m_plot.Chart()->series()) {
            auto* line = qobject_cast<QLineSeries*>(s);
            if (line != nullptr && line->name() == QStringLiteral("knee") && line->count() > 0 &&
                line->at(0).x() <= f / 30.0 + 1e-9 &&
                line->at(line->count() - 1).x() >= f / 30.0 - 1e-9) {
                return line;
            }
        }
        return nullptr;
    }

    CLFFManager m_store;
    kivra::KinematicsTable m_table;
    CKinematicsPlotWnd m_plot;
};

TEST_F(PlotWindowTest, LineStandsAtTheCurrentFrameAndAClickAsksForTheFrameUnderIt) {
    // At first the angles are shown; the gap of ID 2 splits the knee into two stretches.
    EXPECT_EQ(m_plot.Chosen(), (std::set<QString>{QStringLiteral("knee")}));
    ASSERT_NE(KneeSeriesAt(10), nullptr);
    ASSERT_NE(KneeSeriesAt(40), nullptr);
    EXPECT_NE(KneeSeriesAt(10), KneeSeriesAt(40));
    EXPECT_EQ(KneeSeriesAt(22), nullptr);

    EXPECT_FALSE(m_plot.CurrentFrameLineX());  // no frame shown yet
    for (const int f : {10, 40}) {
        m_plot.SetCurrentFrame(f);
        QCoreApplication::processEvents();
        const auto x = m_plot.CurrentFrameLineX();
        ASSERT_TRUE(x) << f;
        const double angle = *m_table.angles[0].degrees[size_t(f)];
        const QPoint drawn = ViewportPointOf(m_plot, KneeSeriesAt(f), {f / 30.0, angle});
        EXPECT_NEAR(*x, drawn.x(), 1.0) << "the line stands where frame " << f << " is drawn";
    }

    QSignalSpy asked(&m_plot, &CKinematicsPlotWnd::frameRequested);
    const double angle = *m_table.angles[0].degrees[33];
    QTest::mouseClick(m_plot.ChartView()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      ViewportPointOf(m_plot, KneeSeriesAt(33), {33 / 30.0, angle}));
    ASSERT_EQ(asked.count(), 1);
    EXPECT_EQ(asked.at(0).at(0).toInt(), 33);
    QTest::mouseClick(m_plot.ChartView()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    EXPECT_EQ(asked.count(), 1) << "outside the plot area nothing is asked";

    // Showing a marker adds its x and y.
    m_plot.Choose(QStringLiteral("M01"), true);
    QStringList names;
    for (QAbstractSeries* s : m_plot.Chart()->series()) {
        names << s->name();
    }
    EXPECT_TRUE(names.contains(QStringLiteral("M01 x")) && names.contains(QStringLiteral("M01 y")));
}

TEST_F(PlotWindowTest, SavesAsPngOrSvgAndAFailedSaveLeavesNothing) {
    kivra::test::TempDir dir("kivra plot 'ü' $x;");
    const QString png = QString::fromStdString(dir.File("-plot 1.png"));
    const QString svg = QString::fromStdString(dir.File("-plot 1.SVG"));
    ASSERT_TRUE(m_plot.SaveImage(png));
    ASSERT_TRUE(m_plot.SaveImage(svg));
    const QImage image(png, "PNG");
    EXPECT_EQ(image.size(), m_plot.ChartView()->size() * m_plot.devicePixelRatio());
    const std::string text = ReadFile(svg.toStdString());
    EXPECT_NE(text.find("<svg"), std::string::npos);
    EXPECT_NE(text.find("</svg>"), std::string::npos);
    EXPECT_FALSE(m_plot.SaveImage(QString::fromStdString(dir.File("missing/plot.png"))));
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"-plot 1.SVG", "-plot 1.png"}));
}

// ---- in the main window ----------------------------------------------------------------------

class KinematicsAppTest : public kivra::test::AppFixture {
protected:
    CAviVideoStream& Stream() { return *m_frame->Stream(); }
    int Current() { return m_frame->Cursor().Current(); }
    CKinematicsCommands& Kinematics() { return *m_frame->Kinematics(); }
    QAction* Act(kivra::CommandId id) {
        m_frame->UpdateCommandUI();
        return m_frame->Action(id);
    }
    // The true joints as markers 1-4 of every frame, in the sample's marker file.
    void StoreTruthMarkers() {
        CLFFManager markers;
        markers.LoadMarkers("", 100);
        for (const auto& [f, joints] : kivra::test::ReadWalkerTruth()) {
            for (int j = 0; j < kJoints; ++j) {
                markers.SetMarker(j, f, joints[size_t(j)].x, joints[size_t(j)].y);
            }
        }
        ASSERT_TRUE(markers.SaveMarkers(kivra::ReplaceExtension(m_sample, ".lff"), 0, 0, 1));
    }
    // The picture's place changes with the view mode only; painting once per mode keeps
    // hundreds of clicks quick.
    QPoint ViewPointOf(ImagePoint p) {
        if (m_paintedMode != m_frame->Session().GetViewMode()) {
            kivra::test::PaintArrived(*m_view);
            m_paintedMode = m_frame->Session().GetViewMode();
        }
        const auto v = m_view->ImageToView(p, m_view->ImageRect(), m_frame->Session().GetViewMode(),
                                           Current());
        EXPECT_TRUE(v.has_value());
        return v ? QPoint(v->x, v->y) : QPoint();
    }
    kivra::ViewMode m_paintedMode = kivra::kNoVideo;

    size_t MarkerCount() {
        const CLFFManager& markers = m_frame->Video().Annotations()->m_markers;
        size_t count = 0;
        for (int row = 0; row < markers.GetRowCount(); ++row) {
            count += markers.Row(row).size();
        }
        return count;
    }
    void Click(QPoint p) {
        QTest::mouseMove(m_view, p);
        QTest::mouseClick(m_view, Qt::LeftButton, Qt::NoModifier, p);
        QCoreApplication::processEvents();
    }
};

TEST_F(KinematicsAppTest, PlotFollowsSteppingAndPlaybackAndItsClickShowsThatFrame) {
    StoreTruthMarkers();
    m_frame->resize(1000, 700);
    m_frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame));
    EXPECT_FALSE(Act(kivra::ID_MARKER_PLOT)->isEnabled());  // no video yet
    Open(m_sample);
    ASSERT_TRUE(Kinematics().StoreSettings({{{"knee", 2, 3, 4}}, 0.0}));
    Act(kivra::ID_MARKER_PLOT)->trigger();
    CKinematicsPlotWnd* plot = Kinematics().PlotWindow();
    ASSERT_NE(plot, nullptr);
    ASSERT_TRUE(plot->isVisible());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(plot));
    EXPECT_EQ(plot->CurrentFrame(), 0);

    Act(kivra::ID_MOVIE_NEXT)->trigger();
    Act(kivra::ID_MOVIE_NEXT)->trigger();
    EXPECT_EQ(plot->CurrentFrame(), 2);
    QCoreApplication::processEvents();
    ASSERT_TRUE(plot->CurrentFrameLineX());
    EXPECT_NEAR(*plot->CurrentFrameLineX(), plot->ViewportPointOfFrame(2)->x(), 1.0);

    ControlPlayClock();
    Act(kivra::ID_MOVIE_PLAY)->trigger();
    m_tick += 350;
    ASSERT_TRUE(WaitWhileAt(2));
    EXPECT_EQ(plot->CurrentFrame(), Current()) << "the line follows playback";
    Act(kivra::ID_MOVIE_STOP)->trigger();

    const QPoint at = *plot->ViewportPointOfFrame(77);
    QTest::mouseClick(plot->ChartView()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QCoreApplication::processEvents();
    EXPECT_EQ(Current(), 77);
    EXPECT_EQ(plot->CurrentFrame(), 77);

    // A moved marker reaches the plot without asking.
    ASSERT_TRUE(m_frame->Session().SetMarker(3, 77, 0.0, 0.0));
    const kivra::KinematicsResult now = Kinematics().Compute();
    ASSERT_TRUE(now.table);
    bool found = false;
    for (QAbstractSeries* s : plot->Chart()->series()) {
        for (const QPointF& p : qobject_cast<QLineSeries*>(s)->points()) {
            if (std::abs(p.x() - 77 / 30.0) < 1e-9) {
                found = true;
                EXPECT_NEAR(p.y(), *now.table->angles[0].degrees[77], 1e-9);
            }
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(KinematicsAppTest, AnglesDialogKeepsTheAnglesAndTheFilterInKivraIni) {
    QStringList told;
    bool driven = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CAnglesDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->SetMessageSink([&](const QString& text) { told << text; });
        QTest::mouseClick(dialog->AddButton(), Qt::LeftButton);
        QTest::mouseClick(dialog->AddButton(), Qt::LeftButton);
        QTableWidget* table = dialog->Table();
        ASSERT_EQ(table->rowCount(), 2);
        const auto setRow = [table](int row, const QString& name, std::array<int, 3> ids) {
            table->item(row, 0)->setText(name);
            for (int c = 0; c < 3; ++c) {
                auto* spin = qobject_cast<QSpinBox*>(table->cellWidget(row, c + 1));
                spin->selectAll();
                QTest::keyClicks(spin, QString::number(ids[size_t(c)]));
            }
        };
        setRow(0, QStringLiteral("knee"), {2, 3, 4});
        setRow(1, QStringLiteral("knee"), {1, 2, 3});
        dialog->accept();  // the same name twice: refused, the dialog stays
        EXPECT_TRUE(dialog->isVisible());
        setRow(1, QStringLiteral("股関節"), {1, 2, 3});
        QTest::mouseClick(dialog->FilterCheck(), Qt::LeftButton);
        dialog->CutoffEdit()->selectAll();
        QTest::keyClicks(dialog->CutoffEdit(), QStringLiteral("8"));
        dialog->accept();
        driven = true;
    });
    Act(kivra::ID_MARKER_ANGLES)->trigger();
    ASSERT_TRUE(driven);
    ASSERT_EQ(told.size(), 1);
    const kivra::KinematicsSettings expected{{{"knee", 2, 3, 4}, {"股関節", 1, 2, 3}}, 8.0};
    EXPECT_EQ(Kinematics().Settings(), expected);
    const std::string ini = m_frame->Settings().IniPath();
    EXPECT_NE(ReadFile(ini).find("Angle2=股関節=1,2,3"), std::string::npos) << ReadFile(ini);
    StartAgain();
    EXPECT_EQ(Kinematics().Settings(), expected);
    EXPECT_NE(ReadFile(ini).find("FilterHz=8.000"), std::string::npos) << "kept past the exit";
}

// Clinical joints typed into the angles dialog (maxId 10): right rows give the joints in the
// rows' order, a joint it was given keeps its ID past the bound, and a wrong row is named while
// the dialog stays open.
TEST(AnglesDialogTest, TypedJointRowsGiveTheClinicalAnglesAndAWrongRowIsNamed) {
    using S = kivra::LimbSide;
    using J = kivra::ClinicalJoint;
    struct Row {
        S side;
        J joint;
        std::array<QString, 3> ids;
    };
    struct Case {
        std::vector<Row> rows;
        std::vector<kivra::ClinicalAngle> joints;  // when accepted
        QString told;                              // a part of the message when refused
    };
    const kivra::ClinicalAngle given{S::kLeft, J::kHip, 0, 11, 12};
    const std::vector<Case> cases = {
        {{{S::kRight, J::kHip, {"", "5", "6"}},
          {S::kLeft, J::kKnee, {"7", "8", "9"}},
          {S::kLeft, J::kAnkle, {"８", " 9 ", "10"}},  // full-width, blanks
          {S::kRight, J::kHip, {"-", "2", "3"}}},
         {},
         "関節角度（臨床）の 5 行目 (右股関節): 2 行目と同じ関節です。"},
        {{{S::kRight, J::kHip, {"-", "5", "6"}},
          {S::kRight, J::kKnee, {"5", "6", "7"}},
          {S::kLeft, J::kAnkle, {"8", "9", "10"}}},
         {given,
          {S::kRight, J::kHip, 0, 5, 6},
          {S::kRight, J::kKnee, 5, 6, 7},
          {S::kLeft, J::kAnkle, 8, 9, 10}},
         {}},
        {{{S::kRight, J::kKnee, {"5", "x", "7"}}}, {}, "2 行目 (右膝関節): 膝のマーカ ID「x」"},
        {{{S::kRight, J::kKnee, {"-", "2", "3"}}}, {}, "股のマーカ ID「-」は番号ではありません"},
        {{{S::kLeft, J::kKnee, {"", "2", "3"}}}, {}, "股のマーカ ID を入れてください"},
        {{{S::kRight, J::kHip, {"-", "11", "2"}}}, {}, "股のマーカ ID 11 は 1〜10 の範囲"},
        {{{S::kLeft, J::kAnkle, {"0", "2", "3"}}}, {}, "膝のマーカ ID 0 は 1〜10 の範囲"},
        {{{S::kRight, J::kKnee, {"2", "3", "2"}}}, {}, "3つのマーカ ID は異なる番号に"},
    };
    for (const Case& c : cases) {
        kivra::KinematicsSettings settings;
        settings.joints = {given};
        CAnglesDlg dialog(settings, 10);
        QStringList told;
        dialog.SetMessageSink([&](const QString& text) { told << text; });
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        QTableWidget* table = dialog.JointTable();
        ASSERT_EQ(table->item(0, 2)->text(), "-");
        for (const Row& row : c.rows) {
            QTest::mouseClick(dialog.AddJointButton(), Qt::LeftButton);
            const int r = table->rowCount() - 1;
            const auto editorAt = [table, r](int column) {
                return qobject_cast<QLineEdit*>(
                    table->indexWidget(table->model()->index(r, column)));
            };
            for (const int column : {2, 3}) {  // "追加" opened the first ID to fill: left as it is
                if (QLineEdit* editor = editorAt(column)) {
                    QTest::keyClick(editor, Qt::Key_Escape);
                }
            }
            for (const auto& [column, value] : {std::pair{0, int(row.side)}, {1, int(row.joint)}}) {
                auto* combo = qobject_cast<QComboBox*>(table->cellWidget(r, column));
                combo->setCurrentIndex(combo->findData(value));
            }
            for (int i = 0; i < 3; ++i) {
                table->editItem(table->item(r, 2 + i));
                QLineEdit* editor = editorAt(2 + i);
                ASSERT_NE(editor, nullptr);
                editor->selectAll();
                QTest::keyClick(editor, Qt::Key_Backspace);
                const QString& text = row.ids[size_t(i)];
                if (QString::fromLatin1(text.toLatin1()) == text) {
                    QTest::keyClicks(editor, text);
                } else {  // what the input method hands over
                    QInputMethodEvent input;
                    input.setCommitString(text);
                    QCoreApplication::sendEvent(editor, &input);
                }
                QTest::keyClick(editor, Qt::Key_Return);
                QCoreApplication::processEvents();  // the editor closes by a queued call
            }
        }
        // A row added and removed again leaves nothing behind.
        QTest::mouseClick(dialog.AddJointButton(), Qt::LeftButton);
        QTest::mouseClick(dialog.RemoveJointButton(), Qt::LeftButton);
        dialog.accept();
        if (c.told.isEmpty()) {
            EXPECT_TRUE(told.isEmpty()) << told.join('\n').toStdString();
            EXPECT_EQ(dialog.Result().joints, c.joints);
        } else {
            ASSERT_EQ(told.size(), 1) << c.told.toStdString();
            EXPECT_TRUE(told[0].contains(c.told)) << told[0].toStdString();
            EXPECT_TRUE(dialog.isVisible());
        }
    }
}

TEST_F(KinematicsAppTest, CalibrationFileIsReadForEachRunAndADamagedOneIsLeftAsItWas) {
    const std::string kcal = kivra::ReplaceExtension(m_sample, ".kcal");
    ASSERT_TRUE(kivra::WriteCalibrationFile(kcal, {4.5, kivra::ImagePoint{0, 700}, {}}));
    Open(m_sample);
    ASSERT_TRUE(Kinematics().CurrentCalibration());
    EXPECT_EQ(Kinematics().CurrentCalibration()->mmPerPixel, 4.5);

    WriteFile(kcal, "kivra-calibration 1\nscale_mm_per_pixel twelve\n");
    {
        MessageBoxCatcher catcher;
        Open(m_sample);
        EXPECT_TRUE(catcher.Texts().empty());  // the commands that need it say why they stop
    }
    EXPECT_FALSE(Kinematics().CurrentCalibration());
    EXPECT_TRUE(Kinematics().CalibrationForRun().problem.startsWith(
        QStringLiteral("キャリブレーションファイルが壊れて")));
    EXPECT_EQ(ReadFile(kcal), "kivra-calibration 1\nscale_mm_per_pixel twelve\n")
        << "kept as it was";
    Act(kivra::ID_FILE_NEW)->trigger();
    EXPECT_FALSE(Act(kivra::ID_MARKER_CALIBRATION)->isEnabled());
}

TEST_F(KinematicsAppTest, CsvOutputsRefuseTheVideosOwnFilesAndTablesPastTheLimit) {
    StoreTruthMarkers();
    const std::string lff = kivra::ReplaceExtension(m_sample, ".lff");
    const std::string kcal = kivra::ReplaceExtension(m_sample, ".kcal");
    ASSERT_TRUE(kivra::WriteCalibrationFile(kcal, {4.5, {}, {}}));
    Open(m_sample);
    ASSERT_TRUE(Kinematics().CanExport());
    const QString overwrite =
        QString::fromStdString(kivra::LoadString(kivra::kIdsOverwriteOpenFile));
    for (const std::string& own : {m_sample, lff, kcal}) {
        const std::string before = ReadFile(own);
        MessageBoxCatcher catcher;
        EXPECT_FALSE(Kinematics().ExportKinematics(own)) << own;
        EXPECT_FALSE(m_frame->Markers().ExportCoordinates(own)) << own;
        ASSERT_EQ(catcher.Texts().size(), 2) << own;
        EXPECT_EQ(catcher.Texts()[0], catcher.Texts()[1]);
        if (own == m_sample) {
            EXPECT_EQ(catcher.Texts()[0], overwrite);
        } else {
            EXPECT_NE(catcher.Texts()[0], overwrite);
        }
        EXPECT_EQ(ReadFile(own), before) << own;
    }

    // 90,000 IDs over the 120 frames: either table would pass the limit. Refused with a
    // message; the markers and the window stay.
    CLFFManager& markers = m_frame->Video().Annotations()->m_markers;
    markers.LoadMarkers("", 90000);
    for (int id = 1; id <= 90000; ++id) {
        markers.SetMarker(id - 1, id % 120, 10.0, 20.0);
    }
    const std::string csv = m_dir.File("big.csv");
    {
        MessageBoxCatcher catcher;
        EXPECT_FALSE(Kinematics().ExportKinematics(csv));
        EXPECT_FALSE(m_frame->Markers().ExportCoordinates(csv));
        ASSERT_EQ(catcher.Texts().size(), 2);
        EXPECT_TRUE(catcher.Texts()[0].contains(QStringLiteral("270000")))
            << catcher.Texts()[0].toStdString();
        EXPECT_TRUE(catcher.Texts()[1].contains(QStringLiteral("180000")))
            << catcher.Texts()[1].toStdString();
    }
    EXPECT_FALSE(std::filesystem::exists(csv));
    EXPECT_EQ(markers.Row(89999).size(), 1u);
    EXPECT_NE(m_frame->Stream(), nullptr);
}

// ---- the whole path on the walker --------------------------------------------------------------

TEST_F(KinematicsAppTest, WalkerKneeAngleFromClickedTruthAndTheBarLengthAfterCalibrating) {
    const auto truth = kivra::test::ReadWalkerTruth();
    const Bar bar = ReadBar();
    m_frame->resize(1600, 1400);
    m_frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame));
    m_frame->Session().SetAreaBoxHalfSize(0, 120);
    m_frame->Session().SetAreaBoxHalfSize(1, 120);
    m_frame->Settings().MarkerId().askToShowIdBar = false;
    Open(m_sample);
    const int last = Stream().GetEnd();

    // Areas around the walker on the first and the last frame.
    m_frame->Trimming().OnTrimmingArea();
    const auto around = [&](int f) {
        return ViewPointOf({truth.at(f)[1].x, (truth.at(f)[0].y + truth.at(f)[3].y) / 2});
    };
    Click(around(0));
    ASSERT_EQ(Current(), last);
    Click(around(last));
    ASSERT_TRUE(m_frame->Session().AreasSet());

    // Hip, knee and ankle (IDs 2-4) clicked on every frame, one pass per joint.
    m_frame->Markers().OnMarkerSetId();
    CSetMarkerIDDlg& dialog = *m_frame->MarkerIdDialog();
    QTest::mouseClick(dialog.SkipRadio(), Qt::LeftButton);
    dialog.SkipEdit()->selectAll();
    QTest::keyClicks(dialog.SkipEdit(), QStringLiteral("1"));
    for (int j = 1; j < kJoints; ++j) {
        m_frame->Playback().First();
        dialog.SetCurrentId(j + 1);
        for (int f = 0; f <= last; ++f) {
            ASSERT_EQ(Current(), f);
            Click(ViewPointOf(truth.at(f)[size_t(j)]));
        }
    }
    m_frame->Markers().OnMarkerSetId();       // the ID dialog goes
    m_frame->Trimming().OnTrimmingPreview();  // back to the whole picture

    const size_t clickedMarkers = MarkerCount();
    EXPECT_EQ(clickedMarkers, size_t(3 * (last + 1)));

    // Calibration: the bar's two ends, its length typed, then its left end as the origin.
    Act(kivra::ID_MARKER_CALIBRATION)->trigger();
    CCalibrationDlg* calibration = Kinematics().CalibrationDialog();
    ASSERT_NE(calibration, nullptr);
    ASSERT_TRUE(calibration->isVisible());
    Click(ViewPointOf(bar.first));
    Click(ViewPointOf(bar.second));
    Click(ViewPointOf(bar.first));
    ASSERT_EQ(calibration->Points().size(), 3u);
    EXPECT_EQ(MarkerCount(), clickedMarkers) << "calibration clicks place no marker";
    calibration->LengthEdit()->selectAll();
    QTest::keyClicks(calibration->LengthEdit(), QString::number(bar.lengthMm));
    QTest::mouseClick(calibration->OkButton(), Qt::LeftButton);
    ASSERT_FALSE(calibration->isVisible());
    EXPECT_EQ(m_frame->statusBar()->currentMessage(),
              QStringLiteral("キャリブレーションを保存しました: ") +
                  QString::fromStdString(kivra::ReplaceExtension(m_sample, ".kcal")));
    const kivra::CalibrationRead stored =
        kivra::ReadCalibrationFile(kivra::ReplaceExtension(m_sample, ".kcal"));
    ASSERT_EQ(stored.status, kivra::CalibrationRead::kLoaded);
    const double barPixels = std::hypot(bar.second.x - bar.first.x, bar.second.y - bar.first.y);
    const double barError =
        (stored.calibration.mmPerPixel * barPixels - bar.lengthMm) / bar.lengthMm;
    EXPECT_LT(std::abs(barError), 0.01);
    ASSERT_TRUE(stored.calibration.origin);
    EXPECT_NEAR(stored.calibration.origin->x, bar.first.x, 1.0);

    ASSERT_TRUE(Kinematics().StoreSettings({{{"knee", 2, 3, 4}}, 0.0}));
    const std::string csv = m_dir.File("walker kinematics.csv");
    ASSERT_TRUE(Kinematics().ExportKinematics(csv));
    const auto rows = kivra::test::CsvFields(kivra::test::ReadFile(csv));
    ASSERT_EQ(rows.size(), size_t(last + 2));
    ASSERT_EQ(rows[0].back(), "knee");
    ASSERT_EQ(rows[0][1], "M02_x");
    double worst = 0;
    for (int f = 0; f <= last; ++f) {
        const auto& j = truth.at(f);
        const double expected = TruthAngle(j[1], j[2], j[3]);
        const double knee = std::stod(rows[size_t(f) + 1].back());
        worst = std::max(worst, std::abs(knee - expected));
    }
    EXPECT_LT(worst, 0.5);
    // Millimetres from the bar's left end, y up: the hip stands about a metre above the floor.
    const double hipHeight = std::stod(rows[1][2]);
    EXPECT_NEAR(hipHeight, (bar.first.y - truth.at(0)[1].y) * bar.lengthMm / barPixels, 5.0);
    std::cout << "knee angle: worst error " << worst << " degrees over " << last + 1
              << " frames; calibration bar length error " << barError * 100 << " %\n";
}

}  // namespace
