#pragma once
// The gait-cycle plot window: one joint angle over 0..100 % of the cycle per side (each stride
// faint, the mean bold, its SD band, the clinic's normal band of that angle behind), where
// stance gives way to swing, and a line at the current frame's place in its cycle that follows
// stepping and playback. A window of its own, a child of the main window; it shows what it is
// handed.
#include <QWidget>

#include <optional>

#include "gait/gait_analysis.h"

class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLineSeries;
class QValueAxis;

namespace kivra {

class GaitCyclePlot : public QWidget {
    Q_OBJECT

public:
    explicit GaitCyclePlot(QWidget* parent = nullptr);

    // Each angle is drawn over its own normal bands, from the analysis.
    void SetAnalysis(const GaitAnalysis& analysis);
    QLabel* DeviationLabel() const { return m_deviation; }
    // Nothing to plot, and why.
    void SetMessage(const QString& text);
    void SetCurrentFrame(int frame);

    // The angle shown, by name; false when the analysis has no such angle.
    bool ShowAngle(const QString& name);
    QString ShownAngle() const;
    // Where the current frame lies in its cycle, per side; nothing outside every stride.
    std::optional<double> CursorPercent(FootSide side) const;
    QChart* Chart() const { return m_chart; }

private:
    void Rebuild();
    void PlaceCursors();

    QChart* m_chart = nullptr;  // owned by the chart view
    QChartView* m_view = nullptr;
    QComboBox* m_angles = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_deviation = nullptr;  // the shown angle's distance from its bands
    QValueAxis* m_axisX = nullptr;  // owned by the chart
    QValueAxis* m_axisY = nullptr;
    QLineSeries* m_cursor[2] = {nullptr, nullptr};  // right, left; owned by the chart
    std::optional<GaitAnalysis> m_analysis;
    int m_frame = -1;
    std::optional<double> m_cursorPercent[2];
};

}  // namespace kivra
