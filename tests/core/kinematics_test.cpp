// Gait numbers from markers: joint angles and the calibration scale against hand-computed
// cases, the zero-lag filter against its analytic response, the calibration file's round trip
// and damaged files, the kinematics table's columns, empty fields, speeds and runs, and the
// angles kept in the settings ini.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <clocale>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "kinematics/butterworth.h"
#include "kinematics/calibration.h"
#include "kinematics/joint_angle.h"
#include "kinematics/kinematics_settings.h"
#include "kinematics/kinematics_table.h"
#include "markers/lff_manager.h"
#include "settings/inifile_manager.h"
#include "support/ffmpeg_tool.h"
#include "ui_translations.h"

namespace {

using kivra::Point2D;
using kivra::test::ReadFile;
using kivra::test::TempDir;
using kivra::test::WriteFile;
constexpr double kPi = std::numbers::pi;

std::vector<std::vector<std::string>> CsvRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find("\r\n", pos);
        EXPECT_NE(end, std::string::npos) << "every line ends in CR LF";
        if (end == std::string::npos) {
            break;
        }
        std::vector<std::string> fields;
        std::string field;
        std::istringstream line(text.substr(pos, end - pos) + ",");
        while (std::getline(line, field, ',')) {
            fields.push_back(field);
        }
        rows.push_back(fields);
        pos = end + 2;
    }
    return rows;
}

// ---- angles and scale ----------------------------------------------------------------------

TEST(JointAngle, HandComputedCases) {
    const auto angle = [](Point2D a, Point2D j, Point2D d) {
        return kivra::JointAngleDegrees(a, j, d).value_or(-1.0);
    };
    EXPECT_NEAR(angle({0, 10}, {0, 0}, {7, 0}), 90.0, 1e-12);    // right angle
    EXPECT_NEAR(angle({-3, -3}, {0, 0}, {4, 4}), 180.0, 1e-12);  // straight limb
    EXPECT_NEAR(angle({5, 0}, {0, 0}, {2, 0}), 0.0, 1e-12);      // folded back
    EXPECT_NEAR(angle({0, 1}, {0, 0}, {1, 1}), 45.0, 1e-12);
    EXPECT_NEAR(angle({1, 0}, {0, 0}, {-0.5, std::sqrt(3) / 2}), 120.0, 1e-12);
    // Which side the limb bends to does not matter, nor where the joint stands.
    EXPECT_NEAR(angle({101, 200}, {100, 200}, {99.5, 200 - std::sqrt(3) / 2}), 120.0, 1e-9);
    // Nearly straight: 179.99 degrees is still told from 180.
    const double tiny = std::tan(0.01 * kPi / 180.0);
    EXPECT_NEAR(angle({-1, 0}, {0, 0}, {1, tiny}), 179.99, 1e-9);
    // A segment without length has no direction.
    EXPECT_FALSE(kivra::JointAngleDegrees({3, 4}, {3, 4}, {9, 9}));
    EXPECT_FALSE(kivra::JointAngleDegrees({0, 0}, {1, 1}, {1, 1}));
    EXPECT_FALSE(kivra::JointAngleDegrees({NAN, 0}, {1, 1}, {2, 2}));
}

