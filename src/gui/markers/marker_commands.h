#pragma once
// The Marker menu's own commands: undo and redo, the marker ID tool, following markers, deleting
// them, the locus, saving the marker file and the coordinate CSV. They change the open video
// through its context and ask the window only what it alone knows. Owned by the main window,
// which is the host and outlives them.
#include <string>

#include "frame/command_context.h"
#include "view/view_host.h"
#include "workspace/open_video.h"

class CAviVideoStream;
class CSetMarkerIDDlg;
class CVfwView;
class QMenu;
class QString;
class ZebsCOOIconToolBar;

namespace kivra {

struct FollowResult;

class MarkerCommandsHost {
public:
    virtual ~MarkerCommandsHost() = default;
    virtual bool IsPlaying() const = 0;
    virtual bool IsMarkerIdDialogVisible() const = 0;
    // The window parts the commands move focus to or show; null before they exist.
    virtual CVfwView* VideoView() const = 0;
    virtual CSetMarkerIDDlg* MarkerIdDialog() const = 0;
    virtual ZebsCOOIconToolBar* MarkerBar() const = 0;
    // Tells the user, without a box to close, what a save wrote where.
    virtual void ShowSavedStatus(const QString& text) = 0;
};

class MarkerCommands {
public:
    MarkerCommands(const CommandContext& context, MarkerCommandsHost& host)
        : m_context(context), m_host(host) {}

    void AddCommands(QMenu* marker);
    // What the user still has to do before a click on the picture places a marker.
    static QString StepHint(MarkerStep missing);

    void OnMarkerSetId();
    void OnMarkerDeleteFrame();
    void OnMarkerDeleteAll();
    bool OnMarkerSave();  // false when the file could not be written (2037 was shown)
    // The marker file at path now holds the markers, whoever saved them.
    void OnMarkersSaved(const std::string& path);
    void OnCoordinateOutput();
    bool ExportCoordinates(const std::string& path);  // false after message 2036
    // Follows the markers of the shown frame forward through the play range (one undo step);
    // possible while that frame holds markers before the range's end.
    bool CanFollowMarkers() const;
    void OnFollowMarkers();

private:
    bool AnyMarkers() const;
    // The end of a follow run, on the window's thread: what the user is told.
    void FollowEnded(const FollowResult& followed);
    JobRunner& Jobs() const { return m_context.jobs; }
    EditHistory& History() const { return m_context.active.Video().History(); }
    // The context's parts, by the names the commands read best with.
    EditSession& Session() const { return m_context.active.Video().Session(); }
    CAviVideoStream* Stream() const { return m_context.active.Video().Stream(); }
    bool IsVideoOpen() const { return m_context.active.Video().IsOpen(); }
    FrameCursor& Cursor() const { return m_context.active.Video().Cursor(); }
    Workspace& Actions() const { return m_context.active.Actions(); }
    UserMessages& Messages() const { return m_context.messages; }
    kivra::MarkerIdSettings& MarkerIds() const { return m_context.markerIds; }
    QWidget* DialogParent() const { return m_context.dialogParent; }

    CommandContext m_context;
    MarkerCommandsHost& m_host;
};

}  // namespace kivra
