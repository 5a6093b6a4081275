#pragma once
// Runs the external encoder program for the document's three jobs (video to a temporary AVI,
// sound split to a temporary WAV, saved AVI to a profile's format), keeps the user interface
// alive while it runs, and records every command in "VV_command.log".
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/progress_sink.h"

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

    // Runs the encoder with `args` (without the program) and waits for it, showing `caption`
    // with the growing size of the output path in `sink`. Logs "<time> <logArguments>" after
    // whatever tag the caller has written. True only when the encoder ran and exited with
    // status 0; otherwise whatever it left at the output path is deleted. The output path is
    // set before each run (SetOutputPath, or by the jobs below) and cleared after it.
    bool RunEncoder(const std::vector<std::string>& args, const std::string& logArguments,
                    const std::string& caption, kivra::ProgressSink& sink);

    // "[V]:" the source into an AVI without sound. bitRate and qScale are accepted for the
    // settings' sake but take no part in the command. extraOptions: picture size and rotation.
    bool ConvertVideo(const std::string& input, const std::string& output, const std::string& codec,
                      const std::string& bitRate, const std::string& qScale, int limit2G,
                      std::string_view extraOptions, kivra::ProgressSink& sink);
    // "[A]:" the sound of the source into a WAV file.
    bool SplitSound(const std::string& input, const std::string& wav, kivra::ProgressSink& sink);
    // "[F]:" a saved AVI into the format of profile `profileIndex` of "profile.ini".
    bool ConvertWithProfile(const std::string& input, const std::string& output, int profileIndex,
                            kivra::ProgressSink& sink);

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

    void AppendLog(std::string_view text);
    std::string EncoderPath() const;
    // Waits for the child, pumping the sink; the wait status, or -1 when it was lost.
    int WaitWithProgress(int pid, int stderrFd, const std::string& caption,
                         const std::string& output, kivra::ProgressSink& sink);
    void KeepMessages(int fd, bool& open);

    std::string m_strOutputPath;
    std::string m_strLogPath;
    std::unique_ptr<std::FILE, FileCloser> m_logFile;
    int m_bLogOpen = 0;
    std::string m_strEncoderOverride;
    std::string m_strProfileFolder;
    std::string m_strEncoderMessages;
};
