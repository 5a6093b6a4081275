#include "frame/window_playback_host.h"

namespace kivra {

const std::vector<int>& WindowSliderHost::MarkerFrames() const {
    static const std::vector<int> kNone;
    const VideoAnnotations* annotations = m_video.Annotations();
    return annotations != nullptr ? annotations->m_markers.FramesWithMarkers() : kNone;
}

}  // namespace kivra
