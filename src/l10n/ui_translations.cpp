#include "ui_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace kivra {

UiTranslations::UiTranslations(UiLanguage language) : m_language(language) {
    const QString own = TranslationFile(language);
    if (!own.isEmpty()) {
        auto translator = std::make_unique<QTranslator>();
        if (translator->load(own)) {
            m_pKivra = std::move(translator);
        }
    }
    // Qt's own texts are English as written; Debian's qt6-translations-l10n has the Japanese.
    if (language == UiLanguage::Japanese) {
        auto translator = std::make_unique<QTranslator>();
        if (translator->load(QStringLiteral("qtbase_ja"),
                             QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            m_pQt = std::move(translator);
        }
    }
    m_coreHook.emplace(*this);
}

UiTranslations::~UiTranslations() {
    m_coreHook.reset();
    if (m_bInstalled) {
        for (QTranslator* translator : {m_pKivra.get(), m_pQt.get()}) {
            if (translator != nullptr) {
                QCoreApplication::removeTranslator(translator);
            }
        }
    }
}

void UiTranslations::InstallIntoApplication() {
    if (m_bInstalled || QCoreApplication::instance() == nullptr) {
        return;
    }
    for (QTranslator* translator : {m_pQt.get(), m_pKivra.get()}) {
        if (translator != nullptr) {
            QCoreApplication::installTranslator(translator);
        }
    }
    m_bInstalled = true;
}

std::string UiTranslations::Translate(const char* context, const char* sourceText) const {
    // Asked directly rather than through the application, so that kivra-cli needs none.
    if (m_pKivra != nullptr) {
        const QString text = m_pKivra->translate(context, sourceText);
        if (!text.isEmpty()) {
            return text.toStdString();
        }
    }
    return sourceText;
}

QString UiTranslations::TranslationFile(UiLanguage language) {
    return language == UiLanguage::Japanese
               ? QString()
               : QStringLiteral(":/i18n/kivra_%1.qm").arg(QLatin1String(LanguageCode(language)));
}

}  // namespace kivra
