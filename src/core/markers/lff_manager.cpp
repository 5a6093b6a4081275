#include "markers/lff_manager.h"

#include <algorithm>

namespace {

bool FrameLess(const T_MARKER& m, int frame) {
    return m.frame < frame;
}

}  // namespace

CLFFManager::CLFFManager() {
    SetArea1Frame(-1);
    SetArea2Frame(-1);
}

void CLFFManager::SetRectAt(int i, const kivra::ViewRect& r) {
    m_header[i] = r.left;
    m_header[i + 1] = r.top;
    m_header[i + 2] = r.right;
    m_header[i + 3] = r.bottom;
}

void CLFFManager::AddFrame(int frame) {
    if (m_frameSet.insert(frame).second) {
        m_framesWithMarkers.push_back(frame);
    }
}

void CLFFManager::RemoveFrame(int frame) {
    if (m_frameSet.erase(frame) == 0) {
        return;
    }
    const auto it = std::find(m_framesWithMarkers.begin(), m_framesWithMarkers.end(), frame);
    if (it != m_framesWithMarkers.end()) {
        m_framesWithMarkers.erase(it);
    }
}

namespace {

// The markers of a row (sorted by frame) on frames first .. last.
std::pair<std::vector<T_MARKER>::const_iterator, std::vector<T_MARKER>::const_iterator> SpanOf(
    const std::vector<T_MARKER>& row, int first, int last) {
    const auto begin = std::lower_bound(row.begin(), row.end(), first,
                                        [](const T_MARKER& m, int f) { return m.frame < f; });
    const auto end = std::upper_bound(begin, row.end(), last,
                                      [](int f, const T_MARKER& m) { return f < m.frame; });
    return {begin, end};
}

}  // namespace

CLFFManager::RowsState CLFFManager::CaptureRows(const std::vector<int>& rows, int first,
                                                int last) const {
    RowsState state;
    for (const int row : rows) {
        if (ValidRow(row)) {
            const auto [begin, end] = SpanOf(m_rows[static_cast<size_t>(row)], first, last);
            state.spans.push_back({row, first, last, std::vector<T_MARKER>(begin, end)});
        }
    }
    state.framesWithMarkers = m_framesWithMarkers;
    return state;
}

std::vector<int> CLFFManager::NonEmptyRows() const {
    std::vector<int> rows;
    for (int row = 0; row < GetRowCount(); ++row) {
        if (!m_rows[static_cast<size_t>(row)].empty()) {
            rows.push_back(row);
        }
    }
    return rows;
}

void CLFFManager::RestoreRows(const RowsState& state) {
    for (const RowSpan& span : state.spans) {
        if (ValidRow(span.row)) {
            std::vector<T_MARKER>& row = m_rows[static_cast<size_t>(span.row)];
            const auto [begin, end] = SpanOf(row, span.first, span.last);
            const auto at = row.erase(begin, end);
            row.insert(at, span.markers.begin(), span.markers.end());
        }
    }
    m_framesWithMarkers = state.framesWithMarkers;
    m_frameSet = std::unordered_set<int>(m_framesWithMarkers.begin(), m_framesWithMarkers.end());
    m_bModified = true;
}

void CLFFManager::ResetRows(int count) {
    m_rows = std::vector<std::vector<T_MARKER>>(static_cast<size_t>(std::max(count, 0)));
}

const std::vector<T_MARKER>& CLFFManager::Row(int row) const {
    static const std::vector<T_MARKER> kEmpty;
    return ValidRow(row) ? m_rows[static_cast<size_t>(row)] : kEmpty;
}

void CLFFManager::SetMarker(int row, int frame, double x, double y) {
    if (!ValidRow(row)) {
        return;
    }
    const int index = FindMarker(row, frame);
    if (index >= 0) {
        T_MARKER& m = m_rows[static_cast<size_t>(row)][static_cast<size_t>(index)];
        m.x = x;
        m.y = y;
    } else {
        InsertMarker(row, frame, x, y);
        AddFrame(frame);
    }
    m_bModified = true;
}

