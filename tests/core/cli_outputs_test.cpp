// Where kivra-cli writes: never over the video's own files, never a table that grows without
// bound, names up to the file-name limit, and no leftovers of an interrupted save. The real
// binary on files the tests make.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>

#include "kinematics/calibration.h"
#include "markers/lff_manager.h"
#include "markers/trimming_state.h"
#include "platform/four_cc.h"
#include "platform/path_util.h"
#include "platform/replace_file.h"
#include "support/ffmpeg_tool.h"

namespace {

namespace fs = std::filesystem;
using kivra::test::ReadFile;
using kivra::test::RunFfmpeg;
using kivra::test::TempDir;
using kivra::test::WriteFile;

// Marker file beside video (named after what the stream reads): play range 4..13, the first
// `areas` of the two areas, and IDs 1 and 2 on every frame of the range.
void StoreMarkers(const std::string& markerFile, int areas = 2) {
    CLFFManager markers;
    markers.LoadMarkers("", 100);
    kivra::TrimmingState state;
    state.rangeStart = 4;
    state.rangeEnd = 13;
    state.mode = kivra::kSideMode;
    state.direction = kivra::kLandscape;
    if (areas >= 1) {
        state.area1 = kivra::AreaFromSaved({0, 0, 80, 60}, 4);
    }
    if (areas >= 2) {
        state.area2 = kivra::AreaFromSaved({80, 60, 160, 120}, 13);
    }
    kivra::StoreTrimmingState(markers, state);
    for (int f = 4; f <= 13; ++f) {
        markers.SetMarker(0, f, 10.0 + f, 20.0);
        markers.SetMarker(1, f, 50.0, 60.0 - f);
    }
    ASSERT_TRUE(markers.SaveMarkers(markerFile, 0, kivra::kLandscape, 0));
}

class CliOutputsTest : public ::testing::Test {
protected:
    // An MJPEG AVI of 20 frames with its marker file and calibration.
    void MakeVideo(const std::string& path) {
        ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25", "-frames:v",
                               "20", "-c:v", "mjpeg", "-q:v", "5", path}));
        StoreMarkers(kivra::ReplaceExtension(path, ".lff"));
        ASSERT_TRUE(kivra::WriteCalibrationFile(kivra::CalibrationPath(path), {0.5, {}, {}}));
    }
    int Run(const std::string& command, std::vector<std::string> args) {
        return kivra::test::RunCliCommand(dir, command, std::move(args));
    }
    std::string Err() const { return ReadFile(dir.File("err.txt")); }
    // Every file in the folder with its bytes, to show that a refused run changed nothing.
    std::map<std::string, std::string> Snapshot() const {
        std::map<std::string, std::string> files;
        for (const fs::directory_entry& e : fs::directory_iterator(dir.path())) {
            const std::string name = e.path().filename().string();
            if (name != "err.txt") {
                files[name] = e.is_symlink() ? "-> " + fs::read_symlink(e.path()).string()
                                             : ReadFile(e.path().string());
            }
        }
        return files;
    }

    TempDir dir{"kivra outputs 'ü' $x;"};
};

TEST_F(CliOutputsTest, CsvAndKinematicsNeverWriteOverTheVideosOwnFiles) {
    const std::string video = dir.File("-walk 01.avi");
    MakeVideo(video);
    const std::string markers = dir.File("-walk 01.lff");
    const std::string kcal = dir.File("-walk 01.kcal");
    fs::create_directory(dir.File("sub"));
    fs::create_symlink(markers, dir.File("link.csv"));
    fs::create_hard_link(video, dir.File("hard.csv"));
    const auto before = Snapshot();
    for (const std::string command : {"csv", "kinematics"}) {
        for (const std::string& out :
             {video, markers, kcal, dir.File("sub/../-walk 01.lff"), dir.File("link.csv"),
              dir.File("hard.csv"), dir.File("-walk 01.$tmp$.wav"), dir.File("-walk 01.kvisit")}) {
            EXPECT_EQ(Run(command, {video, out}), 1) << command << " " << out;
            EXPECT_NE(Err().find(out), std::string::npos) << Err();
            EXPECT_EQ(Snapshot(), before) << command << " " << out;
        }
    }
    // Another name is written as ever.
    ASSERT_EQ(Run("csv", {video, dir.File("walk.csv")}), 0) << Err();
    EXPECT_EQ(ReadFile(dir.File("walk.csv")).substr(0, 28), "Time,M01_x,M01_y,M02_x,M02_y");
    ASSERT_EQ(Run("kinematics", {video, dir.File("kine.csv")}), 0) << Err();
}

