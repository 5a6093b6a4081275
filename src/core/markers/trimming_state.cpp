#include "markers/trimming_state.h"

namespace kivra {

namespace {

AreaState SavedArea(int frame, const PixelRect& rect, int frameCount) {
    if (frame < 0 || frame >= frameCount) {
        return AreaState{};
    }
    return AreaFromSaved(rect, frame);
}

}  // namespace

TrimmingState TrimmingStateFromMarkers(const CLFFManager& markers, int frameCount) {
    TrimmingState state;
    state.mode = markers.GetMode();
    state.sizeType = markers.GetSizeType();
    state.direction = markers.GetDirection();
    state.mosaicType = markers.GetMosaicType();
    state.rangeStart = markers.GetRangeStart();
    state.rangeEnd = markers.GetRangeEnd();
    if (state.rangeStart < 0 || state.rangeEnd >= frameCount ||
        state.rangeStart >= state.rangeEnd) {
        state.rangeStart = 0;
        state.rangeEnd = frameCount - 1;
    }
    state.area1 = SavedArea(markers.GetArea1Frame(), markers.GetArea1Rect(), frameCount);
    state.area2 = SavedArea(markers.GetArea2Frame(), markers.GetArea2Rect(), frameCount);
    return state;
}

void StoreTrimmingState(CLFFManager& markers, const TrimmingState& state) {
    markers.SetMode(state.mode);
    markers.SetSizeType(state.sizeType);
    markers.SetDirection(state.direction);
    markers.SetMosaicType(state.mosaicType);
    markers.SetArea1Frame(state.area1.frame);
    markers.SetArea1Rect(state.area1.rect);
    markers.SetArea2Frame(state.area2.frame);
    markers.SetArea2Rect(state.area2.rect);
    markers.SetRangeStart(state.rangeStart);
    markers.SetRangeEnd(state.rangeEnd);
}

}  // namespace kivra
