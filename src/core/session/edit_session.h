#pragma once
// The editing state of the open video: view mode, the area being set, the trimming state (mode,
// output size and direction, mosaic type, both areas, play range) and the information overlay,
// with the markers and per-frame rectangles the document keeps beside the stream. The trimming
// choices outlive a video: the next one starts with them. Every change goes through a request
// that tells whether it was taken (a refused one changes nothing) and notifies the observers.
// Owned by the OpenVideo it belongs to.
#include <functional>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "gait/gait_event_list.h"
#include "geometry/trimming_param.h"
#include "geometry/view_geometry.h"
#include "markers/trimming_state.h"
#include "markers/video_annotations.h"

namespace kivra {

struct TrimmingSettings;

// What changed, as bits; an observer gets the union of one request's changes.
enum SessionChange : unsigned {
    kChangeViewMode = 1u << 0,  // view mode or area index
    kChangeTrimmingMode = 1u << 1,
    kChangeAreas = 1u << 2,  // areas, and the per-frame rectangles built from them
    kChangeMarkers = 1u << 3,
    kChangeMosaic = 1u << 4,
    kChangeRange = 1u << 5,
    kChangeShowInfo = 1u << 6,
    kChangeVideo = 1u << 7,   // a video came or went
    kChangeOutput = 1u << 8,  // output size or direction
    kChangeGaitEvents = 1u << 9,
    kChangeMarkerId = 1u << 10,  // the ID the next marker click places
    kChangeDisplay = 1u << 11,   // how the picture is drawn (locus, deinterlace, tool windows)
};

class SessionObserver {
public:
    virtual ~SessionObserver() = default;
    virtual void SessionChanged(unsigned changes) = 0;
};

class EditSession;

// Keeps a function told of a session's changes while it lives: the views' and tools' way to
// follow the session. The session must outlive it.
class SessionFollow final : public SessionObserver {
public:
    SessionFollow(EditSession& session, std::function<void(unsigned)> changed);
    ~SessionFollow() override;
    SessionFollow(const SessionFollow&) = delete;
    SessionFollow& operator=(const SessionFollow&) = delete;
    void SessionChanged(unsigned changes) override { m_changed(changes); }

private:
    EditSession& m_session;
    std::function<void(unsigned)> m_changed;
};

enum class ModeRequest { kUnchanged, kChanged, kRefused };

// The gait events the user edits, and whether they are the user's (edited, or read from the
// events file) rather than detected from the markers.
struct GaitEventsState {
    std::vector<GaitEvent> events;
    bool edited = false;
    bool operator==(const GaitEventsState&) const = default;
};

// The parts of the annotations one edit touched, as they were before or after it.
struct AnnotationState {
    struct Areas {
        AreaState area1;
        AreaState area2;
        CTrimmingParam rects;
        bool operator==(const Areas&) const = default;
    };
    std::optional<CLFFManager::RowsState> markers;
    std::optional<Areas> areas;
    std::optional<int> mosaicType;
    std::optional<GaitEventsState> gaitEvents;
    bool operator==(const AnnotationState&) const = default;
};

enum class EditKind {
    kPlaceMarker,
    kMoveMarker,
    kDeleteMarker,
    kDeleteFrameMarkers,
    kDeleteIdMarkers,
    kDeleteAllMarkers,
    kTrackMarkers,
    kSetArea,
    kClearAreas,
    kMosaicType,
    kGaitEvents,
};

// One step of the user's work that can be taken back: what it touched before and after.
struct SessionEdit {
    EditKind kind = EditKind::kPlaceMarker;
    AnnotationState before;
    AnnotationState after;
};

class EditSession {
public:
    // annotations gives what the document keeps beside the open stream, null while none is
    // open; asked at every use, because the document replaces it while opening.
    explicit EditSession(std::function<VideoAnnotations*()> annotations);

    // A video of frameCount frames became the open one: areas unset, normal view, area 1 next,
    // the whole video as the play range.
    void StartVideo(int frameCount);
    // No video: no view mode, no play range, no areas, no information overlay.
    void EndVideo();
    bool HasVideo() const { return m_nFrameCount > 0 && Annotations() != nullptr; }
    int FrameCount() const { return m_nFrameCount; }
    VideoAnnotations* Annotations() const { return m_annotations(); }

