// Following markers through real encoded videos of targets whose every position is known.
#include "tracking/marker_tracker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "markers/lff_manager.h"
#include "reading/avi_video_stream.h"
#include "support/ffmpeg_tool.h"
#include "support/target_video.h"

namespace {

using kivra::IdTrack;
using kivra::TrackedPoint;
using kivra::TrackRequest;
using kivra::TrackResult;
using kivra::TrackStop;
using kivra::test::Target;
using kivra::test::TargetPoint;
using kivra::test::TempDir;

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr int kFrames = 24;

// A red marker on a wave, a checker patch (no marker) drifting the other way, a green marker
// that runs out of the picture, and a blue marker that fades away on frames 8 to 14.
Target Wave() {
    return {[](int f) {
                return TargetPoint{30 + 3.3 * f, 40 + 8 * std::sin(f / 4.0)};
            },
            6.0, 30, 40, 220};
}
Target Checker() {
    return {[](int f) { return TargetPoint{120 - 2.1 * f, 85 + 0.7 * f}; }, 8.0, 0, 0, 0, true};
}
Target Runner() {
    return {[](int f) { return TargetPoint{60 + 7.0 * f, 12.0}; }, 6.0, 40, 200, 40};
}
Target Fader() {
    Target t{[](int f) { return TargetPoint{20 + 2.0 * f, 104.0}; }, 6.0, 220, 60, 20};
    t.opacity = [](int f) { return std::clamp((14 - f) / 6.0, 0.0, 1.0); };
    return t;
}
const std::vector<Target>& Targets() {
    static const std::vector<Target> targets = {Wave(), Checker(), Runner(), Fader()};
    return targets;
}

const std::vector<std::string> kMjpeg = {"-c:v", "mjpeg", "-q:v", "2"};

class TrackerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(
            kivra::test::WriteTargetVideo(avi, kWidth, kHeight, kFrames, Targets(), kMjpeg));
        ASSERT_EQ(stream.OpenStream(), CAviVideoStream::kOpened);
        EXPECT_EQ(markers.LoadMarkers("", 4), CLFFManager::kNoFile);
    }

    // ID target + 1 clicked on frame at its true position.
    void Click(size_t target, int frame) {
        const TargetPoint p = Targets()[target].path(frame);
        markers.SetMarker(int(target), frame, p.x, p.y);
    }

    TrackResult Track(int from, int to, std::vector<int> ids = {}) {
        TrackRequest request;
        request.startFrame = from;
        request.endFrame = to;
        request.ids = std::move(ids);
        kivra::NullProgressSink progress;
        return kivra::TrackMarkers(stream, markers, request, progress);
    }

    TempDir dir;
    const std::string avi = dir.File("targets.avi");
    CAviVideoStream stream{avi};
    CLFFManager markers;
};

// The largest distance of a track's points from the target's true positions.
double WorstError(const IdTrack& track, const Target& target) {
    double worst = 0.0;
    for (const TrackedPoint& p : track.placed) {
        const TargetPoint t = target.path(p.frame);
        worst = std::max(worst, std::hypot(p.x - t.x, p.y - t.y));
    }
    return worst;
}

// Placed on consecutive frames right after start.
bool Consecutive(const IdTrack& track, int start) {
    for (size_t i = 0; i < track.placed.size(); ++i) {
        if (track.placed[i].frame != start + 1 + int(i)) {
            return false;
        }
    }
    return true;
}

bool SameStore(const CLFFManager& a, const CLFFManager& b) {
    if (a.GetRowCount() != b.GetRowCount() || a.FramesWithMarkers() != b.FramesWithMarkers()) {
        return false;
    }
    for (int row = 0; row < a.GetRowCount(); ++row) {
        const auto& ra = a.Row(row);
        const auto& rb = b.Row(row);
        if (ra.size() != rb.size()) {
            return false;
        }
        for (size_t i = 0; i < ra.size(); ++i) {
            if (ra[i].frame != rb[i].frame || ra[i].x != rb[i].x || ra[i].y != rb[i].y) {
                return false;
            }
        }
    }
    return true;
}

