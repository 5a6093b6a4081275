#include "platform/number_text.h"

#include <charconv>
#include <cmath>

namespace kivra {

std::optional<double> ParsePositiveNumber(std::string_view text) {
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value) || value <= 0.0) {
        return std::nullopt;
    }
    return value;
}

std::string FixedText(double value, int decimals) {
    char text[64];
    const auto res =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return std::string(text, res.ptr);
}

}  // namespace kivra
