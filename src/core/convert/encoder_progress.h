#pragma once
// Reads the encoder's progress reports ("-progress pipe:N": blocks of key=value lines) and
// turns them into a share of the job and an estimate of the time left. Owned by the encoder
// runner, one per run.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kivra {

class EncoderProgress {
public:
    // Takes the next piece of the report stream, in whatever pieces it arrives.
    void Feed(std::string_view chunk);

    // Microseconds of output written so far; -1 before the first report that knows it.
    std::int64_t OutTimeUs() const { return outTimeUs_; }
    std::int64_t Frames() const { return frames_; }
    bool Ended() const { return ended_; }
    // Counts the reports whose figures moved on since the one before: what the stall
    // watchdog looks at, since the encoder also reports when nothing happens.
    std::uint64_t Advances() const { return advances_; }

    // Thousandths of `duration` done, 0 .. 1000; nothing while no time was reported or the
    // duration is unknown.
    std::optional<int> Permille(std::chrono::milliseconds duration) const;

private:
    void TakeLine(std::string_view line);

    std::string partial_;
    std::int64_t outTimeUs_ = -1;
    std::int64_t frames_ = 0;
    std::int64_t totalSize_ = 0;
    std::int64_t lastOutTimeUs_ = -1;
    std::int64_t lastFrames_ = 0;
    std::int64_t lastTotalSize_ = 0;
    bool ended_ = false;
    std::uint64_t advances_ = 0;
};

// Seconds left when `permille` of the job took `elapsed`, at the same pace; nothing while the
// figure would be a guess (under 2 % done or under a second gone).
std::optional<int> RemainingSeconds(int permille, std::chrono::milliseconds elapsed);

}  // namespace kivra