TEST_F(TrackerTest, FollowsAMarkerAndAPlainPointToTheEndWithinAFractionOfAPixel) {
    Click(0, 0);
    Click(1, 0);
    const TrackResult result = Track(0, kFrames - 1);
    ASSERT_TRUE(result.failure.empty()) << result.failure;
    ASSERT_EQ(result.tracks.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const IdTrack& track = result.tracks[i];
        EXPECT_EQ(track.id, int(i) + 1);
        EXPECT_EQ(track.stop, TrackStop::RangeEnd) << kivra::TrackStopText(track);
        EXPECT_EQ(track.stopFrame, kFrames - 1);
        EXPECT_EQ(track.placed.size(), size_t(kFrames - 1));
        EXPECT_TRUE(Consecutive(track, 0));
        EXPECT_LT(WorstError(track, Targets()[i]), 0.5) << "target " << i;
    }
}

TEST_F(TrackerTest, StopsWhereTheTargetLeavesThePictureOrFadesInsteadOfDrifting) {
    Click(0, 0);
    Click(2, 0);
    Click(3, 0);
    const TrackResult result = Track(0, kFrames - 1);
    ASSERT_EQ(result.tracks.size(), 3u);
    EXPECT_EQ(result.tracks[0].stop, TrackStop::RangeEnd);

    // The runner's centre crosses the right edge between frames 14 and 15.
    const IdTrack& runner = result.tracks[1];
    EXPECT_TRUE(runner.stop == TrackStop::LeftPicture || runner.stop == TrackStop::Lost)
        << kivra::TrackStopText(runner);
    EXPECT_LE(runner.stopFrame, 15);
    EXPECT_GE(runner.placed.size(), 8u);  // it was followed while it was whole
    EXPECT_LT(WorstError(runner, Targets()[2]), 1.0);

    // The fader is half gone on frame 11 and invisible from frame 14.
    const IdTrack& fader = result.tracks[2];
    EXPECT_EQ(fader.stop, TrackStop::Lost) << kivra::TrackStopText(fader);
    EXPECT_LE(fader.stopFrame, 13);
    EXPECT_GE(fader.placed.size(), 7u);
    EXPECT_LT(WorstError(fader, Targets()[3]), 1.0);
    for (const IdTrack& track : result.tracks) {
        EXPECT_TRUE(Consecutive(track, 0));
        if (!track.placed.empty() && track.stop != TrackStop::RangeEnd) {
            EXPECT_EQ(track.placed.back().frame + 1, track.stopFrame);
        }
    }
}

TEST_F(TrackerTest, StopsBeforeTheNextClickAndAppliesAsOneRemovableEdit) {
    Click(0, 0);
    // A later click of ID 1 placed deliberately off the target: the run must end before it and
    // leave it as the user put it.
    markers.SetMarker(0, 10, 5.0, 5.0);
    Click(1, 5);  // ID 2 is on another frame only
    markers.SetModified(false);
    const CLFFManager before = markers;

    const TrackResult result = Track(0, kFrames - 1, {1, 2});
    EXPECT_TRUE(SameStore(markers, before));  // working it out changes nothing
    ASSERT_EQ(result.tracks.size(), 2u);
    EXPECT_EQ(result.tracks[0].stop, TrackStop::ReachedMarker);
    EXPECT_EQ(result.tracks[0].stopFrame, 10);
    EXPECT_EQ(result.tracks[0].placed.size(), 9u);
    EXPECT_EQ(result.tracks[1].stop, TrackStop::NoStartMarker);
    EXPECT_TRUE(result.tracks[1].placed.empty());

    // Undo puts the rows a run touched back as they were captured.
    const CLFFManager::RowsState rows = markers.CaptureRows({0, 1});
    EXPECT_EQ(kivra::ApplyTrackResult(result, markers), 9);
    EXPECT_TRUE(markers.IsModified());
    ASSERT_EQ(markers.Row(0).size(), 11u);
    EXPECT_EQ(markers.Row(0).back().frame, 10);
    EXPECT_EQ(markers.Row(0).back().x, 5.0);
    // Applying the same result again finds every frame taken and places nothing.
    EXPECT_EQ(kivra::ApplyTrackResult(result, markers), 0);

    markers.RestoreRows(rows);
    EXPECT_TRUE(SameStore(markers, before));
}

// Asks to stop on the fifth frame; counts how the job was shown.
class CancellingSink final : public kivra::ProgressSink {
public:
    void Begin(int, int, const std::string&, kivra::PercentLabel) override { ++begun; }
    void SetCaption(const std::string&) override {}
    void SetPosition(int) override {}
    void Pump() override { ++pumps; }
    void End() override { ++ended; }
    void OfferCancel() override { offered = true; }
    bool CancelRequested() const override { return pumps >= 5; }

    int begun = 0, ended = 0, pumps = 0;
    bool offered = false;
};

