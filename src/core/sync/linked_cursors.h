#pragma once
// Two videos of one walk stepped together by time: a move of either one's frame moves the
// other to its frame current at that moment, whatever their rates. Owned by whoever shows the
// two side by side; both cursors must outlive it.
#include <optional>

#include "session/frame_cursor.h"
#include "sync/sync_offset.h"

class CAviVideoStream;

namespace kivra {

// The stream's frames as a clock: its rate, scale and frame count.
VideoClock ClockOf(const CAviVideoStream& stream);

class LinkedCursors {
public:
    // a and b are the cursors of the videos the offset was found for (B's time = A's time +
    // offset). Starts unlinked.
    LinkedCursors(FrameCursor& a, FrameCursor& b);
    LinkedCursors(const LinkedCursors&) = delete;
    LinkedCursors& operator=(const LinkedCursors&) = delete;

    // Links the two by offset, taking their clocks as the videos stand now (call again after
    // either is opened anew), and brings B to A's moment. False, leaving them unlinked, while
    // either has no video or no frame rate.
    bool Link(const SyncOffset& offset);
    // Each moves alone from now on; the offset is kept for the next Link.
    void Unlink() { m_link.reset(); }
    bool Linked() const { return m_link.has_value(); }
    const std::optional<FrameLink>& Current() const { return m_link; }

private:
    void Follow(bool fromA, int frame);

    FrameCursor& m_a;
    FrameCursor& m_b;
    std::optional<FrameLink> m_link;
    bool m_following = false;  // the other cursor is being moved by us: no echo back
    FrameCursor::Subscription m_followA;
    FrameCursor::Subscription m_followB;
};

}  // namespace kivra
