#include "kinematics/main_frame_kinematics_host.h"

#include "frame/main_frame.h"
#include "markers/video_annotations.h"
#include "view/vfw_view.h"

namespace kivra {

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

}  // namespace kivra
