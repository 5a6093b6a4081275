// kivra-cli sync: the time offset between two videos of one walk, found by hand, from their
// sound, a flash or the heel strikes, and kept in a .ksync file beside the first.
#include <ostream>

#include "../gait_commands.h"
#include "../opened_video.h"
#include "platform/number_text.h"
#include "platform/translation.h"
#include "sync/audio_sync.h"
#include "sync/event_sync.h"
#include "sync/flash_sync.h"
#include "sync/linked_cursors.h"
#include "sync/sync_session.h"
#include "workspace/workspace.h"

namespace kivra::cli {
namespace {

constexpr double kDefaultMaxOffset = 10.0;

// One run of the command on A (opened by Run) and B (opened here); made by its table entry.
class SyncCommand final : public Command {
public:
    int Parse(const std::vector<std::string>& args, std::ostream& err) override {
        if (args.size() < 3) {
            return 2;
        }
        a_ = args[1];
        b_ = args[2];
        // What is not ours is the gait options of --by events.
        std::vector<std::string> gaitArgs{args[0], args[1]};
        for (size_t i = 3; i < args.size(); ++i) {
            const std::string& arg = args[i];
            const bool hasValue = i + 1 < args.size();
            if (arg == "--save") {
                save_ = true;
            } else if (arg == "--by" && hasValue && !method_) {
                method_ = SyncMethodNamed(args[++i]);
                if (!method_) {
                    return 2;
                }
                if (*method_ == SyncMethod::kFrames &&
                    (i + 1 >= args.size() || !ParseFramePair(args[++i]))) {
                    err << translate("CliMessages",
                                     "--by frames FA,FB: 同じ瞬間を写す A と B のフレーム番号を"
                                     "指定してください")
                        << "\n";
                    return 2;
                }
            } else if (arg == "--max-offset" && hasValue) {
                const std::optional<double> seconds = ParsePositiveNumber(args[++i]);
                if (!seconds || *seconds > double(SyncOffset::kMaxSeconds)) {
                    err << NumberProblem(arg, args[i]) << "\n";
                    return 2;
                }
                maxOffset_ = *seconds;
            } else {
                gaitArgs.push_back(arg);
            }
        }
        if (method_ != SyncMethod::kEvents) {
            return gaitArgs.size() == 2 ? 0 : 2;
        }
        std::string problem;
        const AcceptedOptions accepted{/*gait=*/true, /*header=*/false};
        if (const int status = ParseOptions(gaitArgs, 2, accepted, gait_, problem); status != 0) {
            if (!problem.empty()) {
                err << problem << "\n";
            }
            return status;
        }
        gait_.setup.filterHz = gait_.filterHz;
        return 0;  // without --foot, each video's .kgait names its own feet
    }
    // Sound, the frames given and the events need the frame numbering alone; a flash, which
    // the default falls back to, needs the pictures.
    VideoOpening Opening() const override {
        return !method_ || *method_ == SyncMethod::kFlash ? VideoOpening::kFullWithoutSound
                                                          : VideoOpening::kMarkersOnly;
    }
    int Run(const OpenedVideo& a, std::ostream& out, std::ostream& err) override {
        const OpenedVideo b(b_, err, Opening(), /*convert=*/false);
        if (b.Stream() == nullptr) {
            return 1;
        }
        const VideoClock clockA = ClockOf(*a.Stream());
        const VideoClock clockB = ClockOf(*b.Stream());
        int status = 1;
        std::optional<SyncEstimate> estimate = Estimate(a, b, clockA, clockB, err, status);
        if (!estimate) {
            return status;
        }
        if (!estimate->found) {
            err << ArgText(translate("CliMessages", "ずれを求められません (%1): %2"),
                           {SyncMethodName(estimate->method), estimate->why})
                << "\n";
            return 1;
        }
        const SyncOffset& offset = estimate->offset;
        out << "offset: " << offset.Text() << " s (B = A + offset)\n";
        out << "frames of A: " << FixedText(offset.InFrames(clockA), 3) << " at "
            << FixedText(clockA.FramesPerSecond(), 3) << " fps\n";
        out << "frames of B: " << FixedText(offset.InFrames(clockB), 3) << " at "
            << FixedText(clockB.FramesPerSecond(), 3) << " fps\n";
        out << "method: " << SyncMethodName(estimate->method) << "\n";
        out << "confidence: " << FixedText(estimate->confidence, 2) << "\n";
        if (estimate->method == SyncMethod::kFlash || estimate->method == SyncMethod::kEvents) {
            out << "agreeing: " << estimate->agreeing << "\n";
        }
        return save_ ? Save(*estimate, out, err) : 0;
    }

private:
    bool ParseFramePair(const std::string& text) {
        const size_t comma = text.find(',');
        long long fa = -1;
        long long fb = -1;
        if (comma == std::string::npos || !ParseInt(text.substr(0, comma), &fa) ||
            !ParseInt(text.substr(comma + 1), &fb) || fa < 0 || fb < 0 || fa > INT32_MAX ||
            fb > INT32_MAX) {
            return false;
        }
        frames_ = {int(fa), int(fb)};
        return true;
    }

