#pragma once
// Each pane's kinematics and gait tools (their windows, their analysis), the menus running the
// active pane's; the second pane's share the first's angles, feet and bands. Owned by the main
// frame; the tools themselves are children of the window.
#include <QObject>
#include <array>
#include <functional>
#include <memory>

#include "frame/pane_tool_commands.h"

class CKinematicsCommands;

namespace kivra {

class FrameViewHost;
class GaitTools;
class KinematicsHost;
class OpenVideo;
class VideoPane;
class Workspace;

class PaneTools {
public:
    // The host of pane `pane`'s tools over its video.
    using HostMaker =
        std::function<std::unique_ptr<KinematicsHost>(int pane, OpenVideo&, Workspace&)>;

    // parent owns the tools, host gives the marker IDs and the marker ID tool's state; table
    // gets pane 0's commands, run by activePane's tools.
    PaneTools(QObject* parent, const FrameViewHost& host, CommandTable& table,
              std::function<int()> activePane, HostMaker makeHost);
    PaneTools(const PaneTools&) = delete;
    PaneTools& operator=(const PaneTools&) = delete;

    // Null for a pane without tools.
    CKinematicsCommands* Kinematics(int pane) const;
    GaitTools* Gait(int pane) const;

    // Pane `pane`'s tools; pane 0's commands go into the menus with AddCommands, made next.
    void Make(int pane, OpenVideo& video, Workspace& actions);
    void AddCommands(QMenu* marker);
    // Its tools and their windows go before its video leaves the window; shown is the pane
    // while it is still shown (its picture loses the tools' click hook).
    void Drop(int pane, const VideoPane* shown);
    // Pane `pane`'s tool windows name its video (label); empty: their own titles.
    void LabelWindows(int pane, const QString& label);

private:
    std::function<bool()> MarkerIdShown() const;  // calibrating waits while it is up

    QObject* const m_parent;
    const FrameViewHost& m_host;
    const HostMaker m_makeHost;
    PaneToolCommands m_commands;
    std::array<CKinematicsCommands*, 2> m_kinematics{};  // children of parent
    std::array<GaitTools*, 2> m_gait{};
};

}  // namespace kivra
