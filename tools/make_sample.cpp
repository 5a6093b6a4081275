// kivra-make-sample OUT.avi OUT_truth.csv [OUT_calibration.csv]
// kivra-make-sample --gait FOLDER
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
// The gait sample (--gait) is the same walk with heel and toe dots on both feet (the near foot
// is the right one): FOLDER/walker_gait.avi, its truth CSV with the four foot dots added, the
// true events ("Frame,Time,Side,Event": the frame nearest each moment, and the moment) and
// parameters ("Parameter,Value,Unit"), and a marker file (IDs 1-8 in the truth file's joint
// order, placed at the true centres) with its calibration, so the analysis runs at once.
//
// All files are written under temporary names and renamed at the end, so an interrupted run
// never leaves a half-written sample behind. Exit status 0 only when both are complete.
#include "avi_mjpeg_writer.h"
#include "walker_render.h"

#include "kinematics/calibration.h"
#include "markers/lff_manager.h"

#include <algorithm>
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

std::string CheckDots(const QImage& img, const std::vector<JointDot>& dots, int frame) {
    for (const JointDot& dot : dots) {
        // A dot another one covers in part cannot show its centre; its truth stands.
        const bool covered = std::any_of(dots.begin(), dots.end(), [&](const JointDot& other) {
            return &other != &dot && std::hypot(other.centre.x - dot.centre.x,
                                                other.centre.y - dot.centre.y) < 2 * kDotRadius + 3;
        });
        if (covered) {
            continue;
        }
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

std::vector<JointDot> DotsOf(const WalkerPose& pose, bool foot_dots) {
    const auto joints = JointDotsOf(pose);
    std::vector<JointDot> dots(joints.begin(), joints.end());
    if (foot_dots) {
        const auto feet = FootDotsOf(pose);
        dots.insert(dots.end(), feet.begin(), feet.end());
    }
    return dots;
}

std::string Render(const std::string& avi_path, const std::string& csv_path, bool foot_dots = false,
                   CLFFManager* markers = nullptr) {
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
    WalkerRenderer renderer(foot_dots);
    for (int frame = 0; frame < kSampleFrames; ++frame) {
        const WalkerPose pose = WalkerPoseAt(static_cast<double>(frame) / kSampleFps);
        const QImage& img = renderer.Render(pose, frame);
        const std::vector<JointDot> dots = DotsOf(pose, foot_dots);
        if (std::string err = CheckDots(img, dots, frame); !err.empty()) {
            return err;
        }
        if (std::string err = writer.WriteFrame(img.constBits(), img.bytesPerLine());
            !err.empty()) {
            return avi_path + ": " + err;
        }
        for (std::size_t i = 0; markers != nullptr && i < dots.size(); ++i) {
            markers->SetMarker(static_cast<int>(i), frame, dots[i].centre.x, dots[i].centre.y);
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

// The gait's own events: heel strike at phase 0, toe-off at the stance share.
std::string TrueEvents() {
    const WalkerGait gait = SampleGait();
    struct Event {
        double seconds;
        const char* side;
        const char* kind;
    };
    std::vector<Event> events;
    const double last = (kSampleFrames - 1) / static_cast<double>(kSampleFps);
    for (int cycle = 0; cycle < 10; ++cycle) {
        for (const auto& [side, phase0] :
             {std::pair{"R", gait.right_phase_at_zero}, std::pair{"L", gait.left_phase_at_zero}}) {
            for (const auto& [share, kind] :
                 {std::pair{0.0, "HS"}, std::pair{gait.stance_share, "TO"}}) {
                const double t = (cycle + share - phase0) * gait.cycle_seconds;
                if (t >= 0 && t <= last) {
                    events.push_back({t, side, kind});
                }
            }
        }
    }
    std::sort(events.begin(), events.end(),
              [](const Event& a, const Event& b) { return a.seconds < b.seconds; });
    std::string text = "Frame,Time,Side,Event\n";
    for (const Event& e : events) {
        char line[96];
        std::snprintf(line, sizeof line, "%ld,%.4f,%s,%s\n", std::lround(e.seconds * kSampleFps),
                      e.seconds, e.side, e.kind);
        text += line;
    }
    return text;
}

std::string TrueParameters() {
    const WalkerGait gait = SampleGait();
    const double step = gait.cycle_seconds / 2;
    const std::pair<const char*, std::pair<double, const char*>> rows[] = {
        {"StrideTime", {gait.cycle_seconds, "s"}},
        {"StepTime", {step, "s"}},
        {"StancePercent", {100 * gait.stance_share, "%"}},
        {"SwingPercent", {100 * (1 - gait.stance_share), "%"}},
        {"DoubleSupportPercent", {200 * (gait.stance_share - 0.5), "%"}},
        {"StrideLength", {gait.stride_mm, "mm"}},
        {"StepLength", {gait.stride_mm / 2, "mm"}},
        {"Cadence", {60.0 / step, "steps/min"}},
        {"Speed", {gait.speed_mm_per_s, "mm/s"}}};
    std::string text = "Parameter,Value,Unit\n";
    for (const auto& [name, value] : rows) {
        char line[96];
        std::snprintf(line, sizeof line, "%s,%.4f,%s\n", name, value.first, value.second);
        text += line;
    }
    return text;
}

std::string WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return out ? std::string() : "cannot write " + path;
}

// Renames each partial file onto its name, the video last; removes them all on failure.
int Finish(std::string err, const std::vector<std::string>& paths,
           const std::vector<std::string>& partial) {
    namespace fs = std::filesystem;
    if (err.empty()) {
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

int RunGait(const std::string& folder) {
    const std::vector<std::string> paths = {
        folder + "/walker_gait.avi",        folder + "/walker_gait_truth.csv",
        folder + "/walker_gait_events.csv", folder + "/walker_gait_parameters.csv",
        folder + "/walker_gait.lff",        folder + "/walker_gait.kcal"};
    std::vector<std::string> partial;
    for (const std::string& path : paths) {
        partial.push_back(path + ".partial");
    }
    CLFFManager markers;
    markers.LoadMarkers(partial[4], 8);
    std::string err = Render(partial[0], partial[1], /*foot_dots=*/true, &markers);
    if (err.empty()) {
        err = WriteText(partial[2], TrueEvents());
    }
    if (err.empty()) {
        err = WriteText(partial[3], TrueParameters());
    }
    if (err.empty()) {
        markers.SetRangeStart(0);
        markers.SetRangeEnd(kSampleFrames - 1);
        if (!markers.SaveMarkers(partial[4], 0, 0, 1)) {
            err = "cannot write " + partial[4];
        }
    }
    if (err.empty()) {
        const CalibrationBar bar = SampleCalibrationBar();
        const auto calibration = CalibrationFromPoints({bar.end1.x, bar.end1.y},
                                                       {bar.end2.x, bar.end2.y}, bar.length_mm);
        err = calibration ? WriteText(partial[5], FormatCalibration(*calibration))
                          : "the calibration bar has no length";
    }
    return Finish(err, paths, partial);
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
    return Finish(err, paths, partial);
}

}  // namespace
}  // namespace kivra

int main(int argc, char** argv) {
    const bool gait = argc == 3 && std::string(argv[1]) == "--gait";
    if (argc != 3 && argc != 4) {
        std::cerr << "usage: kivra-make-sample OUT.avi OUT_truth.csv [OUT_calibration.csv]\n"
                     "       kivra-make-sample --gait FOLDER\n";
        return 2;
    }
    av_log_set_level(AV_LOG_ERROR);
    try {
        if (gait) {
            return kivra::RunGait(argv[2]);
        }
        return kivra::Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::cerr << "kivra-make-sample: " << e.what() << '\n';
        return 1;
    }
}
