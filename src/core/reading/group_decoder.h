#pragma once
// A decoder that runs from a key picture through the groups of pictures after it and numbers
// what it gives in display order, whichever file it reads. The decoding-ahead thread drives one
// of its own; the AVI pipeline and the direct pipeline are the two kinds.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "reading/decoder_stats.h"

struct AVFrame;

namespace kivra {

// The group of pictures display number n belongs to, given where each group starts (ascending);
// 0 before the first.
inline int GroupOf(const std::vector<int32_t>& keys, int n) {
    const auto it = std::upper_bound(keys.begin(), keys.end(), n);
    return it == keys.begin() ? 0 : int(it - keys.begin()) - 1;
}

class GroupDecoder {
public:
    static constexpr int kRunEnded = -1;  // end of stream, error, or stopped
    // Asked before every packet is sent; true abandons the run.
    using StopCheck = bool (*)(void* context);

    virtual ~GroupDecoder() = default;

    // Whether the current run reaches target by decoding on, without a restart.
    virtual bool CanContinueTo(int target) const = 0;
    // Restarts at a key picture so that the run passes target, showing pictures from the group
    // of key index fromGroup on (-1: target's own group). withLeading asks for the group's
    // leading pictures even when target does not need them.
    virtual void StartRun(int target, int fromGroup, bool withLeading) = 0;
    // The display number the run shows first after a restart, or next when it continues.
    virtual int NextDisplay() const = 0;
    // Decodes the next picture of the run and returns its display number (the picture is in
    // Picture() until the next call), or kRunEnded.
    virtual int Next(StopCheck stop, void* context) = 0;
    virtual const AVFrame& Picture() const = 0;
    // Whether Picture() lives in the cache's buffers, so the cache may keep it by reference.
    virtual bool PictureShared() const = 0;
    virtual void ReleasePicture() = 0;

    // How many pictures of a group are shown before its key picture yet need the group before
    // it; -1 when that cannot be told.
    virtual int LeadingCount(int keyIndex) = 0;
    // How the showing side numbers pictures, so both number alike.
    virtual void SetReorders(bool reorder) = 0;
    virtual bool Reorders() const { return false; }
    // Called after the showing side decoded a picture, once the decoder has seen the stream.
    virtual void SettleReordering() {}

    virtual const DecoderStats& Stats() const = 0;
};

class PictureCache;

// How a run toward a picture ended: it came out (it is then the decoder's Picture()), the run
// ended first, or the run went past it (the picture was lost).
enum class RunOutcome { Reached, Ended, Passed };

// Decodes on, in the run the decoder has, until target comes out. The pictures passed on the way
// go into the cache: they are what steps back from target need, whether the run restarted for
// target or went on from a picture shown before (a jump within a long group).
RunOutcome DecodeOnTo(GroupDecoder& decoder, PictureCache& cache, int target);

}  // namespace kivra
