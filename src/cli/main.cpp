// kivra-cli: the program's core without windows, for batch work over many trials.
#include <QGuiApplication>

#include <iostream>
#include <memory>

#include "commands.h"
#include "platform/memory_policy.h"
#include "ui_translations.h"

extern "C" {
#include <libavutil/log.h>
}

int main(int argc, char** argv) {
    kivra::UseLargeBufferPolicy();
    av_log_set_level(AV_LOG_ERROR);
    // The messages of the core follow the locale; the batch tool reads no user settings.
    // The report draws its pages with Qt's fonts, which need an application without a window.
    std::unique_ptr<QGuiApplication> pages;
    // The command is the first word that is not the --convert switch, which may come first.
    int command = 1;
    while (command < argc && std::string(argv[command]) == "--convert") {
        ++command;
    }
    if (command < argc &&
        (std::string(argv[command]) == "report" || std::string(argv[command]) == "batch" ||
         std::string(argv[command]) == "compare")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // Qt's notes on a machine without a desktop session are no news to a batch user.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtCriticalMsg || type == QtFatalMsg) {
                std::cerr << text.toStdString() << '\n';
            }
        });
        pages = std::make_unique<QGuiApplication>(argc, argv);
    }
    kivra::UiTranslations translations(
        kivra::LanguageForLocale(kivra::LocaleVariables::FromEnvironment()));
    translations.InstallIntoApplication();
    return kivra::cli::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
