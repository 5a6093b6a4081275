// Opening any supported video through the document with the real encoder and the real media
// probe: conversion, rotation, square pixels, the sound split, the log, and the temporary
// files beside the source.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>

#include "document/vfw_doc.h"
#include "platform/string_table.h"
#include "settings/inifile_manager.h"
#include "support/ffmpeg_tool.h"
#include "support/recording_host.h"

namespace {

namespace fs = std::filesystem;
using kivra::test::RunFfmpeg;
using kivra::test::TempDir;

// Presses Cancel as soon as a job whose caption starts with `when` offers it.
class CancellingSink final : public kivra::ProgressSink {
public:
    explicit CancellingSink(std::string when) : when_(std::move(when)) {}
    void Begin(int, int, const std::string&, kivra::PercentLabel) override { offered_ = false; }
    void SetCaption(const std::string& caption) override {
        if (caption.starts_with(when_) && offered_) {
            pressed = true;
        }
    }
    void SetPosition(int) override {}
    void Pump() override {}
    void End() override { offered_ = false; }
    void OfferCancel() override { offered_ = true; }
    bool CancelRequested() const override { return pressed; }

    bool pressed = false;

private:
    std::string when_;
    bool offered_ = false;
};

class OpenPipelineTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings.LoadSettings();
        settings.Program().openDirect = false;  // these are the conversion's own cases
        host.doc = &doc;
    }
    std::string Log() { return kivra::test::ReadFile(settingsDir.File("VV_command.log")); }

    TempDir settingsDir;
    TempDir media;
    CInifileManager settings{std::string()};
    kivra::test::RecordingHost host;
    CVfwDoc doc{host, kivra::test::DocumentGroups(settings), settingsDir.path() + "/"};
};

// A phone video turned by 90 degrees comes out upright, taller than wide, without sound.
TEST_F(OpenPipelineTest, RotatedPhoneVideoIsConvertedUpright) {
    const std::string mp4 = media.File("phone clip.mp4");
    const std::string plain = settingsDir.File("plain.mp4");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=30", "-frames:v", "15",
                           "-c:v", "libx264", plain}));
    // Remuxed with rotate=270, ffmpeg writes the display matrix an upright phone writes (read
    // back as a rotation of 90).
    ASSERT_TRUE(RunFfmpeg({"-i", plain, "-c", "copy", "-metadata:s:v:0", "rotate=270", mp4}));
    ASSERT_TRUE(doc.OnOpenDocument(mp4)) << (host.messages.empty() ? "" : host.messages[0]);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(doc.PathName(), mp4);
    EXPECT_EQ(doc.Stream()->FileName(), media.File("phone clip.$tmp$.avi"));
    EXPECT_EQ(doc.Stream()->FileInfo().dwWidth, 240u);
    EXPECT_EQ(doc.Stream()->FileInfo().dwHeight, 320u);
    EXPECT_TRUE(doc.SoundPath().empty());  // no sound to split off
    EXPECT_NE(Log().find("transpose=1"), std::string::npos);
    doc.OnNewDocument();
    EXPECT_EQ(media.Names(), std::vector<std::string>{"phone clip.mp4"});
}

// Non-square pixels are converted to the width that shows them square.
TEST_F(OpenPipelineTest, AnamorphicSourceIsConvertedToSquarePixels) {
    const std::string avi = media.File("dv.avi");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=720x480:rate=30", "-frames:v", "10",
                           "-vf", "setsar=32/27", "-c:v", "mpeg4", avi}));
    ASSERT_TRUE(doc.OnOpenDocument(avi));
    EXPECT_EQ(doc.Stream()->FileInfo().dwWidth,
              852u);  // 720 x 32/27 = 853.3, down to a multiple of 4
    EXPECT_EQ(doc.Stream()->FileInfo().dwHeight, 480u);
    EXPECT_NE(Log().find("-s 852x480 -aspect 1.7750"), std::string::npos);
}

