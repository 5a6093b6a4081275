// Trimming areas, the cursor box, the per-frame trimming rectangles and the mosaic patch.
#include "geometry/trimming_param.h"

#include <gtest/gtest.h>

#include <climits>

namespace kivra {
namespace {

const PixelRect kSide1{100, 50, 180, 110};
const PixelRect kSide2{300, 50, 380, 110};

TEST(CursorBox, HalfSizeIsHalfTheShorterSideAndTheShapeFollowsTheDirection) {
    const ViewRect land = AreaBoxAtCursor(200, 150, 51, kLandscape);
    EXPECT_EQ(land, (ViewRect{132, 99, 268, 201}));  // k = 68: 136 x 102
    const ViewRect port = AreaBoxAtCursor(200, 150, 51, kPortrait);
    EXPECT_EQ(port, (ViewRect{149, 82, 251, 218}));  // 102 x 136
    // 52 / 3 * 4 = 69.33 is truncated.
    EXPECT_EQ(AreaBoxAtCursor(0, 0, 52, kLandscape).Width(), 138);
}

TEST(CursorBox, WheelAndKeysResizeWithinTheShownPicture) {
    EXPECT_EQ(WheelStep(120, false), 3);
    EXPECT_EQ(WheelStep(80, false), 2);
    EXPECT_EQ(WheelStep(-120, false), -3);
    EXPECT_EQ(WheelStep(-39, false), 0);
    EXPECT_EQ(WheelStep(240, true), 1);
    EXPECT_EQ(WheelStep(-80, true), -1);

    // Picture 640 x 481: at most 320, at least 3.
    EXPECT_EQ(ClampHalfSize(51 + 3, 640, 481), 54);
    EXPECT_EQ(ClampHalfSize(319 + 3, 640, 481), 320);
    EXPECT_EQ(ClampHalfSize(4 - 3, 640, 481), 3);
    EXPECT_EQ(ClampHalfSize(-1000, 481, 641), 3);
    // A picture too small for the minimum still gets the minimum.
    EXPECT_EQ(ClampHalfSize(10, 4, 4), 3);
    EXPECT_EQ(ClampHalfSize(10, 0, 0), 3);
}

TEST(ClickedArea, BoxIsConvertedToImagePixelsRoundedHalfUp) {
    // Picture of 640 x 360 shown at (10, 20) in 320 x 180: two image pixels per view pixel.
    const ViewRect image{10, 20, 330, 200};
    EXPECT_EQ(BoxToImageRect({110, 70, 212, 206}, image, 640, 360),
              (PixelRect{200, 100, 404, 372}));
    // Shown at 3/2 size: (view - origin) / 1.5 + 0.5 then truncated, e.g. 101 / 1.5 = 67.33.
    const ViewRect big{0, 0, 960, 540};
    EXPECT_EQ(BoxToImageRect({101, 100, 200, 151}, big, 640, 360), (PixelRect{67, 67, 133, 101}));
    // Left of the picture: -15 / 1.5 + 0.5 = -9.5 truncates toward zero.
    EXPECT_EQ(BoxToImageRect({-15, 0, 30, 30}, big, 640, 360).left, -9);
}

TEST(ClickedArea, InvertedBoxIsNormalisedAndDegeneratePicturesGiveNothing) {
    const ViewRect image{0, 0, 640, 360};
    EXPECT_EQ(BoxToImageRect({300, 200, 100, 50}, image, 640, 360), (PixelRect{100, 50, 300, 200}));
    EXPECT_TRUE(BoxToImageRect({10, 10, 50, 50}, {}, 640, 360).IsEmpty());
    EXPECT_TRUE(BoxToImageRect({10, 10, 50, 50}, image, 0, 360).IsEmpty());
    EXPECT_TRUE(BoxToImageRect({10, 10, 50, 50}, {640, 0, 0, 360}, 640, 360).IsEmpty());
    EXPECT_TRUE(BoxToImageRect({10, 10, 10, 50}, image, 640, 360).IsEmpty());
}

TEST(Areas, ClickAndMarkerFileCentresDifferOnlyLeftOfThePicture) {
    const AreaState click = AreaFromClick({101, 40, 204, 180}, 7);
    EXPECT_EQ(click.top, (ViewPoint{152, 40}));
    EXPECT_EQ(click.bottom, (ViewPoint{152, 180}));
    EXPECT_EQ(click.frame, 7);
    EXPECT_EQ(AreaFromSaved({101, 40, 204, 180}, 7), click);
    // left + (right - left) / 2 against (left + right) / 2 for a negative odd sum.
    EXPECT_EQ(AreaFromClick({-3, 0, 0, 4}, 0).top.x, -2);
    EXPECT_EQ(AreaFromSaved({-3, 0, 0, 4}, 0).top.x, -1);
    EXPECT_EQ(AreaFromSaved({INT_MAX - 1, 0, INT_MAX, 4}, 0).top.x, INT_MAX - 1);
}

TEST(Areas, RectangleFromPointsTakesWidthFromHeightAndDirection) {
    // Height 101: half 50.5, k = trunc(67.33) landscape, trunc(37.875) portrait.
    EXPECT_EQ(AreaRectFromPoints({200, 40}, {999, 141}, kLandscape),
              (PixelRect{133, 40, 267, 141}));
    EXPECT_EQ(AreaRectFromPoints({200, 40}, {999, 141}, kPortrait), (PixelRect{163, 40, 237, 141}));
}

TEST(Areas, RecomputeReshapesSetAreasAndKeepsEmptyOnes) {
    AreaState a1 = AreaFromClick({150, 100, 250, 220}, 3);  // centre 200, height 120
    AreaState a2;
    EXPECT_FALSE(RecomputeAreas(a1, a2, kLandscape));
    EXPECT_EQ(a1.rect, (PixelRect{120, 100, 280, 220}));  // 160 x 120
    EXPECT_EQ(a2, AreaState{});

    a2 = AreaFromClick({400, 100, 490, 220}, 30);
    EXPECT_TRUE(RecomputeAreas(a1, a2, kPortrait));
    EXPECT_EQ(a1.rect, (PixelRect{155, 100, 245, 220}));  // back to 90 x 120
    EXPECT_EQ(a2.rect, (PixelRect{400, 100, 490, 220}));

    ResetAreas(a1, a2);
    EXPECT_FALSE(a1.IsSet());
    EXPECT_EQ(a1, AreaState{});
    EXPECT_EQ(a2.frame, -1);
}

TEST(TrimList, ReadersGetTheEmptyRectangleOutsideTheList) {
    CTrimmingParam param;
    EXPECT_EQ(param.GetSize(), 0);
    EXPECT_TRUE(param.At(0).IsEmpty());
    ASSERT_TRUE(InterpolateTrimRects(kSide1, 1, kSide2, 2, kSideMode, kLandscape, 4, param));
    EXPECT_EQ(param.GetSize(), 4);
    EXPECT_EQ(param.At(3), kSide2);
    EXPECT_EQ(param.At(4), PixelRect{});
    EXPECT_EQ(param.At(-1), PixelRect{});
    EXPECT_EQ(param.At(INT_MIN), PixelRect{});
    param.Clear();
    EXPECT_EQ(param.GetSize(), 0);
}

TEST(TrimList, SideModeSlidesTheLeftEdgeLinearly) {
    CTrimmingParam param;
    ASSERT_TRUE(InterpolateTrimRects(kSide1, 10, kSide2, 20, kSideMode, kLandscape, 30, param));
    ASSERT_EQ(param.GetSize(), 30);
    EXPECT_EQ(param.At(15), (PixelRect{200, 50, 280, 110}));
    EXPECT_EQ(param.At(13), (PixelRect{160, 50, 240, 110}));
    // Frames up to area 1 and from area 2 on take the areas unchanged.
    for (int i = 0; i <= 10; ++i) {
        EXPECT_EQ(param.At(i), kSide1) << i;
    }
    for (int i = 20; i < 30; ++i) {
        EXPECT_EQ(param.At(i), kSide2) << i;
    }
}

TEST(TrimList, SideModeDividesInIntegersAndShapesByDirection) {
    CTrimmingParam param;
    // top (57 * 3 + 50 * 7) / 10 = 52.1 -> 52; bottom (120 * 3 + 110 * 7) / 10 = 113;
    // left (100 * 7 + 301 * 3) / 10 = 160.3 -> 160; height 61, width 61 * 3 / 4 = 45.
    ASSERT_TRUE(InterpolateTrimRects({100, 50, 180, 110}, 10, {301, 57, 400, 120}, 20, kSideMode,
                                     kPortrait, 21, param));
    EXPECT_EQ(param.At(13), (PixelRect{160, 52, 205, 113}));
}

TEST(TrimList, SideModeWithLargeCoordinatesDoesNotOverflow) {
    CTrimmingParam param;
    const PixelRect far{2000000000, 2000000000, 2000000010, 2000000010};
    ASSERT_TRUE(InterpolateTrimRects({0, 0, 10, 10}, 0, far, 4, kSideMode, kLandscape, 5, param));
    EXPECT_EQ(param.At(2), (PixelRect{1000000000, 1000000000, 1000000013, 1000000010}));
    // A box over the whole int range: its width cannot be held, so the right edge is pinned.
    const PixelRect all{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    ASSERT_TRUE(InterpolateTrimRects(all, 0, all, 2, kSideMode, kLandscape, 3, param));
    EXPECT_EQ(param.At(1).right, INT_MAX);
    EXPECT_EQ(param.At(1).bottom, INT_MAX);
}

TEST(TrimList, FrontModeGrowsWithTheSquareOfTheDistanceFromTheNarrowArea) {
    const PixelRect narrow{100, 100, 175, 200};
    const PixelRect wide{60, 60, 210, 260};
    CTrimmingParam param;
    // Walking towards the camera: halfway in frames is a quarter of the way in size.
    ASSERT_TRUE(InterpolateTrimRects(narrow, 10, wide, 20, kFrontMode, kPortrait, 25, param));
    EXPECT_EQ(param.At(15), (PixelRect{90, 90, 183, 215}));  // height 125, width 93
    EXPECT_EQ(param.At(10), narrow);
    EXPECT_EQ(param.At(24), wide);

    // Walking away: the distance still counts from the narrow area, now area 2.
    // Frame 12 is 8 frames from it: 64 / 100 of the way to the wide box.
    ASSERT_TRUE(InterpolateTrimRects(wide, 10, narrow, 20, kFrontMode, kLandscape, 25, param));
    // left 100 - 40 * 0.64 = 74.4, top 100 - 25.6 = 74.4, bottom 200 + 38.4 = 238.4.
    EXPECT_EQ(param.At(12), (PixelRect{74, 74, 74 + 164 * 4 / 3, 238}));
}

TEST(TrimList, EqualWidthsMakeArea2TheNarrowOne) {
    CTrimmingParam param;
    ASSERT_TRUE(InterpolateTrimRects({0, 0, 90, 120}, 0, {100, 40, 190, 160}, 10, kFrontMode,
                                     kPortrait, 11, param));
    // From area 2 at frame 10, frame 5 is a quarter of the way back to area 1.
    EXPECT_EQ(param.At(5), (PixelRect{75, 30, 75 + 120 * 3 / 4, 150}));
}

TEST(TrimList, AreasInReverseOrderOrOnOneFrameSplitAtArea1) {
    CTrimmingParam param;
    ASSERT_TRUE(InterpolateTrimRects(kSide1, 20, kSide2, 10, kFrontMode, kLandscape, 30, param));
    EXPECT_EQ(param.At(15), kSide1);
    EXPECT_EQ(param.At(20), kSide1);
    EXPECT_EQ(param.At(21), kSide2);
    // No frame lies between the areas, so front mode never divides by a zero distance.
    ASSERT_TRUE(InterpolateTrimRects(kSide1, 5, kSide2, 5, kFrontMode, kLandscape, 8, param));
    EXPECT_EQ(param.At(5), kSide1);
    EXPECT_EQ(param.At(6), kSide2);
}

TEST(TrimList, FrameCountBoundsTheList) {
    CTrimmingParam param;
    ASSERT_TRUE(InterpolateTrimRects(kSide1, 10, kSide2, 20, kSideMode, kLandscape, 30, param));
    EXPECT_FALSE(InterpolateTrimRects(kSide1, 10, kSide2, 20, kSideMode, kLandscape, -1, param));
    EXPECT_EQ(param.GetSize(), 0);
    ASSERT_TRUE(InterpolateTrimRects(kSide1, 10, kSide2, 20, kSideMode, kLandscape, 0, param));
    EXPECT_EQ(param.GetSize(), 0);
    // Areas beyond the video's end do not lengthen the list.
    ASSERT_TRUE(InterpolateTrimRects(kSide1, 100, kSide2, 200, kSideMode, kLandscape, 3, param));
    EXPECT_EQ(param.GetSize(), 3);
}

TEST(Mosaic, TypesOnABoxOfHeight100) {
    const PixelRect box{100, 50, 175, 150};  // centre 137
    EXPECT_TRUE(MosaicRect(box, 0).IsEmpty());
    EXPECT_EQ(MosaicRect(box, 1), (PixelRect{125, 50, 149, 74}));  // d = 12
    EXPECT_EQ(MosaicRect(box, 2), (PixelRect{121, 50, 153, 82}));  // d = 16
    EXPECT_EQ(MosaicRect(box, 3), (PixelRect{100, 50, 175, 82}));  // 100 / 6 * 2 = 32 rows
    EXPECT_EQ(MosaicRect(box, 7), MosaicRect(box, 3));
    EXPECT_EQ(MosaicRect(box, -1), MosaicRect(box, 3));
}

TEST(Mosaic, SmallAndEmptyBoxesGetAtLeastATwoPixelSquare) {
    EXPECT_EQ(MosaicRect({10, 10, 14, 15}, 1), (PixelRect{11, 10, 13, 12}));  // height 5, d = 1
    EXPECT_EQ(MosaicRect({10, 10, 14, 15}, 3), (PixelRect{10, 10, 14, 10}));
    EXPECT_EQ(MosaicRect({}, 2), (PixelRect{-1, 0, 1, 2}));
    EXPECT_EQ(MosaicRect({0, 200, 50, 100}, 1), (PixelRect{24, 200, 26, 202}));
}

// Picture 640 x 480 shown in an output of 300 x 400 (a 300 x 400 trimming rectangle is 1:1).
TEST(TrimPlacement, InsideFillsTheOutputAndEachEdgePastThePictureLeavesItsShareBlack) {
    const auto place = [](const PixelRect& trim) {
        return PlaceTrimRect(trim, 640, 480, 300, 400);
    };
    const struct {
        PixelRect trim;
        PixelRect source;
        ViewRect dest;
    } cases[] = {
        {{100, 50, 400, 450}, {100, 50, 400, 450}, {0, 0, 300, 400}},     // inside
        {{-60, 40, 240, 440}, {0, 40, 240, 440}, {60, 0, 300, 400}},      // past the left edge
        {{500, 40, 800, 440}, {500, 40, 640, 440}, {0, 0, 140, 400}},     // past the right edge
        {{100, -100, 400, 300}, {100, 0, 400, 300}, {0, 100, 300, 400}},  // past the top
        {{100, 380, 400, 780}, {100, 380, 400, 480}, {0, 0, 300, 100}},   // past the bottom
        {{-10, -20, 690, 520}, {0, 0, 640, 480}, {4, 15, 279, 370}},      // larger than the picture
    };
    for (const auto& c : cases) {
        const TrimPlacement p = place(c.trim);
        EXPECT_EQ(p.source, c.source) << c.trim.left << "," << c.trim.top;
        EXPECT_EQ(p.dest, c.dest) << c.trim.left << "," << c.trim.top;
    }
}

TEST(TrimPlacement, EdgesRoundToTheNearestOutputPixel) {
    // 300 image pixels onto 150: an offset of 61 is 30.5 output pixels, 62 is 31.
    EXPECT_EQ(PlaceTrimRect({-61, 0, 239, 400}, 640, 480, 150, 200).dest,
              (ViewRect{31, 0, 150, 200}));
    // Onto 100: 61 -> 20.33 and 62 -> 20.67.
    EXPECT_EQ(PlaceTrimRect({-61, 0, 239, 400}, 640, 480, 100, 200).dest.left, 20);
    EXPECT_EQ(PlaceTrimRect({-62, 0, 238, 400}, 640, 480, 100, 200).dest.left, 21);
    // The source keeps its exact pixels; only the output side is rounded.
    EXPECT_EQ(PlaceTrimRect({-62, 0, 238, 400}, 640, 480, 100, 200).source,
              (PixelRect{0, 0, 238, 400}));
}

TEST(TrimPlacement, NoOverlapOrDegenerateSizesPlaceNothing) {
    const TrimPlacement none{};
    const auto same = [](const TrimPlacement& a, const TrimPlacement& b) {
        return a.source == b.source && a.dest == b.dest;
    };
    EXPECT_TRUE(same(PlaceTrimRect({700, 0, 1000, 400}, 640, 480, 300, 400), none));
    EXPECT_TRUE(same(PlaceTrimRect({-300, 0, 0, 400}, 640, 480, 300, 400), none)) << "touching";
    EXPECT_TRUE(same(PlaceTrimRect({0, 480, 300, 880}, 640, 480, 300, 400), none));
    EXPECT_TRUE(same(PlaceTrimRect({}, 640, 480, 300, 400), none));
    EXPECT_TRUE(same(PlaceTrimRect({300, 0, 100, 400}, 640, 480, 300, 400), none)) << "inverted";
    EXPECT_TRUE(same(PlaceTrimRect({0, 0, 300, 400}, 0, 480, 300, 400), none));
    EXPECT_TRUE(same(PlaceTrimRect({0, 0, 300, 400}, 640, -1, 300, 400), none));
    EXPECT_TRUE(same(PlaceTrimRect({0, 0, 300, 400}, 640, 480, 0, 400), none));
    EXPECT_TRUE(same(PlaceTrimRect({0, 0, 300, 400}, 640, 480, 300, -5), none));
    // A one-pixel sliver worth a third of an output pixel covers none of it.
    EXPECT_TRUE(same(PlaceTrimRect({-299, 0, 1, 400}, 640, 480, 100, 400), none));
}

TEST(TrimPlacement, ExtremeRectanglesAndOutputsStayExact) {
    // Spans and products beyond 64 bits must neither wrap nor leave the output.
    const TrimPlacement p =
        PlaceTrimRect({INT_MIN, INT_MIN, INT_MAX, INT_MAX}, 640, 480, INT_MAX, INT_MAX);
    EXPECT_EQ(p.source, (PixelRect{0, 0, 640, 480}));
    EXPECT_EQ(p.dest, (ViewRect{1073741824, 1073741824, 1073742144, 1073742064}));
    const TrimPlacement q = PlaceTrimRect({INT_MIN, 0, 640, 480}, 640, 480, 300, 400);
    EXPECT_TRUE(q.source.IsEmpty() && q.dest.IsEmpty())
        << "the picture is under half an output pixel of the width";
}

}  // namespace
}  // namespace kivra
