#pragma once
// A video opened headless through the workspace for one command, and what the commands share
// on it.
#include <iosfwd>
#include <string>

#include "command.h"
#include "output/own_files.h"
#include "settings/inifile_manager.h"
#include "sync/sync_offset.h"
#include "workspace/open_video.h"
#include "workspace/workspace.h"

namespace kivra::cli {

// Where the document and the actions tell the user things when there is no window: messages
// go to stderr, questions are declined, progress is not shown.
class HeadlessHost final : public DocumentHost {
public:
    explicit HeadlessHost(std::ostream& err) : err_(err) {}
    MsgAnswer ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon) override;
    ProgressSink& Progress() override { return progress_; }

private:
    std::ostream& err_;
    NullProgressSink progress_;
};

// The video a command runs on, opened as the command asks; null stream when the open failed
// (the reason went to err). Owned by Run for one command.
class OpenedVideo {
public:
    // convert: a video that is not AVI is read through the conversion to a temporary AVI.
    OpenedVideo(const std::string& path, std::ostream& err, VideoOpening opening, bool convert);
    CAviVideoStream* Stream() const { return video_.Stream(); }
    const VideoAnnotations* Annotations() const { return video_.Annotations(); }
    bool MarkerFileLoaded() const;
    int RangeStart() const { return video_.Session().RangeStart(); }
    int RangeEnd() const { return video_.Session().RangeEnd(); }
    bool AreasSet() const { return video_.Session().AreasSet(); }
    EditSession& Session() const { return video_.Session(); }
    Workspace& Actions() const { return actions_; }
    VideoClock Clock() const;
    VideoOwnFiles OwnFiles() const { return VideoOwnFiles(video_.Path(), video_.Stream()); }

private:
    // Defaults in memory only: the batch tool never reads or writes the user's settings. Its
    // groups are handed to the video and the actions.
    CInifileManager settings_;
    HeadlessHost host_;
    OpenVideo video_;  // held as the application holds its own
    mutable Workspace actions_;
};

// True, with the message, when output is one of the opened video's own files.
bool RefusedOutput(const OpenedVideo& video, const std::string& output, std::ostream& err);
// A whole decimal number, nothing around it.
bool ParseInt(const std::string& text, long long* value);

}  // namespace kivra::cli
