// Two visits compared: lab-like walks with a right leg whose knee bends by a known range,
// analysed as a clinic would, and the comparison's table and CSV file.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "compare/visit_comparison.h"
#include "gait/gait_analysis.h"
#include "markers/lff_manager.h"
#include "realistic_walk.h"
#include "support/ffmpeg_tool.h"

namespace {

using namespace kivra;

// How one visit's walk is made and filmed.
struct Visit {
    double fps = 30.0;
    int direction = 1;
    double kneeRange = 50.0;  // degrees the right knee bends from its least to its most
    double walker = 1.0;      // a walker this much larger in every length, the camera as it was
    double zoom = 1.0;        // the camera nearer by this, the calibration made again
};

constexpr unsigned kSeed = 4;

// The walk's heels and toes (IDs 5-8), its sacrum (2) as the right hip, a knee (3) below it
// and an ankle (4) whose shank swings back by the knee's flexion, 5° plus kneeRange at
// mid-stride, over each right stride.
GaitAnalysis Analysed(const Visit& visit) {
    const walks::RealisticWalk walk =
        walks::MakeRealisticWalk({visit.fps, visit.direction, 6.0, kSeed});
    std::vector<double> strikes;
    for (const walks::TrueEvent& e : walk.events) {
        if (e.side == FootSide::kRight && e.kind == GaitEventKind::kHeelStrike) {
            strikes.push_back(e.seconds);
        }
    }
    const auto phase = [&](double t) {
        std::size_t i = 1;
        while (i + 1 < strikes.size() && strikes[i] <= t) {
            ++i;
        }
        return (t - strikes[i - 1]) / (strikes[i] - strikes[i - 1]);
    };
    const ImagePoint centre{640, 360};
    const auto scaled = [&](ImagePoint p) {
        const double size = visit.walker * visit.zoom;
        return ImagePoint{centre.x + size * (p.x - centre.x), centre.y + size * (p.y - centre.y)};
    };
    CLFFManager store;
    store.LoadMarkers("/nonexistent/kivra-compare.lff", 10);  // empty rows
    const auto put = [&](int id, const MarkerTrack& track) {
        for (std::size_t i = 0; i < track.frames.size(); ++i) {
            const ImagePoint p = scaled(track.points[i]);
            store.SetMarker(id - 1, track.frames[i], p.x, p.y);
        }
    };
    put(5, walk.feet[0].heel);
    put(6, walk.feet[0].toe);
    put(7, walk.feet[1].heel);
    put(8, walk.feet[1].toe);
    put(2, walk.sacrum);
    const double thigh = 0.45 * walk.pixelsPerMetre;
    const double shank = 0.43 * walk.pixelsPerMetre;
    MarkerTrack knee, ankle;
    for (std::size_t i = 0; i < walk.sacrum.frames.size(); ++i) {
        const int frame = walk.sacrum.frames[i];
        const double u = phase(frame / visit.fps);
        const double bend = std::sin(std::numbers::pi * u);
        const double flexion = (5.0 + visit.kneeRange * bend * bend) * std::numbers::pi / 180.0;
        const ImagePoint at = walk.sacrum.points[i];
        const ImagePoint k{at.x, at.y + thigh};
        knee.frames.push_back(frame);
        knee.points.push_back(k);
        ankle.frames.push_back(frame);
        ankle.points.push_back(
            {k.x - visit.direction * shank * std::sin(flexion), k.y + shank * std::cos(flexion)});
    }
    put(3, knee);
    put(4, ankle);

    GaitAnalysisOptions options;
    options.setup.right = FootMarkers{5, 6};
    options.setup.left = FootMarkers{7, 8};
    options.setup.pelvisId = 2;
    options.joints = {{LimbSide::kRight, ClinicalJoint::kKnee, 2, 3, 4}};
    options.calibration = Calibration{1000.0 / (walk.pixelsPerMetre * visit.zoom), {}, {}};
    GaitAnalysis analysis = AnalyseGait(store, 0, walk.frames - 1, visit.fps, options);
    EXPECT_TRUE(analysis.error.empty()) << analysis.error;
    return analysis;
}

const ComparisonRow* Find(const VisitComparison& c, const std::string& parameter,
                          const std::string& side) {
    for (const ComparisonRow& row : c.rows) {
        if (row.parameter == parameter && row.side == side) {
            return &row;
        }
    }
    return nullptr;
}

// The second visit walks with strides 10 % longer and a knee that bends 12° more: the table's
// values are each visit's own, its differences their subtraction, and the change shows where
// it was made and nowhere else.
TEST(VisitComparisonTest, DifferencesAreTheVisitsSubtractedAndShowTheKnownChange) {
    const GaitAnalysis before = Analysed({});
    const GaitAnalysis after = Analysed({.kneeRange = 62.0, .walker = 1.1});
    const VisitComparison c =
        CompareVisits(before, after, {"a.avi", "2026-01-10"}, {"b.avi", "2026-03-01"});
    ASSERT_FALSE(c.rows.empty());
    for (const ComparisonRow& row : c.rows) {
        if (const ParameterSummary* p = FindParameter(before.parameters, row.parameter)) {
            const Statistic& s = row.side == "R" ? p->right : (row.side == "L" ? p->left : p->both);
            EXPECT_EQ(row.before, s.mean) << row.parameter << " " << row.side;
        }
        ASSERT_TRUE(row.before && row.after) << row.parameter << " " << row.side;
        ASSERT_TRUE(row.difference);
        EXPECT_DOUBLE_EQ(*row.difference, *row.after - *row.before) << row.parameter;
        if (row.unit == "%") {
            EXPECT_FALSE(row.percentChange) << row.parameter;  // points, not a per cent of one
        } else if (*row.before != 0.0) {
            EXPECT_DOUBLE_EQ(*row.percentChange, 100.0 * *row.difference / std::fabs(*row.before));
        }
    }
    struct Expected {
        const char* parameter;
        const char* side;
        double change;  // percent, or degrees for the knee's range
        double within;
        bool percent;
    };
    for (const Expected& e :
         {Expected{"StrideLength", "R", 10.0, 1.0, true},
          Expected{"StrideLength", "L", 10.0, 1.0, true},
          Expected{"StepLength", "R", 10.0, 1.5, true}, Expected{"Speed", "Both", 10.0, 1.5, true},
          Expected{"StrideTime", "R", 0.0, 1.0, true}, Expected{"Cadence", "Both", 0.0, 1.0, true},
          Expected{"RangeOfMotion_knee", "R", 12.0, 1.0, false}}) {
        const ComparisonRow* row = Find(c, e.parameter, e.side);
        ASSERT_NE(row, nullptr) << e.parameter << " " << e.side;
        EXPECT_NEAR(e.percent ? *row->percentChange : *row->difference, e.change, e.within)
            << e.parameter << " " << e.side;
    }
    EXPECT_NEAR(*Find(c, "RangeOfMotion_knee", "R")->before, 50.0, 2.0);
    EXPECT_EQ(Find(c, "RangeOfMotion_knee", "L"), nullptr);  // a right joint has no left curve
}

// One walk filmed otherwise (another frame rate, the other direction, the camera nearer with
// the calibration to match) is no change: times in seconds, lengths along the walk in mm.
// Turned round, each foot walks at the other's distance from the camera, so a side's lengths
// change by the perspective; the walk's own speed does not.
TEST(VisitComparisonTest, TheSameWalkFilmedOtherwiseComparesAsNoChange) {
    const GaitAnalysis base = Analysed({.fps = 25.0});
    struct Case {
        const char* what;
        Visit visit;
        bool sidedLengths;
    };
    for (const Case& k : {Case{"50 fps", {.fps = 50.0}, true},
                          Case{"right to left", {.fps = 25.0, .direction = -1}, false},
                          Case{"nearer camera", {.fps = 25.0, .zoom = 1.25}, true}}) {
        const VisitComparison c = CompareVisits(base, Analysed(k.visit), {}, {});
        for (const ComparisonRow& row : c.rows) {
            SCOPED_TRACE(std::string(k.what) + " " + row.parameter + " " + row.side);
            ASSERT_TRUE(row.difference);
            if (row.parameter.find("Symmetry") != std::string::npos) {
                continue;  // a few per cent of a small difference: noise, not a measure
            }
            if (row.unit == "s") {
                EXPECT_NEAR(*row.difference, 0.0, 0.02);  // half a frame at 25 fps
            } else if (row.unit == "%" || row.unit == "deg") {
                EXPECT_NEAR(*row.difference, 0.0, 2.0);
            } else if (k.sidedLengths || row.side == "Both") {
                EXPECT_NEAR(*row.percentChange, 0.0, 2.0);
            }
        }
    }
}

// The CSV names the visits, keeps a file name's comma and quote, leaves the percent empty
// over a zero and for a share in per cent, and the difference across units; the dates are
// checked as dates.
TEST(VisitComparisonTest, CsvRowsAndDates) {
    GaitAnalysis before, after;
    before.parameters.millimetres = true;
    const auto summary = [](const char* name, const char* unit, std::optional<double> right,
                            std::optional<double> both) {
        ParameterSummary s{name, unit, {}, {}, {}};
        s.right = {right, {}, right ? 3 : 0};
        s.both = {both, {}, 3};
        return s;
    };
    before.parameters.summary = {
        summary("StrideTime", "s", {}, 0.0), summary("StrideLength", "mm", 1000.0, 1000.0),
        summary("Cadence", "steps/min", {}, 100.0), summary("StepTimeSymmetry", "%", {}, 1.0)};
    after.parameters.summary = {
        summary("StrideTime", "s", {}, 1.2), summary("StrideLength", "px", 900.0, 900.0),
        summary("Cadence", "steps/min", {}, 110.0), summary("StepTimeSymmetry", "%", {}, 2.5)};
    const VisitComparison c =
        CompareVisits(before, after, {"walk, \"first\".avi", "2026-01-10"}, {"歩行 2.avi", ""});
    EXPECT_TRUE(c.lengthUnitsDiffer);
    EXPECT_EQ(FormatComparisonCsv(c),
              "Parameter,Side,Unit,Before,After,Difference,PercentChange\r\n"
              "File,,,\"walk, \"\"first\"\".avi\",歩行 2.avi,,\r\n"
              "Date,,,2026-01-10,,,\r\n"
              "StrideTime,Both,s,0.0000,1.2000,1.2000,\r\n"
              "StrideLength,R,mm/px,1000.0000,900.0000,,\r\n"
              "Cadence,Both,steps/min,100.0000,110.0000,10.0000,10.00\r\n"
              "StepTimeSymmetry,Both,%,1.0000,2.5000,1.5000,\r\n");

    kivra::test::TempDir dir{"kivra-compare 比較 $;"};
    const std::string path = dir.File("-out 'a'.csv");
    ASSERT_TRUE(WriteComparisonCsv(path, c));
    EXPECT_EQ(kivra::test::ReadFile(path), FormatComparisonCsv(c));
    EXPECT_FALSE(WriteComparisonCsv(dir.File("missing/x.csv"), c));
    EXPECT_EQ(FileDate(path).size(), 10u);
    EXPECT_TRUE(IsIsoDate(FileDate(path)));
    EXPECT_EQ(FileDate(dir.File("missing.csv")), "");
    for (const auto& [text, valid] : {std::pair{"2024-02-29", true}, std::pair{"2026-02-29", false},
                                      std::pair{"2026-13-01", false}, std::pair{"26-01-01", false},
                                      std::pair{"2026-1-01x", false}, std::pair{"", false}}) {
        EXPECT_EQ(IsIsoDate(text), valid) << text;
    }
}

}  // namespace
