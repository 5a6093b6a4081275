#include "workspace/open_video.h"

#include <algorithm>
#include <cstdint>

#include "settings/inifile_manager.h"

namespace kivra {

OpenVideo::OpenVideo(DocumentHost& host, const DocumentSettings& settings,
                     const TrimmingSettings& trimming, const std::string& settingsFolder)
    : m_markerId(settings.markerId), m_document(host, settings, settingsFolder) {
    m_session.LoadSettings(trimming, m_markerId.maxId);
    m_idReset = m_cursor.Observe([this](int) {
        if (!m_markerId.Skipping()) {
            m_session.SetMarkerId(1);
        }
    });
}

OpenVideo::~OpenVideo() = default;

bool OpenVideo::IsOpen() const {
    return !m_document.PathName().empty() && m_document.Stream() != nullptr;
}

bool OpenVideo::ClickMarker(int frame, double x, double y, const EditSession::SkipFill& fill) {
    const int id = m_session.MarkerId();
    if (m_markerId.Skipping()) {
        const int skip = m_markerId.skipFrames;
        const bool placed = m_session.SetMarkerFillingSkipped(id, frame, x, y, skip, fill);
        const int64_t next = std::min<int64_t>(m_session.RangeEnd(), int64_t{frame} + skip);
        m_cursor.MoveTo(static_cast<int>(next));
        return placed;
    }
    // The next ID is chosen before the marker's notice, so whoever shows the ID hears it then.
    m_session.AdvanceMarkerId();
    return m_session.SetMarker(id, frame, x, y);
}

}  // namespace kivra
