#pragma once
// The toolbar button artwork, drawn in code so every button shares one look: each picture at
// 16 and 32 pixels, in a normal, a hot (under the mouse) and a disabled (grey) version.
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <optional>

namespace kivra {

constexpr int kSmallToolbarIcon = 16;
constexpr int kLargeToolbarIcon = 32;

enum class ToolbarPicture {
    First,
    Previous,
    Play,
    Playing,  // the play button while play runs: a pause sign
    ReversePlay,
    Next,
    Last,
    Open,
    SideMode,
    FrontMode,
    Area,
    Preview,
    SaveMovie,
    MarkerId,
    FollowMarkers,
};

// The grey copy used for disabled buttons: every pixel becomes
// g = trunc(sqrt((r^2 + g^2 + b^2) / 3)) on all three channels; alpha (the mask) is kept.
QImage GreyCopy(const QImage& image);

// One picture, size x size pixels, transparent around the drawing.
QPixmap DrawToolbarPicture(ToolbarPicture picture, int size, bool hot);

// The picture's icon: normal, hot (QIcon::Active) and disabled (grey copy of normal) at both
// sizes. Each call builds a new icon; callers that swap icons keep theirs.
QIcon MakeToolbarIcon(ToolbarPicture picture);

// The picture of a toolbar command, or none for a command without a button.
std::optional<ToolbarPicture> PictureForCommand(int commandId);

}  // namespace kivra
