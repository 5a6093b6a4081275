// The bundled sample walker: what ffprobe says of it, its truth file, and whether the dots
// a decoder sees sit where the truth says.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/ffmpeg_tool.h"

namespace kivra {
namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kFrames = 120;
const char* const kJoints[] = {"head", "hip", "knee", "ankle"};

const std::string kSampleAvi = std::string(KIVRA_BINARY_DIR) + "/sample/walker.avi";
const std::string kSampleCsv = std::string(KIVRA_BINARY_DIR) + "/sample/walker_truth.csv";
const std::string kMakeSample = std::string(KIVRA_BINARY_DIR) + "/kivra-make-sample";

struct Point {
    double x = 0;
    double y = 0;
};

// (frame, joint) -> position; fails the test on any line out of the expected layout.
std::map<std::pair<int, std::string>, Point> LoadTruth(const std::string& path) {
    std::map<std::pair<int, std::string>, Point> truth;
    std::istringstream in(test::ReadFile(path));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "frame,joint,x,y");
    for (int row = 0; std::getline(in, line); ++row) {
        std::istringstream fields(line);
        std::string frame, joint, x, y;
        std::getline(fields, frame, ',');
        std::getline(fields, joint, ',');
        std::getline(fields, x, ',');
        std::getline(fields, y);
        EXPECT_EQ(frame, std::to_string(row / 4)) << line;
        EXPECT_EQ(joint, kJoints[row % 4]) << line;
        for (const std::string& v : {x, y}) {
            const auto dot = v.find('.');
            EXPECT_TRUE(dot != std::string::npos && v.size() - dot == 4) << "3 decimals: " << line;
        }
        truth[{std::atoi(frame.c_str()), joint}] = {std::strtod(x.c_str(), nullptr),
                                                    std::strtod(y.c_str(), nullptr)};
    }
    return truth;
}

