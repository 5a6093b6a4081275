// The trimming state stored with the markers: what comes back after a save, and what a damaged
// header is turned into.
#include <gtest/gtest.h>

#include <memory>

#include "markers/trimming_state.h"
#include "markers/video_annotations.h"
#include "session/edit_session.h"
#include "support/ffmpeg_tool.h"

namespace {

kivra::TrimmingState SampleState() {
    kivra::TrimmingState state;
    state.mode = 1;
    state.rangeStart = 5;
    state.rangeEnd = 90;
    state.area1 = kivra::AreaFromSaved({100, 50, 180, 110}, 10);
    state.area2 = kivra::AreaFromSaved({300, 40, 420, 200}, 80);
    return state;
}

TEST(TrimmingStateTest, SaveAndLoadGiveTheSameState) {
    kivra::test::TempDir dir;
    const std::string path = dir.File("walk.lff");
    CLFFManager saved;
    saved.LoadMarkers(path, 100);
    saved.SetMarker(2, 7, 12.5, 13.25);
    kivra::StoreTrimmingState(saved, SampleState());
    ASSERT_TRUE(saved.SaveMarkers(path, 2, 1, 3));

    CLFFManager loaded;
    ASSERT_EQ(loaded.LoadMarkers(path, 100), CLFFManager::kLoaded);
    const kivra::TrimmingState state = kivra::TrimmingStateFromMarkers(loaded, 120);
    EXPECT_EQ(state.mode, 1);
    EXPECT_EQ(state.sizeType, 2);
    EXPECT_EQ(state.direction, 1);
    EXPECT_EQ(state.mosaicType, 3);
    EXPECT_EQ(state.rangeStart, 5);
    EXPECT_EQ(state.rangeEnd, 90);
    EXPECT_EQ(state.area1, SampleState().area1);
    EXPECT_EQ(state.area2, SampleState().area2);

    // Restored by the session, the state is the one a save writes again, rectangles built.
    auto annotations = std::make_unique<VideoAnnotations>();
    kivra::EditSession session([&annotations] { return annotations.get(); });
    session.StartVideo(120);
    session.RestoreTrimmingState(state);
    EXPECT_EQ(session.SizeType(), 2);
    EXPECT_EQ(session.MosaicType(), 3);
    EXPECT_EQ(session.CurrentTrimmingState(), state);
    const CTrimmingParam& rects = annotations->m_trimParam;
    EXPECT_EQ(rects.GetSize(), 120);
    EXPECT_EQ(rects.At(0), state.area1.rect);
    EXPECT_EQ(rects.At(119), state.area2.rect);
}

// A header from another video or a damaged file never gives a range or areas outside the video.
TEST(TrimmingStateTest, DamagedHeaderFallsBackToTheWholeVideo) {
    for (const auto& [start, end] :
         std::vector<std::pair<int, int>>{{-4, 50}, {10, 500}, {60, 60}, {70, 20}}) {
        CLFFManager markers;
        markers.SetRangeStart(start);
        markers.SetRangeEnd(end);
        markers.SetArea1Frame(400);
        markers.SetArea1Rect({1, 2, 3, 4});
        markers.SetArea2Frame(-7);
        const kivra::TrimmingState state = kivra::TrimmingStateFromMarkers(markers, 100);
        EXPECT_EQ(state.rangeStart, 0) << start << ".." << end;
        EXPECT_EQ(state.rangeEnd, 99) << start << ".." << end;
        EXPECT_FALSE(state.area1.IsSet());
        EXPECT_FALSE(state.area2.IsSet());
    }
}

}  // namespace
