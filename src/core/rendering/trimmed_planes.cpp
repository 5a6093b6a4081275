#include "rendering/trimmed_planes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace kivra {

namespace {

constexpr int kCell = 20;  // the mosaic grid, in luma pixels

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

// Fixed point: the horizontal pass leaves levels with 7 fraction bits, which fit int16 so both
// passes multiply pairs of 16-bit values (pmaddwd); weights have kAreaWeightBits.
constexpr int kMidBits = 7;
constexpr int kHorizontalShift = kAreaWeightBits - kMidBits;
constexpr int kVerticalShift = kAreaWeightBits + kMidBits;

int32_t Load32(const int16_t* p) {
    int32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// One source row (as int16 levels, from the span's first pixel) into width outputs of 8.7 fixed
// point. Outputs go in groups of four; each group's weights are stored pair by pair.
void HorizontalPlain(const int16_t* source, const int* first, const int16_t* packed,
                     const int32_t* bias, int pairs, int groups, int16_t* out) {
    constexpr int32_t kRound = 1 << (kHorizontalShift - 1);
    for (int g = 0; g < groups; ++g) {
        for (int i = 0; i < 4; ++i) {
            int32_t sum = bias[4 * g + i] + kRound;
            const int16_t* w = packed + size_t(g) * size_t(pairs) * 8 + 2 * i;
            const int16_t* s = source + first[4 * g + i];
            for (int q = 0; q < pairs; ++q) {
                sum += s[2 * q] * w[8 * q] + s[2 * q + 1] * w[8 * q + 1];
            }
            out[4 * g + i] = int16_t(sum >> kHorizontalShift);
        }
    }
}

// Blends taps rows of 8.7 levels into one output row, from column x on. Weights and bias may
// carry a level map, so results are clamped to 0..255.
void VerticalPlain(const int16_t* const* rows, const int16_t* weight, int pairs, int32_t bias,
                   int x, int width, uint8_t* out) {
    const int32_t start = bias + (1 << (kVerticalShift - 1));
    for (; x < width; ++x) {
        int32_t sum = start;
        for (int t = 0; t < 2 * pairs; ++t) {
            sum += rows[t][x] * weight[t];
        }
        out[x] = uint8_t(std::clamp(sum >> kVerticalShift, 0, 255));
    }
}

// Source levels as int16, for the pairwise multiplies.
void WidenPlain(const uint8_t* from, int x, int count, int16_t* to) {
    for (; x < count; ++x) {
        to[x] = from[x];
    }
}

#if defined(__SSE2__)
void HorizontalSse2(const int16_t* source, const int* first, const int16_t* packed,
                    const int32_t* bias, int pairs, int groups, int16_t* out) {
    constexpr int32_t kRound = 1 << (kHorizontalShift - 1);
    const __m128i round = _mm_set1_epi32(kRound);
    if (pairs == 1) {
        for (int g = 0; g < groups; ++g) {
            const int* f = first + 4 * g;
            const __m128i values = _mm_set_epi32(Load32(source + f[3]), Load32(source + f[2]),
                                                 Load32(source + f[1]), Load32(source + f[0]));
            __m128i acc = _mm_add_epi32(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(bias + 4 * g)), round);
            acc = _mm_add_epi32(
                acc, _mm_madd_epi16(values, _mm_loadu_si128(reinterpret_cast<const __m128i*>(
                                                packed + size_t(g) * 8))));
            acc = _mm_srai_epi32(acc, kHorizontalShift);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 4 * g), _mm_packs_epi32(acc, acc));
        }
        return;
    }
    for (int g = 0; g < groups; ++g) {
        const int* f = first + 4 * g;
        __m128i acc =
            _mm_add_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bias + 4 * g)), round);
        const int16_t* w = packed + size_t(g) * size_t(pairs) * 8;
        for (int q = 0; q < pairs; ++q, w += 8) {
            const __m128i values =
                _mm_set_epi32(Load32(source + f[3] + 2 * q), Load32(source + f[2] + 2 * q),
                              Load32(source + f[1] + 2 * q), Load32(source + f[0] + 2 * q));
            acc = _mm_add_epi32(
                acc, _mm_madd_epi16(values, _mm_loadu_si128(reinterpret_cast<const __m128i*>(w))));
        }
        acc = _mm_srai_epi32(acc, kHorizontalShift);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 4 * g), _mm_packs_epi32(acc, acc));
    }
}

