// The playback controller over a real open video, with the tick count under the test's control.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "frame/playback_controller.h"
#include "reading/avi_video_stream.h"
#include "session/frame_cursor.h"
#include "support/ffmpeg_tool.h"
#include "support/recording_host.h"

namespace {

using kivra::test::RunFfmpeg;
using kivra::test::TempDir;

// The window's part: what was painted at once, the play button and the rate pane.
class WindowSide final : public kivra::PlaybackHost {
public:
    explicit WindowSide(const kivra::FrameCursor& cursor) : m_cursor(cursor) {}
    void RedrawVideoNow() override { redrawn.push_back(m_cursor.Shown()); }
    void SetPlayButtonPlaying(bool playing) override { playButton = playing; }
    void SetRateText(const QString& text) override { rate = text; }

    bool playButton = false;
    QString rate;
    std::vector<int> redrawn;

private:
    const kivra::FrameCursor& m_cursor;
};

class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override {
        // 100 frames at 30000/1001 with a key frame every 10.
        ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=30000/1001",
                               "-frames:v", "100", "-c:v", "msmpeg4v2", "-g", "10", avi}));
        ASSERT_TRUE(Open(avi));
        player.SetTickSource([this] { return tick; });
    }
    // Opens through the workspace, as the window does, with the whole video as the play range.
    bool Open(const std::string& path) {
        return doc.Open(path) && doc.video.IsOpen() && Session().SetPlayRange(0, 99);
    }
    kivra::EditSession& Session() const { return doc.video.Session(); }
    int Current() const { return doc.video.Cursor().Current(); }
    // Where the test starts from, before anything is recorded.
    void StartAt(int frame) {
        doc.video.Cursor().MoveTo(frame);
        shown.clear();
        trackbar = -1;
    }

    TempDir dir;
    const std::string avi = dir.File("walk.avi");
    mutable kivra::test::RecordedDocument doc;
    WindowSide window{doc.video.Cursor()};
    CPlaybackController player{doc.video, window, doc.settings.Slider()};
    // Where the trackbar and the views were told the frame went.
    int trackbar = -1;
    std::vector<int> shown;
    const kivra::FrameCursor::Subscription follow = doc.video.Cursor().Observe([this](int frame) {
        trackbar = frame;
        shown.push_back(frame);
    });
    uint32_t tick = 1000;
};

TEST_F(PlaybackTest, ForwardPlayFollowsTheClockAndEndsAtRangeStart) {
    ASSERT_TRUE(Session().SetPlayRange(10, 20));
    ASSERT_TRUE(Session().SetViewMode(kivra::kAreaMode));
    StartAt(50);  // outside the range: play starts at range start
    player.Play();
    ASSERT_TRUE(player.IsForwardPlaying());
    EXPECT_EQ(Session().GetViewMode(), kivra::kNormalMode);  // no area is set while playing
    EXPECT_TRUE(window.playButton);
    EXPECT_EQ(Current(), 10);
    EXPECT_EQ(player.TimerInterval(), 33);  // 1000 / 29.97, truncated
    tick += 100;                            // a late tick skips frames instead of slowing down
    player.OnForwardTick();
    EXPECT_EQ(Current(), 12);  // (333 + 100) ms at 29.97 frames per second
    int ticks = 1;
    for (; ticks < 40 && player.IsPlaying(); ++ticks) {
        tick += 33;
        player.OnForwardTick();
    }
    // The trackbar and views hear of the start at range start and of each tick, once each.
    EXPECT_EQ(shown.size(), size_t(ticks) + 1);
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_FALSE(window.playButton);
    EXPECT_EQ(Current(), 10);
    EXPECT_EQ(trackbar, 10);
    // The range end itself is never shown while playing.
    for (size_t i = 0; i + 1 < shown.size(); ++i) {
        EXPECT_LT(shown[i], 20);
    }
    EXPECT_FALSE(window.redrawn.empty());  // key-frame refresh before rewinding
}

TEST_F(PlaybackTest, PlayAtRangeEndRewindsOnTheFirstTick) {
    StartAt(99);
    player.Play();
    tick += 33;
    player.OnForwardTick();
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_EQ(Current(), 0);
}

TEST_F(PlaybackTest, SlowSpeedRepeatsFramesAndTheTickCountMayWrap) {
    doc.settings.Slider().playSpeedRate = 0.1f;
    StartAt(30);
    tick = 0xFFFFFFF0u;
    player.Play();
    const uint32_t start = player.m_dwPlayTime;
    tick += 33;  // wraps past zero
    player.OnForwardTick();
    EXPECT_EQ(player.m_dwPlayTime - start, 3u);
    EXPECT_EQ(Current(), 30);
    int ticks = 1;
    while (Current() == 30 && ticks < 100) {
        tick += 33;
        player.OnForwardTick();
        ++ticks;
    }
    EXPECT_EQ(Current(), 31);
    EXPECT_GE(ticks, 10);  // about ten ticks per frame at 0.1
    EXPECT_LE(ticks, 12);
}

