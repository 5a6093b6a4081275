#include "kinematics/angles_dlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int kNameColumn = 0;
constexpr double kUsualGaitCutoff = 6.0;  // Hz

}  // namespace

CAnglesDlg::CAnglesDlg(const kivra::KinematicsSettings& settings, int maxId, QWidget* parent)
    : QDialog(parent),
      m_nMaxId(std::clamp(maxId, 3, kivra::kMaxAngleMarkerId)),
      m_joints(settings.joints) {
    setObjectName(QStringLiteral("CAnglesDlg"));
    setWindowTitle(tr("関節角度"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(tr("※ 角度は関節のマーカで2つの体節がなす角 (0〜180°) です。"), this));

    m_pTable = new QTableWidget(0, 4, this);
    m_pTable->setHorizontalHeaderLabels({tr("名前"), tr("近位 ID"), tr("関節 ID"), tr("遠位 ID")});
    m_pTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_pTable->verticalHeader()->setVisible(false);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    layout->addWidget(m_pTable);

    auto* rowButtons = new QHBoxLayout;
    auto* add = m_pAdd = new QPushButton(tr("追加(&A)"), this);
    auto* remove = new QPushButton(tr("削除(&D)"), this);
    rowButtons->addWidget(add);
    rowButtons->addWidget(remove);
    rowButtons->addStretch();
    layout->addLayout(rowButtons);
    connect(add, &QPushButton::clicked, this, [this] {
        AddRow({QStringLiteral("angle%1").arg(m_pTable->rowCount() + 1).toStdString(), 1, 2, 3});
        m_pTable->editItem(m_pTable->item(m_pTable->rowCount() - 1, kNameColumn));
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        const int row = m_pTable->currentRow();
        if (row >= 0) {
            m_pTable->removeRow(row);
        }
    });

    auto* filterBox = new QGroupBox(tr("軌跡のフィルタ"), this);
    auto* filterLayout = new QHBoxLayout(filterBox);
    m_pFilter = new QCheckBox(tr("ローパスフィルタ (ゼロラグ4次バターワース)"), filterBox);
    m_pCutoff = new QDoubleSpinBox(filterBox);
    m_pCutoff->setRange(0.1, 1000.0);
    m_pCutoff->setDecimals(1);
    m_pCutoff->setSuffix(QStringLiteral(" Hz"));
    m_pCutoff->setValue(settings.filterHz > 0.0 ? settings.filterHz : kUsualGaitCutoff);
    m_pFilter->setChecked(settings.filterHz > 0.0);
    m_pCutoff->setEnabled(m_pFilter->isChecked());
    filterLayout->addWidget(m_pFilter);
    filterLayout->addWidget(new QLabel(tr("遮断周波数:"), filterBox));
    filterLayout->addWidget(m_pCutoff);
    connect(m_pFilter, &QCheckBox::toggled, m_pCutoff, &QWidget::setEnabled);
    layout->addWidget(filterBox);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CAnglesDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CAnglesDlg::reject);
    layout->addWidget(buttons);

    for (const kivra::NamedAngle& angle : settings.angles) {
        AddRow(angle);
    }
    resize(460, 360);
}

void CAnglesDlg::AddRow(const kivra::NamedAngle& angle) {
    const int row = m_pTable->rowCount();
    m_pTable->insertRow(row);
    m_pTable->setItem(row, kNameColumn, new QTableWidgetItem(QString::fromStdString(angle.name)));
    const int ids[] = {angle.proximal, angle.joint, angle.distal};
    for (int c = 0; c < 3; ++c) {
        auto* spin = new QSpinBox(m_pTable);
        spin->setRange(1, std::max(m_nMaxId, ids[c]));
        spin->setValue(ids[c]);
        m_pTable->setCellWidget(row, c + 1, spin);
    }
}

void CAnglesDlg::accept() {
    const auto tell = [this](const QString& text) {
        if (m_message) {
            m_message(text);
        } else {
            QMessageBox::warning(this, windowTitle(), text);
        }
    };
    kivra::KinematicsSettings result;
    result.joints = m_joints;  // set on the command line or by hand in the ini; kept as they are
    for (int row = 0; row < m_pTable->rowCount(); ++row) {
        const QTableWidgetItem* item = m_pTable->item(row, kNameColumn);
        QString text = (item != nullptr ? item->text().trimmed() : QString()) + QLatin1Char('=');
        for (int c = 1; c <= 3; ++c) {
            const auto* spin = qobject_cast<const QSpinBox*>(m_pTable->cellWidget(row, c));
            text += QString::number(spin != nullptr ? spin->value() : 0) +
                    (c < 3 ? QStringLiteral(",") : QString());
        }
        const std::optional<kivra::NamedAngle> angle = kivra::ParseNamedAngle(text.toStdString());
        if (!angle) {
            tell(tr("%1 行目: 名前は空にできず、「, = ; \"」は使えません。"
                    "3つのマーカ ID は異なる番号にしてください。")
                     .arg(row + 1));
            return;
        }
        result.angles.push_back(*angle);
    }
    if (const auto twice = kivra::DuplicateAngleName(result.angles)) {
        tell(tr("名前「%1」が2回使われています。").arg(QString::fromStdString(*twice)));
        return;
    }
    result.filterHz = m_pFilter->isChecked() ? m_pCutoff->value() : 0.0;
    m_result = std::move(result);
    QDialog::accept();
}
