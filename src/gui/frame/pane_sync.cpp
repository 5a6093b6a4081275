#include "frame/pane_sync.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QStatusBar>
#include <filesystem>

#include "file/file_commands.h"
#include "frame/main_frame.h"
#include "frame/menu_command_table.h"
#include "frame/video_pane.h"
#include "gait/gait_tools.h"
#include "platform/number_text.h"
#include "reading/avi_video_stream.h"
#include "sync/audio_sync.h"
#include "sync/event_sync.h"
#include "sync/flash_sync.h"
#include "sync/linked_cursors.h"
#include "sync/sync_session.h"
#include "workspace/workspace.h"

namespace kivra {
namespace {

constexpr double kMaxOffsetSeconds = 10.0;
constexpr int kSavedStatusMs = 15000;
// The folder's session files read in search of one that names a video as the second.
constexpr int kMostSessionsLooked = 200;

QString Name(const std::string& path) {
    return QFileInfo(QFile::decodeName(path.c_str())).fileName();
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(std::filesystem::path(a), std::filesystem::path(b), error);
}

bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::path(path), error);
}

// A partner of a video in a session file: the other video and the offset with the opened one
// taken as the first (partner's time = its time + offset).
struct PartnerFound {
    std::string partner;
    SyncOffset offset;
    std::string why;  // the video's own session file is damaged
};

std::optional<PartnerFound> FindPartner(const std::string& path) {
    const std::string own = SyncSessionPath(path);
    if (Exists(own)) {
        const SyncSessionRead read = ReadSyncSession(own);
        if (!read.session) {
            return PartnerFound{own, {}, read.why};
        }
        if (SameFile(read.session->videoA, path) && Exists(read.session->videoB)) {
            return PartnerFound{read.session->videoB, read.session->offset, {}};
        }
    }
    // As the second video: a session file of another video in the same folder names it.
    const QFileInfo info(QFile::decodeName(path.c_str()));
    const QFileInfoList files = info.dir().entryInfoList({QStringLiteral("*.ksync")}, QDir::Files);
    for (qsizetype i = 0; i < files.size() && i < kMostSessionsLooked; ++i) {
        const std::string file = QFile::encodeName(files[i].absoluteFilePath()).toStdString();
        if (SameFile(file, own)) {
            continue;
        }
        const SyncSessionRead read = ReadSyncSession(file);
        if (read.session && SameFile(read.session->videoB, path) && Exists(read.session->videoA)) {
            return PartnerFound{read.session->videoA, read.session->offset.Negated(), {}};
        }
    }
    return std::nullopt;
}

QString MethodText(SyncMethod method) {
    switch (method) {
        case SyncMethod::kFrames:
            return PaneSync::tr("手動");
        case SyncMethod::kSound:
            return PaneSync::tr("音");
        case SyncMethod::kFlash:
            return PaneSync::tr("閃光");
        case SyncMethod::kEvents:
            return PaneSync::tr("踵接地");
    }
    return {};
}

SyncEstimate NotFound(SyncMethod method, std::string why) {
    SyncEstimate estimate;
    estimate.method = method;
    estimate.why = std::move(why);
    return estimate;
}

}  // namespace

PaneSync::PaneSync(CMainFrame& frame) : QObject(&frame), m_frame(frame) {}

PaneSync::~PaneSync() = default;

PaneLink* MakePaneLink(CMainFrame& frame) {
    return new PaneSync(frame);  // a child of the frame
}

