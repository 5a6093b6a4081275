#include "app/mirandel_app.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <vector>

#include "app/window_document_host.h"
#include "base/qt_user_messages.h"
#include "document/vfw_doc.h"
#include "frame/main_frame.h"
#include "output/codec_option.h"
#include "platform/rw_ini_file.h"
#include "platform/settings_folder.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "settings/inifile_manager.h"
#include "ui_translations.h"
#include "workspace/open_video.h"
#include "workspace/workspace.h"

namespace {

constexpr char kInstallerNotFound[] = "Pellam.exe not found.";
constexpr int kMainWindowWidth = 1024;
constexpr int kMainWindowHeight = 768;

CMirandelApp* g_pApp = nullptr;  // the application object of this run

// The video path among the arguments: the first one after the program name ("--" first lets
// a name start with a dash). Relative paths are taken from the current folder.
std::string CommandLineFile(const QStringList& arguments) {
    qsizetype i = 1;
    if (i < arguments.size() && arguments[i] == QStringLiteral("--")) {
        ++i;
    }
    if (i >= arguments.size() || arguments[i].isEmpty()) {
        return {};
    }
    return QFile::encodeName(QFileInfo(arguments[i]).absoluteFilePath()).toStdString();
}

}  // namespace

CMirandelApp::CMirandelApp() : m_installerLaunch(kivra::DefaultInstallerLaunch()) {
    Q_ASSERT(g_pApp == nullptr);
    g_pApp = this;
}

CMirandelApp::~CMirandelApp() {
    m_pMainFrame.reset();
    m_pSecondWorkspace.reset();
    m_pSecondVideo.reset();
    m_pWorkspace.reset();
    m_pVideo.reset();
    if (g_pApp == this) {
        g_pApp = nullptr;
    }
}

CMirandelApp* CMirandelApp::GetApp() {
    return g_pApp;
}

int CMirandelApp::Run(const QStringList& arguments) {
    if (InitInstance(arguments)) {
        m_bInEventLoop = true;
        m_nExitCode = QApplication::exec();
        m_bInEventLoop = false;
    }
    return ExitInstance();
}

bool CMirandelApp::InitInstance(const QStringList& arguments) {
    m_strSettingsFolder = kivra::UserSettingsFolder();
    // The framework's profile and the settings are one file: "<folder>/Kivra.ini".
    m_strProfileName = ZebCRwIniFile::GetIniPath(m_strSettingsFolder);

    m_pSettings = std::make_unique<CInifileManager>(m_strProfileName);
    m_pSettings->LoadSettings();
    InstallTranslations();

    m_locale.SetUserLocale();  // a locale that is not installed is no error

    const std::string path = CommandLineFile(arguments);
    if (ZebsCCodecOption::CheckRecommendedCompressor(m_strSettingsFolder)) {
        return StartMainWindow(path);
    }
    return OfferCodecInstaller(path);
}

bool CMirandelApp::StartMainWindow(const std::string& path) {
    m_pRecentFiles = std::make_unique<kivra::RecentFileList>(m_strProfileName);
    m_pRecentFiles->Load();

    m_pDocumentHost = std::make_unique<kivra::WindowDocumentHost>();
    // The store stays here; each part is handed the groups it works with.
    CInifileManager& settings = *m_pSettings;
    m_pVideo = std::make_unique<kivra::OpenVideo>(
        *m_pDocumentHost,
        kivra::DocumentSettings{settings.ScratchEncoder(), settings.Program(), settings.MarkerId(),
                                settings.Slider()},
        settings.Trimming(), m_strSettingsFolder);
    m_pWorkspace = std::make_unique<kivra::Workspace>(
        *m_pVideo,
        kivra::WorkspaceSettings{settings.Trimming(), settings.MarkerId(), settings.Program()},
        *m_pDocumentHost);
    const kivra::WindowSettings window(
        settings.Slider(), settings.Trimming(), settings.MarkerId(), settings.Program(),
        settings.GetIniPath(), [store = m_pSettings.get()] { return store->SaveLanguage(); });
    m_pMainFrame = std::make_unique<CMainFrame>(*m_pVideo, *m_pWorkspace, window,
                                                m_pRecentFiles.get(), Language());
    CMainFrame* const frame = m_pMainFrame.get();
    QObject::connect(frame, &CMainFrame::OpenRequested, frame, [this](const std::string& file) {
        OpenDocumentFile(file, {}, m_pMainFrame->Panes().Active());
    });
    QObject::connect(frame, &CMainFrame::CloseRequested, frame, [this] { OnFileNew(); });
    QObject::connect(
        frame, &CMainFrame::PaneOpenRequested, frame,
        [this](const std::string& file, int pane) { OpenDocumentFile(file, {}, pane); });
    QObject::connect(frame, &CMainFrame::SecondPaneCloseRequested, frame,
                     [this] { CloseSecondVideo(); });
    QObject::connect(frame, &CMainFrame::RecentFileRequested, frame,
                     [this](std::size_t index) { OnOpenRecentFile(index); });
    m_pDocumentHost->SetWindow(m_pMainFrame.get());
    if (!m_pVideo->Document().OnNewDocument()) {
        return false;
    }

    m_pMainFrame->resize(kMainWindowWidth, kMainWindowHeight);
    m_pMainFrame->show();
    m_pMainFrame->UpdateTitle();

    // The document opens files only for an existing main window, so a command-line video
    // waits until the window is up and the event loop runs.
    if (!path.empty()) {
        QMetaObject::invokeMethod(
            m_pMainFrame.get(), [this, path] { OpenDocumentFile(path); }, Qt::QueuedConnection);
    }
    return true;
}

