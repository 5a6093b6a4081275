#pragma once
// The main frame as the kinematics tools' host: an adapter over the frame's public commands,
// owned by the tools it serves.
#include "kinematics/kinematics_host.h"

class CMainFrame;

namespace kivra {

class MainFrameKinematicsHost final : public KinematicsHost {
public:
    explicit MainFrameKinematicsHost(CMainFrame& frame) : m_frame(frame) {}

    CAviVideoStream* Stream() const override;
    const CLFFManager* Markers() const override;
    std::string VideoPath() const override;
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

}  // namespace kivra
