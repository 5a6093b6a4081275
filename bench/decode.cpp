// kivra-bench-decode [--media DIR] [--quick] [--size WxH]
//
// Measures how fast the program steps through AVI files of four common codecs against the
// installed ffmpeg decoding the same file, how much work a random jump costs, and how much
// memory stepping through a whole file takes. The test files are made with ffmpeg once and
// kept in the media folder. Prints a table; exit status 1 only when something could not run.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "child_process.h"
#include "decode_runs.h"
#include "platform/settings_folder.h"
#include "reading/avi_video_stream.h"

extern "C" {
#include <libavutil/log.h>
}

namespace kivra {
namespace {

namespace fs = std::filesystem;
using bench::ChildResult;
using bench::Output;
using bench::RunChild;

constexpr int kFramesPerSecond = 30;
constexpr int kRandomJumps = 120;
constexpr unsigned kRandomSeed = 20261207;  // kivra-cli's, so both see the same jumps
constexpr double kMaxForwardRatio = 1.3;
constexpr double kMaxRssMb = 250.0;
constexpr double kMaxBackwardRatio = 1.2;  // backward against forward, per frame
// Whole runs, wall and processor time: stepping back through pictures that each decode on their
// own does the forward work and no more.
constexpr double kMaxIntraBackwardWall = 1.05;
constexpr double kMaxIntraBackwardCpu = 1.0;

struct Options {
    std::string mediaDir;  // empty: beside the executable
    bool quick = false;
    int width = 1920;
    int height = 1080;
};

// One encoding under test: its file name stem and the ffmpeg encoder arguments.
struct Codec {
    const char* key;
    const char* label;
    std::vector<std::string> encoderArgs;
    bool intraOnly = false;
};

const std::vector<Codec>& Codecs() {
    static const std::vector<Codec> codecs = {
        {"mjpeg", "MJPEG", {"-c:v", "mjpeg", "-q:v", "3", "-pix_fmt", "yuvj420p"}, true},
        {"msmpeg4v2",
         "msmpeg4v2 g12",
         {"-c:v", "msmpeg4v2", "-g", "12", "-q:v", "3", "-pix_fmt", "yuv420p"}},
        {"mpeg4",
         "MPEG-4 bf2 g12",
         {"-c:v", "mpeg4", "-bf", "2", "-g", "12", "-q:v", "3", "-pix_fmt", "yuv420p"}},
        {"h264",
         "H.264 crf20",
         {"-c:v", "libx264", "-preset", "medium", "-crf", "20", "-pix_fmt", "yuv420p"}},
        // Long groups of pictures as phones write them, and longer: going backwards through
        // them lives on the picture cache.
        {"h264-g60",
         "H.264 g60 bf3",
         {"-c:v", "libx264", "-preset", "fast", "-crf", "20", "-g", "60", "-keyint_min", "60",
          "-sc_threshold", "0", "-bf", "3", "-pix_fmt", "yuv420p"}},
        {"h264-g250",
         "H.264 g250 bf3",
         {"-c:v", "libx264", "-preset", "fast", "-crf", "20", "-g", "250", "-keyint_min", "250",
          "-sc_threshold", "0", "-bf", "3", "-pix_fmt", "yuv420p"}},
    };
    return codecs;
}

bool ParseSize(const std::string& text, int* width, int* height) {
    const size_t x = text.find('x');
    if (x == std::string::npos) {
        return false;
    }
    char* end = nullptr;
    const long w = std::strtol(text.c_str(), &end, 10);
    if (end != text.c_str() + x) {
        return false;
    }
    const long h = std::strtol(text.c_str() + x + 1, &end, 10);
    if (*end != '\0') {
        return false;
    }
    // 4:2:0 encoders need even sizes.
    if (w < 16 || h < 16 || w > 7680 || h > 4320 || w % 2 != 0 || h % 2 != 0) {
        return false;
    }
    *width = int(w);
    *height = int(h);
    return true;
}

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--media" && i + 1 < argc) {
            options.mediaDir = argv[++i];
        } else if (arg == "--quick") {
            options.quick = true;
        } else if (arg == "--size" && i + 1 < argc &&
                   ParseSize(argv[i + 1], &options.width, &options.height)) {
            ++i;
        } else {
            return std::nullopt;
        }
    }
    return options;
}

