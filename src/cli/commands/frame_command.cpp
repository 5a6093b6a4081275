// kivra-cli frame: one frame saved as a BMP file.
#include <ostream>

#include "../opened_video.h"

namespace kivra::cli {
namespace {

class FrameCommand final : public Command {
public:
    int Parse(const std::vector<std::string>& args, std::ostream&) override {
        if (args.size() != 4 || !ParseInt(args[2], &frame_)) {
            return 2;
        }
        video_ = args[1];
        output_ = args[3];
        return 0;
    }
    int Run(const OpenedVideo& video, std::ostream&, std::ostream& err) override {
        CAviVideoStream& stream = *video.Stream();
        if (RefusedOutput(video, output_, err)) {
            return 1;
        }
        if (frame_ < stream.GetStart() || frame_ > stream.GetEnd()) {
            err << "frame " << frame_ << " is outside " << stream.GetStart() << ".."
                << stream.GetEnd() << "\n";
            return 1;
        }
        bool decoded = false;
        if (!stream.SaveFrameAsBmp(int(frame_), output_, false, &decoded)) {
            if (decoded) {
                err << "cannot write " << output_ << "\n";
            } else {
                err << "frame " << frame_ << " of " << video_ << " cannot be decoded\n";
            }
            return 1;
        }
        return 0;
    }

private:
    long long frame_ = 0;
    std::string video_;
    std::string output_;
};

}  // namespace

const CommandEntry kFrameCommand{
    "frame", "  kivra-cli frame FILE N OUT.bmp\n",
    []() -> std::unique_ptr<Command> { return std::make_unique<FrameCommand>(); }};

}  // namespace kivra::cli
