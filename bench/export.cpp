// kivra-bench-export [--media DIR] [--quick]
//
// Measures how fast `kivra-cli export` saves a trimmed movie against the installed ffmpeg doing
// the same work (decode, a crop box sliding across the picture, area-averaging scale, encode
// with the same encoder and settings), and the peak memory of kivra-cli. The source is a
// 1080p 30 fps MJPEG AVI made with ffmpeg once and kept in the media folder. Prints a table;
// exit status 1 only when something could not run.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "markers/lff_manager.h"
#include "markers/trimming_state.h"
#include "media_options.h"
#include "platform/path_util.h"
#include "platform/settings_folder.h"
#include "settings/inifile_manager.h"

namespace kivra {
namespace {

namespace fs = std::filesystem;
using bench::ChildResult;
using bench::Output;
using bench::RunChild;

constexpr double kMaxRatio = 1.0;
// Beside the picture cache of the stream, which kivra-cli keeps at the settings' default.
constexpr double kMaxRssMb = 300.0;

struct Setup {
    int sourceWidth, sourceHeight, frames;
    int sizeType;  // output size of the marker file
    int outWidth, outHeight;
    // Trimming box: its size, its left edge on the first and on the last frame, its top.
    int boxWidth, boxHeight, left1, left2, top;
};

constexpr Setup kFull{1920, 1080, 300, 2, 1440, 1080, 960, 720, 100, 860, 180};
constexpr Setup kQuick{320, 240, 30, 0, 640, 480, 160, 120, 10, 150, 60};

// One encoder under test: kivra-cli's code and options, and ffmpeg's arguments for the same.
struct Codec {
    const char* label;
    const char* code;
    const char* options;
    std::vector<std::string> ffmpegArgs;
};

const std::vector<Codec>& Codecs() {
    static const std::vector<Codec> codecs = {
        {"H264 crf18 medium",
         "H264",
         "crf=18:preset=medium",
         {"-c:v", "libx264", "-crf", "18", "-preset", "medium", "-pix_fmt", "yuv420p"}},
        {"MJPG q3",
         "MJPG",
         "flags=+qscale:global_quality=354",  // 3 x FF_QP2LAMBDA
         {"-c:v", "mjpeg", "-q:v", "3", "-pix_fmt", "yuvj420p"}},
    };
    return codecs;
}

bool EnsureSource(const std::string& path, const Setup& setup) {
    std::error_code error;
    if (fs::is_regular_file(path, error) && fs::file_size(path, error) > 0 && !error) {
        return true;
    }
    std::cerr << "making " << path << " ...\n";
    const std::string partial = path + ".partial";
    const std::string source = "testsrc2=size=" + std::to_string(setup.sourceWidth) + "x" +
                               std::to_string(setup.sourceHeight) + ":rate=30,noise=alls=5:allf=t";
    const std::vector<std::string> argv = {"ffmpeg",    "-nostdin",  "-hide_banner",
                                           "-loglevel", "error",     "-y",
                                           "-f",        "lavfi",     "-i",
                                           source,      "-frames:v", std::to_string(setup.frames),
                                           "-c:v",      "mjpeg",     "-q:v",
                                           "3",         "-pix_fmt",  "yuvj420p",
                                           "-f",        "avi",       partial};
    if (!RunChild(argv, Output::Inherit).ran) {
        fs::remove(partial, error);
        return false;
    }
    fs::rename(partial, path, error);
    return !error;
}

// Side mode, landscape: the box slides from left1 on frame 0 to left2 on the last frame.
bool WriteMarkers(const std::string& video, const Setup& setup) {
    CLFFManager markers;
    const std::string path = ReplaceExtension(video, ".lff");
    markers.LoadMarkers(path, 100);
    TrimmingState state;
    state.mode = kSideMode;
    state.direction = kLandscape;
    state.rangeStart = 0;
    state.rangeEnd = setup.frames - 1;
    state.area1 = AreaFromSaved(
        {setup.left1, setup.top, setup.left1 + setup.boxWidth, setup.top + setup.boxHeight}, 0);
    state.area2 = AreaFromSaved(
        {setup.left2, setup.top, setup.left2 + setup.boxWidth, setup.top + setup.boxHeight},
        setup.frames - 1);
    StoreTrimmingState(markers, state);
    return markers.SaveMarkers(path, setup.sizeType, kLandscape, 0);
}

struct Row {
    std::string label;
    double kivraMs = 0, ffmpegMs = 0, maxRssMb = 0, ffmpegRssMb = 0;
    double Ratio() const { return ffmpegMs > 0 ? kivraMs / ffmpegMs : 0; }
};

}  // namespace
}  // namespace kivra

