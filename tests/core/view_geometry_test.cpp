// Fitting the picture into the frame view and mapping between view and image pixels.
#include "geometry/view_geometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kivra {
namespace {

TEST(FitFrame, WideFrameInTallBoxFillsTheWidthWithBarsAboveAndBelow) {
    // 1920x1080 into 400x600: A = 398, B = 598; height trunc(398 / (16/9)) = 223,
    // top trunc((598 - 223) / 2) = 187.
    const FrameFit fit = FitFrame({0, 0, 400, 600}, PictureAspect(kNormalMode, 0, 1920, 1080));
    EXPECT_EQ(fit.picture, (ViewRect{1, 188, 399, 411}));
    EXPECT_EQ(fit.bar1, (ViewRect{1, 1, 399, 188}));
    EXPECT_EQ(fit.bar2, (ViewRect{1, 411, 399, 599}));
}

TEST(FitFrame, TallFrameInWideBoxFillsTheHeightWithBarsLeftAndRight) {
    // 480x640 into 800x400: height 398, width trunc(398 * 0.75) = 298, left trunc(500 / 2).
    const FrameFit fit = FitFrame({0, 0, 800, 400}, PictureAspect(kAreaMode, 1, 480, 640));
    EXPECT_EQ(fit.picture, (ViewRect{251, 1, 549, 399}));
    EXPECT_EQ(fit.bar1, (ViewRect{1, 1, 251, 399}));
    EXPECT_EQ(fit.bar2, (ViewRect{549, 1, 799, 399}));
}

TEST(FitFrame, OffsetBoxShiftsPictureAndBars) {
    // 98x98 inside the margin, 4:3 picture: height trunc(73.5) = 73, top trunc(12.5) = 12.
    const FrameFit fit = FitFrame({10, 20, 110, 120}, 4.0 / 3.0);
    EXPECT_EQ(fit.picture, (ViewRect{11, 33, 109, 106}));
    EXPECT_EQ(fit.bar1, (ViewRect{11, 21, 109, 33}));
    EXPECT_EQ(fit.bar2, (ViewRect{11, 106, 109, 119}));
}

TEST(FitFrame, ExactAspectTakesTheFullWidthBranch) {
    // r == A / B is not "relatively wider": full width, no room for bars.
    const FrameFit fit = FitFrame({0, 0, 402, 302}, 4.0 / 3.0);
    EXPECT_EQ(fit.picture, (ViewRect{1, 1, 401, 301}));
    EXPECT_TRUE(fit.bar1.IsEmpty());
    EXPECT_TRUE(fit.bar2.IsEmpty());
}

TEST(FitFrame, PreviewUsesTheOutputShapeByDirection) {
    EXPECT_DOUBLE_EQ(PictureAspect(kPreviewMode, 1, 1920, 1080), 4.0 / 3.0);
    EXPECT_DOUBLE_EQ(PictureAspect(kPreviewMode, 0, 1920, 1080), 3.0 / 4.0);
    EXPECT_DOUBLE_EQ(PictureAspect(kNormalMode, 0, 1920, 1080), 1920.0 / 1080.0);

    // Landscape preview in a 1000x700 box: 4:3 at full height 698, width trunc(930.67).
    const FrameFit land = FitFrame({0, 0, 1000, 700}, PictureAspect(kPreviewMode, 1, 1920, 1080));
    EXPECT_EQ(land.picture.Height(), 698);
    EXPECT_EQ(land.picture.Width(), 930);
    // Portrait preview in the same box: width trunc(698 * 0.75) = 523.
    const FrameFit port = FitFrame({0, 0, 1000, 700}, PictureAspect(kPreviewMode, 0, 1920, 1080));
    EXPECT_EQ(port.picture.Width(), 523);
    EXPECT_EQ(port.picture.left, 1 + (998 - 523) / 2);
}

TEST(FitFrame, DegenerateInputGivesNoPicture) {
    EXPECT_TRUE(FitFrame({0, 0, 2, 100}, 1.0).picture.IsEmpty());
    EXPECT_TRUE(FitFrame({0, 0, 100, 1}, 1.0).picture.IsEmpty());
    EXPECT_TRUE(
        FitFrame({0, 0, 100, 100}, PictureAspect(kNormalMode, 0, 640, 0)).picture.IsEmpty());
    EXPECT_TRUE(FitFrame({0, 0, 100, 100}, std::nan("")).picture.IsEmpty());
}

ImageMapping NormalMapping() {
    ImageMapping m;
    m.imageRect = {1, 188, 399, 411};
    m.imageWidth = 1920;
    m.imageHeight = 1080;
    return m;
}

ImageMapping PreviewMapping() {
    ImageMapping m;
    m.imageRect = {35, 1, 966, 699};
    m.imageWidth = 1920;
    m.imageHeight = 1080;
    m.outputWidth = 1024;
    m.outputHeight = 768;
    m.trimRect = {600, 200, 1320, 740};
    m.preview = true;
    return m;
}

TEST(ViewImageMapping, HandComputedPoints) {
    const ImageMapping n = NormalMapping();
    // x = (200 - 1) / (398 / 1920), y = (300 - 188) / (223 / 1080).
    const auto img = ViewToImage({200, 300}, n);
    ASSERT_TRUE(img);
    EXPECT_NEAR(img->x, 199.0 * 1920.0 / 398.0, 1e-9);
    EXPECT_NEAR(img->y, 112.0 * 1080.0 / 223.0, 1e-9);
    // vx = trunc(398 / 1920 * 960 + 1.5) = 200, vy = trunc(223 / 1080 * 540 + 188.5) = 300.
    EXPECT_EQ(ImageToView({960, 540}, n), (ViewPoint{200, 300}));

    const ImageMapping p = PreviewMapping();
    // The trimming rectangle's top-left corner lands on the picture's top-left corner.
    EXPECT_EQ(ImageToView({600, 200}, p), (ViewPoint{35, 1}));
    const auto corner = ViewToImage({35, 1}, p);
    ASSERT_TRUE(corner);
    EXPECT_NEAR(corner->x, 600.0, 1e-9);
    EXPECT_NEAR(corner->y, 200.0, 1e-9);
}

TEST(ViewImageMapping, RoundTripsStayWithinOneViewPixel) {
    for (const ImageMapping& m : {NormalMapping(), PreviewMapping()}) {
        for (int vy = m.imageRect.top; vy < m.imageRect.bottom; vy += 7) {
            for (int vx = m.imageRect.left; vx < m.imageRect.right; vx += 5) {
                const auto img = ViewToImage({vx, vy}, m);
                ASSERT_TRUE(img);
                const auto back = ImageToView(*img, m);
                ASSERT_TRUE(back);
                EXPECT_LE(std::abs(back->x - vx), 1) << vx << "," << vy << " preview " << m.preview;
                EXPECT_LE(std::abs(back->y - vy), 1) << vx << "," << vy << " preview " << m.preview;
            }
        }
    }
}

TEST(ViewImageMapping, DegenerateMappingsGiveNothingInsteadOfGarbage) {
    ImageMapping noPicture = NormalMapping();
    noPicture.imageRect = {};
    EXPECT_FALSE(ViewToImage({5, 5}, noPicture));

    ImageMapping emptyTrim = PreviewMapping();
    emptyTrim.trimRect = {};
    EXPECT_FALSE(ViewToImage({50, 50}, emptyTrim));
    EXPECT_FALSE(ImageToView({50, 50}, emptyTrim));

    ImageMapping noOutput = PreviewMapping();
    noOutput.outputWidth = 0;  // an unknown SizeType gives a 0x0 output
    EXPECT_FALSE(ViewToImage({50, 50}, noOutput));
    EXPECT_FALSE(ImageToView({50, 50}, noOutput));

    EXPECT_FALSE(ImageToView({1e300, 0}, NormalMapping()));
    EXPECT_FALSE(ImageToView({std::nan(""), 0}, NormalMapping()));
}

}  // namespace
}  // namespace kivra