// Makes the codec's test file unless the media folder already has it. ffmpeg writes under a
// temporary name, so an interrupted run never leaves a truncated file to be reused.
bool EnsureMedia(const Codec& codec, const std::string& path, const Options& options, int frames) {
    std::error_code error;
    if (fs::is_regular_file(path, error) && fs::file_size(path, error) > 0 && !error) {
        return true;
    }
    std::cerr << "making " << path << " ...\n";
    const std::string partial = path + ".partial";
    const std::string source = "testsrc2=size=" + std::to_string(options.width) + "x" +
                               std::to_string(options.height) +
                               ":rate=" + std::to_string(kFramesPerSecond) + ",noise=alls=5:allf=t";
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel",
                                     "error",  "-y",       "-f",           "lavfi",
                                     "-i",     source,     "-frames:v",    std::to_string(frames)};
    argv.insert(argv.end(), codec.encoderArgs.begin(), codec.encoderArgs.end());
    argv.insert(argv.end(), {"-f", "avi", partial});
    if (!RunChild(argv, Output::Inherit).ran) {
        fs::remove(partial, error);
        return false;
    }
    fs::rename(partial, path, error);
    return !error;
}

// The figures of one file.
struct Row {
    std::string label;
    int frames = 0;
    double keyInterval = 0;
    int keyCount = 0;
    double referenceMs = 0;
    bool intraOnly = false;
    double forwardMs = 0, backwardMs = 0, randomMs = 0;
    // Whole kivra-cli runs, backward against forward: the median over alternating pairs of wall
    // time and of user + system time.
    double wallRatio = 0, cpuRatio = 0;
    double packetsPerJump = 0;  // chunks handed to the decoder (reference pictures skipped count)
    double decodedPerJump = 0;  // pictures the decoder produced: the decoding work of a jump
    double jumpBudget = 0;
    double maxRssMb = 0;

    bool ForwardPasses() const { return forwardMs <= kMaxForwardRatio * referenceMs; }
    bool JumpsPass() const { return decodedPerJump <= jumpBudget; }
    bool MemoryPasses() const { return maxRssMb < kMaxRssMb; }
    bool BackwardPasses() const { return backwardMs <= kMaxBackwardRatio * forwardMs; }
};

// Key-frame interval and random-jump cost, measured in this process on the real stream.
bool MeasureInProcess(const std::string& path, Row* row, std::string* failure) {
    CAviVideoStream stream(path);
    const int code = stream.OpenStream();
    if (code != CAviVideoStream::kOpened) {
        *failure = "cannot open " + path + " (code " + std::to_string(code) + ")";
        return false;
    }
    // Without the picture cache: this is the cost of a jump to a frame not decoded before, and
    // this process stays small, which matters because a spawned child's peak memory figure
    // starts from its parent's (Linux carries the parent's high-water mark across exec).
    stream.SetPictureCacheBytes(0);
    const int first = stream.GetStart();
    const int last = stream.GetEnd();
    row->frames = stream.GetFrameCount();

    std::vector<int> keys;
    for (int k = stream.FindSample(first, FindFlags::NextKey); k >= 0;
         k = stream.FindSample(k + 1, FindFlags::NextKey)) {
        keys.push_back(k);
    }
    row->keyCount = int(keys.size());
    // A file with a single key frame is one group as long as the file.
    row->keyInterval = keys.size() >= 2
                           ? double(keys.back() - keys.front()) / double(keys.size() - 1)
                           : double(last - first + 1);
    row->jumpBudget = row->keyInterval / 2.0 + 2.0;

    std::mt19937 random(kRandomSeed);
    std::uniform_int_distribution<int> anywhere(first, last);
    int64_t packets = 0;
    int64_t decoded = 0;
    for (int i = 0; i < kRandomJumps; ++i) {
        const int64_t before = stream.DecoderStats().packetsSent;
        const int64_t decodedBefore = stream.DecoderStats().framesDecoded;
        stream.LoadFrame(anywhere(random));
        packets += stream.DecoderStats().packetsSent - before;
        decoded += stream.DecoderStats().framesDecoded - decodedBefore;
    }
    row->packetsPerJump = double(packets) / double(kRandomJumps);
    row->decodedPerJump = double(decoded) / double(kRandomJumps);
    return true;
}

// Best ms per frame of `kivra-cli decode` over `runs` runs.
std::optional<double> MeasureCli(const std::string& cli, const std::string& path,
                                 const std::string& order, int count, int expectedFrames, int runs,
                                 std::string* failure) {
    double best = std::numeric_limits<double>::infinity();
    for (int run = 0; run < runs; ++run) {
        const std::optional<bench::DecodeRun> decoded = bench::RunDecode(cli, path, order, count);
        if (!decoded) {
            *failure = "kivra-cli decode " + path + " --order " + order + " failed";
            return std::nullopt;
        }
        if (decoded->frames != expectedFrames) {
            *failure = "kivra-cli decoded " + std::to_string(decoded->frames) + " frames of " +
                       path + ", expected " + std::to_string(expectedFrames);
            return std::nullopt;
        }
        best = std::min(best, decoded->msPerFrame);
    }
    return best;
}

