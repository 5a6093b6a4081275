#include "rendering/picture_scaler.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace kivra {

namespace {

// Source position and 8-bit weight of the second tap for each output position: bilinear
// sampling at pixel centres.
struct Tap {
    int index;
    int weight;  // 0..256, of the next source pixel
};

std::vector<Tap> Taps(int sourceSize, int size) {
    std::vector<Tap> taps(static_cast<size_t>(size));
    const double ratio = double(sourceSize) / double(size);
    for (int i = 0; i < size; ++i) {
        double s = (i + 0.5) * ratio - 0.5;
        s = std::clamp(s, 0.0, double(sourceSize - 1));
        int index = int(s);
        int weight = int((s - index) * 256.0 + 0.5);
        if (index >= sourceSize - 1) {
            index = sourceSize - 1;
            weight = 0;
        }
        taps[size_t(i)] = {index, weight};
    }
    return taps;
}

// b = r0 * w0 + r1 * (256 - w0) for n bytes. The sum never exceeds 255 * 256, so 16-bit
// arithmetic holds it; in fixed blocks without aliasing, the compiler vectorises the loop at -O2.
void BlendRows(const uint8_t* __restrict r0, const uint8_t* __restrict r1, uint16_t w0,
               uint16_t* __restrict b, int n) {
    constexpr int kBlock = 16;
    const uint16_t w1 = uint16_t(256 - w0);
    int i = 0;
    for (; i + kBlock <= n; i += kBlock) {
        for (int k = 0; k < kBlock; ++k) {
            b[i + k] = uint16_t(uint16_t(r0[i + k] * w0) + uint16_t(r1[i + k] * w1));
        }
    }
    for (; i < n; ++i) {
        b[i] = uint16_t(uint16_t(r0[i] * w0) + uint16_t(r1[i] * w1));
    }
}

// A picture at least twice as large as its display is first halved with 2x2 averages, as
// often as needed, so the bilinear pass never skips source pixels (no shimmering stripes).
// Writes the halved picture, 3 bytes a pixel and top row first, to out.
template <typename RowOf>
void Halve(RowOf rowOf, int width, int height, std::vector<uint8_t>& out) {
    out.resize(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; ++y) {
        const uint8_t* a = rowOf(2 * y);
        const uint8_t* b = rowOf(2 * y + 1);
        uint8_t* o = out.data() + size_t(y) * size_t(width) * 3;
        for (int x = 0; x < width * 3; x += 3) {
            for (int c = 0; c < 3; ++c) {
                const int i = 2 * x + c;
                o[x + c] = uint8_t((a[i] + a[i + 3] + b[i] + b[i + 3] + 2) >> 2);
            }
        }
    }
}

template <typename RowOf>
void Bilinear(RowOf rowOf, int sourceWidth, int sourceHeight, int width, int height, uint8_t* dst,
              int dstStride) {
    const std::vector<Tap> xs = Taps(sourceWidth, width);
    const std::vector<Tap> ys = Taps(sourceHeight, height);
    const auto rows = [&](int from, int to) {
        // Blend the two source rows first, then pick the horizontal taps from the blended row.
        std::vector<uint16_t> blended(size_t(sourceWidth) * 3);
        for (int y = from; y < to; ++y) {
            const Tap ty = ys[size_t(y)];
            const uint8_t* r0 = rowOf(ty.index);
            const uint8_t* r1 = rowOf(std::min(ty.index + 1, sourceHeight - 1));
            uint16_t* b = blended.data();
            BlendRows(r0, r1, uint16_t(256 - ty.weight), b, sourceWidth * 3);
            uint8_t* out = dst + size_t(y) * size_t(dstStride);
            for (int x = 0; x < width; ++x) {
                const Tap tx = xs[size_t(x)];
                const uint16_t* p0 = b + tx.index * 3;
                const uint16_t* p1 = b + std::min(tx.index + 1, sourceWidth - 1) * 3;
                const unsigned wx1 = unsigned(tx.weight);
                const unsigned wx0 = 256 - wx1;
                out[4 * x + 0] = uint8_t((p0[0] * wx0 + p1[0] * wx1 + (1u << 15)) >> 16);
                out[4 * x + 1] = uint8_t((p0[1] * wx0 + p1[1] * wx1 + (1u << 15)) >> 16);
                out[4 * x + 2] = uint8_t((p0[2] * wx0 + p1[2] * wx1 + (1u << 15)) >> 16);
                out[4 * x + 3] = 255;
            }
        }
    };
    // Two halves on two cores: drawing a 1080p frame must stay well inside a frame period.
    const int half = height / 2;
    std::thread lower(rows, half, height);
    rows(0, half);
    lower.join();
}

}  // namespace

bool PictureScaler::Scale(const Dib& picture, int left, int top, int sourceWidth, int sourceHeight,
                          int width, int height, uint8_t* dst, int dstStride) {
    if (picture.header.biBitCount != 24 || picture.Empty() ||
        picture.bits.size() < size_t(picture.Stride()) * size_t(picture.Height()) ||
        sourceWidth <= 0 || sourceHeight <= 0 || width <= 0 || height <= 0 || left < 0 || top < 0 ||
        left + sourceWidth > picture.Width() || top + sourceHeight > picture.Height()) {
        return false;
    }
    // Rows straight from the picture, upright whatever its storage order.
    const auto sourceRow = [&](int y) { return picture.PictureRow(top + y) + size_t(left) * 3; };
    if (sourceWidth < 2 * width || sourceHeight < 2 * height) {
        Bilinear(sourceRow, sourceWidth, sourceHeight, width, height, dst, dstStride);
        return true;
    }
    int reducedWidth = sourceWidth / 2;
    int reducedHeight = sourceHeight / 2;
    Halve(sourceRow, reducedWidth, reducedHeight, halves_[0]);
    int current = 0;
    while (reducedWidth >= 2 * width && reducedHeight >= 2 * height) {
        const std::vector<uint8_t>& in = halves_[current];
        const size_t inStride = size_t(reducedWidth) * 3;
        reducedWidth /= 2;
        reducedHeight /= 2;
        current = 1 - current;
        Halve([&](int y) { return in.data() + size_t(y) * inStride; }, reducedWidth, reducedHeight,
              halves_[current]);
    }
    const std::vector<uint8_t>& reduced = halves_[current];
    const size_t reducedStride = size_t(reducedWidth) * 3;
    Bilinear([&](int y) { return reduced.data() + size_t(y) * reducedStride; }, reducedWidth,
             reducedHeight, width, height, dst, dstStride);
    return true;
}

}  // namespace kivra
