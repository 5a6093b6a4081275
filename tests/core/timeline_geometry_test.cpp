// The timeline's scale and the mapping between frames and strip pixels.
#include <gtest/gtest.h>

#include <climits>

#include "geometry/timeline_geometry.h"

namespace {

using kivra::TimelineFrameToX;
using kivra::TimelineScale;
using kivra::TimelineSpan;
using kivra::TimelineXToFrame;

TEST(TimelineGeometry, ScaleFillsTheStripLessBothMargins) {
    EXPECT_DOUBLE_EQ(TimelineScale(636, 300), 2.0);
    EXPECT_DOUBLE_EQ(TimelineScale(636, 3000), 0.2);
    EXPECT_DOUBLE_EQ(TimelineScale(636, 7), 600.0 / 7.0);
    // A header without frames must not divide by zero.
    EXPECT_EQ(TimelineScale(636, 0), 0.0);
    EXPECT_EQ(TimelineScale(636, -5), 0.0);
}

TEST(TimelineGeometry, FrameToPixelTruncatesAfterScaling) {
    EXPECT_EQ(TimelineFrameToX(10, 2.0), 38);
    EXPECT_EQ(TimelineFrameToX(0, 2.0), 18);
    EXPECT_EQ(TimelineFrameToX(299, 2.0), 616);
    // 0.2 px per frame: 14 frames are 2.8 px, so frame 14 still starts at pixel 20.
    EXPECT_EQ(TimelineFrameToX(14, 0.2), 20);
    EXPECT_EQ(TimelineFrameToX(15, 0.2), 21);
    // The product is truncated, not the scale: 3 frames at 600/7 px are 257.14 px.
    EXPECT_EQ(TimelineFrameToX(3, 600.0 / 7.0), 18 + 257);
    EXPECT_EQ(TimelineSpan(1.0, 2.0), 2);
    EXPECT_EQ(TimelineSpan(1.0, 0.2), 0);
    EXPECT_EQ(TimelineSpan(300.0, 2.0), 600);
}

TEST(TimelineGeometry, NonsenseFramesStayFarOffScreenWithoutOverflow) {
    const int far = TimelineFrameToX(INT_MAX, 1000.0);
    EXPECT_GT(far, 100000);
    EXPECT_LT(far, INT_MAX - 1000);  // room to add a handle's width
    const int farLeft = TimelineFrameToX(INT_MIN, 1000.0);
    EXPECT_LT(farLeft, -100000);
    EXPECT_GT(farLeft, INT_MIN + 1000);
    EXPECT_LT(TimelineSpan(double(INT_MAX) * 2.0, 1000.0), INT_MAX - 1000);
}

TEST(TimelineGeometry, PixelToFrameTruncatesAndClampsToTheSamples) {
    EXPECT_EQ(TimelineXToFrame(38, 2.0, 0, 299), 10);
    EXPECT_EQ(TimelineXToFrame(39, 2.0, 0, 299), 10);
    EXPECT_EQ(TimelineXToFrame(40, 2.0, 0, 299), 11);
    EXPECT_EQ(TimelineXToFrame(18, 0.2, 0, 2999), 0);
    EXPECT_EQ(TimelineXToFrame(19, 0.2, 0, 2999), 5);
    EXPECT_EQ(TimelineXToFrame(318, 0.2, 0, 2999), 1500);
    // Left margin and beyond: the first sample; right margin and beyond: the last.
    EXPECT_EQ(TimelineXToFrame(17, 2.0, 0, 299), 0);
    EXPECT_EQ(TimelineXToFrame(-500, 2.0, 0, 299), 0);
    EXPECT_EQ(TimelineXToFrame(617, 2.0, 0, 299), 299);
    EXPECT_EQ(TimelineXToFrame(618, 2.0, 0, 299), 299);
    EXPECT_EQ(TimelineXToFrame(5000, 2.0, 0, 299), 299);
    // A stream whose samples do not start at 0.
    EXPECT_EQ(TimelineXToFrame(20, 2.0, 5, 304), 5);
    EXPECT_EQ(TimelineXToFrame(38, 2.0, 5, 304), 10);
    // Frames too many for the pixels: far right of the strip still lands on the last sample.
    EXPECT_EQ(TimelineXToFrame(INT_MAX, 1e-9, 0, 299), 299);
}

TEST(TimelineGeometry, PixelToFrameWithoutAScaleGivesTheFirstSample) {
    EXPECT_EQ(TimelineXToFrame(300, 0.0, 0, 299), 0);
    EXPECT_EQ(TimelineXToFrame(300, -1.5, 3, 299), 3);  // strip narrower than its margins
}

}  // namespace
