// Saving the trimmed movie: the target chosen in the save dialog, the intermediate AVI from the
// writer, then a rename or a profile conversion onto the target. The old target is replaced
// only by a complete new file, and every failure is reported.
#include <QApplication>
#include <QFile>
#include <cstdio>
#include <memory>
#include <tuple>

#include "convert/format_ini_file.h"
#include "frame/main_frame.h"
#include "frame/qt_user_messages.h"
#include "output/movie_target.h"
#include "output/own_files.h"
#include "output/trimmed_movie_writer.h"
#include "platform/path_util.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "reading/avi_video_stream.h"
#include "settings/inifile_manager.h"

namespace {

constexpr char kExportError[] = "Export error!!";

// The wait cursor for the length of the job; gone again before any message box.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { Restore(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    void Restore() {
        if (m_bShown) {
            QApplication::restoreOverrideCursor();
            m_bShown = false;
        }
    }

private:
    bool m_bShown = true;
};

}  // namespace

bool CMainFrame::CanSaveTrimmedMovie() const {
    return IsVideoOpen() && !IsPlaying() && AreasSet() && !IsMarkerIdDialogVisible();
}

void CMainFrame::OnSaveTrimmedMovie() {
    CVfwDoc* doc = GetDocument();
    if (doc == nullptr || Stream() == nullptr) {
        return;
    }
    // Read afresh, so edits to the profiles count at the next save.
    const std::string& folder = doc->Encoder().ProfileFolder();
    const CFormatIniFile profiles = folder.empty() ? CFormatIniFile() : CFormatIniFile(folder);
    int filterIndex = Settings().FilterIndex;
    const QString chosen = kivra::AskSaveFileName(this, profiles.GetFilterString(),
                                                  QStringLiteral("avi"), &filterIndex);
    if (chosen.isEmpty()) {
        return;
    }
    SaveTrimmedMovie(QFile::encodeName(chosen).toStdString(), filterIndex);
}

void CMainFrame::SaveTrimmedMovie(const std::string& target, int filterIndex) {
    using kivra::MsgButtons;
    using kivra::MsgIcon;
    CVfwDoc* doc = GetDocument();
    if (m_jobs.Busy()) {
        return;
    }
    CAviVideoStream* stream = Stream();
    if (doc == nullptr || stream == nullptr || target.empty()) {
        return;
    }
    // Neither the target nor a file written on the way may be one of the open video's.
    const kivra::OwnFile clash =
        kivra::MovieTargetClash(target, kivra::VideoOwnFiles(doc->PathName(), stream), nullptr);
    if (clash != kivra::OwnFile::kNone) {
        ShowMessage(kivra::OwnFileRefusalText(clash), MsgButtons::Ok, MsgIcon::None);
        return;
    }
    // What an interrupted save left goes; a link or folder under those names stops the save.
    if (std::string blocked; !kivra::ClearInterruptedSave(target, &blocked)) {
        ShowMessage(std::string(kExportError) + "\n" + blocked, MsgButtons::Ok, MsgIcon::None);
        return;
    }
    const std::string intermediate = kivra::IntermediateMoviePath(target);
    Settings().FilterIndex = filterIndex;
    const int profileIndex = filterIndex - 1;
    m_playback.First();
    UpdateAllViews();
    auto wait = std::make_shared<WaitCursor>();

    kivra::TrimmedMovieJob job;
    job.outputPath = intermediate;
    job.rangeStart = RangeStart();
    job.rangeEnd = RangeEnd();
    std::tie(job.outputWidth, job.outputHeight) = Settings().OutputSize();
    job.deinterlace = Settings().Deinterlace != 0;
    job.compress = doc->CodecOption().GetCompressOptions();
    // The window keeps painting the stream and annotations it reads; it changes neither while
    // the job runs, and the encoder is the job's alone.
    const VideoAnnotations* annotations = Annotations();
    CFFMpegUtil* encoder = &doc->Encoder();
    struct Outcome {
        kivra::WriteResult written = kivra::WriteResult::Failed;
        bool failed = false;
    };
    auto work = [stream, annotations, encoder, job, intermediate, target,
                 profileIndex](kivra::JobContext& context) {
        Outcome outcome;
        outcome.written = kivra::WriteTrimmedMovie(*stream, *annotations, job, context.Progress(),
                                                   context.Messages());
        // A cancelled save is no failure: the user asked for nothing to be left.
        outcome.failed = outcome.written == kivra::WriteResult::Failed ||
                         outcome.written == kivra::WriteResult::CreateFailed;
        if (outcome.written == kivra::WriteResult::Written) {
            outcome.failed = !kivra::PlaceTrimmedMovie(intermediate, target, profileIndex, *encoder,
                                                       context.Progress(), nullptr);
        } else {
            std::remove(intermediate.c_str());
        }
        return outcome;
    };
    auto done = [this, wait, target](Outcome outcome) {
        if (outcome.failed) {
            wait->Restore();
            ShowMessage(kExportError, kivra::MsgButtons::Ok, kivra::MsgIcon::None);
        } else if (outcome.written == kivra::WriteResult::Written) {
            ShowSavedStatus(tr("動画を保存しました: %1").arg(QFile::decodeName(target.c_str())));
        }
        const int start = RangeStart();
        m_playback.ShowFrame(start, start == 0);
        UpdateAllViews();
        wait->Restore();
    };
    m_jobs.Run<Outcome>(std::move(work), std::move(done));
}
