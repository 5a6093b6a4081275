#pragma once
// The open video's current frame: the one place that moves it, always inside the video's
// frames, and that tells its observers after each move. Owned beside the editing session by the
// OpenVideo; views and bars only read and observe it.
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class CAviVideoStream;

namespace kivra {

class FrameCursor {
public:
    using Observer = std::function<void(int frame)>;

    // Keeps an observer registered while it lives. Either side may go first: a subscription
    // outliving its cursor is simply dead.
    class Subscription {
    public:
        Subscription() = default;
        Subscription(Subscription&& other) noexcept;
        Subscription& operator=(Subscription&& other) noexcept;
        Subscription(const Subscription&) = delete;
        Subscription& operator=(const Subscription&) = delete;
        ~Subscription() { Reset(); }
        void Reset();

    private:
        friend class FrameCursor;
        struct Registry;
        Subscription(std::weak_ptr<Registry> registry, int id)
            : m_registry(std::move(registry)), m_id(id) {}
        std::weak_ptr<Registry> m_registry;
        int m_id = 0;
    };

    // stream gives the open video, null while none is; asked at every use, because the
    // document replaces it while opening.
    explicit FrameCursor(std::function<CAviVideoStream*()> stream);
    FrameCursor(const FrameCursor&) = delete;
    FrameCursor& operator=(const FrameCursor&) = delete;

    // The open video, null while none is (or it lost its decoder).
    CAviVideoStream* Stream() const;
    // -1 without a video; a video not moved yet stands on its first frame.
    int Current() const;
    // The frame the picture shows: the current one, except while ShowBriefly paints another.
    int Shown() const;

    // Moves to frame n, clamped to the video. Refused without a video, telling no one. A taken
    // move tells each observer once, also when the clamp leaves the frame where it was: showing
    // the frame again is a move to it (the marker ID resets as on any other).
    bool MoveTo(int n);

    // Shows frame n (clamped) only while paint runs. No move: the current frame stays and the
    // observers hear nothing. For a repaint through another picture (the key-frame refresh).
    void ShowBriefly(int n, const std::function<void()>& paint);

    // Decodes the shown frame's picture into the stream's display bitmap; the stream skips the
    // work when the picture is already there.
    void LoadPicture(bool deinterlace = false) const;

    [[nodiscard]] Subscription Observe(Observer observer) const;

private:
    using Registry = Subscription::Registry;
    int Clamp(const CAviVideoStream& stream, int n) const;
    void Notify(int frame) const;

    std::function<CAviVideoStream*()> m_stream;
    // The frame of the opening it belongs to; another opening starts on its first frame.
    uint64_t m_nOpening = 0;
    int m_nCurrentFrame = -1;
    int m_nBriefFrame = -1;  // the frame ShowBriefly paints, -1 otherwise
    std::shared_ptr<Registry> m_registry;
};

}  // namespace kivra