void CLFFManager::InsertMarker(int row, int frame, double x, double y) {
    if (!ValidRow(row)) {
        return;
    }
    std::vector<T_MARKER>& r = m_rows[static_cast<size_t>(row)];
    const auto at = std::upper_bound(r.begin(), r.end(), frame,
                                     [](int f, const T_MARKER& m) { return f < m.frame; });
    r.insert(at, T_MARKER{frame, x, y});
}

int CLFFManager::FindMarker(int row, int frame) const {
    if (!ValidRow(row)) {
        return -1;
    }
    const std::vector<T_MARKER>& r = m_rows[static_cast<size_t>(row)];
    const auto it = std::lower_bound(r.begin(), r.end(), frame, FrameLess);
    return it != r.end() && it->frame == frame ? static_cast<int>(it - r.begin()) : -1;
}

void CLFFManager::DeleteMarker(int row, int frame) {
    if (!ValidRow(row)) {
        return;
    }
    const int index = FindMarker(row, frame);
    if (index >= 0) {
        std::vector<T_MARKER>& r = m_rows[static_cast<size_t>(row)];
        r.erase(r.begin() + index);
        bool anyLeft = false;
        for (int other = 0; other < GetRowCount() && !anyLeft; ++other) {
            anyLeft = FindMarker(other, frame) >= 0;
        }
        if (!anyLeft) {
            RemoveFrame(frame);
        }
    }
    m_bModified = true;
}

void CLFFManager::GetFrameMarkers(int frame, std::vector<T_DRAW_MARKER>& out) const {
    out.clear();
    for (int row = 0; row < GetRowCount(); ++row) {
        const int index = FindMarker(row, frame);
        if (index >= 0) {
            const T_MARKER& m = m_rows[static_cast<size_t>(row)][static_cast<size_t>(index)];
            out.push_back({row + 1, m.x, m.y});
        }
    }
}

bool CLFFManager::AnyMarkers() const {
    return std::any_of(m_rows.begin(), m_rows.end(), [](const auto& r) { return !r.empty(); });
}

void CLFFManager::DeleteAllMarkers() {
    for (auto& r : m_rows) {
        std::vector<T_MARKER>().swap(r);
    }
    m_framesWithMarkers.clear();
    m_frameSet.clear();
    m_bModified = true;
}

void CLFFManager::DeleteMarkerIdAllFrames(int id, int lastFrame) {
    const int row = id - 1;
    if (!ValidRow(row) || lastFrame < 0) {
        return;
    }
    // Walks the row's own markers rather than every frame of the video: same outcome as one
    // DeleteMarker per frame, without a pass over frames that hold nothing.
    std::vector<int> frames;
    for (const T_MARKER& m : m_rows[static_cast<size_t>(row)]) {
        if (m.frame >= 0 && m.frame <= lastFrame && (frames.empty() || frames.back() != m.frame)) {
            frames.push_back(m.frame);
        }
    }
    for (const int f : frames) {
        DeleteMarker(row, f);
    }
    m_bModified = true;
}

int CLFFManager::FillSkippedFrames(int row, int frame, double x, double y, int skipCount,
                                   int rangeStart) {
    if (!ValidRow(row)) {
        return 0;
    }
    const int64_t lowest = std::max<int64_t>(int64_t{frame} - std::max(skipCount, 0), rangeStart);
    int found = 0;
    bool any = false;
    for (int64_t h = int64_t{frame} - 1; h >= lowest && !any; --h) {
        any = FindMarker(row, static_cast<int>(h)) >= 0;
        found = static_cast<int>(h);
    }
    if (!any || found + 1 >= frame) {
        return 0;
    }
    const T_MARKER from =
        m_rows[static_cast<size_t>(row)][static_cast<size_t>(FindMarker(row, found))];
    const double span = static_cast<double>(int64_t{frame} - found);
    for (int j = found + 1; j < frame; ++j) {
        const double i = static_cast<double>(int64_t{j} - found);
        SetMarker(row, j, from.x + i * (x - from.x) / span, from.y + i * (y - from.y) / span);
    }
    return static_cast<int>(std::min<int64_t>(int64_t{frame} - found - 1, INT32_MAX));
}
