#include "ui/help_dlg.h"

#include <QFile>
#include <QImageReader>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

#include "geometry/trimming_param.h"
#include "platform/settings_folder.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"

namespace kivra {

QImage LoadNavigatorPicture(const std::string& path) {
    constexpr qint64 kMaxSide = 8192;
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray header = file.read(34);
    if (header.size() < 34 || !header.startsWith("BM"))
        return {};
    const auto field = [&](int at, int width) {
        quint32 value = 0;
        for (int i = width - 1; i >= 0; --i)
            value = (value << 8) | uchar(header[at + i]);
        return value;
    };
    // Only uncompressed 24-bit pictures, and all their pixels must be in the file: a short
    // file is refused rather than shown half black.
    const qint64 width = qint32(field(18, 4));
    const qint64 height = std::abs(qint64(qint32(field(22, 4))));
    if (field(28, 2) != 24 || field(30, 4) != 0 || width <= 0 || width > kMaxSide || height <= 0 ||
        height > kMaxSide)
        return {};
    const qint64 rowBytes = (width * 24 + 31) / 32 * 4;
    if (file.size() < qint64(field(10, 4)) + rowBytes * height)
        return {};
    file.close();

    QImageReader reader(QString::fromStdString(path), "bmp");
    reader.setDecideFormatFromContent(false);
    QImage picture;
    if (!reader.read(&picture))
        return {};
    return picture;
}

QPoint NavigatorPosition(const QRect& mainFrameGeometry, int clientTop, int mosaicBarHeight,
                         int timelineHeight, const QSize& navigatorSize, const QRect& screen) {
    int x = mainFrameGeometry.x() + mainFrameGeometry.width();
    if (x + navigatorSize.width() > screen.x() + screen.width())
        x = screen.x() + screen.width() - navigatorSize.width();
    int y = clientTop + mosaicBarHeight + timelineHeight + 5;
    if (y + navigatorSize.height() > screen.y() + screen.height())
        y = screen.y() + screen.height() - navigatorSize.height();
    // A navigator larger than the screen keeps its caption reachable.
    return {std::max(x, screen.x()), std::max(y, screen.y())};
}

}  // namespace kivra

CHelpDlg::CHelpDlg(kivra::TrimmingMode trimmingMode, QWidget* parent,
                   const std::string& pictureFolder, kivra::UiLanguage language)
    : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    const std::string folder = pictureFolder.empty() ? kivra::GetProgramFolder() : pictureFolder;
    const auto load = [&folder, language](const char* japanese, const char* english) {
        QImage picture;
        if (language == kivra::UiLanguage::English) {
            picture = kivra::LoadNavigatorPicture(folder + "/" + english);
        }
        return picture.isNull() ? kivra::LoadNavigatorPicture(folder + "/" + japanese) : picture;
    };
    m_side = load(kSidePictureName, kSidePictureNameEn);
    m_front = load(kFrontPictureName, kFrontPictureNameEn);
    // Sized to the front picture; with none, small but still with a usable caption.
    const QSize client = m_front.isNull() ? QSize(240, 40) : m_front.size();
    setFixedSize(client);
    move(0, 0);
    SetTrimmingMode(trimmingMode);
}

const QImage& CHelpDlg::CurrentPicture() const {
    return m_trimmingMode == kivra::kFrontMode ? m_front : m_side;
}

void CHelpDlg::SetTrimmingMode(kivra::TrimmingMode trimmingMode) {
    m_trimmingMode = trimmingMode;
    setWindowTitle(QString::fromStdString(
        kivra::LoadString(trimmingMode == kivra::kFrontMode ? kivra::kIdsFrontNavigatorCaption
                                                            : kivra::kIdsSideNavigatorCaption)));
    update();
}

void CHelpDlg::paintEvent(QPaintEvent*) {
    const QImage& picture = CurrentPicture();
    if (!picture.isNull())
        QPainter(this).drawImage(0, 0, picture);
}

void CHelpDlg::keyPressEvent(QKeyEvent* event) {
    // Escape would close a dialog; the navigator stays until it is closed on purpose.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
