#include "sync/flash_sync.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/translation.h"
#include "reading/avi_video_stream.h"
#include "sync/event_sync.h"

namespace kivra {
namespace {

// About this many pixels a side are averaged: a flash lights the whole picture.
constexpr int kGridSide = 128;

double MeanBrightness(const Dib& dib) {
    const int width = dib.Width();
    const int height = dib.Height();
    if (width <= 0 || height <= 0 || dib.header.biBitCount != 24 ||
        dib.bits.size() < size_t(dib.Stride()) * size_t(height)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    const int stepX = std::max(1, width / kGridSide);
    const int stepY = std::max(1, height / kGridSide);
    int64_t sum = 0;
    int64_t count = 0;
    for (int y = 0; y < height; y += stepY) {
        const uint8_t* row = dib.PictureRow(y);
        for (int x = 0; x < width; x += stepX) {
            const uint8_t* bgr = row + size_t(x) * 3;
            sum += (29 * bgr[0] + 150 * bgr[1] + 77 * bgr[2]) >> 8;
            ++count;
        }
    }
    return double(sum) / double(count);
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0.0;
    }
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

}  // namespace

std::vector<double> FrameBrightness(CAviVideoStream& stream, const BrightnessProgress& progress) {
    const int total = stream.GetFrameCount();
    std::vector<double> brightness;
    brightness.reserve(size_t(std::max(total, 0)));
    Dib picture;
    for (int n = 0; n < total; ++n) {
        if (progress && !progress(n, total)) {
            return {};
        }
        brightness.push_back(stream.CopyFrame(n, false, picture)
                                 ? MeanBrightness(picture)
                                 : std::numeric_limits<double>::quiet_NaN());
    }
    return brightness;
}

std::vector<Flash> FindFlashes(const std::vector<double>& brightness) {
    std::vector<double> rise(brightness.size(), 0.0);
    std::vector<double> sizes;
    for (size_t n = 1; n < brightness.size(); ++n) {
        const double step = brightness[n] - brightness[n - 1];
        if (std::isfinite(step)) {
            rise[n] = step;
            sizes.push_back(std::abs(step));
        }
    }
    // The median step measures the noise; half a level keeps a still picture from dividing
    // by nothing.
    const double noise = std::max(0.5, 1.4826 * Median(sizes));
    std::vector<Flash> flashes;
    constexpr size_t kApart = 2;
    for (size_t n = 1; n < rise.size(); ++n) {
        const double strength = rise[n] / noise;
        if (rise[n] < kFlashLevels || strength < kFlashStrength) {
            continue;
        }
        const size_t from = n > kApart ? n - kApart : 0;
        const size_t to = std::min(rise.size() - 1, n + kApart);
        bool strongest = true;
        for (size_t m = from; m <= to; ++m) {
            strongest = strongest && (rise[m] < rise[n] || (rise[m] == rise[n] && m >= n));
        }
        if (strongest) {
            flashes.push_back({int(n), strength});
        }
    }
    if (flashes.size() > size_t(kMaxMoments)) {
        std::sort(flashes.begin(), flashes.end(),
                  [](const Flash& x, const Flash& y) { return x.strength > y.strength; });
        flashes.resize(size_t(kMaxMoments));
        std::sort(flashes.begin(), flashes.end(),
                  [](const Flash& x, const Flash& y) { return x.frame < y.frame; });
    }
    return flashes;
}

SyncEstimate FindFlashOffset(const std::vector<double>& a, const VideoClock& clockA,
                             const std::vector<double>& b, const VideoClock& clockB,
                             double maxOffsetSeconds) {
    SyncEstimate estimate;
    estimate.method = SyncMethod::kFlash;
    if (!clockA.Valid() || !clockB.Valid()) {
        estimate.why = translate("SyncMessages", "動画にフレームレートがありません");
        return estimate;
    }
    const std::vector<Flash> fa = FindFlashes(a);
    const std::vector<Flash> fb = FindFlashes(b);
    if (fa.empty() || fb.empty()) {
        estimate.why = ArgText(translate("SyncMessages", "%1 に急に明るくなるフレームがありません"),
                               {fa.empty() ? "A" : "B"});
        return estimate;
    }
    const auto moments = [](const std::vector<Flash>& flashes, const VideoClock& clock) {
        std::vector<TimedMoment> out;
        for (const Flash& flash : flashes) {
            out.push_back({SyncOffset::FrameStart(clock, flash.frame).value_or(SyncOffset()), 0});
        }
        return out;
    };
    const double slowerFrame =
        std::max(1.0 / clockA.FramesPerSecond(), 1.0 / clockB.FramesPerSecond());
    const MomentMatch match =
        MatchMoments(moments(fa, clockA), moments(fb, clockB), slowerFrame, maxOffsetSeconds);
    const size_t fewer = std::min(fa.size(), fb.size());
    estimate.agreeing = match.agreeing;
    if (!match.offset || size_t(match.agreeing) * 2 < fewer) {
        estimate.why = translate("SyncMessages", "両方の動画の閃光の時刻が揃いません");
        return estimate;
    }
    estimate.offset = *match.offset;
    estimate.confidence = std::numeric_limits<double>::max();
    for (const auto& [i, j] : match.pairs) {
        estimate.confidence =
            std::min({estimate.confidence, fa[size_t(i)].strength, fb[size_t(j)].strength});
    }
    estimate.found = true;
    return estimate;
}

}  // namespace kivra
