// kivra-make-sample OUT.avi OUT_truth.csv [OUT_calibration.csv]
//
// Renders the bundled sample: a side-view walker with coloured dots on head, hip, knee and
// ankle and a striped calibration bar lying on the floor, 120 frames of 1280x720 at 30 fps as
// an MJPEG AVI, the true centre of every dot and, when asked for, the bar.
//
// Truth coordinates are picture pixels with (0,0) the top-left corner of the picture and pixel
// column i covering [i, i+1) (rows alike): a dot centred at continuous (x, y) is listed as
// (x, y), and the centre of pixel i is i + 0.5. The CSV is "frame,joint,x,y", one row per frame
// per joint (head, hip, knee, ankle), frame 0-based = AVI sample number, 3 decimals.
// The calibration CSV is "object,x1,y1,x2,y2,length_mm" and one line "bar,...": the ends of
// the bar's centre line in the same pixels and its true length.
//
// All files are written under temporary names and renamed at the end, so an interrupted run
// never leaves a half-written sample behind. Exit status 0 only when both are complete.
#include "avi_mjpeg_writer.h"
#include "walker_render.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

namespace kivra {
namespace {

// Anti-aliasing must centre each dot where the truth says; a half-pixel slip fails the build.
constexpr double kMaxDotError = 0.3;

// Centroid of the pixels near `dot` that are close to its colour.
bool DotCentroid(const QImage& img, const JointDot& dot, Vec2& centroid) {
    const int reach = static_cast<int>(kDotRadius) + 3;
    const int cx = static_cast<int>(std::floor(dot.centre.x));
    const int cy = static_cast<int>(std::floor(dot.centre.y));
    double sx = 0, sy = 0, n = 0;
    for (int y = cy - reach; y <= cy + reach; ++y) {
        if (y < 0 || y >= img.height()) {
            continue;
        }
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = cx - reach; x <= cx + reach; ++x) {
            if (x < 0 || x >= img.width()) {
                continue;
            }
            const int dr = qRed(row[x]) - dot.r;
            const int dg = qGreen(row[x]) - dot.g;
            const int db = qBlue(row[x]) - dot.b;
            if (dr * dr + dg * dg + db * db < 80 * 80) {
                sx += x + 0.5;
                sy += y + 0.5;
                n += 1;
            }
        }
    }
    if (n == 0) {
        return false;
    }
    centroid = {sx / n, sy / n};
    return true;
}

std::string CheckDots(const QImage& img, const std::array<JointDot, 4>& dots, int frame) {
    for (const JointDot& dot : dots) {
        Vec2 c;
        if (!DotCentroid(img, dot, c) ||
            std::hypot(c.x - dot.centre.x, c.y - dot.centre.y) > kMaxDotError) {
            return "frame " + std::to_string(frame) + ": the " + dot.name +
                   " dot is not drawn at its true position";
        }
    }
    return {};
}

std::string WriteCalibration(const std::string& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        return "cannot create " + path;
    }
    const CalibrationBar bar = SampleCalibrationBar();
    char line[160];
    std::snprintf(line, sizeof line, "bar,%.3f,%.3f,%.3f,%.3f,%.3f\n", bar.end1.x, bar.end1.y,
                  bar.end2.x, bar.end2.y, bar.length_mm);
    out << "object,x1,y1,x2,y2,length_mm\n" << line;
    out.close();
    return out ? std::string() : "cannot write " + path;
}

std::string Render(const std::string& avi_path, const std::string& csv_path) {
    std::ofstream csv(csv_path, std::ios::binary | std::ios::trunc);
    if (!csv) {
        return "cannot create " + csv_path;
    }
    csv << "frame,joint,x,y\n";

    AviMjpegWriter writer;
    if (std::string err = writer.Open(avi_path, kSampleWidth, kSampleHeight, kSampleFps);
        !err.empty()) {
        return avi_path + ": " + err;
    }
    WalkerRenderer renderer;
    for (int frame = 0; frame < kSampleFrames; ++frame) {
        const WalkerPose pose = WalkerPoseAt(static_cast<double>(frame) / kSampleFps);
        const QImage& img = renderer.Render(pose, frame);
        const auto dots = JointDotsOf(pose);
        if (std::string err = CheckDots(img, dots, frame); !err.empty()) {
            return err;
        }
        if (std::string err = writer.WriteFrame(img.constBits(), img.bytesPerLine());
            !err.empty()) {
            return avi_path + ": " + err;
        }
        for (const JointDot& dot : dots) {
            char line[96];
            std::snprintf(line, sizeof line, "%d,%s,%.3f,%.3f\n", frame, dot.name, dot.centre.x,
                          dot.centre.y);
            csv << line;
        }
    }
    if (std::string err = writer.Finish(); !err.empty()) {
        return avi_path + ": " + err;
    }
    csv.close();
    if (!csv) {
        return "cannot write " + csv_path;
    }
    return {};
}

int Run(const std::vector<std::string>& paths) {
    namespace fs = std::filesystem;
    std::vector<std::string> partial;
    for (const std::string& path : paths) {
        partial.push_back(path + ".partial");
    }
    std::string err = Render(partial[0], partial[1]);
    if (err.empty() && paths.size() > 2) {
        err = WriteCalibration(partial[2]);
    }
    if (err.empty()) {
        // The video last: a build that finds it takes the sample as complete.
        std::error_code ec;
        for (size_t i = paths.size(); i-- > 0 && !ec;) {
            fs::rename(partial[i], paths[i], ec);
        }
        if (ec) {
            err = "cannot move the sample into place: " + ec.message();
        }
    }
    if (err.empty()) {
        return 0;
    }
    std::error_code ignored;
    for (const std::string& path : partial) {
        fs::remove(path, ignored);
    }
    std::cerr << "kivra-make-sample: " << err << '\n';
    return 1;
}

}  // namespace
}  // namespace kivra

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::cerr << "usage: kivra-make-sample OUT.avi OUT_truth.csv [OUT_calibration.csv]\n";
        return 2;
    }
    av_log_set_level(AV_LOG_ERROR);
    try {
        return kivra::Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::cerr << "kivra-make-sample: " << e.what() << '\n';
        return 1;
    }
}
