#pragma once
// The plot window: the chosen markers' x and y and the named angles against time, a line at
// the current frame, a click that asks for the frame under it, and the plot saved as PNG or
// SVG. A window of its own, owned by the kinematics tools (a child of the main window); it
// only shows the table it is handed.
#include <QWidget>
#include <optional>
#include <set>

#include "kinematics/kinematics_table.h"

class QChart;
class QChartView;
class QGraphicsLineItem;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QValueAxis;

class CKinematicsPlotWnd : public QWidget {
    Q_OBJECT

public:
    explicit CKinematicsPlotWnd(QWidget* parent = nullptr);

    // The table over the frames first ... last (the time axis spans them all).
    void SetTable(const kivra::KinematicsTable& table, int firstFrame, int lastFrame);
    // Nothing to plot, and why.
    void SetMessage(const QString& text);
    void SetCurrentFrame(int frame);
    int CurrentFrame() const { return m_nCurrent; }

    // Where the current-frame line stands, in the chart view's viewport pixels; nothing while
    // it is hidden.
    std::optional<double> CurrentFrameLineX() const;
    // The viewport point over frame's time, halfway up the plot area; nothing outside the axis.
    std::optional<QPoint> ViewportPointOfFrame(int frame) const;

    // PNG unless the name ends in ".svg"; the file is replaced in one step.
    bool SaveImage(const QString& path) const;

    QChart* Chart() const { return m_pChart; }
    QChartView* ChartView() const { return m_pChartView; }
    // The series keys chosen now: "M02" for a marker's x and y, an angle's name otherwise.
    const std::set<QString>& Chosen() const { return m_chosen; }
    void Choose(const QString& key, bool shown);

signals:
    // The user clicked the plot at this frame's time.
    void frameRequested(int frame);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RebuildList();
    void RebuildSeries();
    void PlaceLine();
    void OnSave();
    // The x-axis value of a frame: seconds, or the frame itself without a frame rate.
    double XOf(int frame) const;
    std::optional<int> FrameAtX(double x) const;

    QChart* m_pChart = nullptr;  // owned by the chart view
    QChartView* m_pChartView = nullptr;
    QValueAxis* m_pAxisX = nullptr;  // owned by the chart
    QValueAxis* m_pAxisPosition = nullptr;
    QValueAxis* m_pAxisAngle = nullptr;
    QGraphicsLineItem* m_pLine = nullptr;  // child item of the chart
    QListWidget* m_pList = nullptr;
    QLabel* m_pMessage = nullptr;
    std::optional<kivra::KinematicsTable> m_table;
    int m_nFirst = 0;
    int m_nLast = 0;
    int m_nCurrent = -1;
    std::set<QString> m_chosen;
    bool m_bChoiceMade = false;  // the user (or a first default) chose the series
    bool m_bFilling = false;     // the list is being rebuilt
};
