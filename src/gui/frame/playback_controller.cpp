#include "frame/playback_controller.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "geometry/view_geometry.h"
#include "reading/avi_video_stream.h"
#include "session/frame_cursor.h"
#include "settings/inifile_manager.h"
#include "workspace/open_video.h"

CPlaybackController::CPlaybackController(kivra::OpenVideo& video, kivra::PlaybackHost& host,
                                         const kivra::SliderSettings& speed, QObject* parent)
    : QObject(parent), m_video(&video), m_host(host), m_speed(speed), m_cursor(&video.Cursor()) {
    m_forwardTimer.setTimerType(Qt::PreciseTimer);
    m_reverseTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_forwardTimer, &QTimer::timeout, this, &CPlaybackController::OnForwardTick);
    connect(&m_reverseTimer, &QTimer::timeout, this, &CPlaybackController::OnReverseTick);
}

void CPlaybackController::SetVideo(kivra::OpenVideo& video) {
    if (m_video == &video) {
        return;
    }
    Stop();
    m_video = &video;
    m_cursor = &video.Cursor();
    m_dwRateTick = 0;
    UpdateRateStatus();
}

uint32_t CPlaybackController::SystemTickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

int CPlaybackController::CurrentFrame() const {
    return m_cursor->Current();
}

void CPlaybackController::ShowFrame(int n, bool keyRefreshAtZero) {
    if (keyRefreshAtZero && n == 0) {
        KeyFrameRefresh(n);
    }
    m_cursor->MoveTo(n);
}

void CPlaybackController::KeyFrameRefresh(int target) {
    const CAviVideoStream* stream = m_cursor->Stream();
    if (stream == nullptr) {
        return;
    }
    const int at = std::clamp(target, stream->GetStart(), stream->GetEnd());
    m_cursor->ShowBriefly(stream->NextKeyFrame(at), [this] { m_host.RedrawVideoNow(); });
}

CAviVideoStream* CPlaybackController::PlayableStream() const {
    CAviVideoStream* stream = m_cursor->Stream();
    // Without a frame rate there is no play clock: refuse instead of dividing by zero.
    return stream != nullptr && stream->GetFrameRate() > 0.0 ? stream : nullptr;
}

CAviVideoStream* CPlaybackController::StreamToStart() {
    // Both play buttons toggle: pressed while playing, they stop.
    if (IsPlaying()) {
        Stop();
        return nullptr;
    }
    return PlayableStream();
}

void CPlaybackController::Play() {
    CAviVideoStream* stream = StreamToStart();
    if (stream == nullptr) {
        return;
    }
    const double fps = stream->GetFrameRate();
    if (m_video->Session().GetViewMode() == kivra::kAreaMode) {
        m_video->Session().LeaveAreaMode();
    }
    m_bPlay = 1;
    m_bReversePlay = 0;
    m_pPlayStream = stream;
    int current = CurrentFrame();
    if (current < m_video->Session().RangeStart() || current > m_video->Session().RangeEnd()) {
        m_cursor->MoveTo(m_video->Session().RangeStart());
        current = CurrentFrame();
    }
    const uint32_t t = m_tick();
    m_dwPrevTick = t;
    m_dwPlayTime = uint32_t(double(current) / fps * 1000.0);
    m_dwRateTick = t;
    m_nRateFrame = current;
    m_forwardTimer.start(int(1000.0 / fps));
    m_host.SetPlayButtonPlaying(true);
}

void CPlaybackController::OnForwardTick() {
    if (m_pPlayStream == nullptr) {
        return;
    }
    const uint32_t t = m_tick();
    const uint32_t elapsed = t - m_dwPrevTick;  // right across the wrap of the tick count
    const float scaled = float(elapsed) * m_speed.playSpeedRate;
    m_dwPlayTime += scaled > 0.0f ? uint32_t(scaled) : 0u;
    m_dwPrevTick = t;
    const double fps = m_pPlayStream->GetFrameRate();
    const int frame = int(double(m_dwPlayTime) / 1000.0 * fps);
    const int rangeStart = m_video->Session().RangeStart();
    if (frame < m_video->Session().RangeEnd()) {
        ShowFrame(frame);
        return;
    }
    KeyFrameRefresh(rangeStart);
    m_cursor->MoveTo(rangeStart);
    Stop();
}

