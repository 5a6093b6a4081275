#include "kinematics/kinematics_commands.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QWidget>
#include <new>

#include "base/command_table.h"
#include "base/qt_user_messages.h"
#include "base/window_label.h"
#include "kinematics/angles_dlg.h"
#include "kinematics/calibration_dlg.h"
#include "kinematics/kinematics_plot.h"
#include "markers/csv_export.h"
#include "markers/lff_manager.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "reading/avi_video_stream.h"
#include "workspace/workspace.h"

using kivra::MsgButtons;
using kivra::MsgIcon;

namespace {

// The menus keep the main window's translation context.
QString Menu(const char* text) {
    return QCoreApplication::translate("CMainFrame", text);
}

}  // namespace

CKinematicsCommands::CKinematicsCommands(std::unique_ptr<kivra::KinematicsHost> host, int maxId,
                                         QObject* parent)
    : QObject(parent),
      m_host(std::move(host)),
      m_nMaxId(maxId),
      m_settings(kivra::LoadKinematicsSettings(m_host->IniPath())) {
    m_frameFollow = m_host->Cursor().Observe([this](int) { RefreshPlot(false); });
    m_sessionFollow = std::make_unique<kivra::SessionFollow>(
        m_host->Video().Session(), [this](unsigned changes) { SessionChanged(changes); });
}

void CKinematicsCommands::SessionChanged(unsigned changes) {
    if ((changes & (kivra::kChangeMarkers | kivra::kChangeRange | kivra::kChangeVideo)) != 0) {
        OnMarkersChanged();
    }
    if ((changes & kivra::kChangeVideo) != 0 && m_host->Video().Session().HasVideo()) {
        OnVideoOpened();
    }
    OnViewsUpdated();
}

CKinematicsCommands::~CKinematicsCommands() {
    // The dialog stays with the window (and on the view as its hook) until the window goes;
    // it must not call back into this object meanwhile.
    if (m_pCalibrationDlg != nullptr) {
        m_pCalibrationDlg->SetAcceptHandler({});
        m_pCalibrationDlg->SetChangedHandler({});
    }
}

void CKinematicsCommands::AddCommands(kivra::CommandTable& table, QMenu* marker,
                                      const std::function<bool()>& markerIdShown) {
    marker->addSeparator();
    table.AddCommand(
        marker, kivra::ID_MARKER_CALIBRATION,
        Menu(QT_TRANSLATE_NOOP("CMainFrame", "キャリブレーション(&B)...")), {},
        [this] { OnCalibrate(); },
        [this, markerIdShown] { return CanCalibrate() && !markerIdShown(); });
    table.AddCommand(
        marker, kivra::ID_MARKER_ANGLES, Menu(QT_TRANSLATE_NOOP("CMainFrame", "関節角度(&J)...")),
        {}, [this] { OnAngles(); }, [] { return true; });
    table.AddCommand(
        marker, kivra::ID_MARKER_KINEMATICS_OUTPUT,
        Menu(QT_TRANSLATE_NOOP("CMainFrame", "運動学出力(&K)...")), {}, [this] { OnExport(); },
        [this] { return CanExport(); });
    table.AddCommand(
        marker, kivra::ID_MARKER_PLOT, Menu(QT_TRANSLATE_NOOP("CMainFrame", "グラフ(&G)")), {},
        [this] { OnPlot(); }, [this] { return CanPlot(); });
}

CCalibrationDlg* CKinematicsCommands::CalibrationDialog() const {
    return m_pCalibrationDlg;
}

CKinematicsPlotWnd* CKinematicsCommands::PlotWindow() const {
    return m_pPlot;
}

bool CKinematicsCommands::CanCalibrate() const {
    return m_host->Stream() != nullptr && !m_host->IsPlaying();
}

bool CKinematicsCommands::CanExport() const {
    const CLFFManager* markers = m_host->Markers();
    return markers != nullptr && markers->AnyMarkers();
}

bool CKinematicsCommands::CanPlot() const {
    return m_host->Stream() != nullptr;
}

CKinematicsCommands::CommandCalibration CKinematicsCommands::CalibrationForRun() const {
    if (m_host->VideoPath().empty()) {
        return {};
    }
    const kivra::RunCalibration run = m_host->Actions().CalibrationForRun(std::nullopt);
    if (run.damaged) {
        // Pixels taken where millimetres were meant would pass unnoticed: nothing runs.
        return {std::nullopt,
                tr("キャリブレーションファイルが壊れています。\n%1\n(%2)")
                    .arg(QFile::decodeName(run.path.c_str()), QString::fromStdString(run.problem))};
    }
    return {run.calibration, QString()};
}

std::optional<kivra::Calibration> CKinematicsCommands::CurrentCalibration() const {
    return CalibrationForRun().calibration;
}

