#pragma once
// The time offset between two videos of one walk, and the frame of one that is current at a
// frame of the other. Everywhere: B's time = A's time + offset, so a positive offset means the
// same moment comes later in B. Times are exact fractions of a second, never summed doubles.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kivra {

// A video's frame numbering: frame n starts at n * scale / rate seconds (the AVI header's
// rate/scale, e.g. 30000/1001), frames 0 .. frames - 1.
struct VideoClock {
    int64_t rate = 0;
    int64_t scale = 0;
    int frames = 0;

    bool Valid() const { return rate > 0 && scale > 0 && frames > 0; }
    double FramesPerSecond() const { return Valid() ? double(rate) / double(scale) : 0.0; }
};

// Seconds as a reduced fraction with a positive denominator of at most kMaxDenominator
// (finer values are rounded to the nanosecond); bounded to +-kMaxSeconds. A value type.
class SyncOffset {
public:
    static constexpr int64_t kMaxDenominator = 1'000'000'000;
    static constexpr int64_t kMaxSeconds = 1'000'000;

    SyncOffset() = default;  // zero
    // num / den seconds; nothing when den is 0 or the value lies beyond the bound.
    static std::optional<SyncOffset> Make(int64_t num, int64_t den);
    // Rounded to the microsecond; nothing when not finite or beyond the bound.
    static std::optional<SyncOffset> FromSeconds(double seconds);
    // "Frame frameA of A and frame frameB of B show the same moment"; nothing for an invalid
    // clock.
    static std::optional<SyncOffset> FromFrames(const VideoClock& a, int frameA,
                                                const VideoClock& b, int frameB);
    // When frame n of the clock starts.
    static std::optional<SyncOffset> FrameStart(const VideoClock& clock, int frame);
    // "0.35", "-1.001", "12", "-1001/30000": an exact decimal or a fraction, nothing else.
    static std::optional<SyncOffset> Parse(std::string_view text);

    int64_t Numerator() const { return num_; }
    int64_t Denominator() const { return den_; }
    double Seconds() const { return double(num_) / double(den_); }
    // The offset in frames of the video whose clock this is (fractional), e.g. 8.75.
    double InFrames(const VideoClock& clock) const;
    // Exact: a decimal where one ends ("0.35"), else the fraction ("1001/30000"). Parse reads
    // it back to the same value.
    std::string Text() const;

    SyncOffset Negated() const { return SyncOffset(-num_, den_); }
    // The sum; nothing beyond the bound.
    std::optional<SyncOffset> Plus(const SyncOffset& other) const;

    bool operator==(const SyncOffset&) const = default;

private:
    SyncOffset(int64_t num, int64_t den) : num_(num), den_(den) {}
    int64_t num_ = 0;
    int64_t den_ = 1;
};

// The frame of one video current at the moment a frame of the other starts: the last frame
// whose start is at or before it, held to the video's frames (clamped says when it was).
struct LinkedFrame {
    int frame = 0;
    bool clamped = false;
};

// Maps frames between two videos kept in step by an offset; exact integer arithmetic for any
// pair of rates. A value owned by whoever shows the two videos together.
class FrameLink {
public:
    FrameLink(const VideoClock& a, const VideoClock& b, const SyncOffset& offset)
        : a_(a), b_(b), offset_(offset) {}

    LinkedFrame BFromA(int frameA) const;
    LinkedFrame AFromB(int frameB) const;

    const VideoClock& A() const { return a_; }
    const VideoClock& B() const { return b_; }
    const SyncOffset& Offset() const { return offset_; }

private:
    VideoClock a_;
    VideoClock b_;
    SyncOffset offset_;
};

// How an offset was found.
enum class SyncMethod { kFrames, kSound, kFlash, kEvents };

// "frames", "sound", "flash", "events", as the command line and the session file name them.
const char* SyncMethodName(SyncMethod method);
std::optional<SyncMethod> SyncMethodNamed(std::string_view name);

// What one method found. found is false with why (in the interface language) when it found no
// offset it can stand behind; offset and confidence then describe its best guess, if any.
// confidence is the method's own measure, larger is surer: sound, the correlation peak over
// the next best outside its main lobe; flash, the weakest matched jump over the frame-to-frame
// noise; events, the share of events that agree; frames, 1.
struct SyncEstimate {
    bool found = false;
    SyncMethod method = SyncMethod::kFrames;
    SyncOffset offset;
    double confidence = 0.0;
    int agreeing = 0;  // flashes or events that agree on the offset
    std::string why;   // empty when found
};

}  // namespace kivra
