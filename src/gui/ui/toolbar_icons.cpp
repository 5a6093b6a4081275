#include "ui/toolbar_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cmath>

#include "base/command_ids.h"
#include "ui/picture_drawing.h"

namespace kivra {

namespace {

// Every picture is drawn on a 32 x 32 grid and scaled, so both sizes match exactly.
constexpr qreal kGrid = 32.0;

struct Ink {
    QColor fill;
    QColor edge;
};

Ink InkFor(ToolbarPicture picture, bool hot) {
    Ink ink;
    switch (picture) {
        case ToolbarPicture::Open:
            ink = {QColor(232, 178, 58), QColor(140, 98, 18)};
            break;
        case ToolbarPicture::SideMode:
        case ToolbarPicture::FrontMode:
            ink = {QColor(62, 150, 92), QColor(26, 88, 50)};
            break;
        case ToolbarPicture::Area:
            ink = {QColor(214, 62, 52), QColor(128, 30, 24)};
            break;
        case ToolbarPicture::Preview:
            ink = {QColor(40, 150, 162), QColor(18, 86, 96)};
            break;
        case ToolbarPicture::SaveMovie:
            ink = {QColor(92, 96, 176), QColor(44, 46, 110)};
            break;
        case ToolbarPicture::MarkerId:
        case ToolbarPicture::FollowMarkers:
            ink = {QColor(236, 122, 32), QColor(146, 68, 10)};
            break;
        default:  // the playback buttons
            ink = {QColor(52, 112, 182), QColor(24, 60, 110)};
            break;
    }
    if (hot) {
        ink.fill = ink.fill.lighter(125);
        ink.edge = ink.edge.lighter(140);
    }
    return ink;
}

void FillShape(QPainter& p, const Ink& ink, const QPainterPath& path) {
    FillWithEdge(p, path, ink.fill, ink.edge, 1.5);
}

void FillPolygon(QPainter& p, const Ink& ink, const QPolygonF& corners) {
    FillShape(p, ink, ClosedPath(corners));
}

void FillRect(QPainter& p, const Ink& ink, const QRectF& rect) {
    FillShape(p, ink, RoundedRectPath(rect, 1.0));
}

void Stroke(QPainter& p, const QColor& colour, qreal width) {
    p.setPen(RoundPen(colour, width));
    p.setBrush(Qt::NoBrush);
}

// The walking person of the trimming mode buttons, as a stick figure.
struct Figure {
    QPointF neck;
    QPointF hip;
    QPointF shoulder;
    QPointF hands[2];
    QPointF feet[2];
    QPointF head;
};

const Figure kSideFigure{.neck = {14, 11},
                         .hip = {14, 18.5},
                         .shoulder = {14, 13},
                         .hands = {{18, 16.5}, {10.5, 16}},
                         .feet = {{9.5, 24.5}, {18.5, 24.5}},
                         .head = {14.5, 7.5}};
const Figure kFrontFigure{.neck = {16, 11},
                          .hip = {16, 19},
                          .shoulder = {16, 13},
                          .hands = {{10.5, 17.5}, {21.5, 17.5}},
                          .feet = {{12.5, 26}, {19.5, 26}},
                          .head = {16, 7.5}};

void DrawFigure(QPainter& p, const Ink& ink, const Figure& figure) {
    Stroke(p, ink.edge, 2.6);
    p.drawLine(figure.neck, figure.hip);
    for (const QPointF& hand : figure.hands) {
        p.drawLine(figure.shoulder, hand);
    }
    for (const QPointF& foot : figure.feet) {
        p.drawLine(figure.hip, foot);
    }
    p.setBrush(ink.fill);
    p.setPen(QPen(ink.edge, 1.5));
    p.drawEllipse(figure.head, 3.2, 3.2);
}

void DrawPicture(QPainter& p, ToolbarPicture picture, const Ink& ink) {
    switch (picture) {
        case ToolbarPicture::Play:
            FillPolygon(p, ink, {{10, 6.5}, {25.5, 16}, {10, 25.5}});
            break;
        case ToolbarPicture::ReversePlay:
            FillPolygon(p, ink, {{22, 6.5}, {6.5, 16}, {22, 25.5}});  // play's, mirrored
            break;
        case ToolbarPicture::Playing:
            FillRect(p, ink, QRectF(9, 7.5, 5.5, 17));
            FillRect(p, ink, QRectF(17.5, 7.5, 5.5, 17));
            break;
        case ToolbarPicture::First:
            FillRect(p, ink, QRectF(5.5, 8, 3.5, 16));
            FillPolygon(p, ink, {{17.5, 8}, {10, 16}, {17.5, 24}});
            FillPolygon(p, ink, {{26, 8}, {18.5, 16}, {26, 24}});
            break;
        case ToolbarPicture::Previous:
            FillPolygon(p, ink, {{20.5, 8}, {9.5, 16}, {20.5, 24}});
            FillRect(p, ink, QRectF(22, 8, 3.5, 16));
            break;
        case ToolbarPicture::Next:
            FillRect(p, ink, QRectF(6.5, 8, 3.5, 16));
            FillPolygon(p, ink, {{11.5, 8}, {22.5, 16}, {11.5, 24}});
            break;
        case ToolbarPicture::Last:
            FillPolygon(p, ink, {{6, 8}, {13.5, 16}, {6, 24}});
            FillPolygon(p, ink, {{14.5, 8}, {22, 16}, {14.5, 24}});
            FillRect(p, ink, QRectF(23, 8, 3.5, 16));
            break;
        case ToolbarPicture::Open:
            FillPolygon(p, {ink.fill.darker(115), ink.edge},
                        {{4, 8}, {12, 8}, {14.5, 10.5}, {25, 10.5}, {25, 25}, {4, 25}});
            FillPolygon(p, ink, {{4, 25}, {8.5, 14.5}, {29, 14.5}, {25, 25}});
            break;
        case ToolbarPicture::SideMode:
            DrawFigure(p, ink, kSideFigure);
            Stroke(p, ink.fill.darker(110), 2.2);
            p.drawLine(QPointF(5, 28.5), QPointF(25, 28.5));
            FillPolygon(p, ink, {{24, 25.5}, {29, 28.5}, {24, 31.5}});
            break;
        case ToolbarPicture::FrontMode:
            Stroke(p, ink.fill.darker(110), 2.0);
            p.drawLine(QPointF(3, 30), QPointF(10, 15));
            p.drawLine(QPointF(29, 30), QPointF(22, 15));
            DrawFigure(p, ink, kFrontFigure);
            break;
        case ToolbarPicture::Area:
            p.setPen(QPen(ink.edge, 1.8, Qt::DashLine, Qt::FlatCap, Qt::MiterJoin));
            p.setBrush(QColor(ink.fill.red(), ink.fill.green(), ink.fill.blue(), 40));
            p.drawRect(QRectF(7, 5, 18, 23));
            for (const QPointF corner :
                 {QPointF(7, 5), QPointF(25, 5), QPointF(7, 28), QPointF(25, 28)}) {
                FillRect(p, ink, QRectF(corner.x() - 2.5, corner.y() - 2.5, 5, 5));
            }
            break;
        case ToolbarPicture::Preview: {
            QPainterPath eye;
            eye.moveTo(3, 16);
            eye.quadTo(16, 3, 29, 16);
            eye.quadTo(16, 29, 3, 16);
            FillShape(p, {Qt::white, ink.edge}, eye);
            QPainterPath iris;
            iris.addEllipse(QPointF(16, 16), 5.5, 5.5);
            FillShape(p, ink, iris);
            p.setPen(Qt::NoPen);
            p.setBrush(ink.edge);
            p.drawEllipse(QPointF(16, 16), 2.2, 2.2);
            break;
        }
        case ToolbarPicture::SaveMovie: {
            FillPolygon(p, ink, {{5, 5}, {23.5, 5}, {27, 8.5}, {27, 27}, {5, 27}});
            p.setPen(QPen(ink.edge, 1.2));
            p.setBrush(QColor(236, 236, 236));
            p.drawRect(QRectF(9, 5, 12, 8));
            p.setBrush(ink.edge);
            p.drawRect(QRectF(16.5, 6.5, 3, 5));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(8.5, 17, 15, 10));
            // A film strip on the label says it is the movie that is saved.
            p.setPen(Qt::NoPen);
            p.setBrush(ink.edge);
            for (qreal x = 10; x < 23; x += 3.5) {
                p.drawRect(QRectF(x, 18.5, 1.8, 1.8));
                p.drawRect(QRectF(x, 23.7, 1.8, 1.8));
            }
            break;
        }
        case ToolbarPicture::MarkerId: {
            Stroke(p, ink.edge, 2.0);
            p.setBrush(QColor(ink.fill.red(), ink.fill.green(), ink.fill.blue(), 90));
            p.drawEllipse(QPointF(12, 12), 7.5, 7.5);
            p.drawLine(QPointF(12, 2), QPointF(12, 22));
            p.drawLine(QPointF(2, 12), QPointF(22, 12));
            FillShape(p, ink, RoundedRectPath(QRectF(15, 18, 15, 12), 2.5));
            // "ID" in strokes, so no font is needed.
            Stroke(p, Qt::white, 1.6);
            p.drawLine(QPointF(19, 20.5), QPointF(19, 27.5));
            QPainterPath d;
            d.moveTo(22, 20.5);
            d.lineTo(23.5, 20.5);
            d.quadTo(27.5, 20.5, 27.5, 24);
            d.quadTo(27.5, 27.5, 23.5, 27.5);
            d.lineTo(22, 27.5);
            d.closeSubpath();
            p.drawPath(d);
            break;
        }
        case ToolbarPicture::FollowMarkers: {
            // The marker where it was clicked, the dotted path it was followed along, and the
            // marker where it is now.
            Stroke(p, ink.edge, 1.6);
            p.setBrush(QColor(ink.fill.red(), ink.fill.green(), ink.fill.blue(), 60));
            p.drawEllipse(QPointF(8, 24), 4.5, 4.5);
            p.setPen(Qt::NoPen);
            p.setBrush(ink.edge);
            const QPointF trail[] = {{12.5, 20}, {15.5, 17}, {18.5, 14.5}};
            for (const QPointF& dot : trail) {
                p.drawEllipse(dot, 1.3, 1.3);
            }
            Stroke(p, ink.edge, 2.0);
            p.setBrush(QColor(ink.fill.red(), ink.fill.green(), ink.fill.blue(), 90));
            p.drawEllipse(QPointF(23, 9), 6, 6);
            p.drawLine(QPointF(23, 1.5), QPointF(23, 16.5));
            p.drawLine(QPointF(15.5, 9), QPointF(30.5, 9));
            break;
        }
    }
}

}  // namespace

