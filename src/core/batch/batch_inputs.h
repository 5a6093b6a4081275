#pragma once
// What a batch run over many videos works from: the videos of a folder or a list, the result
// folder each gets, and the stamp that tells a finished result from a stale or half-written one.
#include <optional>
#include <string>
#include <vector>

namespace kivra {

// The videos directly in folder (not below it) whose extension the program opens, sorted by
// file name; the scratch files of conversions and saves are left out. Nothing, with problem
// said, when the folder cannot be read.
std::optional<std::vector<std::string>> VideosInFolder(const std::string& folder,
                                                       std::string& problem);

// The videos of a list file, one path a line as written (blank lines and lines starting with
// '#' skipped, CR LF read too). Nothing, with problem said, when it cannot be read.
std::optional<std::vector<std::string>> VideosInList(const std::string& listFile,
                                                     std::string& problem);

// Each video's result folder name: its file name without the extension; videos sharing it get
// the whole file name, and any left alike a "-2", "-3" in their order.
std::vector<std::string> ResultFolderNames(const std::vector<std::string>& videos);

// The marker file the program keeps for the video: "walk.lff" for an AVI, "clip.$tmp$.lff"
// for what is read directly or converted.
std::string MarkerFileOfVideo(const std::string& video);

// The name of the stamp written last into a finished result folder.
inline constexpr const char* kDoneFileName = "done";

// What a result was made from: the video's and its own files' sizes and times (markers,
// events, visit, calibration) and the options; a result whose stamp differs is stale.
std::string DoneStamp(const std::string& video, const std::vector<std::string>& options);
// Whether folder holds a finished result with exactly this stamp.
bool ResultIsDone(const std::string& folder, const std::string& stamp);

// The file's modification time, local, as "2026-12-09T19:05:30"; empty when it has none.
std::string FileDateText(const std::string& path);

}  // namespace kivra
