#include "platform/ui_language.h"

#include <cstdlib>

namespace kivra {

namespace {

// "ja_JP.UTF-8@x" -> "ja": language[_territory][.codeset][@modifier].
std::string_view LanguagePart(std::string_view locale) {
    return locale.substr(0, locale.find_first_of("_.@"));
}

std::optional<UiLanguage> OurLanguage(std::string_view locale) {
    const std::string_view language = LanguagePart(locale);
    if (language == "ja") {
        return UiLanguage::Japanese;
    }
    if (language == "en") {
        return UiLanguage::English;
    }
    return std::nullopt;
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

LocaleVariables LocaleVariables::FromEnvironment() {
    return {Env("LANGUAGE"), Env("LC_ALL"), Env("LC_MESSAGES"), Env("LANG")};
}

UiLanguage LanguageForLocale(const LocaleVariables& v) {
    // gettext's order: the messages locale is the first of LC_ALL, LC_MESSAGES and LANG that
    // is set and not empty ("C" when none is). Only when that locale is not "C" (or its alias
    // "POSIX") does LANGUAGE come first: a colon list tried in order, where the first entry
    // naming a language with a catalogue (ours: ja, en) wins, other languages are passed over
    // like a missing catalogue, and a list naming none of ours leaves the untranslated texts,
    // which for us means English. Like Qt, we take the variables' values rather than asking
    // whether that locale is installed, so a Japanese user without the generated locale still
    // gets Japanese.
    const std::string& messages = !v.lcAll.empty()        ? v.lcAll
                                  : !v.lcMessages.empty() ? v.lcMessages
                                                          : v.lang;
    const bool cLocale = messages.empty() || messages == "C" || messages == "POSIX";
    if (!cLocale && !v.language.empty()) {
        std::string_view list = v.language;
        while (!list.empty()) {
            const std::size_t colon = list.find(':');
            if (const auto ours = OurLanguage(list.substr(0, colon))) {
                return *ours;
            }
            list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
        }
        return UiLanguage::English;
    }
    return OurLanguage(messages) == UiLanguage::Japanese ? UiLanguage::Japanese
                                                         : UiLanguage::English;
}

std::optional<UiLanguage> LanguageFromSetting(std::string_view setting) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!setting.empty() && blank(setting.front())) {
        setting.remove_prefix(1);
    }
    while (!setting.empty() && blank(setting.back())) {
        setting.remove_suffix(1);
    }
    if (setting.size() != 2) {
        return std::nullopt;
    }
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    const std::string code = {lower(setting[0]), lower(setting[1])};
    if (code == "ja") {
        return UiLanguage::Japanese;
    }
    if (code == "en") {
        return UiLanguage::English;
    }
    return std::nullopt;
}

UiLanguage ChooseUiLanguage(std::string_view setting, const LocaleVariables& variables) {
    return LanguageFromSetting(setting).value_or(LanguageForLocale(variables));
}

const char* LanguageCode(UiLanguage language) {
    return language == UiLanguage::Japanese ? "ja" : "en";
}

}  // namespace kivra