// An M2TS gets the fixed frame rate; the log holds one line per job in the stated layout.
TEST_F(OpenPipelineTest, M2tsWithSoundLogsBothJobs) {
    const std::string m2ts = media.File("CAM 01.M2TS");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=30", "-f", "lavfi",
                           "-i", "sine=duration=1", "-frames:v", "20", "-c:v", "mpeg2video", "-c:a",
                           "mp2", "-f", "mpegts", m2ts}));
    ASSERT_TRUE(doc.OnOpenDocument(m2ts));
    EXPECT_EQ(doc.SoundPath(), media.File("CAM 01.$tmp$.wav"));
    EXPECT_TRUE(fs::exists(doc.SoundPath()));
    const std::string log = Log();
    const std::regex video(
        R"(\[V\]:\d{4}/\d\d/\d\d \d\d:\d\d:\d\d -i ".*CAM 01\.M2TS" -vcodec msmpeg4v2 -sameq -y -fs 2200000000 -an -r 29\.97  ".*CAM 01\.\$tmp\$\.avi"\n)");
    const std::regex sound(
        R"(\[A\]:\d{4}/\d\d/\d\d \d\d:\d\d:\d\d -i ".*CAM 01\.M2TS" -vn -y ".*CAM 01\.\$tmp\$\.wav"\n)");
    EXPECT_TRUE(std::regex_search(log, video)) << log;
    EXPECT_TRUE(std::regex_search(log, sound)) << log;
    doc.OnNewDocument();
    EXPECT_EQ(media.Names(), std::vector<std::string>{"CAM 01.M2TS"});
}

// Names a shell would misread convert like any other and leave nothing behind.
TEST_F(OpenPipelineTest, HostileNamesConvertAndLeaveNoStrayFiles) {
    for (const std::string name :
         {"a \"quoted\" 'name'.mp4", "$(touch pwned);x.mp4", "-leading.mp4", "歩行 テスト.mp4"}) {
        TempDir dir;
        const std::string path = dir.File(name);
        ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=30", "-f", "lavfi",
                               "-i", "sine=duration=0.5", "-frames:v", "8", "-c:v", "libx264",
                               "-c:a", "aac", path}));
        ASSERT_TRUE(doc.OnOpenDocument(path)) << name;
        EXPECT_FALSE(doc.SoundPath().empty()) << name;
        doc.OnNewDocument();
        EXPECT_EQ(dir.Names(), std::vector<std::string>{name}) << name;
    }
    EXPECT_FALSE(fs::exists("pwned"));
}

// A file the encoder cannot read either is reported with its path; nothing is left beside it.
TEST_F(OpenPipelineTest, UnconvertibleFileGives2012) {
    const std::string fake = media.File("broken.mov");
    std::ofstream(fake) << "not a movie at all";
    EXPECT_FALSE(doc.OnOpenDocument(fake));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find(fake), std::string::npos);
    EXPECT_EQ(doc.Stream(), nullptr);
    EXPECT_EQ(media.Names(), std::vector<std::string>{"broken.mov"});
}

// Cancel while a phone clip converts: the clip's files go, the open video stays as it was.
TEST_F(OpenPipelineTest, CancelledConversionKeepsTheOpenVideo) {
    const std::string first = media.File("first.mp4");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25", "-frames:v", "12",
                           "-c:v", "libx264", first}));
    ASSERT_TRUE(doc.OnOpenDocument(first));
    const std::string second = media.File("second.mp4");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-f", "lavfi", "-i",
                           "sine=duration=80", "-frames:v", "2000", "-c:v", "mpeg4", "-q:v", "10",
                           "-c:a", "aac", second}));

    CancellingSink cancel("フォーマット変換中");
    host.sink = &cancel;
    EXPECT_FALSE(doc.OnOpenDocument(second));
    EXPECT_TRUE(cancel.pressed);
    EXPECT_TRUE(host.messages.empty());  // the user asked for it: nothing to tell
    EXPECT_EQ(doc.PathName(), first);
    ASSERT_NE(doc.Stream(), nullptr);
    EXPECT_EQ(doc.Stream()->FileName(), media.File("first.$tmp$.avi"));
    EXPECT_EQ(doc.Stream()->GetFrameCount(), 12);
    EXPECT_EQ(media.Names(),
              (std::vector<std::string>{"first.$tmp$.avi", "first.mp4", "second.mp4"}));

    // Cancelled while the sound is split off: the converted picture goes as well.
    CancellingSink cancelSound("音声ストリーム分離中");
    host.sink = &cancelSound;
    const bool opened = doc.OnOpenDocument(second);
    if (cancelSound.pressed) {
        EXPECT_FALSE(opened);
        EXPECT_EQ(doc.PathName(), first);
        EXPECT_EQ(media.Names(),
                  (std::vector<std::string>{"first.$tmp$.avi", "first.mp4", "second.mp4"}));
    }  // else the split was over before the first look at it: nothing to cancel
    EXPECT_TRUE(host.messages.empty());
}

