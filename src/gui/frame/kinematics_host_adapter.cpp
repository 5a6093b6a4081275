// The main frame as the kinematics tools' host: an adapter over the frame's public commands,
// owned by the tools it serves. Each pane has tools of its own, so the adapter answers for its
// pane's video whichever pane is active. Only this file knows it, so the frame does not include
// it back.
#include "frame/main_frame.h"
#include "frame/video_pane.h"
#include "kinematics/kinematics_host.h"
#include "markers/video_annotations.h"
#include "view/vfw_view.h"

namespace kivra {
namespace {

class MainFrameKinematicsHost final : public KinematicsHost {
public:
    MainFrameKinematicsHost(CMainFrame& frame, OpenVideo& video, Workspace& actions, int pane)
        : m_frame(frame), m_video(video), m_actions(actions), m_pane(pane) {}

    OpenVideo& Video() const override { return m_video; }
    Workspace& Actions() const override { return m_actions; }
    bool IsPlaying() const override { return m_frame.IsPlaying(); }
    void ShowFrame(int n) override {
        if (Stream() == nullptr || m_frame.IsPlaying()) {
            return;
        }
        if (m_frame.Panes().Active() == m_pane) {
            m_frame.ShowFrame(n);
        } else {
            Video().Cursor().MoveTo(n);
        }
    }
    // The pane's own picture: a tool opened for one pane never takes the other's clicks.
    void SetPictureClickHook(PictureClickHook* hook) override {
        const VideoPane* pane = m_frame.Panes().Pane(m_pane);
        if (CVfwView* view = pane != nullptr ? pane->View() : nullptr) {
            view->SetPictureClickHook(hook);
        }
    }
    std::string IniPath() const override { return m_frame.Settings().IniPath(); }
    bool Deinterlaced() const override { return m_frame.Deinterlaced(); }
    MsgAnswer ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon) override {
        return m_frame.ShowMessage(text, buttons, icon);
    }
    void ShowSavedStatus(const QString& text) override { m_frame.ShowSavedStatus(text); }
    QWidget* Window() const override { return &m_frame; }

private:
    CMainFrame& m_frame;
    OpenVideo& m_video;
    Workspace& m_actions;
    const int m_pane;
};

}  // namespace

std::unique_ptr<KinematicsHost> MakeKinematicsHost(CMainFrame& frame, OpenVideo& video,
                                                   Workspace& actions, int pane) {
    return std::make_unique<MainFrameKinematicsHost>(frame, video, actions, pane);
}

std::unique_ptr<KinematicsHost> MakeKinematicsHost(CMainFrame& frame) {
    const VideoPane* first = frame.Panes().Pane(0);
    return first != nullptr ? MakeKinematicsHost(frame, first->Video(), first->Actions(), 0)
                            : MakeKinematicsHost(frame, frame.Video(), frame.Actions(), 0);
}

}  // namespace kivra