TEST(JointAngle, NamedAnglesParseAndRefuseWhatCannotHeadAColumn) {
    std::string error;
    const auto knee = kivra::ParseNamedAngle(" knee = 2 , 3 ,4 ", &error);
    ASSERT_TRUE(knee) << error;
    EXPECT_EQ(*knee, (kivra::NamedAngle{"knee", 2, 3, 4}));
    EXPECT_EQ(kivra::FormatNamedAngle(*knee), "knee=2,3,4");
    EXPECT_EQ(kivra::ParseNamedAngle("右膝=12,13,14")->name, "右膝");
    for (const char* bad :
         {"knee", "knee=2,3", "knee=2,3,4,5", "=2,3,4", "knee=0,3,4", "knee=2,2,4", "knee=2,x,4",
          "knee=2,3,99999999999", "a,b=1,2,3", "a\"b=1,2,3", "knee=2,3,", "knee=100001,2,3"}) {
        error.clear();
        EXPECT_FALSE(kivra::ParseNamedAngle(bad, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    EXPECT_EQ(kivra::DuplicateAngleName({{"a", 1, 2, 3}, {"b", 1, 2, 3}, {"a", 4, 5, 6}}), "a");
}

// Clinical angles: each case drawn walking towards +x (y up), then mirrored for a walk
// towards -x, which must read the same; the wrong direction reads the sign flipped.
TEST(ClinicalAngle, HandComputedForBothWalkingDirections) {
    using kivra::ClinicalJoint;
    const auto at = [](Point2D from, double length, double degreesFromDown) {
        const double r = degreesFromDown * kPi / 180.0;  // counter-clockwise from straight down
        return Point2D{from.x + length * std::sin(r), from.y - length * std::cos(r)};
    };
    const Point2D hip{0, 100};
    const Point2D knee{0, 50};
    const Point2D ankle{0, 0};
    struct Case {
        const char* what;
        ClinicalJoint joint;
        std::optional<Point2D> a;
        Point2D b, c;
        double expected;
    };
    const Point2D leaning = at(hip, -60, -10);  // trunk 10 degrees forward of the vertical
    const Case cases[] = {
        {"knee straight", ClinicalJoint::kKnee, hip, knee, ankle, 0.0},
        {"knee 30", ClinicalJoint::kKnee, hip, knee, at(knee, 50, -30), 30.0},
        {"knee 60", ClinicalJoint::kKnee, hip, knee, at(knee, 50, -60), 60.0},
        {"knee 60, thigh flexed 20", ClinicalJoint::kKnee, hip, at(hip, 50, 20),
         at(at(hip, 50, 20), 50, -40), 60.0},
        {"knee hyperextended 5", ClinicalJoint::kKnee, hip, knee, at(knee, 50, 5), -5.0},
        {"hip straight, vertical", ClinicalJoint::kHip, std::nullopt, hip, knee, 0.0},
        {"hip 20, vertical", ClinicalJoint::kHip, std::nullopt, hip, at(hip, 50, 20), 20.0},
        {"hip 20, trunk upright", ClinicalJoint::kHip, Point2D{0, 160}, hip, at(hip, 50, 20), 20.0},
        {"hip 20, trunk forward 10", ClinicalJoint::kHip, leaning, hip, at(hip, 50, 10), 20.0},
        {"hip extended 10, vertical", ClinicalJoint::kHip, std::nullopt, hip, at(hip, 50, -10),
         -10.0},
        {"ankle neutral", ClinicalJoint::kAnkle, knee, ankle, at(ankle, 20, 90), 0.0},
        {"ankle dorsiflexed 10", ClinicalJoint::kAnkle, knee, ankle, at(ankle, 20, 100), 10.0},
        {"ankle plantarflexed 15", ClinicalJoint::kAnkle, knee, ankle, at(ankle, 20, 75), -15.0},
        {"ankle 10, shank tilted 30", ClinicalJoint::kAnkle, at(ankle, -50, -30), ankle,
         at(ankle, 20, 70), 10.0},
    };
    const auto mirror = [](Point2D p) { return Point2D{-p.x, p.y}; };
    for (const Case& c : cases) {
        const auto right = kivra::ClinicalAngleDegrees(c.joint, c.a, c.b, c.c, +1);
        ASSERT_TRUE(right) << c.what;
        EXPECT_NEAR(*right, c.expected, 1e-9) << c.what;
        const std::optional<Point2D> ma = c.a ? std::optional(mirror(*c.a)) : std::nullopt;
        const auto left = kivra::ClinicalAngleDegrees(c.joint, ma, mirror(c.b), mirror(c.c), -1);
        ASSERT_TRUE(left) << c.what;
        EXPECT_NEAR(*left, c.expected, 1e-9) << c.what << ", walking left";
        if (c.joint != ClinicalJoint::kAnkle && c.expected != 0.0) {
            EXPECT_NEAR(*kivra::ClinicalAngleDegrees(c.joint, ma, mirror(c.b), mirror(c.c), +1),
                        -c.expected, 1e-9)
                << c.what << ", direction taken wrongly";
        }
    }
    // Only the hip has a vertical; a segment without length has no direction.
    EXPECT_FALSE(kivra::ClinicalAngleDegrees(ClinicalJoint::kKnee, std::nullopt, knee, ankle, 1));
    EXPECT_FALSE(kivra::ClinicalAngleDegrees(ClinicalJoint::kAnkle, knee, ankle, ankle, 1));
    EXPECT_FALSE(kivra::ClinicalAngleDegrees(ClinicalJoint::kHip, hip, hip, knee, 1));
}

TEST(ClinicalAngle, ParsedFormattedAndRefusedWithAReason) {
    // The reasons are compared in English.
    const kivra::UiTranslations english(kivra::UiLanguage::English);
    using kivra::ClinicalAngle;
    using kivra::ClinicalJoint;
    using kivra::LimbSide;
    struct Good {
        const char* text;
        ClinicalAngle angle;
        const char* formatted;
        const char* name;
    };
    for (const Good& g : {
             Good{"R:knee=2,3,4",
                  {LimbSide::kRight, ClinicalJoint::kKnee, 2, 3, 4},
                  "R:knee=2,3,4",
                  "knee_R"},
             Good{" L : hip = - , 5,6",
                  {LimbSide::kLeft, ClinicalJoint::kHip, 0, 5, 6},
                  "L:hip=-,5,6",
                  "hip_L"},
             Good{"L:ankle=3,4,100000",
                  {LimbSide::kLeft, ClinicalJoint::kAnkle, 3, 4, 100000},
                  "L:ankle=3,4,100000",
                  "ankle_L"},
         }) {
        std::string error;
        const auto parsed = kivra::ParseClinicalAngle(g.text, &error);
        ASSERT_TRUE(parsed) << g.text << ": " << error;
        EXPECT_EQ(*parsed, g.angle) << g.text;
        EXPECT_EQ(kivra::FormatClinicalAngle(*parsed), g.formatted);
        EXPECT_EQ(kivra::ClinicalAngleName(*parsed), g.name);
    }
    struct Bad {
        const char* text;
        const char* why;
    };
    for (const Bad& b : {Bad{"X:knee=1,2,3", "R or L"}, Bad{"R:elbow=1,2,3", "hip, knee or ankle"},
                         Bad{"knee=1,2,3", "SIDE:JOINT"}, Bad{"R:knee=1,2", "exactly three"},
                         Bad{"R:knee=-,2,3", "whole numbers"}, Bad{"R:hip=0,2,3", "or -"},
                         Bad{"R:knee=1,1,2", "differ"}, Bad{"R:knee=1,2,x", "whole numbers"}}) {
        std::string error;
        EXPECT_FALSE(kivra::ParseClinicalAngle(b.text, &error)) << b.text;
        EXPECT_NE(error.find(b.why), std::string::npos) << b.text << ": " << error;
    }
    EXPECT_EQ(kivra::DuplicateClinicalAngle({{LimbSide::kRight, ClinicalJoint::kKnee, 1, 2, 3},
                                             {LimbSide::kLeft, ClinicalJoint::kKnee, 1, 2, 3},
                                             {LimbSide::kRight, ClinicalJoint::kKnee, 4, 5, 6}}),
              "knee_R");
}

TEST(Calibration, ScaleIsTheRealLengthOverThePixelDistance) {
    const auto c = kivra::CalibrationFromPoints({100, 200}, {400, 600}, 1000.0);
    ASSERT_TRUE(c);
    EXPECT_DOUBLE_EQ(c->mmPerPixel, 2.0);  // 500 pixels for a metre
    EXPECT_FALSE(c->origin);
    EXPECT_FALSE(kivra::CalibrationFromPoints({5, 5}, {5, 5}, 1000.0));  // coincident
    EXPECT_FALSE(kivra::CalibrationFromPoints({0, 0}, {10, 0}, 0.0));
    EXPECT_FALSE(kivra::CalibrationFromPoints({0, 0}, {10, 0}, -5.0));
    EXPECT_FALSE(kivra::CalibrationFromPoints({0, 0}, {10, 0}, NAN));
    EXPECT_EQ(kivra::CalibrationPath("/a/walk.2020.avi"), "/a/walk.2020.kcal");
}

// ---- the filter ----------------------------------------------------------------------------

// The zero-lag filter's amplitude response: the section's squared, with the section designed
// at the cut-off raised by (sqrt(2) - 1)^(-1/4) on the pre-warped frequency.
double AnalyticGain(double f, double fc, double fs) {
    const double c = std::pow(std::sqrt(2.0) - 1.0, 0.25);
    const double ratio = std::tan(kPi * f / fs) / (std::tan(kPi * fc / fs) / c);
    return 1.0 / (1.0 + std::pow(ratio, 4));
}

// Amplitude and phase of the output's component at f over the middle half (away from the
// ends), by projecting onto sine and cosine over whole periods.
std::pair<double, double> Component(const std::vector<double>& y, double f, double fs) {
    const std::size_t periodSamples = std::size_t(std::lround(fs / f));
    const std::size_t begin = y.size() / 4;
    const std::size_t n = (y.size() / 2 / periodSamples) * periodSamples;
    double s = 0, c = 0;
    for (std::size_t i = begin; i < begin + n; ++i) {
        s += y[i] * std::sin(2 * kPi * f * double(i) / fs);
        c += y[i] * std::cos(2 * kPi * f * double(i) / fs);
    }
    return {2.0 * std::hypot(s, c) / double(n), std::atan2(c, s)};
}

TEST(ZeroLagFilter, SinesPassOrStopAsTheAnalyticResponseSaysWithoutLag) {
    const double fs = 120.0, fc = 6.0;  // whole periods of every test sine
    const auto filter = kivra::ZeroLagLowPass::Make(fc, fs);
    ASSERT_TRUE(filter);
    for (const double f : {1.0, 6.0, 24.0}) {
        std::vector<double> x(2000);
        for (std::size_t i = 0; i < x.size(); ++i) {
            x[i] = std::sin(2 * kPi * f * double(i) / fs);
        }
        const auto [amplitude, phase] = Component(filter->Run(x), f, fs);
        EXPECT_NEAR(amplitude, AnalyticGain(f, fc, fs), 2e-4) << f << " Hz";
        EXPECT_NEAR(phase, 0.0, 1e-5) << f << " Hz: forwards and backwards cancel the lag";
    }
    // Well below passes nearly whole, well above is all but gone, the cut-off is -3 dB.
    EXPECT_GT(AnalyticGain(1.0, fc, fs), 0.999);
    EXPECT_LT(AnalyticGain(24.0, fc, fs), 0.01);
    EXPECT_NEAR(AnalyticGain(6.0, fc, fs), std::sqrt(0.5), 1e-12);
}

TEST(ZeroLagFilter, TrendsRunThroughTheEndsAndShortRunsStayAsTheyAre) {
    const auto filter = kivra::ZeroLagLowPass::Make(6.0, 30.0);
    ASSERT_TRUE(filter);
    // A walker's x at constant speed is a line: filtering must not bend its ends.
    for (const std::size_t n : {3u, 5u, 12u, 200u}) {
        std::vector<double> line(n);
        for (std::size_t i = 0; i < n; ++i) {
            line[i] = 140.0 + 8.4 * double(i);
        }
        const std::vector<double> out = filter->Run(line);
        ASSERT_EQ(out.size(), n);
        for (std::size_t i = 0; i < n; ++i) {
            EXPECT_NEAR(out[i], line[i], 1e-4) << "n " << n << " sample " << i;
        }
    }
    EXPECT_EQ(filter->Run(std::vector<double>{4.0, 9.0}), (std::vector<double>{4.0, 9.0}));
    EXPECT_TRUE(filter->Run(std::vector<double>{}).empty());
    // Not below half the sampling rate, not zero or less: no filter.
    EXPECT_FALSE(kivra::ZeroLagLowPass::Make(15.0, 30.0));
    EXPECT_FALSE(kivra::ZeroLagLowPass::Make(0.0, 30.0));
    EXPECT_FALSE(kivra::ZeroLagLowPass::Make(6.0, 0.0));
    EXPECT_FALSE(kivra::ZeroLagLowPass::Make(NAN, 30.0));
}

// ---- the calibration file ------------------------------------------------------------------

TEST(CalibrationFile, RoundTripKeepsEveryDigit) {
    TempDir dir("kivra kcal 'é' $x;");
    const std::string path = kivra::CalibrationPath(dir.File("-walk 01.avi"));
    auto c = kivra::CalibrationFromPoints({500.25, 668.0}, {710.0 / 3.0, 668.125}, 1000.0,
                                          kivra::ImagePoint{12.5, 700.0 + 1.0 / 7.0});
    ASSERT_TRUE(c);
    WriteFile(path, "old");
    ASSERT_TRUE(kivra::WriteCalibrationFile(path, *c));
    const kivra::CalibrationRead read = kivra::ReadCalibrationFile(path);
    ASSERT_EQ(read.status, kivra::CalibrationRead::kLoaded) << read.problem;
    EXPECT_EQ(read.calibration.mmPerPixel, c->mmPerPixel);
    ASSERT_TRUE(read.calibration.origin);
    EXPECT_EQ(read.calibration.origin->y, 700.0 + 1.0 / 7.0);
    ASSERT_TRUE(read.calibration.reference);
    EXPECT_EQ(read.calibration.reference->second.x, 710.0 / 3.0);
    EXPECT_EQ(read.calibration.reference->lengthMm, 1000.0);
    EXPECT_EQ(ReadFile(path).rfind("kivra-calibration 1\n", 0), 0u);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"-walk 01.kcal"}));  // no scratch file

    // A hand-written file: comments, blank lines, CR LF, only the scale.
    WriteFile(path, "# by hand\r\n\r\nkivra-calibration 1\r\n  scale_mm_per_pixel\t0.5 \r\n");
    const kivra::CalibrationRead minimal = kivra::ReadCalibrationFile(path);
    ASSERT_EQ(minimal.status, kivra::CalibrationRead::kLoaded) << minimal.problem;
    EXPECT_EQ(minimal.calibration.mmPerPixel, 0.5);
    EXPECT_FALSE(minimal.calibration.origin);
    EXPECT_EQ(kivra::ReadCalibrationFile(dir.File("none.kcal")).status,
              kivra::CalibrationRead::kMissing);
}

