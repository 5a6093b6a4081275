// The in-memory marker store: placing, finding, deleting, and filling skipped frames.
#include "markers/lff_manager.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A store with `rows` empty rows, as after opening a video without a marker file.
CLFFManager StoreWithRows(int rows) {
    CLFFManager store;
    EXPECT_EQ(store.LoadMarkers("", rows), CLFFManager::kNoFile);
    return store;
}

std::vector<int> FramesOf(const CLFFManager& store, int row) {
    std::vector<int> frames;
    for (const T_MARKER& m : store.Row(row)) {
        frames.push_back(m.frame);
    }
    return frames;
}

TEST(MarkerStore, SetMarkerTwiceOnOneFrameKeepsOneMarkerWithTheSecondPoint) {
    CLFFManager store = StoreWithRows(100);
    EXPECT_FALSE(store.IsModified());
    store.SetMarker(2, 10, 1.0, 2.0);
    store.SetMarker(2, 10, 3.5, 4.5);
    ASSERT_EQ(store.Row(2).size(), 1u);
    EXPECT_EQ(store.Row(2)[0].x, 3.5);
    EXPECT_EQ(store.Row(2)[0].y, 4.5);
    EXPECT_EQ(store.FramesWithMarkers(), std::vector<int>{10});
    EXPECT_TRUE(store.IsModified());
}

TEST(MarkerStore, RowsStaySortedAndInsertGoesAfterEqualFrames) {
    CLFFManager store = StoreWithRows(3);
    store.SetMarker(0, 5, 0, 0);
    store.SetMarker(0, 2, 0, 0);
    store.SetMarker(0, 9, 0, 0);
    EXPECT_EQ(FramesOf(store, 0), (std::vector<int>{2, 5, 9}));
    EXPECT_EQ(store.FramesWithMarkers(), (std::vector<int>{5, 2, 9}));  // order of arrival

    store.InsertMarker(0, 5, 7.0, 7.0);  // a second marker on 5 goes behind the first
    EXPECT_EQ(FramesOf(store, 0), (std::vector<int>{2, 5, 5, 9}));
    EXPECT_EQ(store.FindMarker(0, 5), 1);
    EXPECT_EQ(store.Row(0)[2].x, 7.0);
    EXPECT_EQ(store.FindMarker(0, 6), -1);
}

TEST(MarkerStore, DeletingTheLastMarkerOfAFrameDropsItFromTheFrameList) {
    CLFFManager store = StoreWithRows(10);
    store.SetMarker(0, 7, 1, 1);
    store.SetMarker(4, 7, 2, 2);
    store.SetMarker(0, 8, 3, 3);
    store.DeleteMarker(0, 7);
    EXPECT_TRUE(store.HasMarkers(7));
    store.DeleteMarker(4, 7);
    EXPECT_FALSE(store.HasMarkers(7));
    EXPECT_EQ(store.FramesWithMarkers(), std::vector<int>{8});

    store.SetModified(false);
    store.DeleteMarker(3, 100);  // nothing there, still counts as a change
    EXPECT_TRUE(store.IsModified());
}

TEST(MarkerStore, FrameMarkersComeOrderedById) {
    CLFFManager store = StoreWithRows(10);
    store.SetMarker(3, 12, 40, 41);
    store.SetMarker(0, 12, 10, 11);
    store.SetMarker(1, 13, 0, 0);
    std::vector<T_DRAW_MARKER> out{{99, 0, 0}};
    store.GetFrameMarkers(12, out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].ID, 1);
    EXPECT_EQ(out[0].x, 10);
    EXPECT_EQ(out[1].ID, 4);
    EXPECT_EQ(out[1].y, 41);
    store.GetFrameMarkers(50, out);
    EXPECT_TRUE(out.empty());
}

TEST(MarkerStore, DeleteAllEmptiesRowsAndFrameListAndSetsModified) {
    CLFFManager store = StoreWithRows(5);
    store.SetMarker(1, 3, 0, 0);
    store.SetModified(false);
    EXPECT_TRUE(store.AnyMarkers());
    store.DeleteAllMarkers();
    EXPECT_FALSE(store.AnyMarkers());
    EXPECT_FALSE(store.HasMarkers(3));
    EXPECT_TRUE(store.FramesWithMarkers().empty());
    EXPECT_TRUE(store.IsModified());
    EXPECT_EQ(store.GetRowCount(), 5);
}