// The coordinate CSV scales each point by its frame's trimming rectangle: without both areas no
// frame has one, and the table that would hold no coordinate is refused, saying why and where
// image pixels are to be had, with nothing written.
TEST_F(CliOutputsTest, CsvWithoutTrimmingAreasIsRefusedWithTheReason) {
    const std::string video = dir.File("walk.avi");
    MakeVideo(video);
    const struct {
        int areas;
        int status;
    } cases[] = {{0, 1}, {1, 1}, {2, 0}};
    for (const auto& c : cases) {
        StoreMarkers(dir.File("walk.lff"), c.areas);
        const auto before = Snapshot();
        ASSERT_EQ(Run("csv", {video, dir.File("out.csv")}), c.status) << c.areas << Err();
        if (c.status != 0) {
            EXPECT_NE(Err().find("kivra-cli kinematics"), std::string::npos) << Err();
            EXPECT_EQ(Snapshot(), before) << c.areas;
        } else {
            const auto rows = kivra::test::CsvFields(ReadFile(dir.File("out.csv")));
            ASSERT_EQ(rows.size(), 11u);
            for (size_t field = 1; field < rows[1].size(); ++field) {
                EXPECT_FALSE(rows[1][field].empty()) << field;
            }
        }
    }
}

TEST_F(CliOutputsTest, ExportRefusesTargetsWhoseScratchFilesAreTheVideosOwn) {
    // The intermediate of walk.avi is the source itself.
    const std::string video = dir.File("walk.$out$.avi");
    MakeVideo(video);
    const auto before = Snapshot();
    EXPECT_EQ(Run("export", {video, dir.File("walk.avi"), "--codec", "MJPG"}), 1);
    EXPECT_NE(Err().find(video), std::string::npos) << Err();
    EXPECT_EQ(Snapshot(), before);
    // The target is the marker file or the calibration, converted with a profile.
    for (const std::string& own : {dir.File("walk.$out$.lff"), dir.File("walk.$out$.kcal")}) {
        EXPECT_EQ(Run("export", {video, own, "--profile", "0"}), 1) << own;
        EXPECT_NE(Err().find(own), std::string::npos) << Err();
        EXPECT_EQ(Snapshot(), before);
    }
}

TEST_F(CliOutputsTest, ExportRefusesATargetWhoseConvertedFileIsTheSource) {
    // An MP4 source is read through its converted twin; its marker file is named after that.
    const std::string video = dir.File("clip.$out$.mp4");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25", "-frames:v", "20",
                           "-c:v", "mpeg4", video}));
    StoreMarkers(dir.File("clip.$out$.$tmp$.lff"));
    const auto before = Snapshot();
    // clip.mp4 is converted into clip.$out$.mp4 beside it: the source.
    EXPECT_EQ(Run("export", {video, dir.File("clip.mp4"), "--codec", "MJPG"}), 1);
    EXPECT_NE(Err().find(video), std::string::npos) << Err();
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(CliOutputsTest, ExportClearsWhatAnInterruptedSaveLeftButNoLink) {
    const std::string video = dir.File("walk.avi");
    MakeVideo(video);
    // A killed save left both scratch files; this save fails in the writer, yet clears them.
    WriteFile(dir.File("out.$out$.avi"), "partial");
    WriteFile(dir.File("out.$out$.mp4"), "partial");
    EXPECT_EQ(Run("export", {video, dir.File("out.mp4"), "--options", "no_such_option=1"}), 1);
    EXPECT_FALSE(fs::exists(dir.File("out.$out$.avi")));
    EXPECT_FALSE(fs::exists(dir.File("out.$out$.mp4")));
    // A link under a scratch name is neither followed nor removed: the save stops.
    WriteFile(dir.File("notes.txt"), "the user's notes");
    fs::create_symlink(dir.File("notes.txt"), dir.File("link.$out$.avi"));
    fs::create_directory(dir.File("folder.$out$.avi"));
    const auto before = Snapshot();
    EXPECT_EQ(Run("export", {video, dir.File("link.avi"), "--codec", "MJPG"}), 1);
    EXPECT_NE(Err().find("link.$out$.avi"), std::string::npos) << Err();
    EXPECT_EQ(Run("export", {video, dir.File("folder.avi"), "--codec", "MJPG"}), 1);
    EXPECT_EQ(Snapshot(), before);
    // And a plain save works and leaves no scratch file.
    ASSERT_EQ(Run("export", {video, dir.File("out.avi"), "--codec", "MJPG"}), 0) << Err();
    EXPECT_FALSE(fs::exists(dir.File("out.$out$.avi")));
}

