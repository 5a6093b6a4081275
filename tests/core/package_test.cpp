// The Debian package as dpkg sees it: its control fields, its file list, and an unpacked copy
// whose launcher links, desktop entry and icon fit together. The package is made by the test
// set-up (cpack on the built tree) into package-test/ of the build folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "support/ffmpeg_tool.h"

namespace {

using kivra::test::ReadFile;
using kivra::test::RunProgramOutput;
using kivra::test::TempDir;
namespace fs = std::filesystem;

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

class Package : public ::testing::Test {
protected:
    void SetUp() override {
        std::string arch;
        ASSERT_TRUE(RunProgramOutput({"dpkg", "--print-architecture"}, arch));
        m_arch = Trimmed(arch);
        m_deb = KIVRA_BINARY_DIR "/package-test/kivra_" KIVRA_VERSION "_";
        m_deb.append(m_arch).append(".deb");
        ASSERT_TRUE(fs::exists(m_deb)) << m_deb << " was not made";
    }

    std::string Field(const std::string& name) const {
        std::string value;
        EXPECT_TRUE(RunProgramOutput({"dpkg-deb", "-f", m_deb, name}, value));
        return Trimmed(value);
    }

    std::string m_arch;
    std::string m_deb;
};

TEST_F(Package, ControlFieldsNameTheProgramAndItsRunTimeNeeds) {
    EXPECT_EQ(Field("Package"), "kivra");
    EXPECT_EQ(Field("Version"), KIVRA_VERSION);
    EXPECT_EQ(Field("Architecture"), m_arch);
    EXPECT_FALSE(Field("Maintainer").empty());
    EXPECT_FALSE(Field("Description").empty());

    // "a (>= 1), b | c" -> {a, b, c}
    std::set<std::string> depends;
    std::istringstream list(Field("Depends"));
    std::string item;
    while (std::getline(list, item, ',')) {
        std::istringstream alternatives(item);
        std::string word;
        while (alternatives >> word) {
            if (word != "|" && word.front() != '(' && word.back() != ')') {
                depends.insert(word);
            }
        }
    }
    for (const char* needed :
         {"libqt6widgets6", "libqt6gui6", "libqt6core6", "libavformat59", "libavcodec59",
          "libswscale6", "libavutil57", "ffmpeg", "libmediainfo0v5", "fonts-noto-cjk"}) {
        EXPECT_EQ(depends.count(needed), 1U) << needed << " missing from " << Field("Depends");
    }
}

TEST_F(Package, HoldsTheProgramFolderLaunchersDesktopEntryAndIcon) {
    std::string listing;
    ASSERT_TRUE(RunProgramOutput({"dpkg-deb", "-c", m_deb}, listing));
    // path -> "mode owner"; links as "path -> target".
    std::map<std::string, std::string> entries;
    std::istringstream lines(listing);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string mode;
        std::string owner;
        std::string size;
        std::string date;
        std::string time;
        std::string path;
        words >> mode >> owner >> size >> date >> time >> path;
        std::string rest;
        std::getline(words, rest);
        entries[path + rest] = mode + " " + owner;
        EXPECT_EQ(owner, "root/root") << line;
        EXPECT_EQ(path.rfind("./usr/", 0), 0U) << line;
    }
    const std::map<std::string, std::string> expected = {
        {"./usr/lib/kivra/kivra", "-rwxr-xr-x"},
        {"./usr/lib/kivra/kivra-cli", "-rwxr-xr-x"},
        {"./usr/lib/kivra/pellam", "-rwxr-xr-x"},
        {"./usr/lib/kivra/kivra-probe", "-rwxr-xr-x"},
        {"./usr/lib/kivra/profile.ini", "-rw-r--r--"},
        {"./usr/lib/kivra/prepare/runtime-setup", "-rwxr-xr-x"},
        {"./usr/lib/kivra/prepare/encoder-setup", "-rwxr-xr-x"},
        {"./usr/lib/kivra/prepare/codecs.list", "-rw-r--r--"},
        {"./usr/lib/kivra/help_s_jp.bmp", "-rw-r--r--"},
        {"./usr/lib/kivra/help_f_jp.bmp", "-rw-r--r--"},
        {"./usr/lib/kivra/help_s_en.bmp", "-rw-r--r--"},
        {"./usr/lib/kivra/help_f_en.bmp", "-rw-r--r--"},
        {"./usr/lib/kivra/misc/", "drwxr-xr-x"},
        {"./usr/bin/kivra -> ../lib/kivra/kivra", "lrwxrwxrwx"},
        {"./usr/bin/kivra-cli -> ../lib/kivra/kivra-cli", "lrwxrwxrwx"},
        {"./usr/share/applications/kivra.desktop", "-rw-r--r--"},
        {"./usr/share/icons/hicolor/scalable/apps/kivra.svg", "-rw-r--r--"},
    };
    for (const auto& [path, mode] : expected) {
        const auto it = entries.find(path);
        ASSERT_NE(it, entries.end()) << path << " not in the package:\n" << listing;
        EXPECT_EQ(it->second.substr(0, mode.size()), mode) << path;
    }

    // Unpacked, the links reach real programs and the desktop entry names them and the icon.
    TempDir root("kivra-deb");
    ASSERT_TRUE(root.ok());
    ASSERT_TRUE(kivra::test::RunProgram({"dpkg-deb", "-x", m_deb, root.path()}));
    for (const char* program : {"kivra", "kivra-cli"}) {
        const fs::path link = fs::path(root.path()) / "usr/bin" / program;
        EXPECT_TRUE(fs::is_regular_file(link)) << link << " leads nowhere";
    }
    const std::string desktop = ReadFile(root.File("usr/share/applications/kivra.desktop"));
    EXPECT_NE(desktop.find("\nExec=kivra "), std::string::npos) << desktop;
    EXPECT_NE(desktop.find("\nIcon=kivra\n"), std::string::npos) << desktop;
    EXPECT_NE(desktop.find("\nType=Application\n"), std::string::npos) << desktop;
    // Stripped: the build's debugging sections stay out of the package.
    std::string sections;
    ASSERT_TRUE(RunProgramOutput({"objdump", "-h", root.File("usr/lib/kivra/kivra")}, sections));
    EXPECT_EQ(sections.find(".debug_info"), std::string::npos);
}

}  // namespace
