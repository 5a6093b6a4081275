#include "frame/pane_tools.h"

#include "frame/video_pane.h"
#include "gait/gait_tools.h"
#include "gait/gait_window.h"
#include "kinematics/calibration_dlg.h"
#include "kinematics/kinematics_commands.h"
#include "kinematics/kinematics_plot.h"
#include "view/vfw_view.h"
#include "view/view_host.h"

namespace kivra {

PaneTools::PaneTools(QObject* parent, const FrameViewHost& host, CommandTable& table,
                     std::function<int()> activePane, HostMaker makeHost)
    : m_parent(parent),
      m_host(host),
      m_makeHost(std::move(makeHost)),
      m_commands(table, std::move(activePane)) {}

CKinematicsCommands* PaneTools::Kinematics(int pane) const {
    return pane == 0 || pane == 1 ? m_kinematics[std::size_t(pane)] : nullptr;
}

GaitTools* PaneTools::Gait(int pane) const {
    return pane == 0 || pane == 1 ? m_gait[std::size_t(pane)] : nullptr;
}

void PaneTools::Make(int pane, OpenVideo& video, Workspace& actions) {
    const auto index = std::size_t(pane);
    const int maxId = m_host.MarkerIds().maxId;
    auto* kinematics = new CKinematicsCommands(m_makeHost(pane, video, actions), maxId, m_parent);
    auto* gait = new GaitTools(m_makeHost(pane, video, actions), *kinematics, maxId, m_parent);
    m_kinematics[index] = kinematics;
    m_gait[index] = gait;
    if (pane == 0) {
        return;  // the menus are made next, with pane 0's commands
    }
    kinematics->AddCommands(m_commands.For(pane), m_commands.Unshown(), MarkerIdShown());
    gait->AddCommands(m_commands.For(pane), m_commands.Unshown());
    // One set of angles, feet and bands for the window: what either pane stores, both use.
    CKinematicsCommands* const first = m_kinematics[0];
    GaitTools* const firstGait = m_gait[0];
    kinematics->AdoptSettings(first->Settings());
    gait->AdoptSetup(*firstGait);
    QObject::connect(first, &CKinematicsCommands::settingsChanged, kinematics,
                     [kinematics, first] { kinematics->AdoptSettings(first->Settings()); });
    QObject::connect(kinematics, &CKinematicsCommands::settingsChanged, first,
                     [kinematics, first] { first->AdoptSettings(kinematics->Settings()); });
    QObject::connect(firstGait, &GaitTools::setupStored, gait,
                     [gait, firstGait] { gait->AdoptSetup(*firstGait); });
    QObject::connect(gait, &GaitTools::setupStored, firstGait,
                     [gait, firstGait] { firstGait->AdoptSetup(*gait); });
}

std::function<bool()> PaneTools::MarkerIdShown() const {
    return [&host = m_host] { return host.IsMarkerIdDialogVisible(); };
}

void PaneTools::AddCommands(QMenu* marker) {
    m_kinematics[0]->AddCommands(m_commands.For(0), marker, MarkerIdShown());
    m_gait[0]->AddCommands(m_commands.For(0), marker);
}

void PaneTools::Drop(int pane, const VideoPane* shown) {
    const auto index = std::size_t(pane);
    m_commands.Forget(pane);
    if (shown != nullptr) {
        shown->View()->SetPictureClickHook(nullptr);
    }
    // Their windows are children of the window: they go with the tools, not with the window.
    if (m_gait[index] != nullptr) {
        delete m_gait[index]->Window();
        delete m_gait[index];
        m_gait[index] = nullptr;
    }
    if (m_kinematics[index] != nullptr) {
        delete m_kinematics[index]->PlotWindow();
        delete m_kinematics[index]->CalibrationDialog();
        delete m_kinematics[index];
        m_kinematics[index] = nullptr;
    }
}

void PaneTools::LabelWindows(int pane, const QString& label) {
    if (Kinematics(pane) != nullptr) {
        Kinematics(pane)->LabelWindows(label);
    }
    if (Gait(pane) != nullptr) {
        Gait(pane)->LabelWindows(label);
    }
}

}  // namespace kivra
