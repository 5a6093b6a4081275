// The user interface's language: gettext's order of the locale variables, the setting that
// overrides them, how the setting is kept in the settings file, and the core's texts through
// the real built-in English translation.
#include <gtest/gtest.h>

#include <string>

#include "document/vfw_doc.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/ui_language.h"
#include "settings/inifile_manager.h"
#include "support/ffmpeg_tool.h"
#include "ui_translations.h"

namespace {

using kivra::LocaleVariables;
using kivra::UiLanguage;
using kivra::test::ReadFile;
using kivra::test::TempDir;
using kivra::test::WriteFile;
constexpr UiLanguage kJa = UiLanguage::Japanese;
constexpr UiLanguage kEn = UiLanguage::English;

TEST(UiLanguage, LocaleVariablesInGettextOrder) {
    struct Case {
        LocaleVariables variables;  // LANGUAGE, LC_ALL, LC_MESSAGES, LANG
        UiLanguage expected;
    };
    const Case cases[] = {
        // Nothing set is the C locale: English.
        {{"", "", "", ""}, kEn},
        {{"", "", "", "ja_JP.UTF-8"}, kJa},
        {{"", "", "", "ja"}, kJa},
        {{"", "", "", "ja_JP.eucJP@euro"}, kJa},
        {{"", "", "", "de_DE.UTF-8"}, kEn},
        // LC_ALL before LC_MESSAGES before LANG; an empty value counts as unset.
        {{"", "en_US.UTF-8", "ja_JP.UTF-8", "ja_JP.UTF-8"}, kEn},
        {{"", "ja_JP.UTF-8", "en_US.UTF-8", "en_US.UTF-8"}, kJa},
        {{"", "", "ja_JP.UTF-8", "en_GB.UTF-8"}, kJa},
        {{"", "", "fr_FR.UTF-8", "ja_JP.UTF-8"}, kEn},
        // LANGUAGE comes first unless the messages locale is C or POSIX.
        {{"ja", "", "", "en_US.UTF-8"}, kJa},
        {{"en", "", "", "ja_JP.UTF-8"}, kEn},
        {{"ja", "", "", "C"}, kEn},
        {{"ja", "", "", "POSIX"}, kEn},
        {{"ja", "", "", ""}, kEn},
        {{"ja", "C", "", "ja_JP.UTF-8"}, kEn},  // LC_ALL=C wins over LANG, then LANGUAGE waits
        {{"ja", "", "C", "de_DE.UTF-8"}, kEn},
        {{"ja:en", "", "", "C.UTF-8"}, kJa},  // "C.UTF-8" is not the C locale's name
        // The list is tried in order; languages without a translation are passed over.
        {{"fr:de:ja_JP:en", "", "", "en_US.UTF-8"}, kJa},
        {{"fr:en_GB:ja", "", "", "ja_JP.UTF-8"}, kEn},
        {{"::ja", "", "", "en_US.UTF-8"}, kJa},
        // A list naming none of ours shows the untranslated texts: English, not LANG's.
        {{"fr:de", "", "", "ja_JP.UTF-8"}, kEn},
        {{"", "", "", "en_US.UTF-8"}, kEn},
    };
    for (const Case& c : cases) {
        const LocaleVariables& v = c.variables;
        SCOPED_TRACE("LANGUAGE=" + v.language + " LC_ALL=" + v.lcAll +
                     " LC_MESSAGES=" + v.lcMessages + " LANG=" + v.lang);
        EXPECT_EQ(kivra::LanguageForLocale(v), c.expected);
        // With no setting the locale decides.
        EXPECT_EQ(kivra::ChooseUiLanguage("", v), c.expected);
    }
}

TEST(UiLanguage, SettingOverridesTheLocaleOnlyWhenItNamesALanguage) {
    const LocaleVariables japanese{"", "", "", "ja_JP.UTF-8"};
    const LocaleVariables german{"", "", "", "de_DE.UTF-8"};
    const std::tuple<std::string, UiLanguage, UiLanguage> cases[] = {
        {"ja", kJa, kJa},       {"en", kEn, kEn}, {" EN\t", kEn, kEn},
        {"Ja", kJa, kJa},       {"", kJa, kEn},   {"fr", kJa, kEn},
        {"japanese", kJa, kEn}, {"e", kJa, kEn},  {"\x01\xff", kJa, kEn},
    };
    for (const auto& [setting, underJapanese, underGerman] : cases) {
        SCOPED_TRACE("Language=" + setting);
        EXPECT_EQ(kivra::ChooseUiLanguage(setting, japanese), underJapanese);
        EXPECT_EQ(kivra::ChooseUiLanguage(setting, german), underGerman);
    }
    EXPECT_STREQ(kivra::LanguageCode(kJa), "ja");
    EXPECT_STREQ(kivra::LanguageCode(kEn), "en");
}

TEST(UiLanguage, SettingIsKeptWithoutChangingTheFileOfThoseWhoNeverChoseOne) {
    TempDir dir("kivra 言語");
    const std::string ini = dir.File("Kivra.ini");
    {
        CInifileManager settings(ini);
        settings.LoadSettings();
        EXPECT_EQ(settings.Program().language, "");
    }
    EXPECT_EQ(ReadFile(ini).find("[Settings]"), std::string::npos);

    // The menu's choice is on disk at once, beside what is there, before the run ends.
    WriteFile(ini, "[Recent File List]\nFile1=/a.avi\n");
    {
        CInifileManager settings(ini);
        settings.LoadSettings();
        settings.Program().language = "en";
        ASSERT_TRUE(settings.SaveLanguage());
        EXPECT_EQ(ReadFile(ini), "[Recent File List]\nFile1=/a.avi\n[Settings]\nLanguage=en\n");
    }
    {
        CInifileManager settings(ini);
        settings.LoadSettings();
        EXPECT_EQ(settings.Program().language, "en");
        settings.Program().language.clear();  // back to the locale: the key stays, empty
    }
    CInifileManager settings(ini);
    settings.LoadSettings();
    EXPECT_EQ(settings.Program().language, "");
    EXPECT_NE(ReadFile(ini).find("[Settings]\nLanguage=\n"), std::string::npos) << ReadFile(ini);
}

TEST(UiLanguage, CoreTextsFollowTheInstalledTranslationAndComeBackAfterIt) {
    const std::string japanese = kivra::LoadString(kivra::kIdsCsvFailed);
    ASSERT_EQ(japanese, "CSV出力に失敗しました。");
    {
        const kivra::UiTranslations english(kEn);
        EXPECT_EQ(kivra::LoadString(kivra::kIdsCsvFailed), "The CSV file could not be written.");
        EXPECT_EQ(kivra::SourceString(kivra::kIdsCsvFailed), japanese);
        // %1 survives translation, and what opens does not depend on the language.
        EXPECT_NE(kivra::LoadString(kivra::kIdsUnrecognisedFile).find("%1"), std::string::npos);
        EXPECT_TRUE(CVfwDoc::IsSupportedExtension("/v/walk.MKV"));
        EXPECT_FALSE(CVfwDoc::IsSupportedExtension("/v/walk.txt"));
        {
            // Japanese needs no translation of ours: the texts are as written.
            const kivra::UiTranslations inner(kJa);
            EXPECT_EQ(kivra::LoadString(kivra::kIdsCsvFailed), japanese);
        }
        EXPECT_EQ(kivra::LoadString(kivra::kIdsCsvFailed), "The CSV file could not be written.");
    }
    EXPECT_EQ(kivra::LoadString(kivra::kIdsCsvFailed), japanese);
    EXPECT_EQ(kivra::LoadString(99999), "");
}

}  // namespace
