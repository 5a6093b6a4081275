#include "commands.h"

#include <algorithm>
#include <ostream>

#include "command.h"
#include "opened_video.h"

namespace kivra::cli {

namespace {

constexpr const CommandEntry* kCommands[] = {
    &kInfoCommand,   &kFrameCommand, &kDecodeCommand, &kCsvCommand,    &kKinematicsCommand,
    &kExportCommand, &kTrackCommand, &kGaitCommand,   &kReportCommand, &kCompareCommand,
    &kTrcCommand,    &kC3dCommand,   &kSyncCommand,   &kBatchCommand};

constexpr const char* kUsageForAll =
    "  --convert with any command reads a video that is not AVI through the conversion to a\n"
    "      temporary AVI beside it instead of straight from the file.\n";

}  // namespace

std::span<const CommandEntry* const> CommandTable() {
    return kCommands;
}

std::string UsageText() {
    std::string text = "usage:\n";
    for (const CommandEntry* entry : CommandTable()) {
        text += entry->usage;
    }
    return text + kUsageForAll;
}

int Run(const std::vector<std::string>& given, std::ostream& out, std::ostream& err) {
    // --convert may stand anywhere and holds for the whole run.
    std::vector<std::string> args;
    bool convert = false;
    for (const std::string& arg : given) {
        if (arg == "--convert") {
            convert = true;
        } else {
            args.push_back(arg);
        }
    }
    const auto table = CommandTable();
    const auto entry =
        args.empty() ? table.end()
                     : std::find_if(table.begin(), table.end(),
                                    [&](const CommandEntry* e) { return args[0] == e->name; });
    if (entry == table.end()) {
        err << UsageText();
        return 2;
    }
    const std::unique_ptr<Command> command = (*entry)->make();
    if (const int parsed = command->Parse(args, err); parsed != 0) {
        if (parsed == 2) {
            err << UsageText();
        }
        return parsed;
    }
    if (command->Opening() == VideoOpening::kNone) {
        return command->RunAlone(convert, out, err);
    }
    const OpenedVideo video(args[1], err, command->Opening(), convert);
    if (video.Stream() == nullptr) {
        return 1;
    }
    return command->Run(video, out, err);
}

}  // namespace kivra::cli
