#pragma once
// The user interface's texts in one language for the life of the object: Kivra's own
// translation (built into the program), Qt's for its standard buttons and dialogs, and the
// core's translation hook. Japanese is the language the texts are written in, so it needs no
// translation of ours. Owned by the application object, or by kivra-cli's main.
#include <QString>
#include <memory>
#include <optional>

#include "platform/translation.h"
#include "platform/ui_language.h"

class QTranslator;

namespace kivra {

class UiTranslations final : public TextTranslator {
public:
    // Loads the translations of `language` and installs the core's hook. A translation that
    // cannot be loaded leaves its texts as written; that is no error.
    explicit UiTranslations(UiLanguage language);
    ~UiTranslations() override;
    UiTranslations(const UiTranslations&) = delete;
    UiTranslations& operator=(const UiTranslations&) = delete;

    UiLanguage Language() const { return m_language; }
    // Installs them into the running QCoreApplication too, for tr() and Qt's own texts; they
    // leave it again with this object.
    void InstallIntoApplication();

    std::string Translate(const char* context, const char* sourceText) const override;

    // Where Kivra's translation into `language` is built in; empty for Japanese.
    static QString TranslationFile(UiLanguage language);

private:
    UiLanguage m_language;
    std::unique_ptr<QTranslator> m_pKivra;  // null for Japanese
    std::unique_ptr<QTranslator> m_pQt;     // Qt's Japanese texts; null for English
    bool m_bInstalled = false;
    std::optional<ScopedTranslation> m_coreHook;  // last, so that it goes first
};

}  // namespace kivra
