#pragma once
// Decoding ahead for backward steps: while pictures are shown going backwards, a thread of its
// own decodes the group of pictures before them into the shared picture cache, with a decoder of
// its own, so the thread that shows pictures never waits for a whole group. Owned by the reader
// that shows the pictures (AVI or direct); it stops and joins its thread when destroyed.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <vector>

#include "picture/picture_cache.h"
#include "reading/decoder_stats.h"
#include "reading/group_decoder.h"

namespace kivra {

class FramePrefetcher {
public:
    // Makes the thread's decoder, on the thread: with `threads` decoding threads, taking its
    // picture buffers from the cache. Null when it cannot be made.
    using MakeDecoder =
        std::function<std::unique_ptr<GroupDecoder>(int threads, PictureCache& cache)>;

    // keys: the display number each group of pictures starts at, ascending, as the decoder
    // numbers its groups.
    FramePrefetcher(std::shared_ptr<const std::vector<int32_t>> keys, MakeDecoder make,
                    PictureCache& cache);
    ~FramePrefetcher();
    FramePrefetcher(const FramePrefetcher&) = delete;
    FramePrefetcher& operator=(const FramePrefetcher&) = delete;

    // Called with every picture shown. A step back starts or steers the work; anything else
    // stops it. reorder: how the showing pipeline numbers pictures, so both number alike.
    void Shown(int display, bool stepBack, bool reorder);
    // When the thread is decoding toward display and will store it, waits until it has passed
    // it and returns true; otherwise returns false at once.
    bool WaitFor(int display);
    // Stops the current work and forgets it (the cache is being emptied).
    void Pause();
    // Waits until the thread has nothing left to do; for tests and measurements.
    void WaitIdle();

    int64_t Prefetched() const { return prefetched_.load(std::memory_order_relaxed); }
    int64_t Decoded() const { return decoded_.load(std::memory_order_relaxed); }
    int64_t Waits() const { return waits_; }
    // Puts the three counts above into a reader's figures.
    void AddStats(DecoderStats& stats) const {
        stats.prefetched = Prefetched();
        stats.prefetchDecoded = Decoded();
        stats.prefetchWaits = Waits();
    }

private:
    // What the shown pictures ask for: fill [low, fillHigh], keep [low, display].
    struct Request {
        int display = 0;
        int low = 0;
        int fillHigh = -1;
        bool reorder = false;
        bool first = false;      // no run yet since going backwards started
        double stepSeconds = 0;  // how long a step back has taken lately; 0 not known yet
    };
    Request RequestFor(int display, int fillHigh, bool reorder) const;
    void Post(const Request& request);  // with mutex_ held
    void Run();
    bool RunOnce(const Request& request, uint64_t generation);
    void Plan(int target, const Request& request, int* fromGroup, bool* withLeading);
    bool Premature(int target, const Request& request, int fromGroup) const;
    // Whether a run from display `from` to target must start now for the steps to find target
    // ready when they come at their present pace.
    bool DueNow(int target, const Request& request, int from) const;
    void NoteStep(bool stepBack);
    bool StillWanted();
    static bool StopCheck(void* self);
    int KeyIndexFor(int display) const;

    const std::shared_ptr<const std::vector<int32_t>> keys_;
    const MakeDecoder make_;
    PictureCache& cache_;
    std::unique_ptr<GroupDecoder> pipeline_;  // the thread's own, made on the thread
    std::unordered_set<int> lost_;            // the thread's: pictures its runs never gave
    int64_t decodedBefore_ = 0;               // the thread's: by its decoders before this one
    double decodeSeconds_ = 0;                // the thread's: per picture of its runs lately
    // The showing thread's: when the last step back was shown, and the pace of the steps.
    std::chrono::steady_clock::time_point lastStep_{};
    double stepSeconds_ = 0;
    std::thread thread_;
    bool uiActive_ = false;  // the showing thread's view of active_, to skip the lock
    int64_t waits_ = 0;
    std::atomic<int64_t> prefetched_{0};
    std::atomic<int64_t> decoded_{0};
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> generation_{0};  // changes with every request

    // Guards the request and the run's state below it, which both threads read and write.
    std::mutex mutex_;
    std::condition_variable wake_;      // the thread waits for work
    std::condition_variable progress_;  // waiters for pictures and for idleness
    Request request_;
    bool active_ = false;
    bool broken_ = false;          // the thread or its decoder could not be made
    uint64_t doneGeneration_ = 0;  // the request whose work is finished
    bool running_ = false;         // a run is under way, toward runHigh_
    uint64_t runs_ = 0;            // runs begun
    int runLow_ = 0;
    int runHigh_ = -1;
    int lastOut_ = -1;
    uint64_t seenGeneration_ = 0;  // of the thread; the request its run follows
};

}  // namespace kivra
