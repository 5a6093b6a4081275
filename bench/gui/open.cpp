// Opening figures of the real program, headless, beside `kivra-cli frame CLIP 0` on the same clip:
// how long after the start the window shows the first picture, and, opened over another video,
// how soon the old video leaves the screen, whether a long open shows its progress, and when
// the new first picture comes. The clip is a 20 s 4K HEVC MP4 with 250-frame groups, made
// once with the ffmpeg program in the media folder (--media DIR).
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "../child_process.h"
#include "../media_options.h"
#include "app/mirandel_app.h"
#include "frame/main_frame.h"
#include "frame/progress_dlg.h"
#include "platform/memory_policy.h"
#include "reading/avi_video_stream.h"
#include "view/vfw_view.h"

namespace {

namespace fs = std::filesystem;
using kivra::bench::Output;
using kivra::bench::RunChild;

constexpr double kLaterThanCliMs = 500.0;  // the window's first picture after the CLI's
constexpr double kLeaveMs = 100.0;         // the old video gone from the screen
constexpr double kProgressAfterMs = 500.0;

// The clip, made once: 4K HEVC at 30 fps with a key frame every 250 frames.
std::string MakeClip(const std::string& media, bool quick) {
    const std::string size = quick ? "640x360" : "3840x2160";
    const std::string seconds = quick ? "2" : "20";
    const fs::path path = fs::path(media) / ("hevc-" + size + "-" + seconds + "s.mp4");
    if (!fs::exists(path)) {
        fs::create_directories(media);
        const std::string scratch = path.string() + ".part.mp4";
        if (!RunChild(
                 {"ffmpeg",   "-v",        "error",        "-y",
                  "-f",       "lavfi",     "-i",           "testsrc2=size=" + size + ":rate=30",
                  "-t",       seconds,     "-c:v",         "libx265",
                  "-preset",  "ultrafast", "-x265-params", "log-level=error:keyint=250",
                  "-pix_fmt", "yuv420p",   "-tag:v",       "hvc1",
                  scratch},
                 Output::Discard)
                 .ran) {
            return {};
        }
        fs::rename(scratch, path);
    }
    return path.string();
}

// A short AVI to open first, so that the clip is opened over another video.
std::string MakeFirstVideo(const std::string& media) {
    const fs::path path = fs::path(media) / "open-first-mjpeg-640x360.avi";
    if (!fs::exists(path) &&
        !RunChild({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                   "testsrc=size=640x360:rate=30", "-t", "4", "-c:v", "mjpeg", path.string()},
                  Output::Discard)
             .ran) {
        return {};
    }
    return path.string();
}

double ElapsedMs(const QElapsedTimer& clock) {
    return double(clock.nsecsElapsed()) / 1e6;
}

// Runs the event loop until done() holds or the time is up; the time it held, or nothing.
template <typename Done>
std::optional<double> WaitUntil(const QElapsedTimer& clock, double limitMs, Done done) {
    while (ElapsedMs(clock) < limitMs) {
        if (done()) {
            return ElapsedMs(clock);
        }
        QApplication::processEvents(QEventLoop::AllEvents, 2);
    }
    return done() ? std::optional<double>(ElapsedMs(clock)) : std::nullopt;
}

// The progress dialog of a long job, a window of its own.
bool ProgressShown() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->isVisible() && qobject_cast<CProgressDlg*>(top) != nullptr) {
            return true;
        }
    }
    return false;
}

const char* Verdict(bool pass) {
    return pass ? "PASS" : "FAIL";
}

}  // namespace

