#pragma once
// Moves the current frame: timed forward play at the set speed, reverse play one frame per
// tick, stop, first/previous/next/last with landmarks, and the frame-rate pane. Owned by the
// main frame, one for the window: it works on the active video, reads its range, areas and
// view mode and the speed setting, moves through the video's frame cursor (which tells the
// trackbar and the views), and reaches the window only through PlaybackHost.
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>

class CAviVideoStream;

namespace kivra {

class FrameCursor;
class OpenVideo;
struct SliderSettings;

// What playback shows in the window: the picture now, the play button, the rate pane.
class PlaybackHost {
public:
    virtual ~PlaybackHost() = default;
    // Asks for the shown frame's picture so that it is decoded and painted, even when the
    // frame moves on before it arrives.
    virtual void RedrawVideoNow() = 0;
    // The picture on screen is the current frame's: reverse play waits for it, so every frame
    // is seen in order however slowly pictures come.
    virtual bool PictureShown() const { return true; }
    virtual void SetPlayButtonPlaying(bool playing) = 0;
    virtual void SetRateText(const QString& text) = 0;
};

}  // namespace kivra

class CPlaybackController : public QObject {
    Q_OBJECT

public:
    // video and speed (its play speed, read at each start) must outlive the controller.
    CPlaybackController(kivra::OpenVideo& video, kivra::PlaybackHost& host,
                        const kivra::SliderSettings& speed, QObject* parent = nullptr);

    // From now on works on video (stopped first); it must outlive its turn.
    void SetVideo(kivra::OpenVideo& video);
    kivra::OpenVideo& Video() const { return *m_video; }

    void Play();
    void ReversePlay();
    void Stop();
    void First();
    void Previous();
    void Next();
    void Last();
    void UpdateRateStatus();

    // The shared procedures other commands use.
    void ShowFrame(int n, bool keyRefreshAtZero = false);
    // Repaints through the key frame after target, so the decoder starts over from it; the
    // move to target comes after, so what follows it shows target.
    void KeyFrameRefresh(int target);

    bool IsForwardPlaying() const { return m_bPlay != 0; }
    bool IsReversePlaying() const { return m_bReversePlay != 0; }
    bool IsPlaying() const { return m_bPlay != 0 || m_bReversePlay != 0; }

    // Enable rules of the playback commands.
    bool CanPlay() const;
    bool CanStop() const;
    bool CanStep() const;

    // The millisecond tick count, unsigned 32-bit so it wraps like the system's.
    void SetTickSource(std::function<uint32_t()> tick) { m_tick = std::move(tick); }
    static uint32_t SystemTickCount();

    // Timer handlers, public so tests can drive them without waiting.
    void OnForwardTick();
    void OnReverseTick();

    int TimerInterval() const {
        return m_forwardTimer.isActive() ? m_forwardTimer.interval() : m_reverseTimer.interval();
    }

    int m_bPlay = 0;
    int m_bReversePlay = 0;
    CAviVideoStream* m_pPlayStream = nullptr;
    uint32_t m_dwPrevTick = 0;
    uint32_t m_dwPlayTime = 0;
    uint32_t m_dwRateTick = 0;
    int m_nRateFrame = 0;

private:
    int CurrentFrame() const;
    // Stops a running play and gives null, else the stream to start playing (or null).
    CAviVideoStream* StreamToStart();
    // The open stream when it has a frame rate to play at, else null.
    CAviVideoStream* PlayableStream() const;
    // The nearest of the stream's end, the play range's ends and the area frames before
    // (direction -1) or after (+1) the current frame.
    int NearestLandmark(int direction) const;

    kivra::OpenVideo* m_video;
    kivra::PlaybackHost& m_host;
    const kivra::SliderSettings& m_speed;
    kivra::FrameCursor* m_cursor;
    QTimer m_forwardTimer;  // timer 1
    QTimer m_reverseTimer;  // timer 2
    std::function<uint32_t()> m_tick = &CPlaybackController::SystemTickCount;
};
