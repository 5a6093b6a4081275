#pragma once
// The C runtime locale of the program: chosen once at start from the user's locale
// variables, reset to the user's default when the program ends. Settings files never depend
// on it: their numbers are read and written with a decimal point in every locale.
#include <string>
#include <string_view>

namespace kivra {

// The C locale to set for the user's locale value, taking LC_ALL, then LC_MESSAGES, then LANG
// (the first that is not empty): Japanese "ja_JP.UTF-8", Traditional Chinese of Taiwan
// "zh_TW.UTF-8", Korean "ko_KR.UTF-8", Simplified Chinese ("zh_CN" or a bare "zh")
// "zh_CN.UTF-8", anything else "en_US.UTF-8".
std::string CLocaleForUser(std::string_view lcAll, std::string_view lcMessages,
                           std::string_view lang);
// The same from this process's environment.
std::string CLocaleForEnvironment();

}  // namespace kivra

// Holds whether the program set the C locale, so that the locale is reset on the way out.
// A member of the application object.
class ZebsCLocale {
public:
    ZebsCLocale() = default;
    ZebsCLocale(const ZebsCLocale&) = delete;
    ZebsCLocale& operator=(const ZebsCLocale&) = delete;
    // Resets every category to the user's default when the flag is set.
    virtual ~ZebsCLocale();

    // Sets the flag, then the C locale chosen by CLocaleForEnvironment. False when that
    // locale is not installed: the locale then stays as it was, which is no error, except that
    // numbers get a decimal point ("C.UTF-8" or "C" numbers) when they had none.
    bool SetUserLocale();

    void SetLocaleSet(bool set) { m_bLocaleSet = set; }
    bool IsLocaleSet() const { return m_bLocaleSet; }

private:
    bool m_bLocaleSet = false;
};
