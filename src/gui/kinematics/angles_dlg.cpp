#include "kinematics/angles_dlg.h"

#include <QCheckBox>
#include <QComboBox>
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
#include <array>
#include <utility>

namespace {

constexpr int kNameColumn = 0;
constexpr double kUsualGaitCutoff = 6.0;  // Hz

constexpr int kSideColumn = 0;
constexpr int kJointColumn = 1;
constexpr int kFirstIdColumn = 2;
// An ID cell keeps the ID it was given, which stays acceptable past the dialog's bound (as the
// plain rows' spin boxes keep theirs): the settings may come from a larger marker set.
constexpr int kGivenIdRole = Qt::UserRole;

// The markers a joint's three IDs stand for, in order.
std::array<QString, 3> JointRoles(kivra::ClinicalJoint joint) {
    switch (joint) {
        case kivra::ClinicalJoint::kHip:
            return {CAnglesDlg::tr("体幹"), CAnglesDlg::tr("股"), CAnglesDlg::tr("膝")};
        case kivra::ClinicalJoint::kKnee:
            return {CAnglesDlg::tr("股"), CAnglesDlg::tr("膝"), CAnglesDlg::tr("足首")};
        case kivra::ClinicalJoint::kAnkle:
            break;
    }
    return {CAnglesDlg::tr("膝"), CAnglesDlg::tr("足首"), CAnglesDlg::tr("つま先")};
}

bool MayBeVertical(kivra::ClinicalJoint joint, int idIndex) {
    return joint == kivra::ClinicalJoint::kHip && idIndex == 0;
}

QComboBox* ComboAt(const QTableWidget* table, int row, int column) {
    return qobject_cast<QComboBox*>(table->cellWidget(row, column));
}

kivra::LimbSide SideOf(const QTableWidget* table, int row) {
    const QComboBox* combo = ComboAt(table, row, kSideColumn);
    return combo != nullptr ? kivra::LimbSide(combo->currentData().toInt())
                            : kivra::LimbSide::kRight;
}

kivra::ClinicalJoint JointOf(const QTableWidget* table, int row) {
    const QComboBox* combo = ComboAt(table, row, kJointColumn);
    return combo != nullptr ? kivra::ClinicalJoint(combo->currentData().toInt())
                            : kivra::ClinicalJoint::kKnee;
}

}  // namespace

