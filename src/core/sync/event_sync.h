#pragma once
// The offset from moments both videos saw: heel strikes of the same foot, or flashes. Each
// pairing proposes an offset; the one most moments agree on wins, so a missed or an extra
// moment in either video does not move it.
#include <utility>
#include <vector>

#include "gait/gait_events.h"
#include "sync/sync_offset.h"

namespace kivra {

// A moment in one video, from its first frame's start; only moments of equal label pair up
// (a foot's side, or 0 for flashes).
struct TimedMoment {
    SyncOffset time;
    int label = 0;
};

// The pairing most moments agree on: offset and agreeing are the mean of the agreeing pairs
// (exact when they all give the same fraction) and how many there are; pairs are indices into
// a and b.
struct MomentMatch {
    std::optional<SyncOffset> offset;
    int agreeing = 0;
    std::vector<std::pair<int, int>> pairs;
};

// Moments agree when their differences lie within tolerance of the proposed offset; offsets
// beyond maxOffset are never proposed. Only the first kMaxMoments of each list are used.
inline constexpr int kMaxMoments = 64;
MomentMatch MatchMoments(const std::vector<TimedMoment>& a, const std::vector<TimedMoment>& b,
                         double toleranceSeconds, double maxOffsetSeconds);

// The offset from the heel strikes of both videos (toe-offs are ignored), paired foot by foot,
// agreeing within half a frame of the slower video. Found when at least two strikes and at
// least half of the fewer video's agree.
SyncEstimate FindEventOffset(const std::vector<GaitEvent>& a, const VideoClock& clockA,
                             const std::vector<GaitEvent>& b, const VideoClock& clockB,
                             double maxOffsetSeconds);

}  // namespace kivra
