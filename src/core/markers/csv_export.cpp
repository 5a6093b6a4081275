#include "markers/csv_export.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "geometry/trimming_param.h"
#include "markers/lff_manager.h"
#include "platform/number_text.h"
#include "platform/replace_file.h"
#include "platform/translation.h"

namespace kivra {
namespace {

// Lines are handed to the file in pieces of about this size.
constexpr size_t kFlushBytes = 1 << 16;

// "%02d".
void AppendId(std::string& out, int id) {
    if (id >= 0 && id < 10) {
        out.push_back('0');
    }
    out += std::to_string(id);
}

}  // namespace

std::string TableTooLargeText(long long rows, long long columns) {
    std::string text =
        translate("TableLimit",
                  "出力する表が大きすぎます (%1 行 × %2 列)。\n"
                  "再生範囲を狭めるか、使っていない ID のマーカを削除してください。");
    const auto put = [&text](const char* mark, long long value) {
        const size_t at = text.find(mark);
        if (at != std::string::npos) {
            text.replace(at, 2, std::to_string(value));
        }
    };
    put("%1", rows);
    put("%2", columns);
    return text;
}

std::string NoCoordinatesText() {
    return translate(
        "CoordinateCsv",
        "再生範囲にトリミングエリアが設定されていないため、座標CSVに出力できる座標が"
        "ありません。\n座標CSVは、トリミング後の出力画像のピクセルで位置を出力します。\n"
        "画像のピクセル (キャリブレーションがあればミリメートル) で出力するには、"
        "運動学出力 (kivra-cli kinematics) を使ってください。");
}

std::string TableOutOfMemoryText() {
    return translate("TableLimit", "メモリが足りないため、表を作れませんでした。");
}

bool ExportCsv(const CLFFManager& store, const std::string& path, int firstFrame, int lastFrame,
               const TrimRectOfFrame& trimRectOfFrame, double fps, int outputWidth,
               int outputHeight, std::string* problem) {
    if (problem != nullptr) {
        problem->clear();
    }
    try {
        // The rows of the exported IDs; a cursor per ID walks its frames along with the lines.
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
        // Only frames that carry a marker make a line, so walk those rather than the whole
        // range.
        std::sort(frames.begin(), frames.end());
        frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
        const long long columns = 2LL * static_cast<long long>(ids.size());
        const auto rows = static_cast<long long>(frames.size());
        if (rows > 0 && columns > kMaxTableCells / rows) {
            if (problem != nullptr) {
                *problem = TableTooLargeText(rows, columns);
            }
            return false;
        }
        // Points are scaled by their frame's trimming rectangle: without one on any line, every
        // field would be empty.
        const auto scalable = [&trimRectOfFrame](int f) {
            const ViewRect r = trimRectOfFrame ? trimRectOfFrame(f) : ViewRect{};
            return r.right != r.left && r.bottom != r.top;
        };
        if (rows > 0 && std::none_of(frames.begin(), frames.end(), scalable)) {
            if (problem != nullptr) {
                *problem = NoCoordinatesText();
            }
            return false;
        }
        std::vector<size_t> cursor(ids.size(), 0);

        return ReplaceFileStreamed(path, [&](const ByteSink& sink) {
            std::string out = "Time";
            for (const int id : ids) {
                out += ",M";
                AppendId(out, id);
                out += "_x,M";
                AppendId(out, id);
                out += "_y";
            }
            out += "\r\n";
            for (const int f : frames) {
                if (std::isfinite(fps) && fps > 0.0) {
                    AppendFixed(out, f / fps, 2);
                }
                const ViewRect r = trimRectOfFrame ? trimRectOfFrame(f) : ViewRect{};
                const double width = static_cast<double>(r.right) - r.left;
                const double height = static_cast<double>(r.bottom) - r.top;
                for (size_t i = 0; i < ids.size(); ++i) {
                    const std::vector<T_MARKER>& row = store.Row(ids[i] - 1);
                    size_t& c = cursor[i];
                    while (c < row.size() && row[c].frame < f) {
                        ++c;
                    }
                    out.push_back(',');
                    // No rectangle to scale by: both fields stay empty rather than inf or nan.
                    if (c < row.size() && row[c].frame == f && width != 0.0 && height != 0.0) {
                        AppendFixed(out, (row[c].x - r.left) * outputWidth / width, 2);
                        out.push_back(',');
                        AppendFixed(out, (row[c].y - r.top) * outputHeight / height, 2);
                    } else {
                        out.push_back(',');
                    }
                }
                out += "\r\n";
                if (out.size() >= kFlushBytes) {
                    if (!sink(out)) {
                        return false;
                    }
                    out.clear();
                }
            }
            return sink(out);
        });
    } catch (const std::bad_alloc&) {
        if (problem != nullptr) {
            *problem = TableOutOfMemoryText();
        }
        return false;
    }
}

bool ExportCsv(const CLFFManager& store, const std::string& path, int firstFrame, int lastFrame,
               const CTrimmingParam& trimRects, double fps, int outputWidth, int outputHeight,
               std::string* problem) {
    return ExportCsv(
        store, path, firstFrame, lastFrame, [&trimRects](int frame) { return trimRects.At(frame); },
        fps, outputWidth, outputHeight, problem);
}

}  // namespace kivra
