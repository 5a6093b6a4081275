#pragma once
// Which of two videos is the visit before and which the one after, and each visit's date, for
// the comparison report. Modal; made on the stack by the gait tools.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kivra {

class CompareVisitsDlg : public QDialog {
    Q_OBJECT

public:
    // The open video starts as the visit after; dates are YYYY-MM-DD.
    CompareVisitsDlg(const QString& openName, const QString& openDate, const QString& otherName,
                     const QString& otherDate, QWidget* parent = nullptr);

    bool OpenIsBefore() const { return m_openIsBefore; }
    // As typed; valid once accepted.
    QString BeforeDate() const;
    QString AfterDate() const;

    QPushButton* SwapButton() const { return m_swap; }
    QLineEdit* BeforeDateEdit() const { return m_beforeDate; }
    QLineEdit* AfterDateEdit() const { return m_afterDate; }

    // A date that is no date keeps the dialog open, saying so.
    void accept() override;

private:
    void Show();

    QString m_names[2];  // the open video's, the other's
    bool m_openIsBefore = false;
    QLabel* m_before = nullptr;
    QLabel* m_after = nullptr;
    QLineEdit* m_beforeDate = nullptr;
    QLineEdit* m_afterDate = nullptr;
    QPushButton* m_swap = nullptr;
    QLabel* m_problem = nullptr;
};

}  // namespace kivra
