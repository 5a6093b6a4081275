// The current frame's one owner over a real video: each move tells every observer once with
// the frame it landed on, a move without a video tells no one, a brief repaint through another
// frame is no move, and a new video starts on its first frame whatever the one before stood on.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

#include "reading/avi_video_stream.h"
#include "session/frame_cursor.h"
#include "support/ffmpeg_tool.h"

namespace {

using kivra::FrameCursor;

// Only the owner moves the frame: the stream has no position of its own, and a const cursor,
// which is all the observers hold, cannot be moved.
template <typename T>
concept HasOwnPosition = requires(T& t) {
    t.SetPosition(1);
}
|| requires(T& t) {
    t.m_nCurrentFrame;
};
template <typename T>
concept Movable = requires(T& t) {
    t.MoveTo(1);
};
static_assert(!HasOwnPosition<CAviVideoStream>);
static_assert(Movable<FrameCursor> && !Movable<const FrameCursor>);

class FrameCursorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kivra::test::RunFfmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25",
                                            "-frames:v", "30", "-c:v", "mjpeg", m_avi}));
    }
    void Open() {
        m_stream = std::make_unique<CAviVideoStream>(m_avi);
        ASSERT_EQ(m_stream->OpenStream(), CAviVideoStream::kOpened);
    }

    const kivra::test::TempDir m_dir{"kivra cursor テスト"};
    const std::string m_avi = m_dir.File("walk 'one' $x.avi");
    std::unique_ptr<CAviVideoStream> m_stream;
    FrameCursor m_cursor{[this] { return m_stream.get(); }};
    std::vector<int> m_first, m_second;
    FrameCursor::Subscription m_a = m_cursor.Observe([this](int f) { m_first.push_back(f); });
    FrameCursor::Subscription m_b = m_cursor.Observe([this](int f) { m_second.push_back(f); });
};

TEST_F(FrameCursorTest, EveryMoveTellsEachObserverOnceWithTheFrameItLandedOn) {
    int painted = 0;
    EXPECT_EQ(m_cursor.Current(), -1);
    EXPECT_FALSE(m_cursor.MoveTo(3));
    m_cursor.ShowBriefly(3, [&] { ++painted; });
    m_cursor.LoadPicture();
    EXPECT_EQ(painted, 0);
    EXPECT_TRUE(m_first.empty()) << "no video: nothing moves, no one is told";

    Open();
    EXPECT_EQ(m_cursor.Current(), 0);
    EXPECT_TRUE(m_first.empty()) << "opening is no move";
    for (const int n : {1, 20, 19, 29, 40, INT_MAX, 0, -1, INT_MIN, 12}) {
        EXPECT_TRUE(m_cursor.MoveTo(n));
    }
    // Clamped to the video; a move onto the frame it stands on is told again.
    const std::vector<int> expected{1, 20, 19, 29, 29, 29, 0, 0, 0, 12};
    EXPECT_EQ(m_first, expected);
    EXPECT_EQ(m_second, expected);
    EXPECT_EQ(m_cursor.Current(), 12);

    // A brief repaint through another frame shows it while painting and moves nothing.
    int during = -1;
    m_cursor.ShowBriefly(-4, [&] { painted = m_cursor.Shown(); });
    EXPECT_EQ(painted, 0);
    m_cursor.ShowBriefly(25, [&] {
        painted = m_cursor.Shown();
        during = m_cursor.Current();
        m_cursor.LoadPicture();
    });
    EXPECT_EQ(painted, 25);
    EXPECT_EQ(during, 12) << "the current frame stays while the other is painted";
    EXPECT_EQ(m_cursor.Shown(), 12);
    EXPECT_EQ(m_first.size(), expected.size());

    // The picture loaded is the painted frame's, then the current one's, as a reader of its own
    // decodes them.
    CAviVideoStream other(m_avi);
    ASSERT_EQ(other.OpenStream(), CAviVideoStream::kOpened);
    other.LoadFrame(25);
    EXPECT_EQ(m_stream->DisplayBitmap().bits, other.DisplayBitmap().bits);
    m_cursor.LoadPicture();
    other.LoadFrame(12);
    EXPECT_EQ(m_stream->DisplayBitmap().bits, other.DisplayBitmap().bits);

    // An observer that left hears nothing more; the others still do.
    m_b.Reset();
    EXPECT_TRUE(m_cursor.MoveTo(13));
    EXPECT_EQ(m_first.back(), 13);
    EXPECT_EQ(m_second.size(), expected.size());
}

TEST_F(FrameCursorTest, ANewVideoStartsOnItsFirstFrame) {
    Open();
    ASSERT_TRUE(m_cursor.MoveTo(17));
    // The same file again, perhaps at the same address: a new opening all the same.
    m_stream.reset();
    EXPECT_EQ(m_cursor.Current(), -1);
    Open();
    EXPECT_EQ(m_cursor.Current(), 0);
    ASSERT_TRUE(m_cursor.MoveTo(9));
    EXPECT_EQ(m_stream->OpenStream(), CAviVideoStream::kOpened);  // reopened in place
    EXPECT_EQ(m_cursor.Current(), 0);
    EXPECT_EQ(m_first, (std::vector<int>{17, 9}));

    // Observers may outlive the cursor.
    auto cursor = std::make_unique<FrameCursor>([this] { return m_stream.get(); });
    std::vector<int> seen;
    FrameCursor::Subscription late = cursor->Observe([&seen](int f) { seen.push_back(f); });
    FrameCursor::Subscription moved = std::move(late);
    cursor->MoveTo(4);
    cursor.reset();
    moved.Reset();
    EXPECT_EQ(seen, std::vector<int>{4});
}

}  // namespace
