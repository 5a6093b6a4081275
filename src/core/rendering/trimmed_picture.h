#pragma once
// One picture of the trimmed movie: the part of a decoded frame inside its trimming rectangle,
// scaled by area averaging onto a black picture of the output size, the mosaic patch
// pixelated. Keeps its weights and buffers from one frame to the next; owned by the writer.
#include <cstdint>
#include <vector>

#include "geometry/trimming_param.h"
#include "picture/dib.h"

namespace kivra {

// Area-averaging weights of one axis: output pixel j of a span of `size` pixels covers the
// source interval [j * s, (j + 1) * s) with s = sourceSize / size, and is the mean of the source
// pixels over it, each weighted by how much of it lies inside. When enlarging (s < 1) the
// interval is widened to one source pixel around the same centre, which gives linear
// interpolation between pixel centres; at the ends the interval is cut to the source and the
// weights renormalised, so the edge pixels repeat. Weights are fixed point, each output's
// summing to exactly kAreaWeightOne.
inline constexpr int kAreaWeightBits = 14;
inline constexpr int kAreaWeightOne = 1 << kAreaWeightBits;

struct AreaTaps {
    std::vector<int> first;   // per output pixel: first source pixel it reads
    std::vector<int> offset;  // per output pixel: index of its first weight; size + 1 entries
    std::vector<int16_t> weight;
};

// Nothing when either size is not positive.
void BuildAreaTaps(int sourceSize, int size, AreaTaps& taps);

// Area-averaging weights from the source span [sourceStart, sourceStart + sourceLength) onto the
// output span [destStart, destStart + destLength); both may start and end inside a pixel, as a
// subsampled plane's share of a luma rectangle does. Output pixels floor(destStart) up to
// ceil(destStart + destLength) - 1 get taps (firstOutput is the first of them); `first` holds
// absolute source indices. A pixel only partly inside the output span weighs the source by the
// part inside: its weights sum to `cover` (kAreaWeightOne when whole), the rest being the fill.
// BuildAreaTaps is the case of whole-pixel spans starting at 0.
struct SpanTaps {
    int firstOutput = 0;
    std::vector<int> cover;  // per output pixel
    AreaTaps taps;
};
void BuildSpanTaps(double sourceStart, double sourceLength, double destStart, double destLength,
                   SpanTaps& out, std::vector<double>& scratch);

// Pixelates rect of a picture of width x height pixels of bytesPerPixel (2: 5-5-5, 3 or 4:
// blue, green, red first) in rows of width * bytesPerPixel bytes, picture row y at buffer row y
// when topDown, else at row height - 1 - y. The 20-pixel grid starts at the picture's top-left;
// each cell that overlaps rect gets, inside rect, the integer mean of its own top row, taken
// from x >= rect.left - 20 up to rect.right. A fourth byte is left as it was. The rectangle is
// cut to the picture first.
void ApplyMosaic(uint8_t* pixels, int width, int height, int bytesPerPixel, bool topDown,
                 const PixelRect& rect);

class TrimmedPictureRenderer {
public:
    // Renders into its own width x height picture of 32-bit BGRx pixels, top row first, fourth
    // byte 0. A null or empty source or an empty trimming rectangle gives a black picture.
    void Render(const Dib* source, const PixelRect& trim, int width, int height, int mosaicType);

    const uint8_t* Pixels() const { return pixels_.data(); }
    int Stride() const { return width_ * 4; }
    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    void Scale(const Dib& source, const PixelRect& from, const ViewRect& to);

    std::vector<uint8_t> pixels_;
    int width_ = 0;
    int height_ = 0;
    // Weights of one axis padded to the same number of taps for every output pixel, so the
    // inner loops have a fixed length; the padding weighs 0.
    struct FixedTaps {
        int count = 0;
        std::vector<int> first;
        std::vector<int16_t> weight;  // count per output pixel
    };
    static void Pad(const AreaTaps& taps, int sourceSize, FixedTaps& fixed);

    // Weights of the last spans scaled; rebuilt only when a span length changes.
    AreaTaps building_;
    FixedTaps columns_, rows_;
    int columnsKey_[2] = {-1, -1};
    int rowsKey_[2] = {-1, -1};
    std::vector<uint16_t> blended_;  // one source row span after the vertical pass, 8.8 fixed
    std::vector<const uint8_t*> rowPointers_;
};

}  // namespace kivra
