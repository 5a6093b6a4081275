#include "convert/ffmpeg_util.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <optional>
#include <thread>
#include <utility>

#include "convert/encoder_command.h"
#include "convert/encoder_progress.h"
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
constexpr int kPermille = 1000;
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

// Bytes at path, or nothing while it is no regular file.
std::optional<uint64_t> FileSize(const std::string& path) {
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(st.st_size);
}

std::string SizeCaption(const std::string& caption, uint64_t bytes) {
    const double megabytes = static_cast<double>(bytes) / 1024.0 / 1024.0;
    char number[64];
    std::snprintf(number, sizeof number, "%.1f", megabytes);
    return caption + "... " + number + " MB";
}

// The descriptors the encoder gets beyond its standard ones.
constexpr int kProgressFd = 3;
constexpr int kOutputFd = 4;

// Points the output argument at the file the encoder is handed, naming the muxer its name no
// longer shows, unless the command chose one for that output itself. False when no argument is
// the output.
bool AimAtHandedFile(std::vector<std::string>& args, const std::string& outputArg,
                     const std::string& format) {
    const auto output = std::find(args.rbegin(), args.rend(), outputArg);
    if (output == args.rend()) {
        return false;
    }
    const auto at = std::prev(output.base());
    *at = ScratchFile::ChildPath(kOutputFd);
    bool chosen = false;
    for (auto it = at; it != args.begin();) {
        --it;
        if (*it == "-f") {
            chosen = true;
        }
        if (*it == "-i" || chosen) {
            break;
        }
    }
    if (!format.empty() && !chosen) {
        args.insert(at, {"-f", format});
    }
    return true;
}

// The muxer the encoder would choose by the file's extension; empty when none.
std::string MuxerForName(const std::string& path) {
    const AVOutputFormat* format = av_guess_format(nullptr, path.c_str(), nullptr);
    return format != nullptr && format->name != nullptr ? format->name : std::string();
}

void EndChild(pid_t pid) {
    kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// Hands what a non-blocking pipe holds now to `take`; `open` turns false at the pipe's end.
template <typename Take>
void DrainPipe(int fd, bool& open, Take&& take) {
    char chunk[4096];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n > 0) {
            take(std::string_view(chunk, static_cast<size_t>(n)));
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

void ReadReports(int fd, bool& open, EncoderProgress& progress) {
    DrainPipe(fd, open, [&](std::string_view text) { progress.Feed(text); });
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
    kivra::DrainPipe(fd, open, [this](std::string_view text) {
        m_strEncoderMessages.append(text);
        if (m_strEncoderMessages.size() > kivra::kMaxEncoderMessages) {
            m_strEncoderMessages.erase(0, m_strEncoderMessages.size() - kivra::kMaxEncoderMessages);
        }
    });
}

CFFMpegUtil::Outcome CFFMpegUtil::WaitWithProgress(int pid, int stderrFd, int progressFd,
                                                   const Run& run, kivra::ProgressSink& sink) {
    using Clock = std::chrono::steady_clock;
    const bool measured = run.duration.count() > 0;
    if (measured) {
        sink.Begin(0, kivra::kPermille, std::string(), kivra::PercentLabel::Shown);
    } else {
        sink.Begin(0, kivra::kProgressUpper, std::string(), kivra::PercentLabel::Hidden);
    }
    const kivra::ProgressScope scope(sink);
    if (run.cancellable) {
        sink.OfferCancel();
    }
    kivra::EncoderProgress reports;
    bool stderrOpen = true;
    bool reportsOpen = true;
    const Clock::time_point started = Clock::now();
    Clock::time_point lastActivity = started;
    std::optional<uint64_t> lastSize;
    uint64_t lastAdvances = 0;
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
            pollfd watched[2];
            nfds_t count = 0;
            if (stderrOpen) {
                watched[count++] = pollfd{stderrFd, POLLIN, 0};
            }
            if (reportsOpen) {
                watched[count++] = pollfd{progressFd, POLLIN, 0};
            }
            if (count == 0) {
                std::this_thread::sleep_for(slice);
                continue;
            }
            const int ms =
                static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(slice).count());
            if (poll(watched, count, ms) > 0) {
                for (nfds_t i = 0; i < count; ++i) {
                    if (watched[i].revents == 0) {
                        continue;
                    }
                    if (watched[i].fd == stderrFd) {
                        KeepMessages(stderrFd, stderrOpen);
                    } else {
                        kivra::ReadReports(progressFd, reportsOpen, reports);
                    }
                }
            }
        }
        if (ended) {
            // What the encoder wrote last, its final report included.
            if (stderrOpen) {
                KeepMessages(stderrFd, stderrOpen);
            }
            if (reportsOpen) {
                kivra::ReadReports(progressFd, reportsOpen, reports);
            }
        }
        const Clock::time_point now = Clock::now();
        const std::optional<uint64_t> size = run.output != nullptr
                                                 ? std::optional<uint64_t>(run.output->Size())
                                                 : kivra::FileSize(run.watchedPath);
        if (size) {
            sink.SetCaption(kivra::SizeCaption(run.caption, *size));
        }
        if (size != lastSize || reports.Advances() != lastAdvances) {
            lastActivity = now;
            lastSize = size;
            lastAdvances = reports.Advances();
        }
        sink.Pump();
        // A Cancel pressed while the encoder was finishing still counts: the user said no.
        if (run.cancellable && sink.CancelRequested()) {
            if (!ended) {
                kivra::EndChild(pid);
            }
            return Outcome::Cancelled;
        }
        if (!ended && now - lastActivity > m_stallTimeout) {
            kivra::EndChild(pid);
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(m_stallTimeout);
            m_strEncoderMessages += "\nthe encoder made no progress for " +
                                    std::to_string(seconds.count()) + " s and was stopped\n";
            return Outcome::Stalled;
        }
        if (measured) {
            const int permille = reports.Permille(run.duration).value_or(0);
            sink.SetPosition(permille);
            const auto elapsed =
                std::chrono::duration_cast<std::chrono::milliseconds>(now - started);
            sink.SetRemainingTime(kivra::RemainingSeconds(permille, elapsed).value_or(-1));
            continue;
        }
        // Without a length to measure against the bar only shows that the job is alive.
        ++passes;
        sink.SetPosition(std::min(passes, kivra::kProgressUpper));
        if (passes > kivra::kProgressUpper) {
            passes = 0;
            sink.Pump();
            sink.SetPosition(0);
        }
    }
    const bool succeeded = status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return succeeded ? Outcome::Succeeded : Outcome::Failed;
}

