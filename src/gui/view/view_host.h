#pragma once
// What the frame view reads from and asks of the window around it. The main frame implements
// it and outlives the view; tests put a small fake in its place.
#include <optional>
#include <string>

#include "geometry/trimming_param.h"
#include "geometry/view_geometry.h"
#include "platform/user_messages.h"

class CAviVideoStream;
class CInifileManager;
struct VideoAnnotations;

namespace kivra {

class FrameViewHost {
public:
    virtual ~FrameViewHost() = default;

    // The open video and what the document keeps beside it; both null while none is open.
    virtual CAviVideoStream* Stream() const = 0;
    virtual VideoAnnotations* Annotations() const = 0;
    virtual bool IsVideoOpen() const = 0;  // the document has a path and a stream
    virtual bool IsForwardPlaying() const = 0;
    virtual CInifileManager& Settings() const = 0;

    // The modes. Area index 0 sets area 1, 1 sets area 2; -1 before any video.
    virtual kivra::ViewMode ViewMode() const = 0;
    virtual int AreaIndex() const = 0;
    virtual void SetAreaIndex(int index) = 0;
    virtual void LeaveAreaMode() = 0;  // view mode 0, area index 0
    virtual TrimmingMode CurrentTrimmingMode() const = 0;

    // The marker ID dialog: whether it is up, the ID it holds (read back from its fields, so
    // the skip count in the settings is current too; nothing without the dialog), and the step
    // to the next ID.
    virtual bool IsMarkerIdDialogVisible() const = 0;
    virtual std::optional<int> ReadBackMarkerId() = 0;
    virtual void AdvanceMarkerId() = 0;

    // The play range and the frame moves of the area work.
    virtual int RangeStart() const = 0;
    virtual int RangeEnd() const = 0;
    virtual void MoveTrackbar(int frame) = 0;
    virtual void ShowFirstFrame() = 0;  // the First command
    virtual void ShowLastFrame() = 0;   // the Last command

    virtual void UpdateAllViews() = 0;
    virtual void UpdateRateStatus() = 0;
    virtual MsgAnswer ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon) = 0;
    // Opens a dropped file as the program's open command does.
    virtual void OpenDocumentFile(const std::string& path) = 0;
};

}  // namespace kivra