TEST(CalibrationFile, DamagedFilesAreRefusedWithAReason) {
    TempDir dir;
    const std::string path = dir.File("walk.kcal");
    const std::string header = "kivra-calibration 1\n";
    const std::vector<std::string> damaged = {
        "",
        "scale_mm_per_pixel 2\n",
        "kivra-calibration 2\nscale_mm_per_pixel 2\n",
        header,
        header + "scale_mm_per_pixel 0\n",
        header + "scale_mm_per_pixel -1\n",
        header + "scale_mm_per_pixel nan\n",
        header + "scale_mm_per_pixel 2,5\n",
        header + "scale_mm_per_pixel 2\nscale_mm_per_pixel 3\n",
        header + "scale_mm_per_pixel 2\norigin 1\n",
        header + "scale_mm_per_pixel 2\norigin 1 1e300\n",
        header + "scale_mm_per_pixel 2\nreference 1 2 3 4 0\n",
        header + "scale_mm_per_pixel 2\ncolour red\n",
        std::string("kivra-calibration 1\n\0\xff\xfe", 23),
        header + "scale_mm_per_pixel 2\n" + std::string(5000, '#'),
    };
    for (const std::string& text : damaged) {
        WriteFile(path, text);
        const kivra::CalibrationRead read = kivra::ReadCalibrationFile(path);
        EXPECT_EQ(read.status, kivra::CalibrationRead::kDamaged) << text.substr(0, 80);
        EXPECT_FALSE(read.problem.empty());
    }
    // Not a file at all: a folder, and a pipe nobody writes to (must not block).
    std::filesystem::create_directory(dir.File("folder.kcal"));
    EXPECT_EQ(kivra::ReadCalibrationFile(dir.File("folder.kcal")).status,
              kivra::CalibrationRead::kDamaged);
    ASSERT_EQ(::mkfifo(dir.File("pipe.kcal").c_str(), 0600), 0);
    EXPECT_EQ(kivra::ReadCalibrationFile(dir.File("pipe.kcal")).status,
              kivra::CalibrationRead::kDamaged);
    // A failed write keeps the old file.
    WriteFile(path, header + "scale_mm_per_pixel 3\n");
    EXPECT_FALSE(kivra::WriteCalibrationFile(dir.File("missing/walk.kcal"), {2.0, {}, {}}));
    EXPECT_FALSE(kivra::WriteCalibrationFile(dir.File("folder.kcal"), {2.0, {}, {}}));
    EXPECT_EQ(kivra::ReadCalibrationFile(path).calibration.mmPerPixel, 3.0);
}