CAnglesDlg::CAnglesDlg(const kivra::KinematicsSettings& settings, int maxId, QWidget* parent)
    : QDialog(parent), m_nMaxId(std::clamp(maxId, 3, kivra::kMaxAngleMarkerId)) {
    setObjectName(QStringLiteral("CAnglesDlg"));
    setWindowTitle(tr("関節角度"));
    auto* layout = new QVBoxLayout(this);

    auto* plainBox = new QGroupBox(tr("3点の角度"), this);
    auto* plainLayout = new QVBoxLayout(plainBox);
    plainLayout->addWidget(
        new QLabel(tr("※ 角度は関節のマーカで2つの体節がなす角 (0〜180°) です。"), plainBox));
    m_pTable = new QTableWidget(0, 4, plainBox);
    m_pTable->setHorizontalHeaderLabels({tr("名前"), tr("近位 ID"), tr("関節 ID"), tr("遠位 ID")});
    m_pTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_pTable->verticalHeader()->setVisible(false);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    plainLayout->addWidget(m_pTable);

    auto* rowButtons = new QHBoxLayout;
    auto* add = m_pAdd = new QPushButton(tr("追加(&A)"), plainBox);
    auto* remove = new QPushButton(tr("削除(&D)"), plainBox);
    rowButtons->addWidget(add);
    rowButtons->addWidget(remove);
    rowButtons->addStretch();
    plainLayout->addLayout(rowButtons);
    layout->addWidget(plainBox, 1);
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

    auto* jointBox = new QGroupBox(tr("関節角度（臨床）"), this);
    auto* jointLayout = new QVBoxLayout(jointBox);
    auto* convention = new QLabel(
        tr("※ 直立姿勢で 0°。股・膝の屈曲と足関節の背屈が正、膝の過伸展は負です。"), jointBox);
    convention->setWordWrap(true);
    jointLayout->addWidget(convention);
    m_pJointTable = new QTableWidget(0, 5, jointBox);
    m_pJointTable->setHorizontalHeaderLabels(
        {tr("側"), tr("関節"), tr("近位 ID"), tr("中央 ID"), tr("遠位 ID")});
    m_pJointTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // The combos' columns as wide as the combos, whatever the language.
    for (const auto& [column, texts] :
         {std::pair{kSideColumn, QStringList{tr("右"), tr("左")}},
          std::pair{kJointColumn, QStringList{tr("股関節"), tr("膝関節"), tr("足関節")}}}) {
        QComboBox probe;
        probe.addItems(texts);
        const QString heading = m_pJointTable->horizontalHeaderItem(column)->text();
        m_pJointTable->horizontalHeader()->setSectionResizeMode(column, QHeaderView::Fixed);
        m_pJointTable->setColumnWidth(
            column, std::max(probe.sizeHint().width(),
                             m_pJointTable->fontMetrics().horizontalAdvance(heading) + 16));
    }
    m_pJointTable->verticalHeader()->setVisible(false);
    m_pJointTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    jointLayout->addWidget(m_pJointTable);
    auto* legend = new QLabel(tr("股関節のマーカ: 体幹・股・膝 (体幹が空欄か「-」なら画面の鉛直)\n"
                                 "膝関節のマーカ: 股・膝・足首\n"
                                 "足関節のマーカ: 膝・足首・つま先"),
                              jointBox);
    legend->setWordWrap(true);
    jointLayout->addWidget(legend);
    for (int c = kFirstIdColumn; c < kFirstIdColumn + 3; ++c) {
        m_pJointTable->horizontalHeaderItem(c)->setToolTip(legend->text());
    }
    connect(m_pJointTable, &QTableWidget::currentCellChanged, this, &CAnglesDlg::ShowJointRoles);

    auto* jointButtons = new QHBoxLayout;
    m_pAddJoint = new QPushButton(tr("追加(&J)"), jointBox);
    m_pRemoveJoint = new QPushButton(tr("削除(&E)"), jointBox);
    jointButtons->addWidget(m_pAddJoint);
    jointButtons->addWidget(m_pRemoveJoint);
    jointButtons->addStretch();
    jointLayout->addLayout(jointButtons);
    layout->addWidget(jointBox);
    connect(m_pAddJoint, &QPushButton::clicked, this, [this] {
        // The first joint not in the table yet, right before left, hip to ankle (walked backwards:
        // the last one free wins).
        const auto taken = [this](kivra::LimbSide side, kivra::ClinicalJoint joint) {
            for (int row = 0; row < m_pJointTable->rowCount(); ++row) {
                if (SideOf(m_pJointTable, row) == side && JointOf(m_pJointTable, row) == joint) {
                    return true;
                }
            }
            return false;
        };
        kivra::ClinicalAngle next;
        for (const auto side : {kivra::LimbSide::kLeft, kivra::LimbSide::kRight}) {
            for (const auto joint : {kivra::ClinicalJoint::kAnkle, kivra::ClinicalJoint::kKnee,
                                     kivra::ClinicalJoint::kHip}) {
                if (!taken(side, joint)) {
                    next = {side, joint, 0, 0, 0};
                }
            }
        }
        AddJointRow(next);
        const int row = m_pJointTable->rowCount() - 1;
        const int column = kFirstIdColumn + (next.joint == kivra::ClinicalJoint::kHip ? 1 : 0);
        m_pJointTable->setCurrentCell(row, column);
        m_pJointTable->editItem(m_pJointTable->item(row, column));
    });
    connect(m_pRemoveJoint, &QPushButton::clicked, this, [this] {
        const int row = m_pJointTable->currentRow();
        if (row >= 0) {
            m_pJointTable->removeRow(row);
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
    for (const kivra::ClinicalAngle& joint : settings.joints) {
        AddJointRow(joint);
    }
    // A leg has six joints: the table needs no more room than that, the named angles may.
    m_pJointTable->setMaximumHeight(m_pJointTable->horizontalHeader()->sizeHint().height() +
                                    6 * m_pJointTable->verticalHeader()->defaultSectionSize() +
                                    2 * m_pJointTable->frameWidth());
    resize(580, 700);
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

void CAnglesDlg::AddJointRow(const kivra::ClinicalAngle& joint) {
    const int row = m_pJointTable->rowCount();
    m_pJointTable->insertRow(row);
    auto* side = new QComboBox(m_pJointTable);
    side->addItem(tr("右"), int(kivra::LimbSide::kRight));
    side->addItem(tr("左"), int(kivra::LimbSide::kLeft));
    side->setCurrentIndex(side->findData(int(joint.side)));
    m_pJointTable->setCellWidget(row, kSideColumn, side);
    auto* which = new QComboBox(m_pJointTable);
    which->addItem(tr("股関節"), int(kivra::ClinicalJoint::kHip));
    which->addItem(tr("膝関節"), int(kivra::ClinicalJoint::kKnee));
    which->addItem(tr("足関節"), int(kivra::ClinicalJoint::kAnkle));
    which->setCurrentIndex(which->findData(int(joint.joint)));
    m_pJointTable->setCellWidget(row, kJointColumn, which);
    const int ids[] = {joint.proximal, joint.middle, joint.distal};
    for (int c = 0; c < 3; ++c) {
        const QString text = ids[c] > 0                      ? QString::number(ids[c])
                             : MayBeVertical(joint.joint, c) ? QStringLiteral("-")
                                                             : QString();
        auto* item = new QTableWidgetItem(text);
        item->setData(kGivenIdRole, ids[c]);
        m_pJointTable->setItem(row, kFirstIdColumn + c, item);
    }
    for (QComboBox* combo : {side, which}) {
        connect(combo, &QComboBox::currentIndexChanged, this, [this, combo] {
            for (int r = 0; r < m_pJointTable->rowCount(); ++r) {
                if (m_pJointTable->cellWidget(r, kSideColumn) == combo ||
                    m_pJointTable->cellWidget(r, kJointColumn) == combo) {
                    m_pJointTable->setCurrentCell(r, kJointColumn);
                    // "-" (the vertical) belongs to the hip alone: follow a change of joint.
                    QTableWidgetItem* first = m_pJointTable->item(r, kFirstIdColumn);
                    const bool hip = JointOf(m_pJointTable, r) == kivra::ClinicalJoint::kHip;
                    if (first != nullptr && hip && first->text().trimmed().isEmpty()) {
                        first->setText(QStringLiteral("-"));
                    } else if (first != nullptr && !hip && first->text().trimmed() == "-") {
                        first->setText(QString());
                    }
                }
            }
            ShowJointRoles();
        });
    }
    ShowJointRoles();
}

void CAnglesDlg::ShowJointRoles() {
    for (int row = 0; row < m_pJointTable->rowCount(); ++row) {
        const kivra::ClinicalJoint joint = JointOf(m_pJointTable, row);
        const std::array<QString, 3> roles = JointRoles(joint);
        for (int c = 0; c < 3; ++c) {
            if (QTableWidgetItem* item = m_pJointTable->item(row, kFirstIdColumn + c)) {
                item->setToolTip(
                    MayBeVertical(joint, c)
                        ? tr("%1のマーカ ID。空欄か「-」なら画面の鉛直を基準にします。")
                              .arg(roles[size_t(c)])
                        : tr("%1のマーカ ID").arg(roles[size_t(c)]));
            }
        }
    }
    const int current = m_pJointTable->currentRow();
    std::array<QString, 3> headings{tr("近位 ID"), tr("中央 ID"), tr("遠位 ID")};
    if (current >= 0) {
        const std::array<QString, 3> roles = JointRoles(JointOf(m_pJointTable, current));
        for (std::size_t c = 0; c < 3; ++c) {
            headings[c] = tr("%1 ID").arg(roles[c]);
        }
    }
    for (int c = 0; c < 3; ++c) {
        m_pJointTable->horizontalHeaderItem(kFirstIdColumn + c)->setText(headings[size_t(c)]);
    }
}

void CAnglesDlg::Tell(const QString& text) {
    if (m_message) {
        m_message(text);
    } else {
        QMessageBox::warning(this, windowTitle(), text);
    }
}

std::optional<std::vector<kivra::ClinicalAngle>> CAnglesDlg::ReadJoints() {
    std::vector<kivra::ClinicalAngle> joints;
    for (int row = 0; row < m_pJointTable->rowCount(); ++row) {
        kivra::ClinicalAngle angle{SideOf(m_pJointTable, row), JointOf(m_pJointTable, row)};
        const QString where = tr("関節角度（臨床）の %1 行目 (%2%3): ")
                                  .arg(row + 1)
                                  .arg(ComboAt(m_pJointTable, row, kSideColumn)->currentText(),
                                       ComboAt(m_pJointTable, row, kJointColumn)->currentText());
        const std::array<QString, 3> roles = JointRoles(angle.joint);
        int* const ids[] = {&angle.proximal, &angle.middle, &angle.distal};
        for (int c = 0; c < 3; ++c) {
            const QTableWidgetItem* item = m_pJointTable->item(row, kFirstIdColumn + c);
            // NFKC: IDs typed with the input method on arrive as full-width digits.
            const QString text =
                item != nullptr ? item->text().normalized(QString::NormalizationForm_KC).trimmed()
                                : QString();
            const QString& role = roles[size_t(c)];
            if (MayBeVertical(angle.joint, c) && (text.isEmpty() || text == QStringLiteral("-"))) {
                *ids[c] = 0;
                continue;
            }
            if (text.isEmpty()) {
                Tell(where + tr("%1のマーカ ID を入れてください。").arg(role));
                return std::nullopt;
            }
            bool number = false;
            const int id = text.toInt(&number);
            if (!number) {
                Tell(where + tr("%1のマーカ ID「%2」は番号ではありません。").arg(role, text));
                return std::nullopt;
            }
            const bool given = id > 0 && item->data(kGivenIdRole).toInt() == id;
            if (id < 1 || (id > m_nMaxId && !given)) {
                Tell(where + tr("%1のマーカ ID %2 は 1〜%3 の範囲にありません。")
                                 .arg(role)
                                 .arg(id)
                                 .arg(m_nMaxId));
                return std::nullopt;
            }
            *ids[c] = id;
        }
        // The joints are kept in the ini in their text form and one that does not read back
        // drops them all at the next start; what the cells cannot show is a repeated ID.
        if (!kivra::ParseClinicalAngle(kivra::FormatClinicalAngle(angle))) {
            Tell(where + tr("3つのマーカ ID は異なる番号にしてください。"));
            return std::nullopt;
        }
        for (std::size_t earlier = 0; earlier < joints.size(); ++earlier) {
            if (joints[earlier].side == angle.side && joints[earlier].joint == angle.joint) {
                Tell(where + tr("%1 行目と同じ関節です。").arg(earlier + 1));
                return std::nullopt;
            }
        }
        joints.push_back(angle);
    }
    return joints;
}

void CAnglesDlg::accept() {
    kivra::KinematicsSettings result;
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
            Tell(tr("%1 行目: 名前は空にできず、「, = ; \"」は使えません。"
                    "3つのマーカ ID は異なる番号にしてください。")
                     .arg(row + 1));
            return;
        }
        result.angles.push_back(*angle);
    }
    if (const auto twice = kivra::DuplicateAngleName(result.angles)) {
        Tell(tr("名前「%1」が2回使われています。").arg(QString::fromStdString(*twice)));
        return;
    }
    std::optional<std::vector<kivra::ClinicalAngle>> joints = ReadJoints();
    if (!joints) {
        return;
    }
    result.joints = std::move(*joints);
    result.filterHz = m_pFilter->isChecked() ? m_pCutoff->value() : 0.0;
    m_result = std::move(result);
    QDialog::accept();
}
