// End to end against the sample's true joint positions: areas set with the mouse, markers
// clicked on the true positions through the real view and ID dialog, the CSV compared with the
// truth in output-picture pixels, then saved, reopened and compared again.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <array>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include "markers/set_marker_id_dlg.h"
#include "reading/avi_video_stream.h"
#include "settings/inifile_manager.h"
#include "support/app_fixture.h"
#include "support/walker_truth.h"

namespace {

using kivra::ImagePoint;

constexpr int kJoints = kivra::test::kWalkerJoints;
constexpr int kSkip = 5;

// CSV rows by time text: the numbers after "Time".
std::map<std::string, std::vector<std::string>> ReadCsv(const std::string& path) {
    std::map<std::string, std::vector<std::string>> rows;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> fields;
        std::istringstream row(line);
        std::string field;
        while (std::getline(row, field, ','))
            fields.push_back(field);
        rows[fields[0]] = std::vector<std::string>(fields.begin() + 1, fields.end());
    }
    return rows;
}

class GroundTruthTest : public kivra::test::AppFixture {
protected:
    CAviVideoStream& Stream() { return *m_frame->Stream(); }
    VideoAnnotations& Annotations() { return *m_frame->Video().Annotations(); }
    int Current() { return m_frame->Cursor().Current(); }

    // The view point of an image point on the current frame, as painted now.
    QPoint ViewPointOf(ImagePoint p) {
        kivra::test::PaintArrived(*m_view);
        const auto v = m_view->ImageToView(p, m_view->ImageRect(), m_frame->Session().GetViewMode(),
                                           Current());
        EXPECT_TRUE(v.has_value());
        return v ? QPoint(v->x, v->y) : QPoint();
    }
    void MoveTo(QPoint p) {
        QTest::mouseMove(m_view, p);
        QCoreApplication::processEvents();
    }
    void Click(QPoint p) {
        MoveTo(p);
        QTest::mouseClick(m_view, Qt::LeftButton, Qt::NoModifier, p);
        QCoreApplication::processEvents();
    }
    // Sets one area around the walker on the current frame.
    void SetAreaAround(const std::array<ImagePoint, kJoints>& joints) {
        const double centreY = (joints[0].y + joints[3].y) / 2.0;
        Click(ViewPointOf({joints[1].x, centreY}));
    }
    // One image pixel of the trimming rectangle of frame f in output pixels, per axis.
    std::pair<double, double> OutputPerImagePixel(int f) {
        const kivra::ViewRect r = Annotations().m_trimParam.At(f);
        const auto [w, h] = m_frame->Session().OutputSize();
        return {double(w) / r.Width(), double(h) / r.Height()};
    }
    ImagePoint ToOutput(ImagePoint p, int f) {
        const kivra::ViewRect r = Annotations().m_trimParam.At(f);
        const auto [sx, sy] = OutputPerImagePixel(f);
        return {(p.x - r.left) * sx, (p.y - r.top) * sy};
    }
    // Half a view pixel of the preview of frame f, in output pixels: what a click can miss by.
    std::pair<double, double> ClickBound(int f) {
        const kivra::ViewRect image = m_view->ImageRect();
        const auto [w, h] = m_frame->Session().OutputSize();
        (void)f;
        return {0.5 * w / image.Width() + 0.01, 0.5 * h / image.Height() + 0.01};
    }

    void CompareCsv(const std::string& csv,
                    const std::map<int, std::array<ImagePoint, kJoints>>& expected,
                    const std::map<int, std::pair<double, double>>& bounds) {
        const auto rows = ReadCsv(csv);
        ASSERT_EQ(rows.size(), expected.size());
        for (const auto& [f, joints] : expected) {
            char time[32];
            std::snprintf(time, sizeof time, "%.2f", f / Stream().GetFrameRate());
            ASSERT_TRUE(rows.count(time)) << "frame " << f;
            const std::vector<std::string>& fields = rows.at(time);
            ASSERT_EQ(fields.size(), size_t(2 * kJoints)) << "frame " << f;
            for (int j = 0; j < kJoints; ++j) {
                const ImagePoint want = ToOutput(joints[size_t(j)], f);
                const auto [bx, by] = bounds.at(f);
                // The CSV rounds to hundredths: add half of one.
                EXPECT_NEAR(std::stod(fields[size_t(2 * j)]), want.x, bx + 0.005)
                    << "frame " << f << " joint " << j;
                EXPECT_NEAR(std::stod(fields[size_t(2 * j + 1)]), want.y, by + 0.005)
                    << "frame " << f << " joint " << j;
            }
        }
    }
};