TEST_F(CliOutputsTest, NamesUpToTheFileNameLimitAreSaved) {
    // 244 bytes: legal, but too long to carry a suffix of a dozen characters.
    const std::string stem(240, 'k');
    const std::string video = dir.File(stem + ".avi");
    MakeVideo(video);
    const std::string csv = dir.File(std::string(240, 'c').append(".csv"));
    const std::string kine = dir.File(std::string(240, 'n').append(".csv"));
    ASSERT_EQ(Run("csv", {video, csv}), 0) << Err();
    EXPECT_EQ(ReadFile(csv).substr(0, 4), "Time");
    ASSERT_EQ(Run("kinematics", {video, kine}), 0) << Err();
    EXPECT_EQ(ReadFile(kine).substr(0, 4), "Time");
    // The marker file of such a video is saved in place, and nothing is left beside it.
    CLFFManager markers;
    const std::string lff = dir.File(stem + ".lff");
    ASSERT_EQ(markers.LoadMarkers(lff, 100), 1);
    markers.SetMarker(4, 2, 1.0, 2.0);
    ASSERT_TRUE(markers.SaveMarkers(lff, 0, 0, 0));
    EXPECT_TRUE(kivra::ReplaceFileContents(dir.File(std::string(250, 'r').append(".txt")), "x"));
    EXPECT_EQ(dir.Names().size(), 7u);  // video, .lff, .kcal, two CSVs, .txt and err.txt
}

// One MJPEG picture followed by `repeats` zero-length chunks, each a repeat of it: a few
// hundred kilobytes that open as thousands of frames.
void WriteRepeatedPictureAvi(const std::string& path, const std::string& jpeg, int repeats) {
    std::string b;
    const auto u32 = [&b](uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            b.push_back(char(v >> (8 * i)));
        }
    };
    const auto u16 = [&b](uint16_t v) {
        b.push_back(char(v));
        b.push_back(char(v >> 8));
    };
    const auto fcc = [&](const char* f) { u32(kivra::MakeFourCC(f)); };
    const auto size = [&b](size_t at) {
        const uint32_t v = uint32_t(b.size() - at - 4);
        for (int i = 0; i < 4; ++i) {
            b[at + size_t(i)] = char(v >> (8 * i));
        }
    };
    const uint32_t frames = uint32_t(repeats) + 1;
    fcc("RIFF");
    const size_t riff = b.size();
    u32(0);
    fcc("AVI ");
    fcc("LIST");
    const size_t hdrl = b.size();
    u32(0);
    fcc("hdrl");
    fcc("avih");
    u32(56);
    for (const uint32_t v : {40000u, 0u, 0u, 0x10u, frames, 0u, 1u, 0u, 64u, 48u, 0u, 0u, 0u, 0u}) {
        u32(v);
    }
    fcc("LIST");
    const size_t strl = b.size();
    u32(0);
    fcc("strl");
    fcc("strh");
    u32(56);
    fcc("vids");
    fcc("MJPG");
    for (const uint32_t v : {0u, 0u, 0u, 1u, 25u, 0u, frames, 0u, 0u, 0u}) {
        u32(v);
    }
    for (const uint16_t v : {0, 0, 64, 48}) {
        u16(v);
    }
    fcc("strf");
    u32(40);
    for (const uint32_t v : {40u, 64u, 48u, 0x180001u}) {
        u32(v);
    }
    fcc("MJPG");
    for (int i = 0; i < 5; ++i) {
        u32(0);
    }
    size(strl);
    size(hdrl);
    fcc("LIST");
    const size_t movi = b.size();
    u32(0);
    fcc("movi");
    std::vector<uint32_t> offsets;
    offsets.push_back(uint32_t(b.size() - (movi + 4)));
    fcc("00dc");
    u32(uint32_t(jpeg.size()));
    b += jpeg;
    if (jpeg.size() % 2 != 0) {
        b.push_back('\0');
    }
    for (int i = 0; i < repeats; ++i) {
        offsets.push_back(uint32_t(b.size() - (movi + 4)));
        fcc("00dc");
        u32(0);
    }
    size(movi);
    fcc("idx1");
    u32(16 * frames);
    for (uint32_t i = 0; i < frames; ++i) {
        fcc("00dc");
        u32(i == 0 ? 0x10 : 0);
        u32(offsets[i]);
        u32(i == 0 ? uint32_t(jpeg.size()) : 0);
    }
    size(riff);
    ASSERT_TRUE(WriteFile(path, b));
}

