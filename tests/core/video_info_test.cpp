// The media probe against the real media-information library and files made by ffmpeg, and the
// display-size arithmetic and conversion options on their own.
#include "convert/video_info.h"

#include <gtest/gtest.h>

#include <clocale>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "convert/probe_options.h"
#include "support/ffmpeg_tool.h"

namespace kivra {
namespace {

using test::RunFfmpeg;
using test::TempDir;

struct Case {
    int width, height;
    double par;
    int displayWidth;
    bool resize;
    const char* options;
};

TEST(DisplaySize, WorkedExamplesGiveWidthAndSizeOption) {
    const Case cases[] = {
        {1440, 1080, 1.333, 1920, true, "-s 1920x1080 -aspect 1.7778"},  // 1920.02
        {720, 480, 0.889, 640, true, "-s 640x480 -aspect 1.3333"},       // 640.58
        {720, 480, 1.185, 852, true, "-s 852x480 -aspect 1.7750"},       // 853.7, bits cleared
        {640, 480, 1.0, 640, false, ""},
        {640, 480, 0.0, 640, false, ""},  // zero and negative ratios count as square
        {640, 480, -2.0, 640, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " @" +
                     std::to_string(c.par));
        int w = -1;
        int h = -1;
        const bool resize = DisplaySizeFor(c.width, c.height,
                                           DisplayAspectRatioFor(c.width, c.height, c.par), &w, &h);
        EXPECT_EQ(resize, c.resize);
        EXPECT_EQ(w, c.displayWidth);
        EXPECT_EQ(h, c.height);
        ProbeResult result;
        result.resizeNeeded = resize;
        result.displayWidth = w;
        result.height = h;
        EXPECT_EQ(ExtraOptions(result), c.options);
    }
}

TEST(DisplaySize, DegenerateAnswersAskForNoResize) {
    int w = -1;
    int h = -1;
    EXPECT_FALSE(DisplaySizeFor(720, 0, DisplayAspectRatioFor(720, 0, 1.0), &w, &h));
    EXPECT_EQ(w, 720);
    EXPECT_EQ(h, 0);
    EXPECT_FALSE(DisplaySizeFor(0, 480, 1.5, &w, &h));
    EXPECT_FALSE(DisplaySizeFor(720, 480, 0.0, &w, &h));
    // Ratios so extreme that the width would vanish or overflow are no answer, not "-s 0x480".
    EXPECT_FALSE(DisplaySizeFor(720, 480, 1e-9, &w, &h));
    EXPECT_EQ(w, 720);
    EXPECT_FALSE(DisplaySizeFor(720, 480, 1e300, &w, &h));
    EXPECT_EQ(w, 720);
    EXPECT_FALSE(DisplaySizeFor(720, 480, 1.5, nullptr, nullptr));
    EXPECT_DOUBLE_EQ(DisplayAspectRatioFor(720, 0, 1.185), 0.0);
}

TEST(DisplaySize, AnswersReadAsNumbers) {
    for (const char* square : {"", "0", "0.000", "-1.5", "abc", "nan", "inf", "1e999"}) {
        EXPECT_DOUBLE_EQ(PixelAspectRatioFromText(square), 1.0) << square;
    }
    EXPECT_DOUBLE_EQ(PixelAspectRatioFromText("1.185"), 1.185);
    EXPECT_DOUBLE_EQ(PixelAspectRatioFromText(" 0.889 "), 0.889);
    EXPECT_EQ(LeadingInt("90.000"), 90);
    EXPECT_EQ(LeadingInt("1920"), 1920);
    EXPECT_EQ(LeadingInt(""), 0);
    EXPECT_EQ(LeadingInt("Width"), 0);
    EXPECT_EQ(LeadingInt("-90.000"), -90);
    EXPECT_EQ(LeadingInt("99999999999999999999"), 2147483647);
}

TEST(ExtraOptions, RotationChoosesTheUprightFilter) {
    ProbeResult result;
    const struct {
        int rotation;
        const char* options;
    } cases[] = {
        {90, "-vf transpose=1 -metadata:s:v:0 rotate=0"},
        {180, "-vf hflip,vflip -metadata:s:v:0 rotate=0"},
        {270, "-vf transpose=2 -metadata:s:v:0 rotate=0"},
        {45, ""},
        {0, ""},
        {-90, ""},
    };
    for (const auto& c : cases) {
        result.rotation = c.rotation;
        EXPECT_EQ(ExtraOptions(result), c.options) << c.rotation;
    }
    result.rotation = LeadingInt("90.000");
    result.resizeNeeded = true;
    result.displayWidth = 852;
    result.height = 480;
    EXPECT_EQ(ExtraOptions(result),
              "-s 852x480 -aspect 1.7750 -vf transpose=1 -metadata:s:v:0 rotate=0");
}

TEST(ExtraOptions, DecimalPointWhateverTheLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr &&
        std::setlocale(LC_ALL, "fr_FR.UTF-8") == nullptr) {
        GTEST_SKIP() << "no locale with a decimal comma installed";
    }
    ProbeResult result;
    result.resizeNeeded = true;
    result.displayWidth = 1920;
    result.height = 1080;
    const std::string options = ExtraOptions(result);
    const double par = PixelAspectRatioFromText("1.185");
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(options, "-s 1920x1080 -aspect 1.7778");
    EXPECT_DOUBLE_EQ(par, 1.185);
}

// Real files, made once for the whole suite.
class VideoInfoFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir();
        ASSERT_TRUE(dir_->ok());
        const auto make = [](const std::string& size, const std::vector<std::string>& extra,
                             const std::string& name) {
            std::vector<std::string> args = {
                "-f", "lavfi", "-i", "testsrc=size=" + size + ":rate=25", "-frames:v", "5"};
            args.insert(args.end(), extra.begin(), extra.end());
            args.push_back(File(name));
            return RunFfmpeg(args);
        };
        ASSERT_TRUE(make("720x480", {"-vf", "setsar=32/27", "-c:v", "mpeg4"}, "anamorphic.mp4"));
        ASSERT_TRUE(make("720x480", {"-vf", "setsar=32/27", "-c:v", "mpeg4"}, "anamorphic.avi"));
        ASSERT_TRUE(make("640x480", {"-c:v", "mpeg4"}, "square.mp4"));
        ASSERT_TRUE(make("640x480", {"-c:v", "mjpeg"}, "-$(x); 'q\" 日本語.avi"));
        for (const char* degrees : {"90", "180", "270"}) {
            ASSERT_TRUE(RunFfmpeg({"-i", File("square.mp4"), "-c", "copy", "-metadata:s:v:0",
                                   std::string("rotate=") + degrees,
                                   File(std::string("rotate") + degrees + ".mp4")}));
        }
        ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "sine=duration=1", File("sound.wav")}));
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static std::string File(const std::string& name) { return dir_->File(name); }

    static TempDir* dir_;
};

