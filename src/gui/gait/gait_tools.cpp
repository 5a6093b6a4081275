#include "gait/gait_tools.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>

#include "base/command_table.h"
#include "base/qt_user_messages.h"
#include "base/window_label.h"
#include "gait/foot_markers_dlg.h"
#include "gait/gait_file.h"
#include "gait/gait_report.h"
#include "gait/gait_window.h"
#include "gait/report_header_dlg.h"
#include "kinematics/kinematics_commands.h"
#include "kinematics/kinematics_host.h"
#include "markers/lff_manager.h"
#include "reading/avi_video_stream.h"
#include "session/edit_session.h"
#include "workspace/open_video.h"
#include "workspace/workspace.h"

namespace kivra {
namespace {

QString ShownPath(const std::string& path) {
    return QFile::decodeName(path.c_str());
}

}  // namespace

GaitTools::GaitTools(std::unique_ptr<KinematicsHost> host, const CKinematicsCommands& kinematics,
                     int maxId, QObject* parent)
    : QObject(parent),
      m_host(std::move(host)),
      m_kinematics(kinematics),
      m_session(m_host->Video().Session()),
      m_maxId(maxId),
      m_setup(LoadGaitSetup(m_host->IniPath())),
      m_default(m_setup),
      m_frameFollow(m_host->Cursor().Observe([this](int) { Refresh(); })) {
    // The bands chosen last time, each quietly left out when its file is gone or changed.
    for (const NormalBandChoice& choice : m_setup.bands) {
        const NormalBandsResult read = ReadNormalBands(choice);
        m_bands.insert(m_bands.end(), read.bands.begin(), read.bands.end());
    }
    // New angles or a new calibration change the curves and lengths shown.
    connect(&kinematics, &CKinematicsCommands::settingsChanged, this, [this] {
        m_stale = true;
        Refresh();
    });
    m_session.AddObserver(this);
}

GaitTools::~GaitTools() {
    m_session.RemoveObserver(this);
}

GaitWindow* GaitTools::Window() const {
    return m_window;
}

void GaitTools::AddCommands(CommandTable& table, QMenu* marker) {
    marker->addSeparator();
    table.AddCommand(
        marker, ID_MARKER_FOOT_MARKERS, tr("足のマーカ(&E)..."), {}, [this] { OnFootMarkers(); },
        [] { return true; });
    table.AddCommand(
        marker, ID_MARKER_GAIT, tr("歩行分析(&W)..."), {}, [this] { OnAnalyse(); },
        [this] { return CanAnalyse(); });
    table.AddCommand(
        marker, ID_MARKER_GAIT_REPORT, tr("歩行レポート(&P)..."), {}, [this] { OnReport(); },
        [this] { return CanReport(); });
    table.AddCommand(
        marker, ID_MARKER_GAIT_COMPARE, tr("前回と比較(&V)..."), {}, [this] { OnCompare(); },
        [this] { return CanReport(); });
    marker->addSeparator();  // the files for other programs
    table.AddCommand(
        marker, ID_MARKER_EXPORT_C3D, tr("C3D書き出し(&3)..."), {},
        [this] { OnExportPoints(true); }, [this] { return CanAnalyse(); });
    table.AddCommand(
        marker, ID_MARKER_EXPORT_TRC, tr("TRC書き出し(&X)..."), {},
        [this] { OnExportPoints(false); }, [this] { return CanAnalyse(); });
}

bool GaitTools::CanAnalyse() const {
    const CLFFManager* markers = m_host->Markers();
    return m_host->Stream() != nullptr && markers != nullptr && markers->AnyMarkers();
}

bool GaitTools::CanReport() const {
    // The stills are decoded from the open video, which playback is reading.
    return CanAnalyse() && !m_host->IsPlaying();
}

void GaitTools::OnFootMarkers() {
    FootMarkersDlg dialog(m_setup, m_maxId, m_host->Window());
    if (dialog.exec() == QDialog::Accepted) {
        StoreSetup(dialog.Result(), /*forVideo=*/true);
    }
}

bool GaitTools::StoreSetup(const GaitSetup& setup, bool forVideo) {
    const bool changed = setup != m_setup;
    m_setup = setup;
    // A video's own feet do not become the default by a band chosen on it.
    m_default = m_videoFeet && !forVideo ? FootRoles::Of(m_default).AppliedTo(setup) : setup;
    bool stored = true;
    const std::string path = forVideo ? m_host->Actions().GaitEventsPath() : std::string();
    if (!path.empty()) {
        const FootRoles feet = FootRoles::Of(setup);
        if (WriteFootRoles(path, feet)) {
            m_videoFeet = feet;
            m_host->ShowSavedStatus(tr("足のマーカを保存しました: %1").arg(ShownPath(path)));
        } else {
            m_host->ShowMessage(
                tr("足のマーカを歩行イベントファイルに保存できませんでした。\n").toStdString() +
                    path,
                MsgButtons::Ok, MsgIcon::Warning);
            stored = false;
        }
    }
    if (changed) {
        m_stale = true;
        if (!EventsEdited()) {
            ReplaceQuietly({}, false);  // detected with the old feet
        }
        Refresh();
    }
    emit setupStored();
    const std::string ini = m_host->IniPath();
    if (!ini.empty() && !SaveGaitSetup(ini, m_default)) {
        m_host->ShowMessage(tr("足のマーカの設定を保存できませんでした。\n").toStdString() + ini,
                            MsgButtons::Ok, MsgIcon::Warning);
        return false;
    }
    return stored;
}

void GaitTools::AdoptSetup(const GaitTools& other) {
    const GaitSetup setup = m_videoFeet ? m_videoFeet->AppliedTo(other.m_default) : other.m_default;
    const bool changed = setup != m_setup;
    m_default = other.m_default;
    m_setup = setup;
    m_bands = other.m_bands;  // read already, and a file may have changed since
    m_stale = true;
    if (changed && !EventsEdited()) {
        ReplaceQuietly({}, false);  // detected with the old feet
    }
    Refresh();
}

void GaitTools::LabelWindows(const QString& label) {
    m_windowLabel = label;
    LabelWindow(m_window, label);
}

bool GaitTools::EnsureSetup() {
    if (!m_setup.AnyFoot()) {
        OnFootMarkers();
    }
    return m_setup.AnyFoot();
}

void GaitTools::OnAnalyse() {
    if (!CanAnalyse() || !EnsureSetup()) {
        return;
    }
    if (m_window == nullptr) {
        m_window = new GaitWindow(m_host->Window());
        LabelWindow(m_window, m_windowLabel);
        connect(m_window, &GaitWindow::frameRequested, this,
                [this](int frame) { m_host->ShowFrame(frame); });
        const auto refused = [this] {
            m_host->ShowMessage(
                tr("再生範囲の外か、同じイベントがすでにあるため、変更できません。").toStdString(),
                MsgButtons::Ok, MsgIcon::Information);
        };
        connect(m_window, &GaitWindow::addRequested, this, [this, refused](GaitEvent event) {
            if (!AddEvent(event)) {
                refused();
            } else if (m_window != nullptr) {
                m_window->SelectEvent(event);
            }
        });
        connect(m_window, &GaitWindow::moveRequested, this,
                [this, refused](GaitEvent event, int to) {
                    if (!MoveEvent(event, to)) {
                        refused();
                    } else if (m_window != nullptr) {
                        event.frame = to;
                        m_window->SelectEvent(event);
                    }
                });
        connect(m_window, &GaitWindow::deleteRequested, this,
                [this](GaitEvent event) { DeleteEvent(event); });
        connect(m_window, &GaitWindow::detectRequested, this, [this] { DetectAgain(); });
        connect(m_window, &GaitWindow::reportRequested, this, [this] { OnReport(); });
        connect(m_window, &GaitWindow::headerRequested, this, [this] { EditReportHeader(); });
        connect(m_window, &GaitWindow::footMarkersRequested, this, [this] { OnFootMarkers(); });
        connect(m_window, &GaitWindow::frontalMarkersRequested, this,
                [this] { OnFrontalMarkers(); });
        connect(m_window, &GaitWindow::referenceRequested, this, [this] { OnReference(); });
        connect(m_window, &GaitWindow::referencesCleared, this, [this] { ClearReferences(); });
    }
    m_window->show();
    m_window->raise();
    m_stale = true;
    Refresh();
}

GaitRun GaitTools::Run(bool detect, const std::optional<Calibration>& calibration) const {
    GaitRequest request;
    request.setup = m_setup;
    request.angles = m_kinematics.Settings().angles;
    request.joints = m_kinematics.Settings().joints;
    request.calibration = calibration;
    request.bands = m_bands;
    if (EventsEdited() && !detect) {
        request.events = Events().Events();
    }
    request.detect = true;  // the events file was read when the video opened
    return m_host->Actions().AnalyseGait(request);
}

QString GaitTools::FailureText(const GaitRun& run) const {
    switch (run.failure) {
        case GaitRun::kMarkersWithoutData: {
            QString text = tr("次のマーカには再生範囲にデータがありません。");
            for (const GaitMarkerWithoutData& m : run.missing) {
                const std::pair<const char*, QString> roles[] = {{"R heel", tr("右の踵")},
                                                                 {"R toe", tr("右のつま先")},
                                                                 {"L heel", tr("左の踵")},
                                                                 {"L toe", tr("左のつま先")},
                                                                 {"pelvis", tr("骨盤")}};
                QString role = QString::fromStdString(m.role);  // an angle's own name
                for (const auto& [key, shown] : roles) {
                    if (m.role == key) {
                        role = shown;
                    }
                }
                text += QStringLiteral("\n%1: ID %2").arg(role).arg(m.id);
            }
            return text;
        }
        case GaitRun::kDamagedEventsFile:
            return tr("歩行イベントファイルが壊れています。\n%1\n(%2)")
                .arg(ShownPath(run.result.path), QString::fromStdString(run.result.detail));
        case GaitRun::kNoEvents:
            return tr("歩行イベントを検出できませんでした。\n(%1)")
                .arg(QString::fromStdString(run.result.detail));
        case GaitRun::kNone:
            break;
    }
    return tr("動画が開かれていません。");
}

bool GaitTools::Analyse() {
    return AnalyseOrSayWhyNot().isEmpty();
}

QString GaitTools::AnalyseOrSayWhyNot() {
    m_stale = false;
    const CAviVideoStream* stream = m_host->Stream();
    const double fps = stream != nullptr ? stream->GetFrameRate() : 0.0;
    QString problem;
    GaitRun run;
    if (!CanAnalyse()) {
        problem = stream == nullptr ? tr("動画が開かれていません。") : tr("マーカがありません。");
    } else if (!m_setup.AnyFoot()) {
        problem = tr("足のマーカを指定してください。");
    } else if (const auto calibration = m_kinematics.CalibrationForRun();
               !calibration.problem.isEmpty()) {
        problem = calibration.problem;
    } else {
        run = Run(false, calibration.calibration);
        if (!run.result.ok()) {
            problem = FailureText(run);
        }
    }
    if (!problem.isEmpty()) {
        m_analysis.reset();
        if (!EventsEdited()) {
            ReplaceQuietly({}, false);
        }
        if (m_window != nullptr) {
            m_window->SetMessage(problem, Events().Events(), fps);
        }
        UpdateFrontal();
        m_host->RedrawViews();
        return problem;
    }
    if (run.analysis.detected) {
        ReplaceQuietly(run.analysis.events, EventsEdited());
    }
    m_analysis = std::move(run.analysis);
    if (m_window != nullptr) {
        m_window->SetAnalysis(*m_analysis, EventsEdited());
    }
    UpdateFrontal();
    m_host->RedrawViews();
    return {};
}

void GaitTools::Refresh() {
    const bool shown = m_window != nullptr && m_window->isVisible();
    // Detected ticks on the timeline follow the markers even while the window is closed.
    if (m_stale && (shown || (!EventsEdited() && !Events().Events().empty()))) {
        Analyse();
    }
    if (shown) {  // OnAnalyse shows the window before it refreshes
        m_window->SetCurrentFrame(m_host->Cursor().Current());
    }
}

bool GaitTools::AddEvent(const GaitEvent& event) {
    return m_session.EditGaitEvents([&](GaitEventList& list) {
        return list.Add(event, m_host->RangeStart(), m_host->RangeEnd());
    });
}

bool GaitTools::MoveEvent(const GaitEvent& event, int toFrame) {
    return m_session.EditGaitEvents([&](GaitEventList& list) {
        return list.Move(event, toFrame, m_host->RangeStart(), m_host->RangeEnd());
    });
}

bool GaitTools::DeleteEvent(const GaitEvent& event) {
    return m_session.EditGaitEvents([&](GaitEventList& list) { return list.Delete(event); });
}

bool GaitTools::DetectAgain() {
    if (!CanAnalyse() || !EnsureSetup()) {
        return false;
    }
    const auto calibration = m_kinematics.CalibrationForRun();
    if (!calibration.problem.isEmpty()) {
        m_host->ShowMessage(calibration.problem.toStdString(), MsgButtons::Ok, MsgIcon::Warning);
        return false;
    }
    const GaitRun run = Run(true, calibration.calibration);
    if (!run.result.ok()) {
        m_host->ShowMessage(FailureText(run).toStdString(), MsgButtons::Ok, MsgIcon::Warning);
        return false;
    }
    if (!EventsEdited()) {  // detected already: they follow the markers, nothing to take back
        m_stale = true;
        return Analyse();
    }
    if (m_host->ShowMessage(
            tr("編集した歩行イベントを、自動検出したイベントで置き換えますか？").toStdString(),
            MsgButtons::YesNoDefaultNo, MsgIcon::Question) != MsgAnswer::Yes) {
        return false;
    }
    m_session.ReplaceGaitEvents(run.analysis.events, false, true);
    return true;
}

void GaitTools::ReplaceQuietly(std::vector<GaitEvent> events, bool edited) {
    m_replacing = true;
    m_session.ReplaceGaitEvents(std::move(events), edited);
    m_replacing = false;
}

void GaitTools::TakeEvents(bool edited) {
    // Detected events are never written: they follow the markers.
    if (edited) {
        SaveEvents();
    } else {
        RemoveEventsFile();
    }
    m_stale = true;
    Analyse();
}

// Written at once, so closing the video never loses an edit and asks nothing more.
void GaitTools::SaveEvents() {
    const ActionResult saved = m_host->Actions().SaveGaitEvents(Events().Events());
    if (saved.status == ActionResult::kFailed) {
        m_host->ShowMessage(tr("歩行イベントを保存できませんでした。\n").toStdString() + saved.path,
                            MsgButtons::Ok, MsgIcon::Warning);
    } else if (saved.ok()) {
        m_host->ShowSavedStatus(tr("歩行イベントを保存しました: %1").arg(ShownPath(saved.path)));
    }
}

void GaitTools::RemoveEventsFile() {
    const ActionResult removed = m_host->Actions().RemoveGaitEvents();
    if (removed.status == ActionResult::kFailed) {
        m_host->ShowMessage(
            tr("歩行イベントファイルを削除できませんでした。\n").toStdString() + removed.path,
            MsgButtons::Ok, MsgIcon::Warning);
    } else if (removed.ok() && !removed.path.empty()) {
        m_host->ShowSavedStatus(
            tr("歩行イベントファイルを削除しました: %1").arg(ShownPath(removed.path)));
    }
}

void GaitTools::LoadEventsFile() {
    const std::string path = m_host->Actions().GaitEventsPath();
    if (path.empty()) {
        return;
    }
    const GaitFileRead read = ReadGaitFile(path);
    m_videoFeet = read.feet;
    if (read.status == GaitFileRead::kLoaded) {
        ReplaceQuietly(read.events, true);
    } else if (read.status == GaitFileRead::kDamaged) {
        m_host->ShowMessage(
            tr("歩行イベントファイルが壊れているため使用しません。\n").toStdString() + path +
                "\n(" + read.problem + ")",
            MsgButtons::Ok, MsgIcon::Warning);
    }
}

void GaitTools::SessionChanged(unsigned changes) {
    if ((changes & kChangeVideo) != 0) {
        m_analysis.reset();  // the session emptied the events
        m_videoFeet.reset();
        if (m_host->Stream() != nullptr) {
            LoadEventsFile();
        }
        m_setup = m_videoFeet ? m_videoFeet->AppliedTo(m_default) : m_default;
    } else if ((changes & kChangeGaitEvents) != 0 && !m_replacing) {
        TakeEvents(EventsEdited());
    }
    if ((changes & (kChangeVideo | kChangeMarkers | kChangeRange)) != 0) {
        m_stale = true;
    }
    if (!m_replacing) {
        Refresh();
    }
}

void GaitTools::OnReport() {
    if (!CanReport() || !EnsureSetup()) {
        return;
    }
    if (m_stale || !m_analysis) {
        const QString problem = AnalyseOrSayWhyNot();
        if (!problem.isEmpty()) {
            if (m_window == nullptr || !m_window->isVisible()) {  // the window says it already
                m_host->ShowMessage(problem.toStdString(), MsgButtons::Ok, MsgIcon::Warning);
            }
            return;
        }
    }
    const std::optional<ReportHeader> header = EditReportHeader();
    if (!header) {
        return;
    }
    // "<video>_gait.pdf" beside the video, so the report is found with its source.
    const QFileInfo video(ShownPath(m_host->VideoPath()));
    const QString proposed =
        video.dir().filePath(video.completeBaseName() + QStringLiteral("_gait.pdf"));
    const QString path = AskSaveFileName(m_host->Window(), "PDF file(*.pdf)|*.pdf||",
                                         QStringLiteral("pdf"), nullptr, proposed);
    if (!path.isEmpty()) {
        WriteReport(QFile::encodeName(path).toStdString(), header);
    }
}

ReportHeaderRead GaitTools::ReadHeaderFile() const {
    const std::string path = m_host->Actions().VisitPath();
    const ReportHeaderRead read = ReadReportHeader(path);
    if (read.status == ReportHeaderRead::kDamaged) {
        m_host->ShowMessage(
            tr("患者・検査情報のファイルが壊れているため使用しません。\n").toStdString() + path +
                "\n(" + read.problem + ")",
            MsgButtons::Ok, MsgIcon::Warning);
    }
    return read;
}

std::optional<ReportHeader> GaitTools::EditReportHeader() {
    const std::string path = m_host->Actions().VisitPath();
    if (path.empty()) {
        return std::nullopt;
    }
    const ReportHeaderRead stored = ReadHeaderFile();
    ReportHeaderDlg dialog(stored.header, m_host->Window());
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const ReportHeader& header = dialog.Result();
    // Nothing typed makes no file; a damaged one is replaced by what the user accepted.
    const bool unchanged =
        stored.status == ReportHeaderRead::kMissing
            ? header.Empty()
            : stored.status == ReportHeaderRead::kLoaded && header == stored.header;
    if (unchanged) {
        return header;
    }
    if (WriteReportHeader(path, header)) {
        m_host->ShowSavedStatus(tr("患者・検査情報を保存しました: %1").arg(ShownPath(path)));
    } else {
        m_host->ShowMessage(tr("患者・検査情報を保存できませんでした。\n").toStdString() + path,
                            MsgButtons::Ok, MsgIcon::Warning);
    }
    return header;
}

void GaitTools::OnReference() {
    const QString path = QFileDialog::getOpenFileName(m_host->Window(), tr("基準範囲"), QString(),
                                                      tr("CSV ファイル (*.csv)"));
    if (path.isEmpty()) {
        return;
    }
    NormalBandChoice choice{QFile::encodeName(path).toStdString(), ""};
    if (ReadNormalBands(choice).needsAngle) {
        // A band of one angle without its name: the user says which curve it belongs to.
        QStringList names;
        for (const NamedAngle& angle : m_kinematics.Settings().angles) {
            names << QString::fromStdString(angle.name);
        }
        for (const ClinicalAngle& joint : m_kinematics.Settings().joints) {
            names << QString::fromStdString(ClinicalAngleName(joint));
        }
        if (names.isEmpty()) {
            m_host->ShowMessage(tr("角度が定義されていません。角度の設定で関節角度を定義してく"
                                   "ださい。")
                                    .toStdString(),
                                MsgButtons::Ok, MsgIcon::Warning);
            return;
        }
        bool chosen = false;
        const QString angle = QInputDialog::getItem(
            m_host->Window(), tr("基準範囲"), tr("この基準範囲 (Percent,Mean,SD) を重ねる角度:"),
            names, 0, false, &chosen);
        if (!chosen) {
            return;
        }
        choice.angle = angle.toStdString();
    }
    if (LoadReference(choice)) {
        m_stale = true;
        Refresh();
    }
}

bool GaitTools::LoadReference(const NormalBandChoice& choice) {
    const NormalBandsResult read = ReadNormalBands(choice);
    if (!read.error.empty()) {
        m_host->ShowMessage(tr("基準範囲のファイルを読めません。\n").toStdString() + choice.file +
                                "\n(" + read.error + ")",
                            MsgButtons::Ok, MsgIcon::Warning);
        return false;
    }
    m_bands.insert(m_bands.end(), read.bands.begin(), read.bands.end());
    // Remembered for the next start; the feet and filter go along unchanged. Choosing a file
    // again moves it last, where its bands win.
    GaitSetup setup = m_setup;
    std::erase_if(setup.bands, [&](const NormalBandChoice& c) { return c == choice; });
    setup.bands.push_back(choice);
    StoreSetup(setup);
    return true;
}

void GaitTools::ClearReferences() {
    m_bands.clear();
    GaitSetup setup = m_setup;
    setup.bands.clear();
    StoreSetup(setup);
    m_stale = true;
    Refresh();
}

bool GaitTools::WriteReport(const std::string& path, const std::optional<ReportHeader>& header) {
    CAviVideoStream* stream = m_host->Stream();
    const CLFFManager* markers = m_host->Markers();
    if (stream == nullptr || markers == nullptr || !m_analysis) {
        return false;
    }
    if (const ActionResult refused = m_host->Actions().CheckOutputTarget(path); !refused.ok()) {
        m_host->ShowMessage(refused.message + "\n" + path, MsgButtons::Ok, MsgIcon::Warning);
        return false;
    }
    const auto calibration = m_kinematics.CalibrationForRun();
    if (!calibration.problem.isEmpty()) {
        m_host->ShowMessage(calibration.problem.toStdString(), MsgButtons::Ok, MsgIcon::Warning);
        return false;
    }
    GaitReportInput input;
    input.videoName = QFileInfo(ShownPath(m_host->VideoPath())).fileName();
    input.made = QDateTime::currentDateTime();
    input.header = header ? *header : ReadHeaderFile().header;
    input.analysis = &*m_analysis;
    GaitAnalysisOptions options;  // as Run analyses, for the report's recording details
    options.setup = m_setup;
    options.calibration = calibration.calibration;
    options.angles = m_kinematics.Settings().angles;
    options.joints = m_kinematics.Settings().joints;
    input.options = &options;
    input.bands = m_analysis->bands;
    input.frontal = m_frontal ? &*m_frontal : nullptr;
    const bool deinterlace = m_host->Deinterlaced();
    // Copies, so the picture the view is being sent meanwhile stays its own; the frame stays
    // where it is (moving it, even onto itself, resets the marker ID).
    auto still = std::make_shared<kivra::Dib>();
    input.stills = ReportStills(*m_analysis, &options, m_host->Actions(),
                                [stream, deinterlace, still](int frame) {
                                    stream->CopyFrame(frame, deinterlace, *still);
                                    return still.get();
                                });
    if (const auto problem = WriteGaitReport(QFile::decodeName(path.c_str()), input)) {
        m_host->ShowMessage(tr("歩行レポートを作成できませんでした。\n").toStdString() + path +
                                "\n(" + problem->toStdString() + ")",
                            MsgButtons::Ok, MsgIcon::Warning);
        return false;
    }
    m_host->ShowSavedStatus(tr("歩行レポートを保存しました: %1").arg(ShownPath(path)));
    return true;
}

}  // namespace kivra
