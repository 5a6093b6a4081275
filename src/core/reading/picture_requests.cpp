#include "reading/picture_requests.h"

#include <algorithm>
#include <utility>

namespace kivra {

PictureRequests::PictureRequests(Decode decode)
    : m_decode(std::move(decode)), m_thread([this] { Run(); }) {}

PictureRequests::~PictureRequests() {
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        m_stopping = true;
        m_pending.clear();
    }
    m_wake.notify_all();
    m_thread.join();
}

void PictureRequests::Ask(const Request& request, Arrived arrived) {
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        if (!request.keep) {
            // What was asked before a kept request stays: it was to be seen before it.
            const auto lastKept = std::find_if(m_pending.rbegin(), m_pending.rend(),
                                               [](const Pending& p) { return p.request.keep; });
            m_pending.erase(lastKept.base(), m_pending.end());
        }
        m_pending.push_back({request, std::move(arrived)});
    }
    m_wake.notify_one();
}

void PictureRequests::WaitIdle() {
    std::unique_lock<std::mutex> hold(m_lock);
    m_idle.wait(hold, [this] { return m_stopping || (m_pending.empty() && !m_busy); });
}

void PictureRequests::Run() {
    std::unique_lock<std::mutex> hold(m_lock);
    for (;;) {
        m_wake.wait(hold, [this] { return m_stopping || !m_pending.empty(); });
        if (m_stopping) {
            break;
        }
        Pending next = std::move(m_pending.front());
        m_pending.pop_front();
        m_busy = true;
        hold.unlock();
        ShownPicture picture = m_decode(next.request);
        next.arrived(std::move(picture));
        hold.lock();
        m_busy = false;
        if (m_pending.empty()) {
            m_idle.notify_all();
        }
    }
    m_idle.notify_all();
}

}  // namespace kivra
