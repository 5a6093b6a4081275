// Decoding ahead while going backwards: the pictures it supplies are the ones going forward
// gives, the cache stays within its bound, and closing the video while it works is safe.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <string_view>
#include <thread>

extern "C" {
#include <libavutil/imgutils.h>
}

#include "picture/picture_cache.h"
#include "reading/avi_video_stream.h"
#include "support/ffmpeg_tool.h"

namespace {

using kivra::test::RunFfmpeg;
using kivra::test::TempDir;

struct CodecCase {
    const char* name;
    std::vector<std::string> options;
};

void PrintTo(const CodecCase& codec, std::ostream* out) {
    *out << codec.name;
}

std::string MakeClip(const TempDir& dir, const std::string& size, int frames,
                     const std::vector<std::string>& options) {
    const std::string avi = dir.File("back and forth.avi");
    std::vector<std::string> args = {"-f",        "lavfi",
                                     "-i",        "testsrc2=size=" + size + ":rate=25",
                                     "-frames:v", std::to_string(frames)};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(avi);
    return RunFfmpeg(args) ? avi : std::string();
}

std::vector<std::vector<uint8_t>> ForwardPictures(const std::string& avi) {
    std::vector<std::vector<uint8_t>> pictures;
    CAviVideoStream stream(avi);
    if (stream.OpenStream() != CAviVideoStream::kOpened) {
        return pictures;
    }
    for (int n = stream.GetStart(); n <= stream.GetEnd(); ++n) {
        stream.LoadFrame(n);
        pictures.push_back(stream.DisplayBitmap().bits);
    }
    return pictures;
}

class PrefetchTest : public ::testing::TestWithParam<CodecCase> {};

// Stepping back from the end gives every forward picture, whether each step waits for the
// decoding ahead to settle (so it supplies nearly every picture) or races it.
TEST_P(PrefetchTest, BackwardStepsGiveTheForwardPictures) {
    constexpr int kFrames = 75;
    TempDir dir;
    const std::string avi = MakeClip(dir, "160x120", kFrames, GetParam().options);
    ASSERT_FALSE(avi.empty());
    const auto forward = ForwardPictures(avi);
    ASSERT_EQ(forward.size(), size_t(kFrames));

    CAviVideoStream stream(avi);
    ASSERT_EQ(stream.OpenStream(), CAviVideoStream::kOpened);
    stream.LoadFrame(kFrames - 1);
    const auto afterJump = stream.DecoderStats();
    for (int n = kFrames - 2; n >= 0; --n) {
        stream.LoadFrame(n);
        ASSERT_EQ(stream.DisplayBitmap().bits, forward[size_t(n)]) << GetParam().name << " " << n;
        stream.WaitForPrefetch();
    }
    const auto settled = stream.DecoderStats();
    EXPECT_GT(settled.prefetched, kFrames / 2) << GetParam().name;
    // Only the jump to the end decoded on the showing side; the rest came ready.
    EXPECT_EQ(settled.packetsSent, afterJump.packetsSent) << GetParam().name;

    // Again from a fresh start, without waiting: steps overtake the thread and wait for it or
    // decode for themselves.
    stream.SetPictureCacheBytes(size_t(64) << 20);
    stream.LoadFrame(0);
    stream.LoadFrame(kFrames - 1);
    for (int n = kFrames - 2; n >= 0; --n) {
        stream.LoadFrame(n);
        ASSERT_EQ(stream.DisplayBitmap().bits, forward[size_t(n)]) << GetParam().name << " " << n;
    }
    // Turning round: forward steps after backward ones are still the same pictures.
    for (int n = 1; n < kFrames; n += 7) {
        stream.LoadFrame(n);
        ASSERT_EQ(stream.DisplayBitmap().bits, forward[size_t(n)]) << GetParam().name << " " << n;
    }
}

// A cache that holds well under the clip: decoding ahead fills only what fits, never beyond the
// bound, and the pictures stay right.
TEST_P(PrefetchTest, CacheStaysWithinItsBound) {
    constexpr int kFrames = 100;
    TempDir dir;
    const std::string avi = MakeClip(dir, "160x120", kFrames, GetParam().options);
    ASSERT_FALSE(avi.empty());
    const auto forward = ForwardPictures(avi);
    ASSERT_EQ(forward.size(), size_t(kFrames));

    CAviVideoStream stream(avi);
    ASSERT_EQ(stream.OpenStream(), CAviVideoStream::kOpened);
    const size_t bound = size_t(40) << 16;  // about fifty pictures of this size
    stream.SetPictureCacheBytes(bound);
    stream.LoadFrame(kFrames - 1);
    for (int n = kFrames - 2; n >= 0; --n) {
        stream.LoadFrame(n);
        ASSERT_EQ(stream.DisplayBitmap().bits, forward[size_t(n)]) << GetParam().name << " " << n;
        EXPECT_LE(stream.PictureCacheBytes(), bound);
        if (n % 3 == 0) {
            stream.WaitForPrefetch();
            EXPECT_LE(stream.PictureCacheBytes(), bound);
        }
    }
    EXPECT_GT(stream.DecoderStats().prefetched, 0) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, PrefetchTest,
    ::testing::Values(CodecCase{"msmpeg4v2", {"-c:v", "msmpeg4v2", "-g", "12", "-q:v", "3"}},
                      CodecCase{"mpeg4_bframes",
                                {"-c:v", "mpeg4", "-bf", "2", "-g", "12", "-q:v", "3"}},
                      CodecCase{"h264", {"-c:v", "libx264", "-g", "30", "-crf", "20"}},
                      CodecCase{"h264_open_gop",
                                {"-c:v", "libx264", "-crf", "20", "-x264-params",
                                 "open-gop=1:keyint=30:min-keyint=30"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Closing the video while the thread decodes a long group neither crashes nor hangs.
TEST(PrefetchCloseTest, ClosingWhileDecodingAheadReturnsPromptly) {
    TempDir dir;
    const std::string avi =
        MakeClip(dir, "640x360", 240, {"-c:v", "libx264", "-preset", "ultrafast", "-g", "120"});
    ASSERT_FALSE(avi.empty());
    for (const int delayMs : {0, 2, 15, 60}) {
        auto stream = std::make_unique<CAviVideoStream>(avi);
        ASSERT_EQ(stream->OpenStream(), CAviVideoStream::kOpened);
        stream->LoadFrame(239);
        stream->LoadFrame(238);  // a step back sets the thread on the group before
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        auto closed = std::async(std::launch::async, [&stream] {
            stream->CloseStream();
            stream.reset();
        });
        if (closed.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << "closing hung after " << delayMs << " ms";
            std::_Exit(1);  // a hung thread cannot be joined; do not wait for it
        }
    }
}

// A jump ahead within one long group keeps the pictures it passes, as a jump into another group
// does: stepping back from there decodes nothing again on the showing side.
TEST(PrefetchJumpTest, JumpWithinAGroupKeepsWhatItPassed) {
    TempDir dir;
    const std::string avi = MakeClip(
        dir, "160x120", 40, {"-c:v", "libx264", "-bf", "2", "-g", "250", "-pix_fmt", "yuv420p"});
    ASSERT_FALSE(avi.empty());
    const auto forward = ForwardPictures(avi);
    ASSERT_EQ(forward.size(), 40u);
    CAviVideoStream stream(avi);
    ASSERT_EQ(stream.OpenStream(), CAviVideoStream::kOpened);  // shows frame 0
    stream.LoadFrame(39);
    const auto jumped = stream.DecoderStats();
    EXPECT_EQ(jumped.seeks, 1);
    for (int n = 38; n >= 30; --n) {
        stream.LoadFrame(n);
        ASSERT_EQ(stream.DisplayBitmap().bits, forward[size_t(n)]) << n;
    }
    EXPECT_EQ(stream.DecoderStats().seeks, jumped.seeks);
    EXPECT_EQ(stream.DecoderStats().framesDecoded, jumped.framesDecoded);
}

// Stepping back through a clip costs what stepping forward does: pictures that decode on their
// own are decoded once, groups of pictures little more than once, and the cache lets the
// pictures already shown go instead of filling up with them.
TEST(PrefetchCostTest, BackwardDecodesAboutOnceAndKeepsOnlyWhatIsAhead) {
    struct Case {
        const char* name;
        std::vector<std::string> options;
        double extra;  // decoded pictures beyond one each, as a share of the frames
    };
    const std::vector<Case> cases = {
        {"mjpeg", {"-c:v", "mjpeg"}, 0.0},
        {"msmpeg4v2", {"-c:v", "msmpeg4v2", "-g", "12"}, 0.05},
        // Open groups: each run also decodes the references of the group before it.
        {"mpeg4_bframes", {"-c:v", "mpeg4", "-bf", "2", "-g", "12"}, 0.15}};
    constexpr int kFrames = 150;
    for (const Case& c : cases) {
        TempDir dir;
        const std::string avi = MakeClip(dir, "160x120", kFrames, c.options);
        ASSERT_FALSE(avi.empty()) << c.name;
        CAviVideoStream stream(avi);
        ASSERT_EQ(stream.OpenStream(), CAviVideoStream::kOpened);
        stream.LoadFrame(kFrames - 1);
        const auto before = stream.DecoderStats();
        for (int n = kFrames - 2; n >= 0; --n) {
            stream.LoadFrame(n);
            if (n % 4 == 0) {
                stream.WaitForPrefetch();  // as a user stepping at a steady pace
            }
        }
        const auto after = stream.DecoderStats();
        const int64_t decoded = after.framesDecoded - before.framesDecoded + after.prefetchDecoded -
                                before.prefetchDecoded;
        // A few more: steps that overtake the thread decode for themselves, and the decoder's
        // second thread takes one picture past the wanted one.
        EXPECT_LE(double(decoded), (kFrames - 1) * (1.0 + c.extra) + 4) << c.name;
        // At the first frame only the few pictures above it are left.
        const int picture = av_image_get_buffer_size(AV_PIX_FMT_YUV420P, 160, 120, 1);
        EXPECT_LE(stream.PictureCacheBytes(), size_t(8 * 2 * picture)) << c.name;
    }
}

// Playing backwards through groups of pictures the cache holds one at a time: decoding ahead
// starts on the group before early enough that the steps, coming at a steady pace, never wait
// for it at a group's start, and the share it decodes twice to stay within the bound is small.
TEST(PrefetchCostTest, PlayingBackwardsFindsTheGroupBeforeReady) {
    constexpr int kGroup = 60;
    constexpr int kFrames = 4 * kGroup;
    constexpr auto kStep = std::chrono::milliseconds(10);
    TempDir dir;
    const std::string avi = MakeClip(
        dir, "1280x720", kFrames,
        {"-c:v", "libx264", "-preset", "ultrafast", "-g", std::to_string(kGroup), "-keyint_min",
         std::to_string(kGroup), "-sc_threshold", "0", "-bf", "2", "-pix_fmt", "yuv420p"});
    ASSERT_FALSE(avi.empty());
    std::vector<size_t> forward;
    {
        CAviVideoStream stream(avi);
        ASSERT_EQ(stream.OpenStream(), CAviVideoStream::kOpened);
        for (int n = 0; n < kFrames; ++n) {
            stream.LoadFrame(n);
            forward.push_back(std::hash<std::string_view>()(
                {reinterpret_cast<const char*>(stream.DisplayBitmap().bits.data()),
                 stream.DisplayBitmap().bits.size()}));
        }
    }
    CAviVideoStream stream(avi);
    ASSERT_EQ(stream.OpenStream(), CAviVideoStream::kOpened);
    // Room for one group and what a second decoder holds, as the automatic bound gives.
    const int picture = av_image_get_buffer_size(AV_PIX_FMT_YUV420P, 1280, 720, 1);
    const size_t bound = size_t(kGroup + 12) * size_t(picture) * 11 / 10;
    stream.SetPictureCacheBytes(bound);
    stream.LoadFrame(kFrames - 1);
    const auto jumped = stream.DecoderStats();
    auto due = std::chrono::steady_clock::now();
    for (int n = kFrames - 2; n >= 0; --n) {
        due += kStep;
        std::this_thread::sleep_until(due);
        stream.LoadFrame(n);
        const auto& bits = stream.DisplayBitmap().bits;
        ASSERT_EQ(std::hash<std::string_view>()(
                      {reinterpret_cast<const char*>(bits.data()), bits.size()}),
                  forward[size_t(n)])
            << n;
        ASSERT_LE(stream.PictureCacheBytes(), bound) << n;
    }
    const auto played = stream.DecoderStats();
    // One wait is allowed for a machine busy with other work; without starting early, every
    // group start waits for a whole group.
    EXPECT_LE(played.prefetchWaits - jumped.prefetchWaits, 1);
    EXPECT_EQ(played.packetsSent, jumped.packetsSent);  // nothing decoded on the showing side
    EXPECT_LE(double(played.prefetchDecoded), 1.5 * kFrames);
}

// A picture the cache keeps as a copy (small or foreign ones) is defined in every byte the
// converter's wide loads reach: the ends of its rows past the width and what follows its last
// row are cleared, not left as the allocator had them.
TEST(PictureCacheCopyTest, CopiesLeaveNoUninitialisedPadding) {
    constexpr int kWidth = 3;
    constexpr int kHeight = 40;
    const auto makeFrame = [] {
        kivra::AvFramePtr frame(av_frame_alloc());
        frame->format = AV_PIX_FMT_YUYV422;
        frame->width = kWidth;
        frame->height = kHeight;
        return av_frame_get_buffer(frame.get(), 0) == 0 ? std::move(frame) : nullptr;
    };
    kivra::AvFramePtr source = makeFrame();
    ASSERT_TRUE(source);
    const int rowBytes = av_image_get_linesize(AV_PIX_FMT_YUYV422, kWidth, 0);
    for (int y = 0; y < kHeight; ++y) {
        std::memset(source->data[0] + y * source->linesize[0], 0x40 + y, size_t(rowBytes));
    }
    // Freed blocks a little larger than the copy, full of a marker and kept apart by live ones
    // so that they stay separate: the allocator hands the copy one of them, as it would hand a
    // decoder's freed buffer.
    std::vector<std::vector<uint8_t>> stale;
    std::vector<std::vector<uint8_t>> apart;
    for (int i = 0; i < 32; ++i) {
        stale.emplace_back(size_t(source->buf[0]->size) + 512, uint8_t(0xA5));
        apart.emplace_back(64, uint8_t(0));
    }
    stale.clear();
    kivra::PictureCache cache;
    cache.SetLimit(size_t(1) << 20);
    ASSERT_TRUE(cache.Insert(7, *source, false, true));
    const kivra::PictureCache::Picture copy = cache.Find(7);
    ASSERT_TRUE(copy);
    ASSERT_NE(copy->buf[0], source->buf[0]);
    const uint8_t* begin = copy->buf[0]->data;
    const uint8_t* end = begin + copy->buf[0]->size;
    const uint8_t* plane = copy->data[0];
    ASSERT_GE(plane, begin);
    for (const uint8_t* p = begin; p < end; ++p) {
        const ptrdiff_t at = p - plane;
        const ptrdiff_t row = at >= 0 ? at / copy->linesize[0] : -1;
        const bool picture = row >= 0 && row < kHeight && at % copy->linesize[0] < rowBytes;
        ASSERT_EQ(*p, picture ? uint8_t(0x40 + row) : 0) << "byte " << (p - begin);
    }
}

// Two and three pixels wide, whose rows are mostly padding: stepping back, which shows the
// cache's copies, gives the pictures stepping forward gives, for an inter codec, an intra codec
// and packed raw pictures.
TEST(PictureCacheCopyTest, NarrowPicturesBackwardsAreTheForwardOnes) {
    const std::vector<std::vector<std::string>> codecs = {
        {"-c:v", "mpeg4", "-g", "5"},
        {"-c:v", "mjpeg"},
        {"-c:v", "rawvideo", "-pix_fmt", "yuyv422"}};
    for (const std::string width : {"2", "3"}) {
        for (auto options : codecs) {
            const std::string name = options[1] + " " + width;
            options.insert(options.begin(), {"-vf", "scale=" + width + ":8"});
            TempDir dir;
            const std::string avi = MakeClip(dir, "64x48", 20, options);
            ASSERT_FALSE(avi.empty()) << name;
            const auto forward = ForwardPictures(avi);
            ASSERT_EQ(forward.size(), 20u) << name;
            CAviVideoStream stream(avi);
            ASSERT_EQ(stream.OpenStream(), CAviVideoStream::kOpened);
            ASSERT_EQ(stream.FileInfo().dwWidth, uint32_t(std::stoi(width))) << name;
            for (int n = 19; n >= 0; --n) {
                stream.LoadFrame(n);
                ASSERT_EQ(stream.DisplayBitmap().bits, forward[size_t(n)]) << name << " " << n;
            }
        }
    }
}

}  // namespace
