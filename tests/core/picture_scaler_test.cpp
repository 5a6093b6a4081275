// Scaling decoded pictures for the screen: upright, the right part, colours kept.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "rendering/picture_scaler.h"

namespace {

// A bottom-up 24-bit picture whose pixel (x, y) (y from the top) is (x, y, 77) as B, G, R.
kivra::Dib Ramp(int width, int height) {
    kivra::Dib dib;
    dib.Reset24(width, height);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = const_cast<uint8_t*>(dib.PictureRow(y));
        for (int x = 0; x < width; ++x) {
            row[3 * x] = uint8_t(x);
            row[3 * x + 1] = uint8_t(y);
            row[3 * x + 2] = 77;
        }
    }
    return dib;
}

TEST(PictureScalerTest, ScalesUprightAndKeepsTheRamp) {
    const kivra::Dib dib = Ramp(200, 160);
    kivra::PictureScaler scaler;
    // Same size: exact. Half size and odd sizes: close to the ramp's value at the centre.
    for (const auto& [w, h] :
         std::vector<std::pair<int, int>>{{200, 160}, {100, 80}, {37, 91}, {400, 20}}) {
        std::vector<uint8_t> out(size_t(w) * h * 4);
        ASSERT_TRUE(scaler.Scale(dib, 0, 0, 200, 160, w, h, out.data(), w * 4));
        for (int y = 0; y < h; y += 7) {
            for (int x = 0; x < w; x += 5) {
                const uint8_t* p = out.data() + (size_t(y) * w + x) * 4;
                const double sx = std::clamp((x + 0.5) * 200.0 / w - 0.5, 0.0, 199.0);
                const double sy = std::clamp((y + 0.5) * 160.0 / h - 0.5, 0.0, 159.0);
                EXPECT_NEAR(p[0], sx, 1.01) << w << "x" << h << " at " << x << "," << y;
                EXPECT_NEAR(p[1], sy, 1.01) << w << "x" << h << " at " << x << "," << y;
                EXPECT_EQ(p[2], 77);
                EXPECT_EQ(p[3], 255);
            }
        }
    }
}

TEST(PictureScalerTest, SourceRectangleAndShrinkingByMoreThanHalf) {
    const kivra::Dib dib = Ramp(240, 240);
    kivra::PictureScaler scaler;
    std::vector<uint8_t> out(20 * 10 * 4);
    // The part from (100, 50), 80 x 40, shrunk four times: still that part of the ramp.
    ASSERT_TRUE(scaler.Scale(dib, 100, 50, 80, 40, 20, 10, out.data(), 20 * 4));
    EXPECT_NEAR(out[0], 101.5, 2.0);
    EXPECT_NEAR(out[1], 51.5, 2.0);
    const uint8_t* last = out.data() + (9 * 20 + 19) * 4;
    EXPECT_NEAR(last[0], 177.5, 2.0);
    EXPECT_NEAR(last[1], 87.5, 2.0);
    // A rectangle outside the picture is refused.
    EXPECT_FALSE(scaler.Scale(dib, 200, 0, 80, 40, 20, 10, out.data(), 20 * 4));
    EXPECT_FALSE(scaler.Scale(dib, 0, 0, 0, 40, 20, 10, out.data(), 20 * 4));
}

}  // namespace
