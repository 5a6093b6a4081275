// Decoding ahead while going backwards: the pictures it supplies are the ones going forward
// gives, the cache stays within its bound, and closing the video while it works is safe.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>

#include "media/avi_video_stream.h"
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

}  // namespace
