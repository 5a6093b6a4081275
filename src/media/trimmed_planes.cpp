#include "media/trimmed_planes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace kivra {

namespace {

constexpr int kCell = 20;  // the mosaic grid, in luma pixels
constexpr int kDown = kAreaWeightBits - 8;
constexpr int kShift = kAreaWeightBits + 8;
constexpr int kLutBits = 10;  // levels looked up with two fraction bits

bool IsFullRangeFormat(int format) {
    switch (format) {
        case AV_PIX_FMT_YUVJ420P:
        case AV_PIX_FMT_YUVJ422P:
        case AV_PIX_FMT_YUVJ444P:
        case AV_PIX_FMT_YUVJ440P:
            return true;
        default:
            return false;
    }
}

struct PlaneShift {
    int x = 0;
    int y = 0;
};

PlaneShift ShiftOf(int format, int plane) {
    if (plane == 0) {
        return {};
    }
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(AVPixelFormat(format));
    return {desc->log2_chroma_w, desc->log2_chroma_h};
}

int CeilShift(int value, int shift) {
    return int((int64_t{value} + (int64_t{1} << shift) - 1) >> shift);
}

uint8_t* Row(uint8_t* plane, ptrdiff_t stride, int y) {
    return plane + ptrdiff_t(y) * stride;
}
const uint8_t* Row(const uint8_t* plane, ptrdiff_t stride, int y) {
    return plane + ptrdiff_t(y) * stride;
}

// Vertical pass over one source span into 8.8 fixed point; bias carries the fill's share.
template <int K>
void BlendRows(const uint8_t* const* rows, const int16_t* w, int taps, uint32_t bias, int span,
               uint16_t* __restrict out) {
    const int n = K > 0 ? K : taps;
    if constexpr (K == 1) {
        if (w[0] == kAreaWeightOne) {
            for (int k = 0; k < span; ++k) {
                out[k] = uint16_t(rows[0][k] << 8);
            }
            return;
        }
    }
    const uint32_t start = bias + (1u << (kDown - 1));
    for (int k = 0; k < span; ++k) {
        uint32_t sum = start;
        for (int t = 0; t < n; ++t) {
            sum += uint32_t(rows[t][k]) * uint32_t(w[t]);
        }
        out[k] = uint16_t(sum >> kDown);
    }
}

// Horizontal pass from the blended span into the output row, through the level table when the
// ranges differ.
template <int K, bool kMap>
void BlendColumns(const uint16_t* __restrict blended, const int* first, const int16_t* weight,
                  const uint32_t* bias, int taps, int width, const uint8_t* lut,
                  uint8_t* __restrict out) {
    const int n = K > 0 ? K : taps;
    constexpr int kOutShift = kMap ? kShift - (kLutBits - 8) : kShift;
    constexpr uint32_t kHalf = 1u << (kOutShift - 1);
    for (int x = 0; x < width; ++x) {
        const uint16_t* p = blended + first[x];
        const int16_t* w = weight + size_t(x) * size_t(n);
        uint32_t sum = kHalf + bias[x];
        for (int t = 0; t < n; ++t) {
            sum += uint32_t(p[t]) * uint32_t(w[t]);
        }
        if constexpr (kMap) {
            out[x] = lut[sum >> kOutShift];
        } else {
            out[x] = uint8_t(sum >> kOutShift);
        }
    }
}

using RowsFn = void (*)(const uint8_t* const*, const int16_t*, int, uint32_t, int, uint16_t*);
using ColumnsFn = void (*)(const uint16_t*, const int*, const int16_t*, const uint32_t*, int, int,
                           const uint8_t*, uint8_t*);

RowsFn RowsFor(int count) {
    switch (count) {
        case 1:
            return BlendRows<1>;
        case 2:
            return BlendRows<2>;
        case 3:
            return BlendRows<3>;
        case 4:
            return BlendRows<4>;
        default:
            return BlendRows<0>;
    }
}

template <bool kMap>
ColumnsFn ColumnsFor(int count) {
    switch (count) {
        case 1:
            return BlendColumns<1, kMap>;
        case 2:
            return BlendColumns<2, kMap>;
        case 3:
            return BlendColumns<3, kMap>;
        case 4:
            return BlendColumns<4, kMap>;
        default:
            return BlendColumns<0, kMap>;
    }
}

// Sets the part of a plane outside [x0, x1) x [y0, y1) to value.
void FillOutside(uint8_t* plane, ptrdiff_t stride, int width, int height, int x0, int x1, int y0,
                 int y1, uint8_t value) {
    x0 = std::clamp(x0, 0, width);
    x1 = std::clamp(x1, x0, width);
    y0 = std::clamp(y0, 0, height);
    y1 = std::clamp(y1, y0, height);
    if (x0 == x1) {
        y0 = y1 = height;  // nothing inside: every row is outside
    }
    for (int y = 0; y < height; ++y) {
        uint8_t* row = Row(plane, stride, y);
        if (y < y0 || y >= y1) {
            std::memset(row, value, size_t(width));
        } else {
            std::memset(row, value, size_t(x0));
            std::memset(row + x1, value, size_t(width - x1));
        }
    }
}

// The grid rule on one plane whose samples stand for 2^shift luma pixels each way: every 20x20
// luma cell that overlaps rect takes, inside rect, the integer mean of its own top row over the
// luma range [max(cell left, rect.left - 20), min(cell right, rect.right)).
void MosaicPlane(uint8_t* plane, ptrdiff_t stride, int lumaWidth, int lumaHeight, PlaneShift shift,
                 const PixelRect& lumaRect) {
    const int left = std::max(lumaRect.left, 0);
    const int top = std::max(lumaRect.top, 0);
    const int right = std::min(lumaRect.right, lumaWidth);
    const int bottom = std::min(lumaRect.bottom, lumaHeight);
    if (right <= left || bottom <= top) {
        return;
    }
    // A sample any of whose pixels lies in the rectangle belongs to it.
    const int pl = left >> shift.x;
    const int pr = CeilShift(right, shift.x);
    const int pt = top >> shift.y;
    const int pb = CeilShift(bottom, shift.y);
    for (int cx = std::max(0, (left - kCell + 1) / kCell) * kCell; cx < right; cx += kCell) {
        const int sampleFrom = std::max(cx, left - kCell) >> shift.x;
        const int sampleTo = CeilShift(std::min(cx + kCell, right), shift.x);
        if (sampleTo <= sampleFrom) {
            continue;
        }
        const int x0 = std::max(cx >> shift.x, pl);
        const int x1 = std::min((cx + kCell) >> shift.x, pr);
        for (int cy = top / kCell * kCell; cy < bottom; cy += kCell) {
            const uint8_t* sampled = Row(plane, stride, cy >> shift.y);
            unsigned sum = 0;
            for (int x = sampleFrom; x < sampleTo; ++x) {
                sum += sampled[x];
            }
            const uint8_t mean = uint8_t(sum / unsigned(sampleTo - sampleFrom));
            const int y0 = std::max(cy >> shift.y, pt);
            const int y1 = std::min((cy + kCell) >> shift.y, pb);
            for (int y = y0; y < y1 && x1 > x0; ++y) {
                std::memset(Row(plane, stride, y) + x0, mean, size_t(x1 - x0));
            }
        }
    }
}

// Output level for an input level given in units of a quarter, between the two ranges.
uint8_t MapLevel(double level, bool chroma, bool fromFull, bool toFull) {
    double v = level;
    if (chroma) {
        const double fromScale = fromFull ? 255.0 : 224.0;
        const double toScale = toFull ? 255.0 : 224.0;
        v = 128.0 + (level - 128.0) * toScale / fromScale;
    } else {
        const double fromLow = fromFull ? 0.0 : 16.0;
        const double fromScale = fromFull ? 255.0 : 219.0;
        const double toLow = toFull ? 0.0 : 16.0;
        const double toScale = toFull ? 255.0 : 219.0;
        v = toLow + (level - fromLow) * toScale / fromScale;
    }
    return uint8_t(std::clamp(std::lround(v), 0L, 255L));
}

}  // namespace

