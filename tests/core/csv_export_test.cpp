// The coordinate table: columns per used ID, times, range filtering and output-picture
// coordinates, read back as a plain CSV file.
#include "markers/csv_export.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "geometry/trimming_param.h"
#include "markers/lff_manager.h"
#include "support/ffmpeg_tool.h"

namespace {

using kivra::ViewRect;
using kivra::test::ReadFile;
using kivra::test::TempDir;

// Lines split at CR LF; fails the test on a bare LF or a missing final CR LF.
std::vector<std::string> CsvLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = text.find("\r\n", pos);
        EXPECT_NE(end, std::string::npos) << "unterminated last line";
        if (end == std::string::npos) {
            break;
        }
        lines.push_back(text.substr(pos, end - pos));
        EXPECT_EQ(lines.back().find('\n'), std::string::npos);
        pos = end + 2;
    }
    return lines;
}

size_t FieldCount(const std::string& line) {
    return static_cast<size_t>(std::count(line.begin(), line.end(), ',')) + 1;
}

CLFFManager StoreWithRows(int rows) {
    CLFFManager store;
    store.LoadMarkers("", rows);
    return store;
}

// The trimming rectangle equals the output size, so output coordinates equal the points.
kivra::TrimRectOfFrame Identity(int w, int h) {
    return [w, h](int) { return ViewRect{0, 0, w, h}; };
}

TEST(CsvExport, UnusedIdsGetNoColumnsAndMissingMarkersGiveEmptyFields) {
    TempDir dir;
    const std::string path = dir.File("out put.csv");
    CLFFManager store = StoreWithRows(5);
    store.SetMarker(0, 0, 1, 2);
    store.SetMarker(2, 0, 3, 4);
    store.SetMarker(2, 2, 5.125, 6.5);
    ASSERT_TRUE(kivra::ExportCsv(store, path, 0, 10, Identity(640, 480), 10.0, 640, 480));
    EXPECT_EQ(ReadFile(path),
              "Time,M01_x,M01_y,M03_x,M03_y\r\n"
              "0.00,1.00,2.00,3.00,4.00\r\n"
              "0.20,,,5.12,6.50\r\n");
}

TEST(CsvExport, TimesCountFromFrameZeroAndOnlyFramesOfTheRangeWithMarkersAreWritten) {
    TempDir dir;
    const std::string path = dir.File("t.csv");
    CLFFManager store = StoreWithRows(120);
    store.SetMarker(6, 5, 0, 0);     // ID 7, before the range: column kept, line dropped
    store.SetMarker(100, 30, 0, 0);  // ID 101
    store.SetMarker(100, 45, 0, 0);
    store.SetMarker(100, 60, 0, 0);  // after the range
    ASSERT_TRUE(kivra::ExportCsv(store, path, 30, 59, Identity(4, 3), 29.97, 4, 3));
    const std::vector<std::string> lines = CsvLines(ReadFile(path));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Time,M07_x,M07_y,M101_x,M101_y");
    EXPECT_EQ(lines[1], "1.00,,,0.00,0.00");
    EXPECT_EQ(lines[2], "1.50,,,0.00,0.00");

    // Without a frame rate no time can be computed: the field stays empty, never "inf".
    ASSERT_TRUE(kivra::ExportCsv(store, path, 30, 30, Identity(4, 3), 0.0, 4, 3));
    EXPECT_EQ(CsvLines(ReadFile(path)).at(1), ",,,0.00,0.00");
}

TEST(CsvExport, PointsAreScaledFromTheFramesTrimmingRectangleToTheOutputPicture) {
    TempDir dir;
    const std::string path = dir.File("scaled.csv");
    CTrimmingParam trims;
    trims.Add({100, 50, 420, 290});  // frame 0: 320 x 240
    trims.Add({0, 0, 160, 120});     // frame 1: 160 x 120
    CLFFManager store = StoreWithRows(3);
    store.SetMarker(0, 0, 260, 170);
    store.SetMarker(1, 0, 100, 50);
    store.SetMarker(0, 1, 40, 30);
    store.SetMarker(0, 2, 7, 7);             // no trimming rectangle for frame 2
    store.SetMarker(2, 1, std::nan(""), 1);  // a point loaded as it came
    ASSERT_TRUE(kivra::ExportCsv(store, path, 0, 2, trims, 25.0, 640, 480));
    const std::vector<std::string> lines = CsvLines(ReadFile(path));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], "0.00,320.00,240.00,0.00,0.00,,");
    EXPECT_EQ(lines[2], "0.04,160.00,120.00,,,,4.00");
    EXPECT_EQ(lines[3], "0.08,,,,,,");
    for (const std::string& line : lines) {
        EXPECT_EQ(FieldCount(line), 7u) << line;
    }
}

TEST(CsvExport, FailedExportLeavesTheOldFile) {
    TempDir dir;
    const std::string path = dir.File("old.csv");
    std::ofstream(path) << "old";
    CLFFManager store = StoreWithRows(1);
    store.SetMarker(0, 0, 1, 1);
    EXPECT_FALSE(kivra::ExportCsv(store, path + "/x.csv", 0, 0, Identity(1, 1), 1.0, 1, 1));
    std::filesystem::create_directory(dir.File("dir.csv"));
    EXPECT_FALSE(kivra::ExportCsv(store, dir.File("dir.csv"), 0, 0, Identity(1, 1), 1.0, 1, 1));
    EXPECT_EQ(ReadFile(path), "old");
    ASSERT_TRUE(kivra::ExportCsv(store, path, 0, 0, Identity(1, 1), 1.0, 1, 1));
    EXPECT_EQ(ReadFile(path), "Time,M01_x,M01_y\r\n0.00,1.00,1.00\r\n");
}

}  // namespace
