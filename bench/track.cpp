// kivra-bench-track [--sample DIR] [--quick]
//
// Follows the joints of the bundled walker (1280x720, 30 fps, dots on head, hip, knee and
// ankle) from a click on frame 0 only, each taken from the true position, to the last frame,
// and prints per joint the median and worst distance to the true positions in image pixels.
// Then the speed: marker-frames per second for the four joints followed together (decoding
// included), against the installed ffmpeg decoding the same file. The sample folder defaults
// to sample/ of the build folder. Exit status 1 only when something could not run.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "child_process.h"
#include "markers/lff_manager.h"
#include "reading/avi_video_stream.h"
#include "platform/settings_folder.h"
#include "tracking/marker_tracker.h"

extern "C" {
#include <libavutil/log.h>
}

namespace kivra {
namespace {

namespace fs = std::filesystem;
using bench::ChildResult;
using bench::Output;
using bench::RunChild;

constexpr double kMedianGoal = 1.0;
constexpr double kWorstGoal = 3.0;
constexpr double kSpeedGoal = 120.0;  // marker-frames per second

struct Options {
    std::string sampleDir;
    bool quick = false;
};

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--sample" && i + 1 < argc) {
            options.sampleDir = argv[++i];
        } else if (arg == "--quick") {
            options.quick = true;
        } else {
            return std::nullopt;
        }
    }
    return options;
}

// joint name -> frame -> true point in the store's pixels (pixel centres at whole numbers; the
// truth file puts them at .5).
using Truth = std::map<std::string, std::map<int, TrackedPoint>>;

std::optional<std::pair<Truth, std::vector<std::string>>> ReadTruth(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line) || line != "frame,joint,x,y") {
        return std::nullopt;
    }
    Truth truth;
    std::vector<std::string> order;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string frame, joint, x, y;
        if (!std::getline(fields, frame, ',') || !std::getline(fields, joint, ',') ||
            !std::getline(fields, x, ',') || !std::getline(fields, y)) {
            return std::nullopt;
        }
        if (std::find(order.begin(), order.end(), joint) == order.end()) {
            order.push_back(joint);
        }
        const int f = std::stoi(frame);
        truth[joint][f] = {f, std::stod(x) - 0.5, std::stod(y) - 0.5};
    }
    return std::make_pair(truth, order);
}

