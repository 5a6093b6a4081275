// The pictures of the trimmed movie: area-averaging scaling against a plain double-precision
// computation, black where the trimming box leaves the picture, and the mosaic grid rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "rendering/trimmed_picture.h"
#include "support/trimmed_reference.h"

namespace {

using kivra::Dib;
using kivra::PixelRect;

Dib RandomPicture(int width, int height, unsigned seed) {
    Dib dib;
    dib.Reset24(width, height);
    std::mt19937 random(seed);
    for (uint8_t& b : dib.bits) {
        b = uint8_t(random());
    }
    return dib;
}

// The renderer's picture against the plain computation: largest difference of a colour byte,
// and whether every fourth byte is 0.
double WorstDifference(const kivra::TrimmedPictureRenderer& r, const Dib& dib,
                       const PixelRect& trim, bool* fourthZero) {
    const std::vector<uint8_t> expected = kivra::test::ReferenceTrimmed(
        [&](int x, int y, int c) { return int(dib.PictureRow(y)[3 * x + c]); }, dib.Width(),
        dib.Height(), trim, r.Width(), r.Height());
    double worst = 0;
    *fourthZero = true;
    for (int y = 0; y < r.Height(); ++y) {
        for (int x = 0; x < r.Width(); ++x) {
            const uint8_t* p = r.Pixels() + size_t(y) * size_t(r.Stride()) + size_t(x) * 4;
            const uint8_t* e = &expected[(size_t(y) * size_t(r.Width()) + size_t(x)) * 3];
            for (int c = 0; c < 3; ++c) {
                worst = std::max(worst, std::abs(double(p[c]) - e[c]));
            }
            *fourthZero = *fourthZero && p[3] == 0;
        }
    }
    return worst;
}

TEST(AreaTapsTest, WeightsAreOverlapsThatSumToOne) {
    kivra::AreaTaps taps;
    // Halving: each output pixel is the mean of two.
    kivra::BuildAreaTaps(8, 4, taps);
    ASSERT_EQ(taps.first.size(), 4u);
    for (int j = 0; j < 4; ++j) {
        EXPECT_EQ(taps.first[size_t(j)], 2 * j);
        ASSERT_EQ(taps.offset[size_t(j) + 1] - taps.offset[size_t(j)], 2);
        EXPECT_EQ(taps.weight[size_t(taps.offset[size_t(j)])], kivra::kAreaWeightOne / 2);
    }
    // Doubling: linear between pixel centres, edge pixels repeated.
    kivra::BuildAreaTaps(2, 4, taps);
    EXPECT_EQ(taps.first, (std::vector<int>{0, 0, 0, 1}));
    EXPECT_EQ(taps.weight, (std::vector<int16_t>{16384, 12288, 4096, 4096, 12288, 16384}));
    // Odd ratios still sum exactly, so a flat picture stays flat.
    for (const auto& [s, d] : {std::pair{1080, 1440}, {1441, 640}, {3, 1080}, {1920, 7}}) {
        kivra::BuildAreaTaps(s, d, taps);
        for (int j = 0; j < d; ++j) {
            int sum = 0;
            for (int t = taps.offset[size_t(j)]; t < taps.offset[size_t(j) + 1]; ++t) {
                sum += taps.weight[size_t(t)];
            }
            ASSERT_EQ(sum, kivra::kAreaWeightOne) << s << "->" << d << " at " << j;
            ASSERT_GE(taps.first[size_t(j)], 0);
            ASSERT_LE(taps.first[size_t(j)] + taps.offset[size_t(j) + 1] - taps.offset[size_t(j)],
                      s);
        }
    }
}

TEST(TrimmedPictureTest, ScalesTheTrimmingBoxByAreaAveraging) {
    const Dib dib = RandomPicture(160, 120, 7);
    kivra::TrimmedPictureRenderer renderer;
    bool fourthZero = false;
    // Reduce (landscape), enlarge (portrait) and an uneven ratio, all inside the picture.
    for (const auto& [trim, w, h] : {std::tuple{PixelRect{10, 8, 130, 98}, 48, 36},
                                     {PixelRect{40, 20, 70, 60}, 60, 80},
                                     {PixelRect{3, 5, 160, 117}, 101, 77}}) {
        renderer.Render(&dib, trim, w, h, 0);
        ASSERT_EQ(renderer.Width(), w);
        EXPECT_LE(WorstDifference(renderer, dib, trim, &fourthZero), 1.0) << trim.left;
        EXPECT_TRUE(fourthZero);
    }
}

TEST(TrimmedPictureTest, BoxPastTheEdgeIsBlackOutsideAndUndistortedInside) {
    const Dib dib = RandomPicture(100, 80, 9);
    kivra::TrimmedPictureRenderer renderer;
    // Half the box lies left of the picture and a quarter below it: the output keeps the box's
    // scale (2:1), so the inside is the picture's corner at half size.
    renderer.Render(&dib, {-40, 40, 40, 100}, 40, 30, 0);
    bool fourthZero = false;
    EXPECT_LE(WorstDifference(renderer, dib, {-40, 40, 40, 100}, &fourthZero), 1.0);
    // Black left of column 20 and below row 20.
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            const uint8_t* p = renderer.Pixels() + size_t(y) * size_t(renderer.Stride()) + x * 4;
            if (x < 20 || y >= 20) {
                ASSERT_EQ(p[0] | p[1] | p[2] | p[3], 0) << x << "," << y;
            }
        }
    }
    // A whole output pixel is the mean of a 2x2 block.
    const uint8_t* p = renderer.Pixels() + size_t(5) * size_t(renderer.Stride()) + 23 * 4;
    const double mean = (dib.PictureRow(50)[3 * 6] + dib.PictureRow(50)[3 * 7] +
                         dib.PictureRow(51)[3 * 6] + dib.PictureRow(51)[3 * 7]) /
                        4.0;
    EXPECT_NEAR(p[0], mean, 0.51);

    // No box, no overlap, no picture: black.
    for (const PixelRect& trim : {PixelRect{}, PixelRect{200, 0, 300, 75}}) {
        renderer.Render(&dib, trim, 40, 30, 0);
        EXPECT_TRUE(std::all_of(renderer.Pixels(), renderer.Pixels() + 40 * 30 * 4,
                                [](uint8_t b) { return b == 0; }));
    }
    renderer.Render(nullptr, {0, 0, 40, 30}, 40, 30, 0);
    EXPECT_EQ(std::count(renderer.Pixels(), renderer.Pixels() + 40 * 30 * 4, 0), 40 * 30 * 4);
}

