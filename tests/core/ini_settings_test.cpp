// The settings store against real ini files: first run, conversions, what a save must keep,
// locales with a decimal comma, and files it cannot or must not write.
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <tuple>

#include "settings/inifile_manager.h"
#include "support/ffmpeg_tool.h"

namespace {

namespace fs = std::filesystem;
using kivra::test::ReadFile;
using kivra::test::TempDir;
using kivra::test::WriteFile;

// Blanks and Japanese in every path the tests hand over.
constexpr const char* kFolderPrefix = "kivra settings 設定";

const char* const kDefaultFile =
    "[Slider]\n"
    "PlaySpeedRate=1.0\n"
    "[FFMpeg]\n"
    "TmpFile_VCodec=\n"
    "TmpFile_BitRate(k)=\n"
    "TmpFile_2GLimit=1\n"
    "TmpFile_QScale(2-31)=4\n"
    "[Trimming]\n"
    "Mode=0\n"
    "SizeType=0\n"
    "Direction=0\n"
    "LengthFromCenter1=51\n"
    "LengthFromCenter2=51\n"
    "FilterIndex=1\n"
    "MosaicRectType=1\n"
    "Deinterlace=0\n"
    "[MarkerID]\n"
    "MaxID=100\n"
    "ShowLocus=0\n"
    "LocusColor=255\n"
    "SetIDMode=0\n"
    "SkipFrameNum=1\n"
    "ShowSetIDBtnMsg=1\n";

TEST(Settings, FirstRunWritesEveryKeyWithItsDefault) {
    TempDir dir(kFolderPrefix);
    const std::string ini = dir.File("Kivra.ini");
    {
        CInifileManager settings(ini);
        settings.LoadSettings();
        EXPECT_EQ(settings.Slider().playSpeedRate, 1.0f);
        EXPECT_EQ(settings.ScratchEncoder().qScale, "4");
        EXPECT_EQ(settings.MarkerId().maxId, 100);
        EXPECT_EQ(settings.MarkerId().locusColor, 255);
    }  // the destructor saves
    EXPECT_EQ(ReadFile(ini), kDefaultFile);
}

TEST(Settings, ValuesAreConvertedAsTheyStandAndWrittenBack) {
    TempDir dir(kFolderPrefix);
    const std::string ini = dir.File("Kivra.ini");
    WriteFile(ini,
              "[Slider]\nPlaySpeedRate=1.25\n"
              "[FFMpeg]\nTmpFile_VCodec=\nTmpFile_QScale(2-31)=\nTmpFile_2GLimit=  -12xyz\n"
              "[Trimming]\nMode=+7\nSizeType=99999999999\nDirection=-99999999999\n"
              "LengthFromCenter1=\nFilterIndex=3.9\n"
              "[MarkerID]\nMaxID=abc\n");
    CInifileManager settings(ini);
    settings.LoadSettings();
    EXPECT_EQ(settings.Slider().playSpeedRate, 1.25f);
    EXPECT_EQ(settings.ScratchEncoder().videoCodec, "");
    EXPECT_EQ(settings.ScratchEncoder().qScale, "");  // present but empty: not the default "4"
    EXPECT_TRUE(settings.ScratchEncoder().limit2G);   // read as -12: a flag that is not 0
    EXPECT_EQ(settings.Trimming().mode, 7);
    EXPECT_EQ(settings.Trimming().sizeType, INT_MAX);
    EXPECT_EQ(settings.Trimming().direction, INT_MIN);
    EXPECT_EQ(settings.Trimming().boxHalfSize1, 0);
    EXPECT_EQ(settings.Trimming().filterIndex, 3);
    EXPECT_EQ(settings.MarkerId().maxId, 0);
    EXPECT_EQ(settings.Trimming().OutputSize(), std::make_pair(0, 0));

    ASSERT_TRUE(settings.SaveSettings());
    const std::string saved = ReadFile(ini);
    EXPECT_NE(saved.find("PlaySpeedRate=1.2\n"), std::string::npos);
    EXPECT_NE(saved.find("TmpFile_VCodec=\n"), std::string::npos);
    EXPECT_NE(saved.find("TmpFile_QScale(2-31)=\n"), std::string::npos);
    EXPECT_NE(saved.find("MaxID=0\n"), std::string::npos);
    EXPECT_NE(saved.find("SizeType=2147483647\n"), std::string::npos);
    // A flag keeps the number it held while it stays on, and is 0 once turned off.
    EXPECT_NE(saved.find("TmpFile_2GLimit=-12\n"), std::string::npos) << saved;
    settings.ScratchEncoder().limit2G = false;
    ASSERT_TRUE(settings.SaveSettings());
    EXPECT_NE(ReadFile(ini).find("TmpFile_2GLimit=0\n"), std::string::npos);
}

TEST(Settings, SpeedTextsReadLikeTheRuntimeConversion) {
    const std::pair<const char*, float> cases[] = {
        {"  -2.5e1x", -25.0f}, {".5", 0.5f}, {"1,5", 1.0f},   {"2e", 2.0f}, {"+3.", 3.0f},
        {"abc", 0.0f},         {"", 0.0f},   {"1e999", 0.0f}, {"-.", 0.0f}, {"\t0.1", 0.1f},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(kivra::TextToFloat(text), expected) << '"' << text << '"';
    }
}

TEST(Settings, SaveKeepsTheRestOfTheFile) {
    TempDir dir(kFolderPrefix);
    const std::string ini = dir.File("Kivra.ini");
    WriteFile(ini,
              "; my notes\r\n"
              "[Recent File List]\r\n"
              "File1=/home/u/歩行 テスト.avi\r\n"
              "[slider]\r\n"
              "playspeedrate=0.5\r\n"
              "[ToolBarStatus]\r\n"
              "State=AAAAAP8=\r\n");
    CInifileManager settings(ini);
    settings.LoadSettings();
    EXPECT_EQ(settings.Slider().playSpeedRate, 0.5f);
    settings.Slider().playSpeedRate = 2.0f;
    ASSERT_TRUE(settings.SaveSettings());

    const std::string saved = ReadFile(ini);
    EXPECT_TRUE(
        saved.starts_with("; my notes\r\n"
                          "[Recent File List]\r\n"
                          "File1=/home/u/歩行 テスト.avi\r\n"
                          "[slider]\r\n"
                          "playspeedrate=2.0\r\n"
                          "[ToolBarStatus]\r\n"
                          "State=AAAAAP8=\r\n"
                          "[FFMpeg]\r\n"))
        << saved;
    EXPECT_EQ(saved.find("[Slider]"), std::string::npos);  // no second, differently cased copy
}

TEST(Settings, LongStringIsCutTo1023Characters) {
    TempDir dir(kFolderPrefix);
    const std::string ini = dir.File("Kivra.ini");
    WriteFile(ini, "[FFMpeg]\nTmpFile_VCodec=" + std::string(1500, 'v') + "\n");
    CInifileManager settings(ini);
    settings.LoadSettings();
    EXPECT_EQ(settings.ScratchEncoder().videoCodec, std::string(1023, 'v'));
    ASSERT_TRUE(settings.SaveSettings());
    EXPECT_NE(ReadFile(ini).find("TmpFile_VCodec=" + std::string(1023, 'v') + "\n"),
              std::string::npos);
}

// A locale with a decimal comma: the installed one, or one compiled into a temporary folder.
bool SetCommaLocale(const std::string& scratch) {
    if (std::setlocale(LC_ALL, "de_DE.UTF-8")) {
        return true;
    }
    // Its status is no guide: warnings make it non-zero while the locale is still written.
    kivra::test::RunProgram({"localedef", "-i", "de_DE", "-f", "UTF-8", scratch + "/de_DE.UTF-8"});
    ::setenv("LOCPATH", scratch.c_str(), 1);
    return std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
}

TEST(Settings, DecimalPointInEveryLocale) {
    TempDir dir(kFolderPrefix);
    TempDir locales(kFolderPrefix);
    const std::string ini = dir.File("Kivra.ini");
    WriteFile(ini, "[Slider]\nPlaySpeedRate=0.25\n");
    if (!SetCommaLocale(locales.path())) {
        ::unsetenv("LOCPATH");
        GTEST_SKIP() << "no German locale available";
    }
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    const bool comma = std::string(probe) == "1,5";
    {
        CInifileManager settings(ini);
        settings.LoadSettings();
        EXPECT_EQ(settings.Slider().playSpeedRate, 0.25f);
        settings.Slider().playSpeedRate = 1.0f;
    }
    std::setlocale(LC_ALL, "C");
    ::unsetenv("LOCPATH");
    ASSERT_TRUE(comma) << "the locale did not switch to a decimal comma";
    EXPECT_NE(ReadFile(ini).find("PlaySpeedRate=1.0\n"), std::string::npos);
}

// Root writes into read-only folders, so the job then runs in a child as "nobody".
bool RunWithoutPrivileges(const std::function<bool()>& job) {
    if (::geteuid() != 0) {
        return job();
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(2);
        }
        ::_exit(job() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(Settings, FailedSaveLeavesTheOldFile) {
    TempDir dir(kFolderPrefix);
    const std::string ini = dir.File("Kivra.ini");
    WriteFile(ini, "[Recent File List]\nFile1=/a.avi\n[MarkerID]\nMaxID=7\n");
    fs::permissions(ini, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec |
                                    fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    const bool saved = RunWithoutPrivileges([&] {
        CInifileManager settings(ini);
        settings.LoadSettings();
        if (settings.MarkerId().maxId != 7) {
            return true;  // unreadable: shows up as a "saved" failure below
        }
        settings.MarkerId().maxId = 8;
        return settings.SaveSettings();
    });
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadFile(ini), "[Recent File List]\nFile1=/a.avi\n[MarkerID]\nMaxID=7\n");
}

TEST(Settings, HostileFileGivesDefaultsAndSurvives) {
    TempDir dir(kFolderPrefix);
    const std::string junk = dir.File("junk.ini");
    std::string junkLines = "\xFF\xFE";
    junkLines += std::string(100000, '\0');
    junkLines += "\n[MarkerID\nMaxID\n=5\n[]]\n";
    WriteFile(junk, "[Slider]\nPlaySpeedRate=\x01\x02 9\n" + junkLines);
    {
        CInifileManager settings(junk);
        settings.LoadSettings();
        EXPECT_EQ(settings.Slider().playSpeedRate, 0.0f);
        EXPECT_EQ(settings.MarkerId().maxId, 100);  // "[MarkerID" is no section header
    }
    EXPECT_TRUE(
        ReadFile(junk).starts_with("[Slider]\nPlaySpeedRate=0.0\n" + junkLines + "[FFMpeg]\n"));
}

TEST(Settings, OutputSizeFollowsSizeTypeAndDirection) {
    CInifileManager settings("/nonexistent-folder/Kivra.ini");
    const std::tuple<int, int, std::pair<int, int>> cases[] = {
        {1, 0, {768, 1024}}, {1, 1, {1024, 768}}, {2, 1, {1440, 1080}},
        {0, 7, {480, 640}},  {3, 1, {0, 0}},      {-1, 0, {0, 0}}};
    for (const auto& [sizeType, direction, expected] : cases) {
        settings.Trimming().sizeType = sizeType;
        settings.Trimming().direction = direction;
        EXPECT_EQ(settings.Trimming().OutputSize(), expected) << sizeType << " " << direction;
    }
}

// The picture cache bound is read from the file but never written into it.
TEST(Settings, PictureCacheBoundIsReadOnly) {
    TempDir dir(kFolderPrefix);
    const std::string ini = dir.File("Kivra.ini");
    {
        CInifileManager settings(ini);
        settings.LoadSettings();
        EXPECT_EQ(settings.Slider().pictureCacheMB, 512);
        EXPECT_FALSE(settings.Slider().pictureCacheSet);
        settings.SaveSettings();
    }
    EXPECT_EQ(ReadFile(ini).find("PictureCacheMB"), std::string::npos);
    WriteFile(ini, "[Slider]\nPictureCacheMB=64\n");
    CInifileManager settings(ini);
    settings.LoadSettings();
    EXPECT_EQ(settings.Slider().pictureCacheMB, 64);
}

// Every key away from its default, flags flipped: each lands in its own group member, and a
// save writes the same bytes back.
TEST(Settings, EveryKeyRoundTripsThroughItsGroup) {
    TempDir dir(kFolderPrefix);
    const std::string ini = dir.File("Kivra.ini");
    const std::string file =
        "[Slider]\nPlaySpeedRate=0.5\n"
        "[FFMpeg]\nTmpFile_VCodec=mpeg4\nTmpFile_BitRate(k)=800\nTmpFile_2GLimit=0\n"
        "TmpFile_QScale(2-31)=9\n"
        "[Trimming]\nMode=2\nSizeType=1\nDirection=1\nLengthFromCenter1=40\n"
        "LengthFromCenter2=60\nFilterIndex=3\nMosaicRectType=0\nDeinterlace=1\n"
        "[MarkerID]\nMaxID=12\nShowLocus=1\nLocusColor=65280\nSetIDMode=1\nSkipFrameNum=5\n"
        "ShowSetIDBtnMsg=0\nSkipFill=1\n"
        "[Settings]\nLanguage=en\nOpenDirect=0\n";
    WriteFile(ini, file);
    CInifileManager settings(ini);
    settings.LoadSettings();
    const kivra::SliderSettings& slider = settings.Slider();
    const kivra::ScratchEncoderSettings& encoder = settings.ScratchEncoder();
    const kivra::TrimmingSettings& trimming = settings.Trimming();
    const kivra::MarkerIdSettings& ids = settings.MarkerId();
    const std::pair<const char*, bool> read[] = {
        {"PlaySpeedRate", slider.playSpeedRate == 0.5f},
        {"TmpFile_VCodec", encoder.videoCodec == "mpeg4"},
        {"TmpFile_BitRate(k)", encoder.bitRate == "800"},
        {"TmpFile_2GLimit", !encoder.limit2G},
        {"TmpFile_QScale(2-31)", encoder.qScale == "9"},
        {"Mode", trimming.mode == 2},
        {"SizeType Direction", trimming.OutputSize() == std::make_pair(1024, 768)},
        {"LengthFromCenter", trimming.boxHalfSize1 == 40 && trimming.boxHalfSize2 == 60},
        {"FilterIndex", trimming.filterIndex == 3},
        {"MosaicRectType", trimming.mosaicType == 0},
        {"Deinterlace", trimming.deinterlace},
        {"MaxID", ids.maxId == 12},
        {"ShowLocus", ids.showLocus},
        {"LocusColor", ids.locusColor == 0xFF00},
        {"SetIDMode", ids.Skipping()},
        {"SkipFrameNum", ids.skipFrames == 5},
        {"ShowSetIDBtnMsg", !ids.askToShowIdBar},
        {"SkipFill", ids.skipFillByTracking},
        {"Language", settings.Program().language == "en"},
        {"OpenDirect", !settings.Program().openDirect},
    };
    for (const auto& [key, ok] : read) {
        EXPECT_TRUE(ok) << key;
    }
    ASSERT_TRUE(settings.SaveSettings());
    EXPECT_EQ(ReadFile(ini), file);
}

}  // namespace
