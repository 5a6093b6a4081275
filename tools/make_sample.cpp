// kivra-make-sample OUT.avi OUT_truth.csv
//
// Renders the bundled sample: a side-view walker with coloured dots on head, hip, knee and
// ankle, 120 frames of 1280x720 at 30 fps as an MJPEG AVI, and the true centre of every dot.
//
// Truth coordinates are picture pixels with (0,0) the top-left corner of the picture and pixel
// column i covering [i, i+1) (rows alike): a dot centred at continuous (x, y) is listed as
// (x, y), and the centre of pixel i is i + 0.5. The CSV is "frame,joint,x,y", one row per frame
// per joint (head, hip, knee, ankle), frame 0-based = AVI sample number, 3 decimals.
//
// Both files are written under temporary names and renamed at the end, so an interrupted run
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

int Run(const std::string& avi_path, const std::string& csv_path) {
    namespace fs = std::filesystem;
    const std::string avi_tmp = avi_path + ".partial";
    const std::string csv_tmp = csv_path + ".partial";
    std::string err = Render(avi_tmp, csv_tmp);
    if (err.empty()) {
        std::error_code ec;
        fs::rename(csv_tmp, csv_path, ec);
        if (!ec) {
            fs::rename(avi_tmp, avi_path, ec);
        }
        if (ec) {
            err = "cannot move the sample into place: " + ec.message();
        }
    }
    if (err.empty()) {
        return 0;
    }
    std::error_code ignored;
    fs::remove(avi_tmp, ignored);
    fs::remove(csv_tmp, ignored);
    std::cerr << "kivra-make-sample: " << err << '\n';
    return 1;
}

}  // namespace
}  // namespace kivra

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: kivra-make-sample OUT.avi OUT_truth.csv\n";
        return 2;
    }
    av_log_set_level(AV_LOG_ERROR);
    try {
        return kivra::Run(argv[1], argv[2]);
    } catch (const std::exception& e) {
        std::cerr << "kivra-make-sample: " << e.what() << '\n';
        return 1;
    }
}
