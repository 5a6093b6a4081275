#include "exchange/trc_writer.h"

#include <filesystem>

#include "platform/number_text.h"
#include "platform/replace_file.h"

namespace kivra {

std::string FormatTrc(const PointTable& table, const std::string& fileName) {
    const std::string rate = FixedText(table.rate, 6);
    const std::string frames = std::to_string(table.rows.size());
    std::string out = "PathFileType\t4\t(X/Y/Z)\t" + fileName + "\n";
    out +=
        "DataRate\tCameraRate\tNumFrames\tNumMarkers\tUnits\tOrigDataRate\tOrigDataStartFrame"
        "\tOrigNumFrames\n";
    out += rate + "\t" + rate + "\t" + frames + "\t" + std::to_string(table.labels.size()) + "\t" +
           (table.millimetres ? "mm" : "px") + "\t" + rate + "\t" +
           std::to_string(table.firstFrame + 1) + "\t" + frames + "\n";
    out += "Frame#\tTime";
    for (const std::string& label : table.labels) {
        out += "\t" + label + "\t\t";
    }
    out += "\n\t";
    for (std::size_t i = 1; i <= table.labels.size(); ++i) {
        const std::string n = std::to_string(i);
        out += "\tX" + n + "\tY" + n + "\tZ" + n;
    }
    out += "\n";
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        out += std::to_string(r + 1) + "\t";
        // The video's own clock, so the rows line up with the C3D file's events.
        if (table.rate > 0.0) {
            out += FixedText((table.firstFrame + double(r)) / table.rate, 6);
        }
        for (const std::optional<ExportedPoint>& p : table.rows[r]) {
            if (p) {
                out += "\t" + FixedText(p->x, 4) + "\t" + FixedText(p->y, 4) + "\t" +
                       FixedText(p->z, 4);
            } else {
                out += "\t\t\t";
            }
        }
        out += "\n";
    }
    return out;
}

bool WriteTrc(const std::string& path, const PointTable& table) {
    const std::string name = std::filesystem::path(path).filename().string();
    return ReplaceFileContents(path, FormatTrc(table, name));
}

}  // namespace kivra
