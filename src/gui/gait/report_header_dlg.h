#pragma once
// The report header dialog: the patient, the visit and the walking condition a gait report is
// about, as typed for one video. Modal; made on the stack by the gait tools, which read and
// write the video's header file around it.
#include <QDialog>

#include <functional>

#include "gait/report_header.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;

namespace kivra {

class ReportHeaderDlg : public QDialog {
    Q_OBJECT

public:
    // An empty visit date shows today's, as YYYY-MM-DD.
    explicit ReportHeaderDlg(const ReportHeader& header, QWidget* parent = nullptr);

    // What the dialog holds; valid after it was accepted.
    const ReportHeader& Result() const { return m_result; }

    QLineEdit* PatientEdit() const { return m_patient; }
    QLineEdit* BirthEdit() const { return m_birth; }
    QLineEdit* VisitEdit() const { return m_visit; }
    QLineEdit* ExaminerEdit() const { return m_examiner; }
    QComboBox* ConditionChoice() const { return m_condition; }  // editable: any words
    QPlainTextEdit* CommentEdit() const { return m_comment; }
    QLineEdit* LegLengthEdit() const { return m_legLength; }  // mm; empty: not given

    // Reads the fields back; a leg length that is no length, or texts too long to keep, are
    // named in a message and the dialog stays.
    void accept() override;

    // Where messages go; a message box over the dialog by default.
    void SetMessageSink(std::function<void(const QString&)> sink) { m_message = std::move(sink); }

private:
    QLineEdit* m_patient = nullptr;
    QLineEdit* m_birth = nullptr;
    QLineEdit* m_visit = nullptr;
    QLineEdit* m_examiner = nullptr;
    QComboBox* m_condition = nullptr;
    QPlainTextEdit* m_comment = nullptr;
    QLineEdit* m_legLength = nullptr;
    ReportHeader m_result;
    std::function<void(const QString&)> m_message;
};

}  // namespace kivra
