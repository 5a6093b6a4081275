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
#include <regex>

#include "gait/foot_markers_dlg.h"
#include "gait/gait_cycle_plot.h"
#include "gait/gait_report.h"
#include "markers/lff_manager.h"
#include "reading/avi_video_stream.h"
#include "rendering/trimmed_picture.h"
#include "support/ffmpeg_tool.h"
#include "ui_translations.h"

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
    plot.SetAnalysis(analysis);
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

    // A band is drawn behind its own angle only: one for both sides once, one per side twice.
    ReferenceBand band;
    band.mean.fill(150.0);
    band.sd.fill(5.0);
    GaitAnalysis banded = analysis;
    banded.bands = {{"hip", "hip.csv", band}, {"knee_L", "knee.csv", band}};
    plot.SetAnalysis(banded);
    EXPECT_EQ(plot.ShownAngle(), "hip");  // the choice stays across a new analysis
    EXPECT_EQ(plot.Chart()->series().size(), 1 + 4 + 5 + 4);
    ASSERT_TRUE(plot.ShowAngle("knee"));
    EXPECT_EQ(plot.Chart()->series().size(), 1 + 4 + 5 + 4);
    banded.bands.push_back({"knee_R", "knee.csv", band});
    plot.SetAnalysis(banded);
    EXPECT_EQ(plot.Chart()->series().size(), 2 + 4 + 5 + 4);

    plot.SetAnalysis(SampleAnalysis({}));
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
    input.options = &options;
    CAviVideoStream stream(kGaitSample + ".avi");
    ASSERT_EQ(stream.OpenStream(), CAviVideoStream::kOpened);
    input.stills = ReportStills(analysis, &options, store, {}, [&](int frame) {
        stream.LoadFrame(frame);
        return &stream.DisplayBitmap();
    });
    ASSERT_EQ(input.stills.size(), 4u);  // a heel strike and a toe-off of each side
    for (const ReportStill& still : input.stills) {
        EXPECT_EQ(still.picture.size(), QSize(1280, 720));
    }
    EXPECT_EQ(input.stills[1].kind, GaitEventKind::kToeOff);
    EXPECT_EQ(input.stills[2].side, FootSide::kLeft);

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
    // Both pages used to their foot: page one from the header through the table and the
    // events, page two the stills and then the two rows of curves.
    const int w = first.width();
    const int h = first.height();
    EXPECT_GT(InkShare(first, QRect(w / 10, h / 2, w * 8 / 10, h / 4)), 0.02);
    EXPECT_GT(InkShare(first, QRect(w / 10, h * 5 / 6, w * 8 / 10, h / 20)), 0.02);
    EXPECT_GT(InkShare(second, QRect(w / 10, h / 10, w * 8 / 10, h / 3)), 0.2);
    EXPECT_GT(InkShare(second, QRect(w / 10, h * 5 / 6, w * 8 / 10, h / 20)), 0.02);

    // A report that cannot be written leaves the one before it as it was.
    const auto before = test::ReadFile(pdf);
    input.analysis = nullptr;
    EXPECT_NE(WriteGaitReport(QString::fromStdString(pdf), input), std::nullopt);
    input.analysis = &analysis;
    EXPECT_NE(WriteGaitReport(QString::fromStdString(dir.File("missing/r.pdf")), input),
              std::nullopt);
    EXPECT_EQ(test::ReadFile(pdf), before);
}