int CMirandelApp::ExitInstance() {
    // What the framework does before its exit hook: the document closes, the window goes. A
    // job still at work on the document stops first.
    m_pInstaller.reset();
    if (m_pMainFrame != nullptr) {
        m_pMainFrame->Jobs().Abandon();
    }
    if (m_pDocumentHost != nullptr) {
        m_pDocumentHost->SetWindow(nullptr);
    }
    m_pMainFrame.reset();
    m_pSecondWorkspace.reset();
    m_pSecondVideo.reset();
    m_pSecondHost.reset();
    m_pWorkspace.reset();
    m_pVideo.reset();
    m_pDocumentHost.reset();

    m_pSettings.reset();  // writes every setting back
    // Only now, so the new run reads the settings this one has written.
    if (m_bRestart) {
        RestartProgram();
    }
    return m_nExitCode;
}

void CMirandelApp::InstallTranslations() {
    // Chosen once per run: the language menu's choice waits for the next start.
    if (m_pTranslations != nullptr) {
        return;
    }
    m_pTranslations = std::make_unique<kivra::UiTranslations>(kivra::ChooseUiLanguage(
        m_pSettings->Program().language, kivra::LocaleVariables::FromEnvironment()));
    m_pTranslations->InstallIntoApplication();
}

kivra::UiLanguage CMirandelApp::Language() const {
    return m_pTranslations != nullptr ? m_pTranslations->Language() : kivra::UiLanguage::Japanese;
}

bool CMirandelApp::OfferCodecInstaller(const std::string& path) {
    kivra::QtUserMessages messages(nullptr);
    messages.ShowMessage(kivra::LoadString(kivra::kIdsInstallCodec), kivra::MsgButtons::Ok,
                         kivra::MsgIcon::Information);
    if (!kivra::InstallerExists(m_installerLaunch)) {
        messages.ShowMessage(kInstallerNotFound, kivra::MsgButtons::Ok, kivra::MsgIcon::None);
        return StartMainWindow(path);  // runs on with the uncompressed choice
    }
    // No window is up while it runs; the main window comes only when it was refused, and a
    // run in which it ran ends here and starts again.
    m_pInstaller = std::make_unique<kivra::InstallerJob>(
        m_installerLaunch, [this, path](kivra::InstallerResult result) {
            if (result == kivra::InstallerResult::Refused && StartMainWindow(path)) {
                return;
            }
            m_bRestart = result == kivra::InstallerResult::Ran;
            if (m_bInEventLoop) {
                QCoreApplication::exit(0);
            }
        });
    return true;
}

void CMirandelApp::RestartProgram() const {
    // A failure simply ends this run.
    kivra::StartDetached(kivra::RestartPath(m_installerLaunch));
}

void CMirandelApp::MakeSecondVideo() {
    CInifileManager& settings = *m_pSettings;
    m_pSecondHost = std::make_unique<kivra::WindowDocumentHost>();
    m_pSecondHost->SetWindow(m_pMainFrame.get());
    m_pSecondVideo = std::make_unique<kivra::OpenVideo>(
        *m_pSecondHost,
        kivra::DocumentSettings{settings.ScratchEncoder(), settings.Program(), settings.MarkerId(),
                                settings.Slider()},
        settings.Trimming(), m_strSettingsFolder);
    m_pSecondWorkspace = std::make_unique<kivra::Workspace>(
        *m_pSecondVideo,
        kivra::WorkspaceSettings{settings.Trimming(), settings.MarkerId(), settings.Program()},
        *m_pSecondHost);
    m_pSecondVideo->Document().OnNewDocument();
    m_pMainFrame->Panes().ShowSecond(*m_pSecondVideo, *m_pSecondWorkspace);
}

