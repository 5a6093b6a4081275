#pragma once
// Runs the external encoder program for the document's three jobs (video to a temporary AVI,
// sound split to a temporary WAV, saved AVI to a profile's format), keeps the user interface
// alive while it runs, and records every command in "VV_command.log".
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "convert/encoder_command.h"
#include "platform/progress_sink.h"
#include "platform/scratch_file.h"

namespace kivra {

// "misc/ffmpeg" in programFolder when it is an executable file, else the first executable
// "ffmpeg" in the absolute folders of pathEnv (relative and empty entries are skipped, so the
// current folder never supplies the program); empty when there is none.
std::string FindEncoder(const std::string& programFolder, std::string_view pathEnv);

}  // namespace kivra

// One per document, for the whole run; owns the command log. The log is plain text with "\n"
// line ends, appended to and flushed after every entry; each run ends with "----------".
class CFFMpegUtil {
public:
    // Opens (creating it when needed) "VV_command.log" in settingsFolder (with or without the
    // trailing slash) for appending; logging is off for the whole run when that fails.
    explicit CFFMpegUtil(const std::string& settingsFolder);
    virtual ~CFFMpegUtil();
    CFFMpegUtil(const CFFMpegUtil&) = delete;
    CFFMpegUtil& operator=(const CFFMpegUtil&) = delete;

    // The encoder to run instead of FindEncoder's; "" restores the lookup.
    void SetEncoderPath(std::string path) { m_strEncoderOverride = std::move(path); }
    // Where "profile.ini" is read from; the program folder unless set.
    void SetProfileFolder(std::string folder) { m_strProfileFolder = std::move(folder); }
    // The folder set above; empty for the program folder.
    const std::string& ProfileFolder() const { return m_strProfileFolder; }

    // How long the encoder may go without writing or reporting anything new before it is
    // taken to be stuck and ended (the job then fails).
    void SetStallTimeout(std::chrono::milliseconds timeout) { m_stallTimeout = timeout; }

    // Runs the encoder with `args` (without the program) and waits for it, showing `caption`
    // with the growing size of the output path in `sink`. Logs "<time> <logArguments>" after
    // whatever tag the caller has written. True only when the encoder ran and exited with
    // status 0; otherwise whatever it left at the output path is deleted. The output path is
    // set before each run (SetOutputPath) and cleared after it; it is only watched here, the
    // jobs below write to a file they make themselves.
    bool RunEncoder(const std::vector<std::string>& args, const std::string& logArguments,
                    const std::string& caption, kivra::ProgressSink& sink);

    // The jobs write into a scratch file made for them: the encoder is handed that very file,
    // never its name, so nothing put under the name redirects the output. A job that fails or
    // is cancelled removes its output; a job given a path keeps the file there on success.
    // `duration` is the source's length when known: the progress then shows the share done,
    // the time left and, for the document's jobs, a cancel button.

    // "[V]:" the source into an AVI without sound. bitRate and qScale are accepted for the
    // settings' sake but take no part in the command. extraOptions: picture size and rotation.
    bool ConvertVideo(const std::string& input, kivra::ScratchFile& output,
                      const std::string& codec, const std::string& bitRate,
                      const std::string& qScale, int limit2G, std::string_view extraOptions,
                      kivra::ProgressSink& sink, std::chrono::milliseconds duration = {});
    bool ConvertVideo(const std::string& input, const std::string& output, const std::string& codec,
                      const std::string& bitRate, const std::string& qScale, int limit2G,
                      std::string_view extraOptions, kivra::ProgressSink& sink,
                      std::chrono::milliseconds duration = {});
    // "[A]:" the sound of the source into a WAV file.
    bool SplitSound(const std::string& input, kivra::ScratchFile& wav, kivra::ProgressSink& sink,
                    std::chrono::milliseconds duration = {});
    bool SplitSound(const std::string& input, const std::string& wav, kivra::ProgressSink& sink,
                    std::chrono::milliseconds duration = {});
    // "[F]:" a saved AVI into the format of profile `profileIndex` of "profile.ini". The
    // profile must name its output as a whole argument.
    bool ConvertWithProfile(const std::string& input, kivra::ScratchFile& output, int profileIndex,
                            kivra::ProgressSink& sink);
    bool ConvertWithProfile(const std::string& input, const std::string& output, int profileIndex,
                            kivra::ProgressSink& sink);

    // Whether the user stopped the last run (it then failed and left nothing behind).
    bool Cancelled() const { return m_bCancelled; }
    // "[D]:<time> <note>": why a source the program meant to read directly is converted.
    void LogDirectFallback(const std::string& note);

    bool IsLogOpen() const { return m_bLogOpen; }
    const std::string& LogPath() const { return m_strLogPath; }
    const std::string& OutputPath() const { return m_strOutputPath; }
    void SetOutputPath(std::string path) { m_strOutputPath = std::move(path); }
    // The end of what the encoder wrote to its error output in the last run (bounded), for
    // telling the user or a developer why a job failed.
    const std::string& EncoderMessages() const { return m_strEncoderMessages; }

private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };

    // One run of the encoder: what is shown, what it writes, and how it may end.
    struct Run {
        std::vector<std::string> args;
        std::string caption;
        std::string watchedPath;               // RunEncoder's output path
        kivra::ScratchFile* output = nullptr;  // a job's output
        std::chrono::milliseconds duration{0};
        bool cancellable = false;
    };
    enum class Outcome { Succeeded, Failed, Cancelled, Stalled };

    void AppendLog(std::string_view text);
    std::string EncoderPath() const;
    Outcome Execute(const Run& run, kivra::ProgressSink& sink);
    // Waits for the child, pumping the sink, ending it when the user cancels or it is stuck.
    Outcome WaitWithProgress(int pid, int stderrFd, int progressFd, const Run& run,
                             kivra::ProgressSink& sink);
    void KeepMessages(int fd, bool& open);
    bool Job(const std::string& input, kivra::ScratchFile& output,
             const kivra::EncoderCommand& command, const char* tag, int captionId,
             std::string format, std::chrono::milliseconds duration, bool cancellable,
             kivra::ProgressSink& sink);

    std::string m_strOutputPath;
    std::string m_strLogPath;
    std::unique_ptr<std::FILE, FileCloser> m_logFile;
    int m_bLogOpen = 0;
    std::string m_strEncoderOverride;
    std::string m_strProfileFolder;
    std::string m_strEncoderMessages;
    std::chrono::milliseconds m_stallTimeout{30000};
    bool m_bCancelled = false;
};
