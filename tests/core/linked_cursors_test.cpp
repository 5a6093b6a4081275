// Two videos stepped together by time: each frame of one brings the other to the frame current
// at that moment (the last one started by then), whichever is moved and whatever the rates; no
// move echoes back, and unlinked they move alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "reading/avi_video_stream.h"
#include "session/frame_cursor.h"
#include "support/ffmpeg_tool.h"
#include "sync/linked_cursors.h"

namespace {

using kivra::FrameCursor;
using kivra::SyncOffset;

struct Clip {
    std::unique_ptr<CAviVideoStream> stream;
    std::unique_ptr<FrameCursor> cursor;
};

// A clip of 1.5 s at rate, made once per rate.
std::string MakeClip(const kivra::test::TempDir& dir, std::string rate) {
    std::string name = "walk " + rate + ".avi";
    std::replace(name.begin(), name.end(), '/', '_');
    const std::string avi = dir.File(name);
    return kivra::test::RunFfmpeg({"-y", "-f", "lavfi", "-i", "testsrc=size=32x24:rate=" + rate,
                                   "-t", "1.5", "-c:v", "mjpeg", avi})
               ? avi
               : std::string();
}

Clip Open(const std::string& avi) {
    Clip clip;
    clip.stream = std::make_unique<CAviVideoStream>(avi);
    if (clip.stream->OpenStream() != CAviVideoStream::kOpened) {
        clip.stream.reset();
        return clip;
    }
    CAviVideoStream* stream = clip.stream.get();
    clip.cursor = std::make_unique<FrameCursor>([stream] { return stream; });
    return clip;
}

// Whether frame of clock is the one current at num/den seconds: started by then, and the next
// not (or it is the last), by exact integers; the first frame stands for moments before it.
bool CurrentAt(const kivra::VideoClock& clock, int frame, __int128 num, __int128 den) {
    const auto startsBy = [&](int f) {  // f * scale / rate <= num / den
        return __int128(f) * clock.scale * den <= num * clock.rate;
    };
    const bool started = frame == 0 || startsBy(frame);
    const bool nextStarted = frame + 1 < clock.frames && startsBy(frame + 1);
    return started && !nextStarted;
}

TEST(LinkedCursorsTest, EachFrameOfOneBringsTheOtherToItsMomentAtEveryRatePair) {
    const kivra::test::TempDir dir;
    std::vector<std::pair<std::string, std::string>> clips;
    for (const char* rate : {"25", "30000/1001", "60", "120"}) {
        clips.emplace_back(rate, MakeClip(dir, rate));
        ASSERT_FALSE(clips.back().second.empty());
    }
    const SyncOffset offset = *SyncOffset::Parse("0.35");
    for (const auto& [rateA, fileA] : clips) {
        for (const auto& [rateB, fileB] : clips) {
            SCOPED_TRACE(rateA + " with " + rateB);
            Clip a = Open(fileA);
            Clip b = Open(fileB);
            ASSERT_TRUE(a.cursor && b.cursor);
            kivra::LinkedCursors linked(*a.cursor, *b.cursor);
            const kivra::VideoClock ca = kivra::ClockOf(*a.stream);
            const kivra::VideoClock cb = kivra::ClockOf(*b.stream);
            a.cursor->MoveTo(0);
            EXPECT_EQ(b.cursor->Current(), 0) << "unlinked, B stays";
            ASSERT_TRUE(linked.Link(offset));

            // A steps on: B shows A's moment plus the offset.
            for (int f = 0; f < ca.frames; ++f) {
                a.cursor->MoveTo(f);
                const __int128 num = __int128(f) * ca.scale * offset.Denominator() +
                                     __int128(offset.Numerator()) * ca.rate;
                const __int128 den = __int128(ca.rate) * offset.Denominator();
                ASSERT_TRUE(CurrentAt(cb, b.cursor->Current(), num, den)) << "A frame " << f;
                ASSERT_EQ(a.cursor->Current(), f) << "no echo moves A back";
            }
            // B steps back: A shows B's moment minus the offset, and B stays where it was put.
            for (int f = cb.frames - 1; f >= 0; --f) {
                b.cursor->MoveTo(f);
                const __int128 num = __int128(f) * cb.scale * offset.Denominator() -
                                     __int128(offset.Numerator()) * cb.rate;
                const __int128 den = __int128(cb.rate) * offset.Denominator();
                ASSERT_TRUE(CurrentAt(ca, a.cursor->Current(), num, den)) << "B frame " << f;
                ASSERT_EQ(b.cursor->Current(), f);
            }

            // Unlinked they move alone; linked again, B comes to A's moment at once.
            linked.Unlink();
            b.cursor->MoveTo(cb.frames - 1);
            a.cursor->MoveTo(3);
            EXPECT_EQ(b.cursor->Current(), cb.frames - 1);
            ASSERT_TRUE(linked.Link(offset));
            EXPECT_EQ(b.cursor->Current(), linked.Current()->BFromA(3).frame);
        }
    }
}

}  // namespace
