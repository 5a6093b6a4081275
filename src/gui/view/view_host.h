#pragma once
// What the frame view reads from and asks of the window around it. The main frame implements
// it and outlives the view; tests put a small fake in its place.
#include <optional>
#include <string>

#include "platform/user_messages.h"
#include "session/edit_session.h"

class CAviVideoStream;
class CInifileManager;
struct VideoAnnotations;

namespace kivra {

class FrameCursor;

// The steps a click on the picture needs before it places a marker, in the order they are taken.
enum class MarkerStep { kAreas, kPreview, kMarkerId };

class FrameViewHost {
public:
    virtual ~FrameViewHost() = default;

    // The open video and what the document keeps beside it; both null while none is open.
    virtual CAviVideoStream* Stream() const = 0;
    virtual VideoAnnotations* Annotations() const = 0;
    virtual bool IsVideoOpen() const = 0;  // the document has a path and a stream
    virtual bool IsForwardPlaying() const = 0;
    virtual CInifileManager& Settings() const = 0;
    // The modes, areas and play range the view draws and its mouse work changes.
    virtual EditSession& Session() const = 0;
    // The current frame the view draws and observes; the skip-mode click moves it.
    virtual FrameCursor& Cursor() const = 0;

    // The marker ID dialog: whether it is up, the ID it holds (read back from its fields, so
    // the skip count in the settings is current too; nothing without the dialog), and the step
    // to the next ID.
    virtual bool IsMarkerIdDialogVisible() const = 0;
    virtual std::optional<int> ReadBackMarkerId() = 0;
    virtual void AdvanceMarkerId() = 0;

    // A left click on the picture placed nothing because `missing` has not been taken yet.
    virtual void ClickPlacedNothing(MarkerStep /*missing*/) {}

    // How a skip-mode click fills the frames it passes over; empty: in a straight line.
    virtual EditSession::SkipFill SkippedFramesFill() const { return {}; }

    // The frame moves of the area work.
    virtual void ShowFirstFrame() = 0;  // the First command
    virtual void ShowLastFrame() = 0;   // the Last command

    virtual void UpdateAllViews() = 0;
    virtual void UpdateRateStatus() = 0;
    virtual MsgAnswer ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon) = 0;
    // Opens a dropped file as the program's open command does.
    virtual void OpenDocumentFile(const std::string& path) = 0;
};

}  // namespace kivra
