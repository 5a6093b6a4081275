// Playback figures of the real program, headless: distinct frames shown per second while playing
// forward and in reverse at 1.0x, backward stepping against forward stepping, and memory with a
// full picture cache. Uses the 1080p files kivra-bench-decode makes (--media DIR), and the phone
// clip and the camera clip of 250-picture groups kivra-bench-direct makes, which are read straight
// from the file. Reverse play also gives its longest pause between two pictures shown.
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
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
// The clips are 30 fps; a shown rate this close to it has no pause a viewer sees, and a pause
// no longer than this is two frames late.
constexpr double kClipFps = 30.0;
constexpr double kMaxPauseMs = 100.0;

struct Options {
    std::string media;
    double seconds = 10.0;
};

double MaxRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

struct PlayFigures {
    double shownPerSecond = 0;
    double longestPauseMs = 0;  // between two pictures painted
    // The same once out of the group play started in: a jump lands anywhere in a group, and
    // the group before must be decoded in what is left of it.
    double laterPauseMs = 0;
};

// Plays for the given time: distinct frames painted per second and the longest wait for one.
// Waits for events rather than polling, so that measuring takes no processor from the decoders.
PlayFigures Play(CMainFrame& frame, bool reverse, double seconds) {
    CVfwView* view = frame.VideoView();
    CAviVideoStream* stream = frame.Stream();
    const int startGroup =
        reverse ? stream->FindSample(stream->GetEnd(), kivra::FindFlags::PrevKey) : -1;
    frame.Cursor().MoveTo(reverse ? stream->GetEnd() : stream->GetStart());
    QApplication::processEvents();
    const int before = view->PictureScaleCount();
    QTimer wake;  // the loop looks at the count at least this often, whatever else happens
    wake.start(5);
    reverse ? frame.Playback().ReversePlay() : frame.Playback().Play();
    QElapsedTimer clock;
    clock.start();
    PlayFigures figures;
    int painted = before;
    qint64 lastPaint = -1;  // the first picture may still be the one moved to before playing
    while (clock.elapsed() < qint64(seconds * 1000) && frame.IsPlaying()) {
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        const int count = view->PictureScaleCount();
        if (count != painted) {
            const qint64 now = clock.elapsed();
            if (lastPaint >= 0) {
                const double pause = double(now - lastPaint);
                figures.longestPauseMs = std::max(figures.longestPauseMs, pause);
                if (frame.Cursor().Current() < startGroup) {
                    figures.laterPauseMs = std::max(figures.laterPauseMs, pause);
                }
            }
            lastPaint = now;
            painted = count;
        }
    }
    const double elapsed = double(clock.elapsed()) / 1000.0;
    frame.Playback().Stop();
    figures.shownPerSecond = double(view->PictureScaleCount() - before) / elapsed;
    return figures;
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
    for (const char* clip : {"phone-h264-1920x1080-60s.mp4", "camera-g250-1920x1080-20s.mov"}) {
        const auto path = std::filesystem::path(options.media) / clip;
        if (std::filesystem::exists(path)) {
            files.push_back(path.string());
        }
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
    std::vector<std::pair<std::string, PlayFigures>> reverses;
    std::printf("%-34s %10s %10s %10s %10s %10s %10s %11s %10s\n", "file (1920x1080, 30 fps)",
                "fwd ms", "back ms", "back/fwd", "dec b/f", "play fps", "rev fps", "rev pause",
                "max RSS");
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
        const double play = Play(frame, false, options.seconds).shownPerSecond;
        // Clips read directly play backwards long enough to leave two groups of 250 behind.
        const bool avi = std::filesystem::path(path).extension() == ".avi";
        const PlayFigures reverse =
            Play(frame, true, avi ? options.seconds : std::max(options.seconds, 15.0));
        const double rss = MaxRssMb();
        const bool reversePasses =
            reverse.shownPerSecond >= kMinShownPerSecond && reverse.laterPauseMs <= kMaxPauseMs;
        const bool pass = ratio <= kMaxBackwardRatio && play >= kMinShownPerSecond && reversePasses;
        allPass = allPass && pass;
        std::printf("%-34s %10.2f %10.2f %6.2f %s %10.2f %6.1f %s %6.1f %s %6.0f ms %7.0f MB\n",
                    std::filesystem::path(path).filename().c_str(), forwardMs, backwardMs, ratio,
                    Verdict(ratio <= kMaxBackwardRatio), backwardDecoded / forwardDecoded, play,
                    Verdict(play >= kMinShownPerSecond), reverse.shownPerSecond,
                    Verdict(reverse.shownPerSecond >= kMinShownPerSecond), reverse.longestPauseMs,
                    rss);
        reverses.push_back({std::filesystem::path(path).filename().string(), reverse});
        app.OnFileNew();
    }
    // Reverse play of the clips read directly, beside the rate they were filmed at.
    for (const auto& [name, figures] : reverses) {
        if (std::filesystem::path(name).extension() == ".avi") {
            continue;
        }
        std::printf(
            "reverse play %-30s %5.1f fps  goal %.0f fps (>= %.1f)   longest pause %4.0f "
            "ms, after the first group %4.0f ms  goal <= %.0f ms  %s\n",
            name.c_str(), figures.shownPerSecond, kClipFps, kMinShownPerSecond,
            figures.longestPauseMs, figures.laterPauseMs, kMaxPauseMs,
            Verdict(figures.shownPerSecond >= kMinShownPerSecond &&
                    figures.laterPauseMs <= kMaxPauseMs));
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
