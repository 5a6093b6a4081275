// Pictures asked of a stream's own thread: a view that has moved on gets only the newest frame,
// kept requests (the key-frame refresh) all arrive in order, what arrives is the very picture
// the stream shows for that frame, and nothing is asked of a closed stream.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

#include "reading/avi_video_stream.h"
#include "reading/picture_requests.h"
#include "support/ffmpeg_tool.h"

namespace {

using kivra::PictureRequests;
using kivra::ShownPicture;

// Holds the requests' thread inside its first decode until opened, so the test knows what is
// waiting behind it.
struct Gate {
    std::mutex lock;  // guards entered, open and arrived
    std::condition_variable changed;
    bool entered = false;
    bool open = false;
    std::vector<int> arrived;
};

TEST(PictureRequestsTest, NewestWinsAndKeptOnesStayInOrder) {
    struct Case {
        const char* name;
        std::vector<PictureRequests::Request> behind;  // asked while frame 0 decodes
        std::vector<int> arrived;
    };
    const std::vector<Case> cases = {
        {"stepping on", {{1}, {2}, {3}}, {0, 3}},
        {"key refresh, then its target", {{10, false, true}, {4}}, {0, 10, 4}},
        {"kept ones and what came before them stay",
         {{1}, {2}, {10, false, true}, {3}, {11, false, true}, {4}, {5}},
         {0, 2, 10, 3, 11, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Gate gate;
        {
            PictureRequests requests([&gate](const PictureRequests::Request& r) {
                std::unique_lock<std::mutex> hold(gate.lock);
                gate.entered = true;
                gate.changed.notify_all();
                gate.changed.wait(hold, [&gate] { return gate.open; });
                return ShownPicture{0, r.frame, r.deinterlace, {}};
            });
            const auto arrived = [&gate](ShownPicture&& p) {
                const std::lock_guard<std::mutex> hold(gate.lock);
                gate.arrived.push_back(p.frame);
            };
            requests.Ask({0}, arrived);
            {
                std::unique_lock<std::mutex> hold(gate.lock);
                gate.changed.wait(hold, [&gate] { return gate.entered; });
            }
            for (const auto& r : c.behind) {
                requests.Ask(r, arrived);
            }
            {
                const std::lock_guard<std::mutex> hold(gate.lock);
                gate.open = true;
            }
            gate.changed.notify_all();
            requests.WaitIdle();
        }
        EXPECT_EQ(gate.arrived, c.arrived);
    }
}

TEST(PictureRequestsTest, AStreamSendsTheFramesOwnPictureAndNothingOnceClosed) {
    const kivra::test::TempDir dir;
    const std::string avi = dir.File("b frames.avi");
    ASSERT_TRUE(
        kivra::test::RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25", "-frames:v",
                                "40", "-c:v", "mpeg4", "-bf", "2", "-g", "12", avi}));
    CAviVideoStream shown(avi);
    CAviVideoStream reference(avi);
    ASSERT_EQ(shown.OpenStream(), CAviVideoStream::kOpened);
    ASSERT_EQ(reference.OpenStream(), CAviVideoStream::kOpened);

    std::mutex lock;  // guards got
    std::vector<ShownPicture> got;
    const auto arrived = [&](ShownPicture&& p) {
        const std::lock_guard<std::mutex> hold(lock);
        got.push_back(std::move(p));
    };
    const std::vector<std::pair<int, bool>> asked = {
        {31, false}, {5, false}, {5, true}, {0, false}};
    for (const auto& [frame, deinterlace] : asked) {
        shown.RequestFrame(frame, deinterlace, true, arrived);
    }
    shown.WaitForRequestedFrames();
    ASSERT_EQ(got.size(), asked.size());
    for (size_t i = 0; i < asked.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].opening, shown.Opening());
        EXPECT_EQ(got[i].frame, asked[i].first);
        EXPECT_EQ(got[i].deinterlaced, asked[i].second);
        kivra::Dib expected;
        ASSERT_TRUE(reference.CopyFrame(asked[i].first, asked[i].second, expected));
        EXPECT_TRUE(got[i].dib.bits == expected.bits);
    }
    EXPECT_NE(got[1].dib.bits, got[2].dib.bits) << "deinterlacing travels with the request";

    got.clear();
    for (int frame = 39; frame >= 0; --frame) {
        shown.RequestFrame(frame, false, false, arrived);
    }
    shown.CloseStream();
    const size_t atClose = got.size();
    EXPECT_LE(atClose, 40u);
    shown.RequestFrame(3, false, true, arrived);  // closed: refused
    EXPECT_EQ(got.size(), atClose);
}

}  // namespace
