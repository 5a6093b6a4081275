#pragma once
// Trimming geometry: the box that follows the cursor while an area is picked, the two areas,
// the per-frame trimming rectangles interpolated between them, and the mosaic patch of a box.
// Pure arithmetic; results that would not fit an int are pinned to the int range.
#include <vector>

#include "geometry/view_geometry.h"

namespace kivra {

// Image pixels, same edge rules as view rectangles.
using PixelRect = ViewRect;

// The per-frame list is never longer than this, whatever frame count a broken header claims.
inline constexpr int kMaxTrimFrames = 1 << 24;

}  // namespace kivra

// The trimming rectangle of every frame, index = frame number. A plain value held by the video
// stream; filled only by kivra::InterpolateTrimRects.
class CTrimmingParam {
public:
    int GetSize() const { return static_cast<int>(m_rects.size()); }
    // The empty rectangle for a frame without an entry, negative frames included.
    kivra::PixelRect At(int frame) const;
    void Clear() { m_rects.clear(); }
    void Reserve(int count);
    void Add(const kivra::PixelRect& rect) { m_rects.push_back(rect); }

    bool operator==(const CTrimmingParam&) const = default;

private:
    std::vector<kivra::PixelRect> m_rects;
};

namespace kivra {

// Trimming modes and output directions as the settings hold them.
enum TrimmingMode { kSideMode = 0, kFrontMode = 1 };
enum OutputDirection { kPortrait = 0, kLandscape = 1 };

// The mode a stored setting stands for. Settings and marker files may hold any number, and
// everything but front has always counted as side.
constexpr TrimmingMode TrimmingModeOf(int setting) {
    return setting == kFrontMode ? kFrontMode : kSideMode;
}

// One trimming area as the view holds it: the top-centre and bottom-centre points it was
// built from, its rectangle (image pixels) and the frame it was set on (-1 when unset).
struct AreaState {
    ViewPoint top;
    ViewPoint bottom;
    PixelRect rect;
    int frame = -1;

    bool IsSet() const { return frame >= 0; }
    void Reset() { *this = AreaState{}; }
    bool operator==(const AreaState&) const = default;
};

// Both areas unset. The per-frame list is left alone.
void ResetAreas(AreaState& area1, AreaState& area2);

// The area a click sets: centre x = left + (right - left) / 2.
AreaState AreaFromClick(const PixelRect& rect, int frame);
// The area a marker file restores: centre x = (left + right) / 2.
AreaState AreaFromSaved(const PixelRect& rect, int frame);

// Rebuilds each non-empty area rectangle from its points in the given direction, so a changed
// direction reshapes it. True when both areas are set and the list should be interpolated.
bool RecomputeAreas(AreaState& area1, AreaState& area2, int direction);

// Cursor box around (cx, cy), view pixels: halfSize is half its shorter side, the box is 4:3
// for the landscape direction and 3:4 otherwise.
ViewRect AreaBoxAtCursor(int cx, int cy, int halfSize, int direction);

// Half-size change of one wheel event: delta / 40, or +-1 with Shift held.
int WheelStep(int delta, bool shift);

// Limits a box half-size to at most half the larger side of the shown picture, at least 3.
int ClampHalfSize(int halfSize, int imageRectWidth, int imageRectHeight);

// Area rectangle from its top-centre and bottom-centre points; the top point's x is the centre.
PixelRect AreaRectFromPoints(ViewPoint top, ViewPoint bottom, int direction);

// Cursor box (view pixels) -> image pixels, each edge rounded half up and the result
// normalised. Empty when the picture or the frame has no extent to divide by.
PixelRect BoxToImageRect(const ViewRect& cursorBox, const ViewRect& imageRect, int imageWidth,
                         int imageHeight);

// Rebuilds the list with one rectangle per frame: area 1 up to its frame, area 2 from its frame
// on, and between them a box that slides (side mode) or also grows with the square of the
// distance from the narrower area (front mode). frameCount is the stream's; a negative count
// leaves the list empty and gives false, a count above kMaxTrimFrames is cut to it.
bool InterpolateTrimRects(const PixelRect& area1Rect, int f1, const PixelRect& area2Rect, int f2,
                          TrimmingMode trimmingMode, int direction, int frameCount,
                          CTrimmingParam& param);
bool InterpolateTrimRects(const AreaState& area1, const AreaState& area2, TrimmingMode trimmingMode,
                          int direction, int frameCount, CTrimmingParam& param);

// Where the picture shows inside an output of outWidth x outHeight that stands for the trimming
// rectangle trim: source is trim clipped to the picture (0, 0, imageWidth, imageHeight), dest is
// the part of the output it fills, each edge rounded to the nearest output pixel. The rest of
// the output is black, so the inside is never stretched to cover what lies off the picture.
// Both empty when the rectangle and the picture do not overlap or a size is not positive.
struct TrimPlacement {
    PixelRect source;
    ViewRect dest;
};
TrimPlacement PlaceTrimRect(const PixelRect& trim, int imageWidth, int imageHeight, int outWidth,
                            int outHeight);

// The part of a trimming box to blur: none (type 0), a square at the top centre (types 1, 2) or
// a band over the top third (any other type).
PixelRect MosaicRect(const PixelRect& rect, int mosaicType);

}  // namespace kivra
