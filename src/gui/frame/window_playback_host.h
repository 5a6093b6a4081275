#pragma once
// The playback's and the timeline's hosts in the main window. The playback's updates the picture,
// play button and rate pane through the window's parts; the timeline's reads the open video and
// moves through the playback. Owned by the main window beside what they serve.
#include <functional>
#include <vector>

#include "frame/playback_controller.h"
#include "frame/slider_view.h"
#include "workspace/open_video.h"

namespace kivra {

class WindowPlaybackHost final : public PlaybackHost {
public:
    // The window's side: paint the picture now, show the play button's state, set the rate text.
    struct Window {
        std::function<void()> redrawNow;
        std::function<void(bool)> playButton;
        std::function<void(const QString&)> rateText;
    };

    explicit WindowPlaybackHost(Window window) : m_window(std::move(window)) {}

    void RedrawVideoNow() override { m_window.redrawNow(); }
    void SetPlayButtonPlaying(bool playing) override { m_window.playButton(playing); }
    void SetRateText(const QString& text) override { m_window.rateText(text); }

private:
    Window m_window;
};

class WindowSliderHost final : public SliderViewHost {
public:
    WindowSliderHost(OpenVideo& video, CPlaybackController& playback)
        : m_video(video), m_playback(playback) {}

    const CAviVideoStream* Stream() const override { return m_video.Stream(); }
    const FrameCursor& Cursor() const override { return m_video.Cursor(); }
    EditSession& Session() const override { return m_video.Session(); }
    const std::vector<int>& MarkerFrames() const override;
    void ShowFrame(int n) override { m_playback.ShowFrame(n); }
    void ShowFrameWithKeyRefresh(int n) override { m_playback.ShowFrame(n, true); }

private:
    OpenVideo& m_video;
    CPlaybackController& m_playback;
};

}  // namespace kivra
