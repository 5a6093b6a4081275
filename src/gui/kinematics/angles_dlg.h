#pragma once
// The angles dialog: the named joint angles (a name and three marker IDs: proximal, joint,
// distal), the clinical joints (side, joint and their three marker IDs) and the low-pass
// filter of the trajectories. Modal; made on the stack by the kinematics tools, which store
// what it returns.
#include <QDialog>
#include <functional>
#include <optional>
#include <vector>

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
    QTableWidget* JointTable() const { return m_pJointTable; }
    QPushButton* AddJointButton() const { return m_pAddJoint; }
    QPushButton* RemoveJointButton() const { return m_pRemoveJoint; }
    QCheckBox* FilterCheck() const { return m_pFilter; }
    QDoubleSpinBox* CutoffEdit() const { return m_pCutoff; }
    // Appends a row (the "追加" button).
    void AddRow(const kivra::NamedAngle& angle);
    // Appends a clinical joint's row; a hip without a proximal marker shows "-" (the vertical).
    void AddJointRow(const kivra::ClinicalAngle& joint);

    // Reads the rows back; a row that is wrong is named in a message and the dialog stays.
    void accept() override;

    // Where messages go; a message box over the dialog by default.
    void SetMessageSink(std::function<void(const QString&)> sink) { m_message = std::move(sink); }

private:
    // The joints in the table's rows, or nothing after telling what is wrong.
    std::optional<std::vector<kivra::ClinicalAngle>> ReadJoints();
    // The ID columns' headings and tooltips follow the joint of the row.
    void ShowJointRoles();
    void Tell(const QString& text);

    QTableWidget* m_pTable = nullptr;
    QPushButton* m_pAdd = nullptr;
    QTableWidget* m_pJointTable = nullptr;
    QPushButton* m_pAddJoint = nullptr;
    QPushButton* m_pRemoveJoint = nullptr;
    QCheckBox* m_pFilter = nullptr;
    QDoubleSpinBox* m_pCutoff = nullptr;
    int m_nMaxId;
    kivra::KinematicsSettings m_result;
    std::function<void(const QString&)> m_message;
};
