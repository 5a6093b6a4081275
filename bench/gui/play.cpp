// Playback figures of the real program, headless: distinct frames shown per second while playing
// forward and in reverse at 1.0x, backward stepping against forward stepping, and memory with a
// full picture cache. Uses the 1080p files kivra-bench-decode makes (--media DIR), and the phone
// clip kivra-bench-direct makes, which is read straight from the file.
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/mirandel_app.h"
#include "direct/direct_reader.h"
#include "direct/frame_index.h"
#include "frame/main_frame.h"
#include "platform/memory_policy.h"
#include "reading/avi_video_stream.h"
#include "settings/inifile_manager.h"
#include "view/vfw_view.h"

namespace {

constexpr double kMinShownPerSecond = 29.0;
constexpr double kMaxBackwardRatio = 1.5;
constexpr double kCacheHeadroomMb = 150.0;

struct Options {
    std::string media;
    double seconds = 10.0;
};

double MaxRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// Plays for the given time and returns the distinct frames painted per second.
double ShownPerSecond(CMainFrame& frame, bool reverse, double seconds) {
    CVfwView* view = frame.VideoView();
    CAviVideoStream* stream = frame.Stream();
    frame.Cursor().MoveTo(reverse ? stream->GetEnd() : stream->GetStart());
    QApplication::processEvents();
    const int before = view->PictureScaleCount();
    reverse ? frame.Playback().ReversePlay() : frame.Playback().Play();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < qint64(seconds * 1000) && frame.IsPlaying()) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    const double elapsed = double(clock.elapsed()) / 1000.0;
    frame.Playback().Stop();
    return double(view->PictureScaleCount() - before) / elapsed;
}

// Milliseconds per frame stepping through the whole file one way, on a fresh stream; the
// pictures decoded per frame shown (both threads) go to *decodedPerFrame: the work behind the
// time, which the machine's load does not change.
double StepMs(const std::string& path, bool backward, size_t cacheBytes, double* decodedPerFrame) {
    CAviVideoStream stream(path);
    if (std::filesystem::path(path).extension() == ".avi") {
        if (stream.OpenStream() != CAviVideoStream::kOpened) {
            return -1.0;
        }
    } else {
        const auto index = kivra::BuildFrameIndex(path, {}, nullptr, nullptr, nullptr);
        auto reader = index ? kivra::DirectReader::Open(index, nullptr) : nullptr;
        if (!reader || stream.OpenReader(std::move(reader)) != CAviVideoStream::kOpened) {
            return -1.0;
        }
    }
    stream.SetPictureCacheBytes(cacheBytes);
    const int first = stream.GetStart();
    const int last = stream.GetEnd();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i <= last - first; ++i) {
        stream.LoadFrame(backward ? last - i : first + i);
    }
    const std::chrono::duration<double, std::milli> spent =
        std::chrono::steady_clock::now() - start;
    const kivra::DecoderStats stats = stream.DecoderStats();
    *decodedPerFrame =
        double(stats.framesDecoded + stats.prefetchDecoded) / double(last - first + 1);
    return spent.count() / double(last - first + 1);
}

const char* Verdict(bool pass) {
    return pass ? "PASS" : "FAIL";
}

}  // namespace

