// kivra-cli info: the stream information the window's information dialog shows.
#include <ostream>

#include "../opened_video.h"
#include "reading/stream_info_text.h"

namespace kivra::cli {
namespace {

class InfoCommand final : public Command {
public:
    int Parse(const std::vector<std::string>& args, std::ostream&) override {
        return args.size() == 2 ? 0 : 2;
    }
    int Run(const OpenedVideo& video, std::ostream& out, std::ostream&) override {
        const CAviVideoStream& stream = *video.Stream();
        for (const std::string& line : StreamInfoLines(&stream, stream.GetStart())) {
            out << line << "\n";
        }
        return 0;
    }
};

}  // namespace

const CommandEntry kInfoCommand{
    "info", "  kivra-cli info FILE\n",
    []() -> std::unique_ptr<Command> { return std::make_unique<InfoCommand>(); }};

}  // namespace kivra::cli
