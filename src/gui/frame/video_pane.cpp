#include "frame/video_pane.h"

#include "frame/playback_controller.h"
#include "session/frame_cursor.h"
#include "view/vfw_view.h"
#include "workspace/workspace.h"

namespace kivra {

VideoPane::VideoPane(OpenVideo& video, Workspace& actions, FrameViewHost& window,
                     CPlaybackController& playback, std::function<void(unsigned)> changed)
    : m_video(video),
      m_actions(actions),
      m_window(window),
      m_playback(playback),
      m_follow(video.Session(), std::move(changed)),
      m_pWidget(new CBasePaneV(m_sliderHost, m_viewHost)) {
    m_pWidget->SliderView()->SetGaitEvents(&video.Session().GaitEvents());
}

VideoPane::~VideoPane() {
    delete m_pWidget.data();
}

CVfwView* VideoPane::View() const {
    return m_pWidget != nullptr ? m_pWidget->VideoView() : nullptr;
}

CSliderView* VideoPane::Slider() const {
    return m_pWidget != nullptr ? m_pWidget->SliderView() : nullptr;
}

bool VideoPane::Active() const {
    return &m_playback.Video() == &m_video;
}

EditSession::SkipFill VideoPane::ViewHost::SkippedFramesFill() const {
    return m_pane.m_actions.SkippedFramesFill();
}

void VideoPane::SliderHost::ShowFrame(int n, bool keyRefresh) {
    if (m_pane.Active()) {
        m_pane.m_playback.ShowFrame(n, keyRefresh);
    } else {
        m_pane.m_video.Cursor().MoveTo(n);
    }
}

}  // namespace kivra
