#pragma once
// Zero-lag low-pass filtering of marker trajectories: a second-order Butterworth section run
// forwards and then backwards, which makes a fourth-order response without phase shift.
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kivra {

// One second-order section, direct form II transposed, a0 = 1.
struct Biquad {
    double b0 = 1.0, b1 = 0.0, b2 = 0.0;
    double a1 = 0.0, a2 = 0.0;
};

// The zero-lag low-pass of one cut-off at one sampling rate; a value type.
class ZeroLagLowPass {
public:
    // Two passes square the section's response, so the section is designed for a cut-off
    // raised by the usual correction (2^(1/2) - 1)^(-1/4) on the pre-warped frequency: the
    // whole filter then passes exactly 1/sqrt(2) of the amplitude at cutoffHz. Nothing unless
    // 0 < cutoffHz < sampleRateHz / 2, both are finite, and the cut-off is at least
    // LowestCutoff(sampleRateHz), below which the start-up could not settle in the padding.
    static std::optional<ZeroLagLowPass> Make(double cutoffHz, double sampleRateHz);
    static double LowestCutoff(double sampleRateHz);

    // The filtered samples. The ends are extended by point reflection before filtering (and
    // the state starts settled on the first value), so a trend runs on through the ends
    // instead of starting from zero; a straight line comes back straight. Fewer than
    // kMinSamples samples come back unchanged: two points carry no shape to smooth.
    std::vector<double> Run(std::span<const double> samples) const;

    static constexpr std::size_t kMinSamples = 3;
    // Reflected samples at each end at most: three cut-off periods must fit.
    static constexpr std::size_t kMaxPadding = 100000;

private:
    ZeroLagLowPass(const Biquad& section, std::size_t padding)
        : section_(section), padding_(padding) {}

    Biquad section_;
    std::size_t padding_;  // reflected samples added at each end (fewer on short runs)
};

// Why a filter of cutoffHz cannot run on samples at sampleRateHz, in words with the usable
// range; empty when ZeroLagLowPass::Make would make it.
std::string CutoffProblem(double cutoffHz, double sampleRateHz);

}  // namespace kivra
