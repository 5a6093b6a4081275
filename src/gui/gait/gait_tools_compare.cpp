// The gait tools' commands that write for others: the comparison with another visit, and the
// markers as TRC or C3D for modelling tools and gait labs.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include <functional>
#include <memory>
#include <new>

#include "base/qt_user_messages.h"
#include "compare/visit_comparison.h"
#include "exchange/c3d_writer.h"
#include "exchange/trc_writer.h"
#include "gait/compare_report.h"
#include "gait/compare_visits_dlg.h"
#include "gait/gait_tools.h"
#include "kinematics/kinematics_commands.h"
#include "kinematics/kinematics_host.h"
#include "markers/csv_export.h"
#include "markers/lff_manager.h"
#include "picture/dib.h"
#include "platform/progress_sink.h"
#include "platform/settings_folder.h"
#include "reading/avi_video_stream.h"
#include "settings/inifile_manager.h"
#include "workspace/open_video.h"
#include "workspace/workspace.h"

namespace kivra {
namespace {

QString ShownPath(const std::string& path) {
    return QFile::decodeName(path.c_str());
}

std::string FilePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The other visit's video, opened on its own beside the window's for one comparison: its
// settings are the defaults, its messages go to the window.
class OtherVisit final : public DocumentHost {
public:
    explicit OtherVisit(KinematicsHost& window)
        : m_window(window),
          m_settings(std::string()),
          m_video(*this,
                  {m_settings.ScratchEncoder(), m_settings.Program(), m_settings.MarkerId(),
                   m_settings.Slider()},
                  m_settings.Trimming(), UserSettingsFolder()),
          m_actions(m_video, {m_settings.Trimming(), m_settings.MarkerId(), m_settings.Program()},
                    *this) {}

    MsgAnswer ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon) override {
        return m_window.ShowMessage(text, buttons, icon);
    }
    ProgressSink& Progress() override { return m_progress; }

    bool Open(const std::string& path) {
        m_video.Document().SetSplitSound(false);  // the stills need pictures, never the sound
        return m_actions.OpenVideo(path).ok() && m_video.Stream() != nullptr;
    }
    OpenVideo& Video() { return m_video; }
    Workspace& Actions() { return m_actions; }

private:
    KinematicsHost& m_window;
    CInifileManager m_settings;  // in memory only: never the user's file
    NullProgressSink m_progress;
    OpenVideo m_video;
    Workspace m_actions;
};

}  // namespace

void GaitTools::OnCompare() {
    if (!CanReport() || !EnsureSetup()) {
        return;
    }
    const QFileInfo video(ShownPath(m_host->VideoPath()));
    const QString other = QFileDialog::getOpenFileName(
        m_host->Window(), tr("比較する動画 (別の検査日)"), video.absolutePath(),
        tr("動画ファイル (*.avi *.mp4 *.mov *.mkv *.mts *.m2ts);;すべてのファイル (*)"));
    if (other.isEmpty()) {
        return;
    }
    CompareVisitsDlg dialog(video.fileName(), QString::fromStdString(FileDate(m_host->VideoPath())),
                            QFileInfo(other).fileName(),
                            QString::fromStdString(FileDate(FilePath(other))), m_host->Window());
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const QString proposed =
        video.dir().filePath(video.completeBaseName() + QStringLiteral("_compare.pdf"));
    const QString path = AskSaveFileName(m_host->Window(), "PDF file(*.pdf)|*.pdf||",
                                         QStringLiteral("pdf"), nullptr, proposed);
    if (!path.isEmpty()) {
        WriteComparison(FilePath(other), dialog.OpenIsBefore(), dialog.BeforeDate().toStdString(),
                        dialog.AfterDate().toStdString(), FilePath(path));
    }
}

