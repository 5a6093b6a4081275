#pragma once
// The main window's central pane: the timeline strip on top and the frame view below it.
// Creates and owns both children and tells the main frame about them.
#include <QWidget>

class CMainFrame;
class CSliderView;
class CVfwView;

class CBasePaneV : public QWidget {
    Q_OBJECT

public:
    static constexpr int kTimelineHeight = 30;

    explicit CBasePaneV(CMainFrame& frame, QWidget* parent = nullptr);

    CVfwView* m_pVideoView = nullptr;
    CSliderView* m_pSliderView = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;
};
