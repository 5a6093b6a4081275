#include "sync/linked_cursors.h"

#include "reading/avi_video_stream.h"

namespace kivra {

VideoClock ClockOf(const CAviVideoStream& stream) {
    return {stream.FileInfo().dwRate, stream.FileInfo().dwScale, stream.GetFrameCount()};
}

LinkedCursors::LinkedCursors(FrameCursor& a, FrameCursor& b)
    : m_a(a),
      m_b(b),
      m_followA(a.Observe([this](int frame) { Follow(true, frame); })),
      m_followB(b.Observe([this](int frame) { Follow(false, frame); })) {}

bool LinkedCursors::Link(const SyncOffset& offset) {
    const CAviVideoStream* a = m_a.Stream();
    const CAviVideoStream* b = m_b.Stream();
    m_link.reset();
    if (a == nullptr || b == nullptr || !ClockOf(*a).Valid() || !ClockOf(*b).Valid()) {
        return false;
    }
    m_link.emplace(ClockOf(*a), ClockOf(*b), offset);
    Follow(true, m_a.Current());
    return true;
}

void LinkedCursors::Follow(bool fromA, int frame) {
    if (!m_link || m_following) {
        return;
    }
    FrameCursor& other = fromA ? m_b : m_a;
    const CAviVideoStream* from = (fromA ? m_a : m_b).Stream();
    const CAviVideoStream* to = other.Stream();
    if (from == nullptr || to == nullptr) {
        return;
    }
    // The link numbers frames from 0; the streams from their start.
    const int at = frame - from->GetStart();
    const LinkedFrame linked = fromA ? m_link->BFromA(at) : m_link->AFromB(at);
    m_following = true;
    other.MoveTo(to->GetStart() + linked.frame);
    m_following = false;
}

}  // namespace kivra