// ---- the kinematics table ------------------------------------------------------------------

CLFFManager Store(int rows) {
    CLFFManager store;
    store.LoadMarkers("", rows);
    return store;
}

TEST(KinematicsTable, ColumnsEmptyFieldsSpeedsAndAnglesInImagePixelsYUp) {
    TempDir dir;
    CLFFManager store = Store(10);
    // ID 1 moves 3 px right and 4 px up per frame on frames 0-3; ID 3 sits still on 1-3
    // (and on frame 9, outside the range); ID 4 on frame 2 only; IDs 2 and 5 are unused.
    for (int f = 0; f <= 3; ++f) {
        store.SetMarker(0, f, 10.0 + 3 * f, 100.0 - 4 * f);
    }
    for (int f = 1; f <= 3; ++f) {
        store.SetMarker(2, f, 10.0, 50.0);
    }
    store.SetMarker(2, 9, 0, 0);
    store.SetMarker(3, 2, 30.0, 50.0);
    kivra::KinematicsOptions options;
    options.imageHeight = 120;
    options.angles = {{"knee", 1, 3, 4}, {"hip", 5, 3, 4}};
    const kivra::KinematicsResult result = kivra::BuildKinematics(store, 0, 5, 25.0, options);
    ASSERT_TRUE(result.table) << result.error;
    ASSERT_TRUE(kivra::WriteKinematicsCsv(*result.table, dir.File("kine matics.csv")));
    const auto rows = CsvRows(ReadFile(dir.File("kine matics.csv")));
    ASSERT_EQ(rows.size(), 5u);  // header and frames 0-3: 4 and 5 hold no marker
    EXPECT_EQ(rows[0], (std::vector<std::string>{"Time", "M01_x", "M01_y", "M01_speed", "M03_x",
                                                 "M03_y", "M03_speed", "M04_x", "M04_y",
                                                 "M04_speed", "knee", "hip"}));
    // Frame 0: no neighbour before, so no speed; ID 3 and 4 absent; no angle.
    EXPECT_EQ(rows[1], (std::vector<std::string>{"0.0000", "10.000", "20.000", "", "", "", "", "",
                                                 "", "", "", ""}));
    // Frame 2: 5 px per frame at 25 fps is 125 px/s; the knee: ID 1 at (16, 28) seen from
    // ID 3 at (10, 70), ID 4 at (30, 70) straight ahead: atan2(42, 6).
    const double knee = std::atan2(42.0, 6.0) * 180.0 / kPi;
    char kneeText[32];
    std::snprintf(kneeText, sizeof kneeText, "%.3f", knee);
    EXPECT_EQ(rows[3],
              (std::vector<std::string>{"0.0800", "16.000", "28.000", "125.000", "10.000", "70.000",
                                        "0.000", "30.000", "70.000", "", kneeText, ""}));
    // Frame 3: last of ID 1's run: no speed; ID 3 still, but its run ends here too.
    EXPECT_EQ(rows[4][3], "");
    EXPECT_EQ(rows[4][6], "");
    EXPECT_EQ(rows[2][6], "");  // frame 1 is ID 3's first

    const auto missing = kivra::AnglesWithoutData(store, 0, 5, options.angles);
    ASSERT_EQ(missing.size(), 1u);
    EXPECT_EQ(missing[0].name, "hip");
    EXPECT_EQ(missing[0].id, 5);
}