int main(int argc, char** argv) {
    kivra::UseLargeBufferPolicy();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Options options;
    options.media = (std::filesystem::path(argv[0]).parent_path() / "media").string();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--media" && i + 1 < argc) {
            options.media = argv[++i];
        } else if (arg == "--seconds" && i + 1 < argc) {
            options.seconds = std::atof(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: kivra-bench-play [--media DIR] [--seconds S]\n");
            return 1;
        }
    }
    QApplication qt(argc, argv);
    QTemporaryDir settings;
    qputenv("XDG_DATA_HOME", QDir(settings.path()).filePath("data").toUtf8());
    qputenv("XDG_CONFIG_HOME", QDir(settings.path()).filePath("config").toUtf8());

    std::vector<std::string> files;
    for (const char* name : {"mjpeg", "msmpeg4v2", "mpeg4", "h264", "h264-g60", "h264-g250"}) {
        const auto path =
            std::filesystem::path(options.media) / (std::string(name) + "-1920x1080-10s.avi");
        if (std::filesystem::exists(path)) {
            files.push_back(path.string());
        }
    }
    const auto phone = std::filesystem::path(options.media) / "phone-h264-1920x1080-60s.mp4";
    if (std::filesystem::exists(phone)) {
        files.push_back(phone.string());
    }
    if (files.empty()) {
        std::fprintf(stderr, "no media in %s: run kivra-bench-decode first\n",
                     options.media.c_str());
        return 1;
    }

    CMirandelApp app;
    if (!app.InitInstance({QStringLiteral("kivra")})) {
        std::fprintf(stderr, "the program did not start\n");
        return 1;
    }
    CMainFrame& frame = *app.GetMainFrame();
    frame.resize(1280, 800);
    frame.show();
    const size_t cacheBytes = size_t(frame.Settings().Slider().pictureCacheMB) << 20;

    size_t largestCache = cacheBytes;
    bool allPass = true;
    std::printf("%-34s %10s %10s %10s %10s %10s %10s %10s\n", "file (1920x1080, 30 fps)", "fwd ms",
                "back ms", "back/fwd", "dec b/f", "play fps", "rev fps", "max RSS");
    for (const std::string& path : files) {
        double forwardDecoded = 0;
        double backwardDecoded = 0;
        const double forwardMs = StepMs(path, false, cacheBytes, &forwardDecoded);
        const double backwardMs = StepMs(path, true, cacheBytes, &backwardDecoded);
        const double ratio = backwardMs / forwardMs;
        std::optional<bool> opened;
        app.OpenDocumentFile(path, [&opened](bool ok) { opened = ok; });
        while (!opened) {  // the open runs as a job of the window
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        if (!*opened) {
            std::fprintf(stderr, "cannot open %s\n", path.c_str());
            return 1;
        }
        QApplication::processEvents();
        // Files of long groups get a cache that holds one whole (AutomaticCacheLimit).
        const CAviVideoStream& stream = *frame.Stream();
        largestCache = std::max(largestCache, stream.CacheLimitFor(int(stream.FileInfo().dwWidth),
                                                                   int(stream.FileInfo().dwHeight),
                                                                   stream.LongestGroup()));
        const double play = ShownPerSecond(frame, false, options.seconds);
        const double reverse = ShownPerSecond(frame, true, options.seconds);
        const double rss = MaxRssMb();
        const bool pass = ratio <= kMaxBackwardRatio && play >= kMinShownPerSecond &&
                          reverse >= kMinShownPerSecond;
        allPass = allPass && pass;
        std::printf("%-34s %10.2f %10.2f %6.2f %s %10.2f %6.1f %s %6.1f %s %7.0f MB\n",
                    std::filesystem::path(path).filename().c_str(), forwardMs, backwardMs, ratio,
                    Verdict(ratio <= kMaxBackwardRatio), backwardDecoded / forwardDecoded, play,
                    Verdict(play >= kMinShownPerSecond), reverse,
                    Verdict(reverse >= kMinShownPerSecond), rss);
        app.OnFileNew();
    }
    const double rss = MaxRssMb();
    const double bound = double(largestCache >> 20) + kCacheHeadroomMb;
    std::printf("peak memory %.0f MB, bound %.0f MB (picture cache %zu MB + %.0f MB): %s\n", rss,
                bound, largestCache >> 20, kCacheHeadroomMb, Verdict(rss <= bound));
    allPass = allPass && rss <= bound;
    std::printf("%s\n", allPass ? "all figures pass" : "some figures fail");
    app.ExitInstance();
    return 0;
}
