#pragma once
// What the kinematics tools need of the window around them: the open video and its markers,
// the play range, showing a frame, the frame view's click hook, messages and the settings
// file. The main frame's adapter implements it; it outlives the tools.
#include <string>

#include "platform/user_messages.h"

class CAviVideoStream;
class CLFFManager;
class QString;
class QWidget;

namespace kivra {

class FrameCursor;
class PictureClickHook;
class Workspace;

class KinematicsHost {
public:
    virtual ~KinematicsHost() = default;

    // The open video and its markers; null while none is open.
    virtual CAviVideoStream* Stream() const = 0;
    virtual const CLFFManager* Markers() const = 0;
    // The current frame, which the plot marks and follows.
    virtual const FrameCursor& Cursor() const = 0;
    // The path the user opened (the calibration file lies beside it); empty without a video.
    virtual std::string VideoPath() const = 0;
    // The actions on the open video (the kinematics CSV).
    virtual Workspace& Actions() const = 0;
    virtual int RangeStart() const = 0;
    virtual int RangeEnd() const = 0;
    virtual bool IsPlaying() const = 0;
    // Shows frame n the way every navigation does.
    virtual void ShowFrame(int n) = 0;
    virtual void RedrawViews() = 0;
    // The frame view's hook for picture clicks; null clears it.
    virtual void SetPictureClickHook(PictureClickHook* hook) = 0;
    virtual std::string IniPath() const = 0;
    virtual MsgAnswer ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon) = 0;
    // Tells the user, without a box to close, what a save wrote where.
    virtual void ShowSavedStatus(const QString& text) = 0;
    // The window dialogs belong to.
    virtual QWidget* Window() const = 0;
};

}  // namespace kivra
