#include "frame/mosaic_size_dlg_bar.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QToolBar>

#include "platform/string_ids.h"
#include "platform/string_table.h"

namespace {

constexpr int kShapeCount = 4;

// The pieces of a comma list: empty fields are skipped, each piece is trimmed, and the list
// ends at the first piece that trims to nothing.
QStringList SplitShapeNames(const QString& text) {
    QStringList names;
    for (const QString& field : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString name = field.trimmed();
        if (name.isEmpty()) {
            break;
        }
        names << name;
    }
    return names;
}

}  // namespace

CMosaicSizeDlgBar::CMosaicSizeDlgBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("CMosaicSizeDlgBar"));
    setWindowTitle(QString::fromStdString(kivra::LoadString(kivra::kIdsMosaicBarCaption)));

    m_pComboBox = new QComboBox(this);
    m_pComboBox->setObjectName(QStringLiteral("MosaicShapeList"));
    m_pComboBox->setEditable(false);
    m_pComboBox->setIconSize(QSize(kImageWidth, kImageHeight));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(m_pComboBox);

    connect(m_pComboBox, &QComboBox::activated, this, &CMosaicSizeDlgBar::OnActivated);
}

QToolBar* CMosaicSizeDlgBar::WrapInToolBar(QWidget* parent) {
    auto* bar = new QToolBar(windowTitle(), parent);
    bar->setObjectName(QStringLiteral("MosaicSizeDlgBar"));  // the key of the saved bar layout
    bar->setAllowedAreas(Qt::TopToolBarArea);
    bar->addWidget(this);
    return bar;
}

bool CMosaicSizeDlgBar::InitializeBar(int mosaicRectType) {
    m_pComboBox->clear();
    const QStringList names =
        SplitShapeNames(QString::fromStdString(kivra::LoadString(kivra::kIdsMosaicShapeNames)));
    for (int i = 0; i < names.size(); ++i) {
        m_pComboBox->addItem(QIcon(ShapePicture(i)), names[i]);
    }
    Select(mosaicRectType);
    return true;
}

void CMosaicSizeDlgBar::Select(int index) {
    m_pComboBox->setCurrentIndex(index >= 0 && index < m_pComboBox->count() ? index : -1);
}

int CMosaicSizeDlgBar::Selected() const {
    return m_pComboBox->currentIndex();
}

void CMosaicSizeDlgBar::OnActivated(int index) {
    if (m_onSelected && index >= 0) {
        m_onSelected(index);
    }
}

QPixmap CMosaicSizeDlgBar::ShapePicture(int type) {
    QImage image(kImageWidth, kImageHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (type < 0 || type >= kShapeCount) {
        return QPixmap::fromImage(image);
    }
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // A portrait trimming box with a walker in it; the mosaic part is drawn as coarse cells.
    const QRectF box(6.5, 0.5, 12, 16);
    p.setPen(QPen(QColor(40, 40, 40), 1.0));
    p.setBrush(QColor(250, 250, 250));
    p.drawRect(box);
    p.setPen(QPen(QColor(70, 110, 170), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(QColor(70, 110, 170));
    p.drawEllipse(QPointF(12.5, 4.5), 2.0, 2.0);
    p.drawLine(QPointF(12.5, 7), QPointF(12.5, 12));
    p.drawLine(QPointF(12.5, 12), QPointF(10.5, 15.5));
    p.drawLine(QPointF(12.5, 12), QPointF(14.5, 15.5));
    p.drawLine(QPointF(10.5, 9.5), QPointF(14.5, 9.5));

    // The shapes are exaggerated a little over the real proportions so they read at 24 px.
    QRect mosaic;
    switch (type) {
        case 1:
            mosaic = QRect(10, 1, 6, 6);
            break;
        case 2:
            mosaic = QRect(9, 1, 8, 8);
            break;
        case 3:
            mosaic = QRect(7, 1, 12, 6);
            break;
        default:
            break;
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    constexpr int kCell = 2;
    for (int y = mosaic.top(); y <= mosaic.bottom(); y += kCell) {
        for (int x = mosaic.left(); x <= mosaic.right(); x += kCell) {
            const bool dark = ((x - mosaic.left()) / kCell + (y - mosaic.top()) / kCell) % 2 == 0;
            p.setBrush(dark ? QColor(110, 110, 110) : QColor(190, 190, 190));
            p.drawRect(QRect(x, y, kCell, kCell).intersected(mosaic));
        }
    }
    if (!mosaic.isEmpty()) {
        p.setPen(QPen(QColor(214, 62, 52), 1.0));
        p.setBrush(Qt::NoBrush);
        p.drawRect(mosaic.adjusted(0, 0, -1, -1));
    }
    p.end();
    return QPixmap::fromImage(image);
}
