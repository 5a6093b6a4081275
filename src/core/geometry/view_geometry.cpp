#include "geometry/view_geometry.h"

#include <cmath>
#include <limits>

namespace kivra {

namespace {

// Truncation toward zero, like a C cast, but only for values a view coordinate can hold.
std::optional<int> TruncToInt(double v) {
    if (!std::isfinite(v)) {
        return std::nullopt;
    }
    const double t = std::trunc(v);
    if (t < std::numeric_limits<int>::min() || t > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return static_cast<int>(t);
}

ViewRect Offset(ViewRect r, int dx, int dy) {
    return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

}  // namespace

double PictureAspect(ViewMode viewMode, int direction, int imageWidth, int imageHeight) {
    if (viewMode == kPreviewMode) {
        return direction == 1 ? 4.0 / 3.0 : 3.0 / 4.0;
    }
    if (imageWidth <= 0 || imageHeight <= 0) {
        return 0.0;
    }
    return static_cast<double>(imageWidth) / static_cast<double>(imageHeight);
}

FrameFit FitFrame(const ViewRect& box, double aspect) {
    const int a = box.Width() - 2;
    const int b = box.Height() - 2;
    if (a <= 0 || b <= 0 || !std::isfinite(aspect) || aspect <= 0.0) {
        return {};
    }
    FrameFit fit;
    if (aspect < static_cast<double>(a) / static_cast<double>(b)) {
        const int width = static_cast<int>(std::trunc(b * aspect));
        const int left = static_cast<int>(std::trunc((a - width) * 0.5));
        fit.picture = {left, 0, left + width, b};
        fit.bar1 = {0, 0, left, b};
        fit.bar2 = {left + width, 0, a, b};
    } else {
        const int height = static_cast<int>(std::trunc(a / aspect));
        const int top = static_cast<int>(std::trunc((b - height) * 0.5));
        fit.picture = {0, top, a, top + height};
        fit.bar1 = {0, 0, a, top};
        fit.bar2 = {0, top + height, a, b};
    }
    const int dx = box.left + 1;
    const int dy = box.top + 1;
    fit.picture = Offset(fit.picture, dx, dy);
    fit.bar1 = Offset(fit.bar1, dx, dy);
    fit.bar2 = Offset(fit.bar2, dx, dy);
    return fit;
}

std::optional<ImagePoint> ViewToImage(ViewPoint point, const ImageMapping& m) {
    const double l = m.imageRect.left;
    const double t = m.imageRect.top;
    const double rl = m.imageRect.Width();
    const double bt = m.imageRect.Height();
    if (rl <= 0 || bt <= 0 || m.imageWidth <= 0 || m.imageHeight <= 0) {
        return std::nullopt;
    }
    if (!m.preview) {
        return ImagePoint{(point.x - l) / (rl / m.imageWidth),
                          (point.y - t) / (bt / m.imageHeight)};
    }
    const double wo = m.outputWidth;
    const double ho = m.outputHeight;
    const double tw = m.trimRect.Width();
    const double th = m.trimRect.Height();
    if (wo <= 0 || ho <= 0 || tw <= 0 || th <= 0) {
        return std::nullopt;
    }
    const double xo = (point.x - l) / (rl / wo);
    const double yo = (point.y - t) / (bt / ho);
    return ImagePoint{xo / (wo / tw) + m.trimRect.left, yo / (ho / th) + m.trimRect.top};
}

std::optional<ViewPoint> ImageToView(ImagePoint point, const ImageMapping& m) {
    const double l = m.imageRect.left;
    const double t = m.imageRect.top;
    const double rl = m.imageRect.Width();
    const double bt = m.imageRect.Height();
    std::optional<int> vx;
    std::optional<int> vy;
    if (!m.preview) {
        if (m.imageWidth <= 0 || m.imageHeight <= 0) {
            return std::nullopt;
        }
        vx = TruncToInt(rl / m.imageWidth * point.x + l + 0.5);
        vy = TruncToInt(bt / m.imageHeight * point.y + t + 0.5);
    } else {
        const double wo = m.outputWidth;
        const double ho = m.outputHeight;
        const double tw = m.trimRect.Width();
        const double th = m.trimRect.Height();
        if (wo <= 0 || ho <= 0 || tw <= 0 || th <= 0) {
            return std::nullopt;
        }
        vx = TruncToInt(wo / tw * (point.x - m.trimRect.left) * (rl / wo) + l + 0.5);
        vy = TruncToInt(ho / th * (point.y - m.trimRect.top) * (bt / ho) + t + 0.5);
    }
    if (!vx || !vy) {
        return std::nullopt;
    }
    return ViewPoint{*vx, *vy};
}

}  // namespace kivra
