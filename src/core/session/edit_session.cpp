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
    if (add.gaitEvents && (!base.gaitEvents || later)) {
        base.gaitEvents = add.gaitEvents;
    }
}

}  // namespace

EditSession::EditSession(std::function<VideoAnnotations*()> annotations)
    : m_annotations(std::move(annotations)) {}

void EditSession::StartVideo(int frameCount) {
    m_nGroupDepth = 0;  // edits of another video never join a group begun before
    m_group.reset();
    m_nFrameCount = std::max(frameCount, 0);
    m_trimming.area1.Reset();
    m_trimming.area2.Reset();
    m_nViewMode = kNormalMode;
    m_nAreaIndex = 0;
    m_trimming.rangeStart = 0;
    m_trimming.rangeEnd = m_nFrameCount - 1;
    ClearGaitEvents();
    Notify(kChangeVideo | kChangeViewMode | kChangeAreas | kChangeRange | kChangeGaitEvents);
}

void EditSession::EndVideo() {
    m_nGroupDepth = 0;  // edits of another video never join a group begun before
    m_group.reset();
    m_nFrameCount = 0;
    m_trimming.area1.Reset();
    m_trimming.area2.Reset();
    m_nViewMode = kNoVideo;
    m_trimming.rangeStart = -1;
    m_trimming.rangeEnd = -1;
    m_bShowInfo = false;  // a reopened video starts without it
    ClearGaitEvents();
    Notify(kChangeVideo | kChangeViewMode | kChangeAreas | kChangeRange | kChangeShowInfo |
           kChangeGaitEvents);
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
    if (index != 0 && (index != 1 || !Area1().IsSet())) {
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
    if (m_trimming.mode == mode) {
        return ModeRequest::kUnchanged;
    }
    const bool clears = HasVideo() && Area1().IsSet();
    if (clears && !confirmClear()) {
        return ModeRequest::kRefused;
    }
    m_trimming.mode = mode;
    if (clears) {
        ClearAreasUnrecorded();
    }
    Notify(kChangeTrimmingMode);
    return ModeRequest::kChanged;
}

bool EditSession::SetArea(int index, const PixelRect& rect, int frame) {
    if (!HasVideo() || (index != 0 && index != 1) || rect.IsEmpty() || !ValidFrame(frame)) {
        return false;
    }
    AreaState& area = index == 0 ? m_trimming.area1 : m_trimming.area2;
    const AreaState& other = index == 0 ? m_trimming.area2 : m_trimming.area1;
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
        Interpolate();
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
    ResetAreas(m_trimming.area1, m_trimming.area2);
    Notify(kChangeAreas | kChangeViewMode);
}

void EditSession::SetAreaBoxHalfSize(int index, int halfSize) {
    m_boxHalfSize[index == 1 ? 1 : 0] = halfSize;
}

std::pair<int, int> EditSession::OutputSize() const {
    return OutputSizeOf(m_trimming.sizeType, m_trimming.direction);
}

void EditSession::SetOutput(int sizeType, int direction) {
    m_trimming.sizeType = sizeType;
    m_trimming.direction = direction;
    unsigned changes = kChangeOutput;
    // The areas keep their points; their boxes take the direction's shape.
    if (HasVideo()) {
        if (RecomputeAreas(m_trimming.area1, m_trimming.area2, direction)) {
            Interpolate();
        }
        changes |= kChangeAreas;
    }
    Notify(changes);
}

void EditSession::Interpolate() {
    if (VideoAnnotations* annotations = Annotations()) {
        InterpolateTrimRects(m_trimming.area1, m_trimming.area2, GetTrimmingMode(),
                             m_trimming.direction, m_nFrameCount, annotations->m_trimParam);
    }
}

bool EditSession::SetPlayRange(int start, int end) {
    if (!HasVideo() || start < 0 || end >= m_nFrameCount || start >= end) {
        return false;
    }
    if (start != m_trimming.rangeStart || end != m_trimming.rangeEnd) {
        m_trimming.rangeStart = start;
        m_trimming.rangeEnd = end;
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

bool EditSession::SetMosaicType(int type) {
    if (m_trimming.mosaicType == type) {
        return true;
    }
    AnnotationState before;
    before.mosaicType = m_trimming.mosaicType;
    m_trimming.mosaicType = type;
    Notify(kChangeMosaic);
    if (HasVideo()) {
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
    const int first = std::max(frame - std::max(skip, 0), std::min(RangeStart(), frame));
    AnnotationState before = CaptureMarkers({id - 1}, first, frame);
    markers->SetMarker(id - 1, frame, x, y);
    if (fill) {
        fill(*markers, id - 1, frame, x, y, skip, RangeStart());
    } else {
        markers->FillSkippedFrames(id - 1, frame, x, y, skip, RangeStart());
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

void EditSession::LoadSettings(const TrimmingSettings& trimming, int maxMarkerId) {
    m_trimming.mode = trimming.mode;
    m_trimming.sizeType = trimming.sizeType;
    m_trimming.direction = trimming.direction;
    m_trimming.mosaicType = trimming.mosaicType;
    m_boxHalfSize[0] = trimming.boxHalfSize1;
    m_boxHalfSize[1] = trimming.boxHalfSize2;
    // A MaxID of 0 or less from a hand-edited ini still leaves the one ID 1.
    m_nMaxMarkerId = std::max(1, maxMarkerId);
    m_nMarkerId = std::min(m_nMarkerId, m_nMaxMarkerId);
}

void EditSession::StoreSettings(TrimmingSettings& trimming) const {
    trimming.mode = m_trimming.mode;
    trimming.sizeType = m_trimming.sizeType;
    trimming.direction = m_trimming.direction;
    trimming.mosaicType = m_trimming.mosaicType;
    trimming.boxHalfSize1 = m_boxHalfSize[0];
    trimming.boxHalfSize2 = m_boxHalfSize[1];
}

void EditSession::SetMarkerId(int id) {
    if (id > m_nMaxMarkerId || id <= 0) {
        id = 1;
    }
    if (id != m_nMarkerId) {
        m_nMarkerId = id;
        Notify(kChangeMarkerId);
    }
}

void EditSession::AdvanceMarkerId() {
    SetMarkerId(m_nMarkerId >= m_nMaxMarkerId ? 1 : m_nMarkerId + 1);
}

void EditSession::ClearGaitEvents() {
    m_gaitEvents.Replace({});
    m_bGaitEventsEdited = false;
}

bool EditSession::EditGaitEvents(const std::function<bool(GaitEventList&)>& change) {
    if (!HasVideo()) {
        return false;
    }
    GaitEventList changed = m_gaitEvents;
    if (!change(changed)) {
        return false;
    }
    AnnotationState before = CaptureGaitEvents();
    m_gaitEvents = std::move(changed);
    m_bGaitEventsEdited = true;
    Notify(kChangeGaitEvents);
    Record(EditKind::kGaitEvents, std::move(before), CaptureGaitEvents());
    return true;
}

void EditSession::ReplaceGaitEvents(std::vector<GaitEvent> events, bool edited, bool asEdit) {
    AnnotationState before = asEdit ? CaptureGaitEvents() : AnnotationState{};
    m_gaitEvents.Replace(std::move(events));
    m_bGaitEventsEdited = edited;
    Notify(kChangeGaitEvents);
    if (asEdit && HasVideo()) {
        Record(EditKind::kGaitEvents, std::move(before), CaptureGaitEvents());
    }
}

void EditSession::RestoreTrimmingState(const TrimmingState& state) {
    VideoAnnotations* annotations = Annotations();
    if (!HasVideo() || annotations == nullptr) {
        return;
    }
    m_trimming = state;
    if (AreasSet()) {
        Interpolate();
    }
    Notify(kChangeTrimmingMode | kChangeOutput | kChangeAreas | kChangeRange | kChangeMosaic);
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
        state.areas =
            AnnotationState::Areas{m_trimming.area1, m_trimming.area2, annotations->m_trimParam};
    }
    return state;
}

AnnotationState EditSession::CaptureGaitEvents() const {
    AnnotationState state;
    if (Recording()) {
        state.gaitEvents = GaitEventsState{m_gaitEvents.Events(), m_bGaitEventsEdited};
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
        m_trimming.area1 = state.areas->area1;
        m_trimming.area2 = state.areas->area2;
        annotations->m_trimParam = state.areas->rects;
        if (m_nViewMode == kPreviewMode && !AreasSet()) {
            m_nViewMode = kNormalMode;  // nothing left to preview
        }
        if (!Area1().IsSet()) {
            m_nAreaIndex = 0;
        }
        changes |= kChangeAreas | kChangeViewMode;
    }
    if (state.mosaicType) {
        m_trimming.mosaicType = *state.mosaicType;
        changes |= kChangeMosaic;
    }
    if (state.gaitEvents) {
        m_gaitEvents.Replace(state.gaitEvents->events);
        m_bGaitEventsEdited = state.gaitEvents->edited;
        changes |= kChangeGaitEvents;
    }
    Notify(changes);
}

SessionFollow::SessionFollow(EditSession& session, std::function<void(unsigned)> changed)
    : m_session(session), m_changed(std::move(changed)) {
    m_session.AddObserver(this);
}

SessionFollow::~SessionFollow() {
    m_session.RemoveObserver(this);
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
    // A copy, so an observer may add or remove observers while being told; one removed on the
    // way is not told any more.
    const std::vector<SessionObserver*> observers = m_observers;
    for (SessionObserver* observer : observers) {
        if (std::find(m_observers.begin(), m_observers.end(), observer) != m_observers.end()) {
            observer->SessionChanged(changes);
        }
    }
}

}  // namespace kivra