TEST(MosaicTest, CellsOfTheFixedGridTakeTheirTopRowInsideTheRectangle) {
    constexpr int kW = 70, kH = 50;
    std::mt19937 random(3);
    // Rectangles that straddle cells on every side, start mid-cell, reach the picture's edge.
    const PixelRect rects[] = {{13, 7, 47, 33}, {0, 0, 70, 16}, {25, 25, 30, 50}, {41, 0, 70, 50}};
    for (const int bpp : {2, 3, 4}) {
        for (const bool topDown : {true, false}) {
            for (const PixelRect& rect : rects) {
                std::vector<uint8_t> px(size_t(kW * kH * bpp));
                for (uint8_t& b : px) {
                    b = uint8_t(random());
                }
                const std::vector<uint8_t> expected =
                    kivra::test::ReferenceMosaic(px, kW, kH, bpp, topDown, rect);
                kivra::ApplyMosaic(px.data(), kW, kH, bpp, topDown, rect);
                ASSERT_EQ(px, expected) << bpp << " " << topDown << " " << rect.left;
            }
        }
    }
}

TEST(MosaicTest, KnownCellsAndTheFourthByte) {
    // 40x40, 32-bit, top-down: cell (20, 0) has a top row of blue 10 and 13 alternating.
    constexpr int kW = 40;
    std::vector<uint8_t> px(size_t(kW * kW * 4), 0);
    for (int i = 0; i < kW * kW; ++i) {
        px[size_t(4 * i + 3)] = uint8_t(i % 251);  // the fourth byte must survive
    }
    for (int x = 20; x < 40; ++x) {
        px[size_t(4 * x)] = uint8_t(x % 2 == 0 ? 10 : 13);
    }
    const std::vector<uint8_t> before = px;
    // Rectangle from row 5: the cell's colour still comes from its row 0, above the rectangle.
    kivra::ApplyMosaic(px.data(), kW, kW, 4, true, {25, 5, 40, 15});
    for (int y = 0; y < kW; ++y) {
        for (int x = 0; x < kW; ++x) {
            const size_t i = size_t(4 * (y * kW + x));
            EXPECT_EQ(px[i + 3], before[i + 3]);
            const bool inside = x >= 25 && y >= 5 && y < 15;
            // (10 + 13) / 2 with integer division.
            EXPECT_EQ(px[i], inside ? 11 : before[i]) << x << "," << y;
        }
    }
    // 16-bit 5-5-5: the top bit is ignored, the components are averaged separately.
    std::vector<uint8_t> small(size_t(20 * 20 * 2), 0);
    const uint16_t a = 0x8000 | (31 << 10) | (1 << 5) | 2;
    const uint16_t b = (29 << 10) | (3 << 5) | 5;
    for (int x = 0; x < 20; ++x) {
        const uint16_t v = x < 10 ? a : b;
        small[size_t(2 * x)] = uint8_t(v & 255);
        small[size_t(2 * x + 1)] = uint8_t(v >> 8);
    }
    kivra::ApplyMosaic(small.data(), 20, 20, 2, true, {0, 0, 20, 20});
    const int v = small[2 * 20 * 19] | small[2 * 20 * 19 + 1] << 8;
    EXPECT_EQ(v, (30 << 10) | (2 << 5) | 3);
    // A rectangle past the picture only touches the picture.
    std::vector<uint8_t> edge(size_t(30 * 30 * 4), 7);
    kivra::ApplyMosaic(edge.data(), 30, 30, 4, false, {-50, -50, 500, 500});
    EXPECT_EQ(std::count(edge.begin(), edge.end(), 7), 30 * 30 * 4);
}

}  // namespace
