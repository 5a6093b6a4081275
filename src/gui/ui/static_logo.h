#pragma once
// The about box's logo: paints a picture at its top-left corner at its own size, with every
// pixel of the key colour (230, 230, 230) left transparent. Owns its picture; the parent
// dialog supplies it.
#include <QImage>
#include <QPixmap>
#include <QWidget>

class CStaticLogo : public QWidget {
public:
    explicit CStaticLogo(QWidget* parent = nullptr);

    static QColor KeyColour() { return QColor(230, 230, 230); }

    // Replaces the picture held before; a null image leaves the control blank.
    void SetBitmap(const QImage& picture);
    bool HasBitmap() const { return !m_picture.isNull(); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_picture;
};

namespace kivra {

// The program's logo, drawn on the key colour so that CStaticLogo shows only the mark.
QImage MakeKivraLogo();

}  // namespace kivra
