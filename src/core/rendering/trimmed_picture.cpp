#include "rendering/trimmed_picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kivra {

void BuildSpanTaps(double sourceStart, double sourceLength, double destStart, double destLength,
                   SpanTaps& out, std::vector<double>& exact) {
    AreaTaps& taps = out.taps;
    taps.first.clear();
    taps.offset.assign(1, 0);
    taps.weight.clear();
    out.cover.clear();
    out.firstOutput = 0;
    if (!(sourceLength > 0.0) || !(destLength > 0.0)) {
        return;
    }
    const double sourceEnd = sourceStart + sourceLength;
    const double destEnd = destStart + destLength;
    const int lowest = int(std::floor(sourceStart));
    const int limit = std::max(int(std::ceil(sourceEnd)), lowest + 1);
    const double scale = sourceLength / destLength;
    const int firstOutput = int(std::floor(destStart));
    const int endOutput = std::max(int(std::ceil(destEnd)), firstOutput + 1);
    out.firstOutput = firstOutput;
    for (int j = firstOutput; j < endOutput; ++j) {
        const double lo = std::max(double(j), destStart);
        const double hi = std::min(double(j + 1), destEnd);
        const double covered = std::max(hi - lo, 0.0);
        const double centre = sourceStart + ((lo + hi) / 2.0 - destStart) * scale;
        const double reach = std::max(scale * covered, 1.0) / 2.0;
        const double a = std::max(centre - reach, sourceStart);
        const double b = std::min(centre + reach, sourceEnd);
        const int i = std::clamp(int(std::floor(a)), lowest, limit - 1);
        const int end = std::clamp(int(std::ceil(b)), i + 1, limit);
        exact.clear();
        double total = 0.0;
        for (int k = i; k < end; ++k) {
            exact.push_back(std::max(0.0, std::min(b, k + 1.0) - std::max(a, double(k))));
            total += exact.back();
        }
        if (!(total > 0.0)) {
            exact.assign(1, 1.0);  // a span thinner than rounding: the pixel it lies in
            total = 1.0;
        }
        const int whole = int(std::lround(covered * kAreaWeightOne));
        // Slivers that round to nothing would only cost time.
        size_t first = 0;
        size_t last = exact.size();
        while (last - first > 1 && exact[first] / total * kAreaWeightOne < 0.5) {
            ++first;
        }
        while (last - first > 1 && exact[last - 1] / total * kAreaWeightOne < 0.5) {
            --last;
        }
        const double one = kAreaWeightOne * covered;
        int sum = 0;
        size_t largest = taps.weight.size();
        for (size_t k = first; k < last; ++k) {
            const int w = int(std::lround(exact[k] / total * one));
            taps.weight.push_back(int16_t(w));
            sum += w;
            if (w > taps.weight[largest]) {
                largest = taps.weight.size() - 1;
            }
        }
        // The largest weight takes the rounding difference, so a flat area stays flat.
        taps.weight[largest] = int16_t(taps.weight[largest] + (whole - sum));
        taps.first.push_back(i + int(first));
        taps.offset.push_back(int(taps.weight.size()));
        out.cover.push_back(whole);
    }
}

void BuildAreaTaps(int sourceSize, int size, AreaTaps& taps) {
    SpanTaps span;
    std::vector<double> scratch;
    BuildSpanTaps(0.0, double(sourceSize), 0.0, double(size), span, scratch);
    taps = std::move(span.taps);
}

