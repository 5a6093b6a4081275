#include "file/file_commands.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QMenu>
#include <QWidget>
#include <memory>

#include "base/qt_user_messages.h"
#include "convert/format_ini_file.h"
#include "frame/job_runner.h"
#include "frame/playback_controller.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "reading/avi_video_stream.h"
#include "settings/inifile_manager.h"
#include "settings/recent_file_list.h"
#include "workspace/open_video.h"
#include "workspace/workspace.h"

namespace kivra {

namespace {

constexpr int kRecentTextWidth = 420;  // pixels of menu text before a path is shortened

// The menus keep the main window's translation context.
QString Menu(const char* text) {
    return QCoreApplication::translate("CMainFrame", text);
}

// "&1 ~/videos/walk.avi": the home folder shortened, long paths cut in the middle, and '&'
// doubled so that it is shown instead of marking an accelerator.
QString RecentFileText(std::size_t index, const std::string& path, const QFontMetrics& metrics) {
    QString shown = QFile::decodeName(path.c_str());
    const QString home = QDir::homePath();
    if (home.size() > 1 && shown.startsWith(home + QLatin1Char('/'))) {
        shown = QLatin1Char('~') + shown.mid(home.size());
    }
    shown = metrics.elidedText(shown, Qt::ElideMiddle, kRecentTextWidth);
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(index + 1).arg(shown);
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

FileCommands::FileCommands(const CommandContext& context, const RecentFileList* recentFiles,
                           Window window, QObject* parent)
    : QObject(parent),
      m_context(context),
      m_pRecentFiles(recentFiles),
      m_window(std::move(window)) {}

bool FileCommands::IsPlaying() const {
    return m_window.playback.IsPlaying();
}

void FileCommands::AddCommands(QMenu* file) {
    m_pMenu = file;
    CommandTable& table = m_context.table;
    connect(file, &QMenu::aboutToShow, this, &FileCommands::RebuildRecentFileMenu);
    table.AddCommand(
        file, ID_FILE_OPEN, Menu(QT_TRANSLATE_NOOP("CMainFrame", "開く(&O)...\tCtrl+O")),
        QKeySequence(Qt::CTRL | Qt::Key_O), [this] { OnFileOpen(); },
        [this] { return !IsPlaying(); });
    table.AddCommand(
        file, ID_FILE_NEW, Menu(QT_TRANSLATE_NOOP("CMainFrame", "閉じる(&C)")), {},
        [this] { emit CloseRequested(); }, [this] { return CanCloseVideo(); });
    file->addSeparator();
    table.AddCommand(
        file, ID_TRIMMING_SAVE_MOVIE, Menu(QT_TRANSLATE_NOOP("CMainFrame", "動画保存(&M)...")), {},
        [this] { OnSaveTrimmedMovie(); }, [this] { return CanSaveTrimmedMovie(); });
    file->addSeparator();
    m_pRecentFilesEnd = file->addSeparator();
    RebuildRecentFileMenu();
    table.AddCommand(
        file, ID_APP_EXIT, Menu(QT_TRANSLATE_NOOP("CMainFrame", "終了(&X)")), {},
        [this] { m_context.dialogParent->close(); }, [] { return true; });
    table.AddCommand(
        nullptr, ID_FILE_SAVE_FRAME_BMP,
        Menu(QT_TRANSLATE_NOOP("CMainFrame", "フレームをビットマップで保存")), {},
        [this] { OnSaveFrameAsBitmap(); },
        [this] { return m_context.active.Video().IsOpen() && !IsPlaying(); });
}

void FileCommands::RebuildRecentFileMenu() {
    for (QAction* action : m_recentFileActions) {
        m_pMenu->removeAction(action);
        action->deleteLater();
    }
    m_recentFileActions.clear();

    const RecentFileList* list = m_pRecentFiles;
    const std::vector<std::string> none;
    const std::vector<std::string>& entries = list != nullptr ? list->Entries() : none;
    if (entries.empty()) {
        auto* empty = new QAction(Menu(QT_TRANSLATE_NOOP("CMainFrame", "最近使ったﾌｧｲﾙ")), m_pMenu);
        empty->setEnabled(false);
        m_pMenu->insertAction(m_pRecentFilesEnd, empty);
        m_recentFileActions.push_back(empty);
        return;
    }
    const QFontMetrics metrics(m_pMenu->font());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        auto* action = new QAction(RecentFileText(i, entries[i], metrics), m_pMenu);
        action->setData(static_cast<int>(ID_FILE_MRU_FILE1 + i));
        action->setToolTip(QFile::decodeName(entries[i].c_str()));
        action->setStatusTip(action->toolTip());
        action->setEnabled(!IsPlaying());
        // Queued: opening may rebuild this menu, which must not delete the action mid-signal.
        connect(
            action, &QAction::triggered, this,
            [this, i] {
                if (!IsPlaying()) {
                    emit RecentFileRequested(i);
                    RebuildRecentFileMenu();
                }
            },
            Qt::QueuedConnection);
        m_pMenu->insertAction(m_pRecentFilesEnd, action);
        m_recentFileActions.push_back(action);
    }
}

std::string FileCommands::ChooseVideo() const {
    const QString filter = QtFileDialogFilter(LoadString(kIdsVideoFileFilter));
    // The title keeps the translation context it had when the application asked.
    const QString file = QFileDialog::getOpenFileName(
        m_context.dialogParent, QCoreApplication::translate("CMirandelApp", "開く"), QString(),
        filter);
    return file.isEmpty() ? std::string() : QFile::encodeName(file).toStdString();
}

void FileCommands::OnFileOpen() {
    const std::string file = ChooseVideo();
    if (file.empty()) {
        return;
    }
    m_window.fileChosen();
    emit OpenRequested(file);
}

bool FileCommands::CanCloseVideo() const {
    return !m_context.active.Video().Path().empty() && !m_window.playback.IsForwardPlaying();
}

void FileCommands::OnSaveFrameAsBitmap() {
    const QString path =
        AskSaveFileName(m_context.dialogParent, "BMP Files(*.bmp)|*.bmp||", QStringLiteral("bmp"));
    if (!path.isEmpty()) {
        SaveFrameAsBitmap(QFile::encodeName(path).toStdString());
    }
}

bool FileCommands::SaveFrameAsBitmap(const std::string& path) {
    CAviVideoStream* stream = m_context.active.Video().Stream();
    if (stream == nullptr || !stream->SaveFrameAsBmp(m_context.active.Video().Cursor().Current(),
                                                     path, m_context.trimming.deinterlace)) {
        m_context.messages.ShowMessage(LoadString(kIdsImageSaveFailed), MsgButtons::Ok,
                                       MsgIcon::Error);
        return false;
    }
    return true;
}

bool FileCommands::CanSaveTrimmedMovie() const {
    return m_context.active.Video().IsOpen() && !IsPlaying() &&
           m_context.active.Video().Session().AreasSet() && !m_window.markerIdShown();
}

void FileCommands::OnSaveTrimmedMovie() {
    CVfwDoc& doc = m_context.active.Video().Document();
    if (doc.Stream() == nullptr) {
        return;
    }
    // Read afresh, so edits to the profiles count at the next save.
    const std::string& folder = doc.Encoder().ProfileFolder();
    const CFormatIniFile profiles = folder.empty() ? CFormatIniFile() : CFormatIniFile(folder);
    int filterIndex = m_context.trimming.filterIndex;
    const QString chosen = AskSaveFileName(m_context.dialogParent, profiles.GetFilterString(),
                                           QStringLiteral("avi"), &filterIndex);
    if (chosen.isEmpty()) {
        return;
    }
    SaveTrimmedMovie(QFile::encodeName(chosen).toStdString(), filterIndex);
}

void FileCommands::SaveTrimmedMovie(const std::string& target, int filterIndex) {
    CVfwDoc& doc = m_context.active.Video().Document();
    if (doc.Stream() == nullptr || target.empty() || m_context.jobs.Busy()) {
        return;
    }
    Workspace* const workspace = &m_context.active.Actions();
    PendingMovie pending;
    ActionResult refused;
    if (!workspace->StartMovie({target, filterIndex - 1, doc.CodecOption().GetCompressOptions()},
                               &pending, &refused)) {
        // Refused before anything was written: the open video stays where it was.
        if (!refused.message.empty()) {
            m_context.messages.ShowMessage(refused.message, MsgButtons::Ok, refused.icon);
        }
        return;
    }
    m_context.trimming.filterIndex = filterIndex;
    m_window.playback.First();
    auto wait = std::make_shared<WaitCursor>();
    // The window keeps painting the stream and annotations it reads; it changes neither while
    // the job runs, and the encoder is the job's alone.
    m_context.jobs.Run<ActionResult>(
        [workspace, pending](JobContext& context) {
            return workspace->WriteMovie(pending, context.Progress(), context.Messages());
        },
        [this, wait, target](ActionResult saved) {
            if (saved.status == ActionResult::kFailed) {
                wait->Restore();
                m_context.messages.ShowMessage(saved.message, MsgButtons::Ok, saved.icon);
            } else if (saved.ok()) {
                m_window.showStatus(Menu(QT_TRANSLATE_NOOP("CMainFrame", "動画を保存しました: %1"))
                                        .arg(QFile::decodeName(target.c_str())));
            }
            const int start = m_context.active.Video().Session().RangeStart();
            m_window.playback.ShowFrame(start, start == 0);
            m_context.active.Video()
                .Session()
                .DisplayChanged();  // the writer went through the pictures
            wait->Restore();
        });
}

}  // namespace kivra
