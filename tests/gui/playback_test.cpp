// The playback controller over a real stream, with the tick count under the test's control.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "frame/playback_controller.h"
#include "reading/avi_video_stream.h"
#include "session/frame_cursor.h"
#include "support/ffmpeg_tool.h"

namespace {

using kivra::test::RunFfmpeg;
using kivra::test::TempDir;

// The window's part: records where the trackbar and the views were told the frame went.
class TestHost final : public kivra::PlaybackHost {
public:
    bool HasDocumentPath() const override { return stream != nullptr; }
    int RangeStart() const override { return rangeStart; }
    int RangeEnd() const override { return rangeEnd; }
    int Area1Frame() const override { return area1; }
    int Area2Frame() const override { return area2; }
    float PlaySpeedRate() const override { return speed; }
    kivra::ViewMode ViewMode() const override { return viewMode; }
    void LeaveAreaMode() override { viewMode = kivra::kNormalMode; }
    void RedrawVideoNow() override {
        if (stream != nullptr)
            redrawn.push_back(cursor.Shown());
    }
    void SetPlayButtonPlaying(bool playing) override { playButton = playing; }
    void SetRateText(const QString& text) override { rate = text; }

    CAviVideoStream* stream = nullptr;
    int rangeStart = 0, rangeEnd = 0, area1 = -1, area2 = -1, trackbar = -1;
    kivra::ViewMode viewMode = kivra::kNormalMode;
    float speed = 1.0f;
    bool playButton = false;
    QString rate;
    std::vector<int> shown, redrawn;
    kivra::FrameCursor cursor{[this] { return stream; }};
    const kivra::FrameCursor::Subscription follow = cursor.Observe([this](int frame) {
        trackbar = frame;
        shown.push_back(frame);
    });
};

class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override {
        // 100 frames at 30000/1001 with a key frame every 10.
        ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=30000/1001",
                               "-frames:v", "100", "-c:v", "msmpeg4v2", "-g", "10", avi}));
        stream = std::make_unique<CAviVideoStream>(avi);
        ASSERT_EQ(stream->OpenStream(), CAviVideoStream::kOpened);
        host.stream = stream.get();
        host.rangeStart = 0;
        host.rangeEnd = 99;
        player.SetTickSource([this] { return tick; });
    }
    int Current() const { return host.cursor.Current(); }
    // Where the test starts from, before anything is recorded.
    void StartAt(int frame) {
        host.cursor.MoveTo(frame);
        host.shown.clear();
        host.trackbar = -1;
    }

    TempDir dir;
    const std::string avi = dir.File("walk.avi");
    std::unique_ptr<CAviVideoStream> stream;
    TestHost host;
    CPlaybackController player{host, host.cursor};
    uint32_t tick = 1000;
};

TEST_F(PlaybackTest, ForwardPlayFollowsTheClockAndEndsAtRangeStart) {
    host.rangeStart = 10;
    host.rangeEnd = 20;
    StartAt(50);  // outside the range: play starts at range start
    player.Play();
    ASSERT_TRUE(player.IsForwardPlaying());
    EXPECT_TRUE(host.playButton);
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
    EXPECT_EQ(host.shown.size(), size_t(ticks) + 1);
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_FALSE(host.playButton);
    EXPECT_EQ(Current(), 10);
    EXPECT_EQ(host.trackbar, 10);
    // The range end itself is never shown while playing.
    for (size_t i = 0; i + 1 < host.shown.size(); ++i) {
        EXPECT_LT(host.shown[i], 20);
    }
    EXPECT_FALSE(host.redrawn.empty());  // key-frame refresh before rewinding
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
    host.speed = 0.1f;
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
    host.rangeStart = 5;
    host.rangeEnd = 8;
    StartAt(60);
    player.ReversePlay();
    EXPECT_EQ(Current(), 8);
    host.speed = 2.0f;  // ignored in reverse
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
    CAviVideoStream zero(broken);
    if (zero.OpenStream() != CAviVideoStream::kOpened) {
        GTEST_SKIP() << "the damaged copy does not open";
    }
    host.stream = &zero;
    player.Play();
    player.ReversePlay();
    EXPECT_FALSE(player.IsPlaying());
}

TEST_F(PlaybackTest, FirstAndLastStopAtLandmarksInOrder) {
    host.rangeStart = 20;
    host.rangeEnd = 60;
    host.area1 = 30;
    host.area2 = 80;  // beyond range end
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
    host.redrawn.clear();
    host.shown.clear();
    player.First();
    EXPECT_EQ(Current(), 0);
    EXPECT_EQ(host.redrawn, (std::vector<int>{10}));  // refreshed through the next key frame
    EXPECT_EQ(host.shown, (std::vector<int>{0})) << "the refresh is painted, not announced";
    player.First();
    EXPECT_EQ(Current(), 0);
    player.Previous();
    EXPECT_EQ(Current(), 0);
    EXPECT_EQ(host.trackbar, 0);  // the trackbar is told the clamped frame
    player.Next();
    EXPECT_EQ(Current(), 1);
}

TEST_F(PlaybackTest, RatePaneTexts) {
    player.UpdateRateStatus();
    EXPECT_EQ(host.rate, "0.00 / 29.97(fps)");
    host.stream = nullptr;
    player.UpdateRateStatus();
    EXPECT_EQ(host.rate, "0.00 / 0.00(fps)");
    host.stream = stream.get();
    StartAt(0);
    player.Play();
    tick += 100;
    player.OnForwardTick();
    player.UpdateRateStatus();
    EXPECT_EQ(host.rate, "20.00 / 29.97(fps)");  // two frames in 100 ms
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
    CAviVideoStream scanned(scannedPath);
    ASSERT_EQ(scanned.OpenStream(), CAviVideoStream::kOpened);
    host.stream = &scanned;
    StartAt(5);
    player.First();
    EXPECT_EQ(Current(), 0);
    EXPECT_EQ(host.redrawn, (std::vector<int>{0}));
}

}  // namespace
