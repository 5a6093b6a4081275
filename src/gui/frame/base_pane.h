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

    CVfwView* m_pVideoView = nullptr;
    CSliderView* m_pSliderView = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;
};