double Median(std::vector<double> v) {
    if (v.empty()) {
        return 0.0;
    }
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// Best wall time of the installed ffmpeg decoding the whole file to 24-bit BGR.
std::optional<double> ReferenceSeconds(const std::string& path, int runs) {
    const std::vector<std::string> argv = {"ffmpeg",   "-threads", "1",  "-i",   path,
                                           "-pix_fmt", "bgr24",    "-f", "null", "-"};
    double best = std::numeric_limits<double>::infinity();
    for (int run = 0; run < runs; ++run) {
        const ChildResult child = RunChild(argv, Output::Discard);
        if (!child.ran) {
            return std::nullopt;
        }
        best = std::min(best, child.wallMs / 1000.0);
    }
    return best;
}

int Run(const Options& options) {
    std::error_code error;
    std::string sampleDir = options.sampleDir;
    if (sampleDir.empty()) {
        const std::string exeFolder = GetProgramFolder();
        if (exeFolder.empty()) {
            std::cerr << "cannot find this program's folder through /proc/self/exe\n";
            return 1;
        }
        sampleDir = (fs::path(exeFolder).parent_path() / "sample").string();
    }
    // Absolute, so a folder name with a leading dash never reads as an option to ffmpeg.
    sampleDir = fs::absolute(sampleDir, error).lexically_normal().string();
    const std::string video = sampleDir + "/walker.avi";
    const std::string truthPath = sampleDir + "/walker_truth.csv";
    const auto truth = ReadTruth(truthPath);
    if (!truth) {
        std::cerr << "cannot read " << truthPath << " (build the sample target)\n";
        return 1;
    }
    const auto& [points, joints] = *truth;

    CAviVideoStream stream(video);
    if (const int code = stream.OpenStream(); code != CAviVideoStream::kOpened) {
        std::cerr << "cannot open " << video << " (code " << code << ")\n";
        return 1;
    }
    const int first = stream.GetStart();
    const int last = stream.GetEnd();

    CLFFManager markers;
    markers.LoadMarkers(std::string(), int(joints.size()));
    for (size_t j = 0; j < joints.size(); ++j) {
        const auto at = points.at(joints[j]).find(first);
        if (at == points.at(joints[j]).end()) {
            std::cerr << "the truth has no " << joints[j] << " on frame " << first << "\n";
            return 1;
        }
        markers.SetMarker(int(j), first, at->second.x, at->second.y);
    }
    TrackRequest request;
    request.startFrame = first;
    request.endFrame = last;

    const int runs = options.quick ? 1 : 3;
    TrackResult result;
    double bestSeconds = std::numeric_limits<double>::infinity();
    for (int run = 0; run < runs; ++run) {
        NullProgressSink progress;
        const auto start = std::chrono::steady_clock::now();
        result = TrackMarkers(stream, markers, request, progress);
        bestSeconds = std::min(
            bestSeconds,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!result.failure.empty()) {
            std::cerr << "tracking failed: " << result.failure << "\n";
            return 1;
        }
    }

    std::printf(
        "Walker %dx%d, %d frames; each joint clicked on frame %d at its true position,\n"
        "followed to frame %d. Errors in image pixels against %s\n\n",
        int(stream.FileInfo().dwWidth), int(stream.FileInfo().dwHeight), stream.GetFrameCount(),
        first, last, fs::path(truthPath).filename().c_str());
    std::printf("%-8s %8s %10s %8s %8s  %s\n", "joint", "frames", "to frame", "median", "worst",
                "stop");
    bool accurate = true;
    long long markerFrames = 0;
    for (const IdTrack& track : result.tracks) {
        const std::string& joint = joints[size_t(track.id - 1)];
        std::vector<double> errors;
        for (const TrackedPoint& p : track.placed) {
            const TrackedPoint& t = points.at(joint).at(p.frame);
            errors.push_back(std::hypot(p.x - t.x, p.y - t.y));
        }
        markerFrames += (long long)track.placed.size();
        const double median = Median(errors);
        const double worst = errors.empty() ? 0.0 : *std::max_element(errors.begin(), errors.end());
        const int reached = track.placed.empty() ? first : track.placed.back().frame;
        accurate = accurate && median <= kMedianGoal && worst <= kWorstGoal;
        std::printf("%-8s %8zu %10d %8.2f %8.2f  %s\n", joint.c_str(), track.placed.size(), reached,
                    median, worst, TrackStopText(track).c_str());
    }

    const std::optional<double> reference = ReferenceSeconds(video, runs);
    if (!reference) {
        std::cerr << "ffmpeg could not decode " << video << "\n";
        return 1;
    }
    const int decodedFrames = last - first + 1;
    const double rate = double(markerFrames) / bestSeconds;
    const double framesPerSecond = double(last - first) / bestSeconds;
    const double referenceFps = double(decodedFrames) / *reference;
    std::printf(
        "\nspeed: %lld marker-frames in %.3f s = %.0f marker-frames/s (%.1f frames/s with "
        "%zu markers, decoding included); best of %d run%s\n",
        markerFrames, bestSeconds, rate, framesPerSecond, result.tracks.size(), runs,
        runs == 1 ? "" : "s");
    std::printf(
        "reference: ffmpeg -threads 1 -i walker.avi -pix_fmt bgr24 -f null - decodes "
        "%.1f frames/s; tracking runs at %.2f of that\n",
        referenceFps, framesPerSecond / referenceFps);
    std::printf(
        "\ngoals: median <= %.1f px, worst <= %.1f px per joint: %s; speed >= %.0f "
        "marker-frames/s: %s\n",
        kMedianGoal, kWorstGoal, accurate ? "PASS" : "FAIL", kSpeedGoal,
        rate >= kSpeedGoal ? "PASS" : "FAIL");
    return 0;
}

}  // namespace
}  // namespace kivra

int main(int argc, char** argv) {
    av_log_set_level(AV_LOG_ERROR);
    const std::optional<kivra::Options> options = kivra::ParseOptions(argc, argv);
    if (!options) {
        std::cerr << "usage: kivra-bench-track [--sample DIR] [--quick]\n";
        return 1;
    }
    return kivra::Run(*options);
}
