#include "sync/event_sync.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/translation.h"

namespace kivra {
namespace {

// How the pairs of one proposed offset fit: more agreeing first, then the closer fit.
struct Fit {
    int agreeing = 0;
    double spread = 0.0;
    std::vector<std::pair<int, int>> pairs;

    bool BetterThan(const Fit& other) const {
        return agreeing != other.agreeing ? agreeing > other.agreeing : spread < other.spread;
    }
};

Fit FitOf(const std::vector<double>& ta, const std::vector<int>& la, const std::vector<double>& tb,
          const std::vector<int>& lb, double offset, double tolerance) {
    Fit fit;
    std::vector<bool> used(tb.size(), false);
    for (size_t i = 0; i < ta.size(); ++i) {
        int best = -1;
        double bestError = tolerance;
        for (size_t j = 0; j < tb.size(); ++j) {
            const double error = std::abs(tb[j] - ta[i] - offset);
            if (!used[j] && lb[j] == la[i] && error <= bestError) {
                best = int(j);
                bestError = error;
            }
        }
        if (best >= 0) {
            used[size_t(best)] = true;
            ++fit.agreeing;
            fit.spread += bestError;
            fit.pairs.emplace_back(int(i), best);
        }
    }
    return fit;
}

}  // namespace

MomentMatch MatchMoments(const std::vector<TimedMoment>& a, const std::vector<TimedMoment>& b,
                         double toleranceSeconds, double maxOffsetSeconds) {
    const size_t na = std::min<size_t>(a.size(), kMaxMoments);
    const size_t nb = std::min<size_t>(b.size(), kMaxMoments);
    std::vector<double> ta(na), tb(nb);
    std::vector<int> la(na), lb(nb);
    for (size_t i = 0; i < na; ++i) {
        ta[i] = a[i].time.Seconds();
        la[i] = a[i].label;
    }
    for (size_t j = 0; j < nb; ++j) {
        tb[j] = b[j].time.Seconds();
        lb[j] = b[j].label;
    }
    Fit best;
    for (size_t i = 0; i < na; ++i) {
        for (size_t j = 0; j < nb; ++j) {
            const double proposed = tb[j] - ta[i];
            if (la[i] != lb[j] || !(std::abs(proposed) <= maxOffsetSeconds)) {
                continue;
            }
            Fit fit = FitOf(ta, la, tb, lb, proposed, toleranceSeconds);
            if (fit.BetterThan(best)) {
                best = std::move(fit);
            }
        }
    }
    MomentMatch match;
    match.agreeing = best.agreeing;
    match.pairs = best.pairs;
    if (best.pairs.empty()) {
        return match;
    }
    // Exact when every pair says the same; frames of different rates often do.
    std::optional<SyncOffset> common;
    bool same = true;
    double sum = 0.0;
    for (const auto& [i, j] : best.pairs) {
        const std::optional<SyncOffset> difference =
            b[size_t(j)].time.Plus(a[size_t(i)].time.Negated());
        if (!difference) {
            return MomentMatch{};
        }
        if (common && !(*common == *difference)) {
            same = false;
        }
        common = common.value_or(*difference);
        sum += difference->Seconds();
    }
    match.offset = same ? common : SyncOffset::FromSeconds(sum / double(best.pairs.size()));
    return match;
}

SyncEstimate FindEventOffset(const std::vector<GaitEvent>& a, const VideoClock& clockA,
                             const std::vector<GaitEvent>& b, const VideoClock& clockB,
                             double maxOffsetSeconds) {
    SyncEstimate estimate;
    estimate.method = SyncMethod::kEvents;
    if (!clockA.Valid() || !clockB.Valid()) {
        estimate.why = translate("SyncMessages", "動画にフレームレートがありません");
        return estimate;
    }
    const auto strikes = [](const std::vector<GaitEvent>& events, const VideoClock& clock) {
        std::vector<TimedMoment> moments;
        for (const GaitEvent& event : events) {
            if (event.kind != GaitEventKind::kHeelStrike) {
                continue;
            }
            const auto time =
                SyncOffset::FromSeconds(event.moment * double(clock.scale) / double(clock.rate));
            if (time) {
                moments.push_back({*time, event.side == FootSide::kRight ? 0 : 1});
            }
        }
        return moments;
    };
    const std::vector<TimedMoment> ma = strikes(a, clockA);
    const std::vector<TimedMoment> mb = strikes(b, clockB);
    const size_t fewer = std::min(ma.size(), mb.size());
    if (fewer < 2) {
        estimate.why = translate("SyncMessages", "両方の動画に同じ足の踵接地が 2 つ以上必要です");
        return estimate;
    }
    const double slowerFrame =
        std::max(1.0 / clockA.FramesPerSecond(), 1.0 / clockB.FramesPerSecond());
    const MomentMatch match = MatchMoments(ma, mb, slowerFrame / 2, maxOffsetSeconds);
    estimate.agreeing = match.agreeing;
    estimate.confidence = double(match.agreeing) / double(std::min<size_t>(fewer, kMaxMoments));
    if (match.offset) {
        estimate.offset = *match.offset;
    }
    if (!match.offset || match.agreeing < 2 || estimate.confidence < 0.5) {
        estimate.why =
            ArgText(translate("SyncMessages", "踵接地のずれが揃いません (%1 個中 %2 個のみ一致)"),
                    {std::to_string(fewer), std::to_string(match.agreeing)});
        return estimate;
    }
    estimate.found = true;
    return estimate;
}

}  // namespace kivra