// A walk towards -x in the picture: the joints' columns come after the plain angles', read in
// that direction, and stay empty where a marker is missing.
TEST(KinematicsTable, ClinicalJointColumnsFollowTheWalkingDirection) {
    using kivra::ClinicalJoint;
    using kivra::LimbSide;
    CLFFManager store = Store(5);
    const double height = 200.0;
    // Hip above the knee, the ankle 30 degrees behind the knee (behind is +x walking left).
    const double ankleX = 50 * std::sin(30 * kPi / 180);
    const double ankleY = 50 - 50 * std::cos(30 * kPi / 180);
    for (int f = 0; f <= 3; ++f) {
        const double shift = -5.0 * f;
        store.SetMarker(0, f, shift, height - 100);
        store.SetMarker(1, f, shift, height - 50);
        if (f != 2) {
            store.SetMarker(2, f, shift + ankleX, height - ankleY);
        }
    }
    kivra::KinematicsOptions options;
    options.imageHeight = static_cast<int>(height);
    options.angles = {{"plain", 1, 2, 3}};
    options.joints = {{LimbSide::kRight, ClinicalJoint::kKnee, 1, 2, 3},
                      {LimbSide::kLeft, ClinicalJoint::kHip, 0, 1, 2}};
    const kivra::KinematicsResult result = kivra::BuildKinematics(store, 0, 3, 25.0, options);
    ASSERT_TRUE(result.table) << result.error;
    EXPECT_EQ(result.table->walkingDirection, -1);
    const auto rows = CsvRows(kivra::FormatKinematicsCsv(*result.table));
    ASSERT_EQ(rows.size(), 5u);
    const std::vector<std::string> tail(rows[0].end() - 3, rows[0].end());
    EXPECT_EQ(tail, (std::vector<std::string>{"plain", "knee_R", "hip_L"}));
    for (int f = 0; f <= 3; ++f) {
        const std::vector<std::string> values(rows[f + 1].end() - 3, rows[f + 1].end());
        if (f == 2) {
            EXPECT_EQ(values, (std::vector<std::string>{"", "", "0.000"}));
        } else {
            EXPECT_EQ(values, (std::vector<std::string>{"150.000", "30.000", "0.000"})) << f;
        }
    }
    // A joint naming a marker without data is reported by its column; the vertical needs none.
    options.joints.push_back({LimbSide::kLeft, ClinicalJoint::kAnkle, 2, 3, 4});
    const auto missing = kivra::AnglesWithoutData(store, 0, 3, options.joints);
    ASSERT_EQ(missing.size(), 1u);
    EXPECT_EQ(missing[0].name, "ankle_L");
    EXPECT_EQ(missing[0].id, 4);
}