void VerticalSse2(const int16_t* const* rows, const int16_t* weight, int pairs, int32_t bias,
                  int width, uint8_t* out) {
    const __m128i begin = _mm_set1_epi32(bias + (1 << (kVerticalShift - 1)));
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        __m128i lo = begin;
        __m128i hi = begin;
        for (int q = 0; q < pairs; ++q) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[2 * q] + x));
            const __m128i b =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[2 * q + 1] + x));
            const __m128i w = _mm_set1_epi32(int32_t(uint32_t(uint16_t(weight[2 * q])) |
                                                     uint32_t(uint16_t(weight[2 * q + 1])) << 16));
            lo = _mm_add_epi32(lo, _mm_madd_epi16(_mm_unpacklo_epi16(a, b), w));
            hi = _mm_add_epi32(hi, _mm_madd_epi16(_mm_unpackhi_epi16(a, b), w));
        }
        const __m128i words =
            _mm_packs_epi32(_mm_srai_epi32(lo, kVerticalShift), _mm_srai_epi32(hi, kVerticalShift));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(words, words));
    }
    VerticalPlain(rows, weight, pairs, bias, x, width, out);
}

void WidenSse2(const uint8_t* from, int count, int16_t* to) {
    const __m128i zero = _mm_setzero_si128();
    int x = 0;
    for (; x + 16 <= count; x += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + x), _mm_unpacklo_epi8(bytes, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + x + 8), _mm_unpackhi_epi8(bytes, zero));
    }
    WidenPlain(from, x, count, to);
}
#endif

#if defined(__x86_64__) || defined(__i386__)
#define KIVRA_AVX2 1
// The horizontal pass straight from the source bytes: each group's 16 bytes from its base are
// shuffled into tap pairs widened to 16 bits, two groups at a time. row[base - origin] is the
// byte of source pixel base.
__attribute__((target("avx2"))) void HorizontalAvx2(const uint8_t* row, int origin, const int* base,
                                                    const uint8_t* masks, const int16_t* packed,
                                                    const int32_t* bias, int pairs, int groups,
                                                    int16_t* out) {
    constexpr int32_t kRound = 1 << (kHorizontalShift - 1);
    const __m256i round = _mm256_set1_epi32(kRound);
    const auto load = [](const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); };
    int g = 0;
    for (; g + 2 <= groups; g += 2) {
        const __m256i mask = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(masks + 16 * g));
        __m256i acc = _mm256_add_epi32(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bias + 4 * g)), round);
        const uint8_t* lo = row + (base[g] - origin);
        const uint8_t* hi = row + (base[g + 1] - origin);
        const int16_t* wlo = packed + size_t(g) * size_t(pairs) * 8;
        const int16_t* whi = wlo + size_t(pairs) * 8;
        for (int q = 0; q < pairs; ++q) {
            const __m256i bytes = _mm256_inserti128_si256(_mm256_castsi128_si256(load(lo + 2 * q)),
                                                          load(hi + 2 * q), 1);
            const __m256i weights = _mm256_inserti128_si256(
                _mm256_castsi128_si256(load(wlo + 8 * q)), load(whi + 8 * q), 1);
            acc =
                _mm256_add_epi32(acc, _mm256_madd_epi16(_mm256_shuffle_epi8(bytes, mask), weights));
        }
        acc = _mm256_srai_epi32(acc, kHorizontalShift);
        const __m256i words = _mm256_permute4x64_epi64(_mm256_packs_epi32(acc, acc), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * g), _mm256_castsi256_si128(words));
    }
    for (; g < groups; ++g) {
        const __m128i mask = load(masks + 16 * g);
        __m128i acc = _mm_add_epi32(load(bias + 4 * g), _mm256_castsi256_si128(round));
        const uint8_t* from = row + (base[g] - origin);
        const int16_t* w = packed + size_t(g) * size_t(pairs) * 8;
        for (int q = 0; q < pairs; ++q) {
            acc = _mm_add_epi32(
                acc, _mm_madd_epi16(_mm_shuffle_epi8(load(from + 2 * q), mask), load(w + 8 * q)));
        }
        acc = _mm_srai_epi32(acc, kHorizontalShift);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 4 * g), _mm_packs_epi32(acc, acc));
    }
}

