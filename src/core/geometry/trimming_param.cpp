#include "geometry/trimming_param.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace kivra {

namespace {

constexpr int64_t kIntMin = std::numeric_limits<int>::min();
constexpr int64_t kIntMax = std::numeric_limits<int>::max();

int Pin(int64_t v) {
    return static_cast<int>(std::clamp(v, kIntMin, kIntMax));
}

// Truncation toward zero, like a C cast, pinned to the int range (NaN gives 0).
int TruncPin(double v) {
    if (std::isnan(v)) {
        return 0;
    }
    const double t = std::trunc(v);
    if (t <= static_cast<double>(kIntMin)) {
        return static_cast<int>(kIntMin);
    }
    if (t >= static_cast<double>(kIntMax)) {
        return static_cast<int>(kIntMax);
    }
    return static_cast<int>(t);
}

int64_t Width64(const PixelRect& r) {
    return int64_t{r.right} - r.left;
}

// The in-between box: its left edge sits on the interpolated left and its width follows from
// its height and the output direction.
PixelRect ShapedBox(double left, double top, double bottom, int direction) {
    const int t = TruncPin(top + 0.5);
    const int b = TruncPin(bottom + 0.5);
    const int l = TruncPin(left + 0.5);
    const int64_t h = int64_t{b} - t;
    const int64_t w = direction == kLandscape ? h * 4 / 3 : h * 3 / 4;
    return {l, t, Pin(l + w), b};
}

}  // namespace

}  // namespace kivra

kivra::PixelRect CTrimmingParam::At(int frame) const {
    if (frame < 0 || frame >= GetSize()) {
        return {};
    }
    return m_rects[static_cast<size_t>(frame)];
}

void CTrimmingParam::Reserve(int count) {
    m_rects.reserve(static_cast<size_t>(std::clamp(count, 0, kivra::kMaxTrimFrames)));
}

