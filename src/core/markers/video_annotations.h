#pragma once
// What the user adds to the open video: markers and the per-frame trimming rectangles. Owned by
// the document beside the stream, made and deleted with it.
#include "geometry/trimming_param.h"
#include "markers/lff_manager.h"
#include "markers/trimming_state.h"

struct VideoAnnotations {
    CLFFManager m_markers;
    CTrimmingParam m_trimParam;
    // The trimming state the marker file holds, as the video opened or as last saved: a
    // different current one is unsaved work, like modified markers.
    kivra::TrimmingState m_savedTrimming;
};
