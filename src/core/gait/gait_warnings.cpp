#include "gait/gait_warnings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/number_text.h"

namespace kivra {
namespace {

const char* SideWord(FootSide side) {
    return side == FootSide::kRight ? "right" : "left";
}

// The distance between two markers in the middle of each stance of side, in pixels: the foot
// is flat there and the legs pass the same pose, so only the distance to the camera changes it.
std::vector<double> MidStanceLengths(const MarkerTrack& from, const MarkerTrack& to, FootSide side,
                                     const GaitParameters& parameters) {
    std::vector<double> lengths;
    for (const StrideParameters& s : parameters.strides) {
        if (s.side != side || !s.stancePercent) {
            continue;
        }
        const int middle =
            s.startFrame + static_cast<int>(std::lround(0.3 * *s.stancePercent / 100.0 *
                                                        (s.endFrame - s.startFrame)));
        const auto a = from.At(middle);
        const auto b = to.At(middle);
        if (a && b) {
            lengths.push_back(std::hypot(b->x - a->x, b->y - a->y));
        }
    }
    return lengths;
}

// A warning when the lengths change by more than the bound across strides.
std::optional<GaitWarning> PlaneWarning(const std::vector<double>& lengths, FootSide side) {
    if (lengths.size() < 2) {
        return std::nullopt;
    }
    const auto [shortest, longest] = std::minmax_element(lengths.begin(), lengths.end());
    const double change = *shortest > 0.0 ? 100.0 * (*longest / *shortest - 1.0) : 0.0;
    if (change <= kOutOfPlanePercent) {
        return std::nullopt;
    }
    // Steadily growing or shrinking: the walk runs at an angle to the picture.
    const bool rising = std::is_sorted(lengths.begin(), lengths.end());
    const bool falling = std::is_sorted(lengths.rbegin(), lengths.rend());
    return GaitWarning{GaitWarning::kOutOfPlane, side, 0, change, rising || falling};
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
        case kVariableFrameRate:
            return "VariableFrameRate";
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
            std::snprintf(
                text, sizeof text,
                "%s%s%s looks %.0f %% longer in one stride than in another: the walker %s",
                segment.empty() ? "the " : "the segment ",
                segment.empty() ? SideWord(side) : Excerpt(segment).c_str(),
                segment.empty() ? " foot" : "", value,
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
        case kVariableFrameRate:
            std::snprintf(text, sizeof text,
                          "the source's frame rate varies: of %d frames %d repeat the picture "
                          "before and %d picture(s) fall between frames at %.3f frames per "
                          "second; times and speeds may be a frame off there",
                          count, repeated, skipped, value);
            return text;
    }
    return {};
}

bool VariableFrameRate(const FrameTiming& timing) {
    const int irregular = timing.repeated + timing.skipped;
    return irregular >= 2 && irregular * 500 >= timing.frames;
}

std::vector<GaitWarning> GaitWarnings(const GaitParameters& parameters,
                                      const std::vector<FootTrack>& feet, double fps,
                                      const std::vector<SegmentTrack>& segments) {
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
        if (auto w = PlaneWarning(MidStanceLengths(foot.heel, foot.toe, foot.side, parameters),
                                  foot.side)) {
            warnings.push_back(std::move(*w));
        }
    }
    // A segment is said once, on the side where it changes most.
    for (const SegmentTrack& segment : segments) {
        std::optional<GaitWarning> worst;
        for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
            if (segment.side && *segment.side != side) {
                continue;
            }
            auto w =
                PlaneWarning(MidStanceLengths(segment.from, segment.to, side, parameters), side);
            if (w && (!worst || w->value > worst->value)) {
                worst = std::move(w);
            }
        }
        if (worst) {
            worst->segment = segment.name;
            warnings.push_back(std::move(*worst));
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
