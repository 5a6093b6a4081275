// The private-profile reader/writer against real files: the rules callers rely on, the lines
// it must leave alone, and files it must survive.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>

#include "platform/rw_ini_file.h"
#include "support/ffmpeg_tool.h"

namespace {

using kivra::GetPrivateProfileString;
using kivra::WritePrivateProfileString;
namespace fs = std::filesystem;
using kivra::test::ReadFile;
using kivra::test::TempDir;
using kivra::test::WriteFile;

// Blanks and Japanese in every path the tests hand over.
constexpr const char* kFolderPrefix = "kivra ini 設定";

TEST(PrivateProfile, ReadsLikeTheSystemFunctions) {
    TempDir dir(kFolderPrefix);
    const std::string ini = dir.File("Kivra.ini");
    WriteFile(ini,
              "\xEF\xBB\xBF[Slider]\r\n"
              "; PlaySpeedRate=9.9\r\n"
              "  PlaySpeedRate  =  1.25  \r\n"
              "[FFMpeg]\r\n"
              "TmpFile_VCodec=\"  mpeg4 \"\r\n"
              "Single='x'\r\n"
              "Lone=\"\r\n"
              "Empty=\r\n"
              "[ffmpeg]\r\n"
              "TmpFile_VCodec=second section ignored\r\n"
              "[Last]\r\n"
              "NoLineFeed=end");
    EXPECT_EQ(GetPrivateProfileString("slider", "PLAYSPEEDRATE", "d", ini), "1.25");
    EXPECT_EQ(GetPrivateProfileString("FFMpeg", "TmpFile_VCodec", "d", ini), "  mpeg4 ");
    EXPECT_EQ(GetPrivateProfileString("FFMpeg", "Single", "d", ini), "x");
    EXPECT_EQ(GetPrivateProfileString("FFMpeg", "Lone", "d", ini), "\"");
    EXPECT_EQ(GetPrivateProfileString("FFMpeg", "Empty", "d", ini), "");
    EXPECT_EQ(GetPrivateProfileString("Last", "NoLineFeed", "d", ini), "end");
    EXPECT_EQ(GetPrivateProfileString("Slider", "Missing", "dflt  ", ini), "dflt");
    EXPECT_EQ(GetPrivateProfileString("Nope", "PlaySpeedRate", "d", ini), "d");
    EXPECT_EQ(GetPrivateProfileString("Slider", "PlaySpeedRate", "d", dir.File("absent.ini")), "d");
}

TEST(PrivateProfile, WritesKeepEveryOtherLineInPlace) {
    TempDir dir(kFolderPrefix);
    const std::string ini = dir.File("Kivra.ini");
    const std::string before =
        "; written by hand\r\n"
        "[Recent File List]\r\n"
        "File1=/home/u/walk 1.avi\r\n"
        "\r\n"
        "[Slider]\r\n"
        "playspeedrate = 2.0 ; old\r\n"
        "Other=kept\r\n"
        "\r\n"
        "[ToolBarStatus]\r\n"
        "State=AAAA";
    WriteFile(ini, before);

    ASSERT_TRUE(WritePrivateProfileString("SLIDER", "PlaySpeedRate", "0.5", ini));
    ASSERT_TRUE(WritePrivateProfileString("Slider", "Added", "1", ini));
    ASSERT_TRUE(WritePrivateProfileString("MarkerID", "MaxID", "100", ini));
    EXPECT_EQ(ReadFile(ini),
              "; written by hand\r\n"
              "[Recent File List]\r\n"
              "File1=/home/u/walk 1.avi\r\n"
              "\r\n"
              "[Slider]\r\n"
              "playspeedrate=0.5\r\n"
              "Other=kept\r\n"
              "Added=1\r\n"
              "\r\n"
              "[ToolBarStatus]\r\n"
              "State=AAAA\r\n"
              "[MarkerID]\r\n"
              "MaxID=100\r\n");

    ASSERT_TRUE(WritePrivateProfileString("slider", "other", std::nullopt, ini));
    ASSERT_TRUE(WritePrivateProfileString("recent file list", std::nullopt, std::nullopt, ini));
    EXPECT_EQ(ReadFile(ini),
              "; written by hand\r\n"
              "[Slider]\r\n"
              "playspeedrate=0.5\r\n"
              "Added=1\r\n"
              "\r\n"
              "[ToolBarStatus]\r\n"
              "State=AAAA\r\n"
              "[MarkerID]\r\n"
              "MaxID=100\r\n");
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().filename(), "Kivra.ini") << "temporary file left behind";
    }
}

TEST(PrivateProfile, ValuesComeBackAsWrittenAndUnsafeOnesAreRefused) {
    TempDir dir(kFolderPrefix);
    const std::string ini = dir.File("Kivra.ini");
    for (const std::string value :
         {"/home/u/歩行 ", " leading", "\"quoted\"", "'q'", "a=b;c", "[x]", ""}) {
        ASSERT_TRUE(WritePrivateProfileString("Recent File List", "File1", value, ini));
        EXPECT_EQ(GetPrivateProfileString("Recent File List", "File1", "d", ini), value);
    }
    const std::string kept = ReadFile(ini);
    EXPECT_FALSE(WritePrivateProfileString("S", "File1", "line\n[Injected]\nk=v", ini));
    EXPECT_FALSE(WritePrivateProfileString("S", "a=b", "v", ini));
    EXPECT_FALSE(WritePrivateProfileString("S\n", "k", "v", ini));
    EXPECT_FALSE(WritePrivateProfileString("", "k", "v", ini));
    EXPECT_EQ(ReadFile(ini), kept);
}