TempDir* VideoInfoFiles::dir_ = nullptr;

TEST_F(VideoInfoFiles, SharedLibraryIsTheInstalledOne) {
    EXPECT_TRUE(MediaInfoLibrary::Shared().IsLoaded());
}

TEST_F(VideoInfoFiles, AnamorphicSourceNeedsResize) {
    for (const char* name : {"anamorphic.mp4", "anamorphic.avi"}) {
        SCOPED_TRACE(name);
        HaldsCVideoInfo probe;
        ASSERT_EQ(probe.Open(File(name)), 1);
        EXPECT_EQ(probe.GetWidth(), 720);
        EXPECT_EQ(probe.GetHeight(), 480);
        EXPECT_EQ(probe.Get("PixelAspectRatio"), "1.185");
        EXPECT_NEAR(probe.GetDisplayAspectRatio(), 1.7775, 1e-9);
        int w = 0;
        int h = 0;
        EXPECT_TRUE(probe.GetDisplaySize(&w, &h));
        EXPECT_EQ(w, 852);
        EXPECT_EQ(h, 480);
        const ProbeResult result = ProbeSource(File(name));
        EXPECT_TRUE(result.opened);
        EXPECT_EQ(ExtraOptions(result), "-s 852x480 -aspect 1.7750");
    }
}

TEST_F(VideoInfoFiles, SquarePixelsNeedNoResize) {
    HaldsCVideoInfo probe;
    ASSERT_EQ(probe.Open(File("square.mp4")), 1);
    int w = 0;
    int h = 0;
    EXPECT_FALSE(probe.GetDisplaySize(&w, &h));
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    const ProbeResult result = ProbeSource(File("square.mp4"));
    EXPECT_TRUE(result.opened);
    EXPECT_FALSE(result.resizeNeeded);
    EXPECT_EQ(result.rotation, 0);
    EXPECT_EQ(ExtraOptions(result), "");
}

