#pragma once
// The single document: at most one open video at a time, and the open pipeline that gets it
// there. Lives for the whole run; owned by the OpenVideo (the application's, the CLI's). It tells
// the user things through DocumentHost alone, so it also runs headless.
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "convert/ffmpeg_util.h"
#include "convert/probe_options.h"
#include "geometry/view_geometry.h"
#include "markers/video_annotations.h"
#include "output/codec_option.h"
#include "platform/progress_sink.h"
#include "platform/user_messages.h"
#include "reading/avi_video_stream.h"
#include "settings/inifile_manager.h"

namespace kivra {

// The settings groups the document reads: the store's own, which its owner (the application,
// kivra-cli) keeps alive for the document's life.
struct DocumentSettings {
    const ScratchEncoderSettings& scratchEncoder;  // how a clip is converted
    const ProgramSettings& program;                // whether a clip is read directly
    const MarkerIdSettings& markerId;              // the highest ID a marker file holds
    const SliderSettings& slider;                  // the picture cache bound of its streams
};

// Where the document and the actions on it tell the user things, and where the encoder's
// progress goes while a source is converted or its sound split off.
class DocumentHost : public UserMessages {
public:
    virtual ProgressSink& Progress() = 0;
};

}  // namespace kivra

class CVfwDoc {
public:
    // The groups in settings must outlive the document. settingsFolder holds the encoder log
    // "VV_command.log" and the compressor state "Kivra.cdc".
    CVfwDoc(kivra::DocumentHost& host, const kivra::DocumentSettings& settings,
            const std::string& settingsFolder);
    ~CVfwDoc();
    CVfwDoc(const CVfwDoc&) = delete;
    CVfwDoc& operator=(const CVfwDoc&) = delete;

    // A file that cannot be opened, or whose opening the user cancels, leaves the open video
    // as it was, unless the two share their temporary files (see SharesTemporaryFiles).
    bool OnOpenDocument(const std::string& path);
    // Whether the file can be tried at all: readable, a listed extension, a writable folder.
    // Empty when it can, else what to tell the user.
    std::string CheckSource(const std::string& path) const;
    // OnOpenDocument for a file CheckSource passed.
    bool OpenCheckedSource(const std::string& path);

    // A source made ready to take the open video's place, or why it could not be.
    struct PreparedSource {
        std::unique_ptr<CAviVideoStream> stream;  // null when preparing failed
        std::string soundPath;
        bool converted = false;
        int durationMs = 0;      // the probe's length of the source; 0 when unknown
        std::string failure;     // what to tell the user when stream is null
        bool cancelled = false;  // the user stopped it: nothing to tell
    };
    // OpenCheckedSource in its three steps, for a window that prepares on a worker.
    // StartCheckedOpen closes the open video when preparing would overwrite its temporary
    // files. PrepareSource may run on another thread while the document is left alone; it runs
    // closeOpenVideo, where the document lives, before a conversion overwrites what the open
    // video is shown from. FinishOpen tells the user why it failed or makes it the open video.
    void StartCheckedOpen(const std::string& path);
    // Probe, conversion, sound split and picture checks, with their progress in `progress`.
    // Shows nothing and leaves the open video alone; a failure takes the temporary files it
    // made with it.
    PreparedSource PrepareSource(const std::string& path, kivra::ProgressSink& progress,
                                 const std::function<void()>& closeOpenVideo);
    bool FinishOpen(const std::string& path, PreparedSource prepared);
    bool OnNewDocument();
    void DeleteContents();
    // Told whenever the document empties itself: closed, or before a conversion that would
    // overwrite what the open video is shown from.
    void SetClosedHandler(std::function<void()> closed) { m_closed = std::move(closed); }

    CAviVideoStream* Stream() const { return m_pStream.get(); }
    // What the user added to the open video; made and deleted with the stream, so null exactly
    // while Stream() is.
    VideoAnnotations* Annotations() const { return m_pAnnotations.get(); }
    CFFMpegUtil& Encoder() { return m_ffmpeg; }
    // The compressor trimmed movies are saved with, for the whole run.
    ZebsCCodecOption& CodecOption() { return m_codecOption; }
    const std::string& PathName() const { return m_strPathName; }
    const std::string& SoundPath() const { return m_strSoundPath; }
    // Whether opening splits the sound off (on unless set); a caller that never plays or keeps
    // the sound, such as the batch export, saves an encoder run per open.
    void SetSplitSound(bool split) { m_bSplitSound = split; }
    // How long a clip's indexing runs before its progress dialog, with a way to cancel, shows.
    void SetIndexingDialogDelay(std::chrono::milliseconds delay) { m_indexingDialogDelay = delay; }

    // The extensions the open dialog offers, taken from the filter text each time.
    static bool IsSupportedExtension(const std::string& path);

private:
    // Whether path is read straight from the file rather than converted: any listed type but
    // AVI (read as it is anyway), unless the settings say to convert.
    bool OpensDirectly(const std::string& path) const;
    // The direct route: the source indexed and read where it is, nothing written beside it.
    // Null stream with `why` when exact frames cannot be promised.
    PreparedSource PrepareDirect(const std::string& path, const kivra::ProbeResult& probed,
                                 kivra::ProgressSink& sink, std::string* why);
    // The open video replaced by the prepared one, its warnings shown.
    void CommitSource(const std::string& path, PreparedSource source);
    // Whether path's ".$tmp$" files are the open video's own (the same file again, or one of
    // the same name with another extension beside it).
    bool SharesTemporaryFiles(const std::string& path) const;
    std::unique_ptr<CAviVideoStream> NewStream(const std::string& path) const;

    kivra::DocumentHost& m_host;
    const kivra::DocumentSettings m_settings;
    std::unique_ptr<CAviVideoStream> m_pStream;
    std::unique_ptr<VideoAnnotations> m_pAnnotations;
    CFFMpegUtil m_ffmpeg;
    ZebsCCodecOption m_codecOption;
    std::string m_strPathName;
    std::string m_strSoundPath;
    bool m_bSplitSound = true;
    std::chrono::milliseconds m_indexingDialogDelay{500};
    std::function<void()> m_closed;
};
