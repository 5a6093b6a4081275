#pragma once
// One open video and everything that is its own: the document with its annotations, the editing
// session (with its gait events and marker ID tool), the current frame and the undo history.
// Owned by the application or kivra-cli; two of them share nothing but the settings groups.
#include <string>

#include "document/vfw_doc.h"
#include "session/edit_history.h"
#include "session/edit_session.h"
#include "session/frame_cursor.h"
#include "settings/inifile_manager.h"

namespace kivra {

class OpenVideo {
public:
    // The groups in settings must outlive the video; the session takes its part of trimming
    // now. settingsFolder is the document's (encoder log, compressor state).
    OpenVideo(DocumentHost& host, const DocumentSettings& settings,
              const TrimmingSettings& trimming, const std::string& settingsFolder);
    ~OpenVideo();
    OpenVideo(const OpenVideo&) = delete;
    OpenVideo& operator=(const OpenVideo&) = delete;

    CVfwDoc& Document() const { return m_document; }
    EditSession& Session() const { return m_session; }
    FrameCursor& Cursor() const { return m_cursor; }
    EditHistory& History() const { return m_history; }

    // The stream and what the document keeps beside it; both null while no video is open.
    CAviVideoStream* Stream() const { return m_document.Stream(); }
    VideoAnnotations* Annotations() const { return m_document.Annotations(); }
    // The document holds a path and a stream. Opening another file drops the old stream before
    // the path changes: a path alone does not make a video.
    bool IsOpen() const;
    const std::string& Path() const { return m_document.PathName(); }

    // A click of the marker ID tool on frame at image point (x, y). In increment mode (SetIDMode
    // 0) it places the current ID and steps to the next; in skip mode it places it, fills the
    // frames it skipped (by fill when given) and moves on SkipFrameNum frames, not past the play
    // range. Whether a marker was placed.
    bool ClickMarker(int frame, double x, double y, const EditSession::SkipFill& fill = {});

private:
    const MarkerIdSettings& m_markerId;
    mutable CVfwDoc m_document;
    mutable EditSession m_session{[this] { return m_document.Annotations(); }};
    mutable FrameCursor m_cursor{[this] { return m_document.Stream(); }};
    mutable EditHistory m_history{m_session};
    FrameCursor::Subscription m_idReset;  // a new frame starts again at ID 1 (increment mode)
};

}  // namespace kivra