__attribute__((target("avx2"))) void VerticalAvx2(const int16_t* const* rows, const int16_t* weight,
                                                  int pairs, int32_t bias, int width,
                                                  uint8_t* out) {
    const __m256i begin = _mm256_set1_epi32(bias + (1 << (kVerticalShift - 1)));
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        __m256i lo = begin;
        __m256i hi = begin;
        for (int q = 0; q < pairs; ++q) {
            const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[2 * q] + x));
            const __m256i b =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[2 * q + 1] + x));
            const __m256i w = _mm256_set1_epi32(int32_t(
                uint32_t(uint16_t(weight[2 * q])) | uint32_t(uint16_t(weight[2 * q + 1])) << 16));
            lo = _mm256_add_epi32(lo, _mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), w));
            hi = _mm256_add_epi32(hi, _mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), w));
        }
        // Lanes hold outputs 0-3 and 8-11 in lo, 4-7 and 12-15 in hi: packing puts them in order.
        const __m256i words = _mm256_packs_epi32(_mm256_srai_epi32(lo, kVerticalShift),
                                                 _mm256_srai_epi32(hi, kVerticalShift));
        const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(words, words), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm256_castsi256_si128(bytes));
    }
    VerticalPlain(rows, weight, pairs, bias, x, width, out);
}
#endif

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

// The straight line from one range's levels to the other's, as gain and offset.
struct LevelMap {
    double gain = 1.0;
    double offset = 0.0;
};

