// The gait sample's analysis in the window's cycle plot, and its report: a PDF of A4 pages
// that poppler reads, with the table and the stills on its first page and a page of curves,
// written in one step.
#include <gtest/gtest.h>

#include <QChart>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QSpinBox>

#include <fstream>

#include "gait/foot_markers_dlg.h"
#include "gait/gait_cycle_plot.h"
#include "gait/gait_report.h"
#include "markers/lff_manager.h"
#include "reading/avi_video_stream.h"
#include "support/ffmpeg_tool.h"

namespace {

using namespace kivra;
using kivra::test::TempDir;

const std::string kGaitSample = std::string(KIVRA_BINARY_DIR) + "/sample/walker_gait";

// Share of the pixels in rect that are darker than light grey: text, lines and pictures.
double InkShare(const QImage& page, const QRect& rect) {
    int dark = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            dark += qGray(page.pixel(x, y)) < 200 ? 1 : 0;
        }
    }
    return double(dark) / (rect.width() * rect.height());
}

GaitAnalysis SampleAnalysis(std::vector<NamedAngle> angles) {
    CLFFManager store;
    store.LoadMarkers(kGaitSample + ".lff", 8);
    GaitAnalysisOptions options;
    options.setup.right = FootMarkers{5, 6};
    options.setup.left = FootMarkers{7, 8};
    options.angles = std::move(angles);
    return AnalyseGait(store, 0, 119, 30.0, options);
}

TEST(GaitCyclePlotTest, EachSideItsStridesAndACursorThatFollowsTheFrame) {
    const GaitAnalysis analysis = SampleAnalysis({{"knee", 2, 3, 4}, {"hip", 1, 2, 3}});
    ASSERT_TRUE(analysis.error.empty()) << analysis.error;
    GaitCyclePlot plot;
    plot.SetAnalysis(analysis, std::nullopt);
    EXPECT_EQ(plot.ShownAngle(), "knee");
    // Right: SD band, two strides, mean; left: band, three strides, mean; a stance line and a
    // cursor per side.
    EXPECT_EQ(plot.Chart()->series().size(), 4 + 5 + 4);
    plot.SetCurrentFrame(44);  // right stride 28-61; a left strike starts 44-77
    EXPECT_NEAR(*plot.CursorPercent(FootSide::kRight), 100.0 * 16 / 33, 1e-9);
    EXPECT_DOUBLE_EQ(*plot.CursorPercent(FootSide::kLeft), 0.0);
    plot.SetCurrentFrame(5);
    EXPECT_FALSE(plot.CursorPercent(FootSide::kRight));
    EXPECT_TRUE(plot.ShowAngle("hip"));
    EXPECT_FALSE(plot.ShowAngle("ankle"));
    EXPECT_EQ(plot.ShownAngle(), "hip");

    ReferenceBand band;
    band.mean.fill(150.0);
    band.sd.fill(5.0);
    plot.SetAnalysis(analysis, band);
    EXPECT_EQ(plot.ShownAngle(), "hip");  // the choice stays across a new analysis
    EXPECT_EQ(plot.Chart()->series().size(), 1 + 4 + 5 + 4);

    plot.SetAnalysis(SampleAnalysis({}), std::nullopt);
    EXPECT_TRUE(plot.Chart()->series().isEmpty());
}

// The dialog gives back what the user set; a choice that cannot work stays in the dialog.
TEST(FootMarkersDlgTest, OneFootOrBothPelvisAndFilterAndRefusals) {
    GaitSetup setup;
    setup.right = FootMarkers{5, 6};
    FootMarkersDlg dlg(setup, 10);
    QStringList messages;
    dlg.SetMessageSink([&](const QString& text) { messages << text; });
    EXPECT_TRUE(dlg.FootBox(FootSide::kRight)->isChecked());
    EXPECT_FALSE(dlg.FootBox(FootSide::kLeft)->isChecked());
    EXPECT_FALSE(dlg.PelvisEdit()->isEnabled());
    dlg.ToeEdit(FootSide::kRight)->setValue(5);
    dlg.accept();
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    dlg.ToeEdit(FootSide::kRight)->setValue(6);
    dlg.FootBox(FootSide::kRight)->setChecked(false);
    dlg.accept();
    EXPECT_EQ(messages.size(), 2);  // no foot at all
    dlg.FootBox(FootSide::kLeft)->setChecked(true);
    dlg.HeelEdit(FootSide::kLeft)->setValue(7);
    dlg.ToeEdit(FootSide::kLeft)->setValue(8);
    dlg.PelvisCheck()->setChecked(true);
    EXPECT_TRUE(dlg.PelvisEdit()->isEnabled());
    dlg.PelvisEdit()->setValue(2);
    dlg.FilterCheck()->setChecked(true);
    dlg.CutoffEdit()->setValue(8.0);
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    GaitSetup expected;
    expected.left = FootMarkers{7, 8};
    expected.pelvisId = 2;
    expected.filterHz = 8.0;
    EXPECT_EQ(dlg.Result(), expected);
    EXPECT_EQ(dlg.HeelEdit(FootSide::kRight)->maximum(), 10);
}