bool IsPlanarYuv8(int format) {
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(AVPixelFormat(format));
    if (desc == nullptr || desc->nb_components != 3 ||
        (desc->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BE |
                        AV_PIX_FMT_FLAG_FLOAT | AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BAYER)) ||
        !(desc->flags & AV_PIX_FMT_FLAG_PLANAR) || desc->log2_chroma_w > 1 ||
        desc->log2_chroma_h > 1) {
        return false;
    }
    for (int c = 0; c < 3; ++c) {
        const AVComponentDescriptor& comp = desc->comp[c];
        if (comp.plane != c || comp.depth != 8 || comp.step != 1 || comp.shift != 0) {
            return false;
        }
    }
    return true;
}

bool IsFullRangeYuv(int format, AVColorRange range) {
    return IsFullRangeFormat(format) || range == AVCOL_RANGE_JPEG;
}

void TrimmedPlanesRenderer::Prepare(Axis& axis, double sourceStart, double sourceLength,
                                    double destStart, double destLength, uint32_t fill) {
    const double key[4] = {sourceStart, sourceLength, destStart, destLength};
    if (std::equal(key, key + 4, axis.key) && axis.biasFill == fill) {
        return;
    }
    std::copy(key, key + 4, axis.key);
    axis.biasFill = fill;
    BuildSpanTaps(sourceStart, sourceLength, destStart, destLength, building_, scratch_);
    const AreaTaps& taps = building_.taps;
    const size_t size = taps.first.size();
    int count = 1;
    for (size_t j = 0; j < size; ++j) {
        count = std::max(count, taps.offset[j + 1] - taps.offset[j]);
    }
    axis.count = count;
    axis.firstOutput = building_.firstOutput;
    axis.first.assign(taps.first.begin(), taps.first.end());
    // Padding goes after the real taps; what it reads weighs nothing and stays inside the
    // buffers read (see ScalePlane).
    axis.weight.assign(size * size_t(count), 0);
    axis.bias.resize(size);
    for (size_t j = 0; j < size; ++j) {
        for (int t = taps.offset[j]; t < taps.offset[j + 1]; ++t) {
            axis.weight[j * size_t(count) + size_t(t - taps.offset[j])] = taps.weight[size_t(t)];
        }
        axis.bias[j] = uint32_t(kAreaWeightOne - building_.cover[j]) * fill;
    }
}

