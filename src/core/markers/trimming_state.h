#pragma once
// The trimming state of the open video (mode, output size and direction, mosaic type, play
// range, both areas). The marker store's header is its stored form, so the program and the
// batch tool restore it the same way. The editing session owns the live one.
#include "geometry/trimming_param.h"
#include "markers/lff_manager.h"

namespace kivra {

struct TrimmingState {
    int mode = 0;
    int sizeType = 0;
    int direction = 0;
    int mosaicType = 1;
    int rangeStart = 0;
    int rangeEnd = 0;
    AreaState area1;
    AreaState area2;

    bool operator==(const TrimmingState&) const = default;
};

// The state stored with the markers, made safe for a video of frameCount frames: a play range
// that does not lie inside the video (or is not start < end) becomes the whole video, and an
// area set on a frame outside the video counts as unset.
TrimmingState TrimmingStateFromMarkers(const CLFFManager& markers, int frameCount);

// The whole state into the header, as the next save writes it.
void StoreTrimmingState(CLFFManager& markers, const TrimmingState& state);

}  // namespace kivra
