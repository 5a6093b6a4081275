#pragma once
// The Trimming menu: the side and front modes, the output settings, setting and clearing the
// areas, the mosaic shape and the preview, and the keys of area mode. They change the open
// video's session through its context and ask the window only what it alone knows. Owned by the
// main window, which is the host and outlives them.
#include "frame/command_context.h"
#include "workspace/open_video.h"

class CAviVideoStream;
class CVfwView;
class QEvent;
class QKeyEvent;
class QMenu;

namespace kivra {

class TrimmingCommandsHost {
public:
    virtual ~TrimmingCommandsHost() = default;
    virtual bool IsPlaying() const = 0;
    virtual bool IsMarkerIdDialogVisible() const = 0;
    // The view the area keys and the box follow; null before it exists.
    virtual CVfwView* VideoView() const = 0;
    virtual void SyncMosaicBar() = 0;
};

class TrimmingCommands {
public:
    TrimmingCommands(const CommandContext& context, TrimmingCommandsHost& host)
        : m_context(context), m_host(host) {}

    void AddCommands(QMenu* trimming);

    void SetTrimmingMode(int mode);  // a kivra::TrimmingMode
    void ClearAreas();
    // Trimming settings dialog, then the areas reshaped for a new direction.
    void OnTrimmingSettings();
    void OnTrimmingArea();
    void OnTrimmingPreview();
    void OnMosaicType(int type);
    // The keys of area mode (setting an area); true when the key was taken.
    bool HandleAreaKey(const QKeyEvent& key);
    // For the window's event filter: true when event is a key of area mode while an area is
    // being set, with *taken whether the filter keeps it (a shortcut check gives way to it).
    bool FilterAreaKey(QEvent* event, bool* taken);

private:
    // The context's parts, by the names the commands read best with.
    EditSession& Session() const { return m_context.active.Video().Session(); }
    CAviVideoStream* Stream() const { return m_context.active.Video().Stream(); }
    bool IsVideoOpen() const { return m_context.active.Video().IsOpen(); }
    FrameCursor& Cursor() const { return m_context.active.Video().Cursor(); }
    Workspace& Actions() const { return m_context.active.Actions(); }
    UserMessages& Messages() const { return m_context.messages; }
    QWidget* DialogParent() const { return m_context.dialogParent; }

    CommandContext m_context;
    TrimmingCommandsHost& m_host;
};

}  // namespace kivra
