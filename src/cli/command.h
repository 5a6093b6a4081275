#pragma once
// The commands of kivra-cli as a table: each names itself, gives its lines of the usage text,
// reads its arguments and does its work on the video it names, opened by Run.
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kivra::cli {

class OpenedVideo;

// How much of the video a command needs opened.
enum class VideoOpening {
    kFull,              // decoded pictures and the sound split off
    kFullWithoutSound,  // decoded pictures; the command never plays or keeps the sound
    kMarkersOnly,       // the markers, trimming state and frame numbering; no decoder
    kNone,              // a command over many videos opens each itself (RunAlone)
};

// One run of a command; made fresh by its table entry, owned by Run.
class Command {
public:
    virtual ~Command() = default;
    // Reads args (args[0] the command's name, args[1] the video). 0 to go on; 2 when the
    // command line is wrong (the usage follows what was written to err); 1 when it names
    // something impossible (said in err).
    virtual int Parse(const std::vector<std::string>& args, std::ostream& err) = 0;
    virtual VideoOpening Opening() const { return VideoOpening::kFull; }
    // The work on the opened video; the exit status.
    virtual int Run(const OpenedVideo& video, std::ostream& out, std::ostream& err) = 0;
    // The work of a command that opens no one video (Opening() kNone); convert as --convert.
    virtual int RunAlone(bool /*convert*/, std::ostream& /*out*/, std::ostream& /*err*/) {
        return 1;
    }
};

struct CommandEntry {
    const char* name;
    const char* usage;  // the command's lines of the usage text
    std::unique_ptr<Command> (*make)();
};

// Every command, in the order the usage text lists them.
std::span<const CommandEntry* const> CommandTable();
// The usage text: each command's lines in the table's order, then what holds for all of them.
std::string UsageText();

extern const CommandEntry kInfoCommand, kFrameCommand, kDecodeCommand, kCsvCommand,
    kKinematicsCommand, kExportCommand, kTrackCommand, kGaitCommand, kReportCommand,
    kCompareCommand, kTrcCommand, kC3dCommand, kSyncCommand, kBatchCommand;

}  // namespace kivra::cli
