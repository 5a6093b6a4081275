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

    CAviVideoStream* Stream() const override;
    const CLFFManager* Markers() const override;
    const FrameCursor& Cursor() const override { return m_frame.Cursor(); }
    std::string VideoPath() const override;
    Workspace& Actions() const override { return m_frame.Actions(); }
    int RangeStart() const override;
    int RangeEnd() const override;
    bool IsPlaying() const override;
    void ShowFrame(int n) override;
    void RedrawViews() override;
    void SetPictureClickHook(PictureClickHook* hook) override;
    std::string IniPath() const override;
    MsgAnswer ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon) override;
    void ShowSavedStatus(const QString& text) override;
    QWidget* Window() const override;

private:
    CMainFrame& m_frame;
};

CAviVideoStream* MainFrameKinematicsHost::Stream() const {
    return m_frame.IsVideoOpen() ? m_frame.Stream() : nullptr;
}

const CLFFManager* MainFrameKinematicsHost::Markers() const {
    const VideoAnnotations* annotations = m_frame.IsVideoOpen() ? m_frame.Annotations() : nullptr;
    return annotations != nullptr ? &annotations->m_markers : nullptr;
}

std::string MainFrameKinematicsHost::VideoPath() const {
    const CVfwDoc* doc = m_frame.GetDocument();
    return doc != nullptr && m_frame.IsVideoOpen() ? doc->PathName() : std::string();
}

int MainFrameKinematicsHost::RangeStart() const {
    return m_frame.RangeStart();
}

int MainFrameKinematicsHost::RangeEnd() const {
    return m_frame.RangeEnd();
}

bool MainFrameKinematicsHost::IsPlaying() const {
    return m_frame.IsPlaying();
}

void MainFrameKinematicsHost::ShowFrame(int n) {
    if (Stream() != nullptr && !m_frame.IsPlaying()) {
        m_frame.ShowFrame(n);
    }
}

void MainFrameKinematicsHost::RedrawViews() {
    m_frame.UpdateAllViews();
}

void MainFrameKinematicsHost::SetPictureClickHook(PictureClickHook* hook) {
    if (CVfwView* view = m_frame.VideoView()) {
        view->SetPictureClickHook(hook);
    }
}

std::string MainFrameKinematicsHost::IniPath() const {
    return m_frame.IniPath();
}

MsgAnswer MainFrameKinematicsHost::ShowMessage(const std::string& text, MsgButtons buttons,
                                               MsgIcon icon) {
    return m_frame.ShowMessage(text, buttons, icon);
}

void MainFrameKinematicsHost::ShowSavedStatus(const QString& text) {
    m_frame.ShowSavedStatus(text);
}

QWidget* MainFrameKinematicsHost::Window() const {
    return &m_frame;
}

}  // namespace

std::unique_ptr<KinematicsHost> MakeKinematicsHost(CMainFrame& frame) {
    return std::make_unique<MainFrameKinematicsHost>(frame);
}

}  // namespace kivra