QImage GreyCopy(const QImage& image) {
    QImage grey = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < grey.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(grey.scanLine(y));
        for (int x = 0; x < grey.width(); ++x) {
            const int r = qRed(row[x]);
            const int g = qGreen(row[x]);
            const int b = qBlue(row[x]);
            // Exact in double for this range, so truncation gives the integer square root.
            const int level = static_cast<int>(std::sqrt((r * r + g * g + b * b) / 3.0));
            row[x] = qRgba(level, level, level, qAlpha(row[x]));
        }
    }
    return grey;
}

QPixmap DrawToolbarPicture(ToolbarPicture picture, int size, bool hot) {
    const Ink ink = InkFor(picture, hot);
    return PaintPicture(size, kGrid, [&](QPainter& p) { DrawPicture(p, picture, ink); });
}

QIcon MakeToolbarIcon(ToolbarPicture picture) {
    QIcon icon;
    for (const int size : {kSmallToolbarIcon, kLargeToolbarIcon}) {
        const QPixmap normal = DrawToolbarPicture(picture, size, false);
        icon.addPixmap(normal, QIcon::Normal);
        icon.addPixmap(DrawToolbarPicture(picture, size, true), QIcon::Active);
        icon.addPixmap(QPixmap::fromImage(GreyCopy(normal.toImage())), QIcon::Disabled);
    }
    return icon;
}

