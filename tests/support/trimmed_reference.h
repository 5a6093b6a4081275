#pragma once
// Plain double-precision statements of how a trimmed-movie picture is made, to check the real
// renderer against: the box's part on the picture, area averaging, the 20-pixel mosaic grid.
#include <cstdint>
#include <functional>
#include <vector>

#include "geometry/trimming_param.h"

namespace kivra::test {

// Channel c (0 blue, 1 green, 2 red) of source pixel (x, y), top row first.
using SourcePixel = std::function<int(int x, int y, int c)>;

// A width x height BGR picture (3 bytes a pixel, top row first): black, with the part of trim
// that lies on the imageWidth x imageHeight source scaled onto the output by area averaging.
// Each output edge of that part is the box edge mapped linearly and rounded half up.
std::vector<uint8_t> ReferenceTrimmed(const SourcePixel& source, int imageWidth, int imageHeight,
                                      const PixelRect& trim, int width, int height);

// The mosaic grid rule, applied to a picture of bytesPerPixel (2: 5-5-5; 3, 4: blue first).
std::vector<uint8_t> ReferenceMosaic(std::vector<uint8_t> pixels, int width, int height,
                                     int bytesPerPixel, bool topDown, const PixelRect& rect);

}  // namespace kivra::test
