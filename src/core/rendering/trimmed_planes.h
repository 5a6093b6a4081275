#pragma once
// One picture of the trimmed movie made straight in the encoder's planar YUV: every plane of the
// decoded frame's part inside the trimming rectangle scaled by area averaging into the same part
// of each output plane, the rest black, the mosaic patch pixelated plane by plane. Spares the
// two conversions through RGB; keeps its weights and buffers from one frame to the next. Owned
// by the writer's rendering thread.
#include <cstdint>
#include <vector>

#include "platform/ffmpeg_handles.h"
#include "rendering/trimmed_picture.h"

namespace kivra {

// 8-bit planar YUV with at most 2:1 chroma subsampling either way (yuv420p, yuv422p, yuv444p,
// yuv440p and their full-range yuvj twins): the formats the plane renderer reads and writes.
bool IsPlanarYuv8(int format);
// Whether a frame of such a format holds full-range (0..255) rather than 16..235 values.
bool IsFullRangeYuv(int format, AVColorRange range);

// The inner loops a renderer runs: all give the same pictures, the wider ones sooner.
enum class PlaneKernels { Plain, Sse2, Avx2 };
// The widest this processor runs.
PlaneKernels BestPlaneKernels();

class TrimmedPlanesRenderer {
public:
    // Renders the part of source inside trim into out, which holds a writable picture of an
    // IsPlanarYuv8 format; source must be of such a format too, or null for a black picture.
    // Levels are mapped when the two ranges differ. False (out untouched) for other formats.
    bool Render(const AVFrame* source, const PixelRect& trim, int mosaicType, AVFrame& out);
    // Narrower loops than the best, to compare them; wider than the processor runs is ignored.
    void UseKernels(PlaneKernels kernels);

private:
    // The weights of one axis of one plane, the same even number for every output pixel;
    // rebuilt only when the spans change.
    struct Axis {
        double key[6] = {-1, -1, -1, -1, -1, -1};
        int32_t fill = -1;
        int pairs = 0;
        int size = 0;  // output pixels
        int firstOutput = 0;
        std::vector<int> first;
        std::vector<int16_t> weight;
        std::vector<int32_t> bias;  // per output pixel: the fill's share, weight-scaled
        // Grouped only: when every group of four reads within 16 bytes per pair, the group's
        // lowest first pixel and the byte shuffle that pairs up its taps from there.
        bool shuffles = false;
        int readEnd = 0;  // one past the last byte such reads touch
        std::vector<int> groupBase;
        std::vector<uint8_t> mask;
    };
    // grouped: weights laid out for the horizontal pass, four outputs at a time.
    void Prepare(Axis& axis, bool grouped, double sourceStart, double sourceLength,
                 double destStart, double destLength, int32_t fill, double gain, double offset);
    // One source row scaled across into the ring.
    void ScaleAcross(const uint8_t* row, int spanFrom, int spanTo, int sourceWidth,
                     const Axis& columns, int groups, int16_t* out);
    void ScalePlane(const uint8_t* source, ptrdiff_t sourceStride, int sourceWidth,
                    int sourceHeight, const Axis& columns, const Axis& rows, uint8_t* out,
                    ptrdiff_t outStride);

    PlaneKernels kernels_ = BestPlaneKernels();
    Axis columns_[3], rows_[3];
    SpanTaps building_;
    std::vector<double> scratch_;
    std::vector<int16_t> levels_;     // one source row span as int16
    std::vector<uint8_t> bytes_;      // or as bytes, zero-padded, where it ends too soon
    std::vector<int> firstRelative_;  // column taps' first pixels within that span
    std::vector<int16_t> ring_;       // source rows scaled across, by row modulo the taps
    std::vector<int> ringRow_;
    std::vector<const int16_t*> rowPointers_;
};

}  // namespace kivra
