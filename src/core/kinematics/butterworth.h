#pragma once
// Zero-lag low-pass filtering of marker trajectories: a second-order Butterworth section run
// forwards and then backwards, which makes a fourth-order response without phase shift.
#include <optional>
#include <span>
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
    // 0 < cutoffHz < sampleRateHz / 2 and both are finite.
    static std::optional<ZeroLagLowPass> Make(double cutoffHz, double sampleRateHz);

    // The filtered samples. The ends are extended by point reflection before filtering (and
    // the state starts settled on the first value), so a trend runs on through the ends
    // instead of starting from zero; a straight line comes back straight. Fewer than
    // kMinSamples samples come back unchanged: two points carry no shape to smooth.
    std::vector<double> Run(std::span<const double> samples) const;

    static constexpr std::size_t kMinSamples = 3;

private:
    ZeroLagLowPass(const Biquad& section, std::size_t padding)
        : section_(section), padding_(padding) {}

    Biquad section_;
    std::size_t padding_;  // reflected samples added at each end (fewer on short runs)
};

}  // namespace kivra
