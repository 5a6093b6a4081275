#include "exchange/point_table.h"

#include <set>

#include "markers/csv_export.h"
#include "markers/lff_manager.h"

namespace kivra {

std::optional<PointTable> PointTableOf(const CLFFManager& store, int first, int last, double fps,
                                       int imageHeight,
                                       const std::optional<Calibration>& calibration) {
    PointTable table;
    table.firstFrame = first;
    table.rate = fps;
    table.millimetres = calibration.has_value();
    for (int row = 0; row < store.GetRowCount(); ++row) {
        for (const T_MARKER& m : store.Row(row)) {
            if (m.frame >= first && m.frame <= last) {
                table.ids.push_back(row + 1);
                table.labels.push_back("M" + std::to_string(row + 1));
                break;
            }
        }
    }
    const long long frames = last >= first ? (long long)last - first + 1 : 0;
    if (frames * (long long)table.ids.size() > kMaxTableCells) {
        return std::nullopt;
    }
    table.rows.assign(std::size_t(frames),
                      std::vector<std::optional<ExportedPoint>>(table.ids.size()));
    const double scale = calibration ? calibration->mmPerPixel : 1.0;
    const ImagePoint origin = calibration && calibration->origin
                                  ? *calibration->origin
                                  : ImagePoint{0.0, double(imageHeight)};
    for (std::size_t column = 0; column < table.ids.size(); ++column) {
        for (const T_MARKER& m : store.Row(table.ids[column] - 1)) {
            if (m.frame < first || m.frame > last) {
                continue;
            }
            std::optional<ExportedPoint>& cell = table.rows[std::size_t(m.frame - first)][column];
            if (!cell) {
                cell = ExportedPoint{(m.x - origin.x) * scale, (origin.y - m.y) * scale, 0.0};
            }
        }
    }
    return table;
}

}  // namespace kivra
