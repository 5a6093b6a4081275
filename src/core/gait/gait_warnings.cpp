#include "gait/gait_warnings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kivra {
namespace {

const char* SideWord(FootSide side) {
    return side == FootSide::kRight ? "right" : "left";
}

// The foot's heel-to-toe length in the middle of each of its strides' stances, in pixels: the
// foot is flat there, so only the distance to the camera changes it.
std::vector<double> FootLengths(const FootTrack& foot, const GaitParameters& parameters) {
    std::vector<double> lengths;
    for (const StrideParameters& s : parameters.strides) {
        if (s.side != foot.side || !s.stancePercent) {
            continue;
        }
        const int middle =
            s.startFrame + static_cast<int>(std::lround(0.3 * *s.stancePercent / 100.0 *
                                                        (s.endFrame - s.startFrame)));
        const auto heel = foot.heel.At(middle);
        const auto toe = foot.toe.At(middle);
        if (heel && toe) {
            lengths.push_back(std::hypot(toe->x - heel->x, toe->y - heel->y));
        }
    }
    return lengths;
}

}  // namespace

const char* GaitWarning::CodeName() const {
    switch (code) {
        case kPixels:
            return "NoCalibration";
        case kFewStrides:
            return "FewStrides";
        case kLowFrameRate:
            return "LowFrameRate";
        case kOutOfPlane:
            return "OutOfPlane";
        case kMarkerGaps:
            return "MarkerGaps";
        case kStridesLeftOut:
            return "StridesLeftOut";
    }
    return "";
}

std::string GaitWarning::Text() const {
    char text[240];
    switch (code) {
        case kPixels:
            return "lengths are in pixels: the video has no calibration";
        case kFewStrides:
            std::snprintf(
                text, sizeof text,
                "the %s foot has %d stride(s); fewer than %d give no spread worth reading",
                SideWord(side), count, kFewStridesPerSide);
            return text;
        case kLowFrameRate:
            std::snprintf(text, sizeof text,
                          "%.1f frames a step: half a frame of event timing is %.0f %% of a step",
                          value, 50.0 / value);
            return text;
        case kOutOfPlane:
            std::snprintf(text, sizeof text,
                          "the %s foot looks %.0f %% longer in one stride than in another: the "
                          "walker %s",
                          SideWord(side), value,
                          towards ? "walks towards or away from the camera"
                                  : "leaves the plane the camera sees");
            return text;
        case kMarkerGaps:
            std::snprintf(text, sizeof text, "%d stride(s) lost an event to a marker gap", count);
            return text;
        case kStridesLeftOut:
            std::snprintf(text, sizeof text,
                          "%d stride(s) left out: their events do not follow the walking pattern",
                          count);
            return text;
    }
    return {};
}

std::vector<GaitWarning> GaitWarnings(const GaitParameters& parameters,
                                      const std::vector<FootTrack>& feet, double fps) {
    std::vector<GaitWarning> warnings;
    if (!parameters.millimetres) {
        warnings.push_back({GaitWarning::kPixels});
    }
    for (const FootTrack& foot : feet) {
        const int strides = static_cast<int>(
            std::count_if(parameters.strides.begin(), parameters.strides.end(),
                          [&](const StrideParameters& s) { return s.side == foot.side; }));
        if (strides < kFewStridesPerSide) {
            warnings.push_back({GaitWarning::kFewStrides, foot.side, strides});
        }
    }
    if (const ParameterSummary* steps = FindParameter(parameters, "StepTime");
        steps != nullptr && steps->both.mean && fps > 0.0) {
        const double frames = *steps->both.mean * fps;
        if (frames < kFewFramesPerStep) {
            warnings.push_back({GaitWarning::kLowFrameRate, FootSide::kRight, 0, frames});
        }
    }
    for (const FootTrack& foot : feet) {
        const std::vector<double> lengths = FootLengths(foot, parameters);
        if (lengths.size() < 2) {
            continue;
        }
        const auto [shortest, longest] = std::minmax_element(lengths.begin(), lengths.end());
        const double change = *shortest > 0.0 ? 100.0 * (*longest / *shortest - 1.0) : 0.0;
        if (change > kOutOfPlanePercent) {
            // Steadily growing or shrinking: the walk runs at an angle to the picture.
            const bool rising = std::is_sorted(lengths.begin(), lengths.end());
            const bool falling = std::is_sorted(lengths.rbegin(), lengths.rend());
            warnings.push_back({GaitWarning::kOutOfPlane, foot.side, 0, change, rising || falling});
        }
    }
    const int gaps = static_cast<int>(
        std::count_if(parameters.leftOut.begin(), parameters.leftOut.end(),
                      [](const LeftOutStride& s) { return s.why == LeftOutStride::kGap; }));
    if (gaps > 0) {
        warnings.push_back({GaitWarning::kMarkerGaps, FootSide::kRight, gaps});
    }
    const int broken = static_cast<int>(parameters.leftOut.size()) - gaps;
    if (broken > 0) {
        warnings.push_back({GaitWarning::kStridesLeftOut, FootSide::kRight, broken});
    }
    return warnings;
}

}  // namespace kivra
