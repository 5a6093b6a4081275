// kivra-cli csv: the coordinate CSV of the play range, as the window exports it.
#include <ostream>

#include "../opened_video.h"

namespace kivra::cli {
namespace {

class CsvCommand final : public Command {
public:
    int Parse(const std::vector<std::string>& args, std::ostream&) override {
        if (args.size() != 3) {
            return 2;
        }
        video_ = args[1];
        output_ = args[2];
        return 0;
    }
    VideoOpening Opening() const override { return VideoOpening::kMarkersOnly; }
    int Run(const OpenedVideo& video, std::ostream&, std::ostream& err) override {
        if (!video.MarkerFileLoaded()) {
            err << "no marker file for " << video_ << "\n";
            return 1;
        }
        if (RefusedOutput(video, output_, err)) {
            return 1;
        }
        const ActionResult written = video.Actions().ExportCoordinateCsv(output_);
        if (!written.ok()) {
            err << written.message << "\n";
            return 1;
        }
        return 0;
    }

private:
    std::string video_;
    std::string output_;
};

}  // namespace

const CommandEntry kCsvCommand{
    "csv",
    "  kivra-cli csv VIDEO OUT.csv\n"
    "      the markers of the play range in the pixels of the trimmed output picture, scaled\n"
    "      from each frame's trimming area (none set in VIDEO's marker file: refused).\n",
    []() -> std::unique_ptr<Command> { return std::make_unique<CsvCommand>(); }};

}  // namespace kivra::cli