CFFMpegUtil::Outcome CFFMpegUtil::Execute(const Run& run, kivra::ProgressSink& sink) {
    const std::string encoder = EncoderPath();
    if (encoder.empty()) {
        m_strEncoderMessages = "encoder not found";
        return Outcome::Failed;
    }
    int errorEnds[2];
    if (pipe2(errorEnds, O_CLOEXEC) != 0) {
        return Outcome::Failed;
    }
    kivra::UniqueFd errorRead(errorEnds[0]);
    kivra::UniqueFd errorWrite(errorEnds[1]);
    int reportEnds[2];
    if (pipe2(reportEnds, O_CLOEXEC) != 0) {
        return Outcome::Failed;
    }
    kivra::UniqueFd reportRead(reportEnds[0]);
    kivra::UniqueFd reportWrite(reportEnds[1]);

    std::vector<std::string> argv = {encoder, "-progress",
                                     "pipe:" + std::to_string(kivra::kProgressFd)};
    argv.insert(argv.end(), run.args.begin(), run.args.end());
    kivra::ChildSetup setup;
    setup.stderrFd = errorWrite.get();
    setup.passedFds = {reportWrite.get()};
    if (run.output != nullptr) {
        setup.passedFds.push_back(run.output->Fd());
    }
    setup.endsWithParent = true;
    const pid_t pid = kivra::SpawnChild(argv, setup);
    errorWrite.Close();
    reportWrite.Close();
    if (pid < 0) {
        m_strEncoderMessages = "encoder could not be started: " + encoder;
        return Outcome::Failed;
    }
    for (const int fd : {errorRead.get(), reportRead.get()}) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    return WaitWithProgress(pid, errorRead.get(), reportRead.get(), run, sink);
}

bool CFFMpegUtil::RunEncoder(const std::vector<std::string>& args, const std::string& logArguments,
                             const std::string& caption, kivra::ProgressSink& sink) {
    m_strEncoderMessages.clear();
    m_bCancelled = false;
    Run run;
    run.args = args;
    run.caption = caption;
    // Each run names its own output; a later run must never delete this one's.
    run.watchedPath = std::exchange(m_strOutputPath, std::string());
    // Logged before the encoder is looked for, so a caller's tag never stays without its line.
    AppendLog(kivra::LocalTimeText() + " " + logArguments + "\n");
    const Outcome outcome = Execute(run, sink);
    m_bCancelled = outcome == Outcome::Cancelled;
    if (outcome != Outcome::Succeeded && !run.watchedPath.empty()) {
        unlink(run.watchedPath.c_str());
    }
    return outcome == Outcome::Succeeded;
}