void CKinematicsCommands::OnVideoOpened() {
    if (m_pCalibrationDlg != nullptr) {
        m_pCalibrationDlg->reject();  // its points belong to the last video
    }
    RefreshPlot(true);
}

void CKinematicsCommands::LabelWindows(const QString& label) {
    m_windowLabel = label;
    kivra::LabelWindow(m_pCalibrationDlg, label);
    kivra::LabelWindow(m_pPlot, label);
}

void CKinematicsCommands::OnCalibrate() {
    if (!CanCalibrate()) {
        return;
    }
    if (m_pCalibrationDlg == nullptr) {
        m_pCalibrationDlg = new CCalibrationDlg(m_host->Window());
        kivra::LabelWindow(m_pCalibrationDlg, m_windowLabel);
        m_pCalibrationDlg->SetAcceptHandler(
            [this](const kivra::Calibration& c) { return StoreCalibration(c); });
        m_pCalibrationDlg->SetChangedHandler([this] { m_host->RedrawViews(); });
        m_host->SetPictureClickHook(m_pCalibrationDlg);
    }
    m_pCalibrationDlg->Begin(CurrentCalibration());
    m_pCalibrationDlg->show();
    m_pCalibrationDlg->raise();
}

bool CKinematicsCommands::StoreCalibration(const kivra::Calibration& calibration) {
    const std::string video = m_host->VideoPath();
    if (video.empty()) {
        return false;
    }
    const std::string path = kivra::CalibrationPath(video);
    if (!kivra::WriteCalibrationFile(path, calibration)) {
        m_host->ShowMessage(tr("キャリブレーションの保存に失敗しました。\n").toStdString() + path,
                            MsgButtons::Ok, MsgIcon::Warning);
        return false;
    }
    RefreshPlot(true);
    emit settingsChanged();
    m_host->ShowSavedStatus(
        tr("キャリブレーションを保存しました: %1").arg(QFile::decodeName(path.c_str())));
    return true;
}

void CKinematicsCommands::OnAngles() {
    CAnglesDlg dialog(m_settings, m_nMaxId, m_host->Window());
    if (dialog.exec() == QDialog::Accepted) {
        StoreSettings(dialog.Result());
    }
}

bool CKinematicsCommands::StoreSettings(const kivra::KinematicsSettings& settings) {
    m_settings = settings;
    RefreshPlot(true);
    emit settingsChanged();
    const std::string ini = m_host->IniPath();
    if (!ini.empty() && !kivra::SaveKinematicsSettings(ini, settings)) {
        m_host->ShowMessage(tr("関節角度の設定を保存できませんでした。\n").toStdString() + ini,
                            MsgButtons::Ok, MsgIcon::Warning);
        return false;
    }
    return true;
}

void CKinematicsCommands::AdoptSettings(const kivra::KinematicsSettings& settings) {
    if (settings == m_settings) {
        return;  // also ends the echo between two panes' tools
    }
    m_settings = settings;
    RefreshPlot(true);
    emit settingsChanged();
}

kivra::KinematicsResult CKinematicsCommands::Compute() const {
    return Compute(CurrentCalibration());
}

kivra::KinematicsResult CKinematicsCommands::Compute(
    const std::optional<kivra::Calibration>& calibration) const {
    const CAviVideoStream* stream = m_host->Stream();
    const CLFFManager* markers = m_host->Markers();
    if (stream == nullptr || markers == nullptr) {
        return {};
    }
    kivra::KinematicsOptions options;
    options.angles = m_settings.angles;
    options.joints = m_settings.joints;
    options.filterHz = m_settings.filterHz;
    options.calibration = calibration;
    options.imageHeight = int(stream->FileInfo().dwHeight);
    return kivra::BuildKinematics(*markers, m_host->RangeStart(), m_host->RangeEnd(),
                                  stream->GetFrameRate(), options);
}

QString CKinematicsCommands::FailureText(const kivra::KinematicsResult& result) const {
    switch (result.failure) {
        case kivra::KinematicsResult::kNoFrameRate:
            return tr("フレームレートが分からないため、フィルタをかけられません。");
        case kivra::KinematicsResult::kCutoffOutOfRange: {
            const CAviVideoStream* stream = m_host->Stream();
            const double half = stream != nullptr ? stream->GetFrameRate() / 2.0 : 0.0;
            return tr("フィルタの遮断周波数はフレームレートの半分 (%1 Hz) "
                      "より低くしてください。")
                .arg(half, 0, 'f', 2);
        }
        case kivra::KinematicsResult::kBadScale:
            return tr("キャリブレーションのスケールが正しくありません。");
        case kivra::KinematicsResult::kTooLarge:
            return QString::fromStdString(result.error);
        case kivra::KinematicsResult::kNone:
            break;
    }
    return QString();
}

