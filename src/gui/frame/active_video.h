#pragma once
// The video the window's commands work on: the one open video, or in the two-pane layout the
// pane clicked last. Owned by the main window; the command groups read it at each call and hear
// when it switches.
#include <functional>
#include <utility>
#include <vector>

namespace kivra {

class OpenVideo;
class Workspace;

class ActiveVideo {
public:
    ActiveVideo(OpenVideo& video, Workspace& actions) : m_video(&video), m_actions(&actions) {}
    ActiveVideo(const ActiveVideo&) = delete;
    ActiveVideo& operator=(const ActiveVideo&) = delete;

    OpenVideo& Video() const { return *m_video; }
    Workspace& Actions() const { return *m_actions; }

    // Both must outlive their turn as the active one; the listeners hear each real switch.
    void Set(OpenVideo& video, Workspace& actions) {
        if (m_video == &video) {
            return;
        }
        m_video = &video;
        m_actions = &actions;
        for (const auto& listener : m_listeners) {
            listener();
        }
    }
    void OnChanged(std::function<void()> listener) { m_listeners.push_back(std::move(listener)); }

private:
    OpenVideo* m_video;
    Workspace* m_actions;
    std::vector<std::function<void()>> m_listeners;
};

}  // namespace kivra
