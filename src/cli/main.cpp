// kivra-cli: the program's core without windows, for batch work over many trials.
#include <iostream>

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
    const kivra::UiTranslations translations(
        kivra::LanguageForLocale(kivra::LocaleVariables::FromEnvironment()));
    return kivra::cli::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