TEST(MarkerStore, DeleteIdOnAllFramesIncludesTheLastFrameAndSparesOtherIds) {
    CLFFManager store = StoreWithRows(5);
    store.SetMarker(1, 0, 0, 0);
    store.SetMarker(1, 4, 0, 0);
    store.SetMarker(1, 29, 0, 0);  // last frame of a 30-frame video
    store.SetMarker(2, 4, 0, 0);
    store.DeleteMarkerIdAllFrames(2, 29);
    EXPECT_TRUE(store.Row(1).empty());
    EXPECT_EQ(FramesOf(store, 2), std::vector<int>{4});
    EXPECT_EQ(store.FramesWithMarkers(), std::vector<int>{4});
}

TEST(MarkerStore, RowIndexOutsideTheRowsIsIgnored) {
    CLFFManager store = StoreWithRows(3);
    for (const int row : {-1, 3, 1 << 30}) {
        store.SetMarker(row, 1, 0, 0);
        store.InsertMarker(row, 1, 0, 0);
        store.DeleteMarker(row, 1);
        EXPECT_EQ(store.FindMarker(row, 1), -1);
        EXPECT_EQ(store.FillSkippedFrames(row, 5, 0, 0, 5, 0), 0);
        EXPECT_TRUE(store.Row(row).empty());
    }
    store.DeleteMarkerIdAllFrames(0, 10);
    store.DeleteMarkerIdAllFrames(4, 10);
    EXPECT_FALSE(store.AnyMarkers());
    EXPECT_FALSE(store.IsModified());
    EXPECT_EQ(store.GetRowCount(), 3);
}

TEST(FillSkippedFrames, FiveFrameSkipInterpolatesTheFramesBetween) {
    CLFFManager store = StoreWithRows(10);
    store.SetMarker(1, 0, 10.0, 100.0);
    store.SetMarker(1, 5, 20.0, 50.0);
    EXPECT_EQ(store.FillSkippedFrames(1, 5, 20.0, 50.0, 5, 0), 4);
    ASSERT_EQ(FramesOf(store, 1), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    for (int j = 1; j <= 4; ++j) {
        EXPECT_DOUBLE_EQ(store.Row(1)[j].x, 10.0 + j * 10.0 / 5.0);
        EXPECT_DOUBLE_EQ(store.Row(1)[j].y, 100.0 - j * 50.0 / 5.0);
    }
    EXPECT_TRUE(store.HasMarkers(3));
}

TEST(FillSkippedFrames, NothingToFillForOneFrameSkipOrAPreviousMarkerTooFarBack) {
    CLFFManager store = StoreWithRows(10);
    store.SetMarker(1, 0, 0, 0);
    store.SetMarker(1, 1, 5, 5);
    EXPECT_EQ(store.FillSkippedFrames(1, 1, 5, 5, 1, 0), 0);

    store.SetMarker(2, 0, 0, 0);
    store.SetMarker(2, 6, 6, 6);  // six back with n = 5
    EXPECT_EQ(store.FillSkippedFrames(2, 6, 6, 6, 5, 0), 0);
    EXPECT_EQ(store.Row(2).size(), 2u);
}

TEST(FillSkippedFrames, SearchStopsAtThePlayRangeStartAndAtTheNearestMarker) {
    CLFFManager store = StoreWithRows(10);
    store.SetMarker(0, 8, 0, 0);
    store.SetMarker(0, 12, 4, 4);
    EXPECT_EQ(store.FillSkippedFrames(0, 12, 4, 4, 5, 9), 0);  // frame 8 lies before the range
    EXPECT_EQ(store.FillSkippedFrames(0, 12, 4, 4, 5, 8), 3);
    EXPECT_DOUBLE_EQ(store.Row(0)[1].x, 1.0);

    // The nearest earlier marker of the same ID wins; other IDs do not count.
    store.SetMarker(1, 20, 0, 0);
    store.SetMarker(1, 23, 30, 0);
    store.SetMarker(2, 24, 0, 0);
    store.SetMarker(1, 25, 50, 0);
    EXPECT_EQ(store.FillSkippedFrames(1, 25, 50, 0, 5, 0), 1);
    EXPECT_EQ(FramesOf(store, 1), (std::vector<int>{20, 23, 24, 25}));
    EXPECT_DOUBLE_EQ(store.Row(1)[2].x, 40.0);
}

}  // namespace