void CKinematicsCommands::OnExport() {
    // "<video>_kinematics.csv" beside the video, so the table is found with its source.
    const QFileInfo video(QFile::decodeName(m_host->VideoPath().c_str()));
    const QString proposed =
        video.fileName().isEmpty()
            ? QString()
            : video.dir().filePath(video.completeBaseName() + QStringLiteral("_kinematics.csv"));
    const QString path = kivra::AskSaveFileName(m_host->Window(), "CSV file(*.csv)|*.csv||",
                                                QStringLiteral("csv"), nullptr, proposed);
    if (!path.isEmpty()) {
        ExportKinematics(QFile::encodeName(path).toStdString());
    }
}

bool CKinematicsCommands::ExportKinematics(const std::string& path) {
    if (m_host->Markers() == nullptr) {
        return false;
    }
    const CommandCalibration calibration = CalibrationForRun();
    if (!calibration.problem.isEmpty()) {
        m_host->ShowMessage(calibration.problem.toStdString(), MsgButtons::Ok, MsgIcon::Warning);
        return false;
    }
    kivra::KinematicsOptions options;
    options.angles = m_settings.angles;
    options.joints = m_settings.joints;
    options.filterHz = m_settings.filterHz;
    options.calibration = calibration.calibration;
    const kivra::KinematicsExport exported = m_host->Actions().ExportKinematicsCsv(path, options);
    const kivra::ActionResult& result = exported.result;
    if (!result.ok()) {
        if (exported.failure != kivra::KinematicsResult::kNone) {
            kivra::KinematicsResult failed;
            failed.failure = exported.failure;
            failed.error = result.detail;
            m_host->ShowMessage(FailureText(failed).toStdString(), MsgButtons::Ok,
                                MsgIcon::Warning);
        } else if (!result.message.empty()) {
            m_host->ShowMessage(result.message, MsgButtons::Ok, result.icon);
        }
        return false;
    }
    // Written all the same: the other columns are good, and an empty one is plain to see.
    if (!exported.emptyAngles.empty()) {
        std::string text = tr("次の角度はマーカにデータがないため空欄です。").toStdString();
        for (const kivra::AngleWithoutData& m : exported.emptyAngles) {
            text += "\n" + m.name + ": ID " + std::to_string(m.id);
        }
        m_host->ShowMessage(text, MsgButtons::Ok, MsgIcon::Information);
    }
    m_host->ShowSavedStatus(
        tr("運動学データを出力しました: %1").arg(QFile::decodeName(path.c_str())));
    return true;
}

void CKinematicsCommands::OnPlot() {
    if (!CanPlot()) {
        return;
    }
    if (m_pPlot == nullptr) {
        m_pPlot = new CKinematicsPlotWnd(m_host->Window());
        kivra::LabelWindow(m_pPlot, m_windowLabel);
        connect(m_pPlot, &CKinematicsPlotWnd::frameRequested, this,
                [this](int frame) { m_host->ShowFrame(frame); });
    }
    m_pPlot->show();
    m_pPlot->raise();
    RefreshPlot(true);
}

void CKinematicsCommands::OnViewsUpdated() {
    if (m_pCalibrationDlg != nullptr && m_pCalibrationDlg->isVisible() &&
        m_host->Stream() == nullptr) {
        m_pCalibrationDlg->reject();
    }
    RefreshPlot(false);
}

void CKinematicsCommands::OnMarkersChanged() {
    m_bPlotStale = true;
}

void CKinematicsCommands::RefreshPlot(bool force) {
    if (m_pPlot == nullptr || !m_pPlot->isVisible()) {
        return;
    }
    const CAviVideoStream* stream = m_host->Stream();
    if (force || m_bPlotStale) {
        m_bPlotStale = false;
        try {
            const CommandCalibration calibration = CalibrationForRun();
            const kivra::KinematicsResult result = calibration.problem.isEmpty()
                                                       ? Compute(calibration.calibration)
                                                       : kivra::KinematicsResult{};
            if (stream == nullptr) {
                m_pPlot->SetMessage(tr("動画が開かれていません。"));
            } else if (!calibration.problem.isEmpty()) {
                m_pPlot->SetMessage(calibration.problem);
            } else if (!result.table) {
                m_pPlot->SetMessage(FailureText(result));
            } else {
                m_pPlot->SetTable(*result.table, m_host->RangeStart(), m_host->RangeEnd());
            }
        } catch (const std::bad_alloc&) {
            m_pPlot->SetMessage(QString::fromStdString(kivra::TableOutOfMemoryText()));
        }
    }
    m_pPlot->SetCurrentFrame(stream != nullptr ? m_host->Cursor().Current() : -1);
}
