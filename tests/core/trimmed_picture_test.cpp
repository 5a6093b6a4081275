// The pictures of the trimmed movie: area-averaging scaling against a plain double-precision
// computation, black where the trimming box leaves the picture, and the mosaic grid rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "media/trimmed_picture.h"

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

// Output pixel j of `size` over a source span of sourceSize covers [c - r, c + r] around
// c = (j + 0.5) * s, r = max(s, 1) / 2, cut to the source; the mean over it, each source pixel
// weighted by its overlap.
double AreaMean(const Dib& dib, int channel, double x0, double x1, double y0, double y1) {
    double sum = 0;
    double area = 0;
    for (int y = int(std::floor(y0)); y < int(std::ceil(y1)); ++y) {
        const double wy = std::min(y1, y + 1.0) - std::max(y0, double(y));
        for (int x = int(std::floor(x0)); x < int(std::ceil(x1)); ++x) {
            const double wx = std::min(x1, x + 1.0) - std::max(x0, double(x));
            if (wx <= 0 || wy <= 0) {
                continue;
            }
            sum += wx * wy * dib.PictureRow(y)[3 * x + channel];
            area += wx * wy;
        }
    }
    return sum / area;
}

// The whole output of a source rectangle scaled onto dest, by the definition above.
double Reference(const Dib& dib, const PixelRect& from, const PixelRect& dest, int x, int y,
                 int channel) {
    const auto footprint = [](int j, int source, int size, double* a, double* b) {
        const double s = double(source) / size;
        const double c = (j + 0.5) * s;
        const double r = std::max(s, 1.0) / 2;
        *a = std::max(c - r, 0.0);
        *b = std::min(c + r, double(source));
    };
    double x0, x1, y0, y1;
    footprint(x - dest.left, from.Width(), dest.Width(), &x0, &x1);
    footprint(y - dest.top, from.Height(), dest.Height(), &y0, &y1);
    return AreaMean(dib, channel, from.left + x0, from.left + x1, from.top + y0, from.top + y1);
}

// Largest difference between rendered and reference inside dest, and whether every pixel
// outside it is black with a zero fourth byte.
void Compare(const kivra::TrimmedPictureRenderer& r, const Dib& dib, const PixelRect& from,
             const PixelRect& dest, double* worst, bool* blackOutside) {
    *worst = 0;
    *blackOutside = true;
    for (int y = 0; y < r.Height(); ++y) {
        for (int x = 0; x < r.Width(); ++x) {
            const uint8_t* p = r.Pixels() + size_t(y) * size_t(r.Stride()) + size_t(x) * 4;
            const bool inside =
                x >= dest.left && x < dest.right && y >= dest.top && y < dest.bottom;
            if (!inside) {
                *blackOutside = *blackOutside && p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 0;
                continue;
            }
            for (int c = 0; c < 3; ++c) {
                *worst = std::max(*worst, std::abs(p[c] - Reference(dib, from, dest, x, y, c)));
            }
        }
    }
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
    double worst = 0;
    bool black = false;
    // Reduce (landscape), enlarge (portrait) and an uneven ratio, all inside the picture.
    for (const auto& [trim, w, h] : {std::tuple{PixelRect{10, 8, 130, 98}, 48, 36},
                                     {PixelRect{40, 20, 70, 60}, 60, 80},
                                     {PixelRect{3, 5, 160, 117}, 101, 77}}) {
        renderer.Render(&dib, trim, w, h, 0);
        ASSERT_EQ(renderer.Width(), w);
        Compare(renderer, dib, trim, {0, 0, w, h}, &worst, &black);
        EXPECT_LE(worst, 1.0) << trim.left;
    }
}

TEST(TrimmedPictureTest, BoxPastTheEdgeIsBlackOutsideAndUndistortedInside) {
    const Dib dib = RandomPicture(100, 80, 9);
    kivra::TrimmedPictureRenderer renderer;
    // Half the box lies left of the picture and a quarter below it: the output keeps the box's
    // scale (2:1), so the inside is the picture's corner at half size.
    renderer.Render(&dib, {-40, 40, 40, 100}, 40, 30, 0);
    double worst = 0;
    bool black = false;
    Compare(renderer, dib, {0, 40, 40, 80}, {20, 0, 40, 20}, &worst, &black);
    EXPECT_TRUE(black);
    EXPECT_LE(worst, 1.0);
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

// The grid rule written out plainly, for any depth and storage order.
std::vector<uint8_t> ReferenceMosaic(std::vector<uint8_t> px, int w, int h, int bpp, bool topDown,
                                     PixelRect r) {
    const auto at = [&](int x, int y) {
        return px.data() + size_t(topDown ? y : h - 1 - y) * size_t(w * bpp) + size_t(x * bpp);
    };
    for (int cx = 0; cx / 20 < w / 20 + 1; cx += 20) {
        for (int cy = 0; cy / 20 < h / 20 + 1; cy += 20) {
            int s[3] = {0, 0, 0};
            int n = 0;
            for (int x = cx; x < cx + 20; ++x) {
                if (x >= r.left - 20 && cy >= r.top - 20 && x < r.right && cy < r.bottom) {
                    const uint8_t* p = at(x, cy);
                    const int v = p[0] | p[1] << 8;
                    s[0] += bpp == 2 ? v & 31 : p[0];
                    s[1] += bpp == 2 ? (v >> 5) & 31 : p[1];
                    s[2] += bpp == 2 ? (v >> 10) & 31 : p[2];
                    ++n;
                }
            }
            if (n == 0) {
                continue;
            }
            const int b = std::min(s[0] / n, 255), g = std::min(s[1] / n, 255),
                      red = std::min(s[2] / n, 255);
            for (int y = cy; y < cy + 20; ++y) {
                for (int x = cx; x < cx + 20; ++x) {
                    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
                        uint8_t* p = at(x, y);
                        if (bpp == 2) {
                            const int v = (red * 32 + g) * 32 + b;
                            p[0] = uint8_t(v & 255);
                            p[1] = uint8_t(v >> 8);
                        } else {
                            p[0] = uint8_t(b);
                            p[1] = uint8_t(g);
                            p[2] = uint8_t(red);
                        }
                    }
                }
            }
        }
    }
    return px;
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
                    ReferenceMosaic(px, kW, kH, bpp, topDown, rect);
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
