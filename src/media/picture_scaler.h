#pragma once
// Scales part of a decoded picture to the size it is shown at, in one pass, upright, as 32-bit
// BGRA rows (the layout of a 32-bit RGB window image). Owned by whoever draws pictures; keeps
// its scaler between calls because the sizes rarely change.
#include <cstdint>
#include <memory>

#include "media/dib.h"

struct SwsContext;

namespace kivra {

class PictureScaler {
public:
    PictureScaler();
    ~PictureScaler();
    PictureScaler(const PictureScaler&) = delete;
    PictureScaler& operator=(const PictureScaler&) = delete;

    // Scales the source rectangle (picture coordinates, top row first) of a 24-bit DIB to
    // width x height pixels at dst. False when the rectangle or sizes are unusable.
    bool Scale(const Dib& picture, int left, int top, int sourceWidth, int sourceHeight, int width,
               int height, uint8_t* dst, int dstStride);

private:
    struct Deleter {
        void operator()(SwsContext* ctx) const;
    };
    std::unique_ptr<SwsContext, Deleter> sws_;  // unused; kept for an accelerated path
};

}  // namespace kivra