// Forward and backward in turn: each order's best ms per frame into the row, and the medians
// of the pairs' backward against forward whole-run times.
bool MeasureBothWays(const std::string& cli, const std::string& path, int pairs, Row* row,
                     std::string* failure) {
    const std::optional<bench::BothWays> both = bench::DecodeBothWays(cli, path, pairs);
    if (!both || both->forwardFrames != row->frames || both->backwardFrames != row->frames) {
        *failure = "kivra-cli decode " + path + " failed or decoded other than " +
                   std::to_string(row->frames) + " frames";
        return false;
    }
    row->forwardMs = both->forwardMs;
    row->backwardMs = both->backwardMs;
    row->wallRatio = both->wallRatio;
    row->cpuRatio = both->cpuRatio;
    row->maxRssMb = std::max(row->maxRssMb, both->maxRssMb);
    return true;
}

// Best wall time per frame of the installed ffmpeg decoding the whole file to 24-bit BGR.
std::optional<double> MeasureReference(const std::string& path, int frames, int runs) {
    const std::vector<std::string> argv = {"ffmpeg",   "-threads", "1",  "-i",   path,
                                           "-pix_fmt", "bgr24",    "-f", "null", "-"};
    double best = std::numeric_limits<double>::infinity();
    for (int run = 0; run < runs; ++run) {
        const ChildResult child = RunChild(argv, Output::Discard);
        if (!child.ran) {
            return std::nullopt;
        }
        best = std::min(best, child.wallMs / double(frames));
    }
    return best;
}

const char* Verdict(bool pass) {
    return pass ? "PASS" : "FAIL";
}

void PrintTable(const std::vector<Row>& rows) {
    std::printf(
        "%-15s %6s %7s %8s | %8s %5s %4s | %8s %5s %7s %4s | %8s %5s | %6s %6s %6s %4s | %7s "
        "%4s\n",
        "file", "frames", "key int", "ref ms/f", "fwd ms/f", "ratio", "", "bwd ms/f", "ratio",
        "bwd/fwd", "", "rnd ms/f", "ratio", "dec/jmp", "pk/jmp", "budget", "", "RSS MB", "");
    for (const Row& r : rows) {
        std::printf(
            "%-15s %6d %7.1f %8.2f | %8.2f %5.2f %4s | %8.2f %5.2f %7.2f %4s | %8.2f %5.2f | "
            "%6.1f %6.1f %6.1f %4s | %7.1f %4s\n",
            r.label.c_str(), r.frames, r.keyInterval, r.referenceMs, r.forwardMs,
            r.forwardMs / r.referenceMs, Verdict(r.ForwardPasses()), r.backwardMs,
            r.backwardMs / r.referenceMs, r.backwardMs / r.forwardMs, Verdict(r.BackwardPasses()),
            r.randomMs, r.randomMs / r.referenceMs, r.decodedPerJump, r.packetsPerJump,
            r.jumpBudget, Verdict(r.JumpsPass()), r.maxRssMb, Verdict(r.MemoryPasses()));
    }
}

// Backward against forward stepping over whole kivra-cli decode runs, wall and processor time,
// each beside its goal; true when all pass.
bool PrintWholeRuns(const std::vector<Row>& rows, int pairs) {
    std::printf(
        "\nbackward against forward, whole kivra-cli decode runs taken in turn, median of %d "
        "pair%s (wall; user + system):\n",
        pairs, pairs == 1 ? "" : "s");
    bool pass = true;
    for (const Row& r : rows) {
        const double wallGoal = r.intraOnly ? kMaxIntraBackwardWall : kMaxBackwardRatio;
        const double cpuGoal = r.intraOnly ? kMaxIntraBackwardCpu : kMaxBackwardRatio;
        const double wall = r.wallRatio;
        const double cpu = r.cpuRatio;
        std::printf(
            "%-15s wall backward/forward  %.2f  goal <= %.2f %s   "
            "cpu backward/forward  %.2f  goal <= %.2f %s\n",
            r.label.c_str(), wall, wallGoal, Verdict(wall <= wallGoal), cpu, cpuGoal,
            Verdict(cpu <= cpuGoal));
        pass = pass && wall <= wallGoal && cpu <= cpuGoal;
    }
    return pass;
}