TEST(GaitReportTest, SamplePagesReadBackAndAFailedWriteKeepsTheOldFile) {
    CLFFManager store;
    ASSERT_EQ(store.LoadMarkers(kGaitSample + ".lff", 8), CLFFManager::kLoaded);
    GaitAnalysisOptions options;
    options.setup.right = FootMarkers{5, 6};
    options.setup.left = FootMarkers{7, 8};
    options.setup.pelvisId = 2;
    options.angles = {{"knee", 2, 3, 4}, {"hip", 1, 2, 3}};
    const CalibrationRead calibration = ReadCalibrationFile(kGaitSample + ".kcal");
    options.calibration = calibration.calibration;
    const GaitAnalysis analysis = AnalyseGait(store, 0, 119, 30.0, options);
    ASSERT_TRUE(analysis.error.empty()) << analysis.error;

    GaitReportInput input;
    input.videoName = QStringLiteral("walker_gait.avi");
    input.made = QDateTime(QDate(2026, 12, 8), QTime(10, 30));
    input.analysis = &analysis;
    CAviVideoStream stream(kGaitSample + ".avi");
    ASSERT_EQ(stream.OpenStream(), CAviVideoStream::kOpened);
    const auto frames = ReportStillFrames(analysis);
    ASSERT_EQ(frames.size(), 2u);
    for (const auto& [side, frame] : frames) {
        stream.LoadFrame(frame);
        ReportStill still{PictureOfDib(stream.DisplayBitmap()), {}, frame, side};
        std::vector<T_DRAW_MARKER> markers;
        store.GetFrameMarkers(frame, markers);
        for (const T_DRAW_MARKER& m : markers) {
            still.markers.push_back({m.x, m.y});
        }
        ASSERT_FALSE(still.picture.isNull());
        EXPECT_EQ(still.picture.size(), QSize(1280, 720));
        input.stills.push_back(still);
    }

    TempDir dir("kivra-report 歩行 $x;");
    const std::string pdf = dir.File("-report 01.pdf");
    ASSERT_EQ(WriteGaitReport(QString::fromStdString(pdf), input), std::nullopt);
    std::string info;
    ASSERT_TRUE(test::RunProgramOutput({"pdfinfo", pdf}, info));
    EXPECT_NE(info.find("Pages:           2"), std::string::npos) << info;
    EXPECT_NE(info.find("595 x 842 pts (A4)"), std::string::npos) << info;
    ASSERT_TRUE(test::RunProgram({"pdftoppm", "-r", "40", "-png", pdf, dir.File("page")}));
    const QImage first(QString::fromStdString(dir.File("page-1.png")));
    const QImage second(QString::fromStdString(dir.File("page-2.png")));
    ASSERT_FALSE(first.isNull());
    ASSERT_FALSE(second.isNull());
    // The table fills the upper half of page one, the stills its lower part; page two holds
    // the two rows of curves.
    const int w = first.width();
    const int h = first.height();
    EXPECT_GT(InkShare(first, QRect(w / 10, h / 6, w * 8 / 10, h / 4)), 0.02);
    EXPECT_GT(InkShare(first, QRect(w / 10, h * 7 / 10, w * 8 / 10, h / 8)), 0.2);
    EXPECT_GT(InkShare(second, QRect(w / 10, h / 10, w * 8 / 10, h / 2)), 0.02);
    EXPECT_LT(InkShare(second, QRect(w / 10, h * 3 / 4, w * 8 / 10, h / 6)), 0.01);

    // A report that cannot be written leaves the one before it as it was.
    const auto before = test::ReadFile(pdf);
    input.analysis = nullptr;
    EXPECT_NE(WriteGaitReport(QString::fromStdString(pdf), input), std::nullopt);
    input.analysis = &analysis;
    EXPECT_NE(WriteGaitReport(QString::fromStdString(dir.File("missing/r.pdf")), input),
              std::nullopt);
    EXPECT_EQ(test::ReadFile(pdf), before);
}

}  // namespace