void TrimmedPlanesRenderer::ScalePlane(const uint8_t* source, ptrdiff_t sourceStride,
                                       int sourceWidth, int sourceHeight, const Axis& columns,
                                       const Axis& rows, const uint8_t* lut, uint8_t* out,
                                       ptrdiff_t outStride) {
    const int width = int(columns.first.size());
    const int height = int(rows.first.size());
    if (width == 0 || height == 0) {
        return;
    }
    const auto [lowest, highest] = std::minmax_element(columns.first.begin(), columns.first.end());
    const int spanFrom = *lowest;
    const int spanTo = std::min(*highest + columns.count, sourceWidth);
    // Padding taps read past the blended span into entries no pass writes: they weigh 0.
    blended_.resize(size_t(*highest + columns.count - spanFrom));
    rowPointers_.resize(size_t(rows.count));
    firstRelative_.resize(size_t(width));
    for (int x = 0; x < width; ++x) {
        firstRelative_[size_t(x)] = columns.first[size_t(x)] - spanFrom;
    }
    const RowsFn blendRows = RowsFor(rows.count);
    const ColumnsFn blendColumns =
        lut != nullptr ? ColumnsFor<true>(columns.count) : ColumnsFor<false>(columns.count);
    for (int y = 0; y < height; ++y) {
        const int firstRow = rows.first[size_t(y)];
        for (int t = 0; t < rows.count; ++t) {
            // Padding rows past the plane weigh nothing; they read its last row.
            const int row = std::min(firstRow + t, sourceHeight - 1);
            rowPointers_[size_t(t)] = Row(source, sourceStride, row) + spanFrom;
        }
        blendRows(rowPointers_.data(), rows.weight.data() + size_t(y) * size_t(rows.count),
                  rows.count, rows.bias[size_t(y)], spanTo - spanFrom, blended_.data());
        blendColumns(blended_.data(), firstRelative_.data(), columns.weight.data(),
                     columns.bias.data(), columns.count, width, lut,
                     Row(out, outStride, rows.firstOutput + y) + columns.firstOutput);
    }
}

