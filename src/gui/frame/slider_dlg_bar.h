#pragma once
// The slider bar "スライダー": a trackbar that mirrors the current frame and lets the user pick
// one, and the list of play speeds. Lives in a toolbar of the main frame, which owns it and
// answers its requests through SliderBarActions.
#include <QWidget>
#include <functional>
#include <utility>

#include "session/frame_cursor.h"

class QComboBox;
class QSlider;
class QToolBar;

namespace kivra {

struct SliderSettings;

// What the bar asks of the main frame. Empty members are skipped.
struct SliderBarActions {
    std::function<bool()> isForwardPlaying;
    std::function<void()> stop;  // the Stop command
    std::function<void()> play;  // the Play command
    // The user moved the trackbar to `frame`: set the stream's position, apply the marker-ID
    // reset rule and update all views.
    std::function<void(int frame)> frameChosen;
};

}  // namespace kivra

class CSliderDlgBar : public QWidget {
    Q_OBJECT

public:
    explicit CSliderDlgBar(QWidget* parent = nullptr);

    // Puts the bar into a new toolbar titled "スライダー" for the top dock; the toolbar owns
    // the bar from then on and starts hidden.
    QToolBar* WrapInToolBar(QWidget* parent);

    void SetActions(kivra::SliderBarActions actions) { m_actions = std::move(actions); }

    // Selects the speed item that reads exactly like PlaySpeedRate with one decimal, or none.
    // `settings` must outlive the bar.
    bool InitializeBar(kivra::SliderSettings& settings);

    // A newly opened video of `frameCount` frames: position 0, range 0 .. frameCount, a tick
    // and a page every frameCount / 20 frames, line size 1.
    void ResetTrackbar(int frameCount);
    // Mirrors the current frame, clamped to the trackbar's range; reports nothing back.
    void SetPos(int frame);
    // From now on the trackbar stands wherever cursor moves.
    void FollowFrames(const kivra::FrameCursor& cursor);
    int GetPos() const;

    QSlider* Trackbar() const { return m_wndSlider; }
    QComboBox* SpeedList() const { return m_pSpeedList; }

    QSlider* m_wndSlider = nullptr;  // child widget, "Slider1"
    int m_nSpeedIndex = -1;

private:
    void OnSpeedSelected(int index);
    void OnTrackbarValueChanged(int value);

    QComboBox* m_pSpeedList = nullptr;
    kivra::SliderSettings* m_pSettings = nullptr;  // not owned
    kivra::SliderBarActions m_actions;
    bool m_bSettingPos = false;  // our own trackbar changes are not the user's
    kivra::FrameCursor::Subscription m_frameFollow;
};
