#include "convert/ffmpeg_util.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <utility>

#include "convert/encoder_command.h"
#include "convert/format_ini_file.h"
#include "platform/child_process.h"
#include "platform/path_util.h"
#include "platform/settings_folder.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/unique_fd.h"

namespace kivra {

namespace {

constexpr int kProgressUpper = 50;
constexpr auto kPassLength = std::chrono::milliseconds(200);
// A pass ends early when the encoder does; this is how soon that is noticed.
constexpr auto kExitCheckInterval = std::chrono::milliseconds(20);
constexpr size_t kMaxEncoderMessages = 16 * 1024;

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string LocalTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[128];
    if (localtime_r(&now, &local) == nullptr ||
        std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &local) == 0) {
        return std::string();
    }
    return text;
}

std::string SizeCaption(const std::string& caption, const std::string& path) {
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::string();
    }
    const double megabytes = static_cast<double>(st.st_size) / 1024.0 / 1024.0;
    char number[64];
    std::snprintf(number, sizeof number, "%.1f", megabytes);
    return caption + "... " + number + " MB";
}

}  // namespace

std::string FindEncoder(const std::string& programFolder, std::string_view pathEnv) {
    const std::string packaged = programFolder + "/misc/ffmpeg";
    if (IsExecutableFile(packaged)) {
        return packaged;
    }
    while (!pathEnv.empty()) {
        const size_t colon = pathEnv.find(':');
        const std::string_view folder = pathEnv.substr(0, colon);
        pathEnv = colon == std::string_view::npos ? std::string_view() : pathEnv.substr(colon + 1);
        if (!folder.starts_with('/')) {
            continue;
        }
        const std::string candidate = JoinPath(folder, "ffmpeg");
        if (IsExecutableFile(candidate)) {
            return candidate;
        }
    }
    return std::string();
}

}  // namespace kivra

CFFMpegUtil::CFFMpegUtil(const std::string& settingsFolder)
    : m_strLogPath(kivra::JoinPath(settingsFolder, "VV_command.log")),
      m_logFile(std::fopen(m_strLogPath.c_str(), "ae")),
      m_bLogOpen(m_logFile != nullptr ? 1 : 0) {}

CFFMpegUtil::~CFFMpegUtil() {
    AppendLog("----------\n");
}

void CFFMpegUtil::LogDirectFallback(const std::string& note) {
    AppendLog("[D]:" + kivra::LocalTimeText() + " " + note + "\n");
}

void CFFMpegUtil::AppendLog(std::string_view text) {
    if (m_bLogOpen == 0) {
        return;
    }
    std::fwrite(text.data(), 1, text.size(), m_logFile.get());
    std::fflush(m_logFile.get());
}

std::string CFFMpegUtil::EncoderPath() const {
    if (!m_strEncoderOverride.empty()) {
        return kivra::IsExecutableFile(m_strEncoderOverride) ? m_strEncoderOverride : std::string();
    }
    const char* path = std::getenv("PATH");
    return kivra::FindEncoder(kivra::GetProgramFolder(), path != nullptr ? path : "");
}

void CFFMpegUtil::KeepMessages(int fd, bool& open) {
    char chunk[4096];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n > 0) {
            m_strEncoderMessages.append(chunk, static_cast<size_t>(n));
            if (m_strEncoderMessages.size() > kivra::kMaxEncoderMessages) {
                m_strEncoderMessages.erase(
                    0, m_strEncoderMessages.size() - kivra::kMaxEncoderMessages);
            }
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n == 0 || errno != EAGAIN) {
            open = false;
        }
        return;
    }
}