// Links planted under both scratch names are moved aside, their targets stay as they were,
// and the clip opens all the same.
TEST_F(OpenPipelineTest, PlantedLinksUnderScratchNamesAreMovedAside) {
    const std::string clip = media.File("walk.mp4");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25", "-f", "lavfi",
                           "-i", "sine=duration=0.5", "-frames:v", "10", "-c:v", "libx264", "-c:a",
                           "aac", clip}));
    const TempDir elsewhere;
    for (const char* name : {"walk.$tmp$.avi", "walk.$tmp$.wav"}) {
        std::ofstream(elsewhere.File(name)) << "precious";
        fs::create_symlink(elsewhere.File(name), media.File(name));
    }
    ASSERT_TRUE(doc.OnOpenDocument(clip)) << (host.messages.empty() ? "" : host.messages[0]);
    EXPECT_EQ(doc.Stream()->GetFrameCount(), 10);
    EXPECT_EQ(doc.SoundPath(), media.File("walk.$tmp$.wav"));
    EXPECT_FALSE(fs::is_symlink(media.File("walk.$tmp$.avi")));
    doc.OnNewDocument();
    for (const char* name : {"walk.$tmp$.avi", "walk.$tmp$.wav"}) {
        EXPECT_EQ(kivra::test::ReadFile(elsewhere.File(name)), "precious") << name;
        EXPECT_EQ(fs::read_symlink(media.File(std::string(name) + ".aside1")),
                  elsewhere.File(name));
    }
    EXPECT_EQ(media.Names(), (std::vector<std::string>{"walk.$tmp$.avi.aside1",
                                                       "walk.$tmp$.wav.aside1", "walk.mp4"}));
}

}  // namespace

namespace {

class ContainerTest : public OpenPipelineTest,
                      public ::testing::WithParamInterface<std::vector<std::string>> {};

// Every container of the open dialog's list converts and opens with all its frames.
TEST_P(ContainerTest, OpensThroughConversion) {
    const std::vector<std::string>& param = GetParam();
    const std::string path = media.File("clip" + param[0]);
    std::vector<std::string> args = {"-f",        "lavfi", "-i", "testsrc2=size=160x120:rate=25",
                                     "-frames:v", "25"};
    args.insert(args.end(), param.begin() + 1, param.end());
    args.push_back(path);
    ASSERT_TRUE(RunFfmpeg(args)) << param[0];
    ASSERT_TRUE(doc.OnOpenDocument(path)) << param[0];
    EXPECT_EQ(doc.Stream()->FileName(), media.File("clip.$tmp$.avi"));
    EXPECT_NEAR(doc.Stream()->GetFrameCount(), 25, 1) << param[0];
    doc.OnNewDocument();
    EXPECT_EQ(media.Names(), std::vector<std::string>{"clip" + param[0]});
}

INSTANTIATE_TEST_SUITE_P(
    Extensions, ContainerTest,
    ::testing::Values(std::vector<std::string>{".mkv", "-c:v", "libx264"},
                      std::vector<std::string>{".wmv", "-c:v", "wmv2"},
                      std::vector<std::string>{".flv", "-c:v", "flv1"},
                      std::vector<std::string>{".mpg", "-c:v", "mpeg2video", "-f", "mpeg"},
                      std::vector<std::string>{".mts", "-c:v", "mpeg2video", "-f", "mpegts"},
                      std::vector<std::string>{".mov", "-c:v", "mpeg4"}));

// An AVI whose codec nothing can decode: the reader refuses it, the encoder cannot convert it
// either, and the user gets 2012 with nothing left beside the file.
TEST_F(OpenPipelineTest, AviWithoutDecoderGives2012) {
    const std::string avi = media.File("odd.avi");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=25", "-frames:v", "5",
                           "-c:v", "mjpeg", avi}));
    std::string bytes = kivra::test::ReadFile(avi);
    for (size_t at = bytes.find("MJPG"); at != std::string::npos; at = bytes.find("MJPG", at)) {
        bytes.replace(at, 4, "QQZZ");
    }
    kivra::test::WriteFile(avi, bytes);
    EXPECT_FALSE(doc.OnOpenDocument(avi));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find(avi), std::string::npos);
    EXPECT_EQ(media.Names(), std::vector<std::string>{"odd.avi"});
}

}  // namespace
