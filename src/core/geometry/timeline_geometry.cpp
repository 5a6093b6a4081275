#include "geometry/timeline_geometry.h"

#include <cmath>

namespace kivra {

namespace {

// Truncates toward zero, pinned to +-kTimelineFar (NaN counts as 0).
int TruncPinned(double v) {
    if (std::isnan(v)) {
        return 0;
    }
    if (v >= double(kTimelineFar)) {
        return kTimelineFar;
    }
    if (v <= -double(kTimelineFar)) {
        return -kTimelineFar;
    }
    return int(std::trunc(v));
}

}  // namespace

double TimelineScale(int clientWidth, int frameCount) {
    if (frameCount <= 0) {
        return 0.0;
    }
    return double(clientWidth - 2 * kTimelineMargin) / double(frameCount);
}

int TimelineFrameToX(int frame, double scale) {
    return TruncPinned(TruncPinned(double(frame) * scale) + double(kTimelineMargin));
}

int TimelineSpan(double frames, double scale) {
    return TruncPinned(frames * scale);
}

int TimelineXToFrame(int x, double scale, int firstFrame, int lastFrame) {
    if (!(scale > 0.0) || std::isinf(scale)) {
        return firstFrame;
    }
    // Clamp before converting: a tiny scale would otherwise give frames beyond the int range.
    const double frame = (double(x) - kTimelineMargin) / scale;
    if (frame <= double(firstFrame)) {
        return firstFrame;
    }
    if (frame >= double(lastFrame)) {
        return lastFrame;
    }
    return int(std::trunc(frame));
}

}  // namespace kivra
