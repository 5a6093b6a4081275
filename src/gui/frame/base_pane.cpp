#include "frame/base_pane.h"

#include <QResizeEvent>
#include <algorithm>

#include "frame/slider_view.h"
#include "view/vfw_view.h"

CBasePaneV::CBasePaneV(kivra::SliderViewHost& sliderHost, kivra::FrameViewHost& viewHost,
                       QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("CBasePaneV"));
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    setCursor(Qt::ArrowCursor);

    m_pSliderView =
        new CSliderView(sliderHost, this);  // owned by this pane through the widget tree
    m_pVideoView = new CVfwView(viewHost, this);
}

void CBasePaneV::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int cx = event->size().width();
    const int cy = event->size().height();
    m_pSliderView->setGeometry(0, 0, cx, kTimelineHeight);
    m_pVideoView->setGeometry(0, kTimelineHeight, cx, std::max(cy - kTimelineHeight, 0));
}