bool TrimmedPlanesRenderer::Render(const AVFrame* source, const PixelRect& trim, int mosaicType,
                                   AVFrame& out) {
    if (!IsPlanarYuv8(out.format) || out.width <= 0 || out.height <= 0 ||
        (source != nullptr &&
         (!IsPlanarYuv8(source->format) || source->width <= 0 || source->height <= 0))) {
        return false;
    }
    const bool outFull = IsFullRangeYuv(out.format, out.color_range);
    const bool sourceFull =
        source != nullptr ? IsFullRangeYuv(source->format, source->color_range) : outFull;
    const TrimPlacement place =
        source != nullptr
            ? PlaceTrimRect(trim, source->width, source->height, out.width, out.height)
            : TrimPlacement{};
    const bool scaled = !place.source.IsEmpty() && !place.dest.IsEmpty();
    const bool map = scaled && sourceFull != outFull;
    const int lutKey = (sourceFull ? 2 : 0) + (outFull ? 1 : 0);
    if (map && lutKey_ != lutKey) {
        for (int plane = 0; plane < 3; ++plane) {
            for (int i = 0; i < (1 << kLutBits); ++i) {
                lut_[plane][i] = MapLevel(i / 4.0, plane > 0, sourceFull, outFull);
            }
        }
        lutKey_ = lutKey;
    }
    for (int plane = 0; plane < 3; ++plane) {
        const PlaneShift to = ShiftOf(out.format, plane);
        const int width = CeilShift(out.width, to.x);
        const int height = CeilShift(out.height, to.y);
        const uint8_t outBlack = plane > 0 ? 128 : outFull ? 0 : 16;
        if (!scaled) {
            FillOutside(out.data[plane], out.linesize[plane], width, height, 0, 0, 0, 0, outBlack);
            continue;
        }
        const PlaneShift from = ShiftOf(source->format, plane);
        const uint32_t sourceBlack = plane > 0 ? 128 : sourceFull ? 0 : 16;
        const double fx = 1 << from.x, fy = 1 << from.y;
        const double tx = 1 << to.x, ty = 1 << to.y;
        Axis& columns = columns_[plane];
        Axis& rows = rows_[plane];
        Prepare(columns, place.source.left / fx, place.source.Width() / fx, place.dest.left / tx,
                place.dest.Width() / tx, sourceBlack << 8);
        Prepare(rows, place.source.top / fy, place.source.Height() / fy, place.dest.top / ty,
                place.dest.Height() / ty, sourceBlack);
        FillOutside(out.data[plane], out.linesize[plane], width, height, columns.firstOutput,
                    columns.firstOutput + int(columns.first.size()), rows.firstOutput,
                    rows.firstOutput + int(rows.first.size()), outBlack);
        ScalePlane(source->data[plane], source->linesize[plane], CeilShift(source->width, from.x),
                   CeilShift(source->height, from.y), columns, rows, map ? lut_[plane] : nullptr,
                   out.data[plane], out.linesize[plane]);
    }
    const PixelRect mosaic = MosaicRect({0, 0, out.width, out.height}, mosaicType);
    if (!mosaic.IsEmpty()) {
        for (int plane = 0; plane < 3; ++plane) {
            MosaicPlane(out.data[plane], out.linesize[plane], out.width, out.height,
                        ShiftOf(out.format, plane), mosaic);
        }
    }
    return true;
}

}  // namespace kivra
