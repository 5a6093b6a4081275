#pragma once
// The status-bar pane that says where the picture stands: "frame / frame count   mm:ss.mmm",
// empty while no video is open. Owned by the main window's status bar; it follows the frame
// cursor, and the window refreshes it whenever the views are updated.
#include <QLabel>
#include <cstdint>

#include "session/frame_cursor.h"

class CAviVideoStream;

namespace kivra {

class FramePositionPane : public QLabel {
    Q_OBJECT

public:
    explicit FramePositionPane(QWidget* parent = nullptr);

    // Shows frame of the stream; cheap when nothing changed, so it may run per frame.
    void Refresh(const CAviVideoStream* stream, int frame);
    // From now on refreshed with each move of cursor.
    void FollowFrames(const FrameCursor& cursor);

    // "123 / 1800   00:04.100": the frame is 0-based like the image information; the time
    // grows an hour field from one hour on and is left out when unknown (ms < 0).
    static QString Text(int frame, int frameCount, int64_t ms);

private:
    int m_nFrame = -1;
    int m_nCount = -1;
    int64_t m_nMs = -1;
    FrameCursor::Subscription m_frameFollow;
};

}  // namespace kivra
