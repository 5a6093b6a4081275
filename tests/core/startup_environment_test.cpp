// What start-up derives from the machine: program and settings folders, the kind of account,
// the C locale, and the string table's texts.
#include <gtest/gtest.h>

#include <unistd.h>
#include <climits>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "platform/locale_guard.h"
#include "platform/settings_folder.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "support/ffmpeg_tool.h"

namespace {

namespace fs = std::filesystem;
using kivra::GetSettingsFolder;
using kivra::SpecialFolderEnvironment;
using kivra::test::TempDir;

// Blanks and Japanese in every path the tests hand over.
constexpr const char* kFolderPrefix = "kivra start 起動";

TEST(SettingsFolder, NamedAfterTheProgramFolderBelowEitherSpecialFolder) {
    const TempDir tmp(kFolderPrefix);
    const std::string home = tmp.path() + "/home";
    const SpecialFolderEnvironment homeOnly{"", "", home + "/"};

    EXPECT_EQ(GetSettingsFolder("/opt/X", kivra::kCsidlLocalAppData, homeOnly),
              home + "/.local/share/Brindle/X");
    EXPECT_EQ(GetSettingsFolder("/opt/X//", kivra::kCsidlAppData, homeOnly),
              home + "/.config/Brindle/X");
    EXPECT_TRUE(fs::is_directory(home + "/.local/share/Brindle/X"));
    EXPECT_TRUE(fs::is_directory(home + "/.config/Brindle/X"));

    const SpecialFolderEnvironment xdg{tmp.path() + "/cfg/", tmp.path() + "/data", home};
    EXPECT_EQ(GetSettingsFolder("/usr/lib/歩行 解析", kivra::kCsidlAppData, xdg),
              tmp.path() + "/cfg/Brindle/歩行 解析");
    EXPECT_EQ(GetSettingsFolder("/usr/lib/X", kivra::kCsidlLocalAppData, xdg),
              tmp.path() + "/data/Brindle/X");
    EXPECT_TRUE(fs::is_directory(tmp.path() + "/cfg/Brindle/歩行 解析"));

    // A relative XDG value is ignored; with no home either there is no folder at all.
    const SpecialFolderEnvironment relative{"cfg", "data", home};
    EXPECT_EQ(GetSettingsFolder("/opt/X", kivra::kCsidlAppData, relative),
              home + "/.config/Brindle/X");
    EXPECT_EQ(GetSettingsFolder("/opt/X", kivra::kCsidlAppData, {"", "", ""}), "");
    EXPECT_EQ(GetSettingsFolder("/opt/X", 5, xdg), "");
    EXPECT_EQ(GetSettingsFolder("/opt/..", kivra::kCsidlAppData, xdg), tmp.path() + "/cfg/Brindle");
}

TEST(SettingsFolder, ProgramFolderHoldsThisExecutable) {
    const std::string folder = kivra::GetProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_FALSE(folder.ends_with('/'));
    char resolved[PATH_MAX];
    ASSERT_NE(::realpath(KIVRA_BINARY_DIR, resolved), nullptr);
    EXPECT_EQ(folder, resolved);
}

TEST(SettingsFolder, DomainAccountIsOneMissingFromThePasswdFile) {
    const TempDir tmp(kFolderPrefix);
    const std::string passwd = tmp.path() + "/passwd";
    std::ofstream(passwd) << "root:x:0:0:root:/root:/bin/bash\n"
                             "# comment\n"
                             "broken line\n"
                             "svc:x:1200:4242:Service:/srv:/bin/false\n"
                             "last:x:1300:100::/home/last:/bin/sh";
    EXPECT_FALSE(kivra::IsDomainAccount(0, passwd));
    EXPECT_FALSE(kivra::IsDomainAccount(1200, passwd));
    EXPECT_FALSE(kivra::IsDomainAccount(1300, passwd));  // last line without a line feed
    EXPECT_TRUE(kivra::IsDomainAccount(4242, passwd));   // a group id is no account
    EXPECT_TRUE(kivra::IsDomainAccount(120, passwd));
    EXPECT_FALSE(kivra::IsDomainAccount(4242, tmp.path() + "/missing"));
    EXPECT_FALSE(kivra::IsDomainAccount());  // whoever runs the tests has a local account
}

TEST(Locale, ChosenFromTheUsersLocaleVariables) {
    using kivra::CLocaleForUser;
    EXPECT_EQ(CLocaleForUser("", "", "ja_JP.eucJP"), "ja_JP.UTF-8");
    EXPECT_EQ(CLocaleForUser("", "", "ja"), "ja_JP.UTF-8");
    EXPECT_EQ(CLocaleForUser("", "zh_TW.Big5", "ja_JP.UTF-8"), "zh_TW.UTF-8");
    EXPECT_EQ(CLocaleForUser("ko_KR.UTF-8", "ja_JP", "ja_JP"), "ko_KR.UTF-8");
    EXPECT_EQ(CLocaleForUser("", "", "zh"), "zh_CN.UTF-8");
    EXPECT_EQ(CLocaleForUser("", "", "zh_CN.GB2312"), "zh_CN.UTF-8");
    EXPECT_EQ(CLocaleForUser("", "", "zh_HK.UTF-8"), "en_US.UTF-8");
    EXPECT_EQ(CLocaleForUser("de_DE.UTF-8", "", "ja_JP.UTF-8"), "en_US.UTF-8");
    EXPECT_EQ(CLocaleForUser("", "", "C"), "en_US.UTF-8");
    EXPECT_EQ(CLocaleForUser("", "", ""), "en_US.UTF-8");
}

TEST(Locale, GuardSetsAndResets) {
    const char* const missing = "xx_NOWHERE.UTF-8";
    {
        ZebsCLocale guard;
        ::setenv("LC_ALL", "ja_JP.UTF-8", 1);
        const bool installed = std::setlocale(LC_ALL, "ja_JP.UTF-8") != nullptr;
        std::setlocale(LC_ALL, "C");
        EXPECT_EQ(guard.SetUserLocale(), installed);
        EXPECT_TRUE(guard.IsLocaleSet());
        EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), installed ? "ja_JP.UTF-8" : "C");
        ::setenv("LC_ALL", "C.UTF-8", 1);
    }  // resets from the environment as it is now
    EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C.UTF-8");
    {
        ZebsCLocale unused;
        ::setenv("LC_ALL", missing, 1);
    }  // never set: leaves the locale alone
    EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C.UTF-8");
    ::unsetenv("LC_ALL");
    std::setlocale(LC_ALL, "C");
}

