#include "platform/four_cc.h"

#include <cctype>

namespace kivra {

std::string FourCCText(uint32_t code) {
    std::string text(4, ' ');
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<unsigned char>((code >> (8 * i)) & 0xFF);
        text[i] = static_cast<char>(std::toupper(c));
    }
    return text;
}

}  // namespace kivra