TEST_F(TrackerTest, CancellingStopsAtOnceAndLeavesTheStoreAsItWas) {
    Click(0, 0);
    Click(1, 0);
    const CLFFManager before = markers;
    TrackRequest request;
    request.startFrame = 0;
    request.endFrame = kFrames - 1;
    CancellingSink sink;
    const TrackResult result = kivra::TrackMarkers(stream, markers, request, sink);

    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(sink.offered);
    EXPECT_EQ(sink.begun, 1);
    EXPECT_GE(sink.ended, 1);
    EXPECT_TRUE(SameStore(markers, before));
    for (const IdTrack& track : result.tracks) {
        EXPECT_EQ(track.stop, TrackStop::Cancelled);
        EXPECT_EQ(track.stopFrame, 5);
        EXPECT_EQ(track.placed.size(), 4u);
        EXPECT_TRUE(Consecutive(track, 0));
    }
    // What was found up to the cancel is sound, and comes off again completely.
    const CLFFManager::RowsState rows = markers.CaptureRows({0, 1});
    EXPECT_EQ(kivra::ApplyTrackResult(result, markers), 8);
    markers.RestoreRows(rows);
    EXPECT_TRUE(SameStore(markers, before));
}

TEST_F(TrackerTest, RefusesFramesOutsideTheVideo) {
    Click(0, 0);
    EXPECT_FALSE(Track(0, kFrames).failure.empty());
    EXPECT_FALSE(Track(-1, 5).failure.empty());
    EXPECT_FALSE(Track(6, 5).failure.empty());
    // A start frame without markers is no failure: there is just nothing to follow.
    const TrackResult empty = Track(3, 8);
    EXPECT_TRUE(empty.failure.empty());
    EXPECT_TRUE(empty.tracks.empty());
}

TEST_F(TrackerTest, FillsBetweenTwoClicksByTrackingOrFallsBackToTheStraightLine) {
    const TargetPoint a = Wave().path(2);
    const TargetPoint b = Wave().path(9);
    const auto between = kivra::TrackBetween(stream, {2, a.x, a.y}, {9, b.x, b.y}, false);
    ASSERT_TRUE(between.has_value());
    ASSERT_EQ(between->size(), 6u);
    for (const TrackedPoint& p : *between) {
        const TargetPoint t = Wave().path(p.frame);
        EXPECT_LT(std::hypot(p.x - t.x, p.y - t.y), 0.5) << "frame " << p.frame;
    }
    // The wave bends: the straight line between the clicks is far off on the frames between.
    const TargetPoint mid = Wave().path(6);
    EXPECT_GT(std::abs(a.y + (b.y - a.y) * 4.0 / 7.0 - mid.y), 2.0);
    // A later click somewhere else than where the point arrives: no tracked fill.
    EXPECT_FALSE(kivra::TrackBetween(stream, {2, a.x, a.y}, {9, b.x + 10, b.y}, false));
    EXPECT_FALSE(kivra::TrackBetween(stream, {2, a.x, a.y}, {9, std::nan(""), b.y}, false));

    // Skip mode's fill: tracked when it can be, the straight line otherwise.
    markers.SetMarker(0, 2, a.x, a.y);
    markers.SetMarker(0, 9, b.x, b.y);
    bool tracked = false;
    EXPECT_EQ(
        kivra::FillSkippedFramesByTracking(stream, markers, 0, 9, b.x, b.y, 10, 0, false, &tracked),
        6);
    EXPECT_TRUE(tracked);
    EXPECT_LT(std::abs(markers.Row(0)[4].y - mid.y), 0.5);

    markers.SetMarker(1, 2, a.x, a.y);
    markers.SetMarker(1, 9, b.x + 10, b.y);
    EXPECT_EQ(kivra::FillSkippedFramesByTracking(stream, markers, 1, 9, b.x + 10, b.y, 10, 0, false,
                                                 &tracked),
              6);
    EXPECT_FALSE(tracked);
    EXPECT_DOUBLE_EQ(markers.Row(1)[4].y, a.y + (b.y - a.y) * 4.0 / 7.0);
}