void ApplyMosaic(uint8_t* pixels, int width, int height, int bytesPerPixel, bool topDown,
                 const PixelRect& rect) {
    if (pixels == nullptr || width <= 0 || height <= 0 ||
        (bytesPerPixel != 2 && bytesPerPixel != 3 && bytesPerPixel != 4)) {
        return;
    }
    const int left = std::max(rect.left, 0);
    const int top = std::max(rect.top, 0);
    const int right = std::min(rect.right, width);
    const int bottom = std::min(rect.bottom, height);
    if (right <= left || bottom <= top) {
        return;
    }
    constexpr int kCell = 20;
    const size_t rowBytes = size_t(width) * size_t(bytesPerPixel);
    const auto pixelAt = [&](int x, int y) {
        const int row = topDown ? y : height - 1 - y;
        return pixels + size_t(row) * rowBytes + size_t(x) * size_t(bytesPerPixel);
    };
    // Only the cells that overlap the rectangle can change anything.
    const int firstColumn = std::max(0, (left - kCell + 1) / kCell);
    const int firstRow = top / kCell;
    for (int column = firstColumn; column < width / kCell + 1; ++column) {
        const int cx = column * kCell;
        if (cx >= right) {
            break;
        }
        for (int row = firstRow; row < height / kCell + 1; ++row) {
            const int cy = row * kCell;
            if (cy >= bottom) {
                break;
            }
            if (cy < top - kCell) {
                continue;
            }
            unsigned sum[3] = {0, 0, 0};
            unsigned count = 0;
            for (int x = std::max(cx, left - kCell); x < std::min(cx + kCell, right); ++x) {
                const uint8_t* p = pixelAt(x, cy);
                if (bytesPerPixel == 2) {
                    const unsigned v = unsigned(p[0]) | unsigned(p[1]) << 8;
                    sum[0] += v & 31;
                    sum[1] += (v >> 5) & 31;
                    sum[2] += (v >> 10) & 31;
                } else {
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                }
                ++count;
            }
            if (count == 0) {
                continue;
            }
            unsigned mean[3];
            for (int c = 0; c < 3; ++c) {
                mean[c] = std::min(sum[c] / count, 255u);
            }
            const unsigned packed = (mean[2] * 32 + mean[1]) * 32 + mean[0];
            for (int y = std::max(cy, top); y < std::min(cy + kCell, bottom); ++y) {
                for (int x = std::max(cx, left); x < std::min(cx + kCell, right); ++x) {
                    uint8_t* p = pixelAt(x, y);
                    if (bytesPerPixel == 2) {
                        p[0] = uint8_t(packed & 0xFF);
                        p[1] = uint8_t((packed >> 8) & 0xFF);
                    } else {
                        p[0] = uint8_t(mean[0]);
                        p[1] = uint8_t(mean[1]);
                        p[2] = uint8_t(mean[2]);
                    }
                }
            }
        }
    }
}

void TrimmedPictureRenderer::Render(const Dib* source, const PixelRect& trim, int width, int height,
                                    int mosaicType) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    pixels_.resize(size_t(width_) * size_t(height_) * 4);
    std::fill(pixels_.begin(), pixels_.end(), uint8_t{0});
    if (pixels_.empty()) {
        return;
    }
    if (source != nullptr && !source->Empty() && source->header.biBitCount == 24 &&
        source->bits.size() >= size_t(source->Stride()) * size_t(source->Height())) {
        const TrimPlacement place =
            PlaceTrimRect(trim, source->Width(), source->Height(), width_, height_);
        if (!place.source.IsEmpty() && !place.dest.IsEmpty()) {
            Scale(*source, place.source, place.dest);
        }
    }
    const PixelRect mosaic = MosaicRect({0, 0, width_, height_}, mosaicType);
    if (!mosaic.IsEmpty()) {
        ApplyMosaic(pixels_.data(), width_, height_, 4, true, mosaic);
    }
}

namespace {

constexpr int kDown = kAreaWeightBits - 8;   // vertical pass: 8-bit x weight -> 8.8 fixed
constexpr int kShift = kAreaWeightBits + 8;  // horizontal pass: 8.8 x weight -> 8-bit

// Vertical pass over one source row span: taps source rows, weights w, into 8.8 fixed point.
template <int K>
void BlendRows(const uint8_t* const* rows, const int16_t* w, int taps, int span,
               uint16_t* __restrict out) {
    const int n = K > 0 ? K : taps;
    if constexpr (K == 1) {
        for (int k = 0; k < span; ++k) {
            out[k] = uint16_t(rows[0][k] << 8);
        }
        return;
    }
    for (int k = 0; k < span; ++k) {
        uint32_t sum = 1u << (kDown - 1);
        for (int t = 0; t < n; ++t) {
            sum += uint32_t(rows[t][k]) * uint32_t(w[t]);
        }
        out[k] = uint16_t(sum >> kDown);
    }
}

// Horizontal pass from the blended span into width BGRx pixels.
template <int K>
void BlendColumns(const uint16_t* __restrict blended, const int* first, const int16_t* weight,
                  int taps, int width, uint8_t* __restrict out) {
    const int n = K > 0 ? K : taps;
    constexpr uint32_t kHalf = 1u << (kShift - 1);
    for (int x = 0; x < width; ++x) {
        const uint16_t* p = blended + size_t(first[x]) * 3;
        const int16_t* w = weight + size_t(x) * size_t(n);
        uint32_t b = kHalf, g = kHalf, r = kHalf;
        for (int t = 0; t < n; ++t) {
            const uint32_t wt = uint32_t(w[t]);
            b += p[3 * t] * wt;
            g += p[3 * t + 1] * wt;
            r += p[3 * t + 2] * wt;
        }
        // Weights sum to one, so nothing exceeds 255.
        out[4 * x + 0] = uint8_t(b >> kShift);
        out[4 * x + 1] = uint8_t(g >> kShift);
        out[4 * x + 2] = uint8_t(r >> kShift);
    }
}

}  // namespace

