// The main frame as the kinematics tools' host: an adapter over the frame's public commands,
// owned by the tools it serves. Only this file knows it, so the frame does not include it back.
#include "frame/main_frame.h"
#include "kinematics/kinematics_host.h"
#include "markers/video_annotations.h"
#include "view/vfw_view.h"

namespace kivra {
namespace {

class MainFrameKinematicsHost final : public KinematicsHost {
public:
    explicit MainFrameKinematicsHost(CMainFrame& frame) : m_frame(frame) {}

    OpenVideo& Video() const override { return m_frame.Video(); }
    Workspace& Actions() const override { return m_frame.Actions(); }
    bool IsPlaying() const override { return m_frame.IsPlaying(); }
    void ShowFrame(int n) override {
        if (Stream() != nullptr && !m_frame.IsPlaying()) {
            m_frame.ShowFrame(n);
        }
    }
    void SetPictureClickHook(PictureClickHook* hook) override {
        if (CVfwView* view = m_frame.VideoView()) {
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
};

}  // namespace

std::unique_ptr<KinematicsHost> MakeKinematicsHost(CMainFrame& frame) {
    return std::make_unique<MainFrameKinematicsHost>(frame);
}

}  // namespace kivra