TEST(PrivateProfile, LongReadsAreCutWithoutSplittingCharacters) {
    TempDir dir(kFolderPrefix);
    const std::string ini = dir.File("Kivra.ini");
    std::string japanese;
    for (int i = 0; i < 1500; ++i) {
        japanese += "歩";
    }
    WriteFile(ini, "[S]\nWide=" + japanese + "\n");
    EXPECT_EQ(GetPrivateProfileString("S", "Wide", "", ini), japanese.substr(0, 1023 * 3));
    EXPECT_EQ(GetPrivateProfileString("S", "Wide", "", ini, 4000), japanese);
    EXPECT_EQ(GetPrivateProfileString("S", "Missing", std::string(2000, 'd'), ini).size(), 1023u);
}

TEST(IniDocument, OneSaveGivesTheFileOfSingleWrites) {
    TempDir dir(kFolderPrefix);
    const std::string messy =
        "junk before sections\n[B]\nk2=old\n\n\n[a]\n;c\nk1 = 1\n[A]\nk1=dup\n[C]\nx=1";
    const std::string single = dir.File("single.ini");
    const std::string batched = dir.File("batched.ini");
    WriteFile(single, messy);
    WriteFile(batched, messy);

    kivra::IniDocument doc = kivra::IniDocument::Load(batched);
    struct Op {
        const char* section;
        std::optional<std::string_view> key, value;
    };
    const Op ops[] = {{"A", "K1", "2"},        {"b", "k3", " new "}, {"New", "n", "1"},
                      {"C", std::nullopt, {}}, {"B", "k2", {}},      {"New", "m", "2"}};
    for (const Op& op : ops) {
        ASSERT_TRUE(WritePrivateProfileString(op.section, op.key, op.value, single));
        if (!op.key) {
            doc.DeleteSection(op.section);
        } else if (!op.value) {
            doc.DeleteKey(op.section, *op.key);
        } else {
            ASSERT_TRUE(doc.WriteString(op.section, *op.key, *op.value));
        }
    }
    ASSERT_TRUE(doc.Save());
    EXPECT_EQ(ReadFile(batched), ReadFile(single));
    EXPECT_EQ(GetPrivateProfileString("a", "k1", "", batched), "2");
    EXPECT_EQ(GetPrivateProfileString("B", "k3", "", batched), " new ");
}

TEST(PrivateProfile, HostileFilesNeitherCrashNorGetRewritten) {
    TempDir dir(kFolderPrefix);

    // Binary junk inside the size limit: readable, and kept byte for byte around our line.
    std::string junk;
    for (int i = 0; i < 200000; ++i) {
        junk += static_cast<char>((i * 7919 + i / 13) & 0xFF);
    }
    junk += std::string(600000, '[');  // one very long line
    const std::string junkIni = dir.File("junk.ini");
    WriteFile(junkIni, junk);
    EXPECT_EQ(GetPrivateProfileString("S", "k", "d", junkIni), "d");
    ASSERT_TRUE(WritePrivateProfileString("S", "k", "v", junkIni));
    EXPECT_EQ(GetPrivateProfileString("S", "k", "d", junkIni), "v");
    EXPECT_EQ(ReadFile(junkIni).substr(0, junk.size()), junk);

    // 100 MB: too large to be ours; read as empty and left alone.
    const std::string hugeIni = dir.File("huge.ini");
    WriteFile(hugeIni, "[S]\nk=v\n");
    ASSERT_EQ(::truncate(hugeIni.c_str(), 100 << 20), 0);
    EXPECT_EQ(GetPrivateProfileString("S", "k", "d", hugeIni), "d");
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "w", hugeIni));
    EXPECT_EQ(fs::file_size(hugeIni), 100u << 20);
    EXPECT_EQ(ReadFile(hugeIni).substr(0, 8), "[S]\nk=v\n");

    // Not a regular file: no hang on a FIFO, no write into a folder.
    const std::string fifo = dir.File("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(GetPrivateProfileString("S", "k", "d", fifo), "d");
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", fifo));
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", dir.path()));
}

TEST(PrivateProfile, SaveWritesThroughASymbolicLink) {
    TempDir dir(kFolderPrefix);
    const std::string real = dir.File("real.ini");
    const std::string link = dir.File("Kivra.ini");
    WriteFile(real, "[S]\nk=1\n");
    ::chmod(real.c_str(), 0640);
    fs::create_symlink(real, link);
    ASSERT_TRUE(WritePrivateProfileString("S", "k", "2", link));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFile(real), "[S]\nk=2\n");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(ZebCRwIniFile, IniPathUsesTheInternalName) {
    EXPECT_EQ(ZebCRwIniFile::GetIniPath("/home/u/.local/share/Brindle/X/"),
              "/home/u/.local/share/Brindle/X/Kivra.ini");
    EXPECT_EQ(ZebCRwIniFile::GetIniPath("/"), "/Kivra.ini");

    TempDir dir(kFolderPrefix);
    ZebCRwIniFile ini(dir.File("Kivra.ini"));
    EXPECT_FALSE(ini.WriteString("k", "v"));  // no section yet
    EXPECT_EQ(ini.GetString("k", "d"), "d");
    ini.SetSection("S");
    ASSERT_TRUE(ini.WriteString("k", "v"));
    EXPECT_EQ(ini.GetString("K", "d"), "v");
}

}  // namespace
