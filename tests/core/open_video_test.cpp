// Two open videos in one process, as two views of one window will hold them: each keeps its own
// frame, markers, marker ID, gait events and undo history, whatever is done to the other.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "markers/lff_manager.h"
#include "reading/avi_video_stream.h"
#include "support/ffmpeg_tool.h"
#include "support/recording_host.h"
#include "workspace/open_video.h"

namespace {

using kivra::test::TempDir;

struct Clip {
    const char* name;
    const char* size;
    int frames;
    int moveTo;   // where its cursor goes
    double x, y;  // where its markers are clicked
};

constexpr std::array<Clip, 2> kClips = {{
    {"left walk.avi", "96x64", 30, 12, 20.5, 30.5},
    {"右 $x;.avi", "128x96", 18, 5, 70.5, 40.5},
}};

// One open video with its actions, over a host and settings of its own or shared.
struct Opened {
    Opened(CInifileManager& settings, const std::string& folder)
        : video(host, kivra::test::DocumentGroups(settings), settings.Trimming(), folder),
          actions(video, kivra::test::WorkspaceGroups(settings), host) {}
    kivra::test::RecordingHost host;
    kivra::OpenVideo video;
    kivra::Workspace actions;
    int moves = 0;
    kivra::FrameCursor::Subscription follow = video.Cursor().Observe([this](int) { ++moves; });
};

std::vector<T_MARKER> Row(const kivra::OpenVideo& v, int id) {
    return v.Annotations()->m_markers.Row(id - 1);
}

class OpenVideoTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.ok());
        for (size_t i = 0; i < kClips.size(); ++i) {
            const Clip& c = kClips[i];
            const std::string path = dir.File(c.name);
            ASSERT_TRUE(kivra::test::RunFfmpeg(
                {"-f", "lavfi", "-i", std::string("testsrc=size=") + c.size + ":rate=25",
                 "-frames:v", std::to_string(c.frames), "-c:v", "mjpeg", path}));
            videos[i] = std::make_unique<Opened>(settings, settingsDir.path());
            ASSERT_TRUE(videos[i]->actions.OpenVideo(path).ok()) << c.name;
        }
    }
    kivra::OpenVideo& V(size_t i) { return videos[i]->video; }

    TempDir dir{"two videos"};
    TempDir settingsDir;
    CInifileManager settings{std::string()};  // shared, as one window's videos share it
    std::array<std::unique_ptr<Opened>, 2> videos;
};

TEST_F(OpenVideoTest, EachVideoKeepsItsFrameMarkersIdEventsAndHistory) {
    for (size_t i = 0; i < kClips.size(); ++i) {
        ASSERT_EQ(V(i).Session().FrameCount(), kClips[i].frames);
        ASSERT_EQ(V(i).Cursor().Current(), 0);
    }
    // Each step is done on one video; the other must not hear or change.
    for (size_t i = 0; i < kClips.size(); ++i) {
        const Clip& c = kClips[i];
        kivra::OpenVideo& mine = V(i);
        kivra::OpenVideo& other = V(1 - i);
        const int otherFrame = other.Cursor().Current();
        const int otherMoves = videos[1 - i]->moves;
        const int otherSteps = other.History().Count();
        const int otherId = other.Session().MarkerId();

        ASSERT_TRUE(mine.Cursor().MoveTo(c.moveTo));
        EXPECT_TRUE(mine.ClickMarker(c.moveTo, c.x, c.y));  // ID 1, then ID 2 is next
        EXPECT_TRUE(mine.ClickMarker(c.moveTo, c.x + 5, c.y + 5));
        EXPECT_TRUE(mine.Session().EditGaitEvents(
            [&](kivra::GaitEventList& list) { return list.Add({.frame = c.moveTo}, 0, 1000); }));

        EXPECT_EQ(mine.Cursor().Current(), c.moveTo);
        EXPECT_EQ(mine.Session().MarkerId(), 3);
        EXPECT_EQ(Row(mine, 1), (std::vector<T_MARKER>{{c.moveTo, c.x, c.y}}));
        EXPECT_EQ(mine.History().Count(), 3);
        EXPECT_TRUE(mine.Annotations()->m_markers.IsModified());

        EXPECT_EQ(other.Cursor().Current(), otherFrame) << c.name;
        EXPECT_EQ(videos[1 - i]->moves, otherMoves) << c.name;
        EXPECT_EQ(other.History().Count(), otherSteps) << c.name;
        EXPECT_EQ(other.Session().MarkerId(), otherId) << c.name;
    }
    EXPECT_EQ(Row(V(0), 2), (std::vector<T_MARKER>{{12, 25.5, 35.5}}));
    EXPECT_EQ(Row(V(1), 2), (std::vector<T_MARKER>{{5, 75.5, 45.5}}));

    // Undo in the first takes back its own steps only.
    for (int n = 0; n < 3; ++n) {
        V(0).History().Undo();
    }
    EXPECT_TRUE(Row(V(0), 1).empty());
    EXPECT_TRUE(V(0).Session().GaitEvents().Events().empty());
    EXPECT_FALSE(V(0).Annotations()->m_markers.IsModified()) << "back at the opened state";
    EXPECT_EQ(V(1).History().Index(), 3);
    EXPECT_EQ(Row(V(1), 1), (std::vector<T_MARKER>{{5, 70.5, 40.5}}));
    ASSERT_EQ(V(1).Session().GaitEvents().Events().size(), 1u);
    EXPECT_TRUE(V(1).Annotations()->m_markers.IsModified());

    // Undo in the second, redo in the first: each history on its own video.
    V(1).History().Undo();  // the gait event
    V(0).History().Redo();  // the first marker
    EXPECT_TRUE(V(1).Session().GaitEvents().Events().empty());
    EXPECT_EQ(Row(V(1), 2).size(), 1u);
    EXPECT_EQ(Row(V(0), 1), (std::vector<T_MARKER>{{12, 20.5, 30.5}}));
    EXPECT_TRUE(Row(V(0), 2).empty());

    // A move of one cursor resets only its own marker ID (increment mode).
    V(1).Cursor().MoveTo(0);
    EXPECT_EQ(V(1).Session().MarkerId(), 1);
    EXPECT_EQ(V(0).Session().MarkerId(), 3);

    // Closing one leaves the other open with its work.
    videos[0]->actions.CloseVideo();
    EXPECT_FALSE(V(0).IsOpen());
    EXPECT_EQ(V(0).History().Count(), 0);
    EXPECT_TRUE(V(1).IsOpen());
    EXPECT_EQ(V(1).History().Count(), 3);
    EXPECT_EQ(Row(V(1), 1).size(), 1u);
}

TEST_F(OpenVideoTest, SkipModeClicksMoveOnlyTheirOwnCursorWithinTheRange) {
    settings.MarkerId().mode = kivra::MarkerIdMode::kSkip;
    settings.MarkerId().skipFrames = 4;
    ASSERT_TRUE(V(1).Session().SetPlayRange(0, 10));
    // From frame 8 the skip stops at the range's end.
    for (const auto& [start, expected] : std::vector<std::pair<int, int>>{{0, 4}, {8, 10}}) {
        ASSERT_TRUE(V(1).Cursor().MoveTo(start));
        EXPECT_TRUE(V(1).ClickMarker(start, 10, 10));
        EXPECT_EQ(V(1).Cursor().Current(), expected);
        EXPECT_EQ(V(1).Session().MarkerId(), 1) << "skip mode keeps the ID";
    }
    EXPECT_EQ(V(0).Cursor().Current(), 0);
    EXPECT_EQ(V(0).History().Count(), 0);
}

}  // namespace
