// kivra-bench-direct [--media DIR] [--quick] | --clip FILE
//
// Phone and camera clips read straight from the file: how long kivra-cli takes from its start
// to the first frame written (process start included), how fast it steps forward against the
// installed ffmpeg decoding the same clip to BGR on one thread, and how backward stepping
// compares with forward. The clips are made with ffmpeg once and kept in the media folder.
// --clip measures a clip of the user's instead: its first and last frames, also with the clip
// out of the page cache, as after a reboot.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "decode_runs.h"
#include "media_options.h"
#include "platform/settings_folder.h"

namespace kivra {
namespace {

namespace fs = std::filesystem;
using bench::ChildResult;
using bench::Output;
using bench::RunChild;

struct Clip {
    const char* key;
    const char* label;
    const char* size;
    int seconds;
    double firstFrameLimitS;
    std::vector<std::string> encoderArgs;
    const char* container = "mp4";
};

// Backward against forward stepping over whole runs, wall and processor time.
constexpr double kMaxBackwardRatio = 1.2;

// The 4K HEVC clip is a stand-in of 2 s rather than ten minutes: two shared cores would take
// hours to encode that.
std::vector<Clip> Clips(bool quick) {
    const std::vector<std::string> h264 = {"-c:v", "libx264", "-preset", "veryfast", "-g",
                                           "60",   "-bf",     "2",       "-pix_fmt", "yuv420p"};
    const std::vector<std::string> hevc = {
        "-c:v",     "libx265", "-preset",      "ultrafast",
        "-g",       "60",      "-x265-params", "log-level=error:bframes=3",
        "-pix_fmt", "yuv420p"};
    // Groups of 250 pictures, as cameras write them: going backwards decodes each group whole
    // once, so the picture cache grows to hold one.
    const std::vector<std::string> longGroups = {
        "-c:v", "libx264",       "-preset", "veryfast", "-g", "250",      "-keyint_min",
        "250",  "-sc_threshold", "0",       "-bf",      "2",  "-pix_fmt", "yuv420p"};
    if (quick) {
        return {{"phone-h264", "H.264 phone", "320x240", 3, 1.0, h264}};
    }
    return {{"phone-h264", "H.264 1080p30 phone", "1920x1080", 60, 1.0, h264},
            {"camera-g250", "H.264 MOV g250", "1920x1080", 20, 1.0, longGroups, "mov"},
            {"camera-hevc", "HEVC 2160p30", "3840x2160", 2, 2.0, hevc}};
}

std::string ClipPath(const std::string& folder, const Clip& clip) {
    return folder + "/" + clip.key + "-" + clip.size + "-" + std::to_string(clip.seconds) + "s." +
           clip.container;
}

// With AAC sound, as a phone writes it. ffmpeg writes under a temporary name, so an interrupted
// run never leaves a truncated clip to be reused.
bool EnsureClip(const Clip& clip, const std::string& path) {
    std::error_code error;
    if (fs::is_regular_file(path, error) && fs::file_size(path, error) > 0 && !error) {
        return true;
    }
    std::cerr << "making " << path << " ...\n";
    const std::string partial = path + ".partial";
    std::vector<std::string> argv = {
        "ffmpeg",       "-nostdin",
        "-hide_banner", "-loglevel",
        "error",        "-y",
        "-f",           "lavfi",
        "-i",           std::string("testsrc2=size=") + clip.size + ":rate=30",
        "-f",           "lavfi",
        "-i",           "sine=frequency=440:sample_rate=48000",
        "-t",           std::to_string(clip.seconds)};
    argv.insert(argv.end(), clip.encoderArgs.begin(), clip.encoderArgs.end());
    argv.insert(argv.end(), {"-c:a", "aac", "-f", clip.container, partial});
    if (!RunChild(argv, Output::Inherit).ran) {
        fs::remove(partial, error);
        return false;
    }
    fs::rename(partial, path, error);
    return !error;
}

// Best wall time of `kivra-cli frame CLIP 0 OUT.bmp`, from the process start to its end, and
// its processor time then (what it would take on an idle machine with two cores or more).
std::optional<double> FirstFrameMs(const std::string& cli, const std::string& path,
                                   const std::string& bmp, int runs, double* cpuMs) {
    double best = std::numeric_limits<double>::infinity();
    for (int run = 0; run < runs; ++run) {
        const ChildResult child = RunChild({cli, "frame", path, "0", bmp}, Output::Discard);
        if (!child.ran) {
            return std::nullopt;
        }
        if (child.wallMs < best) {
            best = child.wallMs;
            *cpuMs = child.cpuMs;
        }
    }
    return best;
}

std::optional<double> ReferenceMsPerFrame(const std::string& path, int frames, int runs) {
    double best = std::numeric_limits<double>::infinity();
    for (int run = 0; run < runs; ++run) {
        const ChildResult child = RunChild(
            {"ffmpeg", "-threads", "1", "-i", path, "-an", "-pix_fmt", "bgr24", "-f", "null", "-"},
            Output::Discard);
        if (!child.ran || frames <= 0) {
            return std::nullopt;
        }
        best = std::min(best, child.wallMs / double(frames));
    }
    return best;
}

const char* Verdict(bool pass) {
    return pass ? "PASS" : "FAIL";
}

int Run(const std::string& mediaOption, bool quick) {
    const std::string exeFolder = GetProgramFolder();
    const std::string cli = (fs::path(exeFolder).parent_path() / "kivra-cli").string();
    if (exeFolder.empty() || ::access(cli.c_str(), X_OK) != 0) {
        std::cerr << "kivra-cli not found beside " << exeFolder << "\n";
        return 1;
    }
    std::error_code error;
    const std::string media = mediaOption.empty()
                                  ? exeFolder + "/media"
                                  : fs::absolute(mediaOption, error).lexically_normal().string();
    fs::create_directories(media, error);
    const int runs = quick ? 1 : 3;
    const int pairs = quick ? 1 : 5;  // forward and backward in turn
    const std::string bmp = media + "/first-frame.bmp";

    std::printf("Clips read directly; best of %d run%s (fwd and bwd: of %d, taken in turn)\n", runs,
                runs == 1 ? "" : "s", pairs);
    std::printf("first: kivra-cli frame CLIP 0 OUT.bmp, wall time from process start\n");
    std::printf("ref: ffmpeg -threads 1 -i CLIP -an -pix_fmt bgr24 -f null - (wall time)\n");
    std::printf("fwd/bwd: kivra-cli decode CLIP --order forward|backward\n\n");
    std::printf("%-20s %6s | %8s %6s %5s %4s | %8s %8s %5s %4s | %8s %5s %4s\n", "clip", "frames",
                "first s", "cpu s", "limit", "", "ref ms/f", "fwd ms/f", "ratio", "", "bwd ms/f",
                "b/f", "");
    bool allPass = true;
    std::string wholeRuns;
    for (const Clip& clip : Clips(quick)) {
        const std::string path = ClipPath(media, clip);
        if (!EnsureClip(clip, path)) {
            std::cerr << "ffmpeg could not make " << path << "\n";
            return 1;
        }
        double firstCpuMs = 0;
        const std::optional<double> first = FirstFrameMs(cli, path, bmp, runs, &firstCpuMs);
        const std::optional<bench::BothWays> both =
            first ? bench::DecodeBothWays(cli, path, pairs) : std::nullopt;
        const int frames = both ? both->forwardFrames : 0;
        const std::optional<double> reference =
            both ? ReferenceMsPerFrame(path, frames, runs) : std::nullopt;
        if (!reference) {
            std::cerr << "could not measure " << path << "\n";
            return 1;
        }
        const double firstS = *first / 1000.0;
        const bool firstPass = firstS <= clip.firstFrameLimitS;
        const double forward = both->forwardMs;
        const double backward = both->backwardMs;
        const bool forwardPass = forward <= 1.3 * *reference;
        const bool backwardPass = backward <= kMaxBackwardRatio * forward;
        const double wall = both->wallRatio;
        const double cpu = both->cpuRatio;
        const bool wholePass = wall <= kMaxBackwardRatio && cpu <= kMaxBackwardRatio;
        allPass = allPass && firstPass && forwardPass && backwardPass && wholePass;
        char line[200];
        std::snprintf(line, sizeof line,
                      "%-20s wall backward/forward  %.2f  goal <= %.2f %s   "
                      "cpu backward/forward  %.2f  goal <= %.2f %s\n",
                      clip.label, wall, kMaxBackwardRatio, Verdict(wall <= kMaxBackwardRatio), cpu,
                      kMaxBackwardRatio, Verdict(cpu <= kMaxBackwardRatio));
        wholeRuns += line;
        std::printf("%-20s %6d | %8.2f %6.2f %5.1f %4s | %8.2f %8.2f %5.2f %4s | %8.2f %5.2f %4s\n",
                    clip.label, frames, firstS, firstCpuMs / 1000.0, clip.firstFrameLimitS,
                    Verdict(firstPass), *reference, forward, forward / *reference,
                    Verdict(forwardPass), backward, backward / forward, Verdict(backwardPass));
    }
    fs::remove(bmp, error);
    std::printf(
        "\nbackward against forward, whole kivra-cli decode runs taken in turn, median of %d "
        "pair%s (wall; user + system):\n%s",
        pairs, pairs == 1 ? "" : "s", wholeRuns.c_str());
    std::printf("\nlimits: first frame as listed, forward ratio <= 1.3, b/f <= %.1f\n%s\n",
                kMaxBackwardRatio, allPass ? "all figures pass" : "some figures fail");
    return 0;
}

// Drops the clip's pages from the page cache, so the next run reads it from the disk.
bool Evict(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    ::fdatasync(fd);
    const bool done = ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
    ::close(fd);
    return done;
}

// The frame count kivra-cli reports for the clip; 0 when it cannot open it.
int FrameCount(const std::string& cli, const std::string& path) {
    const ChildResult child = RunChild({cli, "info", path}, Output::Capture);
    const size_t at = child.out.find("Length    :");
    return child.ran && at != std::string::npos
               ? int(std::strtol(child.out.c_str() + at + 11, nullptr, 10))
               : 0;
}

int RunClip(const std::string& clip) {
    const std::string exeFolder = GetProgramFolder();
    const std::string cli = (fs::path(exeFolder).parent_path() / "kivra-cli").string();
    std::error_code error;
    const std::string path = fs::absolute(clip, error).string();
    if (exeFolder.empty() || ::access(cli.c_str(), X_OK) != 0 || !fs::is_regular_file(path)) {
        std::cerr << "kivra-cli or the clip not found\n";
        return 1;
    }
    const std::string bmp = (fs::temp_directory_path() / "kivra-bench-direct.bmp").string();
    const int frames = FrameCount(cli, path);
    if (frames <= 0) {
        std::cerr << "kivra-cli cannot open " << path << "\n";
        return 1;
    }
    constexpr double kLimitS = 2.0;
    double cpuMs = 0;
    double coldCpuMs = 0;
    const std::optional<double> cached = FirstFrameMs(cli, path, bmp, 3, &cpuMs);
    const std::optional<double> cold =
        Evict(path) ? FirstFrameMs(cli, path, bmp, 1, &coldCpuMs) : std::nullopt;
    const ChildResult last =
        RunChild({cli, "frame", path, std::to_string(frames - 1), bmp}, Output::Discard);
    fs::remove(bmp, error);
    if (!cached || !cold || !last.ran) {
        std::cerr << "could not measure " << path << "\n";
        return 1;
    }
    const double cachedS = cached.value_or(0) / 1000.0;
    const double coldS = cold.value_or(0) / 1000.0;
    std::printf("%s: %.2f GB, %d frames\n", path.c_str(),
                double(fs::file_size(path, error)) / double(1 << 30), frames);
    std::printf("first frame, cached (best of 3): %.2f s wall, %.2f s cpu  %s (limit %.1f s)\n",
                cachedS, cpuMs / 1000.0, Verdict(cachedS <= kLimitS), kLimitS);
    std::printf("first frame, out of the page cache: %.2f s wall, %.2f s cpu  %s\n", coldS,
                coldCpuMs / 1000.0, Verdict(coldS <= kLimitS));
    std::printf("last frame (%d): %.2f s wall, %.2f s cpu\n", frames - 1, last.wallMs / 1000.0,
                last.cpuMs / 1000.0);
    return 0;
}

}  // namespace
}  // namespace kivra

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--clip") {
        return kivra::RunClip(argv[2]);
    }
    const auto options = kivra::bench::ParseMediaOptions(argc, argv);
    if (!options) {
        std::cerr << "usage: kivra-bench-direct [--media DIR] [--quick] | --clip FILE\n";
        return 1;
    }
    return kivra::Run(options->media, options->quick);
}
