#pragma once
// The foot markers dialog: which marker IDs are the heel and the toe of each foot, optionally
// the pelvis, and the filter of the trajectories before the events are looked for. Modal;
// made on the stack by the gait commands, which store what it returns in [Gait].
#include <QDialog>
#include <functional>

#include "gait/gait_setup.h"

class QCheckBox;
class QDoubleSpinBox;
class QGroupBox;
class QSpinBox;

namespace kivra {

class FootMarkersDlg : public QDialog {
    Q_OBJECT

public:
    FootMarkersDlg(const GaitSetup& setup, int maxId, QWidget* parent = nullptr);

    // What the dialog holds; valid after it was accepted.
    const GaitSetup& Result() const { return m_result; }

    QGroupBox* FootBox(FootSide side) const { return m_foot[side == FootSide::kRight ? 0 : 1]; }
    QSpinBox* HeelEdit(FootSide side) const { return m_heel[side == FootSide::kRight ? 0 : 1]; }
    QSpinBox* ToeEdit(FootSide side) const { return m_toe[side == FootSide::kRight ? 0 : 1]; }
    QCheckBox* PelvisCheck() const { return m_pelvisCheck; }
    QSpinBox* PelvisEdit() const { return m_pelvis; }
    QCheckBox* FilterCheck() const { return m_filter; }
    QDoubleSpinBox* CutoffEdit() const { return m_cutoff; }

    // Reads the choice back; one that cannot work (no foot, a heel that is its toe) is named
    // in a message and the dialog stays.
    void accept() override;

    // Where messages go; a message box over the dialog by default.
    void SetMessageSink(std::function<void(const QString&)> sink) { m_message = std::move(sink); }

private:
    QGroupBox* m_foot[2] = {};
    QSpinBox* m_heel[2] = {};
    QSpinBox* m_toe[2] = {};
    QCheckBox* m_pelvisCheck = nullptr;
    QSpinBox* m_pelvis = nullptr;
    QCheckBox* m_filter = nullptr;
    QDoubleSpinBox* m_cutoff = nullptr;
    GaitSetup m_result;
    std::function<void(const QString&)> m_message;
};

}  // namespace kivra