// What a clinic files: the header, metres, every event, the charts' titles and key and the band's
// file, read back from the PDF's text in either language.
TEST(GaitReportTest, HeaderUnitsEventsAndChartKeyReadBackInEitherLanguage) {
    CLFFManager store;
    ASSERT_EQ(store.LoadMarkers(kGaitSample + ".lff", 8), CLFFManager::kLoaded);
    GaitAnalysisOptions options;
    options.setup = {FootMarkers{5, 6}, FootMarkers{7, 8}, 2};
    options.angles = {{"knee", 2, 3, 4}, {"hip", 1, 2, 3}};
    options.calibration = ReadCalibrationFile(kGaitSample + ".kcal").calibration;
    ReferenceBand band;
    band.mean.fill(160.0);
    band.sd.fill(5.0);
    options.bands = {{"knee", "/clinic/bands/knee normal.csv", band}};
    const GaitAnalysis analysis = AnalyseGait(store, 0, 119, 30.0, options);
    ASSERT_TRUE(analysis.error.empty() && analysis.deviation.score) << analysis.error;
    GaitReportInput input;
    input.videoName = QStringLiteral("walker_gait.avi");
    input.header = {"山田 花子 ID-0042",       "1950-04-01", "2026-12-08", "Sato PT", "裸足",
                    "first line\nsecond line", 880.0};
    input.analysis = &analysis;
    input.options = &options;
    input.bands = analysis.bands;

    struct Case {
        UiLanguage language;
        std::vector<const char*> rows;  // stride length in metres, and over the leg length
        std::vector<std::string> words;
    };
    const Case cases[] = {
        {UiLanguage::Japanese,
         {"ストライド[^ ]+ +m +1\\.\\d\\d ±", "ストライド[^ ]+ / 脚[^ ]+ +[^ ]+ +1\\.\\d\\d ±"},
         {"歩行周期 [%]", "角度 [°]", "各ストライド", "正常範囲 (平均 ± SD)", "足尖離地 6",
          "無次元速度", "矢状面プロファイルスコア", "正常範囲からの RMS 偏差"}},
        {UiLanguage::English,
         {"Stride length +m +1\\.\\d\\d ±", "Stride length / leg length +[^ ]+ +1\\.\\d\\d ±"},
         {"Gait cycle [%]", "Angle [°]", "Strides", "Normal band (mean ± SD)", "Toe-off 6",
          "Dimensionless speed", "Sagittal profile score", "RMS deviation from the band"}}};
    TempDir dir("kivra-report-text");
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.language));
        UiTranslations language(c.language);
        language.InstallIntoApplication();
        const std::string pdf = dir.File("report.pdf");
        ASSERT_EQ(WriteGaitReport(QString::fromStdString(pdf), input), std::nullopt);
        std::string text;
        ASSERT_TRUE(test::RunProgramOutput({"pdftotext", "-layout", pdf, "-"}, text));
        // The font maps some ideographs back to their radicals' code points ("⾏" for "行").
        text = QString::fromStdString(text).normalized(QString::NormalizationForm_KC).toStdString();
        std::vector<std::string> words = c.words;
        words.insert(words.end(), {"山田 花子 ID-0042", "1950-04-01", "2026-12-08", "Sato PT",
                                   "裸足", "second line", "880", "m/s", "knee normal.csv"});
        for (const GaitEvent& e : analysis.events) {  // each event's row by its time
            words.push_back(QString::number(e.moment / 30.0, 'f', 3).toStdString());
        }
        for (const std::string& word : words) {
            EXPECT_NE(text.find(word), std::string::npos) << word;
        }
        for (const char* row : c.rows) {
            EXPECT_TRUE(std::regex_search(text, std::regex(row))) << row << "\n" << text;
        }
        EXPECT_EQ(text.find("/clinic/bands"), std::string::npos);  // the file's name only
    }

    // Without a calibration the lengths stay in pixels and say so, nothing is normalised, and
    // a comment longer than a page flows on to the next.
    GaitAnalysisOptions pixels = options;
    pixels.calibration.reset();
    const GaitAnalysis uncalibrated = AnalyseGait(store, 0, 119, 30.0, pixels);
    input.analysis = &uncalibrated;
    input.options = &pixels;
    for (int line = 1; line <= 80; ++line) {
        input.header.comment += "\nremark " + std::to_string(line);
    }
    const std::string pdf = dir.File("pixels.pdf");
    ASSERT_EQ(WriteGaitReport(QString::fromStdString(pdf), input), std::nullopt);
    std::string text;
    ASSERT_TRUE(test::RunProgramOutput({"pdftotext", "-layout", pdf, "-"}, text));
    for (const char* word : {"px/s", "ピクセル: キャリブレーションなし", "remark 80"}) {
        EXPECT_NE(text.find(word), std::string::npos) << word;
    }
    EXPECT_EQ(text.find("無次元速度"), std::string::npos);
}

