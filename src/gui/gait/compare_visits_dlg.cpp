#include "gait/compare_visits_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "compare/visit_comparison.h"

namespace kivra {

CompareVisitsDlg::CompareVisitsDlg(const QString& openName, const QString& openDate,
                                   const QString& otherName, const QString& otherDate,
                                   QWidget* parent)
    : QDialog(parent), m_names{openName, otherName} {
    setWindowTitle(tr("前回と比較"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_before = new QLabel(this);
    m_after = new QLabel(this);
    m_beforeDate = new QLineEdit(otherDate, this);
    m_afterDate = new QLineEdit(openDate, this);
    for (QLineEdit* edit : {m_beforeDate, m_afterDate}) {
        edit->setPlaceholderText(QStringLiteral("YYYY-MM-DD"));
    }
    form->addRow(tr("前回 (比較前):"), m_before);
    form->addRow(tr("前回の日付:"), m_beforeDate);
    form->addRow(tr("今回 (比較後):"), m_after);
    form->addRow(tr("今回の日付:"), m_afterDate);
    layout->addLayout(form);
    m_swap = new QPushButton(tr("前回と今回を入れ替える(&S)"), this);
    layout->addWidget(m_swap);
    m_problem = new QLabel(this);
    m_problem->setStyleSheet(QStringLiteral("color: #b02010"));
    m_problem->hide();
    layout->addWidget(m_problem);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CompareVisitsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CompareVisitsDlg::reject);
    // The dates travel with their videos.
    connect(m_swap, &QPushButton::clicked, this, [this] {
        m_openIsBefore = !m_openIsBefore;
        const QString date = m_beforeDate->text();
        m_beforeDate->setText(m_afterDate->text());
        m_afterDate->setText(date);
        Show();
    });
    Show();
}

void CompareVisitsDlg::Show() {
    m_before->setText(m_names[m_openIsBefore ? 0 : 1]);
    m_after->setText(m_names[m_openIsBefore ? 1 : 0]);
}

QString CompareVisitsDlg::BeforeDate() const {
    return m_beforeDate->text().trimmed();
}

QString CompareVisitsDlg::AfterDate() const {
    return m_afterDate->text().trimmed();
}

void CompareVisitsDlg::accept() {
    for (QLineEdit* edit : {m_beforeDate, m_afterDate}) {
        if (!IsIsoDate(edit->text().trimmed().toStdString())) {
            m_problem->setText(
                tr("日付は YYYY-MM-DD の形で入力してください: %1").arg(edit->text()));
            m_problem->show();
            edit->setFocus();
            return;
        }
    }
    QDialog::accept();
}

}  // namespace kivra
