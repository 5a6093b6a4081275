#pragma once
// The playback's and the timeline's hosts in the main window. The playback's updates the picture,
// play button and rate pane through the window's parts; the timeline's reads the open video and
// moves through the playback. Owned by the main window beside what they serve.
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

class WindowSliderHost final : public SliderViewHost {
public:
    WindowSliderHost(OpenVideo& video, CPlaybackController& playback)
        : m_video(video), m_playback(playback) {}

    OpenVideo& Video() const override { return m_video; }
    void ShowFrame(int n, bool keyRefresh) override { m_playback.ShowFrame(n, keyRefresh); }

private:
    OpenVideo& m_video;
    CPlaybackController& m_playback;
};

}  // namespace kivra
