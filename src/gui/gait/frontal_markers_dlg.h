#pragma once
// The front markers dialog: which marker IDs of the front video are the pelvis (right, left),
// the trunk and each leg's hip, knee, ankle and heel, 0 for a marker not placed. Modal; made on
// the stack by the gait tools, which keep what it returns in the front video's events file.
#include <QDialog>

#include "frontal/frontal_measures.h"

class QSpinBox;

namespace kivra {

class FrontalMarkersDlg : public QDialog {
    Q_OBJECT

public:
    FrontalMarkersDlg(const FrontalSetup& setup, const QString& video, QWidget* parent = nullptr);

    // What the dialog holds: the edits read back.
    FrontalSetup Result() const;
    // The edits in the order pelvis right, left, trunk, then hip, knee, ankle, heel of the
    // right and of the left leg.
    QSpinBox* Edit(int index) const { return m_edits[index]; }

private:
    QSpinBox* m_edits[11] = {};
};

}  // namespace kivra
