#pragma once
// The trimming and marker commands: modes, areas, mosaic, preview, the marker ID dialog,
// deleting, saving and exporting markers, and the keys of area mode. They change the editing
// session, run the workspace's actions and ask the user through their host. Owned by the main
// frame, which is the host.
#include <string>

#include "platform/progress_sink.h"
#include "platform/user_messages.h"

class CAviVideoStream;
class CEditHistory;
class CKinematicsCommands;
class CInifileManager;
class CSetMarkerIDDlg;
class CVfwDoc;
class CVfwView;
class QKeyEvent;
class QMenu;
class QString;
class QWidget;
class ZebsCOOIconToolBar;

namespace kivra {

class CommandTable;
class EditSession;
class FrameCursor;
class JobRunner;
class Workspace;
struct FollowResult;

class TrimmingCommandsHost {
public:
    virtual ~TrimmingCommandsHost() = default;
    virtual UserMessages& Messages() = 0;
    virtual EditSession& Session() const = 0;
    // The actions the commands run: saving, exporting, following markers.
    virtual Workspace& Actions() const = 0;
    virtual const FrameCursor& Cursor() const = 0;
    virtual CInifileManager& Settings() const = 0;
    virtual CVfwDoc* GetDocument() const = 0;
    virtual CAviVideoStream* Stream() const = 0;
    virtual bool IsVideoOpen() const = 0;
    virtual bool IsPlaying() const = 0;
    virtual bool IsMarkerIdDialogVisible() const = 0;
    // The undo history and the kinematics tools, whose commands share the marker menu.
    virtual CEditHistory& History() = 0;
    virtual CKinematicsCommands* Kinematics() const = 0;
    // The window parts the commands move focus to or show; null before they exist.
    virtual CVfwView* VideoView() const = 0;
    virtual CSetMarkerIDDlg* MarkerIdDialog() const = 0;
    virtual ZebsCOOIconToolBar* MarkerBar() const = 0;
    virtual QWidget* DialogParent() = 0;
    virtual ProgressSink& Progress() = 0;
    virtual JobRunner& Jobs() = 0;
    virtual void SyncMosaicBar() = 0;
    // The marker file now holds the markers as they stand (the undo history's clean step).
    virtual void MarkersSaved() = 0;
    // Tells the user, without a box to close, what a save wrote where.
    virtual void ShowSavedStatus(const QString& text) = 0;
    virtual void UpdateAllViews() = 0;
};

}  // namespace kivra

class CTrimmingCommands {
public:
    explicit CTrimmingCommands(kivra::TrimmingCommandsHost& host) : m_host(host) {}

    // The Trimming menu and the Marker menu with their rules.
    void AddCommands(kivra::CommandTable& table, QMenu* trimming, QMenu* marker);

    void SetTrimmingMode(int mode);  // a kivra::TrimmingMode
    void ClearAreas();
    // Trimming settings dialog, then the areas reshaped for a new direction.
    void OnTrimmingSettings();
    void OnTrimmingArea();
    void OnTrimmingPreview();
    void OnMosaicType(int type);
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
    // The keys of area mode (setting an area); true when the key was taken.
    bool HandleAreaKey(const QKeyEvent& key);

private:
    bool AnyMarkers() const;
    // The end of a follow run, on the window's thread: what the user is told.
    void FollowEnded(const kivra::FollowResult& followed);

    kivra::TrimmingCommandsHost& m_host;
};
