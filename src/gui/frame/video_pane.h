#pragma once
// One video's place in the main window: its frame view and timeline (a CBasePaneV) with hosts
// bound to that video alone, so a pane keeps drawing its own video whichever pane is active.
// Owned by the main frame; the widgets belong to the window's widget tree and go with the pane.
#include <QPointer>
#include <functional>
#include <memory>

#include "frame/base_pane.h"
#include "frame/slider_view.h"
#include "session/edit_session.h"
#include "view/view_host.h"

class CPlaybackController;
class CVfwView;

namespace kivra {

class Workspace;

class VideoPane {
public:
    // window answers what only the window knows; playback moves the active video's frame.
    // changed hears this video's session changes.
    VideoPane(OpenVideo& video, Workspace& actions, FrameViewHost& window,
              CPlaybackController& playback, std::function<void(unsigned)> changed);
    ~VideoPane();  // the widgets first: they use the hosts
    VideoPane(const VideoPane&) = delete;
    VideoPane& operator=(const VideoPane&) = delete;

    OpenVideo& Video() const { return m_video; }
    Workspace& Actions() const { return m_actions; }
    CBasePaneV* Widget() const { return m_pWidget; }
    CVfwView* View() const;
    CSliderView* Slider() const;

private:
    // The frame view's host: the window's answers, this pane's video.
    class ViewHost final : public FrameViewHost {
    public:
        explicit ViewHost(VideoPane& pane) : m_pane(pane) {}
        OpenVideo& Video() const override { return m_pane.m_video; }
        bool Deinterlaced() const override { return Window().Deinterlaced(); }
        const MarkerIdSettings& MarkerIds() const override { return Window().MarkerIds(); }
        bool IsForwardPlaying() const override { return Window().IsForwardPlaying(); }
        bool IsMarkerIdDialogVisible() const override {
            return m_pane.Active() && Window().IsMarkerIdDialogVisible();
        }
        void ClickPlacedNothing(MarkerStep missing) override {
            Window().ClickPlacedNothing(missing);
        }
        EditSession::SkipFill SkippedFramesFill() const override;
        void ShowFirstFrame() override { Window().ShowFirstFrame(); }
        void ShowLastFrame() override { Window().ShowLastFrame(); }
        void UpdateRateStatus() override {
            if (m_pane.Active()) {
                Window().UpdateRateStatus();
            }
        }
        MsgAnswer ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon) override {
            return Window().ShowMessage(text, buttons, icon);
        }
        void OpenDocumentFile(const std::string& path) override { Window().OpenDocumentFile(path); }

    private:
        FrameViewHost& Window() const { return m_pane.m_window; }
        VideoPane& m_pane;
    };

    // The timeline's host: moves through the playback while this pane is the active one.
    class SliderHost final : public SliderViewHost {
    public:
        explicit SliderHost(VideoPane& pane) : m_pane(pane) {}
        OpenVideo& Video() const override { return m_pane.m_video; }
        void ShowFrame(int n, bool keyRefresh) override;

    private:
        VideoPane& m_pane;
    };

    bool Active() const;

    OpenVideo& m_video;
    Workspace& m_actions;
    FrameViewHost& m_window;
    CPlaybackController& m_playback;
    ViewHost m_viewHost{*this};
    SliderHost m_sliderHost{*this};
    SessionFollow m_follow;
    QPointer<CBasePaneV> m_pWidget;  // parentless until the window places it
};

}  // namespace kivra