int main(int argc, char** argv) {
    kivra::UseLargeBufferPolicy();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const auto options = kivra::bench::ParseMediaOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: kivra-bench-open [--media DIR] [--quick]\n");
        return 1;
    }
    const fs::path self = fs::absolute(fs::path(argv[0])).parent_path();
    const std::string media = options->media.empty() ? (self / "media").string() : options->media;
    const std::string clip = MakeClip(media, options->quick);
    const std::string first = MakeFirstVideo(media);
    if (clip.empty() || first.empty()) {
        std::fprintf(stderr, "the ffmpeg program could not make the clips in %s\n", media.c_str());
        return 1;
    }
    QApplication qt(argc, argv);
    QTemporaryDir settings;
    qputenv("XDG_DATA_HOME", QDir(settings.path()).filePath("data").toUtf8());
    qputenv("XDG_CONFIG_HOME", QDir(settings.path()).filePath("config").toUtf8());

    // The reference: the command line's first picture of the same clip.
    const std::string bmp = QDir(settings.path()).filePath("first.bmp").toStdString();
    const kivra::bench::ChildResult cli = RunChild(
        {(self.parent_path() / "kivra-cli").string(), "frame", clip, "0", bmp}, Output::Discard);
    if (!cli.ran) {
        std::fprintf(stderr, "kivra-cli frame failed on %s\n", clip.c_str());
        return 1;
    }

    // The window started with the clip, as `kivra CLIP` starts it.
    QElapsedTimer clock;
    clock.start();
    CMirandelApp app;
    if (!app.InitInstance({QStringLiteral("kivra"), QString::fromStdString(clip)})) {
        std::fprintf(stderr, "the program did not start\n");
        return 1;
    }
    CMainFrame& frame = *app.GetMainFrame();
    const auto pictures = [&frame] { return frame.VideoView()->PictureScaleCount(); };
    const std::optional<double> started =
        WaitUntil(clock, 120000, [&] { return frame.Stream() != nullptr && pictures() > 0; });

    // Over another video: the first one open, then the clip.
    std::optional<bool> opened;
    app.OpenDocumentFile(first, [&opened](bool ok) { opened = ok; });
    WaitUntil(clock, clock.elapsed() + 60000.0, [&] { return opened.has_value(); });
    WaitUntil(clock, clock.elapsed() + 200.0, [] { return false; });
    const int before = pictures();
    const CAviVideoStream* const old = frame.Stream();
    opened.reset();
    clock.restart();
    app.OpenDocumentFile(clip, [&opened](bool ok) { opened = ok; });
    const std::optional<double> left = WaitUntil(
        clock, 60000, [&] { return frame.VideoView()->VideoHidden() || frame.Stream() != old; });
    bool progressDue = false;
    bool progressSeen = false;
    const std::optional<double> over = WaitUntil(clock, 120000, [&] {
        if (ElapsedMs(clock) > kProgressAfterMs + 100.0 && !opened.has_value()) {
            progressDue = true;
            progressSeen = progressSeen || ProgressShown();
        }
        return opened.has_value() && pictures() > before;
    });
    app.ExitInstance();

    const double cliMs = cli.wallMs;
    std::printf("%-52s %10s %12s %s\n", fs::path(clip).filename().c_str(), "ms", "goal", "");
    std::printf("%-52s %10.0f %12s\n", "kivra-cli frame CLIP 0 (reference)", cliMs, "");
    const bool startOk = started && *started <= cliMs + kLaterThanCliMs;
    std::printf("%-52s %10.0f %9s%.0f %s\n", "window started with the clip: first picture",
                started.value_or(-1), "<= ", cliMs + kLaterThanCliMs, Verdict(startOk));
    const bool leftOk = left && *left <= kLeaveMs;
    std::printf("%-52s %10.0f %9s%.0f %s\n", "opened over a video: the old one leaves",
                left.value_or(-1), "<= ", kLeaveMs, Verdict(leftOk));
    const bool progressOk = !progressDue || progressSeen;
    std::printf("%-52s %10s %12s %s\n", "opened over a video: progress after 0.5 s",
                progressDue ? (progressSeen ? "shown" : "not shown") : "not due", "",
                Verdict(progressOk));
    const bool overOk = over && *over <= cliMs + kLaterThanCliMs;
    std::printf("%-52s %10.0f %9s%.0f %s\n", "opened over a video: first picture",
                over.value_or(-1), "<= ", cliMs + kLaterThanCliMs, Verdict(overOk));
    std::printf("%s\n", startOk && leftOk && progressOk && overOk ? "all figures pass"
                                                                  : "some figures fail");
    return 0;
}
