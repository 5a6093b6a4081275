#include "markers/csv_export.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

#include "geometry/trimming_param.h"
#include "markers/lff_manager.h"
#include "platform/replace_file.h"

namespace kivra {
namespace {

// "%.2f" in every locale; nothing for a value that is not a finite number.
void AppendFixed2(std::string& out, double v) {
    if (!std::isfinite(v)) {
        return;
    }
    char buf[400];  // enough for any finite double in fixed notation
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
    out.append(buf, res.ptr);
}

// "%02d".
void AppendId(std::string& out, int id) {
    if (id >= 0 && id < 10) {
        out.push_back('0');
    }
    out += std::to_string(id);
}

}  // namespace

bool ExportCsv(const CLFFManager& store, const std::string& path, int firstFrame, int lastFrame,
               const TrimRectOfFrame& trimRectOfFrame, double fps, int outputWidth,
               int outputHeight) {
    std::vector<int> ids;
    std::vector<int> frames;
    for (int row = 0; row < store.GetRowCount(); ++row) {
        const std::vector<T_MARKER>& markers = store.Row(row);
        if (!markers.empty()) {
            ids.push_back(row + 1);
        }
        for (const T_MARKER& m : markers) {
            if (m.frame >= firstFrame && m.frame <= lastFrame) {
                frames.push_back(m.frame);
            }
        }
    }
    // Only frames that carry a marker make a line, so walk those rather than the whole range.
    std::sort(frames.begin(), frames.end());
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());

    std::string out = "Time";
    for (const int id : ids) {
        out += ",M";
        AppendId(out, id);
        out += "_x,M";
        AppendId(out, id);
        out += "_y";
    }
    out += "\r\n";

    std::vector<T_DRAW_MARKER> onFrame;
    for (const int f : frames) {
        store.GetFrameMarkers(f, onFrame);
        if (std::isfinite(fps) && fps > 0.0) {
            AppendFixed2(out, f / fps);
        }
        const ViewRect r = trimRectOfFrame ? trimRectOfFrame(f) : ViewRect{};
        const double width = static_cast<double>(r.right) - r.left;
        const double height = static_cast<double>(r.bottom) - r.top;
        auto next = onFrame.begin();
        for (const int id : ids) {
            out.push_back(',');
            if (next != onFrame.end() && next->ID == id) {
                // No rectangle to scale by: both fields stay empty rather than inf or nan.
                if (width != 0.0 && height != 0.0) {
                    AppendFixed2(out, (next->x - r.left) * outputWidth / width);
                    out.push_back(',');
                    AppendFixed2(out, (next->y - r.top) * outputHeight / height);
                } else {
                    out.push_back(',');
                }
                ++next;
            } else {
                out.push_back(',');
            }
        }
        out += "\r\n";
    }
    return ReplaceFileContents(path, out);
}

bool ExportCsv(const CLFFManager& store, const std::string& path, int firstFrame, int lastFrame,
               const CTrimmingParam& trimRects, double fps, int outputWidth, int outputHeight) {
    return ExportCsv(
        store, path, firstFrame, lastFrame, [&trimRects](int frame) { return trimRects.At(frame); },
        fps, outputWidth, outputHeight);
}

}  // namespace kivra
