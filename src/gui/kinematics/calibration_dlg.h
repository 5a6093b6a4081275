#pragma once
// The calibration dialog: while it is shown, clicks on the picture set the two reference points
// and then, optionally, the origin; the user types the real distance between the points in
// millimetres. Modeless; owned by the kinematics tools (a child of the main window), which
// store what it accepts.
#include <QDialog>
#include <functional>
#include <optional>
#include <vector>

#include "kinematics/calibration.h"
#include "view/picture_click_hook.h"

class QDoubleSpinBox;
class QLabel;
class QPushButton;

class CCalibrationDlg : public QDialog, public kivra::PictureClickHook {
    Q_OBJECT

public:
    explicit CCalibrationDlg(QWidget* parent = nullptr);

    // Starts over from a stored calibration (its points, length and origin) or from nothing.
    void Begin(const std::optional<kivra::Calibration>& current);
    // Called with the calibration the user accepted; false keeps the dialog open.
    void SetAcceptHandler(std::function<bool(const kivra::Calibration&)> handler) {
        m_accept = std::move(handler);
    }
    // Called when the points change, so the picture is drawn again.
    void SetChangedHandler(std::function<void()> handler) { m_changed = std::move(handler); }

    // The calibration the dialog holds now; nothing until two points and a length make one.
    std::optional<kivra::Calibration> Result() const;
    const std::vector<kivra::ImagePoint>& Points() const { return m_points; }
    QDoubleSpinBox* LengthEdit() const { return m_pLength; }
    QPushButton* OkButton() const { return m_pOk; }

    // kivra::PictureClickHook: taken only while the dialog is shown.
    bool OnPictureClick(kivra::ImagePoint point) override;
    void PaintOverPicture(QPainter& painter, const ToView& toView) override;

    void accept() override;

private:
    void Refresh();

    std::vector<kivra::ImagePoint> m_points;  // first, second, origin
    QLabel* m_pFirst = nullptr;
    QLabel* m_pSecond = nullptr;
    QLabel* m_pOrigin = nullptr;
    QLabel* m_pPixels = nullptr;
    QLabel* m_pScale = nullptr;
    QDoubleSpinBox* m_pLength = nullptr;
    QPushButton* m_pOk = nullptr;
    QPushButton* m_pClear = nullptr;
    std::function<bool(const kivra::Calibration&)> m_accept;
    std::function<void()> m_changed;
};