TEST_F(PlaybackTest, ReversePlayStepsOneFramePerTickAndStopsAtRangeStart) {
    ASSERT_TRUE(Session().SetPlayRange(5, 8));
    StartAt(60);
    player.ReversePlay();
    EXPECT_EQ(Current(), 8);
    doc.settings.Slider().playSpeedRate = 2.0f;  // ignored in reverse
    std::vector<int> seen;
    while (player.IsReversePlaying()) {
        player.OnReverseTick();
        seen.push_back(Current());
    }
    EXPECT_EQ(seen, (std::vector<int>{7, 6, 5, 5}));
    // Play pressed during reverse play stops; it does not turn around.
    player.ReversePlay();
    player.Play();
    EXPECT_FALSE(player.IsPlaying());
}

TEST_F(PlaybackTest, ZeroFrameRateRefusesToPlay) {
    // A header with scale 0 gives no frame rate.
    const std::string broken = dir.File("scale0.avi");
    {
        std::ifstream in(avi, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        const size_t strh = bytes.find("strh") + 8;
        std::memset(bytes.data() + strh + 20, 0, 4);
        std::ofstream(broken, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }
    if (!doc.Open(broken) || doc.video.Path() != broken) {
        GTEST_SKIP() << "the damaged copy does not open";
    }
    player.Play();
    player.ReversePlay();
    EXPECT_FALSE(player.IsPlaying());
}

TEST_F(PlaybackTest, FirstAndLastStopAtLandmarksInOrder) {
    ASSERT_TRUE(Session().SetPlayRange(20, 60));
    ASSERT_TRUE(Session().SetArea(0, {8, 8, 40, 40}, 30));
    ASSERT_TRUE(Session().SetArea(1, {8, 8, 40, 40}, 80));  // beyond range end
    StartAt(45);
    player.Last();
    EXPECT_EQ(Current(), 60);
    player.Last();
    EXPECT_EQ(Current(), 80);
    player.Last();
    EXPECT_EQ(Current(), 99);
    player.Last();
    EXPECT_EQ(Current(), 99);
    player.First();
    EXPECT_EQ(Current(), 80);
    player.First();
    EXPECT_EQ(Current(), 60);
    player.First();
    EXPECT_EQ(Current(), 30);
    player.First();
    EXPECT_EQ(Current(), 20);
    window.redrawn.clear();
    shown.clear();
    player.First();
    EXPECT_EQ(Current(), 0);
    EXPECT_EQ(window.redrawn, (std::vector<int>{10}));  // refreshed through the next key frame
    EXPECT_EQ(shown, (std::vector<int>{0})) << "the refresh is painted, not announced";
    player.First();
    EXPECT_EQ(Current(), 0);
    player.Previous();
    EXPECT_EQ(Current(), 0);
    EXPECT_EQ(trackbar, 0);  // the trackbar is told the clamped frame
    player.Next();
    EXPECT_EQ(Current(), 1);
}

TEST_F(PlaybackTest, RatePaneTexts) {
    player.UpdateRateStatus();
    EXPECT_EQ(window.rate, "0.00 / 29.97(fps)");
    doc.workspace.CloseVideo();
    player.UpdateRateStatus();
    EXPECT_EQ(window.rate, "0.00 / 0.00(fps)");
    ASSERT_TRUE(Open(avi));
    StartAt(0);
    player.Play();
    tick += 100;
    player.OnForwardTick();
    player.UpdateRateStatus();
    EXPECT_EQ(window.rate, "20.00 / 29.97(fps)");  // two frames in 100 ms
}

// A file whose index was lost has no key frame after its first: rewinding refreshes through the
// first frame instead of a frame that cannot be decoded on its own.
TEST_F(PlaybackTest, RewindOfAScannedFileRefreshesThroughTheFirstFrame) {
    std::string bytes = kivra::test::ReadFile(avi);
    const size_t idx1 = bytes.rfind("idx1");
    ASSERT_NE(idx1, std::string::npos);
    bytes.replace(idx1, 4, "JUNK");
    const std::string scannedPath = dir.File("walk scanned.avi");
    ASSERT_TRUE(kivra::test::WriteFile(scannedPath, bytes));
    ASSERT_TRUE(Open(scannedPath));
    StartAt(5);
    player.First();
    EXPECT_EQ(Current(), 0);
    EXPECT_EQ(window.redrawn, (std::vector<int>{0}));
}

}  // namespace
