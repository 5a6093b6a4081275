#include "gait/foot_markers_dlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kivra {

FootMarkersDlg::FootMarkersDlg(const GaitSetup& setup, int maxId, QWidget* parent)
    : QDialog(parent), m_result(setup) {
    setObjectName(QStringLiteral("FootMarkersDlg"));
    setWindowTitle(tr("足のマーカ"));
    const int top = std::max(maxId, 1);
    auto* layout = new QVBoxLayout(this);
    auto* feet = new QHBoxLayout;
    for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
        const int i = side == FootSide::kRight ? 0 : 1;
        const std::optional<FootMarkers>& foot = i == 0 ? setup.right : setup.left;
        m_foot[i] = new QGroupBox(i == 0 ? tr("右足(&R)") : tr("左足(&L)"), this);
        m_foot[i]->setCheckable(true);
        m_foot[i]->setChecked(foot.has_value());
        auto* form = new QFormLayout(m_foot[i]);
        m_heel[i] = new QSpinBox(m_foot[i]);
        m_toe[i] = new QSpinBox(m_foot[i]);
        for (QSpinBox* edit : {m_heel[i], m_toe[i]}) {
            edit->setRange(1, top);
        }
        m_heel[i]->setValue(foot ? foot->heelId : 1);
        m_toe[i]->setValue(foot ? foot->toeId : 2);
        form->addRow(tr("踵のID:"), m_heel[i]);
        form->addRow(tr("つま先のID:"), m_toe[i]);
        feet->addWidget(m_foot[i]);
    }
    layout->addLayout(feet);
    auto* options = new QFormLayout;
    m_pelvisCheck = new QCheckBox(tr("骨盤(&P):"), this);
    m_pelvis = new QSpinBox(this);
    m_pelvis->setRange(1, top);
    m_pelvis->setValue(setup.pelvisId > 0 ? setup.pelvisId : 1);
    m_pelvisCheck->setChecked(setup.pelvisId > 0);
    m_pelvis->setEnabled(setup.pelvisId > 0);
    connect(m_pelvisCheck, &QCheckBox::toggled, m_pelvis, &QWidget::setEnabled);
    options->addRow(m_pelvisCheck, m_pelvis);
    m_filter = new QCheckBox(tr("ローパスフィルタ(&F):"), this);
    m_cutoff = new QDoubleSpinBox(this);
    m_cutoff->setRange(0.1, 1000.0);
    m_cutoff->setDecimals(1);
    m_cutoff->setSuffix(QStringLiteral(" Hz"));
    m_cutoff->setValue(setup.filterHz > 0 ? setup.filterHz : 6.0);
    m_filter->setChecked(setup.filterHz > 0);
    m_cutoff->setEnabled(setup.filterHz > 0);
    connect(m_filter, &QCheckBox::toggled, m_cutoff, &QWidget::setEnabled);
    options->addRow(m_filter, m_cutoff);
    layout->addLayout(options);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    m_message = [this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); };
}

void FootMarkersDlg::accept() {
    GaitSetup result = m_result;  // what the dialog does not show, such as the band, stays
    result.right.reset();
    result.left.reset();
    for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
        const int i = side == FootSide::kRight ? 0 : 1;
        if (!m_foot[i]->isChecked()) {
            continue;
        }
        if (m_heel[i]->value() == m_toe[i]->value()) {
            m_message(tr("踵とつま先には別のIDを指定してください。"));
            return;
        }
        (i == 0 ? result.right : result.left) = FootMarkers{m_heel[i]->value(), m_toe[i]->value()};
    }
    if (!result.AnyFoot()) {
        m_message(tr("少なくとも片方の足を指定してください。"));
        return;
    }
    result.pelvisId = m_pelvisCheck->isChecked() ? m_pelvis->value() : 0;
    result.filterHz = m_filter->isChecked() ? m_cutoff->value() : 0.0;
    m_result = result;
    QDialog::accept();
}

}  // namespace kivra
