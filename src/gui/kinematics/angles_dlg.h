#pragma once
// The angles dialog: the named joint angles (a name and three marker IDs: proximal, joint,
// distal) and the low-pass filter of the trajectories. Modal; made on the stack by the
// kinematics tools, which store what it returns.
#include <QDialog>
#include <functional>

#include "kinematics/kinematics_settings.h"

class QCheckBox;
class QDoubleSpinBox;
class QPushButton;
class QTableWidget;

class CAnglesDlg : public QDialog {
    Q_OBJECT

public:
    CAnglesDlg(const kivra::KinematicsSettings& settings, int maxId, QWidget* parent = nullptr);

    // What the dialog holds; valid after it was accepted.
    const kivra::KinematicsSettings& Result() const { return m_result; }

    QTableWidget* Table() const { return m_pTable; }
    QPushButton* AddButton() const { return m_pAdd; }
    QCheckBox* FilterCheck() const { return m_pFilter; }
    QDoubleSpinBox* CutoffEdit() const { return m_pCutoff; }
    // Appends a row (the "追加" button).
    void AddRow(const kivra::NamedAngle& angle);

    // Reads the rows back; a row that is wrong is named in a message and the dialog stays.
    void accept() override;

    // Where messages go; a message box over the dialog by default.
    void SetMessageSink(std::function<void(const QString&)> sink) { m_message = std::move(sink); }

private:
    QTableWidget* m_pTable = nullptr;
    QPushButton* m_pAdd = nullptr;
    QCheckBox* m_pFilter = nullptr;
    QDoubleSpinBox* m_pCutoff = nullptr;
    int m_nMaxId;
    kivra::KinematicsSettings m_result;
    std::vector<kivra::ClinicalAngle> m_joints;  // not edited here
    std::function<void(const QString&)> m_message;
};
