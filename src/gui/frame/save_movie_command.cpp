// Saving the trimmed movie: the target chosen in the save dialog, the workspace's save as a job
// with the wait cursor and the progress dialog, then the outcome told and the first frame shown
// again.
#include <QApplication>
#include <QFile>
#include <memory>

#include "convert/format_ini_file.h"
#include "frame/main_frame.h"
#include "frame/qt_user_messages.h"
#include "reading/avi_video_stream.h"
#include "settings/inifile_manager.h"
#include "workspace/workspace.h"

namespace {

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
    CVfwDoc* doc = GetDocument();
    if (doc == nullptr || Stream() == nullptr || target.empty() || m_jobs.Busy()) {
        return;
    }
    kivra::Workspace* const workspace = &Actions();
    kivra::PendingMovie pending;
    kivra::ActionResult refused;
    if (!workspace->StartMovie({target, filterIndex - 1, doc->CodecOption().GetCompressOptions()},
                               &pending, &refused)) {
        // Refused before anything was written: the open video stays where it was.
        if (!refused.message.empty()) {
            ShowMessage(refused.message, kivra::MsgButtons::Ok, refused.icon);
        }
        return;
    }
    Settings().FilterIndex = filterIndex;
    m_playback.First();
    UpdateAllViews();
    auto wait = std::make_shared<WaitCursor>();
    // The window keeps painting the stream and annotations it reads; it changes neither while
    // the job runs, and the encoder is the job's alone.
    m_jobs.Run<kivra::ActionResult>(
        [workspace, pending](kivra::JobContext& context) {
            return workspace->WriteMovie(pending, context.Progress(), context.Messages());
        },
        [this, wait, target](kivra::ActionResult saved) {
            if (saved.status == kivra::ActionResult::kFailed) {
                wait->Restore();
                ShowMessage(saved.message, kivra::MsgButtons::Ok, saved.icon);
            } else if (saved.ok()) {
                ShowSavedStatus(
                    tr("動画を保存しました: %1").arg(QFile::decodeName(target.c_str())));
            }
            const int start = RangeStart();
            m_playback.ShowFrame(start, start == 0);
            UpdateAllViews();
            wait->Restore();
        });
}
