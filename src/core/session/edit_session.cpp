#include "session/edit_session.h"

#include <algorithm>
#include <utility>

#include "settings/inifile_manager.h"

namespace kivra {

namespace {

// Spans are put back in order, a later one winning: in the state before a group the earliest
// capture must win, in the state after the latest. The frame list follows the same rule.
void MergeRows(CLFFManager::RowsState& base, const CLFFManager::RowsState& add, bool later) {
    if (later) {
        base.spans.insert(base.spans.end(), add.spans.begin(), add.spans.end());
        base.framesWithMarkers = add.framesWithMarkers;
    } else {
        base.spans.insert(base.spans.begin(), add.spans.begin(), add.spans.end());
    }
}

void Merge(AnnotationState& base, const AnnotationState& add, bool later) {
    if (add.markers) {
        if (!base.markers) {
            base.markers = add.markers;
        } else {
            MergeRows(*base.markers, *add.markers, later);
        }
    }
    if (add.areas && (!base.areas || later)) {
        base.areas = add.areas;
    }
    if (add.mosaicType && (!base.mosaicType || later)) {
        base.mosaicType = add.mosaicType;
    }
}

}  // namespace

EditSession::EditSession(std::function<VideoAnnotations*()> annotations)
    : m_annotations(std::move(annotations)) {}

void EditSession::StartVideo(int frameCount) {
    m_nGroupDepth = 0;  // edits of another video never join a group begun before
    m_group.reset();
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
    m_nGroupDepth = 0;  // edits of another video never join a group begun before
    m_group.reset();
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
        ClearAreasUnrecorded();
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
    AnnotationState before = CaptureAreas();
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
    Record(EditKind::kSetArea, std::move(before), CaptureAreas());
    return true;
}

void EditSession::ClearAreas() {
    AnnotationState before = CaptureAreas();
    ClearAreasUnrecorded();
    Record(EditKind::kClearAreas, std::move(before), CaptureAreas());
}

void EditSession::ClearAreasUnrecorded() {
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
        AnnotationState before;
        before.mosaicType = annotations->m_nMosaicType;
        annotations->m_nMosaicType = type;
        Notify(kChangeMosaic);
        AnnotationState after;
        after.mosaicType = type;
        Record(EditKind::kMosaicType, std::move(before), std::move(after));
    }
    return true;
}

VideoAnnotations* EditSession::OpenAnnotations() const {
    return HasVideo() ? Annotations() : nullptr;
}

CLFFManager* EditSession::MarkersOnFrame(int frame) const {
    VideoAnnotations* annotations = OpenAnnotations();
    return annotations != nullptr && ValidFrame(frame) ? &annotations->m_markers : nullptr;
}

CLFFManager* EditSession::MarkersFor(int id, int frame) const {
    CLFFManager* markers = MarkersOnFrame(frame);
    return markers != nullptr && id >= 1 && id <= markers->GetRowCount() ? markers : nullptr;
}

bool EditSession::SetMarker(int id, int frame, double x, double y) {
    CLFFManager* markers = MarkersFor(id, frame);
    if (markers == nullptr) {
        return false;
    }
    const EditKind kind =
        markers->FindMarker(id - 1, frame) >= 0 ? EditKind::kMoveMarker : EditKind::kPlaceMarker;
    AnnotationState before = CaptureMarkers({id - 1}, frame, frame);
    markers->SetMarker(id - 1, frame, x, y);
    Notify(kChangeMarkers);
    Record(kind, std::move(before), CaptureMarkers({id - 1}, frame, frame));
    return true;
}

bool EditSession::SetMarkerFillingSkipped(int id, int frame, double x, double y, int skip,
                                          const SkipFill& fill) {
    CLFFManager* markers = MarkersFor(id, frame);
    if (markers == nullptr) {
        return false;
    }
    // The fill reaches back at most skip frames, never before the play range.
    const int first = std::max(frame - std::max(skip, 0), std::min(m_nRangeStart, frame));
    AnnotationState before = CaptureMarkers({id - 1}, first, frame);
    markers->SetMarker(id - 1, frame, x, y);
    if (fill) {
        fill(*markers, id - 1, frame, x, y, skip, m_nRangeStart);
    } else {
        markers->FillSkippedFrames(id - 1, frame, x, y, skip, m_nRangeStart);
    }
    Notify(kChangeMarkers);
    Record(EditKind::kPlaceMarker, std::move(before), CaptureMarkers({id - 1}, first, frame));
    return true;
}

bool EditSession::DeleteMarker(int id, int frame) {
    CLFFManager* markers = MarkersFor(id, frame);
    if (markers == nullptr || markers->FindMarker(id - 1, frame) < 0) {
        return false;
    }
    AnnotationState before = CaptureMarkers({id - 1}, frame, frame);
    markers->DeleteMarker(id - 1, frame);
    Notify(kChangeMarkers);
    Record(EditKind::kDeleteMarker, std::move(before), CaptureMarkers({id - 1}, frame, frame));
    return true;
}

