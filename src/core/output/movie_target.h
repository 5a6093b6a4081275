#pragma once
// Where a saved trimmed movie ends up: the writer fills an intermediate AVI beside the target,
// which then becomes the target by a rename, or by a profile conversion for other formats.
// Shared by the save command and kivra-cli, so both replace an old target only by a complete file.
#include <string>

#include "output/own_files.h"
#include "platform/progress_sink.h"

class CFFMpegUtil;

namespace kivra {

// The intermediate AVI of a save: target's name with ".$out$.avi" in place of its extension.
std::string IntermediateMoviePath(const std::string& target);

// The converted file of a save to a target that is no AVI: "<name>.$out$<extension>" beside it;
// empty for an AVI target, which needs none.
std::string ConvertedMoviePath(const std::string& target);

// Which of the open video's files saving target would write or remove: the target itself, the
// intermediate or the converted file; *clash names that file. kNone when target can be saved.
OwnFile MovieTargetClash(const std::string& target, const VideoOwnFiles& own, std::string* clash);

// Removes what an interrupted save to target left: its intermediate and converted file, each only
// when it is a regular file; no link is followed or removed. False, with *blocked naming it, when
// something else (a link, a folder) holds one of those names: the save must not write there.
// Called before a save writes anything, after MovieTargetClash found no clash.
bool ClearInterruptedSave(const std::string& target, std::string* blocked);

// Puts the finished intermediate in place of target: renamed when target ends in ".avi" (any
// case); otherwise converted with profile profileIndex into "<name>.$out$<extension>" beside
// target, which replaces target only when the conversion succeeded. The intermediate and the
// converted file are gone afterwards whatever happened. False, with the reason, on any failure.
bool PlaceTrimmedMovie(const std::string& intermediate, const std::string& target, int profileIndex,
                       CFFMpegUtil& encoder, ProgressSink& progress, std::string* reason);

}  // namespace kivra
