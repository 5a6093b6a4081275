#pragma once
// The pictures a view asks a stream for, decoded on a thread of their own and handed over as
// copies when ready, so a window paints what has arrived and never waits on a decoder. Owned
// by the stream, which ends it before its decoder; nothing is handed over after that.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "picture/dib.h"

namespace kivra {

// A frame's picture as decoded for the one who asked: its own copy.
struct ShownPicture {
    uint64_t opening = 0;  // the stream's opening it belongs to
    int frame = -1;
    bool deinterlaced = false;
    Dib dib;  // the last picture decoded when this frame's could not be
};

class PictureRequests {
public:
    struct Request {
        int frame = -1;
        bool deinterlace = false;
        // Kept requests are all served in order, each after what was asked before it; any
        // other gives way to the next request, because a view only wants the newest frame
        // once it has moved on.
        bool keep = false;
    };
    using Decode = std::function<ShownPicture(const Request&)>;
    // Called on the requests' thread.
    using Arrived = std::function<void(ShownPicture&&)>;

    explicit PictureRequests(Decode decode);
    ~PictureRequests();  // drops what is waiting, finishes the picture in hand
    PictureRequests(const PictureRequests&) = delete;
    PictureRequests& operator=(const PictureRequests&) = delete;

    void Ask(const Request& request, Arrived arrived);
    // Until every request asked so far has been served or given way; for tests and tools.
    void WaitIdle();

private:
    struct Pending {
        Request request;
        Arrived arrived;
    };
    void Run();

    const Decode m_decode;
    std::mutex m_lock;  // guards m_pending, m_busy and m_stopping
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Pending> m_pending;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;  // last: starts once the rest is built
};

}  // namespace kivra