void PaneSync::AddCommands(MenuCommandTable& table, QMenu* view) {
    view->addSeparator();
    table.AddCommand(
        view, ID_VIEW_TWO_PANES, tr("2画面表示(&2)"), {}, [this] { OnTwoPanes(); },
        [this] { return !m_frame.IsPlaying() && !m_frame.Jobs().Busy(); },
        [this] { return m_frame.Panes().Two(); });
    table.AddCommand(
        view, ID_VIEW_LINK_PANES, tr("2画面を連動(&K)"), {}, [this] { SetLinked(!Linked()); },
        [this] { return BothOpen() && !m_frame.IsPlaying(); }, [this] { return Linked(); });
    QMenu* sync = view->addMenu(tr("同期(&Y)"));
    table.RefreshOnShow(sync);
    const auto canSync = [this] { return CanSync(); };
    table.AddCommand(
        sync, ID_SYNC_SAME_MOMENT, tr("この2コマを同じ瞬間にする(&S)"), {},
        [this] { OnSameMoment(); }, canSync);
    table.AddCommand(
        sync, ID_SYNC_SOUND, tr("音で合わせる(&A)"), {}, [this] { OnSound(); }, canSync);
    table.AddCommand(
        sync, ID_SYNC_FLASH, tr("閃光で合わせる(&F)"), {}, [this] { OnFlash(); }, canSync);
    table.AddCommand(
        sync, ID_SYNC_EVENTS, tr("踵接地で合わせる(&E)"), {}, [this] { OnGaitEvents(); }, canSync);
}

bool PaneSync::BothOpen() const {
    return m_frame.Panes().Two() && m_frame.Panes().Pane(0)->Video().Stream() != nullptr &&
           m_frame.Panes().Pane(1)->Video().Stream() != nullptr;
}

bool PaneSync::CanSync() const {
    return BothOpen() && !m_frame.IsPlaying() && !m_frame.Jobs().Busy();
}

VideoClock PaneSync::Clock(int pane) const {
    const CAviVideoStream* stream = m_frame.Panes().Pane(pane)->Video().Stream();
    return stream != nullptr ? ClockOf(*stream) : VideoClock{};
}

bool PaneSync::Linked() const {
    return m_link != nullptr && m_link->Linked();
}

void PaneSync::SetLinked(bool on) {
    m_wantLinked = on;
    Relink(m_frame.Panes().Active());
}

void PaneSync::Relink(int keep) {
    if (m_link == nullptr) {
        return;
    }
    if (!m_wantLinked) {
        m_link->Unlink();
        return;
    }
    // Link brings the second pane to the first's moment; when the second is kept, it goes
    // back to its frame and the first follows it instead.
    FrameCursor& second = m_frame.Panes().Pane(1)->Video().Cursor();
    const int kept = second.Current();
    if (m_link->Link(m_offset) && keep == 1) {
        second.MoveTo(kept);
    }
}

void PaneSync::PanesChanging() {
    m_link.reset();
}

void PaneSync::PanesChanged() {
    if (!m_frame.Panes().Two()) {
        m_link.reset();
        m_pendingOffset.reset();
        return;
    }
    m_link = std::make_unique<LinkedCursors>(m_frame.Panes().Pane(0)->Video().Cursor(),
                                             m_frame.Panes().Pane(1)->Video().Cursor());
    m_wantLinked = true;
    Relink(0);
}

