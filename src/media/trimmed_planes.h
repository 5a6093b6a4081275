#pragma once
// One picture of the trimmed movie made straight in the encoder's planar YUV: every plane of the
// decoded frame's part inside the trimming rectangle scaled by area averaging into the same part
// of each output plane, the rest black, the mosaic patch pixelated plane by plane. Spares the
// two conversions through RGB; keeps its weights and buffers from one frame to the next. Owned
// by the writer's rendering thread.
#include <cstdint>
#include <vector>

#include "media/ffmpeg_handles.h"
#include "media/trimmed_picture.h"

namespace kivra {

// 8-bit planar YUV with at most 2:1 chroma subsampling either way (yuv420p, yuv422p, yuv444p,
// yuv440p and their full-range yuvj twins): the formats the plane renderer reads and writes.
bool IsPlanarYuv8(int format);
// Whether a frame of such a format holds full-range (0..255) rather than 16..235 values.
bool IsFullRangeYuv(int format, AVColorRange range);

class TrimmedPlanesRenderer {
public:
    // Renders the part of source inside trim into out, which holds a writable picture of an
    // IsPlanarYuv8 format; source must be of such a format too, or null for a black picture.
    // Levels are mapped when the two ranges differ. False (out untouched) for other formats.
    bool Render(const AVFrame* source, const PixelRect& trim, int mosaicType, AVFrame& out);

private:
    // The weights of one axis of one plane, padded to the same number of taps for every
    // output pixel; rebuilt only when the spans change.
    struct Axis {
        double key[4] = {-1, -1, -1, -1};
        int count = 0;
        int firstOutput = 0;
        std::vector<int> first;
        std::vector<int16_t> weight;  // count per output pixel
        std::vector<uint32_t> bias;   // per output pixel: the fill's share, weight-scaled
        uint32_t biasFill = 0;
    };
    void Prepare(Axis& axis, double sourceStart, double sourceLength, double destStart,
                 double destLength, uint32_t fill);
    void ScalePlane(const uint8_t* source, ptrdiff_t sourceStride, int sourceWidth,
                    int sourceHeight, const Axis& columns, const Axis& rows, const uint8_t* lut,
                    uint8_t* out, ptrdiff_t outStride);

    Axis columns_[3], rows_[3];
    SpanTaps building_;
    std::vector<double> scratch_;
    std::vector<uint16_t> blended_;
    std::vector<int> firstRelative_;  // column taps' first pixels within the blended span
    std::vector<const uint8_t*> rowPointers_;
    uint8_t lut_[3][1024] = {};  // per plane, by 10-bit level: the output level
    int lutKey_ = -1;
};

}  // namespace kivra