namespace kivra {

void ResetAreas(AreaState& area1, AreaState& area2) {
    area1.Reset();
    area2.Reset();
}

AreaState AreaFromClick(const PixelRect& rect, int frame) {
    const int cx = Pin(rect.left + Width64(rect) / 2);
    return {{cx, rect.top}, {cx, rect.bottom}, rect, frame};
}

AreaState AreaFromSaved(const PixelRect& rect, int frame) {
    const int cx = Pin((int64_t{rect.left} + rect.right) / 2);
    return {{cx, rect.top}, {cx, rect.bottom}, rect, frame};
}

bool RecomputeAreas(AreaState& area1, AreaState& area2, int direction) {
    for (AreaState* area : {&area1, &area2}) {
        if (!area->rect.IsEmpty()) {
            area->rect = AreaRectFromPoints(area->top, area->bottom, direction);
        }
    }
    return area1.IsSet() && area2.IsSet();
}

ViewRect AreaBoxAtCursor(int cx, int cy, int halfSize, int direction) {
    const int64_t a = halfSize;
    const int64_t k = TruncPin(halfSize / 3.0 * 4);
    if (direction == kLandscape) {
        return {Pin(cx - k), Pin(cy - a), Pin(cx + k), Pin(cy + a)};
    }
    return {Pin(cx - a), Pin(cy - k), Pin(cx + a), Pin(cy + k)};
}

int WheelStep(int delta, bool shift) {
    if (!shift) {
        return delta / 40;
    }
    return delta > 0 ? 1 : (delta < 0 ? -1 : 0);
}

int ClampHalfSize(int halfSize, int imageRectWidth, int imageRectHeight) {
    const int limit = std::max(imageRectWidth, imageRectHeight) / 2;
    return std::max(std::min(halfSize, limit), 3);
}

PixelRect AreaRectFromPoints(ViewPoint top, ViewPoint bottom, int direction) {
    const double half = (static_cast<double>(bottom.y) - top.y) * 0.5;
    const int64_t k = direction == kLandscape ? TruncPin(half * 4 / 3) : TruncPin(half * 3 * 0.25);
    return {Pin(top.x - k), top.y, Pin(top.x + k), bottom.y};
}

PixelRect BoxToImageRect(const ViewRect& cursorBox, const ViewRect& imageRect, int imageWidth,
                         int imageHeight) {
    if (imageWidth <= 0 || imageHeight <= 0) {
        return {};
    }
    const double sx = (static_cast<double>(imageRect.right) - imageRect.left) / imageWidth;
    const double sy = (static_cast<double>(imageRect.bottom) - imageRect.top) / imageHeight;
    if (!(sx > 0.0) || !(sy > 0.0)) {
        return {};
    }
    const auto toImage = [](int v, int origin, double scale) {
        return TruncPin((static_cast<double>(v) - origin) / scale + 0.5);
    };
    PixelRect r{
        toImage(cursorBox.left, imageRect.left, sx), toImage(cursorBox.top, imageRect.top, sy),
        toImage(cursorBox.right, imageRect.left, sx), toImage(cursorBox.bottom, imageRect.top, sy)};
    if (r.left > r.right) {
        std::swap(r.left, r.right);
    }
    if (r.top > r.bottom) {
        std::swap(r.top, r.bottom);
    }
    return r;
}

bool InterpolateTrimRects(const PixelRect& a1, int f1, const PixelRect& a2, int f2,
                          TrimmingMode trimmingMode, int direction, int frameCount,
                          CTrimmingParam& param) {
    param.Clear();
    if (frameCount < 0) {
        return false;
    }
    const int count = std::min(frameCount, kMaxTrimFrames);
    param.Reserve(count);

    // Equal widths make area 2 the narrow one.
    const bool narrowIs1 = Width64(a1) < Width64(a2);
    const PixelRect& rn = narrowIs1 ? a1 : a2;
    const PixelRect& rw = narrowIs1 ? a2 : a1;
    const double fn = narrowIs1 ? f1 : f2;
    const double fw = narrowIs1 ? f2 : f1;
    const double d = (fw - fn) * (fw - fn);

    // 64-bit throughout: the sums of coordinate times frame distance exceed an int, never an
    // int64 (|coordinate| <= 2^31, p + q = n < 2^32).
    const int64_t n = int64_t{f2} - f1;

    for (int i = 0; i < count; ++i) {
        if (i <= f1) {
            param.Add(a1);
        } else if (i >= f2) {
            param.Add(a2);
        } else if (trimmingMode == kFrontMode) {
            // d is 0 only when both areas share a frame, and then no frame lies between them;
            // the narrow box keeps the result defined all the same.
            if (d == 0.0) {
                param.Add(rn);
                continue;
            }
            const double t = (i - fn) * (i - fn);
            const auto lerp = [&](int narrow, int wide) {
                return (static_cast<double>(wide) - narrow) / d * t + narrow;
            };
            param.Add(ShapedBox(lerp(rn.left, rw.left), lerp(rn.top, rw.top),
                                lerp(rn.bottom, rw.bottom), direction));
        } else {
            const int64_t p = int64_t{i} - f1;
            const int64_t q = int64_t{f2} - i;
            const int64_t top = (a2.top * p + a1.top * q) / n;
            const int64_t bottom = (a2.bottom * p + a1.bottom * q) / n;
            const int64_t left = (a1.left * q + a2.left * p) / n;
            param.Add(ShapedBox(static_cast<double>(left), static_cast<double>(top),
                                static_cast<double>(bottom), direction));
        }
    }
    return true;
}

bool InterpolateTrimRects(const AreaState& area1, const AreaState& area2, TrimmingMode trimmingMode,
                          int direction, int frameCount, CTrimmingParam& param) {
    return InterpolateTrimRects(area1.rect, area1.frame, area2.rect, area2.frame, trimmingMode,
                                direction, frameCount, param);
}

PixelRect MosaicRect(const PixelRect& rect, int mosaicType) {
    if (mosaicType == 0) {
        return {};
    }
    const int64_t h = int64_t{rect.bottom} - rect.top;
    if (mosaicType == 1 || mosaicType == 2) {
        int64_t d = mosaicType == 1 ? h / 8 : h / 6;
        if (rect.IsEmpty() || d <= 0) {
            d = 1;
        }
        const int64_t c = rect.left + Width64(rect) / 2;
        return {Pin(c - d), rect.top, Pin(c + d), Pin(rect.top + 2 * d)};
    }
    return {rect.left, rect.top, rect.right, Pin(rect.top + (h / 6) * 2)};
}

TrimPlacement PlaceTrimRect(const PixelRect& trim, int imageWidth, int imageHeight, int outWidth,
                            int outHeight) {
    if (trim.IsEmpty() || imageWidth <= 0 || imageHeight <= 0 || outWidth <= 0 || outHeight <= 0) {
        return {};
    }
    const PixelRect source{std::max(trim.left, 0), std::max(trim.top, 0),
                           std::min(trim.right, imageWidth), std::min(trim.bottom, imageHeight)};
    if (source.IsEmpty()) {
        return {};
    }
    // Offset o of the trimming width span maps to o * out / span, rounded half up. With
    // 0 <= o <= span < 2^32 and out < 2^31 the sum stays below (2^32 - 1)^2, so unsigned
    // 64 bits hold it.
    const auto map = [](int64_t offset, int64_t span, int64_t out) {
        const auto o = static_cast<uint64_t>(offset);
        const auto s = static_cast<uint64_t>(span);
        return static_cast<int>((2 * o * static_cast<uint64_t>(out) + s) / (2 * s));
    };
    const int64_t tw = Width64(trim);
    const int64_t th = int64_t{trim.bottom} - trim.top;
    const ViewRect dest{map(int64_t{source.left} - trim.left, tw, outWidth),
                        map(int64_t{source.top} - trim.top, th, outHeight),
                        map(int64_t{source.right} - trim.left, tw, outWidth),
                        map(int64_t{source.bottom} - trim.top, th, outHeight)};
    if (dest.IsEmpty()) {
        return {};
    }
    return {source, dest};
}

}  // namespace kivra
