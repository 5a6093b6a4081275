#include "gait/frontal_markers_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include "kinematics/joint_angle.h"

namespace kivra {

FrontalMarkersDlg::FrontalMarkersDlg(const FrontalSetup& setup, const QString& video,
                                     QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("FrontalMarkersDlg"));
    setWindowTitle(tr("正面のマーカ"));
    const int values[] = {setup.pelvisRight, setup.pelvisLeft,  setup.trunk,      setup.right.hip,
                          setup.right.knee,  setup.right.ankle, setup.right.heel, setup.left.hip,
                          setup.left.knee,   setup.left.ankle,  setup.left.heel};
    for (int i = 0; i < 11; ++i) {
        m_edits[i] = new QSpinBox(this);
        m_edits[i]->setRange(0, kMaxAngleMarkerId);
        m_edits[i]->setSpecialValueText(tr("なし"));  // 0: the marker is not placed
        m_edits[i]->setValue(values[i]);
    }
    auto* layout = new QVBoxLayout(this);
    auto* name = new QLabel(tr("正面の動画: %1").arg(video), this);
    name->setWordWrap(true);
    layout->addWidget(name);
    auto* pelvis = new QGroupBox(tr("骨盤と体幹"), this);
    auto* pelvisForm = new QFormLayout(pelvis);
    pelvisForm->addRow(tr("骨盤 右(&R):"), m_edits[0]);
    pelvisForm->addRow(tr("骨盤 左(&L):"), m_edits[1]);
    pelvisForm->addRow(tr("体幹(&T):"), m_edits[2]);
    layout->addWidget(pelvis);
    auto* legs = new QHBoxLayout;
    for (int leg = 0; leg < 2; ++leg) {
        auto* box = new QGroupBox(leg == 0 ? tr("右脚") : tr("左脚"), this);
        auto* form = new QFormLayout(box);
        const int first = 3 + 4 * leg;
        form->addRow(tr("股関節:"), m_edits[first]);
        form->addRow(tr("膝:"), m_edits[first + 1]);
        form->addRow(tr("足関節:"), m_edits[first + 2]);
        form->addRow(tr("踵:"), m_edits[first + 3]);
        legs->addWidget(box);
    }
    layout->addLayout(legs);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

FrontalSetup FrontalMarkersDlg::Result() const {
    const auto id = [this](int i) { return m_edits[i]->value(); };
    FrontalSetup setup;
    setup.pelvisRight = id(0);
    setup.pelvisLeft = id(1);
    setup.trunk = id(2);
    setup.right = {id(3), id(4), id(5), id(6)};
    setup.left = {id(7), id(8), id(9), id(10)};
    return setup;
}

}  // namespace kivra
