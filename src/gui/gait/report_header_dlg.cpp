#include "gait/report_header_dlg.h"

#include <QComboBox>
#include <QDate>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace kivra {
namespace {

QString Shown(const std::string& text) {
    return QString::fromStdString(text);
}

// Widths typed with a Japanese input method ("８５０．５") read as the digits they are.
QString Narrow(const QString& text) {
    return text.normalized(QString::NormalizationForm_KC).trimmed();
}

}  // namespace

ReportHeaderDlg::ReportHeaderDlg(const ReportHeader& header, QWidget* parent)
    : QDialog(parent), m_result(header) {
    setObjectName(QStringLiteral("ReportHeaderDlg"));
    setWindowTitle(tr("患者・検査情報"));
    m_patient = new QLineEdit(Shown(header.patient), this);
    m_birth = new QLineEdit(Shown(header.birth), this);
    m_birth->setPlaceholderText(tr("例: 1950-04-01 または 74歳"));
    m_visit = new QLineEdit(
        header.visit.empty() ? QDate::currentDate().toString(Qt::ISODate) : Shown(header.visit),
        this);
    m_examiner = new QLineEdit(Shown(header.examiner), this);
    m_condition = new QComboBox(this);
    m_condition->setEditable(true);
    m_condition->setInsertPolicy(QComboBox::NoInsert);
    m_condition->addItems({tr("裸足"), tr("靴"), tr("装具"), tr("歩行補助具")});
    m_condition->setCurrentIndex(-1);
    m_condition->setEditText(Shown(header.condition));
    m_comment = new QPlainTextEdit(Shown(header.comment), this);
    m_comment->setTabChangesFocus(true);
    m_legLength = new QLineEdit(this);
    m_legLength->setPlaceholderText(tr("空欄: 記載しない"));
    if (header.legLengthMm) {
        m_legLength->setText(QString::number(*header.legLengthMm, 'g', 10));
    }

    auto* form = new QFormLayout;
    form->addRow(tr("氏名またはID(&N):"), m_patient);
    form->addRow(tr("生年月日または年齢(&B):"), m_birth);
    form->addRow(tr("検査日(&D):"), m_visit);
    form->addRow(tr("検査者(&E):"), m_examiner);
    form->addRow(tr("歩行条件(&W):"), m_condition);
    form->addRow(tr("コメント(&C):"), m_comment);
    form->addRow(tr("脚長 (mm)(&L):"), m_legLength);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    resize(480, sizeHint().height());
    m_message = [this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); };
}

void ReportHeaderDlg::accept() {
    ReportHeader result;
    result.patient = m_patient->text().toStdString();
    result.birth = m_birth->text().toStdString();
    result.visit = m_visit->text().toStdString();
    result.examiner = m_examiner->text().toStdString();
    result.condition = m_condition->currentText().toStdString();
    result.comment = m_comment->toPlainText().toStdString();
    const QString leg = Narrow(m_legLength->text());
    if (!leg.isEmpty()) {
        result.legLengthMm = ParseLegLength(leg.toStdString());
        if (!result.legLengthMm) {
            m_message(tr("脚長は 0 より大きく %1 mm 未満の数値で入力してください。")
                          .arg(kMaxLegLengthMm));
            m_legLength->setFocus();
            return;
        }
    }
    if (FormatReportHeader(result).size() > kMaxReportHeaderBytes) {
        m_message(tr("入力が長すぎます。コメントを短くしてください。"));
        return;
    }
    m_result = std::move(result);
    QDialog::accept();
}

}  // namespace kivra