TEST(KinematicsTable, CalibrationScalesFromItsOriginAndAnglesDoNotChange) {
    CLFFManager store = Store(3);
    for (int f = 0; f < 3; ++f) {
        store.SetMarker(0, f, 100.0, 100.0);
        store.SetMarker(1, f, 100.0 + 10 * f, 200.0);
        store.SetMarker(2, f, 200.0, 200.0);
    }
    kivra::KinematicsOptions options;
    options.angles = {{"a", 1, 2, 3}};
    options.imageHeight = 720;
    const auto pixels = kivra::BuildKinematics(store, 0, 2, 50.0, options);
    options.calibration = kivra::Calibration{2.5, kivra::ImagePoint{100.0, 300.0}, {}};
    const auto mm = kivra::BuildKinematics(store, 0, 2, 50.0, options);
    ASSERT_TRUE(pixels.table && mm.table);
    EXPECT_FALSE(pixels.table->millimetres);
    EXPECT_TRUE(mm.table->millimetres);
    const kivra::MarkerKinematics& p = mm.table->markers[1];
    EXPECT_DOUBLE_EQ(*p.x[2], 20.0 * 2.5);
    EXPECT_DOUBLE_EQ(*p.y[2], 100.0 * 2.5);                   // 100 px above the origin
    EXPECT_DOUBLE_EQ(*pixels.table->markers[1].y[2], 520.0);  // from the bottom-left
    EXPECT_DOUBLE_EQ(*p.speed[1], 10.0 * 2.5 * 50.0);         // mm per second
    for (std::size_t r = 0; r < 3; ++r) {
        EXPECT_NEAR(*mm.table->angles[0].degrees[r], *pixels.table->angles[0].degrees[r], 1e-12);
    }
    // At frame 0 ID 1 stands straight above ID 2 and ID 3 straight to its right.
    EXPECT_NEAR(*pixels.table->angles[0].degrees[0], 90.0, 1e-12);
}