LevelMap MapBetween(bool chroma, bool fromFull, bool toFull) {
    if (fromFull == toFull) {
        return {};
    }
    const double fromScale = chroma ? (fromFull ? 255.0 : 224.0) : (fromFull ? 255.0 : 219.0);
    const double toScale = chroma ? (toFull ? 255.0 : 224.0) : (toFull ? 255.0 : 219.0);
    const double gain = toScale / fromScale;
    if (chroma) {
        return {gain, 128.0 - 128.0 * gain};
    }
    const double fromLow = fromFull ? 0.0 : 16.0;
    const double toLow = toFull ? 0.0 : 16.0;
    return {gain, toLow - fromLow * gain};
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

PlaneKernels BestPlaneKernels() {
#if defined(KIVRA_AVX2)
    if (__builtin_cpu_supports("avx2")) {
        return PlaneKernels::Avx2;
    }
#endif
#if defined(__SSE2__)
    return PlaneKernels::Sse2;
#else
    return PlaneKernels::Plain;
#endif
}

void TrimmedPlanesRenderer::UseKernels(PlaneKernels kernels) {
    kernels_ = std::min(kernels, BestPlaneKernels());
}

void TrimmedPlanesRenderer::Prepare(Axis& axis, bool grouped, double sourceStart,
                                    double sourceLength, double destStart, double destLength,
                                    int32_t fill, double gain, double offset) {
    const double key[6] = {sourceStart, sourceLength, destStart, destLength, gain, offset};
    if (std::equal(key, key + 6, axis.key) && axis.fill == fill) {
        return;
    }
    std::copy(key, key + 6, axis.key);
    axis.fill = fill;
    const bool mapped = gain != 1.0 || offset != 0.0;
    BuildSpanTaps(sourceStart, sourceLength, destStart, destLength, building_, scratch_);
    const AreaTaps& taps = building_.taps;
    const int size = int(taps.first.size());
    int count = 1;
    for (int j = 0; j < size; ++j) {
        count = std::max(count, taps.offset[size_t(j) + 1] - taps.offset[size_t(j)]);
    }
    // Taps go in pairs; padding weighs nothing and reads inside the buffers (see ScalePlane).
    axis.pairs = (count + 1) / 2;
    axis.size = size;
    axis.firstOutput = building_.firstOutput;
    const int slots = grouped ? (size + 3) / 4 * 4 : size;
    const int perOutput = 2 * axis.pairs;
    axis.first.assign(size_t(slots), size > 0 ? taps.first[size_t(size) - 1] : 0);
    axis.weight.assign(size_t(slots) * size_t(perOutput), 0);
    axis.bias.assign(size_t(slots), 0);
    for (int j = 0; j < size; ++j) {
        axis.first[size_t(j)] = taps.first[size_t(j)];
        const int32_t bias = (kAreaWeightOne - building_.cover[size_t(j)]) * fill;
        axis.bias[size_t(j)] =
            mapped ? int32_t(std::lround(bias * gain + offset * (1 << kVerticalShift))) : bias;
        for (int t = 0; t < taps.offset[size_t(j) + 1] - taps.offset[size_t(j)]; ++t) {
            int16_t w = taps.weight[size_t(taps.offset[size_t(j)] + t)];
            if (mapped) {
                w = int16_t(std::lround(w * gain));
            }
            // Grouped: four outputs' weights of one pair side by side.
            const size_t at = grouped ? size_t(j / 4) * size_t(perOutput) * 4 + size_t(t / 2) * 8 +
                                            size_t(j % 4) * 2 + size_t(t % 2)
                                      : size_t(j) * size_t(perOutput) + size_t(t);
            axis.weight[at] = w;
        }
    }
    axis.shuffles = grouped && size > 0;
    if (!axis.shuffles) {
        return;
    }
    // Byte j of a group's mask takes the low half of int16 lane j/2 of the tap pairs; 0x80
    // makes the high half zero.
    const int groups = slots / 4;
    axis.groupBase.assign(size_t(groups), 0);
    axis.mask.assign(size_t(groups) * 16, 0x80);
    axis.readEnd = 0;
    for (int g = 0; g < groups && axis.shuffles; ++g) {
        const auto from = axis.first.begin() + 4 * g;
        const auto [low, high] = std::minmax_element(from, from + 4);
        axis.shuffles = *high - *low + 2 <= 16;
        axis.groupBase[size_t(g)] = *low;
        axis.readEnd = std::max(axis.readEnd, *low + perOutput - 2 + 16);
        for (int i = 0; i < 4; ++i) {
            for (int t = 0; t < 2; ++t) {
                axis.mask[size_t(g) * 16 + size_t(i) * 4 + size_t(t) * 2] =
                    uint8_t(from[i] - *low + t);
            }
        }
    }
}

void TrimmedPlanesRenderer::ScaleAcross(const uint8_t* row, int spanFrom, int spanTo,
                                        int sourceWidth, const Axis& columns, int groups,
                                        int16_t* out) {
#if defined(KIVRA_AVX2)
    if (kernels_ == PlaneKernels::Avx2 && columns.shuffles) {
        if (columns.readEnd <= sourceWidth) {
            // Padding taps may read pixels past the span: they weigh nothing.
            HorizontalAvx2(row, 0, columns.groupBase.data(), columns.mask.data(),
                           columns.weight.data(), columns.bias.data(), columns.pairs, groups, out);
            return;
        }
        // Reads near the row's end go to a copy that ends in zeros.
        bytes_.assign(size_t(columns.readEnd - spanFrom), 0);
        std::memcpy(bytes_.data(), row + spanFrom, size_t(spanTo - spanFrom));
        HorizontalAvx2(bytes_.data(), spanFrom, columns.groupBase.data(), columns.mask.data(),
                       columns.weight.data(), columns.bias.data(), columns.pairs, groups, out);
        return;
    }
#endif
#if defined(__SSE2__)
    if (kernels_ != PlaneKernels::Plain) {
        WidenSse2(row + spanFrom, spanTo - spanFrom, levels_.data());
        HorizontalSse2(levels_.data(), firstRelative_.data(), columns.weight.data(),
                       columns.bias.data(), columns.pairs, groups, out);
        return;
    }
#endif
    WidenPlain(row + spanFrom, 0, spanTo - spanFrom, levels_.data());
    HorizontalPlain(levels_.data(), firstRelative_.data(), columns.weight.data(),
                    columns.bias.data(), columns.pairs, groups, out);
}

void TrimmedPlanesRenderer::ScalePlane(const uint8_t* source, ptrdiff_t sourceStride,
                                       int sourceWidth, int sourceHeight, const Axis& columns,
                                       const Axis& rows, uint8_t* out, ptrdiff_t outStride) {
    const int width = columns.size;
    const int height = rows.size;
    if (width == 0 || height == 0) {
        return;
    }
    const int taps = 2 * columns.pairs;
    const auto [lowest, highest] = std::minmax_element(columns.first.begin(), columns.first.end());
    const int spanFrom = *lowest;
    const int spanTo = std::min(*highest + taps, sourceWidth);
    // Padding taps read past the source span into zeros.
    levels_.assign(size_t(*highest + taps - spanFrom), 0);
    firstRelative_.resize(columns.first.size());
    for (size_t x = 0; x < columns.first.size(); ++x) {
        firstRelative_[x] = columns.first[x] - spanFrom;
    }
    const int groups = int(columns.first.size()) / 4;
    const int rowLength = groups * 4 + 8;
    const int ringSize = 2 * rows.pairs;
    ring_.resize(size_t(ringSize) * size_t(rowLength));
    ringRow_.assign(size_t(ringSize), -1);
    rowPointers_.resize(size_t(ringSize));
    for (int y = 0; y < height; ++y) {
        const int firstRow = rows.first[size_t(y)];
        for (int t = 0; t < ringSize; ++t) {
            // Padding rows past the plane weigh nothing; they read its last row.
            const int row = std::min(firstRow + t, sourceHeight - 1);
            const int slot = row % ringSize;
            int16_t* scaled = ring_.data() + size_t(slot) * size_t(rowLength);
            if (ringRow_[size_t(slot)] != row) {
                ScaleAcross(Row(source, sourceStride, row), spanFrom, spanTo, sourceWidth, columns,
                            groups, scaled);
                ringRow_[size_t(slot)] = row;
            }
            rowPointers_[size_t(t)] = scaled;
        }
        const int16_t* weight = rows.weight.data() + size_t(y) * size_t(ringSize);
        uint8_t* into = Row(out, outStride, rows.firstOutput + y) + columns.firstOutput;
        switch (kernels_) {
#if defined(KIVRA_AVX2)
            case PlaneKernels::Avx2:
                VerticalAvx2(rowPointers_.data(), weight, rows.pairs, rows.bias[size_t(y)], width,
                             into);
                break;
#endif
#if defined(__SSE2__)
            case PlaneKernels::Sse2:
                VerticalSse2(rowPointers_.data(), weight, rows.pairs, rows.bias[size_t(y)], width,
                             into);
                break;
#endif
            default:
                VerticalPlain(rowPointers_.data(), weight, rows.pairs, rows.bias[size_t(y)], 0,
                              width, into);
                break;
        }
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
        const int32_t sourceBlack = plane > 0 ? 128 : sourceFull ? 0 : 16;
        const double fx = 1 << from.x, fy = 1 << from.y;
        const double tx = 1 << to.x, ty = 1 << to.y;
        Axis& columns = columns_[plane];
        Axis& rows = rows_[plane];
        // The vertical pass writes the output, so it maps the levels between the ranges.
        const LevelMap map = MapBetween(plane > 0, sourceFull, outFull);
        Prepare(columns, true, place.source.left / fx, place.source.Width() / fx,
                place.dest.left / tx, place.dest.Width() / tx, sourceBlack, 1.0, 0.0);
        Prepare(rows, false, place.source.top / fy, place.source.Height() / fy, place.dest.top / ty,
                place.dest.Height() / ty, sourceBlack << kMidBits, map.gain, map.offset);
        FillOutside(out.data[plane], out.linesize[plane], width, height, columns.firstOutput,
                    columns.firstOutput + columns.size, rows.firstOutput,
                    rows.firstOutput + rows.size, outBlack);
        ScalePlane(source->data[plane], source->linesize[plane], CeilShift(source->width, from.x),
                   CeilShift(source->height, from.y), columns, rows, out.data[plane],
                   out.linesize[plane]);
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
