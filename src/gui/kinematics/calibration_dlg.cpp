#include "kinematics/calibration_dlg.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace {

QString PointText(const kivra::ImagePoint& p) {
    return QStringLiteral("(%1, %2)").arg(p.x, 0, 'f', 1).arg(p.y, 0, 'f', 1);
}

void Cross(QPainter& painter, QPoint c, int r) {
    painter.drawLine(c.x() - r, c.y(), c.x() + r, c.y());
    painter.drawLine(c.x(), c.y() - r, c.x(), c.y() + r);
}

}  // namespace

CCalibrationDlg::CCalibrationDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CCalibrationDlg"));
    setWindowTitle(tr("キャリブレーション"));
    auto* layout = new QVBoxLayout(this);
    auto* hint =
        new QLabel(tr("※ 画面上で長さの分かっている2点をクリックし、実際の距離を入力します。\n"
                      "   3点目のクリックで原点を指定できます（省略時は画像の左下）。"),
                   this);
    layout->addWidget(hint);

    auto* form = new QFormLayout;
    m_pFirst = new QLabel(this);
    m_pSecond = new QLabel(this);
    m_pOrigin = new QLabel(this);
    m_pPixels = new QLabel(this);
    m_pScale = new QLabel(this);
    m_pLength = new QDoubleSpinBox(this);
    m_pLength->setObjectName(QStringLiteral("LengthEdit"));
    m_pLength->setRange(0.0, 1e6);
    m_pLength->setDecimals(2);
    m_pLength->setSuffix(QStringLiteral(" mm"));
    m_pLength->setAlignment(Qt::AlignRight);
    form->addRow(tr("点1:"), m_pFirst);
    form->addRow(tr("点2:"), m_pSecond);
    form->addRow(tr("画素距離:"), m_pPixels);
    form->addRow(tr("実際の距離:"), m_pLength);
    form->addRow(tr("スケール:"), m_pScale);
    form->addRow(tr("原点:"), m_pOrigin);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(this);
    m_pOk = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(tr("キャンセル"), QDialogButtonBox::RejectRole);
    m_pClear = buttons->addButton(tr("やり直し"), QDialogButtonBox::ResetRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CCalibrationDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CCalibrationDlg::reject);
    connect(m_pClear, &QPushButton::clicked, this, [this] {
        m_points.clear();
        Refresh();
    });
    connect(m_pLength, &QDoubleSpinBox::valueChanged, this, [this] { Refresh(); });
    connect(this, &QDialog::finished, this, [this] {
        if (m_changed) {
            m_changed();  // the points leave the picture
        }
    });
    Refresh();
}

void CCalibrationDlg::Begin(const std::optional<kivra::Calibration>& current) {
    m_points.clear();
    m_pLength->blockSignals(true);
    m_pLength->setValue(0.0);
    if (current && current->reference) {
        m_points = {current->reference->first, current->reference->second};
        m_pLength->setValue(current->reference->lengthMm);
        if (current->origin) {
            m_points.push_back(*current->origin);
        }
    }
    m_pLength->blockSignals(false);
    Refresh();
}

std::optional<kivra::Calibration> CCalibrationDlg::Result() const {
    if (m_points.size() < 2) {
        return std::nullopt;
    }
    const std::optional<kivra::ImagePoint> origin =
        m_points.size() > 2 ? std::optional(m_points[2]) : std::nullopt;
    return kivra::CalibrationFromPoints(m_points[0], m_points[1], m_pLength->value(), origin);
}

bool CCalibrationDlg::OnPictureClick(kivra::ImagePoint point) {
    if (!isVisible()) {
        return false;
    }
    if (m_points.size() >= 3) {
        m_points.clear();  // a fourth click starts over
    }
    m_points.push_back(point);
    Refresh();
    return true;
}

void CCalibrationDlg::PaintOverPicture(QPainter& painter, const ToView& toView) {
    if (!isVisible() || m_points.empty()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    std::vector<QPoint> at;
    for (const kivra::ImagePoint& p : m_points) {
        const auto v = toView(p);
        at.push_back(v ? QPoint(v->x, v->y) : QPoint(-1000, -1000));
    }
    painter.setPen(QPen(QColor(0, 230, 255), 2));
    if (at.size() >= 2) {
        painter.drawLine(at[0], at[1]);
    }
    for (std::size_t i = 0; i < at.size() && i < 2; ++i) {
        Cross(painter, at[i], 8);
    }
    if (at.size() >= 3) {
        // The origin with its axes: x to the right, y up.
        painter.setPen(QPen(QColor(255, 0, 200), 2));
        Cross(painter, at[2], 6);
        painter.drawLine(at[2], at[2] + QPoint(30, 0));
        painter.drawLine(at[2], at[2] + QPoint(0, -30));
        painter.drawText(at[2] + QPoint(33, 4), QStringLiteral("x"));
        painter.drawText(at[2] + QPoint(-3, -33), QStringLiteral("y"));
    }
    painter.restore();
}

void CCalibrationDlg::accept() {
    const std::optional<kivra::Calibration> result = Result();
    if (!result || (m_accept && !m_accept(*result))) {
        return;
    }
    QDialog::accept();
}

void CCalibrationDlg::Refresh() {
    const auto text = [this](std::size_t i, const QString& none) {
        return i < m_points.size() ? PointText(m_points[i]) : none;
    };
    m_pFirst->setText(text(0, tr("クリックしてください")));
    m_pSecond->setText(
        text(1, m_points.empty() ? QStringLiteral("-") : tr("クリックしてください")));
    m_pOrigin->setText(text(2, tr("画像の左下")));
    if (m_points.size() >= 2) {
        const double pixels =
            std::hypot(m_points[1].x - m_points[0].x, m_points[1].y - m_points[0].y);
        m_pPixels->setText(QStringLiteral("%1 pixel").arg(pixels, 0, 'f', 2));
    } else {
        m_pPixels->setText(QStringLiteral("-"));
    }
    const std::optional<kivra::Calibration> result = Result();
    m_pScale->setText(result ? QStringLiteral("%1 mm/pixel").arg(result->mmPerPixel, 0, 'f', 4)
                             : QStringLiteral("-"));
    m_pOk->setEnabled(result.has_value());
    if (m_changed) {
        m_changed();
    }
}
