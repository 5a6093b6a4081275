#pragma once
// The files an open video keeps beside itself, which no output of the program may replace: a
// CSV written over the marker file, or a movie save whose scratch name is the video, destroys
// what the user is working on. Shared by the window's commands and kivra-cli.
#include <string>
#include <utility>
#include <vector>

class CAviVideoStream;

namespace kivra {

// Which of the open video's files a name is.
enum class OwnFile { kNone, kVideo, kMarkerFile, kCalibration, kGaitEvents, kVisit };

// The names of one open video's files, made by a command for the save it checks. A name is
// compared by where it leads: a link to one of them counts as that file.
class VideoOwnFiles {
public:
    // videoPath: the path the user opened; stream: what reads it (its converted twin and the
    // marker file named after that), null when none.
    VideoOwnFiles(const std::string& videoPath, const CAviVideoStream* stream);

    // Which file path is: the same file (same device and inode, also through links), or the
    // same name once made absolute and normalised, letter case ignored (the way the name of a
    // file that does not exist yet can be compared).
    OwnFile Which(const std::string& path) const;

private:
    std::vector<std::pair<std::string, OwnFile>> files_;
};

// The user's message for an output that is `which`; empty for kNone. The video itself keeps the
// program's message for overwriting the open file.
std::string OwnFileRefusalText(OwnFile which);

}  // namespace kivra