int Run(const Options& options) {
    const std::string exeFolder = GetProgramFolder();
    if (exeFolder.empty()) {
        std::cerr << "cannot find this program's folder through /proc/self/exe\n";
        return 1;
    }
    const std::string cli = (fs::path(exeFolder).parent_path() / "kivra-cli").string();
    if (::access(cli.c_str(), X_OK) != 0) {
        std::cerr << "kivra-cli not found at " << cli << " (build the kivra-cli target)\n";
        return 1;
    }
    // Absolute, so a folder name with a leading dash never reads as an option to ffmpeg.
    std::error_code error;
    const std::string mediaDir =
        options.mediaDir.empty()
            ? exeFolder + "/media"
            : fs::absolute(options.mediaDir, error).lexically_normal().string();
    fs::create_directories(mediaDir, error);
    if (error) {
        std::cerr << "cannot make the media folder " << mediaDir << ": " << error.message() << "\n";
        return 1;
    }

    const int seconds = options.quick ? 3 : 10;
    const int frames = seconds * kFramesPerSecond;
    const int runs = options.quick ? 1 : 3;
    const int pairs = options.quick ? 1 : 5;  // forward and backward in turn
    const std::string size = std::to_string(options.width) + "x" + std::to_string(options.height);

    std::vector<Row> rows;
    for (const Codec& codec : Codecs()) {
        const std::string path =
            mediaDir + "/" + codec.key + "-" + size + "-" + std::to_string(seconds) + "s.avi";
        if (!EnsureMedia(codec, path, options, frames)) {
            std::cerr << "ffmpeg could not make " << path << "\n";
            return 1;
        }
        std::cerr << "measuring " << codec.label << " ...\n";
        Row row;
        row.label = codec.label;
        std::string failure;
        if (!MeasureInProcess(path, &row, &failure)) {
            std::cerr << failure << "\n";
            return 1;
        }
        const std::optional<double> reference = MeasureReference(path, row.frames, runs);
        if (!reference) {
            std::cerr << "ffmpeg could not decode " << path << "\n";
            return 1;
        }
        row.referenceMs = *reference;
        const std::optional<double> randomly =
            MeasureBothWays(cli, path, pairs, &row, &failure)
                ? MeasureCli(cli, path, "random", kRandomJumps, kRandomJumps, runs, &failure)
                : std::nullopt;
        if (!randomly) {
            std::cerr << failure << "\n";
            return 1;
        }
        row.intraOnly = codec.intraOnly;
        row.randomMs = *randomly;
        rows.push_back(row);
    }

    std::printf(
        "Decoding %s, %d frames at %d fps per file; best of %d run%s (fwd and bwd: of %d); "
        "ratio = ours / reference\n",
        size.c_str(), frames, kFramesPerSecond, runs, runs == 1 ? "" : "s", pairs);
    std::printf("reference: ffmpeg -threads 1 -i FILE -pix_fmt bgr24 -f null - (wall time)\n");
    std::printf("fwd/bwd/rnd: kivra-cli decode --order forward|backward|random (rnd: %d jumps)\n",
                kRandomJumps);
    std::printf(
        "dec/jmp: pictures decoded per random jump (%d jumps, budget = key interval / 2 + 2);\n"
        "pk/jmp: chunks handed to the decoder, including those it skips undecoded\n",
        kRandomJumps);
    std::printf("RSS MB: peak memory of kivra-cli stepping forward through the whole file\n\n");
    PrintTable(rows);
    for (const Row& r : rows) {
        if (r.label.rfind("H.264", 0) == 0) {
            std::printf("\n%s key-frame interval in the file: %.1f frames (%d key frames in %d)\n",
                        r.label.c_str(), r.keyInterval, r.keyCount, r.frames);
        }
    }
    std::printf(
        "\nlimits: forward ratio <= %.1f, bwd/fwd <= %.1f, dec/jmp <= budget, RSS < %.0f MB\n",
        kMaxForwardRatio, kMaxBackwardRatio, kMaxRssMb);
    const bool wholeRunsPass = PrintWholeRuns(rows, pairs);
    const bool allPass =
        wholeRunsPass && std::all_of(rows.begin(), rows.end(), [](const Row& r) {
            return r.ForwardPasses() && r.BackwardPasses() && r.JumpsPass() && r.MemoryPasses();
        });
    std::printf("%s\n", allPass ? "all figures pass" : "some figures fail");
    return 0;
}

}  // namespace
}  // namespace kivra

int main(int argc, char** argv) {
    av_log_set_level(AV_LOG_ERROR);
    const std::optional<kivra::Options> options = kivra::ParseOptions(argc, argv);
    if (!options) {
        std::cerr << "usage: kivra-bench-decode [--media DIR] [--quick] [--size WxH]\n";
        return 1;
    }
    return kivra::Run(*options);
}