std::optional<ToolbarPicture> PictureForCommand(int commandId) {
    switch (commandId) {
        case ID_MOVIE_FIRST:
            return ToolbarPicture::First;
        case ID_MOVIE_BACK:
            return ToolbarPicture::Previous;
        case ID_MOVIE_PLAY:
            return ToolbarPicture::Play;
        case ID_MOVIE_REVERSE_PLAY:
            return ToolbarPicture::ReversePlay;
        case ID_MOVIE_NEXT:
            return ToolbarPicture::Next;
        case ID_MOVIE_LAST:
            return ToolbarPicture::Last;
        case ID_FILE_OPEN:
            return ToolbarPicture::Open;
        case ID_TRIMMING_SIDE_MODE:
            return ToolbarPicture::SideMode;
        case ID_TRIMMING_FRONT_MODE:
            return ToolbarPicture::FrontMode;
        case ID_TRIMMING_AREA:
            return ToolbarPicture::Area;
        case ID_TRIMMING_PREVIEW:
            return ToolbarPicture::Preview;
        case ID_TRIMMING_SAVE_MOVIE:
            return ToolbarPicture::SaveMovie;
        case ID_MARKER_SET_ID:
            return ToolbarPicture::MarkerId;
        case ID_MARKER_FOLLOW:
            return ToolbarPicture::FollowMarkers;
        default:
            return std::nullopt;
    }
}

}  // namespace kivra