bool CMirandelApp::CloseSecondVideo() {
    if (m_pMainFrame == nullptr || m_pSecondWorkspace == nullptr) {
        return true;
    }
    if (!m_pSecondWorkspace->ConfirmDiscardMarkers()) {
        return false;  // cancelled: both panes stay as they were
    }
    m_pMainFrame->StopPlayback();
    m_pMainFrame->RemoveSecondPane();
    m_pSecondWorkspace->CloseVideo();
    m_pSecondWorkspace.reset();
    m_pSecondVideo.reset();
    m_pSecondHost.reset();
    m_pMainFrame->UpdateTitle();
    m_pMainFrame->UpdateCommandUI();
    return true;
}

void CMirandelApp::OpenDocumentFile(const std::string& path, std::function<void(bool)> then,
                                    int pane) {
    if (m_pWorkspace == nullptr || m_pMainFrame == nullptr || m_pMainFrame->Jobs().Busy() ||
        (pane != 0 && pane != 1)) {
        if (then) {
            then(false);
        }
        return;
    }
    if (m_pMainFrame->IsMarkerIdDialogVisible()) {
        m_pMainFrame->ToggleMarkerIdDialog();
    }
    if (pane == 1 && m_pSecondWorkspace == nullptr) {
        MakeSecondVideo();
    }
    m_pMainFrame->Panes().Activate(pane);
    kivra::Workspace* const workspace = pane == 0 ? m_pWorkspace.get() : m_pSecondWorkspace.get();
    kivra::ActionResult ended;
    if (!workspace->StartOpen(
            path, [this] { m_pMainFrame->StopPlayback(); }, &ended)) {
        OpenEnded(path, pane, false, then);
        return;
    }
    // The probe, conversion and indexing run on the worker; the open video closes on this
    // thread when a conversion would overwrite its files. Until then it stays open, off the
    // screen, so that a file that does not open gives it back as it was.
    m_pMainFrame->ShowOpening(true);
    m_pMainFrame->Jobs().Run<CVfwDoc::PreparedSource>(
        [workspace, path](kivra::JobContext& job) {
            return workspace->PrepareSource(path, job.Progress(), [workspace, &job] {
                job.OnWindowThread([workspace] { workspace->Document().OnNewDocument(); });
            });
        },
        [this, path, pane, workspace, then](CVfwDoc::PreparedSource prepared) {
            OpenEnded(path, pane, workspace->FinishOpen(path, std::move(prepared)).ok(), then);
        });
}

void CMirandelApp::OpenEnded(const std::string& path, int pane, bool opened,
                             const std::function<void(bool)>& then) {
    if (opened && m_pRecentFiles != nullptr) {
        m_pRecentFiles->Add(path);
        m_pMainFrame->RebuildRecentFileMenu();
    }
    m_pMainFrame->ShowOpening(false);
    // A second pane made for a video that did not open goes again.
    if (!opened && pane == 1 && m_pSecondVideo != nullptr && !m_pSecondVideo->IsOpen()) {
        CloseSecondVideo();
    }
    m_pMainFrame->UpdateTitle();
    m_pMainFrame->UpdateCommandUI();
    m_pMainFrame->Sync().OpenEnded(pane, path, opened);
    if (then) {
        then(opened);
    }
}

void CMirandelApp::OnOpenRecentFile(std::size_t index) {
    if (m_pRecentFiles == nullptr || index >= m_pRecentFiles->Entries().size()) {
        return;
    }
    const std::string path = m_pRecentFiles->Entries()[index];
    OpenDocumentFile(
        path,
        [this, path](bool opened) {
            // Found again by name: the list may have changed while the video was being opened.
            if (opened || m_pRecentFiles == nullptr) {
                return;
            }
            const std::vector<std::string>& entries = m_pRecentFiles->Entries();
            const auto it = std::find(entries.begin(), entries.end(), path);
            if (it != entries.end()) {
                m_pRecentFiles->Remove(std::size_t(it - entries.begin()));
            }
        },
        m_pMainFrame != nullptr ? m_pMainFrame->Panes().Active() : 0);
}

void CMirandelApp::OnFileNew() {
    if (m_pMainFrame != nullptr && m_pMainFrame->Panes().Active() == 1) {
        CloseSecondVideo();
        return;
    }
    if (m_pMainFrame != nullptr) {
        if (m_pMainFrame->IsMarkerIdDialogVisible()) {
            m_pMainFrame->ToggleMarkerIdDialog();
        }
        if (m_pWorkspace != nullptr && !m_pWorkspace->ConfirmDiscardMarkers()) {
            return;  // cancelled: the video, its markers and playback stay as they were
        }
        m_pMainFrame->StopPlayback();
    }
    if (m_pWorkspace != nullptr) {
        m_pWorkspace->CloseVideo();
    }
    if (m_pMainFrame != nullptr) {
        m_pMainFrame->UpdateTitle();
        m_pMainFrame->UpdateCommandUI();
    }
}

CVfwDoc* CMirandelApp::GetDocument() const {
    return m_pVideo != nullptr ? &m_pVideo->Document() : nullptr;
}
