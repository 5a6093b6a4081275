#include "convert/probe_options.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <optional>
#include <thread>
#include <vector>

#include "convert/video_info.h"
#include "platform/child_process.h"
#include "platform/picture_limits.h"
#include "platform/progress_sink.h"
#include "platform/settings_folder.h"
#include "platform/translation.h"
#include "platform/unique_fd.h"

namespace kivra {

namespace {

ProbeResult ProbeWith(HaldsCVideoInfo& probe, const std::string& path) {
    ProbeResult result;
    if (probe.Open(path) == 0) {
        return result;
    }
    result.opened = true;
    int width = 0;
    int height = 0;
    if (probe.GetDisplaySize(&width, &height)) {
        result.resizeNeeded = true;
        result.displayWidth = width;
        result.height = height;
    }
    result.rotation = LeadingInt(probe.Get("Rotation"));
    result.storedWidth = probe.GetWidth();
    result.storedHeight = probe.GetHeight();
    result.durationMs = std::max(0, LeadingInt(probe.Get("Duration")));
    probe.Close();
    return result;
}

// printf's "%.4f" without the locale's decimal separator.
std::string FixedFour(double value) {
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 4);
    return error == std::errc{} ? std::string(buffer, end) : std::string("0.0000");
}

const char* RotationFilter(int rotation) {
    switch (rotation) {
        case 90:
            return " -vf transpose=1 -metadata:s:v:0 rotate=0";
        case 180:
            return " -vf hflip,vflip -metadata:s:v:0 rotate=0";
        case 270:
            return " -vf transpose=2 -metadata:s:v:0 rotate=0";
        default:
            return "";
    }
}

constexpr size_t kMaxAnswerBytes = 256;

// Reads what the child writes until it closes its end, the answer is too long to be one, the
// deadline passes or the user stops the wait. After `quiet` the wait shows in `progress`.
// True when the end was reached in time.
bool ReadAnswer(int fd, std::chrono::steady_clock::time_point deadline,
                std::chrono::milliseconds quiet, ProgressSink& progress, std::string& answer,
                bool& cancelled) {
    using Clock = std::chrono::steady_clock;
    constexpr auto kPumpInterval = std::chrono::milliseconds(50);
    const Clock::time_point showAt = Clock::now() + quiet;
    std::optional<ProgressScope> shown;
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            return false;
        }
        if (!shown && now >= showAt) {
            progress.Begin(0, 0, translate("VideoProbe", "動画の情報を調べています"),
                           PercentLabel::Hidden);
            shown.emplace(progress);
            progress.OfferCancel();
        }
        if (shown) {
            progress.Pump();
            if (progress.CancelRequested()) {
                cancelled = true;
                return false;
            }
        }
        const Clock::time_point wakeAt = std::min(deadline, shown ? now + kPumpInterval : showAt);
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(wakeAt - now);
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(std::max<int64_t>(left.count(), 0)));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            return false;
        }
        if (ready == 0) {
            continue;
        }
        char buffer[kMaxAnswerBytes];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n == 0;
        }
        answer.append(buffer, static_cast<size_t>(n));
        if (answer.size() > kMaxAnswerBytes) {
            return false;
        }
    }
}

// Waits for the child until the deadline, then kills it; always reaps it. True when it ended by
// itself with status 0.
bool Reap(pid_t pid, std::chrono::steady_clock::time_point deadline) {
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        if (done < 0 && errno != EINTR) {
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return false;
}

bool ReadInt(std::string_view& text, int& value) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end == text.data()) {
        return false;
    }
    text.remove_prefix(static_cast<size_t>(end - text.data()));
    return true;
}

}  // namespace

bool ProbeSizeAllowed(const ProbeResult& result) {
    return PictureSizeAllowed(result.storedWidth, result.storedHeight) &&
           (!result.resizeNeeded || PictureSizeAllowed(result.displayWidth, result.height));
}

std::string ProbeHelperPath() {
    return GetProgramFolder() + "/kivra-probe";
}

ProbeResult ProbeSource(const std::string& path) {
    return ProbeSourceInChild(ProbeHelperPath(), path, kProbeDeadline);
}

ProbeOutcome ProbeSource(const std::string& path, ProgressSink& progress) {
    return ProbeSourceInChild(ProbeHelperPath(), path, kProbeDeadline, progress);
}

ProbeResult ProbeSourceInChild(const std::string& helper, const std::string& path,
                               std::chrono::milliseconds deadline) {
    NullProgressSink none;
    return ProbeSourceInChild(helper, path, deadline, none).result;
}

ProbeOutcome ProbeSourceInChild(const std::string& helper, const std::string& path,
                                std::chrono::milliseconds deadline, ProgressSink& progress,
                                std::chrono::milliseconds quietTime) {
    // A FIFO would keep the helper waiting until the deadline; only regular files are probed.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return {};
    }
    const auto until = std::chrono::steady_clock::now() + deadline;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return {};
    }
    UniqueFd readEnd(ends[0]);
    UniqueFd writeEnd(ends[1]);
    ChildSetup setup;
    setup.stdoutFd = writeEnd.get();
    setup.endsWithParent = true;
    const pid_t pid = SpawnChild({helper, path}, setup);
    writeEnd.Close();  // the child's copy is the only writer left, so its end shows as EOF
    if (pid < 0) {
        return {};
    }
    ProbeOutcome outcome;
    std::string answer;
    const bool complete =
        ReadAnswer(readEnd.get(), until, quietTime, progress, answer, outcome.cancelled);
    const bool succeeded = Reap(pid, complete ? until : std::chrono::steady_clock::now());
    if (complete && succeeded) {
        outcome.result = ParseProbeAnswer(answer).value_or(ProbeResult{});
    }
    return outcome;
}

std::string ProbeAnswerLine(const ProbeResult& result) {
    char line[128];
    std::snprintf(line, sizeof line, "probe %d %d %d %d %d %d %d %d\n", result.opened ? 1 : 0,
                  result.resizeNeeded ? 1 : 0, result.displayWidth, result.height, result.rotation,
                  result.storedWidth, result.storedHeight, result.durationMs);
    return line;
}

std::optional<ProbeResult> ParseProbeAnswer(std::string_view line) {
    if (!line.starts_with("probe ")) {
        return std::nullopt;
    }
    line.remove_prefix(5);
    int values[8];
    for (int& value : values) {
        if (!ReadInt(line, value)) {
            return std::nullopt;
        }
    }
    if (line != "\n" && !line.empty()) {
        return std::nullopt;
    }
    if ((values[0] != 0 && values[0] != 1) || (values[1] != 0 && values[1] != 1)) {
        return std::nullopt;
    }
    ProbeResult result;
    result.opened = values[0] == 1;
    result.resizeNeeded = values[1] == 1;
    result.displayWidth = values[2];
    result.height = values[3];
    result.rotation = values[4];
    result.storedWidth = values[5];
    result.storedHeight = values[6];
    result.durationMs = std::max(values[7], 0);
    return result;
}

ProbeResult ProbeSource(const std::string& path, const MediaInfoLibrary& library) {
    HaldsCVideoInfo probe(library);
    return ProbeWith(probe, path);
}

std::string ExtraOptions(const ProbeResult& result) {
    std::string options;
    if (result.resizeNeeded && result.height > 0) {
        char size[64];
        std::snprintf(size, sizeof size, "-s %dx%d -aspect ", result.displayWidth, result.height);
        options = size + FixedFour(static_cast<double>(result.displayWidth) / result.height);
    }
    options += RotationFilter(result.rotation);
    const size_t first = options.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : options.substr(first);
}

}  // namespace kivra
