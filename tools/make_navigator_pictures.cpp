// Draws the navigator's two guide pictures (side and front trimming mode) in one language and
// saves them as 24-bit BMP: kivra-make-navigator-pictures [--language en] <side.bmp> <front.bmp>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "ui_translations.h"

namespace {

// Draws `text` in `box`, its font made smaller until it fits: a longer translation must
// never be cut off.
void DrawFittedText(QPainter& p, const QRect& box, const QString& text) {
    QFont font = p.font();
    while (font.pixelSize() > 9 && QFontMetrics(font).horizontalAdvance(text) > box.width()) {
        font.setPixelSize(font.pixelSize() - 1);
    }
    p.setFont(font);
    p.drawText(box, Qt::AlignLeft, text);
}

constexpr int kWidth = 420;
constexpr int kHeight = 320;
constexpr int kSceneHeight = 220;  // the video part; the instructions go below it
const QColor kArea1(220, 0, 0);
const QColor kArea2(0, 60, 230);

// A walker seen from the side, facing right: `phase` 0-1 swings the limbs. `h` is the full
// height from the top of the head to the soles, `foot` the point between the feet.
void DrawSideWalker(QPainter& p, QPointF foot, double h, double phase, const QColor& colour) {
    const double swing = std::sin(phase * 2 * M_PI) * 0.45;
    const QPointF hip(foot.x(), foot.y() - h * 0.5);
    const QPointF neck(foot.x() + h * 0.02, foot.y() - h * 0.82);
    const auto limb = [&](QPointF from, double length, double angle, double bend) {
        const QPointF mid(from.x() + std::sin(angle) * length / 2,
                          from.y() + std::cos(angle) * length / 2);
        const QPointF end(mid.x() + std::sin(angle + bend) * length / 2,
                          mid.y() + std::cos(angle + bend) * length / 2);
        p.drawPolyline(QPolygonF({from, mid, end}));
        return end;
    };
    p.setPen(QPen(colour, h * 0.06, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const QPointF farAnkle = limb(hip, h * 0.48, -swing, swing < 0 ? 0.35 : 0.05);
    limb(neck, h * 0.36, swing, -0.4);
    p.drawLine(hip, neck);
    const QPointF nearAnkle = limb(hip, h * 0.48, swing, swing > 0 ? 0.05 : 0.35);
    limb(neck, h * 0.36, -swing, -0.4);
    for (const QPointF& ankle : {farAnkle, nearAnkle})
        p.drawLine(ankle, ankle + QPointF(h * 0.07, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QPointF(neck.x() + h * 0.01, neck.y() - h * 0.08), h * 0.07, h * 0.08);
}

// A walker coming towards the camera: symmetric, one knee lifted.
void DrawFrontWalker(QPainter& p, QPointF foot, double h, const QColor& colour) {
    const double hw = h * 0.1;  // half the shoulder width
    const QPointF hip(foot.x(), foot.y() - h * 0.5);
    const QPointF neck(foot.x(), foot.y() - h * 0.82);
    p.setPen(QPen(colour, h * 0.07, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawLine(hip, neck);
    p.drawLine(neck + QPointF(-hw, 0), neck + QPointF(hw, 0));
    p.drawPolyline(QPolygonF({neck + QPointF(-hw, 0), neck + QPointF(-hw * 1.3, h * 0.17),
                              neck + QPointF(-hw * 1.2, h * 0.33)}));
    p.drawPolyline(QPolygonF({neck + QPointF(hw, 0), neck + QPointF(hw * 1.3, h * 0.17),
                              neck + QPointF(hw * 1.1, h * 0.31)}));
    p.drawPolyline(QPolygonF({hip + QPointF(-hw * 0.5, 0), foot + QPointF(-hw * 0.6, -h * 0.25),
                              foot + QPointF(-hw * 0.6, 0)}));
    p.drawPolyline(QPolygonF({hip + QPointF(hw * 0.5, 0), foot + QPointF(hw * 0.7, -h * 0.27),
                              foot + QPointF(hw * 0.6, -h * 0.06)}));
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QPointF(neck.x(), neck.y() - h * 0.09), h * 0.075, h * 0.085);
}

// An area box as the view draws it: a 2-pixel frame with a vertical centre line.
void DrawAreaBox(QPainter& p, const QRectF& box, const QColor& colour, const QString& label) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, 2));
    p.drawRect(box);
    p.setPen(QPen(colour, 1));
    p.drawLine(QPointF(box.center().x(), box.top()), QPointF(box.center().x(), box.bottom()));
    QFont font = p.font();
    font.setPixelSize(13);
    font.setBold(true);
    p.setFont(font);
    const QRectF tag(box.left(), box.top() - 18, 58, 17);
    p.fillRect(tag, colour);
    p.setPen(Qt::white);
    while (font.pixelSize() > 9 && QFontMetrics(font).horizontalAdvance(label) > tag.width() - 4) {
        font.setPixelSize(font.pixelSize() - 1);
        p.setFont(font);
    }
    p.drawText(tag, Qt::AlignCenter, label);
}

void DrawArrow(QPainter& p, QPointF from, QPointF to) {
    p.setPen(QPen(QColor(90, 90, 90), 2, Qt::DashLine));
    p.drawLine(from, to);
    const double angle = std::atan2(to.y() - from.y(), to.x() - from.x());
    QPolygonF head;
    head << to << to - QPointF(std::cos(angle - 0.4) * 10, std::sin(angle - 0.4) * 10)
         << to - QPointF(std::cos(angle + 0.4) * 10, std::sin(angle + 0.4) * 10);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 90, 90));
    p.drawPolygon(head);
}

