#pragma once
// The playback's host in the main window: updates the picture, play button and rate pane
// through the window's parts. Owned by the main window beside what it serves.
#include <functional>

#include "frame/playback_controller.h"
#include "frame/slider_view.h"
#include "view/vfw_view.h"
#include "workspace/open_video.h"

namespace kivra {

class WindowPlaybackHost final : public PlaybackHost {
public:
    // The window's side: show the play button's state, set the rate text.
    struct Window {
        std::function<void(bool)> playButton;
        std::function<void(const QString&)> rateText;
    };

    // view: the window's frame view, null until it is made.
    WindowPlaybackHost(CVfwView* const& view, Window window)
        : m_view(view), m_window(std::move(window)) {}

    // The kept request is painted on arrival even when the frame moves on at once.
    void RedrawVideoNow() override {
        if (m_view != nullptr) {
            m_view->RequestPicture(true);
        }
    }
    bool PictureShown() const override { return m_view == nullptr || m_view->HasCurrentPicture(); }
    void SetPlayButtonPlaying(bool playing) override { m_window.playButton(playing); }
    void SetRateText(const QString& text) override { m_window.rateText(text); }

private:
    CVfwView* const& m_view;
    Window m_window;
};

}  // namespace kivra