void TrimmedPictureRenderer::Pad(const AreaTaps& taps, int sourceSize, FixedTaps& fixed) {
    const size_t size = taps.first.size();
    int count = 1;
    for (size_t j = 0; j < size; ++j) {
        count = std::max(count, taps.offset[j + 1] - taps.offset[j]);
    }
    count = std::min(count, std::max(sourceSize, 1));
    fixed.count = count;
    fixed.first.resize(size);
    fixed.weight.assign(size * size_t(count), 0);
    for (size_t j = 0; j < size; ++j) {
        const int n = taps.offset[j + 1] - taps.offset[j];
        // Padding goes after the real taps, or before them at the far end of the source, so
        // every tap reads inside it.
        const int first = std::min(taps.first[j], sourceSize - count);
        const int shift = taps.first[j] - first;
        fixed.first[j] = first;
        for (int t = 0; t < n; ++t) {
            fixed.weight[j * size_t(count) + size_t(shift + t)] =
                taps.weight[size_t(taps.offset[j] + t)];
        }
    }
}

void TrimmedPictureRenderer::Scale(const Dib& source, const PixelRect& from, const ViewRect& to) {
    const int sourceWidth = from.Width();
    const int sourceHeight = from.Height();
    const int width = to.Width();
    const int height = to.Height();
    if (columnsKey_[0] != sourceWidth || columnsKey_[1] != width) {
        BuildAreaTaps(sourceWidth, width, building_);
        Pad(building_, sourceWidth, columns_);
        columnsKey_[0] = sourceWidth;
        columnsKey_[1] = width;
    }
    if (rowsKey_[0] != sourceHeight || rowsKey_[1] != height) {
        BuildAreaTaps(sourceHeight, height, building_);
        Pad(building_, sourceHeight, rows_);
        rowsKey_[0] = sourceHeight;
        rowsKey_[1] = height;
    }
    const int span = sourceWidth * 3;
    blended_.resize(size_t(span));
    rowPointers_.resize(size_t(rows_.count));
    const auto blendRows = rows_.count == 1   ? BlendRows<1>
                           : rows_.count == 2 ? BlendRows<2>
                           : rows_.count == 3 ? BlendRows<3>
                           : rows_.count == 4 ? BlendRows<4>
                                              : BlendRows<0>;
    const auto blendColumns = columns_.count == 1   ? BlendColumns<1>
                              : columns_.count == 2 ? BlendColumns<2>
                              : columns_.count == 3 ? BlendColumns<3>
                              : columns_.count == 4 ? BlendColumns<4>
                                                    : BlendColumns<0>;
    for (int y = 0; y < height; ++y) {
        const int firstRow = rows_.first[size_t(y)];
        for (int t = 0; t < rows_.count; ++t) {
            rowPointers_[size_t(t)] =
                source.PictureRow(from.top + firstRow + t) + size_t(from.left) * 3;
        }
        blendRows(rowPointers_.data(), rows_.weight.data() + size_t(y) * size_t(rows_.count),
                  rows_.count, span, blended_.data());
        uint8_t* out = pixels_.data() + size_t(to.top + y) * size_t(Stride()) + size_t(to.left) * 4;
        blendColumns(blended_.data(), columns_.first.data(), columns_.weight.data(), columns_.count,
                     width, out);
    }
}

}  // namespace kivra
