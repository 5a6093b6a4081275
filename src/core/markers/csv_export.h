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

// The most values (rows x columns, the time column not counted) a table file of the markers may
// hold. A hostile marker file (thousands of IDs over thousands of frames) would otherwise make a
// file of gigabytes, or a table in memory larger than the machine's; real trials stay far below.
inline constexpr long long kMaxTableCells = 1LL << 24;

// The user's message for a table of rows x columns values over kMaxTableCells.
std::string TableTooLargeText(long long rows, long long columns);
// The user's message when the memory for such a table ran out.
std::string TableOutOfMemoryText();
// The user's message for a table of which no frame has a trimming rectangle, so no coordinate.
std::string NoCoordinatesText();

// Writes one line per frame firstFrame ... lastFrame that holds a marker: the time
// (frame / fps, "%.2f") and, per ID used anywhere in the store, its point in the output
// picture or two empty fields. CR LF line ends, decimal points in every locale. A time or
// coordinate that cannot be computed (fps not positive, a frame without a trimming
// rectangle) is left empty. The file is replaced in one step, written line by line; false leaves
// an old one intact, with *problem the user's message when the table is over kMaxTableCells or
// has lines but no frame of them has a trimming rectangle (empty when writing failed).
bool ExportCsv(const CLFFManager& store, const std::string& path, int firstFrame, int lastFrame,
               const TrimRectOfFrame& trimRectOfFrame, double fps, int outputWidth,
               int outputHeight, std::string* problem = nullptr);
bool ExportCsv(const CLFFManager& store, const std::string& path, int firstFrame, int lastFrame,
               const CTrimmingParam& trimRects, double fps, int outputWidth, int outputHeight,
               std::string* problem = nullptr);

}  // namespace kivra
