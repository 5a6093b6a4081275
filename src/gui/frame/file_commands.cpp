// The File menu's recent files and the main window's own file commands: saving the shown
// frame as a bitmap, and hiding the text information before another video opens.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QMenu>

#include "frame/main_frame.h"
#include "frame/qt_user_messages.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "reading/avi_video_stream.h"
#include "settings/recent_file_list.h"
#include "ui/text_stream_dlg.h"

namespace {

constexpr int kRecentTextWidth = 420;  // pixels of menu text before a path is shortened

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

}  // namespace

void CMainFrame::RebuildRecentFileMenu() {
    for (QAction* action : m_recentFileActions) {
        m_pMenuFile->removeAction(action);
        action->deleteLater();
    }
    m_recentFileActions.clear();

    const kivra::RecentFileList* list = m_app.RecentFiles();
    const std::vector<std::string> none;
    const std::vector<std::string>& entries = list != nullptr ? list->Entries() : none;
    if (entries.empty()) {
        auto* empty = new QAction(tr("最近使ったﾌｧｲﾙ"), m_pMenuFile);
        empty->setEnabled(false);
        m_pMenuFile->insertAction(m_pRecentFilesEnd, empty);
        m_recentFileActions.push_back(empty);
        return;
    }
    const QFontMetrics metrics(m_pMenuFile->font());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        auto* action = new QAction(RecentFileText(i, entries[i], metrics), m_pMenuFile);
        action->setData(static_cast<int>(kivra::ID_FILE_MRU_FILE1 + i));
        action->setToolTip(QFile::decodeName(entries[i].c_str()));
        action->setStatusTip(action->toolTip());
        action->setEnabled(!IsPlaying());
        // Queued: opening may rebuild this menu, which must not delete the action mid-signal.
        connect(
            action, &QAction::triggered, this,
            [this, i] {
                if (!IsPlaying()) {
                    m_app.OnOpenRecentFile(i);
                    RebuildRecentFileMenu();
                }
            },
            Qt::QueuedConnection);
        m_pMenuFile->insertAction(m_pRecentFilesEnd, action);
        m_recentFileActions.push_back(action);
    }
}

void CMainFrame::OnSaveFrameAsBitmap() {
    const QString path =
        kivra::AskSaveFileName(this, "BMP Files(*.bmp)|*.bmp||", QStringLiteral("bmp"));
    if (!path.isEmpty()) {
        SaveFrameAsBitmap(QFile::encodeName(path).toStdString());
    }
}

bool CMainFrame::SaveFrameAsBitmap(const std::string& path) {
    CAviVideoStream* stream = Stream();
    if (stream == nullptr || !stream->SaveFrameAsBmp(Cursor().Current(), path)) {
        ShowMessage(kivra::LoadString(kivra::kIdsImageSaveFailed), kivra::MsgButtons::Ok,
                    kivra::MsgIcon::Error);
        return false;
    }
    return true;
}

void CMainFrame::HideTextInformation() {
    if (m_pTextInfo != nullptr) {
        m_pTextInfo->hide();
    }
}
