#pragma once
// The window's video panes and their coming and going: the first video's as the central
// widget, or both side by side in a splitter with the active one framed in the highlight colour
// and switched by a press or drop on a pane; each pane's tools and the link hear of it. Owned by
// the main frame, whose own parts follow through the callbacks.
#include <QObject>
#include <array>
#include <functional>
#include <memory>

class CPlaybackController;
class QMainWindow;
class QSplitter;

namespace kivra {

class FrameViewHost;
class OpenVideo;
class PaneLink;
class PaneTools;
class VideoPane;
class Workspace;
struct ActionResult;

class PaneSet : public QObject {
public:
    // What the window does for the panes.
    struct Callbacks {
        std::function<void(unsigned changes)> sessionChanged;  // the active pane's session
        std::function<void()> stopPlayback;  // before a switch, and before the second pane goes
        std::function<void()> follow;        // after a switch: the window's parts follow
        std::function<void(const ActionResult&)> saved;  // a pane's markers were saved
    };

    // The panes' views ask host what only the window knows; playback moves the active video.
    // All must outlive the panes.
    PaneSet(QMainWindow& window, FrameViewHost& host, CPlaybackController& playback,
            PaneTools& tools, PaneLink& link, Callbacks callbacks);
    ~PaneSet() override;

    bool Two() const { return m_panes[1] != nullptr; }
    int Active() const { return m_active; }
    VideoPane* Pane(int index) const;  // null for a pane not shown
    VideoPane& ActivePane() const;
    // Ignored for a pane not shown or already active.
    void Activate(int index);

    // The first pane, once, after its tools; each video must outlive its pane.
    void ShowFirst(OpenVideo& video, Workspace& actions);
    // The second beside the first, halving the window (ignored while shown); and back to the
    // first alone, the second's tools gone (ignored without it).
    void ShowSecond(OpenVideo& video, Workspace& actions);
    void RemoveSecond();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<VideoPane> MakePane(int index, OpenVideo& video, Workspace& actions);
    void SessionChanged(int index, unsigned changes);
    void MarkActive();
    // While two are shown, each pane's tool windows name its video.
    void LabelToolWindows();

    QMainWindow& m_window;
    FrameViewHost& m_host;
    CPlaybackController& m_playback;
    PaneTools& m_tools;
    PaneLink& m_link;
    const Callbacks m_callbacks;
    std::array<std::unique_ptr<VideoPane>, 2> m_panes;
    int m_active = 0;
    QSplitter* m_pSplitter = nullptr;  // the central widget while two panes are shown
};

}  // namespace kivra