// ffmpeg 5.1 writes "rotate=N" as a display matrix turning the picture N degrees the other way,
// so its rotate=270 is the matrix a phone held upright writes, which the library reports as 90.
TEST_F(VideoInfoFiles, RotationOfPhoneStyleFiles) {
    const struct {
        const char* file;
        const char* answer;
        const char* options;
    } cases[] = {
        {"rotate270.mp4", "90.000", "-vf transpose=1 -metadata:s:v:0 rotate=0"},
        {"rotate180.mp4", "180.000", "-vf hflip,vflip -metadata:s:v:0 rotate=0"},
        {"rotate90.mp4", "270.000", "-vf transpose=2 -metadata:s:v:0 rotate=0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        HaldsCVideoInfo probe;
        ASSERT_EQ(probe.Open(File(c.file)), 1);
        EXPECT_EQ(probe.Get("Rotation"), c.answer);
        EXPECT_EQ(probe.GetWidth(), 640);  // stored size, not turned
        const ProbeResult result = ProbeSource(File(c.file));
        EXPECT_FALSE(result.resizeNeeded);
        EXPECT_EQ(ExtraOptions(result), c.options);
    }
}

TEST_F(VideoInfoFiles, NamesWithShellCharactersAndJapaneseOpenInTheCLocale) {
    ASSERT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
    HaldsCVideoInfo probe;
    ASSERT_EQ(probe.Open(File("-$(x); 'q\" 日本語.avi")), 1);
    EXPECT_EQ(probe.GetWidth(), 640);
    EXPECT_EQ(probe.GetHeight(), 480);
}

TEST_F(VideoInfoFiles, NothingToMeasureGivesNoResult) {
    HaldsCVideoInfo probe;
    EXPECT_EQ(probe.GetWidth(), 0);  // no file yet
    EXPECT_DOUBLE_EQ(probe.GetDisplayAspectRatio(), 0.0);
    int w = -1;
    int h = -1;
    EXPECT_FALSE(probe.GetDisplaySize(&w, &h));
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);

    // Sound only: the library opens it, but there is no video stream to measure.
    ASSERT_EQ(probe.Open(File("sound.wav")), 1);
    EXPECT_EQ(probe.Get("Width"), "");
    EXPECT_EQ(probe.Get("Rotation"), "");
    EXPECT_FALSE(probe.GetDisplaySize(&w, &h));
    EXPECT_EQ(ExtraOptions(ProbeSource(File("sound.wav"))), "");

    // A failed open leaves nothing of the previous file.
    ASSERT_EQ(probe.Open(File("anamorphic.mp4")), 1);
    EXPECT_EQ(probe.Open(File("missing.mp4")), 0);
    EXPECT_FALSE(probe.IsOpen());
    EXPECT_EQ(probe.GetWidth(), 0);
    EXPECT_FALSE(ProbeSource(File("missing.mp4")).opened);
    EXPECT_EQ(probe.Open(dir_->path()), 0);  // a folder is no media file
    EXPECT_EQ(probe.Open(""), 0);
    EXPECT_EQ(probe.Open(std::string("bad\xff\xfe.mp4")), 0);
}

TEST_F(VideoInfoFiles, WithoutTheLibraryNothingIsProbed) {
    const MediaInfoLibrary missing({"/nonexistent/misc/libmediainfo.so.0"});
    EXPECT_FALSE(missing.IsLoaded());
    const MediaInfoLibrary incomplete({"libz.so.1"});  // loads, but has none of the entry points
    EXPECT_FALSE(incomplete.IsLoaded());
    for (const MediaInfoLibrary* library : {&missing, &incomplete}) {
        HaldsCVideoInfo probe(*library);
        EXPECT_EQ(probe.Open(File("anamorphic.mp4")), 0);
        EXPECT_EQ(probe.Get("Width"), "");
        EXPECT_FALSE(probe.GetDisplaySize(nullptr, nullptr));
        const ProbeResult result = ProbeSource(File("rotate270.mp4"), *library);
        EXPECT_FALSE(result.opened);
        EXPECT_EQ(ExtraOptions(result), "");
    }
}

TEST_F(VideoInfoFiles, FirstCompleteCandidateWins) {
    const MediaInfoLibrary library(
        {"/nonexistent/misc/libmediainfo.so.0", "libz.so.1", "libmediainfo.so.0"});
    ASSERT_TRUE(library.IsLoaded());
    EXPECT_EQ(library.LoadedFrom(), "libmediainfo.so.0");
    HaldsCVideoInfo probe(library);
    EXPECT_EQ(probe.Open(File("square.mp4")), 1);
}

TEST_F(VideoInfoFiles, ProbesRunSideBySideOnThreads) {
    std::vector<ProbeResult> results(4);
    std::vector<std::thread> threads;
    for (ProbeResult& result : results) {
        threads.emplace_back([&result] { result = ProbeSource(File("anamorphic.mp4")); });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    for (const ProbeResult& result : results) {
        EXPECT_TRUE(result.resizeNeeded);
        EXPECT_EQ(result.displayWidth, 852);
    }
}

}  // namespace
}  // namespace kivra
