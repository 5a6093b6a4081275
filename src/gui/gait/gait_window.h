#pragma once
// The gait analysis window: the heel strikes and toe-offs as a list the user edits, the stride
// parameters as a table and the joint angles over the gait cycle. It shows what the gait tools
// hand it and asks them for every change; a child window of the main window, made by them.
#include <QWidget>

#include <optional>

#include "gait/gait_analysis.h"

class QAction;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace kivra {

class GaitCyclePlot;

class GaitWindow : public QWidget {
    Q_OBJECT

public:
    explicit GaitWindow(QWidget* parent = nullptr);

    // edited: the events are the user's (or the events file's), not detected now.
    void SetAnalysis(const GaitAnalysis& analysis, bool edited);
    // Nothing to show, and why; the events listed stay editable.
    void SetMessage(const QString& text, const std::vector<GaitEvent>& events, double fps);
    void SetCurrentFrame(int frame);
    // The front view's tab: its curves over the side's strides (view: the side's analysis with
    // the frontal cycles in place of the sagittal ones) and summary, or, with none, why.
    void SetFrontal(const GaitAnalysis* view, const std::vector<ParameterSummary>& summary,
                    const QString& message);

    // The event of the list's selected row.
    std::optional<GaitEvent> SelectedEvent() const;
    void SelectEvent(const GaitEvent& event);

    QTableWidget* EventTable() const { return m_events; }
    QTableWidget* ParameterTable() const { return m_parameters; }
    GaitCyclePlot* Plot() const { return m_plot; }
    GaitCyclePlot* FrontalPlot() const { return m_frontalPlot; }
    QTableWidget* FrontalTable() const { return m_frontalTable; }
    QLabel* FrontalLabel() const { return m_frontalLabel; }
    QComboBox* SideChoice() const { return m_side; }
    QComboBox* KindChoice() const { return m_kind; }
    QPushButton* AddButton() const { return m_add; }
    QPushButton* MoveButton() const { return m_move; }
    QPushButton* DeleteButton() const { return m_delete; }
    QPushButton* DetectButton() const { return m_detect; }
    QPushButton* ReportButton() const { return m_report; }
    QPushButton* HeaderButton() const { return m_header; }
    QLabel* StatusLabel() const { return m_status; }
    // What the numbers leave out: strides left out and feet without strides, with why.
    QLabel* NotesLabel() const { return m_notes; }

signals:
    void frameRequested(int frame);
    // An event of the chosen side and kind at the current frame.
    void addRequested(kivra::GaitEvent event);
    void moveRequested(kivra::GaitEvent event, int toFrame);
    void deleteRequested(kivra::GaitEvent event);
    void detectRequested();
    void reportRequested();
    void headerRequested();  // the patient and visit for the report, without writing it
    void footMarkersRequested();
    void frontalMarkersRequested();  // the front video's marker roles
    void referenceRequested();       // a band file to add
    void referencesCleared();        // no band any more

private:
    void ShowEvents(const std::vector<GaitEvent>& events, double fps);
    void ShowParameters(const GaitParameters* parameters, const ProfileDeviation* deviation);
    void UpdateButtons();

    QLabel* m_status = nullptr;
    QLabel* m_notes = nullptr;
    QAction* m_clearBands = nullptr;  // owned by the band button's menu
    QTableWidget* m_events = nullptr;
    QTableWidget* m_parameters = nullptr;
    GaitCyclePlot* m_plot = nullptr;
    GaitCyclePlot* m_frontalPlot = nullptr;
    QTableWidget* m_frontalTable = nullptr;
    QLabel* m_frontalLabel = nullptr;
    QComboBox* m_side = nullptr;
    QComboBox* m_kind = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_move = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_detect = nullptr;
    QPushButton* m_report = nullptr;
    QPushButton* m_header = nullptr;
    std::vector<GaitEvent> m_shown;  // the list's rows
    int m_frame = -1;
};

}  // namespace kivra