void DrawInstructions(QPainter& p, const QString& title, const QStringList& lines) {
    const QRect panel(0, kSceneHeight, kWidth, kHeight - kSceneHeight);
    p.fillRect(panel, QColor(250, 250, 246));
    p.setPen(QColor(160, 160, 160));
    p.drawLine(panel.topLeft(), panel.topRight());
    QFont font = p.font();
    font.setPixelSize(14);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::black);
    DrawFittedText(p, QRect(12, kSceneHeight + 6, kWidth - 24, 20), title);
    font.setBold(false);
    font.setPixelSize(13);
    int y = kSceneHeight + 30;
    for (const QString& line : lines) {
        // A leading colour tag marks the line of that area.
        if (line.startsWith(u'1') || line.startsWith(u'2')) {
            p.fillRect(QRect(14, y + 4, 10, 10), line.startsWith(u'1') ? kArea1 : kArea2);
        }
        p.setPen(Qt::black);
        p.setFont(font);
        DrawFittedText(p, QRect(30, y, kWidth - 40, 18), line);
        y += 20;
    }
}

QImage NewScene() {
    QImage picture(kWidth, kHeight, QImage::Format_RGB888);
    picture.fill(QColor(232, 238, 242));
    QPainter p(&picture);
    p.fillRect(QRect(0, 170, kWidth, kSceneHeight - 170), QColor(205, 200, 188));  // floor
    return picture;
}

QImage SidePicture() {
    QImage picture = NewScene();
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    const double h = 120, floor = 190;
    for (int i = 1; i < 4; ++i)  // the walk in between, faint
        DrawSideWalker(p, QPointF(80 + i * 65, floor), h, i * 0.25, QColor(175, 180, 186));
    DrawArrow(p, QPointF(110, 205), QPointF(310, 205));
    DrawSideWalker(p, QPointF(75, floor), h, 0.1, QColor(40, 40, 40));
    DrawSideWalker(p, QPointF(345, floor), h, 0.6, QColor(40, 40, 40));
    const QRectF box(0, 0, 90, h + 20);
    DrawAreaBox(p, box.translated(75 - 45, floor - h - 12), kArea1,
                QCoreApplication::translate("NavigatorPicture", "エリア1"));
    DrawAreaBox(p, box.translated(345 - 45, floor - h - 12), kArea2,
                QCoreApplication::translate("NavigatorPicture", "エリア2"));
    DrawInstructions(
        p, QCoreApplication::translate("NavigatorPicture", "側面モード：横切って歩く映像"),
        {QCoreApplication::translate("NavigatorPicture", "1  最初のフレームで人物の中心をクリック"),
         QCoreApplication::translate("NavigatorPicture", "2  最後のフレームで人物の中心をクリック"),
         QCoreApplication::translate("NavigatorPicture",
                                     "ホイール・↑↓キーで枠の大きさを変えます")});
    return picture;
}

QImage FrontPicture() {
    QImage picture = NewScene();
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    // Far away and small at the back, near and large at the front.
    const double farH = 60, nearH = 150, farFloor = 150, nearFloor = 205;
    DrawFrontWalker(p, QPointF(210, 175), 100, QColor(175, 180, 186));
    DrawFrontWalker(p, QPointF(150, farFloor), farH, QColor(40, 40, 40));
    DrawFrontWalker(p, QPointF(300, nearFloor), nearH, QColor(40, 40, 40));
    DrawArrow(p, QPointF(170, 160), QPointF(240, 200));
    DrawAreaBox(p, QRectF(150 - 26, farFloor - farH - 8, 52, farH + 14), kArea1,
                QCoreApplication::translate("NavigatorPicture", "エリア1"));
    DrawAreaBox(p, QRectF(300 - 60, nearFloor - nearH - 14, 120, nearH + 12), kArea2,
                QCoreApplication::translate("NavigatorPicture", "エリア2"));
    DrawInstructions(
        p, QCoreApplication::translate("NavigatorPicture", "正面モード：カメラに向かって歩く映像"),
        {QCoreApplication::translate("NavigatorPicture", "1  最初のフレームで人物の中心をクリック"),
         QCoreApplication::translate("NavigatorPicture", "2  最後のフレームで人物の中心をクリック"),
         QCoreApplication::translate("NavigatorPicture",
                                     "エリア2の枠は人物に合わせて大きくします")});
    return picture;
}

}  // namespace

int main(int argc, char** argv) {
    // Japanese, the language the texts are written in, unless another is asked for.
    kivra::UiLanguage language = kivra::UiLanguage::Japanese;
    if (argc == 5 && std::strcmp(argv[1], "--language") == 0 && std::strcmp(argv[2], "en") == 0) {
        language = kivra::UiLanguage::English;
        argv[2] = argv[0];
        argv += 2;
        argc -= 2;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s [--language en] <side.bmp> <front.bmp>\n", argv[0]);
        return 2;
    }
    // Text needs the font database of a GUI application, but no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    kivra::UiTranslations translations(language);
    translations.InstallIntoApplication();
    if (!SidePicture().save(QString::fromLocal8Bit(argv[1]), "BMP") ||
        !FrontPicture().save(QString::fromLocal8Bit(argv[2]), "BMP")) {
        std::fprintf(stderr, "cannot write the navigator pictures\n");
        return 1;
    }
    return 0;
}
