#pragma once
// What the frame view reads from and asks of the window around it: the open video it draws and
// edits (read through it, changed through its requests), and the few things only the window
// knows. The main frame implements it and outlives the view; tests put a small one in its place.
#include <string>

#include "platform/user_messages.h"
#include "session/edit_session.h"
#include "settings/inifile_manager.h"
#include "workspace/open_video.h"

class CAviVideoStream;
struct VideoAnnotations;

namespace kivra {

// The steps a click on the picture needs before it places a marker, in the order they are taken.
enum class MarkerStep { kAreas, kPreview, kMarkerId };

class FrameViewHost {
public:
    virtual ~FrameViewHost() = default;

    // The open video the view draws, observes and edits.
    virtual OpenVideo& Video() const = 0;
    // The display settings, as they stand at the call: whether pictures are deinterlaced, and
    // the locus overlay with its highest ID.
    virtual bool Deinterlaced() const = 0;
    virtual const MarkerIdSettings& MarkerIds() const = 0;
    virtual bool IsForwardPlaying() const = 0;
    // The marker ID tool is up: a click in preview places the video's current ID.
    virtual bool IsMarkerIdDialogVisible() const = 0;

    // A left click on the picture placed nothing because `missing` has not been taken yet.
    virtual void ClickPlacedNothing(MarkerStep /*missing*/) {}
    // How a skip-mode click fills the frames it passes over; empty: in a straight line.
    virtual EditSession::SkipFill SkippedFramesFill() const { return {}; }

    // The frame moves of the area work.
    virtual void ShowFirstFrame() = 0;  // the First command
    virtual void ShowLastFrame() = 0;   // the Last command

    // A new picture is on screen: the rate pane counts it.
    virtual void UpdateRateStatus() = 0;
    virtual MsgAnswer ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon) = 0;
    // Opens a dropped file as the program's open command does.
    virtual void OpenDocumentFile(const std::string& path) = 0;

    // Shorthands over Video(): the stream and annotations are null while no video is open.
    CAviVideoStream* Stream() const { return Video().Stream(); }
    VideoAnnotations* Annotations() const { return Video().Annotations(); }
    bool IsVideoOpen() const { return Video().IsOpen(); }
    EditSession& Session() const { return Video().Session(); }
    FrameCursor& Cursor() const { return Video().Cursor(); }
};

}  // namespace kivra
