#pragma once
// The kinematics tools of the main window: the calibration of the open video (its ".kcal"
// file), the named angles and the filter (kept in the settings ini), the kinematics CSV and
// the plot window. Owned by the main frame as a child object, one for each pane's video; it
// reaches the window only through its host.
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "kinematics/calibration.h"
#include "kinematics/kinematics_host.h"
#include "kinematics/kinematics_settings.h"
#include "kinematics/kinematics_table.h"
#include "session/edit_session.h"
#include "session/frame_cursor.h"

class CCalibrationDlg;
class CKinematicsPlotWnd;
class QMenu;

namespace kivra {
class CommandTable;
}  // namespace kivra

class CKinematicsCommands : public QObject {
    Q_OBJECT

public:
    // maxId bounds the IDs the angles dialog offers (the setting MaxID).
    CKinematicsCommands(std::unique_ptr<kivra::KinematicsHost> host, int maxId,
                        QObject* parent = nullptr);
    ~CKinematicsCommands() override;

    // The calibration, angles, kinematics CSV and plot commands at the end of the marker menu;
    // calibrating waits while the marker ID tool is up.
    void AddCommands(kivra::CommandTable& table, QMenu* marker,
                     const std::function<bool()>& markerIdShown);

    // Enable rules and commands of the marker menu.
    bool CanCalibrate() const;  // a video is open and not playing
    void OnCalibrate();         // shows the calibration dialog
    void OnAngles();            // the angles dialog; stores what it accepts
    bool CanExport() const;     // some marker exists
    void OnExport();            // asks for the file, then ExportKinematics
    bool CanPlot() const;       // a video is open
    void OnPlot();              // shows the plot window

    // Writes the table; false after telling the user why.
    bool ExportKinematics(const std::string& path);

    // The session's notices: the plot follows a video that came; changed markers or range
    // build the plot again.
    void SessionChanged(unsigned changes);

    // The open video's calibration as a command runs with it, resolved once by the workspace
    // as kivra-cli resolves it: the calibration file's, or nothing (image pixels) without a file
    // or a video. A damaged file gives the reason for the user, and the command must not run.
    struct CommandCalibration {
        std::optional<kivra::Calibration> calibration;
        QString problem;  // empty unless the file is damaged
    };
    CommandCalibration CalibrationForRun() const;
    // CalibrationForRun's calibration; nothing for a damaged file as well.
    std::optional<kivra::Calibration> CurrentCalibration() const;
    // Stores a calibration beside the open video; false after telling the user.
    bool StoreCalibration(const kivra::Calibration& calibration);
    const kivra::KinematicsSettings& Settings() const { return m_settings; }
    // Keeps new settings and writes them to the settings ini; false after telling the user.
    bool StoreSettings(const kivra::KinematicsSettings& settings);
    // Takes the settings another video's tools stored (not written again); nothing when they are
    // these already.
    void AdoptSettings(const kivra::KinematicsSettings& settings);

signals:
    // The angles, the filter or the calibration changed: what is built on them is stale.
    void settingsChanged();

public:
    // The table of the play range with the current settings and calibration.
    kivra::KinematicsResult Compute() const;
    kivra::KinematicsResult Compute(const std::optional<kivra::Calibration>& calibration) const;

    // Null until the first use of their commands.
    CCalibrationDlg* CalibrationDialog() const;
    CKinematicsPlotWnd* PlotWindow() const;
    // Their titles name the video (label) while two are open; empty: their own titles.
    void LabelWindows(const QString& label);

private:
    QString FailureText(const kivra::KinematicsResult& result) const;
    void RefreshPlot(bool force);
    void OnVideoOpened();
    void OnMarkersChanged();
    void OnViewsUpdated();

    std::unique_ptr<kivra::KinematicsHost> m_host;
    int m_nMaxId;
    kivra::KinematicsSettings m_settings;
    QPointer<CCalibrationDlg> m_pCalibrationDlg;  // children of the host's window
    QPointer<CKinematicsPlotWnd> m_pPlot;
    QString m_windowLabel;
    bool m_bPlotStale = true;  // the markers or the range changed since the plot was built
    kivra::FrameCursor::Subscription m_frameFollow;
    std::unique_ptr<kivra::SessionFollow> m_sessionFollow;
};
