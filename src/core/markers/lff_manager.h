#pragma once
// The markers of the open video: per marker ID, the frames it was placed on and its point there
// (source-image pixels), plus the trimming state saved with them in the marker file.
#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "geometry/view_geometry.h"

// One marker of a row; also the 20-byte record of the marker file (written field by field, so
// the in-memory padding never reaches the file).
struct T_MARKER {
    int32_t frame = 0;
    double x = 0.0;
    double y = 0.0;

    bool operator==(const T_MARKER&) const = default;
};

// One marker of a frame, as handed to drawing, hit testing and export.
struct T_DRAW_MARKER {
    int32_t ID = 0;  // row index + 1
    double x = 0.0;
    double y = 0.0;
};

// The marker store: part of the open video's annotations, owned by the document and replaced
// with each video opened. Row r holds the markers of ID r + 1 sorted by frame. A row index
// outside the rows is ignored by every operation.
class CLFFManager {
public:
    static constexpr int kHeaderInts = 16;
    // Load states.
    static constexpr int kLoadFailed = -1;  // also "not loaded yet"
    static constexpr int kNoFile = 0;
    static constexpr int kLoaded = 1;

    CLFFManager();

    // Header of the marker file (trimming state the markers were made with).
    const std::array<int32_t, kHeaderInts>& Header() const { return m_header; }
    int32_t GetMode() const { return m_header[0]; }
    int32_t GetSizeType() const { return m_header[1]; }
    int32_t GetDirection() const { return m_header[2]; }
    int32_t GetMosaicType() const { return m_header[3]; }
    int32_t GetArea1Frame() const { return m_header[4]; }
    kivra::ViewRect GetArea1Rect() const { return RectAt(5); }
    int32_t GetArea2Frame() const { return m_header[9]; }
    kivra::ViewRect GetArea2Rect() const { return RectAt(10); }
    int32_t GetRangeStart() const { return m_header[14]; }
    int32_t GetRangeEnd() const { return m_header[15]; }
    void SetMode(int32_t v) { m_header[0] = v; }
    void SetSizeType(int32_t v) { m_header[1] = v; }
    void SetDirection(int32_t v) { m_header[2] = v; }
    void SetMosaicType(int32_t v) { m_header[3] = v; }
    void SetArea1Frame(int32_t v) { m_header[4] = v; }
    void SetArea1Rect(const kivra::ViewRect& r) { SetRectAt(5, r); }
    void SetArea2Frame(int32_t v) { m_header[9] = v; }
    void SetArea2Rect(const kivra::ViewRect& r) { SetRectAt(10, r); }
    void SetRangeStart(int32_t v) { m_header[14] = v; }
    void SetRangeEnd(int32_t v) { m_header[15] = v; }

    // Sets the marker of ID row + 1 on frame (overwriting its point when there is one).
    void SetMarker(int row, int frame, double x, double y);
    // Inserts after every marker of the row on frames <= frame; list and flag untouched.
    void InsertMarker(int row, int frame, double x, double y);
    // Index in the row of the first marker on frame, or -1.
    int FindMarker(int row, int frame) const;
    // Removes the row's first marker on frame (if any) and sets the modified flag.
    void DeleteMarker(int row, int frame);
    // The first marker of every row on frame, ordered by ID.
    void GetFrameMarkers(int frame, std::vector<T_DRAW_MARKER>& out) const;
    bool HasMarkers(int frame) const { return m_frameSet.contains(frame); }
    bool AnyMarkers() const;
    void DeleteAllMarkers();
    // Deletes the markers of ID id on frames 0 ... lastFrame (the last frame of the video).
    void DeleteMarkerIdAllFrames(int id, int lastFrame);
    // After a click of ID row + 1 on frame: finds the nearest earlier frame of that ID at most
    // skipCount back and not before rangeStart, and fills the frames between by linear
    // interpolation. Returns how many frames were filled.
    int FillSkippedFrames(int row, int frame, double x, double y, int skipCount, int rangeStart);

    int GetRowCount() const { return static_cast<int>(m_rows.size()); }
    // The row's markers in frame order; empty for a row index outside the rows.
    const std::vector<T_MARKER>& Row(int row) const;
    bool IsModified() const { return m_bModified; }
    void SetModified(bool modified) { m_bModified = modified; }
    int GetLoadState() const { return m_nLoadState; }
    // Frames holding at least one marker, in the order they gained their first one.
    const std::vector<int>& FramesWithMarkers() const { return m_framesWithMarkers; }

    // The markers of some rows on frames first .. last as they stand, and the
    // frames-with-markers list, so an edit can be taken back exactly without copying whole
    // rows. RestoreRows puts the spans back in their order (a later span wins where two
    // overlap) and sets the modified flag.
    struct RowSpan {
        int row = 0;
        int first = 0;
        int last = 0;
        std::vector<T_MARKER> markers;
        bool operator==(const RowSpan&) const = default;
    };
    struct RowsState {
        std::vector<RowSpan> spans;
        std::vector<int> framesWithMarkers;
        bool operator==(const RowsState&) const = default;
    };
    static constexpr int kAllFrames = std::numeric_limits<int>::max();
    RowsState CaptureRows(const std::vector<int>& rows, int first = std::numeric_limits<int>::min(),
                          int last = kAllFrames) const;
    // Every row holding markers.
    std::vector<int> NonEmptyRows() const;
    void RestoreRows(const RowsState& state);

    // Reads the marker file; returns the load state. All or nothing: a damaged file loads no
    // marker and leaves max(maxId, 0) empty rows. maxId beyond kMaxRows is taken as kMaxRows.
    int LoadMarkers(const std::string& path, int maxId);
    // Writes the header as it stands and the markers, replacing the file in one step
    // (temporary file, sync, rename). False leaves the old file and the modified flag.
    bool SaveMarkers(const std::string& path);
    // The same with sizeType, direction and mosaicType stored in the header first.
    bool SaveMarkers(const std::string& path, int sizeType, int direction, int mosaicType);

    // Most rows the store creates for a MaxID setting (a file may bring more, backed by bytes).
    static constexpr int kMaxRows = 100000;

private:
    bool ValidRow(int row) const { return row >= 0 && row < GetRowCount(); }
    void AddFrame(int frame);
    void RemoveFrame(int frame);
    void ResetRows(int count);
    kivra::ViewRect RectAt(int i) const {
        return {m_header[i], m_header[i + 1], m_header[i + 2], m_header[i + 3]};
    }
    void SetRectAt(int i, const kivra::ViewRect& r);

    std::array<int32_t, kHeaderInts> m_header{};
    std::vector<std::vector<T_MARKER>> m_rows;
    int m_nLoadState = kLoadFailed;
    std::vector<int> m_framesWithMarkers;
    std::unordered_set<int> m_frameSet;  // same frames, for quick HasMarkers
    bool m_bModified = false;
};
