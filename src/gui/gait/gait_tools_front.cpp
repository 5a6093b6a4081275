// The gait tools' front view: the video the open one's .ksync pairs it with, its marker roles
// kept in its events file, and the frontal measures over the open video's strides.
#include <QFile>
#include <QFileInfo>

#include <filesystem>

#include "gait/frontal_markers_dlg.h"
#include "gait/gait_file.h"
#include "gait/gait_tools.h"
#include "gait/gait_window.h"
#include "kinematics/kinematics_host.h"
#include "platform/progress_sink.h"
#include "platform/settings_folder.h"
#include "settings/inifile_manager.h"
#include "sync/linked_cursors.h"
#include "sync/sync_session.h"
#include "workspace/open_video.h"
#include "workspace/workspace.h"

namespace kivra {
namespace {

// The front video, opened for its markers alone beside the window's for one analysis; its
// messages are kept, never shown, as the window says why there is no front view.
class FrontView final : public DocumentHost {
public:
    FrontView()
        : m_settings(std::string()),
          m_video(*this,
                  {m_settings.ScratchEncoder(), m_settings.Program(), m_settings.MarkerId(),
                   m_settings.Slider()},
                  m_settings.Trimming(), UserSettingsFolder()),
          m_actions(m_video, {m_settings.Trimming(), m_settings.MarkerId(), m_settings.Program()},
                    *this) {}

    MsgAnswer ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon) override {
        m_said = text;
        return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::No;
    }
    ProgressSink& Progress() override { return m_progress; }

    bool Open(const std::string& path) {
        return m_actions.OpenVideoMarkersOnly(path).ok() && m_video.Stream() != nullptr;
    }
    const CLFFManager* Markers() const {
        const VideoAnnotations* annotations = m_video.Annotations();
        return annotations != nullptr &&
                       annotations->m_markers.GetLoadState() == CLFFManager::kLoaded
                   ? &annotations->m_markers
                   : nullptr;
    }
    OpenVideo& Video() { return m_video; }
    Workspace& Actions() { return m_actions; }

private:
    std::string m_said;
    CInifileManager m_settings;  // in memory only: never the user's file
    NullProgressSink m_progress;
    OpenVideo m_video;
    Workspace m_actions;
};

std::filesystem::path Resolved(const std::string& path) {
    std::error_code error;
    std::filesystem::path full = std::filesystem::weakly_canonical(path, error);
    return error ? std::filesystem::path(path) : full;
}

}  // namespace

std::optional<GaitTools::FrontPair> GaitTools::PairedFront(QString& why) const {
    const std::string side = m_host->VideoPath();
    const std::string path = SyncSessionPath(side);
    std::error_code error;
    if (side.empty() || !std::filesystem::exists(path, error)) {
        why = tr("正面の動画はありません (この動画の .ksync がありません)");
        return std::nullopt;
    }
    const SyncSessionRead read = ReadSyncSession(path);
    if (!read.session) {
        why = QFile::decodeName(path.c_str()) + QStringLiteral(": ") +
              QString::fromStdString(read.why);
        return std::nullopt;
    }
    const bool sideIsA = Resolved(read.session->videoA) == Resolved(side);
    return FrontPair{sideIsA ? read.session->videoB : read.session->videoA,
                     sideIsA ? read.session->offset : read.session->offset.Negated()};
}

void GaitTools::UpdateFrontal() {
    m_frontal.reset();
    m_frontalView.reset();
    if (m_window == nullptr) {
        return;
    }
    QString why;
    const auto shown = [&](const QString& text) { m_window->SetFrontal(nullptr, {}, text); };
    const std::optional<FrontPair> pair = PairedFront(why);
    if (!pair || !m_analysis || m_host->Stream() == nullptr) {
        return shown(why);
    }
    const QString name = QFileInfo(QFile::decodeName(pair->video.c_str())).fileName();
    FrontView front;
    if (!front.Open(pair->video) || front.Markers() == nullptr) {
        return shown(tr("正面の動画 %1 のマーカファイルがありません").arg(name));
    }
    const GaitFileRead stored = ReadGaitFile(front.Actions().GaitEventsPath());
    if (stored.status == GaitFileRead::kDamaged) {
        return shown(QString::fromStdString(stored.problem));
    }
    if (!stored.frontal) {
        return shown(tr("正面の動画 %1 のマーカを「正面のマーカ」で指定してください").arg(name));
    }
    const RunCalibration calibration = front.Actions().CalibrationForRun(std::nullopt);
    const FrameLink link(ClockOf(*m_host->Stream()), ClockOf(*front.Video().Stream()),
                         pair->offset);
    const auto toFront = [&link](int frame) -> std::optional<int> {
        const LinkedFrame linked = link.BFromA(frame);
        return linked.clamped ? std::nullopt : std::optional<int>(linked.frame);
    };
    // Strides reaching outside the front video are left out, as on the command line.
    std::vector<StrideParameters> strides;
    for (const StrideParameters& s : m_analysis->parameters.strides) {
        const auto start = toFront(s.startFrame);
        const auto end = toFront(s.endFrame);
        if (start && end) {
            StrideParameters mapped = s;
            mapped.startFrame = *start;
            mapped.endFrame = *end;
            strides.push_back(mapped);
        }
    }
    std::optional<double> mmPerPixel;
    if (calibration.calibration && !calibration.damaged) {
        mmPerPixel = calibration.calibration->mmPerPixel;
    }
    m_frontal = AnalyseFrontal(*front.Markers(), front.Video().Session().RangeStart(),
                               front.Video().Session().RangeEnd(), *stored.frontal,
                               EventsInOtherView(m_analysis->events, toFront), strides, mmPerPixel);
    // The side's strides keep the cursor on the side video's frames.
    m_frontalView = *m_analysis;
    m_frontalView->cycles = m_frontal->cycles;
    m_frontalView->bands.clear();
    m_frontalView->deviation = {};
    m_window->SetFrontal(&*m_frontalView, m_frontal->summary,
                         tr("正面の動画: %1 (ストライド %2)").arg(name).arg(strides.size()));
}

void GaitTools::OnFrontalMarkers() {
    QString why;
    const std::optional<FrontPair> pair = PairedFront(why);
    if (!pair) {
        m_host->ShowMessage(why.toStdString(), MsgButtons::Ok, MsgIcon::Warning);
        return;
    }
    FrontView front;
    if (!front.Open(pair->video)) {
        m_host->ShowMessage(tr("正面の動画を開けませんでした。\n").toStdString() + pair->video,
                            MsgButtons::Ok, MsgIcon::Warning);
        return;
    }
    const std::string path = front.Actions().GaitEventsPath();
    const GaitFileRead stored = ReadGaitFile(path);
    if (stored.status == GaitFileRead::kDamaged) {
        m_host->ShowMessage(path + "\n" + stored.problem, MsgButtons::Ok, MsgIcon::Warning);
        return;
    }
    FrontalMarkersDlg dialog(stored.frontal.value_or(FrontalSetup{}),
                             QFileInfo(QFile::decodeName(pair->video.c_str())).fileName(),
                             m_host->Window());
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    if (!WriteFrontalRoles(path, dialog.Result())) {
        m_host->ShowMessage(tr("正面のマーカを保存できませんでした。\n").toStdString() + path,
                            MsgButtons::Ok, MsgIcon::Warning);
        return;
    }
    UpdateFrontal();
}

}  // namespace kivra
