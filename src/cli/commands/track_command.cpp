// kivra-cli track: follows markers over a range of frames and saves the marker file.
#include <algorithm>
#include <ostream>

#include "../opened_video.h"
#include "../terminal_progress.h"

namespace kivra::cli {
namespace {

// "1,3,4": positive IDs separated by commas.
bool ParseIds(const std::string& text, std::vector<int>* ids) {
    size_t at = 0;
    while (at <= text.size()) {
        const size_t comma = std::min(text.find(',', at), text.size());
        long long id = 0;
        if (!ParseInt(text.substr(at, comma - at), &id) || id <= 0 || id > CLFFManager::kMaxRows) {
            return false;
        }
        ids->push_back(int(id));
        at = comma + 1;
    }
    return !ids->empty();
}

class TrackCommand final : public Command {
public:
    int Parse(const std::vector<std::string>& args, std::ostream&) override {
        bool argsOk = args.size() >= 2;
        for (size_t i = 2; argsOk && i < args.size(); ++i) {
            if (args[i] == "--from" && i + 1 < args.size() && ParseInt(args[i + 1], &from_)) {
                hasFrom_ = true;
                ++i;
            } else if (args[i] == "--to" && i + 1 < args.size() && ParseInt(args[i + 1], &to_)) {
                hasTo_ = true;
                ++i;
            } else if (args[i] == "--ids" && i + 1 < args.size() && ids_.empty() &&
                       ParseIds(args[i + 1], &ids_)) {
                ++i;
            } else {
                argsOk = false;
            }
        }
        if (argsOk) {
            video_ = args[1];
        }
        return argsOk ? 0 : 2;
    }
    VideoOpening Opening() const override {
        return VideoOpening::kFullWithoutSound;  // tracking never plays the sound
    }
    int Run(const OpenedVideo& video, std::ostream& out, std::ostream& err) override {
        if (!CheckRange(video, err)) {
            return 1;
        }
        TrackRequest request;
        request.startFrame = int(from_);
        request.endFrame = int(to_);
        request.ids = ids_;
        request.caption = "tracking";
        TerminalProgress progress(err);
        const FollowResult followed = video.Actions().FollowMarkers(request, progress);
        progress.End();
        const TrackResult& result = followed.track;
        if (!followed.result.ok()) {
            err << result.failure << "\n";
            return 1;
        }
        // The header goes back as it came: only the rows change. A failure was told.
        if (!video.Actions().SaveMarkerRows().ok()) {
            return 1;
        }
        for (const IdTrack& track : result.tracks) {
            out << "ID " << track.id << ": " << track.placed.size() << " frames";
            if (!track.placed.empty()) {
                out << " (" << track.placed.front().frame << ".." << track.placed.back().frame
                    << ")";
            }
            out << ", " << TrackStopText(track) << "\n";
        }
        return 0;
    }

private:
    // The marker file, the frames and the markers on the first, each said when wrong; the
    // range defaults to the play range.
    bool CheckRange(const OpenedVideo& video, std::ostream& err) {
        const CAviVideoStream& stream = *video.Stream();
        CLFFManager& markers = video.Session().Annotations()->m_markers;
        const std::string markerFile = stream.MarkerFilePath();
        if (markers.GetLoadState() == CLFFManager::kNoFile) {
            err << "no marker file for " << video_ << " (" << markerFile << ")\n";
            return false;
        }
        if (markers.GetLoadState() != CLFFManager::kLoaded) {
            err << "the marker file " << markerFile << " cannot be read\n";
            return false;
        }
        from_ = hasFrom_ ? from_ : video.RangeStart();
        to_ = hasTo_ ? to_ : video.RangeEnd();
        for (const long long frame : {from_, to_}) {
            if (frame < stream.GetStart() || frame > stream.GetEnd()) {
                err << "frame " << frame << " is outside " << stream.GetStart() << ".."
                    << stream.GetEnd() << "\n";
                return false;
            }
        }
        if (to_ <= from_) {
            err << "frame " << to_ << " to track to is not after frame " << from_ << "\n";
            return false;
        }
        std::vector<T_DRAW_MARKER> onFrom;
        markers.GetFrameMarkers(int(from_), onFrom);
        const bool anyWanted = std::any_of(onFrom.begin(), onFrom.end(), [&](const auto& m) {
            return ids_.empty() || std::find(ids_.begin(), ids_.end(), m.ID) != ids_.end();
        });
        if (!anyWanted) {
            err << "frame " << from_ << " has no " << (ids_.empty() ? "" : "such ")
                << "markers to follow\n";
            return false;
        }
        return true;
    }

    std::string video_;
    long long from_ = -1;
    long long to_ = -1;
    bool hasFrom_ = false;
    bool hasTo_ = false;
    std::vector<int> ids_;
};

}  // namespace

const CommandEntry kTrackCommand{
    "track",
    "  kivra-cli track VIDEO [--from F] [--to G] [--ids LIST]\n"
    "      follows the markers of frame F (default: the play range's start in VIDEO's marker\n"
    "      file) up to frame G (default: the range's end) and saves the marker file. LIST:\n"
    "      marker IDs separated by commas (default: every ID on frame F).\n",
    []() -> std::unique_ptr<Command> { return std::make_unique<TrackCommand>(); }};

}  // namespace kivra::cli
