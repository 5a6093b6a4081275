#pragma once
// Where a saved trimmed movie ends up: the writer fills an intermediate AVI beside the target,
// which then becomes the target by a rename, or by a profile conversion for other formats.
// Shared by the save command and kivra-cli, so both replace an old target only by a complete file.
#include <string>

#include "platform/progress_sink.h"

class CFFMpegUtil;

namespace kivra {

// The intermediate AVI of a save: target's name with ".$out$.avi" in place of its extension.
std::string IntermediateMoviePath(const std::string& target);

// Puts the finished intermediate in place of target: renamed when target ends in ".avi" (any
// case); otherwise converted with profile profileIndex into "<name>.$out$<extension>" beside
// target, which replaces target only when the conversion succeeded. The intermediate and the
// converted file are gone afterwards whatever happened. False, with the reason, on any failure.
bool PlaceTrimmedMovie(const std::string& intermediate, const std::string& target, int profileIndex,
                       CFFMpegUtil& encoder, ProgressSink& progress, std::string* reason);

}  // namespace kivra
