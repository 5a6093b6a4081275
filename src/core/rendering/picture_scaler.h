#pragma once
// Scales part of a decoded picture to the size it is shown at, upright, as 32-bit BGRA rows
// (the layout of a 32-bit RGB window image). Keeps its working buffers from one picture to the
// next; owned by whoever draws pictures.
#include <cstdint>
#include <vector>

#include "picture/dib.h"

namespace kivra {

class PictureScaler {
public:
    // Scales the source rectangle (picture coordinates, top row first) of a 24-bit DIB to
    // width x height pixels at dst. False when the rectangle or sizes are unusable.
    bool Scale(const Dib& picture, int left, int top, int sourceWidth, int sourceHeight, int width,
               int height, uint8_t* dst, int dstStride);

private:
    std::vector<uint8_t> halves_[2];  // the pictures of the halving steps, in turn
};

}  // namespace kivra