TEST(KinematicsTable, FilterRunsEachUnbrokenRunAloneAndNeedsARateAboveTwiceTheCutoff) {
    CLFFManager store = Store(1);
    // Two runs of a still marker, far apart, with a gap of two frames between.
    for (int f = 0; f < 20; ++f) {
        store.SetMarker(0, f, 0.0, 0.0);
    }
    for (int f = 22; f < 40; ++f) {
        store.SetMarker(0, f, 500.0, 0.0);
    }
    kivra::KinematicsOptions options;
    options.filterHz = 6.0;
    options.imageHeight = 100;
    const auto result = kivra::BuildKinematics(store, 0, 39, 30.0, options);
    ASSERT_TRUE(result.table) << result.error;
    const kivra::KinematicsTable& t = *result.table;
    ASSERT_EQ(t.frames.size(), 38u);  // the gap stays a gap: no rows made up for 20 and 21
    for (std::size_t r = 0; r < t.frames.size(); ++r) {
        // Filtered across the gap the step would smear into both runs.
        EXPECT_NEAR(*t.markers[0].x[r], t.frames[r] < 20 ? 0.0 : 500.0, 1e-9) << t.frames[r];
    }
    options.filterHz = 15.0;
    EXPECT_EQ(kivra::BuildKinematics(store, 0, 39, 30.0, options).failure,
              kivra::KinematicsResult::kCutoffOutOfRange);
    options.filterHz = 6.0;
    EXPECT_EQ(kivra::BuildKinematics(store, 0, 39, 0.0, options).failure,
              kivra::KinematicsResult::kNoFrameRate);
    // Without a rate and without a filter: positions, but no times and no speeds.
    options.filterHz = 0.0;
    const auto unrated = kivra::BuildKinematics(store, 0, 39, 0.0, options);
    ASSERT_TRUE(unrated.table);
    const auto rows = CsvRows(kivra::FormatKinematicsCsv(*unrated.table));
    EXPECT_EQ(rows[5], (std::vector<std::string>{"", "0.000", "100.000", ""}));
}

// A locale with a decimal comma: the installed one, or one compiled into a temporary folder.
bool SetCommaLocale(const std::string& scratch) {
    if (std::setlocale(LC_ALL, "de_DE.UTF-8")) {
        return true;
    }
    kivra::test::RunProgram({"localedef", "-i", "de_DE", "-f", "UTF-8", scratch + "/de_DE.UTF-8"});
    ::setenv("LOCPATH", scratch.c_str(), 1);
    return std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
}

TEST(KinematicsTable, DecimalPointsInEveryLocale) {
    TempDir locales;
    if (!SetCommaLocale(locales.path())) {
        ::unsetenv("LOCPATH");
        GTEST_SKIP() << "no German locale available";
    }
    CLFFManager store = Store(1);
    store.SetMarker(0, 1, 1.5, 2.25);
    const auto table = kivra::BuildKinematics(store, 0, 5, 29.97, {});
    const std::string csv = table.table ? kivra::FormatKinematicsCsv(*table.table) : "";
    const std::string kcal = kivra::FormatCalibration({0.125, kivra::ImagePoint{1.5, 2.5}, {}});
    const kivra::CalibrationRead read = kivra::ParseCalibration(kcal);
    std::setlocale(LC_ALL, "C");
    ::unsetenv("LOCPATH");
    EXPECT_EQ(csv, "Time,M01_x,M01_y,M01_speed\r\n0.0334,1.500,-2.250,\r\n");
    EXPECT_EQ(read.status, kivra::CalibrationRead::kLoaded) << kcal;
    EXPECT_EQ(read.calibration.mmPerPixel, 0.125);
}

