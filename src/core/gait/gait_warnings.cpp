#include "gait/gait_warnings.h"

#include <algorithm>
#include <cmath>

#include "platform/number_text.h"
#include "platform/translation.h"

namespace kivra {
namespace {

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
    const auto number = [](long long n) { return std::to_string(n); };
    switch (code) {
        case kPixels:
            return translate("GaitMessages",
                             "長さはピクセル単位です: 動画にキャリブレーションがありません");
        case kFewStrides:
            return ArgText(translate("GaitMessages",
                                     "%1のストライドは %2 件です。%3 件未満では"
                                     "ばらつきを読み取れません"),
                           {FootText(side), number(count), number(kFewStridesPerSide)});
        case kLowFrameRate:
            return ArgText(translate("GaitMessages",
                                     "1 歩が %1 フレームしかありません: イベント時刻の半フレームの"
                                     "ずれが 1 歩の %2 % に当たります"),
                           {FixedText(value, 1), FixedText(50.0 / value, 0)});
        case kOutOfPlane: {
            const std::string text =
                segment.empty()
                    ? (towards ? translate("GaitMessages",
                                           "%1の長さがストライドにより %2 % 変わります: "
                                           "カメラに近づくか遠ざかって歩いています")
                               : translate("GaitMessages",
                                           "%1の長さがストライドにより %2 % 変わります: "
                                           "カメラが捉える面から外れています"))
                    : (towards ? translate("GaitMessages",
                                           "体節 %1 の長さがストライドにより %2 % 変わります: "
                                           "カメラに近づくか遠ざかって歩いています")
                               : translate("GaitMessages",
                                           "体節 %1 の長さがストライドにより %2 % 変わります: "
                                           "カメラが捉える面から外れています"));
            return ArgText(
                text, {segment.empty() ? FootText(side) : Excerpt(segment), FixedText(value, 0)});
        }
        case kMarkerGaps:
            return ArgText(translate("GaitMessages",
                                     "%1 件のストライドでマーカの欠落によりイベントが失われました"),
                           {number(count)});
        case kStridesLeftOut:
            return ArgText(translate("GaitMessages",
                                     "%1 件のストライドを除外しました: "
                                     "イベントが歩行の順序に沿っていません"),
                           {number(count)});
        case kVariableFrameRate:
            return ArgText(
                translate("GaitMessages",
                          "元の動画のフレームレートが一定ではありません: %1 フレーム中 %2 "
                          "フレームが前と同じ画像で、%3 枚の画像が %4 フレーム/秒のフレームの間に"
                          "落ちています。そこでは時間と速度が 1 フレームずれることがあります"),
                {number(count), number(repeated), number(skipped), FixedText(value, 3)});
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
