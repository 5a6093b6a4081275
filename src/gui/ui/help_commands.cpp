#include "ui/help_commands.h"

#include <QCoreApplication>
#include <QMenu>

#include "base/command_table.h"
#include "ui/quick_start_dlg.h"

namespace kivra {

namespace {

// The menus keep the main window's translation context.
QString Menu(const char* text) {
    return QCoreApplication::translate("CMainFrame", text);
}

}  // namespace

void AddHelpCommands(CommandTable& table, QMenu* help, QWidget* window, UiLanguage language,
                     const std::function<void()>& about) {
    const auto always = [] { return true; };
    table.AddCommand(
        help, ID_HELP_QUICK_START, Menu(QT_TRANSLATE_NOOP("CMainFrame", "クイックスタート(&Q)")),
        {},
        [window, language] {
            auto* page = window->findChild<CQuickStartDlg*>();
            if (page == nullptr) {
                page = new CQuickStartDlg(language, window);
            }
            page->show();
            page->raise();
            page->activateWindow();
        },
        always);
    help->addSeparator();
    table.AddCommand(help, ID_APP_ABOUT,
                     Menu(QT_TRANSLATE_NOOP("CMainFrame", "バージョン情報(&A)...")), {}, about,
                     always);
}

}  // namespace kivra