    // Modes. The area index is 0 while area 1 is set next, 1 for area 2.
    ViewMode GetViewMode() const { return m_nViewMode; }
    int AreaIndex() const { return m_nAreaIndex; }
    bool SetViewMode(ViewMode mode);
    void ToggleAreaMode();         // area <-> normal, area 1 next
    void TogglePreview();          // preview <-> normal
    void LeaveAreaMode();          // normal view, area 1 next
    bool SetAreaIndex(int index);  // 1 only once area 1 is set
    // The mode as stored (a settings or marker-file number) and the mode it stands for.
    int StoredTrimmingMode() const { return m_trimming.mode; }
    TrimmingMode GetTrimmingMode() const { return TrimmingModeOf(m_trimming.mode); }
    // Setting the stored number without questions.
    void LoadTrimmingMode(int stored) { m_trimming.mode = stored; }

    // The trimming settings' part: mode, output size and direction, mosaic type and the area
    // box sizes, taken at start and given back before the file is written; the highest marker
    // ID is only read.
    void LoadSettings(const TrimmingSettings& trimming, int maxMarkerId);
    void StoreSettings(TrimmingSettings& trimming) const;
    // A new mode clears set areas, so confirmClear is asked first while area 1 is set; its No
    // leaves mode and areas as they were.
    ModeRequest RequestTrimmingMode(TrimmingMode mode, const std::function<bool()>& confirmClear);

    // The areas. SetArea takes the area the cursor box covers (image pixels) on frame; refused
    // without a video, for an empty rectangle, a frame outside the video or the other area's
    // frame. Setting area 1 moves on to area 2; setting area 2 leaves area mode. With both set
    // the per-frame rectangles are rebuilt for the output direction.
    const AreaState& Area1() const { return m_trimming.area1; }
    const AreaState& Area2() const { return m_trimming.area2; }
    bool AreasSet() const { return Area1().IsSet() && Area2().IsSet(); }
    bool SetArea(int index, const PixelRect& rect, int frame);
    // Both areas unset, area 1 next, preview left for the normal view.
    void ClearAreas();
    // The half size of the box area index (0, 1) was last set with; a new area starts from it.
    int AreaBoxHalfSize(int index) const { return m_boxHalfSize[index == 1 ? 1 : 0]; }
    void SetAreaBoxHalfSize(int index, int halfSize);

    // The trimmed movie's size type (0, 1, 2) and direction (kPortrait, kLandscape), and the
    // picture size they give. A new direction reshapes the areas and rebuilds the rectangles.
    int SizeType() const { return m_trimming.sizeType; }
    int Direction() const { return m_trimming.direction; }
    std::pair<int, int> OutputSize() const;
    void SetOutput(int sizeType, int direction);

    // The play range, both ends inclusive, start < end inside the video; -1/-1 without one.
    int RangeStart() const { return m_trimming.rangeStart; }
    int RangeEnd() const { return m_trimming.rangeEnd; }
    bool SetPlayRange(int start, int end);

    bool ShowInfo() const { return m_bShowInfo; }
    void SetShowInfo(bool show);

    // The mosaic patch's shape; with a video a change is an edit, without one the next video
    // starts with it.
    int MosaicType() const { return m_trimming.mosaicType; }
    bool SetMosaicType(int type);

    // Markers of ID id (1-based). Each is refused without a video, for an ID without a row or a
    // frame outside the video, and for a deletion that would delete nothing.
    bool SetMarker(int id, int frame, double x, double y);
    // A click of ID id on frame in skip mode: the marker, then the frames back to its previous
    // click (at most skip back, not before the play range) filled, by fill when given (row,
    // frame, x, y, skip, range start), else in a straight line. One edit either way.
    using SkipFill = std::function<void(CLFFManager&, int, int, double, double, int, int)>;
    bool SetMarkerFillingSkipped(int id, int frame, double x, double y, int skip,
                                 const SkipFill& fill = {});
    bool DeleteMarker(int id, int frame);
    bool DeleteFrameMarkers(int frame);
    bool DeleteMarkerAllFrames(int id);
    bool DeleteAllMarkers();

