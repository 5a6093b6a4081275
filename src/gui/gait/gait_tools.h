#pragma once
// The gait tools of the main window: the foot markers (kept in [Gait] of the settings ini, and a
// video's own in its events file, which win for it),
// the edits of the open video's gait events (kept by its session, each edit one step of its undo
// history, written to the video's events file at once), the gait window and the report.
// Owned by the main frame as a child object; reaches the window only through its host.
#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "frontal/frontal_measures.h"
#include "gait/gait_analysis.h"
#include "gait/gait_event_list.h"
#include "gait/gait_file.h"
#include "gait/gait_setup.h"
#include "gait/report_header.h"
#include "session/edit_session.h"
#include "session/frame_cursor.h"
#include "sync/sync_offset.h"

class CKinematicsCommands;
class QMenu;

namespace kivra {

class CommandTable;
class GaitWindow;
class KinematicsHost;
class OpenVideo;
struct GaitRun;

class GaitTools : public QObject, public SessionObserver {
    Q_OBJECT

public:
    // kinematics gives the calibration and the angles; the host's video, the one these tools
    // are for, keeps the events and their edits.
    GaitTools(std::unique_ptr<KinematicsHost> host, const CKinematicsCommands& kinematics,
              int maxId, QObject* parent = nullptr);
    ~GaitTools() override;

    // The foot markers, gait window and report commands of the marker menu.
    void AddCommands(CommandTable& table, QMenu* marker);
    bool CanAnalyse() const;  // a video with markers is open
    bool CanReport() const;   // and it is not playing
    void OnFootMarkers();     // the dialog; stores what it accepts
    void OnAnalyse();         // shows the gait window (after the dialog when no foot is set)
    void OnReport();          // asks for the header and the file, then WriteReport
    void OnReference();       // asks for a clinic's band file (and its angle when it names none)
    // Asks for the other visit's video, which visit is which and their dates, then the PDF.
    void OnCompare();
    // Asks for the file, then ExportPoints.
    void OnExportPoints(bool c3d);
    // The front markers dialog for the video the open one's .ksync pairs it with; what it
    // accepts is kept in that video's events file and the front view made again.
    void OnFrontalMarkers();
    // The front view's measures over the open video's strides as last made; nothing without a
    // paired front video with its markers and roles.
    const std::optional<FrontalAnalysis>& Frontal() const { return m_frontal; }

    // The comparison of the open video with the video at other (its own markers, events file,
    // feet where that file keeps them, and calibration; the window's angles and bands) as a PDF;
    // the open video is the visit after unless openIsBefore. False after telling the user why.
    bool WriteComparison(const std::string& other, bool openIsBefore, const std::string& beforeDate,
                         const std::string& afterDate, const std::string& pdf);
    // The markers of the play range as a TRC file, or as a C3D file with the events as the
    // window has them, by the command line's writers; false after telling the user why.
    bool ExportPoints(const std::string& path, bool c3d);

    // The normal bands the plot and report draw and the deviations measure against. Adds the
    // bands of a file, remembered in the ini; false after telling the user why it was refused.
    bool LoadReference(const NormalBandChoice& choice);
    void ClearReferences();
    const std::vector<NormalBand>& Bands() const { return m_bands; }

    // The open video's: its own feet and pelvis when its events file keeps them.
    const GaitSetup& Setup() const { return m_setup; }
    // Keeps a new setup and writes [Gait]; forVideo (the user accepted the foot markers dialog)
    // also writes its feet and pelvis into the open video's events file. False after telling
    // the user.
    bool StoreSetup(const GaitSetup& setup, bool forVideo = false);
    // Takes the default setup and bands another video's tools stored (not written again); this
    // video's own feet stay.
    void AdoptSetup(const GaitTools& other);

signals:
    // StoreSetup kept a setup (the feet, or the bands chosen).
    void setupStored();

public:
    // The events as the timeline and the list show them.
    const GaitEventList& Events() const { return m_session.GaitEvents(); }
    // Whether they are the user's (edited now or read from the events file), not detected.
    bool EventsEdited() const { return m_session.GaitEventsEdited(); }
    // Each true when taken: one undo step, the events file written; false changes nothing.
    bool AddEvent(const GaitEvent& event);
    bool MoveEvent(const GaitEvent& event, int toFrame);
    bool DeleteEvent(const GaitEvent& event);
    // The events detected afresh from the markers. Edited ones are replaced only when the user
    // says so, as one undo step that removes the events file; false when the user kept them or
    // nothing could be detected (told).
    bool DetectAgain();

    // The analysis as last made; nothing before the first or after a failure.
    const std::optional<GaitAnalysis>& Analysis() const { return m_analysis; }
    // Makes it again now; false after showing why in the window (or telling the user).
    bool Analyse();
    // The report header dialog on the video's header file: filled from it, what is accepted
    // saved back (a failed save told). The header accepted; nothing when cancelled.
    std::optional<ReportHeader> EditReportHeader();
    // The report of the current analysis under header (none: the video's header file as it
    // is); false after telling the user why.
    bool WriteReport(const std::string& path,
                     const std::optional<ReportHeader>& header = std::nullopt);

    // kivra::SessionObserver: another video reads its events file, changed markers or range
    // make the analysis stale, edited events (an undo too) are written and analysed.
    void SessionChanged(unsigned changes) override;

    // Null until the gait command is first used.
    GaitWindow* Window() const;
    // The window's title names the video (label) while two are open; empty: its own title.
    void LabelWindows(const QString& label);

private:
    // The analysis with the calibration the command resolved.
    GaitRun Run(bool detect, const std::optional<Calibration>& calibration) const;
    // The list replaced without an undo step and without taking it as an edit.
    void ReplaceQuietly(std::vector<GaitEvent> events, bool edited);
    // The list is the user's (written) or detected (its file removed); the analysis made again.
    void TakeEvents(bool edited);
    void SaveEvents();
    void RemoveEventsFile();
    void LoadEventsFile();
    void Refresh();
    bool EnsureSetup();
    QString FailureText(const GaitRun& run) const;
    // Analyse(), giving why it failed in words (shown in the window too); empty when it did not.
    QString AnalyseOrSayWhyNot();
    // The video's header file; what is wrong with it told, and it left empty then.
    ReportHeaderRead ReadHeaderFile() const;

    // The front video the open one's .ksync names, and front time = side time + offset.
    struct FrontPair {
        std::string video;
        SyncOffset offset;
    };
    std::optional<FrontPair> PairedFront(QString& why) const;
    // The front view made again for the current analysis and shown in the window.
    void UpdateFrontal();

    std::unique_ptr<KinematicsHost> m_host;
    const CKinematicsCommands& m_kinematics;
    EditSession& m_session;
    int m_maxId;
    GaitSetup m_setup;
    GaitSetup m_default;                   // [Gait]: for a video without feet of its own
    std::optional<FootRoles> m_videoFeet;  // the open video's, from its events file
    bool m_replacing = false;              // the list changes by ReplaceQuietly
    std::optional<GaitAnalysis> m_analysis;
    std::optional<FrontalAnalysis> m_frontal;
    std::optional<GaitAnalysis> m_frontalView;  // the analysis with the frontal curves
    std::vector<NormalBand> m_bands;            // of the files chosen, in their order
    bool m_stale = true;
    QPointer<GaitWindow> m_window;
    QString m_windowLabel;
    FrameCursor::Subscription m_frameFollow;  // the plot's cursor follows the frame
};

}  // namespace kivra