// A still shows the face patch exactly as the trimmed movie renders it, and nothing else moved.
TEST(GaitReportTest, StillsCarryTheMoviesMosaicAndNameTheMarkers) {
    CLFFManager store;
    ASSERT_EQ(store.LoadMarkers(kGaitSample + ".lff", 8), CLFFManager::kLoaded);
    GaitAnalysisOptions options;
    options.setup = {FootMarkers{5, 6}, FootMarkers{7, 8}, 2};
    options.joints = {{LimbSide::kRight, ClinicalJoint::kKnee, 2, 3, 4}};
    const GaitAnalysis analysis = AnalyseGait(store, 0, 119, 30.0, options);
    ASSERT_TRUE(analysis.error.empty()) << analysis.error;
    // A portrait box over the walker on every frame, the head at its top.
    CTrimmingParam trims;
    for (int frame = 0; frame < 120; ++frame) {
        std::vector<T_DRAW_MARKER> placed;
        store.GetFrameMarkers(frame, placed);
        const int x = placed.empty() ? 0 : int(placed[0].x);
        const int y = placed.empty() ? 0 : int(placed[0].y);
        trims.Add(placed.empty() ? PixelRect{} : PixelRect{x - 150, y - 40, x + 150, y + 360});
    }
    const MovieMosaic mosaic{&trims, 1, 480, 640};
    CAviVideoStream stream(kGaitSample + ".avi");
    ASSERT_EQ(stream.OpenStream(), CAviVideoStream::kOpened);
    const auto decode = [&](int frame) {
        stream.LoadFrame(frame);
        return &stream.DisplayBitmap();
    };
    const auto plain = ReportStills(analysis, &options, store, {}, decode);
    const auto masked = ReportStills(analysis, &options, store, mosaic, decode);
    ASSERT_EQ(masked.size(), 4u);
    EXPECT_TRUE(masked[0].masked && !plain[0].masked);
    const ReportStill& still = masked[0];
    const auto& markers = still.markers;
    const auto role = [&](int id) {
        return std::find_if(markers.begin(), markers.end(), [id](auto& m) { return m.id == id; })
            ->role;
    };
    EXPECT_EQ(role(3).name, QStringLiteral("右膝"));
    EXPECT_EQ(role(3).side, FootSide::kRight);
    EXPECT_EQ(role(7).name, QStringLiteral("左踵"));
    EXPECT_EQ(role(2).name, QStringLiteral("骨盤"));  // the pelvis before the joint's hip
    EXPECT_TRUE(role(1).name.isEmpty());

    stream.LoadFrame(still.frame);
    TrimmedPictureRenderer movie;
    const PixelRect trim = trims.At(still.frame);
    movie.Render(&stream.DisplayBitmap(), trim, 480, 640, 1);
    const PixelRect patch = MosaicRect({0, 0, 480, 640}, 1);  // 480 x 640 stands for 300 x 400
    QRect changed;
    for (int y = 0; y < 720; ++y) {
        for (int x = 0; x < 1280; ++x) {
            if (still.picture.pixel(x, y) != plain[0].picture.pixel(x, y)) {
                changed |= QRect(x, y, 1, 1);
            }
        }
    }
    const QRect expected(trim.left + patch.left * 300 / 480, trim.top + patch.top * 400 / 640,
                         patch.Width() * 300 / 480, patch.Height() * 400 / 640);
    EXPECT_TRUE(expected.adjusted(-1, -1, 1, 1).contains(changed))
        << changed.x() << " " << changed.y();
    EXPECT_GT(changed.width() * changed.height(), expected.width() * expected.height() * 9 / 10);
    for (const QPoint at :
         {QPoint(patch.left + 5, patch.top + 5), QPoint(patch.right - 7, patch.bottom - 9)}) {
        const uint8_t* bgr = movie.Pixels() + at.y() * movie.Stride() + at.x() * 4;
        const QPoint source(trim.left + (at.x() * 300 + 150) / 480,
                            trim.top + (at.y() * 400 + 200) / 640);
        EXPECT_EQ(still.picture.pixel(source), qRgb(bgr[2], bgr[1], bgr[0]));
    }
}

}  // namespace
