#pragma once
// The document's host for tests without windows: records what the document and the workspace
// tell the user and, watching the editing session, which resets an open brings; answers
// messages with OK and questions with `questionAnswer`. Owned by the test.
#include <string>
#include <vector>

#include "document/vfw_doc.h"
#include "session/edit_session.h"
#include "settings/inifile_manager.h"
#include "support/ffmpeg_tool.h"
#include "workspace/open_video.h"
#include "workspace/workspace.h"

namespace kivra::test {

// A store's groups as the application hands them to a document (and its video) and to the
// actions on it.
inline DocumentSettings DocumentGroups(const CInifileManager& settings) {
    return {settings.ScratchEncoder(), settings.Program(), settings.MarkerId(), settings.Slider()};
}
inline WorkspaceSettings WorkspaceGroups(const CInifileManager& settings) {
    return {settings.Trimming(), settings.MarkerId(), settings.Program()};
}

class RecordingHost final : public DocumentHost, public SessionObserver {
public:
    MsgAnswer ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon) override {
        messages.push_back(text);
        return buttons == MsgButtons::Ok ? MsgAnswer::Ok : questionAnswer;
    }
    ProgressSink& Progress() override { return sink != nullptr ? *sink : progress; }

    // "video N" when a video of N frames came, "no video" when it went, "restore" when a marker
    // file's trimming state came with it.
    void SessionChanged(unsigned changes) override {
        if ((changes & kChangeVideo) != 0) {
            calls.push_back(session != nullptr && session->HasVideo()
                                ? "video " + std::to_string(session->FrameCount())
                                : "no video");
        }
        if ((changes & kChangeTrimmingMode) != 0) {
            calls.push_back("restore");
        }
    }

    NullProgressSink progress;
    ProgressSink* sink = nullptr;  // a test's own, in place of `progress`

    CVfwDoc* doc = nullptr;
    const EditSession* session = nullptr;  // the watched one, if any
    MsgAnswer questionAnswer = MsgAnswer::No;
    std::vector<std::string> messages;
    std::vector<std::string> calls;
};

// A document with its session and workspace over a recording host, with a settings folder of
// its own; owned by the test. Open goes through the workspace as the program does ("stop" is
// recorded where playback stops, "save markers" for each marker save).
struct RecordedDocument {
    RecordedDocument() {
        host.doc = &doc;
        host.session = &session;
        session.AddObserver(&host);
        workspace.SetSavedListener(
            [this](const ActionResult&) { host.calls.push_back("save markers"); });
    }
    ~RecordedDocument() { session.RemoveObserver(&host); }
    RecordedDocument(const RecordedDocument&) = delete;
    RecordedDocument& operator=(const RecordedDocument&) = delete;

    bool Open(const std::string& path) {
        return workspace.OpenVideo(path, [this] { host.calls.push_back("stop"); }).ok();
    }

    TempDir settingsDir;
    CInifileManager settings{std::string()};  // defaults, in memory only
    RecordingHost host;
    OpenVideo video{host, DocumentGroups(settings), settings.Trimming(), settingsDir.path()};
    CVfwDoc& doc = video.Document();
    EditSession& session = video.Session();
    Workspace workspace{video, WorkspaceGroups(settings), host};
};

}  // namespace kivra::test
