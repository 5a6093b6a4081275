#pragma once
// UTF-8 encoding of single code points, for the texts that arrive as UTF-16 or wide strings
// (a video's "txts" chunk, the media-information library's answers).
#include <string>

namespace kivra {

// Appends code as UTF-8; a lone surrogate or a value past U+10FFFF becomes U+FFFD.
void AppendUtf8(std::string& out, char32_t code);

}  // namespace kivra
