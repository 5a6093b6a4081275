#include "kinematics/butterworth.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "platform/number_text.h"
#include "platform/translation.h"

namespace kivra {
namespace {

// One pass over the samples in place; the state starts as if the first value had always been.
void Pass(const Biquad& s, std::vector<double>& x) {
    if (x.empty()) {
        return;
    }
    const double x0 = x.front();
    double z1 = (1.0 - s.b0) * x0;
    double z2 = (s.b2 - s.a2) * x0;
    for (double& v : x) {
        const double in = v;
        const double out = s.b0 * in + z1;
        z1 = s.b1 * in - s.a1 * out + z2;
        z2 = s.b2 * in - s.a2 * out;
        v = out;
    }
}

}  // namespace

std::optional<ZeroLagLowPass> ZeroLagLowPass::Make(double cutoffHz, double sampleRateHz) {
    if (!std::isfinite(cutoffHz) || !std::isfinite(sampleRateHz) || cutoffHz <= 0.0 ||
        sampleRateHz <= 0.0 || cutoffHz >= sampleRateHz / 2.0 ||
        cutoffHz < LowestCutoff(sampleRateHz)) {
        return std::nullopt;
    }
    const double correction = std::pow(std::numbers::sqrt2 - 1.0, 0.25);
    const double k = std::tan(std::numbers::pi * cutoffHz / sampleRateHz) / correction;
    const double k2 = k * k;
    const double norm = 1.0 + std::numbers::sqrt2 * k + k2;
    Biquad s;
    s.b0 = k2 / norm;
    s.b1 = 2.0 * s.b0;
    s.b2 = s.b0;
    s.a1 = 2.0 * (k2 - 1.0) / norm;
    s.a2 = (1.0 - std::numbers::sqrt2 * k + k2) / norm;
    // The section settles within a few of its periods; three cut-off periods of reflection
    // keep the start-up out of the samples (never fewer than nine).
    const double periods = 3.0 * sampleRateHz / cutoffHz;
    const std::size_t padding =
        std::max<std::size_t>(9, static_cast<std::size_t>(std::ceil(periods)));
    return ZeroLagLowPass(s, std::min(padding, kMaxPadding));
}

double ZeroLagLowPass::LowestCutoff(double sampleRateHz) {
    return 3.0 * sampleRateHz / static_cast<double>(kMaxPadding);
}

std::string CutoffProblem(double cutoffHz, double sampleRateHz) {
    if (ZeroLagLowPass::Make(cutoffHz, sampleRateHz)) {
        return {};
    }
    if (!std::isfinite(sampleRateHz) || sampleRateHz <= 0.0) {
        return translate("KinematicsMessages",
                         "動画にフレームレートがないため、フィルタをかけられません");
    }
    if (std::isfinite(cutoffHz) && cutoffHz > 0.0 && cutoffHz < sampleRateHz / 2.0) {
        char cutoff[64];  // as typed, mostly: 0.5, not 0.5000
        std::snprintf(cutoff, sizeof cutoff, "%g", cutoffHz);
        return ArgText(translate("KinematicsMessages",
                                 "フィルタのカットオフ周波数 %1 Hz は低すぎるため、立ち上がりが"
                                 "収まりません。%2 フレーム/秒で使える最も低いカットオフ周波数は "
                                 "%3 Hz です"),
                       {cutoff, FixedText(sampleRateHz, 3),
                        FixedText(ZeroLagLowPass::LowestCutoff(sampleRateHz), 4)});
    }
    return ArgText(translate("KinematicsMessages",
                             "フィルタのカットオフ周波数は 0 より大きく、フレームレートの半分 "
                             "(%1 Hz) 未満にしてください"),
                   {FixedText(sampleRateHz / 2.0, 3)});
}

std::vector<double> ZeroLagLowPass::Run(std::span<const double> samples) const {
    const std::size_t n = samples.size();
    if (n < kMinSamples) {
        return std::vector<double>(samples.begin(), samples.end());
    }
    // Point reflection about each end, and again about the other end once the reflected
    // samples run out: a run shorter than the padding still carries its trend the whole way.
    const std::size_t pad = padding_;
    std::vector<double> x(n + 2 * pad);
    std::copy(samples.begin(), samples.end(), x.begin() + static_cast<std::ptrdiff_t>(pad));
    const std::size_t first = pad;
    const std::size_t last = pad + n - 1;
    for (std::size_t j = 1; j <= pad; ++j) {
        x[first - j] = 2.0 * x[first] - x[first + j];
        x[last + j] = 2.0 * x[last] - x[last - j];
    }
    Pass(section_, x);
    std::reverse(x.begin(), x.end());
    Pass(section_, x);
    std::reverse(x.begin(), x.end());
    return std::vector<double>(x.begin() + static_cast<std::ptrdiff_t>(pad),
                               x.begin() + static_cast<std::ptrdiff_t>(pad + n));
}

}  // namespace kivra