    // Nothing when the reason went to err already, with the exit status in status.
    std::optional<SyncEstimate> Estimate(const OpenedVideo& a, const OpenedVideo& b,
                                         const VideoClock& clockA, const VideoClock& clockB,
                                         std::ostream& err, int& status) const {
        const SyncMethod method = method_.value_or(SyncMethod::kSound);
        if (method == SyncMethod::kFrames) {
            return ByFrames(clockA, clockB);
        }
        if (method == SyncMethod::kEvents) {
            const auto eventsA = EventsOf(a, a_, err, status);
            const auto eventsB = eventsA ? EventsOf(b, b_, err, status) : std::nullopt;
            if (!eventsB) {
                return std::nullopt;
            }
            return FindEventOffset(*eventsA, clockA, *eventsB, clockB, maxOffset_);
        }
        if (method == SyncMethod::kSound) {
            const AudioRead soundA = ReadMonoAudio(a_);
            const AudioRead soundB = soundA.why.empty() ? ReadMonoAudio(b_) : AudioRead{};
            const AudioRead& silent = soundA.why.empty() ? soundB : soundA;
            if (silent.why.empty()) {
                return FindSoundOffset(soundA.audio, soundB.audio, maxOffset_);
            }
            const std::string& which = soundA.why.empty() ? b_ : a_;
            if (method_) {
                err << which << ": " << silent.why << "\n";
                return std::nullopt;
            }
            err << ArgText(translate("CliMessages", "%1: %2。閃光でずれを求めます"),
                           {which, silent.why})
                << "\n";
        }
        const std::vector<double> brightA = FrameBrightness(*a.Stream());
        const std::vector<double> brightB = FrameBrightness(*b.Stream());
        return FindFlashOffset(brightA, clockA, brightB, clockB, maxOffset_);
    }

    SyncEstimate ByFrames(const VideoClock& clockA, const VideoClock& clockB) const {
        SyncEstimate estimate;
        if (frames_.first >= clockA.frames || frames_.second >= clockB.frames) {
            estimate.why = translate("CliMessages", "フレーム番号が動画の範囲外です");
            return estimate;
        }
        if (const auto offset =
                SyncOffset::FromFrames(clockA, frames_.first, clockB, frames_.second)) {
            estimate = {true, SyncMethod::kFrames, *offset, 1.0, 1, {}};
        } else {
            estimate.why = translate("SyncMessages", "動画にフレームレートがありません");
        }
        return estimate;
    }

    std::optional<std::vector<GaitEvent>> EventsOf(const OpenedVideo& video,
                                                   const std::string& name, std::ostream& err,
                                                   int& status) const {
        if (!video.MarkerFileLoaded()) {
            err << NoMarkerFileText(name) << "\n";
            return std::nullopt;
        }
        std::string problem;
        const std::optional<GaitSetup> setup =
            SetupFor(gait_, video.Actions().GaitEventsPath(), problem);
        if (!setup) {
            err << problem << "\n";
            return std::nullopt;
        }
        if (!setup->AnyFoot()) {
            err << NoFootMarkersText(name) << "\n";
            status = 2;  // as for a command line without --foot
            return std::nullopt;
        }
        GaitRequest request;
        request.setup = *setup;
        request.detect = gait_.detect;
        GaitRun run = video.Actions().AnalyseGait(request);
        if (run.failure != GaitRun::kNone || !run.result.ok()) {
            err << name << ": " << run.result.detail << "\n";
            return std::nullopt;
        }
        return std::move(run.analysis.events);
    }

    int Save(const SyncEstimate& estimate, std::ostream& out, std::ostream& err) const {
        const std::string path = SyncSessionPath(a_);
        if (path == a_ || path == b_) {
            err << path << ": " << translate("CliMessages", "ファイルに書き込めません") << "\n";
            return 1;
        }
        const std::string why = SaveSyncSession({a_, b_, estimate.offset, estimate.method}, path);
        if (!why.empty()) {
            err << path << ": " << why << "\n";
            return 1;
        }
        out << "saved: " << path << "\n";
        return 0;
    }

    std::string a_;
    std::string b_;
    std::optional<SyncMethod> method_;
    std::pair<int, int> frames_{0, 0};
    double maxOffset_ = kDefaultMaxOffset;
    bool save_ = false;
    CommandOptions gait_;
};

}  // namespace

const CommandEntry kSyncCommand{
    "sync",
    // Short: a usage error prints every command's lines.
    "  kivra-cli sync A B [--by sound|flash|events|frames FA,FB] [--max-offset S] [--save]\n"
    "                 [--foot SIDE=HEEL,TOE]... [--filter HZ] [--detect]\n"
    "      the offset (B's time = A's time + offset), from the sound by default, a flash\n"
    "      without it; --save writes A's .ksync beside A. --by events: without --foot, the\n"
    "      feet each video's .kgait keeps.\n",
    []() -> std::unique_ptr<Command> { return std::make_unique<SyncCommand>(); }};

}  // namespace kivra::cli
