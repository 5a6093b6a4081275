#include "platform/locale_guard.h"

#include <clocale>
#include <cstdlib>
#include <cstring>

namespace kivra {

std::string CLocaleForUser(std::string_view lcAll, std::string_view lcMessages,
                           std::string_view lang) {
    std::string_view value = !lcAll.empty() ? lcAll : !lcMessages.empty() ? lcMessages : lang;
    // language[_territory][.codeset][@modifier]
    value = value.substr(0, value.find_first_of(".@"));
    const auto underscore = value.find('_');
    const std::string_view language = value.substr(0, underscore);
    const std::string_view territory =
        underscore == std::string_view::npos ? std::string_view() : value.substr(underscore + 1);
    if (language == "ja") {
        return "ja_JP.UTF-8";
    }
    if (language == "ko") {
        return "ko_KR.UTF-8";
    }
    if (language == "zh" && territory == "TW") {
        return "zh_TW.UTF-8";
    }
    if (language == "zh" && (territory == "CN" || territory.empty())) {
        return "zh_CN.UTF-8";
    }
    return "en_US.UTF-8";
}

std::string CLocaleForEnvironment() {
    const auto env = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string_view(value ? value : "");
    };
    return CLocaleForUser(env("LC_ALL"), env("LC_MESSAGES"), env("LANG"));
}

}  // namespace kivra

ZebsCLocale::~ZebsCLocale() {
    if (m_bLocaleSet) {
        std::setlocale(LC_ALL, "");
    }
}

bool ZebsCLocale::SetUserLocale() {
    m_bLocaleSet = true;
    if (std::setlocale(LC_ALL, kivra::CLocaleForEnvironment().c_str()) != nullptr) {
        return true;
    }
    // The framework has already set every category from the environment, so a German user's
    // decimal comma would be in force; the sizes and captions shown must keep a decimal point.
    if (std::strcmp(std::localeconv()->decimal_point, ".") != 0 &&
        std::setlocale(LC_NUMERIC, "C.UTF-8") == nullptr) {
        std::setlocale(LC_NUMERIC, "C");
    }
    return false;
}
