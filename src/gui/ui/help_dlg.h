#pragma once
// The navigator "操作方法": a modeless window showing the operating guide picture of the
// current trimming mode. The main frame creates it when shown; it deletes itself when closed,
// so the frame keeps it in a QPointer.
#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <string>

#include "geometry/trimming_param.h"
#include "platform/ui_language.h"

class CHelpDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* kSidePictureName = "help_s_jp.bmp";
    static constexpr const char* kFrontPictureName = "help_f_jp.bmp";
    static constexpr const char* kSidePictureNameEn = "help_s_en.bmp";
    static constexpr const char* kFrontPictureNameEn = "help_f_en.bmp";

    // Loads both pictures of `language` from `pictureFolder` (the program folder unless a
    // test says otherwise); an English picture that is missing gives way to the Japanese one,
    // and a missing or unreadable picture stays empty and paints nothing.
    explicit CHelpDlg(kivra::TrimmingMode trimmingMode, QWidget* parent = nullptr,
                      const std::string& pictureFolder = {},
                      kivra::UiLanguage language = kivra::UiLanguage::Japanese);

    // Caption and picture follow the frame's trimming mode (kivra::kSideMode/kFrontMode).
    void SetTrimmingMode(kivra::TrimmingMode trimmingMode);
    kivra::TrimmingMode TrimmingMode() const { return m_trimmingMode; }

    const QImage& SidePicture() const { return m_side; }
    const QImage& FrontPicture() const { return m_front; }
    const QImage& CurrentPicture() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QImage m_side;
    QImage m_front;
    kivra::TrimmingMode m_trimmingMode = kivra::kSideMode;
};

namespace kivra {

// A 24-bit BMP guide picture; null when the file is missing, not such a picture, or larger
// than a screen could show.
QImage LoadNavigatorPicture(const std::string& path);

// Where the navigator goes when it opens: right of the main window, its top level with the
// video (the client top plus the mosaic-shape bar and the timeline plus 5), moved back inside
// `screen` where it would pass the right or bottom edge. All in screen coordinates;
// `clientTop` is the top of the main window's client area, under the menu and above the bars;
// `navigatorSize` is its outer size, frame included.
QPoint NavigatorPosition(const QRect& mainFrameGeometry, int clientTop, int mosaicBarHeight,
                         int timelineHeight, const QSize& navigatorSize, const QRect& screen);

}  // namespace kivra
