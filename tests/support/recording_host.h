#pragma once
// The document's host for tests without windows: records what the document tells the user and
// which resets it asks for, answers messages with OK and questions with `questionAnswer`.
// Owned by the test; set `doc` once the document exists.
#include <string>
#include <vector>

#include "document/vfw_doc.h"
#include "settings/inifile_manager.h"
#include "support/ffmpeg_tool.h"

namespace kivra::test {

class RecordingHost final : public DocumentHost {
public:
    MsgAnswer ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon) override {
        messages.push_back(text);
        return buttons == MsgButtons::Ok ? MsgAnswer::Ok : questionAnswer;
    }
    bool HasMainFrame() const override { return true; }
    bool IsMarkerIdDialogVisible() const override { return false; }
    void ToggleMarkerIdDialog() override {}
    void SaveMarkers() override { calls.push_back("save markers"); }
    void StopPlayback() override { calls.push_back("stop"); }
    void UpdateAllViews() override { calls.push_back("views"); }
    void UpdateRateStatus() override {}
    void SetViewMode(kivra::ViewMode mode) override { viewMode = mode; }
    void ResetTrackbar(int frames) override {
        calls.push_back("trackbar " + std::to_string(frames));
    }
    void ResetViewsAndModes(int frames) override {
        viewMode = 0;
        calls.push_back("modes " + std::to_string(frames));
    }
    void PostFirstFrameCommand() override { calls.push_back("first"); }
    void RestoreTrimmingState(const CLFFManager&) override { calls.push_back("restore"); }
    TrimmingState FileTrimmingState() const override { return trimming; }
    ProgressSink& Progress() override { return sink != nullptr ? *sink : progress; }

    NullProgressSink progress;
    ProgressSink* sink = nullptr;  // a test's own, in place of `progress`

    CVfwDoc* doc = nullptr;
    MsgAnswer questionAnswer = MsgAnswer::No;
    int viewMode = -1;
    TrimmingState trimming;  // what the host reports as the current trimming state
    std::vector<std::string> messages;
    std::vector<std::string> calls;
};

// A document over a recording host, with a settings folder of its own; owned by the test.
struct RecordedDocument {
    TempDir settings;
    RecordingHost host;
    CVfwDoc doc{host, DefaultSettings(), settings.path()};
    RecordedDocument() { host.doc = &doc; }
};

}  // namespace kivra::test