// A German user where the mapped "en_US.UTF-8" is missing: the framework has set the user's
// own locale, whose decimal comma would show in sizes ("2,00 GB") and captions.
TEST(Locale, NumbersKeepADecimalPointWhenTheMappedLocaleIsMissing) {
    const TempDir locales(kFolderPrefix);
    if (!kivra::test::RunProgram(
            {"localedef", "-i", "de_DE", "-f", "UTF-8", locales.File("de_DE.UTF-8")})) {
        GTEST_SKIP() << "cannot build a German locale here";
    }
    // Only the German locale can be found from here on.
    ::setenv("LOCPATH", locales.path().c_str(), 1);
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    ::setenv("LANG", "de_DE.UTF-8", 1);
    const auto format = [] {
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", 2.0);
        return std::string(text);
    };
    const bool german = std::setlocale(LC_ALL, "") != nullptr;  // as the framework does
    const std::string before = format();
    bool mapped = true;
    std::string after;
    {
        ZebsCLocale guard;
        mapped = guard.SetUserLocale();
        after = format();
        guard.SetLocaleSet(false);
    }
    std::setlocale(LC_ALL, "C");
    ::unsetenv("LOCPATH");
    ::unsetenv("LANG");
    ASSERT_TRUE(german);
    EXPECT_EQ(before, "2,00");
    EXPECT_FALSE(mapped);
    EXPECT_EQ(after, "2.00");
}

TEST(StringTable, TextsByNumber) {
    EXPECT_EQ(kivra::LoadString(32796), "トリミングした動画を保存\n動画保存");  // a real line feed
    EXPECT_TRUE(kivra::LoadString(2012).ends_with("出来ませんでした。\n\n%1"));
    EXPECT_EQ(kivra::LoadString(2021), "");
    EXPECT_EQ(kivra::LoadString(kivra::kIdsDocumentOpenFailed),
              "ドキュメントを開くことができませんでした。");
    EXPECT_EQ(kivra::LoadString(kivra::kIdsImageSaveFailed), "画像の保存に失敗しました。");
}

// Read from the header itself, so a name added without its text cannot slip through.
TEST(StringTable, EveryNamedNumberHasItsOwnText) {
    std::ifstream in(KIVRA_SOURCE_DIR "/src/core/platform/string_ids.h");
    ASSERT_TRUE(in);
    std::stringstream header;
    header << in.rdbuf();
    const std::string text = header.str();
    const std::regex named(R"(constexpr int (kIds\w+) = (\d+);)");
    std::set<int> seen;
    int count = 0;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), named);
         it != std::sregex_iterator(); ++it) {
        const int id = std::stoi((*it)[2]);
        EXPECT_FALSE(kivra::LoadString(id).empty()) << (*it)[1] << " = " << id;
        EXPECT_TRUE(seen.insert(id).second) << (*it)[1] << " reuses " << id;
        ++count;
    }
    EXPECT_GE(count, 36);
}

}  // namespace
