// Saving the trimmed movie: the target chosen in the save dialog, the intermediate AVI from the
// writer, then a rename or a profile conversion onto the target. The old target is replaced
// only by a complete new file, and every failure is reported.
#include <QApplication>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <tuple>

#include "convert/format_ini_file.h"
#include "frame/main_frame.h"
#include "frame/qt_user_messages.h"
#include "media/avi_video_stream.h"
#include "media/trimmed_movie_writer.h"
#include "platform/path_util.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "settings/inifile_manager.h"

namespace {

constexpr char kExportError[] = "Export error!!";
constexpr char kIntermediateExtension[] = ".$out$.avi";
constexpr int kMaxNameTries = 1000;

bool Exists(const std::string& path) {
    std::FILE* const probe = std::fopen(path.c_str(), "rb");
    if (probe != nullptr) {
        std::fclose(probe);
        return true;
    }
    return errno != ENOENT;  // there, only not readable
}

// Where the encoder writes before its result replaces the target: beside the target, with the
// target's extension (it picks the format by it) and a name no file has yet.
std::string ConversionName(const std::string& target) {
    const std::string extension = kivra::FileExtension(target);
    for (int n = 0; n < kMaxNameTries; ++n) {
        const std::string tag = n == 0 ? ".$new$" : ".$new" + std::to_string(n) + "$";
        const std::string candidate = kivra::ReplaceExtension(target, tag + extension);
        if (!Exists(candidate)) {
            return candidate;
        }
    }
    return {};
}

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
    CAviVideoStream* stream = Stream();
    if (doc == nullptr || stream == nullptr || target.empty()) {
        return;
    }
    const std::string intermediate = kivra::ReplaceExtension(target, kIntermediateExtension);
    // Neither the target nor the file written on the way may be the video being read.
    for (const std::string& path : {target, intermediate}) {
        if (kivra::EqualsIgnoreCase(path, doc->PathName()) ||
            kivra::EqualsIgnoreCase(path, stream->FileName())) {
            ShowMessage(kivra::LoadString(kivra::kIdsOverwriteOpenFile), MsgButtons::Ok,
                        MsgIcon::None);
            return;
        }
    }

    Settings().FilterIndex = filterIndex;
    const int profileIndex = filterIndex - 1;
    m_playback.First();
    UpdateAllViews();
    WaitCursor wait;

    kivra::TrimmedMovieJob job;
    job.outputPath = intermediate;
    job.rangeStart = RangeStart();
    job.rangeEnd = RangeEnd();
    std::tie(job.outputWidth, job.outputHeight) = Settings().OutputSize();
    job.deinterlace = Settings().Deinterlace != 0;
    job.compress = doc->CodecOption().GetCompressOptions();
    const kivra::WriteResult result =
        kivra::WriteTrimmedMovie(*stream, *Annotations(), job, Progress(), *this);

    bool failed =
        result == kivra::WriteResult::Failed || result == kivra::WriteResult::CreateFailed;
    if (result == kivra::WriteResult::Written) {
        if (kivra::EqualsIgnoreCase(kivra::FileExtension(target), ".avi")) {
            failed = std::rename(intermediate.c_str(), target.c_str()) != 0;
        } else {
            const std::string converted = ConversionName(target);
            failed = converted.empty() ||
                     !doc->Encoder().ConvertWithProfile(intermediate, converted, profileIndex,
                                                        Progress()) ||
                     std::rename(converted.c_str(), target.c_str()) != 0;
            if (failed && !converted.empty()) {
                std::remove(converted.c_str());
            }
        }
    }
    std::remove(intermediate.c_str());  // gone in every case; a renamed one is gone already
    if (failed) {
        wait.Restore();
        ShowMessage(kExportError, MsgButtons::Ok, MsgIcon::None);
    }

    const int start = RangeStart();
    m_playback.ShowFrame(start, start == 0);
    UpdateAllViews();
}
