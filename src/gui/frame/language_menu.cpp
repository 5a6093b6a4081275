#include "frame/language_menu.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QMenu>

#include "platform/ui_language.h"
#include "platform/user_messages.h"
#include "settings/inifile_manager.h"

namespace kivra {

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("LanguageMenu", text);
}

// The setting's value for an entry: empty follows the locale.
std::string EntrySetting(std::optional<UiLanguage> language) {
    return language ? LanguageCode(*language) : std::string();
}

}  // namespace

QMenu* AddLanguageMenu(QMenu* menu, ProgramSettings& program, std::function<bool()> saveLanguage,
                       UserMessages& messages) {
    QMenu* languages = menu->addMenu(Tr(QT_TRANSLATE_NOOP("LanguageMenu", "表示言語(&L)")));
    languages->setObjectName(QStringLiteral("LanguageMenu"));
    auto* group = new QActionGroup(languages);
    const std::pair<std::optional<UiLanguage>, const char*> entries[] = {
        {std::nullopt, QT_TRANSLATE_NOOP("LanguageMenu", "システムの設定に従う(&S)")},
        {UiLanguage::Japanese, QT_TRANSLATE_NOOP("LanguageMenu", "日本語(&J)")},
        {UiLanguage::English, QT_TRANSLATE_NOOP("LanguageMenu", "English(&E)")},
    };
    // A value that names no language follows the locale, so it shows as the first entry.
    const std::optional<UiLanguage> current = LanguageFromSetting(program.language);
    for (const auto& [language, text] : entries) {
        QAction* action = languages->addAction(Tr(text));
        action->setObjectName(
            QStringLiteral("Language_%1")
                .arg(language ? QLatin1String(LanguageCode(*language)) : QLatin1String("system")));
        action->setCheckable(true);
        action->setChecked(language == current);
        group->addAction(action);
        QObject::connect(
            action, &QAction::triggered, languages,
            [&program, saveLanguage, &messages, language = language] {
                if (LanguageFromSetting(program.language) == language) {
                    return;  // already the choice
                }
                program.language = EntrySetting(language);
                if (saveLanguage) {
                    saveLanguage();
                }
                messages.ShowMessage(
                    Tr(QT_TRANSLATE_NOOP("LanguageMenu",
                                         "表示言語の変更は、次回の起動時から有効になります。"))
                        .toStdString(),
                    MsgButtons::Ok, MsgIcon::Information);
            });
    }
    return languages;
}

}  // namespace kivra
