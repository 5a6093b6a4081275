#pragma once
// Four-character codes as the AVI headers store them: four bytes, lowest first.
#include <cstdint>
#include <string>
#include <string_view>

namespace kivra {

constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
           uint32_t(uint8_t(d)) << 24;
}

constexpr uint32_t MakeFourCC(std::string_view s) {
    return MakeFourCC(s.size() > 0 ? s[0] : ' ', s.size() > 1 ? s[1] : ' ',
                      s.size() > 2 ? s[2] : ' ', s.size() > 3 ? s[3] : ' ');
}

// The code's four bytes, lowest first, as characters, upper-cased.
std::string FourCCText(uint32_t code);

}  // namespace kivra