void PaneSync::VideoChanged(int pane) {
    if (m_link == nullptr) {
        return;
    }
    // The old clock no longer holds. Linked anew once the open is over and the window has shown
    // the new video's first frame: the video that came follows the other.
    m_link->Unlink();
    QMetaObject::invokeMethod(
        this,
        [this, pane] {
            QMetaObject::invokeMethod(
                this, [this, pane] { Relink(1 - pane); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void PaneSync::OpenEnded(int pane, const std::string& path, bool opened) {
    if (!opened) {
        m_pendingOffset.reset();
        return;
    }
    // The new video's link comes after this (VideoChanged), with the offset as set here.
    if (m_pendingOffset) {
        m_offset = *m_pendingOffset;
        m_pendingOffset.reset();
        m_wantLinked = true;
        return;
    }
    // Asked once the open is over, so the partner's open is a job of its own.
    QMetaObject::invokeMethod(
        this, [this, pane, path] { OfferPartner(pane, path); }, Qt::QueuedConnection);
}

void PaneSync::OfferPartner(int pane, const std::string& path) {
    const std::optional<PartnerFound> found = FindPartner(path);
    if (!found) {
        return;
    }
    if (!found->why.empty()) {
        m_frame.ShowMessage(tr("同期ファイルを読めません: %1\n%2")
                                .arg(Name(found->partner), QString::fromStdString(found->why))
                                .toStdString(),
                            MsgButtons::Ok, MsgIcon::Warning);
        return;
    }
    // The offset runs from the first pane to the second.
    const SyncOffset offset = pane == 0 ? found->offset : found->offset.Negated();
    const int other = 1 - pane;
    const VideoPane* otherPane = m_frame.Panes().Pane(other);
    if (otherPane != nullptr && SameFile(otherPane->Video().Path(), found->partner)) {
        m_offset = offset;
        m_wantLinked = true;
        Relink(other);
        return;
    }
    const QString question =
        tr("同期ファイルがあります。もう一方の動画も開きますか?\n%1").arg(Name(found->partner));
    if (m_frame.ShowMessage(question.toStdString(), MsgButtons::YesNo, MsgIcon::Question) !=
        MsgAnswer::Yes) {
        return;
    }
    m_pendingOffset = offset;
    emit m_frame.PaneOpenRequested(found->partner, other);
}

void PaneSync::OnTwoPanes() {
    if (m_frame.Panes().Two()) {
        emit m_frame.SecondPaneCloseRequested();
        return;
    }
    const std::string path = m_frame.Files().ChooseVideo();
    if (!path.empty()) {
        emit m_frame.PaneOpenRequested(path, 1);
    }
}

void PaneSync::OnSameMoment() {
    if (!CanSync()) {
        return;
    }
    const auto frameOf = [this](int pane) {
        const OpenVideo& video = m_frame.Panes().Pane(pane)->Video();
        return video.Cursor().Current() - video.Stream()->GetStart();
    };
    SyncEstimate estimate = NotFound(SyncMethod::kFrames, {});
    if (const auto offset = SyncOffset::FromFrames(Clock(0), frameOf(0), Clock(1), frameOf(1))) {
        estimate = {true, SyncMethod::kFrames, *offset, 1.0, 1, {}};
    } else {
        estimate.why = tr("動画にフレームレートがありません").toStdString();
    }
    Found(estimate);
}

void PaneSync::OnSound() {
    if (!CanSync()) {
        return;
    }
    const std::string a = m_frame.Panes().Pane(0)->Video().Path();
    const std::string b = m_frame.Panes().Pane(1)->Video().Path();
    const std::string caption = tr("音を読んでいます").toStdString();
    m_frame.Jobs().Run<SyncEstimate>(
        [a, b, caption](JobContext& job) {
            ProgressSink& progress = job.Progress();
            progress.Begin(0, 2, caption, PercentLabel::Hidden);
            const ProgressScope scope(progress);
            const AudioRead soundA = ReadMonoAudio(a);
            if (!soundA.why.empty()) {
                return NotFound(SyncMethod::kSound, Name(a).toStdString() + ": " + soundA.why);
            }
            progress.SetPosition(1);
            const AudioRead soundB = ReadMonoAudio(b);
            if (!soundB.why.empty()) {
                return NotFound(SyncMethod::kSound, Name(b).toStdString() + ": " + soundB.why);
            }
            return FindSoundOffset(soundA.audio, soundB.audio, kMaxOffsetSeconds);
        },
        [this](SyncEstimate estimate) { Found(estimate); });
}

void PaneSync::OnFlash() {
    if (!CanSync()) {
        return;
    }
    CAviVideoStream* a = m_frame.Panes().Pane(0)->Video().Stream();
    CAviVideoStream* b = m_frame.Panes().Pane(1)->Video().Stream();
    const VideoClock clockA = Clock(0);
    const VideoClock clockB = Clock(1);
    const std::string caption = tr("閃光を探しています").toStdString();
    // The window only reads the streams while the job runs, as while markers are followed.
    m_frame.Jobs().Run<SyncEstimate>(
        [a, b, clockA, clockB, caption](JobContext& job) {
            ProgressSink& progress = job.Progress();
            const int total = clockA.frames + clockB.frames;
            progress.Begin(0, total, caption, PercentLabel::Shown);
            progress.OfferCancel();
            const ProgressScope scope(progress);
            const auto report = [&progress](int base) {
                return [&progress, base](int done, int /*all*/) {
                    progress.SetPosition(base + done);
                    progress.Pump();
                    return !progress.CancelRequested();
                };
            };
            const std::vector<double> brightA = FrameBrightness(*a, report(0));
            const std::vector<double> brightB = progress.CancelRequested()
                                                    ? std::vector<double>{}
                                                    : FrameBrightness(*b, report(clockA.frames));
            if (progress.CancelRequested()) {
                return NotFound(SyncMethod::kFlash, {});  // nothing to say
            }
            return FindFlashOffset(brightA, clockA, brightB, clockB, kMaxOffsetSeconds);
        },
        [this](SyncEstimate estimate) { Found(estimate); });
}

void PaneSync::OnGaitEvents() {
    if (!CanSync() || m_frame.Gait() == nullptr) {
        return;
    }
    GaitRequest request;
    request.setup = m_frame.Gait()->Setup();
    if (!request.setup.AnyFoot()) {
        m_frame.ShowMessage(
            tr("踵接地で合わせるには、先に足のマーカを指定してください。").toStdString(),
            MsgButtons::Ok, MsgIcon::Information);
        return;
    }
    std::vector<GaitEvent> events[2];
    for (int pane = 0; pane < 2; ++pane) {
        const VideoPane& shown = *m_frame.Panes().Pane(pane);
        GaitRun run = shown.Actions().AnalyseGait(request);
        if (run.failure != GaitRun::kNone || !run.result.ok()) {
            std::string detail = run.result.detail.empty() ? run.result.message : run.result.detail;
            if (detail.empty()) {
                detail = tr("歩行を解析できません").toStdString();
            }
            Found(NotFound(SyncMethod::kEvents,
                           Name(shown.Video().Path()).toStdString() + ": " + detail));
            return;
        }
        events[pane] = std::move(run.analysis.events);
    }
    Found(FindEventOffset(events[0], Clock(0), events[1], Clock(1), kMaxOffsetSeconds));
}

void PaneSync::Found(const SyncEstimate& estimate) {
    if (!estimate.found) {
        if (!estimate.why.empty()) {
            m_frame.ShowMessage(
                tr("ずれを求められません (%1): %2")
                    .arg(MethodText(estimate.method), QString::fromStdString(estimate.why))
                    .toStdString(),
                MsgButtons::Ok, MsgIcon::Warning);
        }
        return;
    }
    m_offset = estimate.offset;
    m_method = estimate.method;
    m_wantLinked = true;
    Relink(m_frame.Panes().Active());
    const QString text = tr("ずれ: %1 秒 (A %2 コマ / B %3 コマ)\n方法: %4  確かさ: %5")
                             .arg(QString::fromStdString(FixedText(m_offset.Seconds(), 3)),
                                  QString::fromStdString(FixedText(m_offset.InFrames(Clock(0)), 1)),
                                  QString::fromStdString(FixedText(m_offset.InFrames(Clock(1)), 1)),
                                  MethodText(estimate.method),
                                  QString::fromStdString(FixedText(estimate.confidence, 2)));
    m_frame.ShowMessage(text.toStdString(), MsgButtons::Ok, MsgIcon::Information);
    Save();
}

void PaneSync::Save() {
    const std::string a = m_frame.Panes().Pane(0)->Video().Path();
    const std::string b = m_frame.Panes().Pane(1)->Video().Path();
    const std::string path = SyncSessionPath(a);
    std::string why;
    if (path == a || path == b) {
        why = tr("ファイルに書き込めません").toStdString();
    } else {
        why = SaveSyncSession({a, b, m_offset, m_method}, path);
    }
    if (!why.empty()) {
        m_frame.ShowMessage(tr("同期ファイルを保存できませんでした: %1\n%2")
                                .arg(QFile::decodeName(path.c_str()), QString::fromStdString(why))
                                .toStdString(),
                            MsgButtons::Ok, MsgIcon::Warning);
        return;
    }
    m_frame.ShowSavedStatus(
        tr("同期ファイルを保存しました: %1").arg(QFile::decodeName(path.c_str())));
}

}  // namespace kivra
