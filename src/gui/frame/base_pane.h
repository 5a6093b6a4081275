#pragma once
// The main window's central pane: the timeline strip on top and the frame view below it.
// Creates and owns both children; the main frame, which hosts both, takes them from here.
#include <QWidget>

class CSliderView;
class CVfwView;

namespace kivra {
class FrameViewHost;
class SliderViewHost;
}  // namespace kivra

class CBasePaneV : public QWidget {
    Q_OBJECT

public:
    static constexpr int kTimelineHeight = 30;

    CBasePaneV(kivra::SliderViewHost& sliderHost, kivra::FrameViewHost& viewHost,
               QWidget* parent = nullptr);

    CVfwView* VideoView() const { return m_pVideoView; }
    CSliderView* SliderView() const { return m_pSliderView; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    CVfwView* m_pVideoView = nullptr;  // children of this pane
    CSliderView* m_pSliderView = nullptr;
};
