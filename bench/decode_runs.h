#pragma once
// kivra-cli decode run forwards and backwards in turn, so that a machine whose speed drifts
// (other tenants, clock changes) weighs on both orders alike; shared by the benchmarks that
// set stepping backwards against stepping forwards.
#include <algorithm>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"

namespace kivra::bench {

// What one kivra-cli decode run printed and took.
struct DecodeRun {
    int frames = 0;
    double msPerFrame = 0;
    ChildResult child;
};

// count < 0: every frame once.
inline std::optional<DecodeRun> RunDecode(const std::string& cli, const std::string& path,
                                          const std::string& order, int count = -1) {
    std::vector<std::string> argv = {cli, "decode", path, "--order", order};
    if (count >= 0) {
        argv.insert(argv.end(), {"--count", std::to_string(count)});
    }
    DecodeRun run;
    run.child = RunChild(argv, Output::Capture);
    const std::string& out = run.child.out;
    const size_t framesAt = out.find("frames=");
    const size_t msAt = out.find("ms_per_frame=");
    if (!run.child.ran || framesAt == std::string::npos || msAt == std::string::npos) {
        return std::nullopt;
    }
    run.frames = int(std::strtol(out.c_str() + framesAt + 7, nullptr, 10));
    run.msPerFrame = std::strtod(out.c_str() + msAt + 13, nullptr);
    return run;
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0.0 : n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Each order's best ms per frame and frames decoded, and over the pairs the medians of
// backward against forward whole-run wall time and user + system time.
struct BothWays {
    int forwardFrames = 0, backwardFrames = 0;
    double forwardMs = std::numeric_limits<double>::infinity();
    double backwardMs = std::numeric_limits<double>::infinity();
    double wallRatio = 0, cpuRatio = 0;
    double maxRssMb = 0;  // of the forward runs
};

// Nothing when a run failed.
inline std::optional<BothWays> DecodeBothWays(const std::string& cli, const std::string& path,
                                              int pairs) {
    BothWays both;
    std::vector<double> wall, cpu;
    for (int pair = 0; pair < pairs; ++pair) {
        const std::optional<DecodeRun> forward = RunDecode(cli, path, "forward");
        const std::optional<DecodeRun> backward =
            forward ? RunDecode(cli, path, "backward") : std::nullopt;
        if (!backward) {
            return std::nullopt;
        }
        both.forwardFrames = forward->frames;
        both.backwardFrames = backward->frames;
        both.forwardMs = std::min(both.forwardMs, forward->msPerFrame);
        both.backwardMs = std::min(both.backwardMs, backward->msPerFrame);
        both.maxRssMb = std::max(both.maxRssMb, forward->child.maxRssMb);
        wall.push_back(backward->child.wallMs / forward->child.wallMs);
        cpu.push_back(backward->child.cpuMs / forward->child.cpuMs);
    }
    both.wallRatio = Median(wall);
    both.cpuRatio = Median(cpu);
    return both;
}

}  // namespace kivra::bench
