#include "session/edit_session.h"

#include <algorithm>
#include <utility>

#include "settings/inifile_manager.h"

namespace kivra {

EditSession::EditSession(std::function<VideoAnnotations*()> annotations)
    : m_annotations(std::move(annotations)) {}

void EditSession::StartVideo(int frameCount) {
    m_nFrameCount = std::max(frameCount, 0);
    m_area1.Reset();
    m_area2.Reset();
    m_nViewMode = kNormalMode;
    m_nAreaIndex = 0;
    m_nRangeStart = 0;
    m_nRangeEnd = m_nFrameCount - 1;
    Notify(kChangeVideo | kChangeViewMode | kChangeAreas | kChangeRange);
}

void EditSession::EndVideo() {
    m_nFrameCount = 0;
    m_area1.Reset();
    m_area2.Reset();
    m_nViewMode = kNoVideo;
    m_nRangeStart = -1;
    m_nRangeEnd = -1;
    m_bShowInfo = false;  // a reopened video starts without it
    Notify(kChangeVideo | kChangeViewMode | kChangeAreas | kChangeRange | kChangeShowInfo);
}

bool EditSession::SetViewMode(ViewMode mode) {
    if (mode != kNoVideo && !HasVideo()) {
        return false;
    }
    if (mode != m_nViewMode) {
        m_nViewMode = mode;
        Notify(kChangeViewMode);
    }
    return true;
}

void EditSession::ToggleAreaMode() {
    m_nViewMode = m_nViewMode == kAreaMode ? kNormalMode : kAreaMode;
    m_nAreaIndex = 0;
    Notify(kChangeViewMode);
}

void EditSession::TogglePreview() {
    m_nViewMode = m_nViewMode == kPreviewMode ? kNormalMode : kPreviewMode;
    m_nAreaIndex = 0;
    Notify(kChangeViewMode);
}

void EditSession::LeaveAreaMode() {
    m_nViewMode = kNormalMode;
    m_nAreaIndex = 0;
    Notify(kChangeViewMode);
}

bool EditSession::SetAreaIndex(int index) {
    if (index != 0 && (index != 1 || !m_area1.IsSet())) {
        return false;
    }
    if (index != m_nAreaIndex) {
        m_nAreaIndex = index;
        Notify(kChangeViewMode);
    }
    return true;
}

ModeRequest EditSession::RequestTrimmingMode(TrimmingMode mode,
                                             const std::function<bool()>& confirmClear) {
    if (m_nTrimmingMode == mode) {
        return ModeRequest::kUnchanged;
    }
    const bool clears = HasVideo() && m_area1.IsSet();
    if (clears && !confirmClear()) {
        return ModeRequest::kRefused;
    }
    m_nTrimmingMode = mode;
    if (clears) {
        ClearAreas();
    }
    Notify(kChangeTrimmingMode);
    return ModeRequest::kChanged;
}

bool EditSession::SetArea(int index, const PixelRect& rect, int frame, int direction) {
    if (!HasVideo() || (index != 0 && index != 1) || rect.IsEmpty() || !ValidFrame(frame)) {
        return false;
    }
    AreaState& area = index == 0 ? m_area1 : m_area2;
    const AreaState& other = index == 0 ? m_area2 : m_area1;
    if (frame == other.frame) {
        return false;  // the two areas need two different frames
    }
    area = AreaFromClick(rect, frame);
    if (index == 0) {
        m_nAreaIndex = 1;
    } else {
        m_nViewMode = kNormalMode;
        m_nAreaIndex = 0;
    }
    if (AreasSet()) {
        Interpolate(direction);
    }
    Notify(kChangeAreas | kChangeViewMode);
    return true;
}

void EditSession::ClearAreas() {
    if (m_nViewMode == kPreviewMode) {
        m_nViewMode = kNormalMode;
    }
    m_nAreaIndex = 0;
    ResetAreas(m_area1, m_area2);
    Notify(kChangeAreas | kChangeViewMode);
}

void EditSession::ApplyDirection(int direction) {
    if (HasVideo() && RecomputeAreas(m_area1, m_area2, direction)) {
        Interpolate(direction);
    }
    Notify(kChangeAreas);
}

void EditSession::Interpolate(int direction) {
    if (VideoAnnotations* annotations = Annotations()) {
        InterpolateTrimRects(m_area1, m_area2, GetTrimmingMode(), direction, m_nFrameCount,
                             annotations->m_trimParam);
    }
}

bool EditSession::SetPlayRange(int start, int end) {
    if (!HasVideo() || start < 0 || end >= m_nFrameCount || start >= end) {
        return false;
    }
    if (start != m_nRangeStart || end != m_nRangeEnd) {
        m_nRangeStart = start;
        m_nRangeEnd = end;
        Notify(kChangeRange);
    }
    return true;
}

void EditSession::SetShowInfo(bool show) {
    if (show != m_bShowInfo) {
        m_bShowInfo = show;
        Notify(kChangeShowInfo);
    }
}

int EditSession::MosaicType() const {
    const VideoAnnotations* annotations = Annotations();
    return annotations != nullptr ? annotations->m_nMosaicType : 1;
}

bool EditSession::SetMosaicType(int type) {
    VideoAnnotations* annotations = Annotations();
    if (annotations == nullptr) {
        return false;
    }
    if (annotations->m_nMosaicType != type) {
        annotations->m_nMosaicType = type;
        Notify(kChangeMosaic);
    }
    return true;
}

CLFFManager* EditSession::MarkersFor(int id, int frame) const {
    VideoAnnotations* annotations = HasVideo() ? Annotations() : nullptr;
    if (annotations == nullptr || id < 1 || id > annotations->m_markers.GetRowCount() ||
        !ValidFrame(frame)) {
        return nullptr;
    }
    return &annotations->m_markers;
}

bool EditSession::SetMarker(int id, int frame, double x, double y) {
    CLFFManager* markers = MarkersFor(id, frame);
    if (markers == nullptr) {
        return false;
    }
    markers->SetMarker(id - 1, frame, x, y);
    Notify(kChangeMarkers);
    return true;
}

bool EditSession::SetMarkerFillingSkipped(int id, int frame, double x, double y, int skip) {
    CLFFManager* markers = MarkersFor(id, frame);
    if (markers == nullptr) {
        return false;
    }
    markers->SetMarker(id - 1, frame, x, y);
    markers->FillSkippedFrames(id - 1, frame, x, y, skip, m_nRangeStart);
    Notify(kChangeMarkers);
    return true;
}

bool EditSession::DeleteMarker(int id, int frame) {
    CLFFManager* markers = MarkersFor(id, frame);
    if (markers == nullptr || markers->FindMarker(id - 1, frame) < 0) {
        return false;
    }
    markers->DeleteMarker(id - 1, frame);
    Notify(kChangeMarkers);
    return true;
}

bool EditSession::DeleteFrameMarkers(int frame) {
    CLFFManager* markers = MarkersFor(1, frame);
    if (markers == nullptr || !markers->HasMarkers(frame)) {
        return false;
    }
    std::vector<T_DRAW_MARKER> onFrame;
    markers->GetFrameMarkers(frame, onFrame);
    for (const T_DRAW_MARKER& m : onFrame) {
        markers->DeleteMarker(m.ID - 1, frame);
    }
    markers->SetModified(true);
    Notify(kChangeMarkers);
    return true;
}

bool EditSession::DeleteMarkerAllFrames(int id) {
    CLFFManager* markers = MarkersFor(id, 0);
    if (markers == nullptr || markers->Row(id - 1).empty()) {
        return false;
    }
    markers->DeleteMarkerIdAllFrames(id, m_nFrameCount - 1);
    Notify(kChangeMarkers);
    return true;
}

bool EditSession::DeleteAllMarkers() {
    VideoAnnotations* annotations = HasVideo() ? Annotations() : nullptr;
    if (annotations == nullptr) {
        return false;
    }
    annotations->m_markers.DeleteAllMarkers();
    Notify(kChangeMarkers);
    return true;
}

void EditSession::RestoreTrimmingState(const TrimmingState& state, CInifileManager& settings) {
    VideoAnnotations* annotations = Annotations();
    if (!HasVideo() || annotations == nullptr) {
        return;
    }
    m_nTrimmingMode = state.mode;
    ApplyTrimmingState(state, settings, m_nFrameCount, annotations->m_trimParam);
    annotations->m_nMosaicType = state.mosaicType;
    m_nRangeStart = state.rangeStart;
    m_nRangeEnd = state.rangeEnd;
    m_area1 = state.area1;
    m_area2 = state.area2;
    Notify(kChangeTrimmingMode | kChangeAreas | kChangeRange | kChangeMosaic);
}

TrimmingState EditSession::CurrentTrimmingState() const {
    TrimmingState state;
    state.mode = m_nTrimmingMode;
    state.area1 = m_area1;
    state.area2 = m_area2;
    state.rangeStart = m_nRangeStart;
    state.rangeEnd = m_nRangeEnd;
    state.mosaicType = MosaicType();
    return state;
}

void EditSession::AddObserver(SessionObserver* observer) {
    if (observer != nullptr &&
        std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end()) {
        m_observers.push_back(observer);
    }
}

void EditSession::RemoveObserver(SessionObserver* observer) {
    std::erase(m_observers, observer);
}

void EditSession::Notify(unsigned changes) {
    // A copy, so an observer may add or remove observers while being told.
    const std::vector<SessionObserver*> observers = m_observers;
    for (SessionObserver* observer : observers) {
        observer->SessionChanged(changes);
    }
}

}  // namespace kivra