int main(int argc, char** argv) {
    using namespace kivra;
    const auto options = bench::ParseMediaOptions(argc, argv);
    if (!options) {
        std::cerr << "usage: kivra-bench-export [--media DIR] [--quick]\n";
        return 2;
    }
    std::string mediaDir = options->media;
    const bool quick = options->quick;
    const Setup& setup = quick ? kQuick : kFull;
    // kivra-cli runs on the default settings, never the user's.
    const CInifileManager defaults{std::string()};
    const double cacheMb = std::max(defaults.Slider().pictureCacheMB, 0);
    const double maxRssMb = kMaxRssMb + cacheMb;
    const std::string exeFolder = GetProgramFolder();
    if (mediaDir.empty()) {
        mediaDir = JoinPath(exeFolder, "media");
    }
    const std::string cli = (fs::path(exeFolder).parent_path() / "kivra-cli").string();
    std::error_code error;
    fs::create_directories(mediaDir, error);
    const std::string source = JoinPath(mediaDir, "export-" + std::to_string(setup.sourceWidth) +
                                                      "x" + std::to_string(setup.sourceHeight) +
                                                      "-" + std::to_string(setup.frames) + ".avi");
    if (!EnsureSource(source, setup) || !WriteMarkers(source, setup)) {
        std::cerr << "cannot make " << source << " and its marker file\n";
        return 1;
    }

    // ffmpeg's crop box moves the same way: the interpolated left edge of each frame.
    const std::string crop =
        "crop=w=" + std::to_string(setup.boxWidth) + ":h=" + std::to_string(setup.boxHeight) +
        ":x='" + std::to_string(setup.left1) + "+trunc(" +
        std::to_string(setup.left2 - setup.left1) + "*n/" + std::to_string(setup.frames - 1) +
        ")':y=" + std::to_string(setup.top) + ",scale=" + std::to_string(setup.outWidth) + ":" +
        std::to_string(setup.outHeight) + ":flags=area";
    const std::string out = JoinPath(mediaDir, "export-out.avi");
    std::vector<Row> rows;
    bool ranAll = true;
    // Best of several runs each, taken in turn, so a busy moment on a shared machine does not
    // decide the ratio; peak memory is the largest seen.
    const int runs = quick ? 1 : 3;
    for (const Codec& codec : Codecs()) {
        Row row;
        row.label = codec.label;
        bool ran = true;
        for (int run = 0; run < runs && ran; ++run) {
            const ChildResult kivraRun = RunChild(
                {cli, "export", source, out, "--codec", codec.code, "--options", codec.options},
                Output::Inherit);
            fs::remove(out, error);
            std::vector<std::string> ffmpegArgs = {
                "ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y",
                "-i",     source,     "-an",          "-vf",       crop};
            ffmpegArgs.insert(ffmpegArgs.end(), codec.ffmpegArgs.begin(), codec.ffmpegArgs.end());
            ffmpegArgs.push_back(out);
            const ChildResult ffmpegRun = RunChild(ffmpegArgs, Output::Inherit);
            fs::remove(out, error);
            if (!kivraRun.ran || !ffmpegRun.ran) {
                std::cerr << codec.label << ": " << (kivraRun.ran ? "ffmpeg" : "kivra-cli export")
                          << " failed\n";
                ranAll = false;
                ran = false;
                continue;
            }
            row.kivraMs = run == 0 ? kivraRun.wallMs : std::min(row.kivraMs, kivraRun.wallMs);
            row.ffmpegMs = run == 0 ? ffmpegRun.wallMs : std::min(row.ffmpegMs, ffmpegRun.wallMs);
            row.maxRssMb = std::max(row.maxRssMb, kivraRun.maxRssMb);
            row.ffmpegRssMb = std::max(row.ffmpegRssMb, ffmpegRun.maxRssMb);
        }
        if (ran) {
            rows.push_back(row);
        }
    }

    std::printf("export of %d frames %dx%d MJPEG -> %dx%d (box %dx%d sliding), best of %d\n",
                setup.frames, setup.sourceWidth, setup.sourceHeight, setup.outWidth,
                setup.outHeight, setup.boxWidth, setup.boxHeight, runs);
    std::printf("%-20s %12s %12s %8s %12s %12s\n", "encoder", "kivra ms", "ffmpeg ms", "ratio",
                "kivra MB", "ffmpeg MB");
    for (const Row& row : rows) {
        std::printf("%-20s %12.0f %12.0f %7.2f%s %11.1f%s %12.1f\n", row.label.c_str(), row.kivraMs,
                    row.ffmpegMs, row.Ratio(), row.Ratio() <= kMaxRatio ? " " : "!", row.maxRssMb,
                    row.maxRssMb < maxRssMb ? " " : "!", row.ffmpegRssMb);
    }
    std::printf(
        "goal: ratio <= %.1f, peak memory < %.0f MB (%.0f MB + the picture cache, [Slider] "
        "PictureCacheMB = %.0f MB) (! marks a miss)\n",
        kMaxRatio, maxRssMb, kMaxRssMb, cacheMb);
    return ranAll ? 0 : 1;
}
