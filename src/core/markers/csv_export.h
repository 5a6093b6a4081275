#pragma once
// The markers as a table of output-picture coordinates per frame, for analysis programs.
#include <functional>
#include <string>

#include "geometry/view_geometry.h"

class CLFFManager;
class CTrimmingParam;

namespace kivra {

// The trimming rectangle (image pixels) of a frame; all zero when the frame has none.
using TrimRectOfFrame = std::function<ViewRect(int frame)>;

// Writes one line per frame firstFrame ... lastFrame that holds a marker: the time
// (frame / fps, "%.2f") and, per ID used anywhere in the store, its point in the output
// picture or two empty fields. CR LF line ends, decimal points in every locale. A time or
// coordinate that cannot be computed (fps not positive, a frame without a trimming
// rectangle) is left empty. The file is replaced in one step; false leaves an old one intact.
bool ExportCsv(const CLFFManager& store, const std::string& path, int firstFrame, int lastFrame,
               const TrimRectOfFrame& trimRectOfFrame, double fps, int outputWidth,
               int outputHeight);
bool ExportCsv(const CLFFManager& store, const std::string& path, int firstFrame, int lastFrame,
               const CTrimmingParam& trimRects, double fps, int outputWidth, int outputHeight);

}  // namespace kivra
