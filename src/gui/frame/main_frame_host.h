#pragma once
// What the main window asks of the application object that owns it: the settings, the document
// and its actions, the recent files and the commands that open and close videos.
#include <cstddef>
#include <functional>
#include <string>

#include "platform/ui_language.h"

class CInifileManager;
class CVfwDoc;

namespace kivra {

class RecentFileList;
class Workspace;

class MainFrameHost {
public:
    virtual ~MainFrameHost() = default;
    virtual CInifileManager* GetSettings() const = 0;
    virtual CVfwDoc* GetDocument() const = 0;
    // The actions on the open video; null before start-up has made it.
    virtual Workspace* GetWorkspace() const = 0;
    // The File menu's recent files; null before start-up has read them.
    virtual const RecentFileList* RecentFiles() const = 0;
    // The one way a video is opened: open command, command line, dropped files. Returns at
    // once; `then` hears whether it opened once the open is over.
    virtual void OpenDocumentFile(const std::string& path, std::function<void(bool)> then = {}) = 0;
    virtual void OnFileOpen() = 0;
    virtual void OnFileNew() = 0;  // closes the video
    virtual void OnOpenRecentFile(std::size_t index) = 0;
    virtual bool CanCloseVideo() const = 0;
    virtual void OnAppAbout() = 0;
    // The language the user interface was started in.
    virtual UiLanguage Language() const { return UiLanguage::Japanese; }
};

}  // namespace kivra
