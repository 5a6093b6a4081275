#pragma once
// The File menu: open, close, the trimmed movie's save as a job, the recent files and exit, and
// the shown frame saved as a bitmap (a command without a menu entry). Owned by the main window
// as a child object; reaches the open video through its context and only asks for videos to be
// opened or closed: whoever owns the video answers its signals.
#include <QObject>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "frame/command_context.h"

class CPlaybackController;
class QAction;
class QMenu;

namespace kivra {

class RecentFileList;

class FileCommands : public QObject {
    Q_OBJECT

public:
    // What the File menu needs of the window beyond its context.
    struct Window {
        CPlaybackController& playback;
        std::function<bool()> markerIdShown;             // the marker ID tool is up
        std::function<void(const QString&)> showStatus;  // a save's outcome, for a while
        std::function<void()> fileChosen;                // a file was picked in the open dialog
    };

    // recentFiles: the list the menu shows, read only; may be null (no entries).
    FileCommands(const CommandContext& context, const RecentFileList* recentFiles, Window window,
                 QObject* parent = nullptr);

    void AddCommands(QMenu* file);
    // The recent files between the movie save and Exit, read again from the list.
    void RebuildRecentFileMenu();

    void OnFileOpen();  // the open dialog, then OpenRequested
    // The open dialog alone: the chosen video, empty when cancelled.
    std::string ChooseVideo() const;
    // "閉じる(&C)": a video is open and not playing forward.
    bool CanCloseVideo() const;

    bool CanSaveTrimmedMovie() const;
    void OnSaveTrimmedMovie();
    // The save after the dialog: target path and the dialog's 1-based filter index.
    void SaveTrimmedMovie(const std::string& target, int filterIndex);
    void OnSaveFrameAsBitmap();
    bool SaveFrameAsBitmap(const std::string& path);  // false after telling the user

signals:
    void OpenRequested(const std::string& path);
    void CloseRequested();
    void RecentFileRequested(std::size_t index);

private:
    bool IsPlaying() const;

    CommandContext m_context;
    const RecentFileList* m_pRecentFiles;
    Window m_window;
    QMenu* m_pMenu = nullptr;
    QAction* m_pRecentFilesEnd = nullptr;       // the separator after the recent files
    std::vector<QAction*> m_recentFileActions;  // owned by the File menu
};

}  // namespace kivra