int CFFMpegUtil::WaitWithProgress(int pid, int stderrFd, const std::string& caption,
                                  const std::string& output, kivra::ProgressSink& sink) {
    using Clock = std::chrono::steady_clock;
    sink.Begin(0, kivra::kProgressUpper, std::string(), kivra::PercentLabel::Hidden);
    bool pipeOpen = true;
    int passes = 0;
    int status = -1;
    bool ended = false;
    while (!ended) {
        const Clock::time_point passEnd = Clock::now() + kivra::kPassLength;
        for (;;) {
            const pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid || (done < 0 && errno != EINTR)) {
                if (done < 0) {
                    status = -1;  // reaped elsewhere: the outcome is unknown
                }
                ended = true;
                break;
            }
            const auto left = passEnd - Clock::now();
            if (left <= Clock::duration::zero()) {
                break;
            }
            const auto slice = std::min<Clock::duration>(left, kivra::kExitCheckInterval);
            if (pipeOpen) {
                pollfd p{stderrFd, POLLIN, 0};
                const int ms =
                    static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(slice).count());
                if (poll(&p, 1, ms) > 0) {
                    KeepMessages(stderrFd, pipeOpen);
                }
            } else {
                std::this_thread::sleep_for(slice);
            }
        }
        const std::string sized = kivra::SizeCaption(caption, output);
        if (!sized.empty()) {
            sink.SetCaption(sized);
        }
        sink.Pump();
        ++passes;
        sink.SetPosition(std::min(passes, kivra::kProgressUpper));
        if (passes > kivra::kProgressUpper) {
            passes = 0;
            sink.Pump();
            sink.SetPosition(0);
        }
    }
    if (pipeOpen) {
        KeepMessages(stderrFd, pipeOpen);
    }
    sink.End();
    return status;
}

bool CFFMpegUtil::RunEncoder(const std::vector<std::string>& args, const std::string& logArguments,
                             const std::string& caption, kivra::ProgressSink& sink) {
    m_strEncoderMessages.clear();
    // Each job names its own output; a later run must never delete this one's.
    const std::string output = std::exchange(m_strOutputPath, std::string());
    // Logged before the encoder is looked for, so a caller's tag never stays without its line.
    AppendLog(kivra::LocalTimeText() + " " + logArguments + "\n");

    const std::string encoder = EncoderPath();
    if (encoder.empty()) {
        m_strEncoderMessages = "encoder not found";
        return false;
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    kivra::UniqueFd readEnd(fds[0]);
    kivra::UniqueFd writeEnd(fds[1]);
    std::vector<std::string> argv = {encoder};
    argv.insert(argv.end(), args.begin(), args.end());
    const pid_t pid = kivra::SpawnChild(argv, kivra::kChildNull, writeEnd.get());
    writeEnd.Close();
    if (pid < 0) {
        m_strEncoderMessages = "encoder could not be started: " + encoder;
        return false;
    }
    fcntl(readEnd.get(), F_SETFL, fcntl(readEnd.get(), F_GETFL) | O_NONBLOCK);

    const int status = WaitWithProgress(pid, readEnd.get(), caption, output, sink);
    const bool succeeded = status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!succeeded && !output.empty()) {
        unlink(output.c_str());
    }
    return succeeded;
}

bool CFFMpegUtil::ConvertVideo(const std::string& input, const std::string& output,
                               const std::string& codec, const std::string& /*bitRate*/,
                               const std::string& /*qScale*/, int limit2G,
                               std::string_view extraOptions, kivra::ProgressSink& sink) {
    // A folder or a pipe would have the encoder fail or wait for ever.
    if (!kivra::IsRegularFile(input)) {
        return false;
    }
    m_strOutputPath = output;
    AppendLog("[V]:");
    const kivra::EncoderCommand command =
        kivra::BuildVideoCommand(input, output, codec, limit2G, extraOptions);
    return RunEncoder(command.args, command.logText, kivra::LoadString(kivra::kIdsConvertCaption),
                      sink);
}

bool CFFMpegUtil::SplitSound(const std::string& input, const std::string& wav,
                             kivra::ProgressSink& sink) {
    if (!kivra::IsRegularFile(input)) {
        return false;
    }
    m_strOutputPath = wav;
    AppendLog("[A]:");
    const kivra::EncoderCommand command = kivra::BuildSoundSplitCommand(input, wav);
    return RunEncoder(command.args, command.logText,
                      kivra::LoadString(kivra::kIdsSplitSoundCaption), sink);
}

bool CFFMpegUtil::ConvertWithProfile(const std::string& input, const std::string& output,
                                     int profileIndex, kivra::ProgressSink& sink) {
    if (!kivra::IsRegularFile(input)) {
        return false;
    }
    m_strOutputPath = output;
    AppendLog("[F]:");
    const CFormatIniFile profiles =
        m_strProfileFolder.empty() ? CFormatIniFile() : CFormatIniFile(m_strProfileFolder);
    const kivra::EncoderCommand command =
        kivra::BuildProfileCommand(input, output, profiles.Commands(), profileIndex);
    return RunEncoder(command.args, command.logText, kivra::LoadString(kivra::kIdsConvertCaption),
                      sink);
}
