#include "media/trimmed_picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kivra {

void BuildAreaTaps(int sourceSize, int size, AreaTaps& taps) {
    taps.first.clear();
    taps.offset.assign(1, 0);
    taps.weight.clear();
    if (sourceSize <= 0 || size <= 0) {
        return;
    }
    const double scale = double(sourceSize) / double(size);
    const double reach = std::max(scale, 1.0) / 2.0;
    std::vector<double> exact;
    for (int j = 0; j < size; ++j) {
        const double centre = (j + 0.5) * scale;
        const double a = std::max(centre - reach, 0.0);
        const double b = std::min(centre + reach, double(sourceSize));
        int i = std::clamp(int(std::floor(a)), 0, sourceSize - 1);
        const int end = std::clamp(int(std::ceil(b)), i + 1, sourceSize);
        exact.clear();
        for (int k = i; k < end; ++k) {
            exact.push_back(std::max(0.0, std::min(b, k + 1.0) - std::max(a, double(k))));
        }
        // Slivers that round to nothing would only cost time.
        double total = 0.0;
        for (const double e : exact) {
            total += e;
        }
        size_t lo = 0;
        size_t hi = exact.size();
        while (hi - lo > 1 && exact[lo] / total * kAreaWeightOne < 0.5) {
            ++lo;
        }
        while (hi - lo > 1 && exact[hi - 1] / total * kAreaWeightOne < 0.5) {
            --hi;
        }
        int sum = 0;
        size_t largest = taps.weight.size();
        for (size_t k = lo; k < hi; ++k) {
            const int w = int(std::lround(exact[k] / total * kAreaWeightOne));
            taps.weight.push_back(int16_t(w));
            sum += w;
            if (w > taps.weight[largest]) {
                largest = taps.weight.size() - 1;
            }
        }
        // Rounding may leave the sum a step off; the largest weight takes the difference, so a
        // flat area stays exactly flat.
        taps.weight[largest] = int16_t(taps.weight[largest] + (kAreaWeightOne - sum));
        taps.first.push_back(i + int(lo));
        taps.offset.push_back(int(taps.weight.size()));
    }
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

void TrimmedPictureRenderer::Scale(const Dib& source, const PixelRect& from, const ViewRect& to) {
    const int sourceWidth = from.Width();
    const int sourceHeight = from.Height();
    const int width = to.Width();
    const int height = to.Height();
    if (columnsKey_[0] != sourceWidth || columnsKey_[1] != width) {
        BuildAreaTaps(sourceWidth, width, columns_);
        columnsKey_[0] = sourceWidth;
        columnsKey_[1] = width;
    }
    if (rowsKey_[0] != sourceHeight || rowsKey_[1] != height) {
        BuildAreaTaps(sourceHeight, height, rows_);
        rowsKey_[0] = sourceHeight;
        rowsKey_[1] = height;
    }
    const int span = sourceWidth * 3;
    blended_.resize(size_t(span));
    accumulated_.resize(size_t(span));
    uint16_t* blended = blended_.data();
    uint32_t* acc = accumulated_.data();
    for (int y = 0; y < height; ++y) {
        // Vertical pass over the source span into 8.8 fixed point.
        const int firstRow = rows_.first[size_t(y)];
        const int begin = rows_.offset[size_t(y)];
        const int end = rows_.offset[size_t(y) + 1];
        {
            const uint8_t* r = source.PictureRow(from.top + firstRow) + size_t(from.left) * 3;
            const uint32_t w = uint32_t(rows_.weight[size_t(begin)]);
            for (int k = 0; k < span; ++k) {
                acc[k] = r[k] * w;
            }
        }
        for (int t = begin + 1; t < end; ++t) {
            const uint8_t* r =
                source.PictureRow(from.top + firstRow + (t - begin)) + size_t(from.left) * 3;
            const uint32_t w = uint32_t(rows_.weight[size_t(t)]);
            for (int k = 0; k < span; ++k) {
                acc[k] += r[k] * w;
            }
        }
        constexpr int kDown = kAreaWeightBits - 8;
        for (int k = 0; k < span; ++k) {
            blended[k] = uint16_t((acc[k] + (1u << (kDown - 1))) >> kDown);
        }
        // Horizontal pass into the output row.
        uint8_t* out = pixels_.data() + size_t(to.top + y) * size_t(Stride()) + size_t(to.left) * 4;
        for (int x = 0; x < width; ++x) {
            const int tb = columns_.offset[size_t(x)];
            const int te = columns_.offset[size_t(x) + 1];
            const uint16_t* p = blended + size_t(columns_.first[size_t(x)]) * 3;
            uint32_t b = 0, g = 0, r = 0;
            for (int t = tb; t < te; ++t, p += 3) {
                const uint32_t w = uint32_t(columns_.weight[size_t(t)]);
                b += p[0] * w;
                g += p[1] * w;
                r += p[2] * w;
            }
            constexpr int kShift = kAreaWeightBits + 8;
            constexpr uint32_t kHalf = 1u << (kShift - 1);
            out[4 * x + 0] = uint8_t(std::min<uint32_t>((b + kHalf) >> kShift, 255));
            out[4 * x + 1] = uint8_t(std::min<uint32_t>((g + kHalf) >> kShift, 255));
            out[4 * x + 2] = uint8_t(std::min<uint32_t>((r + kHalf) >> kShift, 255));
        }
    }
}

}  // namespace kivra