bool GaitTools::WriteComparison(const std::string& other, bool openIsBefore,
                                const std::string& beforeDate, const std::string& afterDate,
                                const std::string& pdf) {
    CAviVideoStream* stream = m_host->Stream();
    if (stream == nullptr || m_host->Markers() == nullptr) {
        return false;
    }
    const auto tell = [this](const QString& text) {
        m_host->ShowMessage(text.toStdString(), MsgButtons::Ok, MsgIcon::Warning);
        return false;
    };
    if (m_stale || !m_analysis) {
        if (const QString problem = AnalyseOrSayWhyNot(); !problem.isEmpty()) {
            return tell(problem);
        }
    }
    if (const ActionResult refused = m_host->Actions().CheckOutputTarget(pdf); !refused.ok()) {
        return tell(QString::fromStdString(refused.message) + "\n" + ShownPath(pdf));
    }
    const auto calibration = m_kinematics.CalibrationForRun();
    if (!calibration.problem.isEmpty()) {
        return tell(calibration.problem);
    }
    OtherVisit visit(*m_host);
    if (!visit.Open(other)) {
        return tell(tr("比較する動画を開けませんでした。\n%1").arg(ShownPath(other)));
    }
    if (const ActionResult refused = visit.Actions().CheckOutputTarget(pdf); !refused.ok()) {
        return tell(QString::fromStdString(refused.message) + "\n" + ShownPath(pdf));
    }
    const RunCalibration otherCalibration = visit.Actions().CalibrationForRun(std::nullopt);
    if (otherCalibration.damaged) {
        return tell(tr("キャリブレーションファイルが壊れています。\n%1\n(%2)")
                        .arg(ShownPath(otherCalibration.path),
                             QString::fromStdString(otherCalibration.problem)));
    }
    // The other visit analysed as this one: the window's angles and bands, its own events file
    // and calibration, and its own feet where that file keeps them (else the default ones).
    GaitRequest request;
    const GaitFileRead otherFile = ReadGaitFile(visit.Actions().GaitEventsPath());
    request.setup = otherFile.feet ? otherFile.feet->AppliedTo(m_default) : m_default;
    request.angles = m_kinematics.Settings().angles;
    request.joints = m_kinematics.Settings().joints;
    request.bands = m_bands;
    request.calibration = otherCalibration.calibration;
    const GaitRun run = visit.Actions().AnalyseGait(request);
    if (!run.result.ok()) {
        return tell(ShownPath(other) + "\n" + FailureText(run));
    }
    GaitAnalysisOptions mine = request;
    mine.calibration = calibration.calibration;
    const GaitAnalysis* analyses[] = {&*m_analysis, &run.analysis};
    const GaitAnalysisOptions* options[] = {&mine, &request};
    const Workspace* workspaces[] = {&m_host->Actions(), &visit.Actions()};
    const std::string paths[] = {m_host->VideoPath(), other};
    const int first = openIsBefore ? 0 : 1;  // which of the two is the visit before
    const int second = 1 - first;
    const auto label = [&](int k, const std::string& date) {
        return VisitLabel{QFileInfo(ShownPath(paths[k])).fileName().toStdString(),
                          date.empty() ? FileDate(paths[k]) : date};
    };
    const VisitComparison comparison = CompareVisits(
        *analyses[first], *analyses[second], label(first, beforeDate), label(second, afterDate));

    CompareReportInput input;
    input.made = QDateTime::currentDateTime();
    input.patient = QString::fromStdString(ReadHeaderFile().header.patient);
    input.comparison = &comparison;
    input.bands = m_bands;
    const bool deinterlace = m_host->Deinterlaced();
    // Copies, so the picture the view is being sent meanwhile stays its own.
    auto still = std::make_shared<Dib>();
    CAviVideoStream* otherStream = visit.Video().Stream();
    const std::function<const Dib*(int)> pictures[] = {[stream, deinterlace, still](int frame) {
                                                           stream->CopyFrame(frame, deinterlace,
                                                                             *still);
                                                           return still.get();
                                                       },
                                                       [otherStream](int frame) {
                                                           otherStream->LoadFrame(frame);
                                                           return &otherStream->DisplayBitmap();
                                                       }};
    const std::optional<StillFrame> shared = SharedStillFrame(*analyses[first], *analyses[second]);
    const int order[] = {first, second};
    CompareVisitInput* targets[] = {&input.before, &input.after};
    for (int i = 0; i < 2; ++i) {
        const int k = order[i];
        CompareVisitInput& v = *targets[i];
        v.videoName = QFileInfo(ShownPath(paths[k])).fileName();
        v.date = QString::fromStdString(i == 0 ? comparison.before.date : comparison.after.date);
        v.analysis = analyses[k];
        if (options[k]->calibration) {
            v.mmPerPixel = options[k]->calibration->mmPerPixel;
        }
        if (shared) {
            v.still = CompareStill(*analyses[k], *options[k], *workspaces[k], *shared, pictures[k]);
        }
    }
    if (const auto problem = WriteCompareReport(ShownPath(pdf), input)) {
        return tell(
            tr("比較レポートを作成できませんでした。\n%1\n(%2)").arg(ShownPath(pdf), *problem));
    }
    m_host->ShowSavedStatus(tr("比較レポートを保存しました: %1").arg(ShownPath(pdf)));
    return true;
}

