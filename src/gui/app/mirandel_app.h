#pragma once
// The application object: starts and ends Kivra, owns the settings store, the settings folder,
// the open video, the workspace of actions on it and the main window for the whole run (and a
// second video with its workspace while the window shows two side by side), and answers
// the window's requests to open and close videos (the window never calls it). Built on top of an
// existing QApplication; one at a time, reachable by GetApp().
#include <QStringList>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "app/installer_job.h"
#include "platform/installer_launch.h"
#include "platform/locale_guard.h"
#include "platform/ui_language.h"
#include "settings/recent_file_list.h"

class CInifileManager;
class CMainFrame;
class CVfwDoc;

namespace kivra {
class OpenVideo;
class UiTranslations;
class WindowDocumentHost;
class Workspace;
}  // namespace kivra

class CMirandelApp {
public:
    CMirandelApp();
    ~CMirandelApp();
    CMirandelApp(const CMirandelApp&) = delete;
    CMirandelApp& operator=(const CMirandelApp&) = delete;

    // The application object of this run; null when none exists.
    static CMirandelApp* GetApp();

    // InitInstance, the event loop when that succeeded, then ExitInstance. `arguments` are
    // the program's arguments as QCoreApplication::arguments() gives them.
    int Run(const QStringList& arguments);
    // Start-up; false ends the run (ExitInstance must still be called). The main window is
    // shown on success, and a video path among the arguments opens once the event loop runs.
    // When the codec installer has to run, start-up goes on in the event loop once it has
    // ended (IsStarting until then): the window comes when it was refused, else Run ends.
    bool InitInstance(const QStringList& arguments);
    bool IsStarting() const { return m_pInstaller != nullptr && m_pInstaller->Running(); }
    // Shut-down: closes the document and the window, restarts when the codec installer ran,
    // writes the settings. Returns the exit code.
    int ExitInstance();

    CInifileManager* GetSettings() const { return m_pSettings.get(); }
    // The per-user folder, ending with "/"; empty before start-up has set it.
    const std::string& SettingsFolder() const { return m_strSettingsFolder; }
    // The ini behind the recent-file list and the bar layout (the settings ini as well).
    const std::string& ProfileName() const { return m_strProfileName; }
    CVfwDoc* GetDocument() const;
    // The open video of the window; null before start-up has made it.
    kivra::OpenVideo* Video() const { return m_pVideo.get(); }
    kivra::Workspace* GetWorkspace() const { return m_pWorkspace.get(); }
    // The second pane's video and its actions; null while the window shows one.
    kivra::OpenVideo* SecondVideo() const { return m_pSecondVideo.get(); }
    kivra::Workspace* SecondWorkspace() const { return m_pSecondWorkspace.get(); }
    CMainFrame* GetMainFrame() const { return m_pMainFrame.get(); }
    bool IsRestartPending() const { return m_bRestart; }
    // Where the codec installer and the program for the restart are, and how the installer gets
    // its rights; the running program's folder unless set before InitInstance.
    void SetInstallerLaunch(kivra::InstallerLaunch launch) {
        m_installerLaunch = std::move(launch);
    }
    // The File menu's recent files; null before start-up has read them.
    const kivra::RecentFileList* RecentFiles() const { return m_pRecentFiles.get(); }

    // The one way a video is opened: open command, command line, dropped files. The probe and
    // a conversion run as a job of the main frame; `then` hears whether the video opened. Pane 1
    // is the second video's, made for it when the window shows one (and gone again when the
    // video does not open).
    void OpenDocumentFile(const std::string& path, std::function<void(bool)> then = {},
                          int pane = 0);
    // Asks to keep the second video's changed markers, then back to one pane; false when the
    // user cancelled.
    bool CloseSecondVideo();

    // The window's requests.
    void OnFileNew();  // "閉じる(&C)": closes the video
    // Opens entry `index` of the recent files; an entry that no longer opens leaves the list.
    void OnOpenRecentFile(std::size_t index);
    // The language the user interface was started in.
    kivra::UiLanguage Language() const;

private:
    // What follows an open, whether it opened or not.
    void OpenEnded(const std::string& path, int pane, bool opened,
                   const std::function<void(bool)>& then);
    // The second video, its workspace and its messages' host, shown in a second pane.
    void MakeSecondVideo();
    // The user interface's language from the settings and the locale, with Qt's own texts.
    void InstallTranslations();
    // The recent files, the document and the main window; a video path opens once the event
    // loop runs. False when the document could not start.
    bool StartMainWindow(const std::string& path);
    // For a missing recommended compressor: says so and starts the codec installer. When it
    // runs, ExitInstance starts a new run once it has ended.
    bool OfferCodecInstaller(const std::string& path);
    void RestartProgram() const;

    std::unique_ptr<CInifileManager> m_pSettings;
    std::string m_strSettingsFolder;
    bool m_bRestart = false;
    bool m_bInEventLoop = false;                        // inside Run's event loop
    std::unique_ptr<kivra::InstallerJob> m_pInstaller;  // while start-up waits for it
    kivra::InstallerLaunch m_installerLaunch;
    ZebsCLocale m_locale;
    std::string m_strProfileName;
    std::unique_ptr<kivra::RecentFileList> m_pRecentFiles;
    std::unique_ptr<kivra::UiTranslations> m_pTranslations;
    std::unique_ptr<kivra::WindowDocumentHost> m_pDocumentHost;
    std::unique_ptr<kivra::OpenVideo> m_pVideo;
    std::unique_ptr<kivra::Workspace> m_pWorkspace;  // over the open video and the settings
    std::unique_ptr<kivra::WindowDocumentHost> m_pSecondHost;
    std::unique_ptr<kivra::OpenVideo> m_pSecondVideo;
    std::unique_ptr<kivra::Workspace> m_pSecondWorkspace;
    std::unique_ptr<CMainFrame> m_pMainFrame;  // last: it works on the video
    int m_nExitCode = 0;
};
