#include "platform/number_text.h"

#include <algorithm>
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
    std::string text;
    AppendFixed(text, value, decimals);
    return text;
}

void AppendFixed(std::string& out, const std::optional<double>& value, int decimals) {
    if (!value || !std::isfinite(*value)) {
        return;
    }
    // The largest double has 309 digits before the point; decimals beyond 17 carry nothing.
    decimals = std::clamp(decimals, 0, 17);
    char text[340];
    const auto res =
        std::to_chars(text, text + sizeof text, *value, std::chars_format::fixed, decimals);
    if (res.ec == std::errc()) {
        out.append(text, res.ptr);
    }
}

std::string Excerpt(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return std::string(text);
    }
    std::size_t cut = maxBytes;
    // Back off over UTF-8 continuation bytes so no character is split.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return std::string(text.substr(0, cut)) + "...";
}

}  // namespace kivra