void CPlaybackController::ReversePlay() {
    CAviVideoStream* stream = StreamToStart();
    if (stream == nullptr) {
        return;
    }
    const double fps = stream->GetFrameRate();
    m_bReversePlay = 1;
    m_pPlayStream = stream;
    const int current = CurrentFrame();
    if (current < m_video->Session().RangeStart() || current > m_video->Session().RangeEnd()) {
        m_cursor->MoveTo(m_video->Session().RangeEnd());
    }
    m_reverseTimer.start(int(1000.0 / fps));
    m_host.SetPlayButtonPlaying(true);
}

void CPlaybackController::OnReverseTick() {
    if (m_pPlayStream == nullptr) {
        return;
    }
    const int current = CurrentFrame();
    if (current <= m_video->Session().RangeStart()) {
        Stop();
        return;
    }
    if (!m_host.PictureShown()) {
        return;
    }
    ShowFrame(current - 1);
}

void CPlaybackController::Stop() {
    m_bPlay = 0;
    m_bReversePlay = 0;
    m_forwardTimer.stop();
    m_reverseTimer.stop();
    m_pPlayStream = nullptr;
    m_host.SetPlayButtonPlaying(false);
}

int CPlaybackController::NearestLandmark(int direction) const {
    const CAviVideoStream* stream = m_cursor->Stream();
    const int cur = CurrentFrame();
    int best = stream == nullptr ? -1 : (direction < 0 ? stream->GetStart() : stream->GetEnd());
    int dist = (best - cur) * direction;
    const int candidates[] = {m_video->Session().RangeStart(), m_video->Session().RangeEnd(),
                              m_video->Session().Area1().frame, m_video->Session().Area2().frame};
    for (int i = 0; i < 4; ++i) {
        const int c = candidates[i];
        const int away = (c - cur) * direction;
        // Unset area frames are skipped; on a tie the earlier candidate stays.
        if ((i >= 2 && c < 0) || away <= 0 || away >= dist) {
            continue;
        }
        best = c;
        dist = away;
    }
    return best;
}

void CPlaybackController::First() {
    ShowFrame(NearestLandmark(-1), true);
}

void CPlaybackController::Last() {
    ShowFrame(NearestLandmark(+1));
}

void CPlaybackController::Previous() {
    ShowFrame(CurrentFrame() - 1);
}

void CPlaybackController::Next() {
    ShowFrame(CurrentFrame() + 1);
}

void CPlaybackController::UpdateRateStatus() {
    const CAviVideoStream* stream = m_cursor->Stream();
    const auto text = [](double measured, double nominal) {
        return QString::asprintf("%3.2f / %3.2f(fps)", measured, nominal);
    };
    if (!m_video->IsOpen() || stream == nullptr) {
        m_host.SetRateText(text(0.0, 0.0));
        m_dwRateTick = 0;
        return;
    }
    const double fps = stream->GetFrameRate();
    if (m_bPlay != 0) {
        const uint32_t now = m_tick();
        const int d = CurrentFrame() - m_nRateFrame;
        if (std::abs(d) >= 2 && now != m_dwRateTick) {
            const double measured = d / (double(uint32_t(now - m_dwRateTick)) / 1000.0);
            m_host.SetRateText(text(measured, fps));
            m_dwRateTick = now;
            m_nRateFrame = CurrentFrame();
        }
        return;
    }
    if (m_bReversePlay != 0) {
        const uint32_t now = m_tick();
        if (m_dwRateTick != 0 && now != m_dwRateTick) {
            m_host.SetRateText(text(1000.0 / double(uint32_t(now - m_dwRateTick)), fps));
        }
        m_dwRateTick = now;
        return;
    }
    m_host.SetRateText(text(0.0, fps));
    m_dwRateTick = 0;
}

bool CPlaybackController::CanPlay() const {
    return m_video->IsOpen();
}

bool CPlaybackController::CanStop() const {
    return m_video->IsOpen() && IsPlaying();
}

bool CPlaybackController::CanStep() const {
    return m_video->IsOpen() && !IsPlaying();
}