bool CFFMpegUtil::Job(const std::string& input, kivra::ScratchFile& output,
                      const kivra::EncoderCommand& command, const char* tag, int captionId,
                      std::string format, std::chrono::milliseconds duration, bool cancellable,
                      kivra::ProgressSink& sink) {
    m_strEncoderMessages.clear();
    m_bCancelled = false;
    // A folder or a pipe would have the encoder fail or wait for ever.
    if (!kivra::IsRegularFile(input) || !output.IsOpen()) {
        output.Remove();
        return false;
    }
    Run run;
    run.args = command.args;
    if (!kivra::AimAtHandedFile(run.args, kivra::EncoderPathArgument(output.Path()), format)) {
        m_strEncoderMessages = "the command does not name its output as an argument of its own";
        output.Remove();
        return false;
    }
    run.caption = kivra::LoadString(captionId);
    run.output = &output;
    run.duration = duration;
    run.cancellable = cancellable;
    AppendLog(tag);
    AppendLog(kivra::LocalTimeText() + " " + command.logText + "\n");
    const Outcome outcome = Execute(run, sink);
    m_bCancelled = outcome == Outcome::Cancelled;
    if (outcome != Outcome::Succeeded) {
        output.Remove();
    }
    return outcome == Outcome::Succeeded;
}

bool CFFMpegUtil::ConvertVideo(const std::string& input, kivra::ScratchFile& output,
                               const std::string& codec, const std::string& /*bitRate*/,
                               const std::string& /*qScale*/, int limit2G,
                               std::string_view extraOptions, kivra::ProgressSink& sink,
                               std::chrono::milliseconds duration) {
    const kivra::EncoderCommand command =
        kivra::BuildVideoCommand(input, output.Path(), codec, limit2G, extraOptions);
    return Job(input, output, command, "[V]:", kivra::kIdsConvertCaption, "avi", duration,
               /*cancellable=*/true, sink);
}

bool CFFMpegUtil::SplitSound(const std::string& input, kivra::ScratchFile& wav,
                             kivra::ProgressSink& sink, std::chrono::milliseconds duration) {
    const kivra::EncoderCommand command = kivra::BuildSoundSplitCommand(input, wav.Path());
    return Job(input, wav, command, "[A]:", kivra::kIdsSplitSoundCaption, "wav", duration,
               /*cancellable=*/true, sink);
}

bool CFFMpegUtil::ConvertWithProfile(const std::string& input, kivra::ScratchFile& output,
                                     int profileIndex, kivra::ProgressSink& sink) {
    const CFormatIniFile profiles =
        m_strProfileFolder.empty() ? CFormatIniFile() : CFormatIniFile(m_strProfileFolder);
    const kivra::EncoderCommand command =
        kivra::BuildProfileCommand(input, output.Path(), profiles.Commands(), profileIndex);
    // A save ends in its own message; stopping it halfway would read as a failed save.
    return Job(input, output, command, "[F]:", kivra::kIdsConvertCaption,
               kivra::MuxerForName(output.Path()), {}, /*cancellable=*/false, sink);
}

namespace {

// The job's output made fresh under `path`, for the overloads that take a path; `messages`
// gets the reason when it cannot be.
kivra::ScratchFile OutputFor(const std::string& input, const std::string& path,
                             std::string& messages) {
    if (!kivra::IsRegularFile(input)) {
        return kivra::ScratchFile();  // refused before anything under path is touched
    }
    return kivra::ScratchFile::Create(path, &messages);
}

// The path forms of the jobs: `job` runs on a scratch file made at path, which is left there
// for the caller; why the name could not be made joins the encoder's messages.
template <typename Job>
bool OnOutputFile(const std::string& input, const std::string& path, std::string& messages,
                  Job&& job) {
    std::string reason;
    kivra::ScratchFile file = OutputFor(input, path, reason);
    const bool done = job(file);
    messages += reason;
    file.Keep();
    return done;
}

}  // namespace

bool CFFMpegUtil::ConvertVideo(const std::string& input, const std::string& output,
                               const std::string& codec, const std::string& bitRate,
                               const std::string& qScale, int limit2G,
                               std::string_view extraOptions, kivra::ProgressSink& sink,
                               std::chrono::milliseconds duration) {
    return OnOutputFile(input, output, m_strEncoderMessages, [&](kivra::ScratchFile& file) {
        return ConvertVideo(input, file, codec, bitRate, qScale, limit2G, extraOptions, sink,
                            duration);
    });
}

bool CFFMpegUtil::SplitSound(const std::string& input, const std::string& wav,
                             kivra::ProgressSink& sink, std::chrono::milliseconds duration) {
    return OnOutputFile(input, wav, m_strEncoderMessages, [&](kivra::ScratchFile& file) {
        return SplitSound(input, file, sink, duration);
    });
}

bool CFFMpegUtil::ConvertWithProfile(const std::string& input, const std::string& output,
                                     int profileIndex, kivra::ProgressSink& sink) {
    return OnOutputFile(input, output, m_strEncoderMessages, [&](kivra::ScratchFile& file) {
        return ConvertWithProfile(input, file, profileIndex, sink);
    });
}
