#pragma once
// What the kinematics and gait tools need of the window around them: the open video they read
// (its markers, range and frame, through the video) and the actions on it, showing a frame, the
// frame view's click hook, messages, the settings file and whether pictures are deinterlaced.
// The main frame's adapter implements it; it outlives the tools.
#include <string>

#include "markers/video_annotations.h"
#include "platform/user_messages.h"
#include "workspace/open_video.h"

class CAviVideoStream;
class CLFFManager;
class QString;
class QWidget;

namespace kivra {

class PictureClickHook;
class Workspace;

class KinematicsHost {
public:
    virtual ~KinematicsHost() = default;

    // The open video: read through it, changed through its requests.
    virtual OpenVideo& Video() const = 0;
    // The actions on the open video (the kinematics CSV, the gait analysis and its files).
    virtual Workspace& Actions() const = 0;
    virtual bool IsPlaying() const = 0;
    // Shows frame n the way every navigation does (not while playing).
    virtual void ShowFrame(int n) = 0;
    // The frame view's hook for picture clicks; null clears it.
    virtual void SetPictureClickHook(PictureClickHook* hook) = 0;
    virtual std::string IniPath() const = 0;
    // Whether pictures are deinterlaced, as the setting stands at the call.
    virtual bool Deinterlaced() const = 0;
    virtual MsgAnswer ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon) = 0;
    // Tells the user, without a box to close, what a save wrote where.
    virtual void ShowSavedStatus(const QString& text) = 0;
    // The window dialogs belong to.
    virtual QWidget* Window() const = 0;

    // Shorthands over Video(). The stream and markers are null while no video is open.
    CAviVideoStream* Stream() const { return Video().IsOpen() ? Video().Stream() : nullptr; }
    const CLFFManager* Markers() const {
        return Video().IsOpen() ? &Video().Annotations()->m_markers : nullptr;
    }
    // The current frame, which the plot marks and follows.
    const FrameCursor& Cursor() const { return Video().Cursor(); }
    // The path the user opened (the calibration file lies beside it); empty without a video.
    std::string VideoPath() const { return Video().IsOpen() ? Video().Path() : std::string(); }
    int RangeStart() const { return Video().Session().RangeStart(); }
    int RangeEnd() const { return Video().Session().RangeEnd(); }
    // What the views draw changed outside the session (a calibration point, a report's stills).
    void RedrawViews() const { Video().Session().DisplayChanged(); }
};

}  // namespace kivra
