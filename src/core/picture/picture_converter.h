#pragma once
// Turns decoded pictures into the rows of a 24-bit bottom-up DIB through libswscale, writing
// nothing outside the rows it is given. Owned by the decoder that shows the pictures.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/ffmpeg_handles.h"

namespace kivra {

class PictureConverter {
public:
    // Fills bits, which holds exactly DibStride(width, 24) * height bytes, with frame's picture,
    // bottom row first. False when the picture cannot be converted or bits has another size.
    bool ToBottomUpBgr24(const AVFrame& frame, uint8_t* bits, size_t size);

private:
    SwsContextPtr sws_;
    // Rows of widths swscale cannot write in place, with room for what it stores past them.
    std::vector<uint8_t> scratch_;
};

}  // namespace kivra