    // The marker ID tool: the ID the next click places, 1 .. MaxMarkerId() (MaxID of the
    // settings, at least 1); an ID outside becomes 1.
    int MarkerId() const { return m_nMarkerId; }
    int MaxMarkerId() const { return m_nMaxMarkerId; }
    void SetMarkerId(int id);
    // The ID after the current one, back to 1 after the last.
    void AdvanceMarkerId();

    // The gait events of the open video; emptied when a video comes or goes.
    const GaitEventList& GaitEvents() const { return m_gaitEvents; }
    bool GaitEventsEdited() const { return m_bGaitEventsEdited; }
    // One edit of the list (add, move, delete): refused, changing nothing, when change returns
    // false or there is no video. The list becomes the user's.
    bool EditGaitEvents(const std::function<bool(GaitEventList&)>& change);
    // The whole list at once; one edit when asEdit (a detection that replaces the user's),
    // else no step (the events file read, detected events following the markers).
    void ReplaceGaitEvents(std::vector<GaitEvent> events, bool edited, bool asEdit = false);

    // How the picture is drawn changed outside the session (a display setting): observers
    // redraw.
    void DisplayChanged() { Notify(kChangeDisplay); }

    // The marker file's trimming state: restored from it (the rectangles too), and the
    // current one, which is the whole header a save writes now.
    void RestoreTrimmingState(const TrimmingState& state);
    const TrimmingState& CurrentTrimmingState() const { return m_trimming; }

    // Edits of markers, areas and mosaic type go to the listener once done (an undo history);
    // a group (a marker drag, say) reaches it as one edit when the outermost group ends.
    void SetEditListener(std::function<void(SessionEdit)> listener);
    void BeginEditGroup(EditKind kind);
    void EndEditGroup();
    // Puts the touched parts back as a state holds them (undo, redo) and notifies.
    void ApplyAnnotationState(const AnnotationState& state);
    // Markers of some IDs on frames first .. last changed in one edit (a tracking run): the
    // listener sees one step. change must touch nothing outside those frames.
    bool ReplaceMarkers(EditKind kind, const std::vector<int>& ids, int first, int last,
                        const std::function<void(CLFFManager&)>& change);

    // Observers are not owned and must be removed before they go.
    void AddObserver(SessionObserver* observer);
    void RemoveObserver(SessionObserver* observer);

private:
    void Notify(unsigned changes);
    // Markers of the rows on frames first .. last (every frame by default).
    AnnotationState CaptureMarkers(const std::vector<int>& rows,
                                   int first = std::numeric_limits<int>::min(),
                                   int last = CLFFManager::kAllFrames) const;
    AnnotationState CaptureAreas() const;
    AnnotationState CaptureGaitEvents() const;
    void ClearGaitEvents();
    void Record(EditKind kind, AnnotationState before, AnnotationState after);
    void ClearAreasUnrecorded();
    bool Recording() const { return static_cast<bool>(m_editListener); }
    bool ValidFrame(int frame) const { return frame >= 0 && frame < m_nFrameCount; }
    // The annotations while a video is open; its store when frame (and ID id) lie inside it.
    VideoAnnotations* OpenAnnotations() const;
    CLFFManager* MarkersOnFrame(int frame) const;
    CLFFManager* MarkersFor(int id, int frame) const;
    void Interpolate();

    std::function<VideoAnnotations*()> m_annotations;
    std::vector<SessionObserver*> m_observers;
    int m_nFrameCount = 0;
    ViewMode m_nViewMode = kNoVideo;
    int m_nAreaIndex = -1;
    TrimmingState m_trimming{.rangeStart = -1, .rangeEnd = -1};
    int m_boxHalfSize[2] = {51, 51};
    bool m_bShowInfo = false;
    int m_nMarkerId = 1;
    int m_nMaxMarkerId = 100;
    GaitEventList m_gaitEvents;
    bool m_bGaitEventsEdited = false;
    std::function<void(SessionEdit)> m_editListener;
    int m_nGroupDepth = 0;
    EditKind m_groupKind = EditKind::kMoveMarker;
    std::optional<SessionEdit> m_group;  // what the open group gathered so far
};

}  // namespace kivra
