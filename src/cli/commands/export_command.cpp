// kivra-cli export: the trimmed movie of the play range, as the window saves it.
#include <optional>
#include <ostream>
#include <string_view>

#include "../opened_video.h"
#include "../terminal_progress.h"
#include "convert/format_ini_file.h"
#include "output/codec_option.h"
#include "platform/compressors.h"
#include "platform/four_cc.h"
#include "platform/path_util.h"

namespace kivra::cli {
namespace {

// The first profile whose filter pattern ("desc|*.mp4;*.m4v|") names the extension (".mp4");
// -1 when none does.
int ProfileForExtension(const std::vector<std::string>& filters, const std::string& extension) {
    for (size_t i = 0; i < filters.size(); ++i) {
        const std::string& filter = filters[i];
        const size_t open = filter.find('|');
        if (open == std::string::npos || extension.empty()) {
            continue;
        }
        const size_t close = filter.find('|', open + 1);
        std::string_view patterns(filter);
        patterns = patterns.substr(
            open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
        while (!patterns.empty()) {
            const size_t semi = patterns.find(';');
            std::string_view pattern = patterns.substr(0, semi);
            patterns =
                semi == std::string_view::npos ? std::string_view() : patterns.substr(semi + 1);
            while (!pattern.empty() && pattern.front() == ' ') {
                pattern.remove_prefix(1);
            }
            while (!pattern.empty() && pattern.back() == ' ') {
                pattern.remove_suffix(1);
            }
            if (pattern.size() == extension.size() + 1 && pattern.front() == '*' &&
                EqualsIgnoreCase(pattern.substr(1), extension)) {
                return int(i);
            }
        }
    }
    return -1;
}

class ExportCommand final : public Command {
public:
    int Parse(const std::vector<std::string>& args, std::ostream& err) override {
        std::string codec = kRecommendedCode;
        std::optional<std::string> options;
        long long profile = -1;
        bool argsOk = args.size() >= 3;
        for (size_t i = 3; argsOk && i < args.size(); ++i) {
            if (args[i] == "--codec" && i + 1 < args.size()) {
                codec = args[++i];
            } else if (args[i] == "--options" && i + 1 < args.size()) {
                options = args[++i];
            } else if (args[i] == "--profile" && i + 1 < args.size() &&
                       ParseInt(args[i + 1], &profile) && profile >= 0) {
                ++i;
            } else {
                argsOk = false;
            }
        }
        if (!argsOk) {
            return 2;
        }
        video_ = args[1];
        request_.target = args[2];
        // As the codec list shows it: upper case, padded to four ("DIB" is "DIB ").
        const std::string code = FourCCText(MakeFourCC(codec));
        const std::optional<CompressorInfo> compressor =
            codec.empty() || codec.size() > 4 ? std::nullopt : FindCompressor(MakeFourCC(code));
        if (!compressor) {
            err << "unknown compressor code: " << codec << "\n";
            return 1;
        }
        request_.compress.fccType = MakeFourCC("vids");
        request_.compress.fccHandler = MakeFourCC(code);
        request_.compress.parameters =
            options ? *options : (code == kRecommendedCode ? kRecommendedState : std::string());
        return EndsWithIgnoreCase(request_.target, ".avi") ? 0 : ChooseProfile(profile, err);
    }
    VideoOpening Opening() const override {
        return VideoOpening::kFullWithoutSound;  // the movie holds no sound
    }
    int Run(const OpenedVideo& video, std::ostream&, std::ostream& err) override {
        if (!video.MarkerFileLoaded()) {
            err << "no marker file for " << video_ << "\n";
            return 1;
        }
        if (!video.AreasSet()) {
            err << "the marker file of " << video_ << " has no trimming areas\n";
            return 1;
        }
        const auto [width, height] = video.Session().OutputSize();
        if (width <= 0 || height <= 0) {
            err << "the marker file of " << video_ << " has no known output size\n";
            return 1;
        }
        TerminalProgress progress(err);
        StderrMessages messages(err);
        const ActionResult saved = video.Actions().SaveTrimmedMovie(request_, progress, messages);
        progress.End();
        return Told(saved, err);
    }

private:
    // The conversion profile of a target that is no AVI: number `profile`, or the first that
    // writes its extension.
    int ChooseProfile(long long profile, std::ostream& err) {
        const CFormatIniFile profiles;
        const std::string& target = request_.target;
        if (profile >= 0) {
            if (profile >= (long long)profiles.Filters().size()) {
                err << "profile " << profile << " is not in " << profiles.Path() << " (it has "
                    << profiles.Filters().size() << ", counted from 0)\n";
                return 1;
            }
            request_.profileIndex = int(profile);
            return 0;
        }
        request_.profileIndex = ProfileForExtension(profiles.Filters(), FileExtension(target));
        if (request_.profileIndex < 0) {
            err << "no profile in " << profiles.Path() << " writes \"" << FileExtension(target)
                << "\" files\n";
            return 1;
        }
        return 0;
    }
    // The exit status of the save, its failure said.
    static int Told(const ActionResult& saved, std::ostream& err) {
        switch (saved.stage) {
            case ActionResult::kNoStage:
                return 0;
            case ActionResult::kOwnFile:
                err << saved.message << "\n" << saved.detail << "\n";
                return 1;
            case ActionResult::kBlockedTarget:
                err << "Export error!!\n"
                    << saved.detail << " is in the way (not a regular file)\n";
                return 1;
            case ActionResult::kWrite:
                err << "Export error!!\n";
                if (!saved.detail.empty()) {
                    err << saved.detail << "\n";
                }
                return 1;
            default:
                err << saved.detail << "\n";
                return 1;
        }
    }

    std::string video_;
    MovieRequest request_;
};

}  // namespace

const CommandEntry kExportCommand{
    "export",
    "  kivra-cli export VIDEO OUT [--codec CODE] [--options TEXT] [--profile N]\n"
    "      the trimmed movie of the play range stored in VIDEO's marker file. CODE as the\n"
    "      codec list shows it (H264, MJPG, XVID, DIB for uncompressed ...; default H264 with\n"
    "      crf=18:preset=medium); --options replaces the encoder options (key=value:...).\n"
    "      OUT ending in .avi is written directly; any other OUT is converted with profile N\n"
    "      of profile.ini beside the program, counted from 0 (default: the first profile\n"
    "      whose pattern matches OUT's extension).\n",
    []() -> std::unique_ptr<Command> { return std::make_unique<ExportCommand>(); }};

}  // namespace kivra::cli
