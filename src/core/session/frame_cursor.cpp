#include "session/frame_cursor.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "reading/avi_video_stream.h"

namespace kivra {

struct FrameCursor::Subscription::Registry {
    int nextId = 1;
    std::vector<std::pair<int, Observer>> observers;
};

FrameCursor::Subscription::Subscription(Subscription&& other) noexcept
    : m_registry(std::move(other.m_registry)), m_id(std::exchange(other.m_id, 0)) {}

FrameCursor::Subscription& FrameCursor::Subscription::operator=(Subscription&& other) noexcept {
    if (this != &other) {
        Reset();
        m_registry = std::move(other.m_registry);
        m_id = std::exchange(other.m_id, 0);
    }
    return *this;
}

void FrameCursor::Subscription::Reset() {
    if (const std::shared_ptr<Registry> registry = m_registry.lock()) {
        std::erase_if(registry->observers,
                      [this](const auto& entry) { return entry.first == m_id; });
    }
    m_registry.reset();
    m_id = 0;
}

FrameCursor::FrameCursor(std::function<CAviVideoStream*()> stream)
    : m_stream(std::move(stream)), m_registry(std::make_shared<Registry>()) {}

CAviVideoStream* FrameCursor::Stream() const {
    CAviVideoStream* stream = m_stream ? m_stream() : nullptr;
    return stream != nullptr && stream->HasStream() ? stream : nullptr;
}

int FrameCursor::Current() const {
    const CAviVideoStream* stream = Stream();
    if (stream == nullptr) {
        return -1;
    }
    return stream->Opening() == m_nOpening ? m_nCurrentFrame : stream->GetStart();
}

int FrameCursor::Shown() const {
    return m_nBriefFrame >= 0 && Stream() != nullptr ? m_nBriefFrame : Current();
}

int FrameCursor::Clamp(const CAviVideoStream& stream, int n) const {
    return std::clamp(n, stream.GetStart(), stream.GetEnd());
}

bool FrameCursor::MoveTo(int n) {
    const CAviVideoStream* stream = Stream();
    if (stream == nullptr) {
        return false;
    }
    m_nOpening = stream->Opening();
    m_nCurrentFrame = Clamp(*stream, n);
    Notify(m_nCurrentFrame);
    return true;
}

void FrameCursor::ShowBriefly(int n, const std::function<void()>& paint) {
    const CAviVideoStream* stream = Stream();
    if (stream == nullptr) {
        return;
    }
    const int before = std::exchange(m_nBriefFrame, Clamp(*stream, n));
    paint();
    m_nBriefFrame = before;
}

void FrameCursor::LoadPicture(bool deinterlace) const {
    if (CAviVideoStream* stream = Stream()) {
        stream->LoadFrame(Shown(), deinterlace);
    }
}

FrameCursor::Subscription FrameCursor::Observe(Observer observer) const {
    const int id = m_registry->nextId++;
    m_registry->observers.emplace_back(id, std::move(observer));
    return Subscription(m_registry, id);
}

void FrameCursor::Notify(int frame) const {
    // An observer may unsubscribe itself or another while being told: go by a snapshot of the
    // IDs and skip the ones gone meanwhile.
    std::vector<int> ids;
    ids.reserve(m_registry->observers.size());
    for (const auto& entry : m_registry->observers) {
        ids.push_back(entry.first);
    }
    for (const int id : ids) {
        const auto& list = m_registry->observers;
        const auto it = std::find_if(list.begin(), list.end(),
                                     [id](const auto& entry) { return entry.first == id; });
        if (it != list.end()) {
            const Observer observer = it->second;
            observer(frame);
        }
    }
}

}  // namespace kivra
