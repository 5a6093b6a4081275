#pragma once
// The trimming state a marker file carries (mode, output settings, play range, both areas),
// read from and written into the marker store's header, so the program and the batch tool
// restore it the same way.
#include "geometry/trimming_param.h"
#include "markers/lff_manager.h"

class CInifileManager;

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

// Mode, play range and areas into the header; the output settings are added when saving.
void StoreTrimmingState(CLFFManager& markers, const TrimmingState& state);

// Applies the restored state: settings Mode, SizeType, Direction, MosaicRectType, and the
// per-frame rectangles when both areas are set.
void ApplyTrimmingState(const TrimmingState& state, CInifileManager& settings, int frameCount,
                        CTrimmingParam& rects);

}  // namespace kivra
