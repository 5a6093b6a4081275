#pragma once
// The largest picture the program takes on. Cameras record at most 8K (7680x4320, DCI
// 8192x4320, some 8192x4352), in landscape or portrait; a header that claims more is damaged or
// made up, and believing it costs gigabytes for a single display bitmap.
#include <cstdint>

namespace kivra {

inline constexpr int64_t kMaxPictureSide = 8192;
inline constexpr int64_t kMaxPicturePixels = kMaxPictureSide * 4352;

// True when neither side exceeds kMaxPictureSide and the area not kMaxPicturePixels. Sizes of 0
// or below (unknown) pass: they allocate nothing.
constexpr bool PictureSizeAllowed(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0) {
        return true;
    }
    return width <= kMaxPictureSide && height <= kMaxPictureSide &&
           width * height <= kMaxPicturePixels;
}

}  // namespace kivra