std::map<std::string, std::string> Probe(const std::string& avi, const test::TempDir& dir) {
    const std::string out = dir.File("probe.txt");
    std::map<std::string, std::string> fields;
    if (!test::RunProgram({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                           "-show_entries",
                           "stream=codec_name,width,height,pix_fmt,r_frame_rate,avg_frame_rate,"
                           "nb_frames,nb_read_frames",
                           "-of", "default=noprint_wrappers=1", "-o", out, avi})) {
        return fields;
    }
    std::istringstream in(test::ReadFile(out));
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) {
            fields[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return fields;
}

// Frame `n` decoded by the real ffmpeg, rgb24.
std::string DecodeFrame(int n, const test::TempDir& dir) {
    const std::string out = dir.File("frame" + std::to_string(n) + ".raw");
    if (!test::RunFfmpeg({"-i", kSampleAvi, "-vf", "select=eq(n\\," + std::to_string(n) + ")",
                          "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "rgb24", out})) {
        return {};
    }
    return test::ReadFile(out);
}

// The dot colours as they come out of the decoder, with margin for JPEG.
bool IsDotColour(const std::string& joint, int r, int g, int b) {
    if (joint == "head") {
        return r > 150 && g < 90 && b < 90;
    }
    if (joint == "hip") {
        return g > 130 && r < 90 && b < 110;
    }
    if (joint == "knee") {
        return b > 150 && r < 90 && g < 120;
    }
    return r > 180 && g > 100 && g < 210 && b < 80;  // ankle, orange
}

// Centroid of the joint's colour within 12 px of `near`, in the truth's pixel-edge grid.
bool DotCentroid(const std::string& rgb, const std::string& joint, Point near, Point& centroid) {
    double sx = 0, sy = 0, n = 0;
    for (int y = int(near.y) - 12; y <= int(near.y) + 12; ++y) {
        for (int x = int(near.x) - 12; x <= int(near.x) + 12; ++x) {
            if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) {
                continue;
            }
            const auto* p = reinterpret_cast<const uint8_t*>(rgb.data()) + (y * kWidth + x) * 3;
            if (IsDotColour(joint, p[0], p[1], p[2])) {
                sx += x + 0.5;
                sy += y + 0.5;
                n += 1;
            }
        }
    }
    if (n < 100) {  // a whole dot of radius 7 covers about 150 pixels
        return false;
    }
    centroid = {sx / n, sy / n};
    return true;
}

TEST(SampleVideo, ProbesAs120FramesOfMjpeg1280x720At30Fps) {
    const test::TempDir dir;
    ASSERT_TRUE(dir.ok());
    auto probe = Probe(kSampleAvi, dir);
    ASSERT_FALSE(probe.empty()) << "ffprobe could not read " << kSampleAvi;
    EXPECT_EQ(probe["codec_name"], "mjpeg");
    EXPECT_EQ(probe["width"], "1280");
    EXPECT_EQ(probe["height"], "720");
    EXPECT_EQ(probe["pix_fmt"], "yuvj420p");
    EXPECT_EQ(probe["r_frame_rate"], "30/1");
    EXPECT_EQ(probe["avg_frame_rate"], "30/1");
    EXPECT_EQ(probe["nb_frames"], "120");
    EXPECT_EQ(probe["nb_read_frames"], "120");
}

TEST(SampleVideo, TruthListsEveryJointOfEveryFrameAndWalksLeftToRight) {
    auto truth = LoadTruth(kSampleCsv);
    ASSERT_EQ(truth.size(), 4u * kFrames);
    for (const auto& [key, p] : truth) {
        EXPECT_TRUE(p.x > 10 && p.x < kWidth - 10 && p.y > 10 && p.y < kHeight - 10)
            << key.second << " of frame " << key.first << " is not wholly in the picture";
    }
    const double walked = truth[{kFrames - 1, "hip"}].x - truth[{0, "hip"}].x;
    EXPECT_GT(walked, 0.6 * kWidth);
}

// A half-pixel slip between drawing and truth shows here as ~0.7 px; JPEG alone stays < 0.5.
TEST(SampleVideo, DecodedDotsSitOnTheirTruth) {
    const test::TempDir dir;
    ASSERT_TRUE(dir.ok());
    auto truth = LoadTruth(kSampleCsv);
    ASSERT_EQ(truth.size(), 4u * kFrames);
    for (const int frame : {0, 37, 80, 119}) {
        const std::string rgb = DecodeFrame(frame, dir);
        ASSERT_EQ(rgb.size(), size_t(kWidth) * kHeight * 3) << "frame " << frame;
        for (const char* joint : kJoints) {
            const Point want = truth[{frame, joint}];
            Point got;
            ASSERT_TRUE(DotCentroid(rgb, joint, want, got)) << joint << " of frame " << frame;
            EXPECT_LT(std::hypot(got.x - want.x, got.y - want.y), 0.6)
                << joint << " of frame " << frame << " seen at " << got.x << "," << got.y
                << ", truth " << want.x << "," << want.y;
        }
    }
}

TEST(MakeSample, SameBytesEveryRunAndNothingLeftBehind) {
    const test::TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string avi = dir.File("-walk $(x); 'é'.avi");
    const std::string csv = dir.File("-walk $(x); 'é'.csv");
    ASSERT_TRUE(test::RunProgram({kMakeSample, avi, csv}));
    EXPECT_TRUE(test::ReadFile(avi) == test::ReadFile(kSampleAvi))
        << "the video differs from the build's";
    EXPECT_EQ(test::ReadFile(csv), test::ReadFile(kSampleCsv));
    size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) {
        ++files;
    }
    EXPECT_EQ(files, 2u);
}

TEST(MakeSample, FailureExitsNonZeroAndRemovesPartialFiles) {
    const test::TempDir dir;
    ASSERT_TRUE(dir.ok());
    // The truth file can be made, the video cannot: neither may remain.
    EXPECT_FALSE(
        test::RunProgram({kMakeSample, dir.File("missing/walker.avi"), dir.File("t.csv")}));
    EXPECT_TRUE(fs::is_empty(dir.path()));
    EXPECT_FALSE(test::RunProgram({kMakeSample, dir.File("only-one-argument.avi")}));
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

}  // namespace
}  // namespace kivra
