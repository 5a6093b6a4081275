#pragma once
// Which language the user interface speaks: Japanese, the program's own, or English for
// everybody else. The user's setting wins; without one the locale variables decide.
#include <optional>
#include <string>
#include <string_view>

namespace kivra {

enum class UiLanguage { Japanese, English };

// The variables a Linux program takes its message language from; an unset one is empty.
struct LocaleVariables {
    std::string language;  // LANGUAGE
    std::string lcAll;     // LC_ALL
    std::string lcMessages;
    std::string lang;  // LANG

    static LocaleVariables FromEnvironment();
};

// The language gettext would pick for a program with catalogues for "ja" and "en".
UiLanguage LanguageForLocale(const LocaleVariables& variables);
// "ja" or "en" (case and surrounding blanks aside); anything else, the empty value included,
// leaves the choice to the locale.
std::optional<UiLanguage> LanguageFromSetting(std::string_view setting);
// The setting when it names a language, else the locale's.
UiLanguage ChooseUiLanguage(std::string_view setting, const LocaleVariables& variables);
// "ja" or "en", as the setting and the translation files name them.
const char* LanguageCode(UiLanguage language);

}  // namespace kivra