// ---- the settings --------------------------------------------------------------------------

TEST(KinematicsSettings, KeptInTheirOwnSectionBesideTheOtherSettings) {
    TempDir dir;
    const std::string ini = dir.File("Kivra.ini");
    WriteFile(ini, "[Slider]\nPlaySpeedRate=2.0\n[Kinematics]\nAngle1=old=1,2,3\nAngle2=x\n");
    EXPECT_EQ(kivra::LoadKinematicsSettings(ini).angles.size(), 1u);  // "x" is skipped

    kivra::KinematicsSettings settings;
    settings.angles = {{"knee", 2, 3, 4}, {"膝", 12, 13, 14}};
    settings.filterHz = 6.0;
    ASSERT_TRUE(kivra::SaveKinematicsSettings(ini, settings));
    EXPECT_EQ(kivra::LoadKinematicsSettings(ini), settings);
    const std::string text = ReadFile(ini);
    EXPECT_NE(text.find("[Kinematics]\nAngle1=knee=2,3,4\nAngle2=膝=12,13,14\nFilterHz=6.000\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("old="), std::string::npos);

    // The settings store's own save at exit leaves the section alone.
    {
        CInifileManager store(ini);
        store.LoadSettings();
        EXPECT_EQ(store.Slider().playSpeedRate, 2.0f);
    }
    EXPECT_EQ(kivra::LoadKinematicsSettings(ini), settings);
    EXPECT_NE(ReadFile(ini).find("MaxID=100"), std::string::npos);

    // Off, a repeated name and a cut-off that is no number.
    WriteFile(ini, "[kinematics]\nangle1=a=1,2,3\nAngle2=a=4,5,6\nFilterHz=abc\n");
    const kivra::KinematicsSettings odd = kivra::LoadKinematicsSettings(ini);
    EXPECT_EQ(odd.angles, (std::vector<kivra::NamedAngle>{{"a", 1, 2, 3}}));
    EXPECT_EQ(odd.filterHz, 0.0);
    EXPECT_EQ(kivra::LoadKinematicsSettings(dir.File("none.ini")), kivra::KinematicsSettings{});
}

TEST(KinematicsSettings, JointsRoundTripBesideTheAnglesAndDamagedOnesReadAsUnset) {
    using kivra::ClinicalJoint;
    using kivra::LimbSide;
    TempDir dir;
    const std::string ini = dir.File("Kivra.ini");
    kivra::KinematicsSettings settings;
    settings.angles = {{"knee", 2, 3, 4}};
    settings.joints = {{LimbSide::kRight, ClinicalJoint::kKnee, 2, 3, 4},
                       {LimbSide::kLeft, ClinicalJoint::kHip, 0, 5, 6},
                       {LimbSide::kLeft, ClinicalJoint::kAnkle, 6, 7, 8}};
    settings.filterHz = 6.0;
    ASSERT_TRUE(kivra::SaveKinematicsSettings(ini, settings));
    EXPECT_EQ(kivra::LoadKinematicsSettings(ini), settings);
    EXPECT_NE(ReadFile(ini).find("Angle1=knee=2,3,4\nFilterHz=6.000\n"
                                 "Joints=R:knee=2,3,4;L:hip=-,5,6;L:ankle=6,7,8\n"),
              std::string::npos)
        << ReadFile(ini);

    struct Case {
        const char* joints;
        std::size_t read;
    };
    for (const Case& c : {Case{"R:knee=2,3,4", 1}, Case{"R:knee=2,3,4;X:knee=1,2,3", 0},
                          Case{"R:knee=2,3,4;R:knee=5,6,7", 0}, Case{"R:knee=2,3,4;", 1},
                          Case{";", 0}, Case{"", 0}}) {
        WriteFile(ini, std::string("[Kinematics]\nAngle1=a=1,2,3\nJoints=") + c.joints + "\n");
        const kivra::KinematicsSettings read = kivra::LoadKinematicsSettings(ini);
        EXPECT_EQ(read.joints.size(), c.read) << c.joints;
        EXPECT_EQ(read.angles.size(), 1u) << c.joints;  // the angles read as ever
    }
}

}  // namespace