// Markers usually all have one colour: two of them passing close by must not swap.
TEST(TrackerLookAlikes, MarkersOfOneColourKeepTheirOwnPaths) {
    TempDir dir;
    const std::string avi = dir.File("pair.avi");
    const Target upper{[](int f) { return TargetPoint{20 + 5.0 * f, 50.0}; }, 5.0, 30, 40, 220};
    const Target lower{[](int f) { return TargetPoint{30 + 4.0 * f, 66.0}; }, 5.0, 30, 40, 220};
    ASSERT_TRUE(
        kivra::test::WriteTargetVideo(avi, kWidth, kHeight, kFrames, {upper, lower}, kMjpeg));
    CAviVideoStream stream(avi);
    ASSERT_EQ(stream.OpenStream(), CAviVideoStream::kOpened);
    CLFFManager markers;
    markers.LoadMarkers("", 2);
    markers.SetMarker(0, 0, upper.path(0).x, upper.path(0).y);
    markers.SetMarker(1, 0, lower.path(0).x, lower.path(0).y);
    TrackRequest request;
    request.endFrame = kFrames - 1;
    kivra::NullProgressSink progress;
    const TrackResult result = kivra::TrackMarkers(stream, markers, request, progress);
    ASSERT_EQ(result.tracks.size(), 2u);
    // One overtakes the other 16 pixels away (6 between their rims) on frame 10.
    EXPECT_EQ(result.tracks[0].stop, TrackStop::RangeEnd) << kivra::TrackStopText(result.tracks[0]);
    EXPECT_EQ(result.tracks[1].stop, TrackStop::RangeEnd) << kivra::TrackStopText(result.tracks[1]);
    EXPECT_LT(WorstError(result.tracks[0], upper), 0.6);
    EXPECT_LT(WorstError(result.tracks[1], lower), 0.6);
}

// The same run read from an H.264 file with B-frames, whose pictures come out of the decoder in
// another order than they are stored: started at frame 0 and stepped through, or started on a
// B-frame in the middle after the view jumped about, it sees the same pictures.
TEST(TrackerFrameExactness, ABFrameSourceGivesTheSameTrackByJumpingAndByStepping) {
    TempDir dir;
    const std::string avi = dir.File("b frames.avi");
    ASSERT_TRUE(kivra::test::WriteTargetVideo(
        avi, kWidth, kHeight, kFrames, {Wave(), Checker()},
        {"-c:v", "libx264", "-bf", "3", "-g", "12", "-crf", "12", "-pix_fmt", "yuv444p"}));
    std::string types;
    ASSERT_TRUE(
        kivra::test::RunProgramOutput({"ffprobe", "-v", "error", "-select_streams", "v",
                                       "-show_entries", "frame=pict_type", "-of", "csv=p=0", avi},
                                      types));
    ASSERT_NE(types.find('B'), std::string::npos) << "the encoder made no B-frames";

    CAviVideoStream stream(avi);
    ASSERT_EQ(stream.OpenStream(), CAviVideoStream::kOpened);
    CLFFManager markers;
    markers.LoadMarkers("", 2);
    for (int id = 0; id < 2; ++id) {
        const TargetPoint p = (id == 0 ? Wave() : Checker()).path(0);
        markers.SetMarker(id, 0, p.x, p.y);
    }
    TrackRequest request;
    request.endFrame = kFrames - 1;
    kivra::NullProgressSink progress;
    const TrackResult stepped = kivra::TrackMarkers(stream, markers, request, progress);

    for (const int frame : {20, 3, 15, 9}) {
        stream.LoadFrame(frame);
    }
    markers.DeleteAllMarkers();
    constexpr int kMiddle = 7;
    for (int id = 0; id < 2; ++id) {
        const TargetPoint p = (id == 0 ? Wave() : Checker()).path(kMiddle);
        markers.SetMarker(id, kMiddle, p.x, p.y);
    }
    request.startFrame = kMiddle;
    const TrackResult jumped = kivra::TrackMarkers(stream, markers, request, progress);

    ASSERT_EQ(stepped.tracks.size(), 2u);
    ASSERT_EQ(jumped.tracks.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const Target target = i == 0 ? Wave() : Checker();
        ASSERT_EQ(stepped.tracks[i].placed.size(), size_t(kFrames - 1));
        ASSERT_EQ(jumped.tracks[i].placed.size(), size_t(kFrames - 1 - kMiddle));
        // A picture a frame early or late would be more than two pixels off.
        EXPECT_LT(WorstError(stepped.tracks[i], target), 0.6);
        EXPECT_LT(WorstError(jumped.tracks[i], target), 0.6);
        for (const TrackedPoint& p : jumped.tracks[i].placed) {
            const TrackedPoint& q = stepped.tracks[i].placed[size_t(p.frame - 1)];
            EXPECT_LT(std::hypot(p.x - q.x, p.y - q.y), 0.75) << "frame " << p.frame;
        }
    }
}

}  // namespace
