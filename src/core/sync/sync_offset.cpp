#include "sync/sync_offset.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace kivra {
namespace {

using Wide = __int128;

Wide Abs(Wide v) {
    return v < 0 ? -v : v;
}

Wide Gcd(Wide a, Wide b) {
    a = Abs(a);
    b = Abs(b);
    while (b != 0) {
        const Wide r = a % b;
        a = b;
        b = r;
    }
    return a;
}

// Rounds toward the nearest, halves away from zero; den > 0.
Wide RoundDiv(Wide num, Wide den) {
    return num >= 0 ? (num + den / 2) / den : -((-num + den / 2) / den);
}

Wide FloorDiv(Wide num, Wide den) {
    const Wide q = num / den;
    return (num % den != 0 && (num < 0) != (den < 0)) ? q - 1 : q;
}

bool ClockInRange(const VideoClock& clock) {
    constexpr int64_t kMax = std::numeric_limits<uint32_t>::max();
    return clock.rate > 0 && clock.scale > 0 && clock.rate <= kMax && clock.scale <= kMax;
}

LinkedFrame Clamp(Wide frame, int frames) {
    if (frame < 0) {
        return {0, true};
    }
    if (frame > frames - 1) {
        return {frames - 1, true};
    }
    return {int(frame), false};
}

bool OnlyTwosAndFives(int64_t den) {
    while (den % 2 == 0) {
        den /= 2;
    }
    while (den % 5 == 0) {
        den /= 5;
    }
    return den == 1;
}

std::optional<int64_t> Digits(std::string_view text) {
    if (text.empty() || text.size() > 18 ||
        text.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// The one place a fraction is reduced and bounded, in wide arithmetic so that no product of
// two int64 values can overflow on the way.
std::optional<std::pair<int64_t, int64_t>> Normalise(Wide num, Wide den) {
    if (den == 0) {
        return std::nullopt;
    }
    if (den < 0) {
        num = -num;
        den = -den;
    }
    if (Abs(num) > Wide(SyncOffset::kMaxSeconds) * den) {
        return std::nullopt;
    }
    Wide g = Gcd(num, den);
    num /= g;
    den /= g;
    if (den > SyncOffset::kMaxDenominator) {
        num = RoundDiv(num * SyncOffset::kMaxDenominator, den);
        den = SyncOffset::kMaxDenominator;
        g = Gcd(num, den);
        num /= g;
        den /= g;
    }
    return std::pair<int64_t, int64_t>{int64_t(num), int64_t(den)};
}

}  // namespace

std::optional<SyncOffset> SyncOffset::Make(int64_t num, int64_t den) {
    const auto normal = Normalise(num, den);
    if (!normal) {
        return std::nullopt;
    }
    return SyncOffset(normal->first, normal->second);
}

std::optional<SyncOffset> SyncOffset::FromSeconds(double seconds) {
    if (!std::isfinite(seconds) || std::abs(seconds) > double(kMaxSeconds)) {
        return std::nullopt;
    }
    return Make(std::llround(seconds * 1e6), 1'000'000);
}

std::optional<SyncOffset> SyncOffset::FromFrames(const VideoClock& a, int frameA,
                                                 const VideoClock& b, int frameB) {
    if (!ClockInRange(a) || !ClockInRange(b)) {
        return std::nullopt;
    }
    // frameB * sB / rB - frameA * sA / rA
    const Wide num = Wide(frameB) * b.scale * a.rate - Wide(frameA) * a.scale * b.rate;
    const auto normal = Normalise(num, Wide(a.rate) * b.rate);
    if (!normal) {
        return std::nullopt;
    }
    return SyncOffset(normal->first, normal->second);
}

std::optional<SyncOffset> SyncOffset::FrameStart(const VideoClock& clock, int frame) {
    if (!ClockInRange(clock)) {
        return std::nullopt;
    }
    const auto normal = Normalise(Wide(frame) * clock.scale, clock.rate);
    if (!normal) {
        return std::nullopt;
    }
    return SyncOffset(normal->first, normal->second);
}

std::optional<SyncOffset> SyncOffset::Parse(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() < '0' || text.front() > '9') {
        return std::nullopt;
    }
    int64_t num = 0;
    int64_t den = 1;
    if (const size_t slash = text.find('/'); slash != std::string_view::npos) {
        const auto top = Digits(text.substr(0, slash));
        const auto bottom = Digits(text.substr(slash + 1));
        if (!top || !bottom) {
            return std::nullopt;
        }
        num = *top;
        den = *bottom;
    } else if (const size_t point = text.find('.'); point != std::string_view::npos) {
        const std::string_view fraction = text.substr(point + 1);
        const auto whole = Digits(text.substr(0, point));
        const auto part = Digits(fraction);
        if (!whole || !part || fraction.size() > 9 || *whole > kMaxSeconds) {
            return std::nullopt;
        }
        for (size_t i = 0; i < fraction.size(); ++i) {
            den *= 10;
        }
        num = *whole * den + *part;
    } else {
        const auto whole = Digits(text);
        if (!whole) {
            return std::nullopt;
        }
        num = *whole;
    }
    return Make(negative ? -num : num, den);
}

double SyncOffset::InFrames(const VideoClock& clock) const {
    if (!ClockInRange(clock)) {
        return 0.0;
    }
    return double(Wide(num_) * clock.rate) / double(Wide(den_) * clock.scale);
}

std::string SyncOffset::Text() const {
    if (!OnlyTwosAndFives(den_)) {
        return std::to_string(num_) + "/" + std::to_string(den_);
    }
    const int64_t magnitude = num_ < 0 ? -num_ : num_;
    std::string text = (num_ < 0 ? "-" : "") + std::to_string(magnitude / den_);
    int64_t rest = magnitude % den_;
    if (rest != 0) {
        text += '.';
    }
    // Long division ends: the denominator divides a power of ten.
    while (rest != 0) {
        rest *= 10;
        text += char('0' + rest / den_);
        rest %= den_;
    }
    return text;
}

std::optional<SyncOffset> SyncOffset::Plus(const SyncOffset& other) const {
    const auto normal =
        Normalise(Wide(num_) * other.den_ + Wide(other.num_) * den_, Wide(den_) * other.den_);
    if (!normal) {
        return std::nullopt;
    }
    return SyncOffset(normal->first, normal->second);
}

LinkedFrame FrameLink::BFromA(int frameA) const {
    if (!ClockInRange(a_) || !ClockInRange(b_) || b_.frames <= 0) {
        return {0, true};
    }
    const Wide n = offset_.Numerator();
    const Wide d = offset_.Denominator();
    // floor((frameA * sA / rA + n / d) * rB / sB)
    const Wide top = (Wide(frameA) * a_.scale * d + n * a_.rate) * b_.rate;
    return Clamp(FloorDiv(top, Wide(a_.rate) * d * b_.scale), b_.frames);
}

LinkedFrame FrameLink::AFromB(int frameB) const {
    if (!ClockInRange(a_) || !ClockInRange(b_) || a_.frames <= 0) {
        return {0, true};
    }
    const Wide n = offset_.Numerator();
    const Wide d = offset_.Denominator();
    // floor((frameB * sB / rB - n / d) * rA / sA)
    const Wide top = (Wide(frameB) * b_.scale * d - n * b_.rate) * a_.rate;
    return Clamp(FloorDiv(top, Wide(b_.rate) * d * a_.scale), a_.frames);
}

const char* SyncMethodName(SyncMethod method) {
    switch (method) {
        case SyncMethod::kFrames:
            return "frames";
        case SyncMethod::kSound:
            return "sound";
        case SyncMethod::kFlash:
            return "flash";
        case SyncMethod::kEvents:
            return "events";
    }
    return "frames";
}

std::optional<SyncMethod> SyncMethodNamed(std::string_view name) {
    for (const SyncMethod method :
         {SyncMethod::kFrames, SyncMethod::kSound, SyncMethod::kFlash, SyncMethod::kEvents}) {
        if (name == SyncMethodName(method)) {
            return method;
        }
    }
    return std::nullopt;
}

}  // namespace kivra