bool EditSession::DeleteFrameMarkers(int frame) {
    CLFFManager* markers = MarkersOnFrame(frame);
    if (markers == nullptr || !markers->HasMarkers(frame)) {
        return false;
    }
    std::vector<T_DRAW_MARKER> onFrame;
    markers->GetFrameMarkers(frame, onFrame);
    std::vector<int> rows;
    for (const T_DRAW_MARKER& m : onFrame) {
        rows.push_back(m.ID - 1);
    }
    AnnotationState before = CaptureMarkers(rows, frame, frame);
    for (const int row : rows) {
        markers->DeleteMarker(row, frame);
    }
    markers->SetModified(true);
    Notify(kChangeMarkers);
    Record(EditKind::kDeleteFrameMarkers, std::move(before), CaptureMarkers(rows, frame, frame));
    return true;
}

bool EditSession::DeleteMarkerAllFrames(int id) {
    CLFFManager* markers = MarkersFor(id, 0);
    if (markers == nullptr || markers->Row(id - 1).empty()) {
        return false;
    }
    AnnotationState before = CaptureMarkers({id - 1});
    markers->DeleteMarkerIdAllFrames(id, m_nFrameCount - 1);
    Notify(kChangeMarkers);
    Record(EditKind::kDeleteIdMarkers, std::move(before), CaptureMarkers({id - 1}));
    return true;
}

bool EditSession::DeleteAllMarkers() {
    VideoAnnotations* annotations = OpenAnnotations();
    if (annotations == nullptr) {
        return false;
    }
    const std::vector<int> rows =
        Recording() ? annotations->m_markers.NonEmptyRows() : std::vector<int>{};
    AnnotationState before = CaptureMarkers(rows);
    annotations->m_markers.DeleteAllMarkers();
    Notify(kChangeMarkers);
    Record(EditKind::kDeleteAllMarkers, std::move(before), CaptureMarkers(rows));
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

TrimmingState EditSession::CurrentTrimmingState(const CInifileManager& settings) const {
    TrimmingState state = CurrentTrimmingState();
    state.sizeType = settings.SizeType;
    state.direction = settings.Direction;
    return state;
}

bool EditSession::ReplaceMarkers(EditKind kind, const std::vector<int>& ids, int first, int last,
                                 const std::function<void(CLFFManager&)>& change) {
    VideoAnnotations* annotations = OpenAnnotations();
    if (annotations == nullptr) {
        return false;
    }
    std::vector<int> rows;
    for (const int id : ids) {
        rows.push_back(id - 1);
    }
    AnnotationState before = CaptureMarkers(rows, first, last);
    change(annotations->m_markers);
    Notify(kChangeMarkers);
    Record(kind, std::move(before), CaptureMarkers(rows, first, last));
    return true;
}

AnnotationState EditSession::CaptureMarkers(const std::vector<int>& rows, int first,
                                            int last) const {
    AnnotationState state;
    const VideoAnnotations* annotations = Annotations();
    if (Recording() && annotations != nullptr) {
        state.markers = annotations->m_markers.CaptureRows(rows, first, last);
    }
    return state;
}

AnnotationState EditSession::CaptureAreas() const {
    AnnotationState state;
    const VideoAnnotations* annotations = Annotations();
    if (Recording() && annotations != nullptr) {
        state.areas = AnnotationState::Areas{m_area1, m_area2, annotations->m_trimParam};
    }
    return state;
}

void EditSession::SetEditListener(std::function<void(SessionEdit)> listener) {
    m_editListener = std::move(listener);
}

void EditSession::BeginEditGroup(EditKind kind) {
    if (m_nGroupDepth++ == 0) {
        m_groupKind = kind;
        m_group.reset();
    }
}

void EditSession::EndEditGroup() {
    if (m_nGroupDepth == 0 || --m_nGroupDepth > 0) {
        return;
    }
    std::optional<SessionEdit> group = std::move(m_group);
    m_group.reset();
    if (group && Recording() && group->before != group->after) {
        m_editListener(std::move(*group));
    }
}

void EditSession::Record(EditKind kind, AnnotationState before, AnnotationState after) {
    if (!Recording()) {
        return;
    }
    if (m_nGroupDepth > 0) {
        if (!m_group) {
            m_group = SessionEdit{m_groupKind, std::move(before), std::move(after)};
        } else {
            Merge(m_group->before, before, false);
            Merge(m_group->after, after, true);
        }
        return;
    }
    if (before != after) {
        m_editListener(SessionEdit{kind, std::move(before), std::move(after)});
    }
}

void EditSession::ApplyAnnotationState(const AnnotationState& state) {
    VideoAnnotations* annotations = OpenAnnotations();
    if (annotations == nullptr) {
        return;
    }
    unsigned changes = 0;
    if (state.markers) {
        annotations->m_markers.RestoreRows(*state.markers);
        changes |= kChangeMarkers;
    }
    if (state.areas) {
        m_area1 = state.areas->area1;
        m_area2 = state.areas->area2;
        annotations->m_trimParam = state.areas->rects;
        if (m_nViewMode == kPreviewMode && !AreasSet()) {
            m_nViewMode = kNormalMode;  // nothing left to preview
        }
        if (!m_area1.IsSet()) {
            m_nAreaIndex = 0;
        }
        changes |= kChangeAreas | kChangeViewMode;
    }
    if (state.mosaicType) {
        annotations->m_nMosaicType = *state.mosaicType;
        changes |= kChangeMosaic;
    }
    Notify(changes);
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
