#pragma once
// The mosaic-shape bar "モザイク領域の形": a picture list of the four mosaic shapes. The user's
// choice goes to the main frame, which runs its mosaic command and sets the selection back.
// Lives in a toolbar of the main frame, which owns it.
#include <QPixmap>
#include <QWidget>
#include <functional>
#include <utility>

class QComboBox;
class QToolBar;

class CMosaicSizeDlgBar : public QWidget {
    Q_OBJECT

public:
    static constexpr int kImageWidth = 24;
    static constexpr int kImageHeight = 18;

    explicit CMosaicSizeDlgBar(QWidget* parent = nullptr);

    // Puts the bar into a new toolbar titled "モザイク領域の形" for the top dock; the toolbar
    // owns the bar from then on.
    QToolBar* WrapInToolBar(QWidget* parent);

    // Called with the chosen index (0 none, 1 to 3 types 1 to 3) when the user confirms a
    // choice, even the one already shown.
    void SetOnSelected(std::function<void(int index)> onSelected) {
        m_onSelected = std::move(onSelected);
    }

    // Fills the list from string 2026 with the shape pictures and selects `mosaicRectType`.
    bool InitializeBar(int mosaicRectType);

    // Shows `index` without reporting it; an index outside the list shows no selection.
    void Select(int index);
    int Selected() const;

    QComboBox* ShapeList() const { return m_pComboBox; }

    // The picture of one mosaic shape, kImageWidth x kImageHeight.
    static QPixmap ShapePicture(int type);

private:
    void OnActivated(int index);

    QComboBox* m_pComboBox = nullptr;  // child widget
    std::function<void(int)> m_onSelected;
};