TEST_F(CliOutputsTest, TablesThatGrowAsFramesTimesIdsAreRefusedNotAborted) {
    const std::string jpeg = dir.File("picture.jpg");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x48", "-frames:v", "1", "-c:v",
                           "mjpeg", "-f", "image2", jpeg}));
    const std::string video = dir.File("repeats.avi");
    WriteRepeatedPictureAvi(video, ReadFile(jpeg), 9999);
    fs::remove(jpeg);
    // 10,000 IDs, each with one marker on a frame of its own.
    CLFFManager markers;
    markers.LoadMarkers("", 10000);
    for (int id = 1; id <= 10000; ++id) {
        markers.SetMarker(id - 1, id - 1, 32.0, 24.0);
    }
    ASSERT_TRUE(markers.SaveMarkers(dir.File("repeats.lff"), 0, 0, 0));
    EXPECT_LT(fs::file_size(video), 250'000u);
    EXPECT_LT(fs::file_size(dir.File("repeats.lff")), 290'000u);

    const auto before = Snapshot();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run("csv", {video, dir.File("out.csv")}), 1);
    EXPECT_NE(Err().find("10000"), std::string::npos) << Err();
    EXPECT_NE(Err().find("20000"), std::string::npos) << Err();
    EXPECT_EQ(Run("kinematics", {video, dir.File("out.csv"), "--angle", "a=1,2,3"}), 1);
    EXPECT_NE(Err().find("30001"), std::string::npos) << Err();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(Snapshot(), before);  // no output and no temporary left

    // A play range of 100 frames makes a table of 100 rows, written in full.
    kivra::TrimmingState range;
    range.rangeStart = 0;
    range.rangeEnd = 99;
    range.mode = kivra::kSideMode;
    range.direction = kivra::kLandscape;
    range.area1 = kivra::AreaFromSaved({0, 0, 64, 48}, 0);
    range.area2 = kivra::AreaFromSaved({0, 0, 64, 48}, 99);
    kivra::StoreTrimmingState(markers, range);
    ASSERT_TRUE(markers.SaveMarkers(dir.File("repeats.lff"), 0, 0, 0));
    ASSERT_EQ(Run("csv", {video, dir.File("out.csv")}), 0) << Err();
    const auto rows = kivra::test::CsvFields(ReadFile(dir.File("out.csv")));
    ASSERT_EQ(rows.size(), 101u);
    EXPECT_EQ(rows[0].size(), 20001u);
    // ID 100 on frame 99: its two fields and no others on the line.
    EXPECT_EQ(rows[100].size(), 20001u);
    EXPECT_FALSE(rows[100][199].empty());
    EXPECT_FALSE(rows[100][200].empty());
    EXPECT_EQ(std::count(rows[100].begin(), rows[100].end(), ""), 19998);
}

}  // namespace
