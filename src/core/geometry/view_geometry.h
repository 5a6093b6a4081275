#pragma once
// Where the frame view puts the picture, and how view pixels and image pixels map onto each
// other in every view mode. Pure arithmetic, so it is shared by painting, mouse work and tests.
#include <optional>

namespace kivra {

// A rectangle with exclusive right and bottom edges, like the window system's.
struct ViewRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool operator==(const ViewRect&) const = default;
};

struct ViewPoint {
    int x = 0;
    int y = 0;
    bool operator==(const ViewPoint&) const = default;
};

struct ImagePoint {
    double x = 0.0;
    double y = 0.0;
};

// View modes of the main frame.
enum ViewMode { kNoVideo = -1, kNormalMode = 0, kAreaMode = 1, kPreviewMode = 2 };

// The picture's place inside a box and the two black bars beside it.
struct FrameFit {
    ViewRect picture;
    ViewRect bar1;  // above or left of the picture
    ViewRect bar2;  // below or right of the picture
};

// Width / height of what is shown: the output picture's shape in preview (4:3 for
// direction 1, else 3:4), the frame's own shape otherwise. 0 for a frame without pixels.
double PictureAspect(ViewMode viewMode, int direction, int imageWidth, int imageHeight);

// Fits a picture of the given aspect into box, leaving a 1-pixel margin on every side.
// A box too small for the margin, or an aspect that is not positive, gives an empty fit.
FrameFit FitFrame(const ViewRect& box, double aspect);

// Everything the two mappings need about one painted frame.
struct ImageMapping {
    ViewRect imageRect;  // where the picture was painted, view pixels
    int imageWidth = 0;  // source frame size
    int imageHeight = 0;
    int outputWidth = 0;  // output picture size (preview only)
    int outputHeight = 0;
    ViewRect trimRect;  // trimming rectangle of the frame, image pixels (preview only)
    bool preview = false;
};

// View point -> image pixels. Nothing when the mapping has no extent to divide by
// (no picture painted, a frame without pixels, an empty trimming rectangle in preview).
std::optional<ImagePoint> ViewToImage(ViewPoint point, const ImageMapping& mapping);

// Image pixels -> view point, rounded half up. Nothing when the mapping is degenerate or the
// result does not fit in a view coordinate.
std::optional<ViewPoint> ImageToView(ImagePoint point, const ImageMapping& mapping);

}  // namespace kivra