void GaitTools::OnExportPoints(bool c3d) {
    if (!CanAnalyse()) {
        return;
    }
    const QFileInfo video(ShownPath(m_host->VideoPath()));
    const QString suffix = c3d ? QStringLiteral("c3d") : QStringLiteral("trc");
    const QString proposed = video.dir().filePath(video.completeBaseName() + "." + suffix);
    const QString path = AskSaveFileName(
        m_host->Window(), c3d ? "C3D file(*.c3d)|*.c3d||" : "TRC file(*.trc)|*.trc||", suffix,
        nullptr, proposed);
    if (!path.isEmpty()) {
        ExportPoints(FilePath(path), c3d);
    }
}

bool GaitTools::ExportPoints(const std::string& path, bool c3d) {
    const CAviVideoStream* stream = m_host->Stream();
    const CLFFManager* markers = m_host->Markers();
    if (stream == nullptr || markers == nullptr) {
        return false;
    }
    const auto tell = [this](const QString& text) {
        m_host->ShowMessage(text.toStdString(), MsgButtons::Ok, MsgIcon::Warning);
        return false;
    };
    if (const ActionResult refused = m_host->Actions().CheckOutputTarget(path); !refused.ok()) {
        return tell(QString::fromStdString(refused.message) + "\n" + ShownPath(path));
    }
    const auto calibration = m_kinematics.CalibrationForRun();
    if (!calibration.problem.isEmpty()) {
        return tell(calibration.problem);
    }
    // The events as the timeline shows them; detected first when they never were.
    if (c3d && m_setup.AnyFoot() && (m_stale || !m_analysis) && !EventsEdited()) {
        AnalyseOrSayWhyNot();
    }
    const std::vector<GaitEvent> events =
        c3d && m_setup.AnyFoot() ? Events().Events() : std::vector<GaitEvent>{};
    const double fps = stream->GetFrameRate();
    C3dLimit limit = C3dLimit::kNone;
    bool written = false;
    try {
        const std::optional<PointTable> table =
            PointTableOf(*markers, m_host->RangeStart(), m_host->RangeEnd(), fps,
                         int(stream->FileInfo().dwHeight), calibration.calibration);
        if (!table) {
            return tell(QString::fromStdString(TableTooLargeText(
                m_host->RangeEnd() - m_host->RangeStart() + 1, markers->GetRowCount())));
        }
        written =
            c3d ? WriteC3d(path, *table, C3dEventsOf(events, fps), &limit) : WriteTrc(path, *table);
    } catch (const std::bad_alloc&) {
        return tell(QString::fromStdString(TableOutOfMemoryText()));
    }
    if (!written) {
        QString why = tr("ファイルに書き込めません。");
        switch (limit) {
            case C3dLimit::kTooManyFrames:
                why = tr("C3D ファイルに書けるのはフレーム 65535 までです。");
                break;
            case C3dLimit::kTooManyPoints:
                why = tr("C3D ファイルに書けるマーカは 255 個までです。");
                break;
            case C3dLimit::kTooManyEvents:
                why = tr("C3D ファイルに書けるイベントは 255 個までです。");
                break;
            case C3dLimit::kNoRate:
                why = tr("動画のフレームレートがわかりません。");
                break;
            case C3dLimit::kNone:
                break;
        }
        return tell(tr("書き出せませんでした。\n%1\n(%2)").arg(ShownPath(path), why));
    }
    m_host->ShowSavedStatus(tr("書き出しました: %1").arg(ShownPath(path)));
    return true;
}

}  // namespace kivra