TEST_F(GroundTruthTest, ClickedJointsExportAsTheTruthInOutputPixels) {
    const auto truth = kivra::test::ReadWalkerTruth();
    ASSERT_EQ(truth.size(), 120u);
    m_frame->resize(1200, 800);
    m_frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame));
    // Boxes large enough for the whole figure; no toolbar question in the way.
    m_frame->Session().SetAreaBoxHalfSize(0, 120);
    m_frame->Session().SetAreaBoxHalfSize(1, 120);
    m_frame->Settings().MarkerId().askToShowIdBar = false;
    Open(m_sample);
    const int last = Stream().GetEnd();

    // Area 1 on the first frame, area 2 on the last one (the view jumps there by itself).
    m_frame->Trimming().OnTrimmingArea();
    ASSERT_EQ(m_frame->Session().GetViewMode(), kivra::kAreaMode);
    SetAreaAround(truth.at(0));
    ASSERT_EQ(Current(), last) << "area 1 set: the last frame is shown for area 2";
    SetAreaAround(truth.at(last));
    ASSERT_EQ(Current(), 0);
    ASSERT_EQ(m_frame->Session().GetViewMode(), kivra::kNormalMode);
    ASSERT_TRUE(m_frame->Session().AreasSet());
    ASSERT_EQ(Annotations().m_trimParam.GetSize(), last + 1);

    // The ID dialog in skip mode, five frames a click, one pass per joint.
    m_frame->Markers().OnMarkerSetId();
    CSetMarkerIDDlg& dialog = *m_frame->MarkerIdDialog();
    ASSERT_TRUE(dialog.isVisible());
    ASSERT_EQ(m_frame->Session().GetViewMode(), kivra::kPreviewMode);
    QTest::mouseClick(dialog.SkipRadio(), Qt::LeftButton);
    dialog.SkipEdit()->selectAll();
    QTest::keyClicks(dialog.SkipEdit(), QString::number(kSkip));
    ASSERT_EQ(m_frame->Settings().MarkerId().skipFrames, kSkip);

    std::map<int, std::array<ImagePoint, kJoints>> expected;
    std::map<int, std::pair<double, double>> bounds;
    std::vector<int> clicked;
    for (int j = 0; j < kJoints; ++j) {
        m_frame->Playback().First();
        dialog.SetCurrentId(j + 1);
        clicked.clear();
        for (;;) {
            const int f = Current();
            clicked.push_back(f);
            Click(ViewPointOf(truth.at(f)[size_t(j)]));
            if (f == last)
                break;
            ASSERT_EQ(Current(), std::min(last, f + kSkip));
        }
        // Between two clicks the program fills in a straight line: that is what the CSV must
        // hold, within what the clicks themselves can miss by.
        for (size_t c = 0; c + 1 < clicked.size(); ++c) {
            const int a = clicked[c], b = clicked[c + 1];
            for (int f = a; f <= b; ++f) {
                const double t = double(f - a) / double(b - a);
                const ImagePoint pa = truth.at(a)[size_t(j)], pb = truth.at(b)[size_t(j)];
                expected[f][size_t(j)] = {pa.x + t * (pb.x - pa.x), pa.y + t * (pb.y - pa.y)};
            }
        }
    }
    for (int f = 0; f <= last; ++f)
        bounds[f] = ClickBound(f);

    const std::string csv = m_dir.File("trial 01.csv");
    ASSERT_TRUE(m_frame->Markers().ExportCoordinates(csv));
    CompareCsv(csv, expected, bounds);
    // Clicked frames hold the truth itself.
    EXPECT_EQ(clicked.front(), 0);

    // Increment mode on a few frames: IDs 1 to 4 in order on one frame, then the next.
    dialog.IncrementRadio()->click();
    ASSERT_EQ(m_frame->Settings().MarkerId().mode, kivra::MarkerIdMode::kIncrement);
    for (const int f : {33, 34, 77}) {
        m_frame->Playback().ShowFrame(f);
        ASSERT_EQ(dialog.CurrentId(), 1) << "a new frame starts again at ID 1";
        for (int j = 0; j < kJoints; ++j) {
            Click(ViewPointOf(truth.at(f)[size_t(j)]));
            expected[f][size_t(j)] = truth.at(f)[size_t(j)];
        }
        EXPECT_EQ(dialog.CurrentId(), kJoints + 1);
    }
    const std::string csv2 = m_dir.File("trial 01 again.csv");
    ASSERT_TRUE(m_frame->Markers().ExportCoordinates(csv2));
    CompareCsv(csv2, expected, bounds);

    // Saved, reopened: the same markers, areas and range give the same CSV.
    ASSERT_TRUE(m_frame->Markers().OnMarkerSave());
    m_frame->Markers().OnMarkerSetId();  // hide the dialog before reopening
    Open(m_sample);
    ASSERT_TRUE(m_frame->Session().AreasSet());
    const std::string csv3 = m_dir.File("reopened.csv");
    ASSERT_TRUE(m_frame->Markers().ExportCoordinates(csv3));
    std::ifstream a(csv2, std::ios::binary), b(csv3, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(a), {}),
              std::string(std::istreambuf_iterator<char>(b), {}));
}

}  // namespace

namespace {

// Closing with changed markers asks first: Cancel keeps everything, Yes saves, No discards.
class CloseQuestionTest : public kivra::test::AppFixture {};

TEST_F(CloseQuestionTest, CloseAsksAboutChangedMarkers) {
    Open(m_sample);
    CAviVideoStream* stream = m_frame->Stream();
    m_frame->Video().Annotations()->m_markers.SetMarker(0, 3, 10.0, 20.0);
    const std::string lff = stream->MarkerFilePath();

    {
        kivra::test::MessageBoxCatcher cancel(QMessageBox::Cancel);
        m_app->OnFileNew();
        EXPECT_EQ(cancel.Texts().size(), 1);
        ASSERT_NE(m_frame->Stream(), nullptr) << "Cancel keeps the video open";
        EXPECT_FALSE(std::filesystem::exists(lff));
    }
    kivra::test::MessageBoxCatcher yes(QMessageBox::Yes);
    EXPECT_TRUE(m_frame->close());
    EXPECT_TRUE(std::filesystem::exists(lff)) << "Yes saves the markers before closing";
}

}  // namespace
