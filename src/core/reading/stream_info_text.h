#pragma once
// The eighteen lines of stream information the frame view can lay over the picture, and that
// the command-line tool prints.
#include <string>
#include <vector>

class CAviVideoStream;

namespace kivra {

// The lines with frame as the current one. stream may be null or closed: values then show as
// the "no stream" defaults.
std::vector<std::string> StreamInfoLines(const CAviVideoStream* stream, int frame);

}  // namespace kivra
