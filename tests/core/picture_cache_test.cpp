// The picture cache with real decoded pictures: what it counts is what its pictures hold, it
// keeps within its bound by letting the least recently used go, its copies are compact and
// written to the last byte, and going backwards over groups longer than it holds shows the
// forward pictures without decoding the start of a group once per step. Without a bound in the
// settings, very large pictures get a bound that holds a camera's group of them.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "picture/picture_cache.h"
#include "platform/memory_policy.h"
#include "reading/avi_video_stream.h"
#include "reading/decode_pipeline.h"
#include "settings/inifile_manager.h"
#include "support/ffmpeg_tool.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

namespace {

using kivra::ChunkTable;
using kivra::DecodePipeline;
using kivra::PictureCache;
using kivra::test::RunFfmpeg;
using kivra::test::TempDir;
using kivra::test::WriteFile;

std::string MakeClip(const TempDir& dir, const std::string& name, const std::string& size,
                     int frames, const std::vector<std::string>& options) {
    const std::string avi = dir.File(name);
    std::vector<std::string> args = {"-f",        "lavfi",
                                     "-i",        "testsrc2=size=" + size + ":rate=25",
                                     "-frames:v", std::to_string(frames)};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(avi);
    return RunFfmpeg(args) ? avi : std::string();
}

std::shared_ptr<const ChunkTable> TableOf(const std::string& avi) {
    const auto file = kivra::ParseAviFile(avi);
    if (!file) {
        return nullptr;
    }
    ChunkTable::BuildResult built{};
    return ChunkTable::Build(avi, *file, kivra::FirstVideoStream(*file), &built);
}

size_t HeldBytes(const AVFrame& frame) {
    size_t bytes = sizeof(AVFrame);
    for (const AVBufferRef* buffer : frame.buf) {
        bytes += buffer != nullptr ? buffer->size : 0;
    }
    return bytes;
}

// Every byte of each plane's rows past the picture, and of the plane's tail up to the next plane,
// is zero: written, not left as the allocator gave it.
::testing::AssertionResult PaddingWritten(const AVFrame& frame) {
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(AVPixelFormat(frame.format));
    int lines[4] = {0, 0, 0, 0};
    av_image_fill_linesizes(lines, AVPixelFormat(frame.format), frame.width);
    const uint8_t* end = frame.buf[0]->data + frame.buf[0]->size;
    for (int i = 0; i < 4 && frame.data[i] != nullptr; ++i) {
        if (lines[i] == 0) {
            continue;  // a palette
        }
        const int rows =
            i == 0 || i == 3 ? frame.height : AV_CEIL_RSHIFT(frame.height, desc->log2_chroma_h);
        const uint8_t* planeEnd =
            i + 1 < 4 && frame.data[i + 1] != nullptr ? frame.data[i + 1] : end;
        for (int y = 0; y < rows; ++y) {
            const uint8_t* row = frame.data[i] + ptrdiff_t(y) * frame.linesize[i];
            for (int x = lines[i]; x < frame.linesize[i]; ++x) {
                if (row[x] != 0) {
                    return ::testing::AssertionFailure() << "plane " << i << " row " << y;
                }
            }
        }
        for (const uint8_t* p = frame.data[i] + ptrdiff_t(rows) * frame.linesize[i]; p < planeEnd;
             ++p) {
            if (*p != 0) {
                return ::testing::AssertionFailure() << "after plane " << i;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// Pictures decoded into the cache's own buffers are kept by reference and counted as the
// buffers they pin; pictures from elsewhere are kept as compact copies, counted as the copy.
// Either way the count is the sum of what the held pictures hold, never above the bound, and
// the pictures that go are the least recently used outside the kept range.
TEST(PictureCacheTest, CountsWhatItHoldsAndLetsTheOldestGo) {
    TempDir dir;
    const std::string avi = MakeClip(dir, "counted.avi", "320x240", 40,
                                     {"-c:v", "libx264", "-bf", "2", "-g", "12", "-crf", "20"});
    ASSERT_FALSE(avi.empty());
    const auto table = TableOf(avi);
    ASSERT_TRUE(table);

    for (const bool shared : {true, false}) {
        PictureCache cache;
        // The pipeline of a shared run decodes into this cache's buffers, as the decoders do.
        PictureCache* source = shared ? &cache : nullptr;
        const auto pipeline = DecodePipeline::Create(table, 2, source);
        ASSERT_TRUE(pipeline);
        pipeline->StartRun(0);
        ASSERT_EQ(pipeline->Next(), 0);
        ASSERT_EQ(pipeline->PictureShared(), shared);
        ASSERT_TRUE(cache.Insert(0, pipeline->Picture(), shared, false));
        const size_t picture = cache.PictureBytes();
        // A reference counts the decoder's buffer; a copy about the picture.
        const int tight = av_image_get_buffer_size(AV_PIX_FMT_YUV420P, 320, 240, 1);
        EXPECT_GE(picture, size_t(tight)) << shared;
        EXPECT_LE(picture, size_t(tight) * 9 / 8) << shared;
        cache.SetLimit(picture * 10);  // drops picture 0
        cache.Keep(2, 4);
        for (int n = 0; n <= 20; ++n) {
            if (n > 0) {
                ASSERT_EQ(pipeline->Next(), n);
            }
            ASSERT_TRUE(cache.Insert(n, pipeline->Picture(), shared, false));
            pipeline->ReleasePicture();
            EXPECT_LE(cache.Bytes(), cache.Limit());
            if (n == 9) {
                ASSERT_TRUE(cache.Find(0));  // full: 0 is now the most recently used
            }
            if (n == 10) {
                EXPECT_TRUE(cache.Contains(0) && !cache.Contains(1)) << shared;
            }
        }
        size_t held = 0;
        int present = 0;
        for (int n = 0; n <= 20; ++n) {
            if (const auto kept = cache.Find(n)) {
                held += HeldBytes(*kept);
                ++present;
                if (!shared) {
                    EXPECT_TRUE(PaddingWritten(*kept)) << n;
                }
            }
        }
        EXPECT_EQ(present, 10) << shared;
        EXPECT_EQ(cache.Bytes(), held) << shared;
        EXPECT_EQ(cache.Bytes(), 10 * picture) << shared;
        // The kept range outlives older pictures; the newest is there.
        EXPECT_TRUE(cache.Contains(2) && cache.Contains(3) && cache.Contains(4) &&
                    cache.Contains(20) && !cache.Contains(5))
            << shared;
        // Room reserved for a second decoder is given up at once, by the oldest outside the
        // kept range.
        cache.Reserve(3);
        EXPECT_LE(cache.Bytes(), cache.Capacity()) << shared;
        EXPECT_EQ(cache.Bytes(), 7 * picture) << shared;
        EXPECT_TRUE(cache.Contains(2) && cache.Contains(3) && cache.Contains(4) &&
                    cache.Contains(20))
            << shared;
    }
}

// A copy takes no more than the picture in rows the converter can read, and none of its padding
// is left as the allocator gave it: three-pixel-wide pictures, whose rows are mostly padding,
// were once converted from uninitialised bytes after a step back.
TEST(PictureCacheTest, CopiesAreCompactAndWrittenToTheLastByte) {
    struct Case {
        const char* name;
        std::vector<std::string> options;
    };
    const std::vector<Case> cases = {
        {"mjpeg", {"-c:v", "mjpeg", "-pix_fmt", "yuvj420p"}},
        {"mpeg4", {"-c:v", "mpeg4", "-bf", "2", "-g", "6", "-pix_fmt", "yuv420p"}},
        {"yuy2", {"-c:v", "rawvideo", "-pix_fmt", "yuyv422"}},
        {"bgr24", {"-c:v", "rawvideo", "-pix_fmt", "bgr24"}},
        {"pal8", {"-c:v", "rawvideo", "-pix_fmt", "pal8"}},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string avi = MakeClip(dir, std::string(c.name) + ".avi", "3x10", 12, c.options);
        ASSERT_FALSE(avi.empty()) << c.name;
        const auto table = TableOf(avi);
        ASSERT_TRUE(table) << c.name;
        const auto pipeline = DecodePipeline::Create(table, 1, nullptr);
        ASSERT_TRUE(pipeline) << c.name;
        PictureCache cache;
        pipeline->StartRun(0);
        for (int n = 0; n < 12; ++n) {
            ASSERT_EQ(pipeline->Next(), n) << c.name;
            const AVFrame& decoded = pipeline->Picture();
            ASSERT_TRUE(cache.Insert(n, decoded, false, false)) << c.name;
            const auto copy = cache.Find(n);
            ASSERT_TRUE(copy);
            EXPECT_NE(copy->data[0], decoded.data[0]) << c.name;
            EXPECT_EQ(copy->format, decoded.format) << c.name;
            EXPECT_TRUE(PaddingWritten(*copy)) << c.name << " " << n;
            // The same picture, row by row (bottom-up sources have negative line sizes).
            int lines[4] = {0, 0, 0, 0};
            av_image_fill_linesizes(lines, AVPixelFormat(decoded.format), decoded.width);
            for (int y = 0; y < decoded.height; ++y) {
                EXPECT_EQ(0,
                          std::memcmp(copy->data[0] + y * copy->linesize[0],
                                      decoded.data[0] + y * decoded.linesize[0], size_t(lines[0])))
                    << c.name << " " << n << " row " << y;
            }
            const int tight =
                av_image_get_buffer_size(AVPixelFormat(decoded.format), 3, decoded.height, 64);
            EXPECT_LE(HeldBytes(*copy), sizeof(AVFrame) + size_t(tight) + 4 * 256) << c.name;
            pipeline->ReleasePicture();
        }
    }
}

std::vector<std::vector<uint8_t>> ForwardPictures(const std::string& avi) {
    std::vector<std::vector<uint8_t>> pictures;
    CAviVideoStream stream(avi);
    if (stream.OpenStream() != CAviVideoStream::kOpened) {
        return pictures;
    }
    stream.SetPictureCacheBytes(0);
    for (int n = stream.GetStart(); n <= stream.GetEnd(); ++n) {
        stream.LoadFrame(n);
        pictures.push_back(stream.DisplayBitmap().bits);
    }
    return pictures;
}

// Long groups of pictures with B-frames, as phones write them, and one longer than the cache
// holds: every step back shows the forward picture, and the decoders together decode each
// picture a bounded number of times, not the start of its group once per step.
TEST(PictureCacheTest, BackwardOverLongGroupsShowsForwardPicturesDecodingEachGroupAboutOnce) {
    constexpr int kFrames = 240;
    TempDir dir;
    const std::string avi =
        MakeClip(dir, "long groups.avi", "192x108", kFrames,
                 {"-c:v", "libx264", "-preset", "veryfast", "-bf", "3", "-g", "120", "-keyint_min",
                  "120", "-sc_threshold", "0", "-crf", "24"});
    ASSERT_FALSE(avi.empty());
    const auto forward = ForwardPictures(avi);
    ASSERT_EQ(forward.size(), size_t(kFrames));

    // Room for all of a group (and the decoder's share), then for little more than half of one.
    for (const int pictures : {200, 80}) {
        CAviVideoStream stream(avi);
        ASSERT_EQ(stream.OpenStream(), CAviVideoStream::kOpened);
        const int tight = av_image_get_buffer_size(AV_PIX_FMT_YUV420P, 192, 108, 1);
        stream.SetPictureCacheBytes(size_t(pictures) * size_t(tight + tight / 8));
        const auto before = stream.DecoderStats();
        for (int n = kFrames - 1; n >= 0; --n) {
            stream.LoadFrame(n);
            ASSERT_EQ(stream.DisplayBitmap().bits, forward[size_t(n)]) << pictures << " " << n;
            if (n % 4 == 0) {
                stream.WaitForPrefetch();  // as a user stepping at a steady pace
            }
        }
        const auto after = stream.DecoderStats();
        const int64_t decoded = (after.framesDecoded - before.framesDecoded) +
                                (after.prefetchDecoded - before.prefetchDecoded);
        // Decoding the start of a group once per step was 3 and 10 times the frames here.
        const double bound = pictures >= 200 ? 1.5 : 2.5;
        EXPECT_LE(double(decoded), bound * kFrames) << pictures << " cache pictures";
        EXPECT_LE(stream.PictureCacheBytes(), size_t(pictures) * size_t(tight + tight / 8));
    }
}

// 512 MB holds five seconds of 1080p but only forty 4K pictures, less than the sixty of a
// camera's group: backward steps would decode most groups twice. Without a bound in the settings
// the cache grows for such pictures, within a quarter of the machine's memory; a bound the user
// named is used as it is.
TEST(PictureCacheTest, AutomaticBoundHoldsACameraGroupOfLargePictures) {
    using kivra::AutomaticCacheLimit;
    constexpr size_t kBase = size_t(512) << 20;
    constexpr size_t kMachine = size_t(16) << 30;
    const auto yuv420 = [](size_t width, size_t height) { return width * height * 3 / 2; };

    EXPECT_EQ(AutomaticCacheLimit(kBase, 1920, 1080, kMachine), kBase);
    EXPECT_EQ(AutomaticCacheLimit(kBase, 1080, 1920, kMachine), kBase);
    const size_t uhd = AutomaticCacheLimit(kBase, 3840, 2160, kMachine);
    // The group's sixty pictures and the second decoder's eight, as HEVC decoders pad them.
    EXPECT_GE(uhd, 68 * yuv420(3840, 2176));
    EXPECT_LT(uhd, size_t(1) << 30);
    EXPECT_EQ(AutomaticCacheLimit(kBase, 2160, 3840, kMachine), uhd);
    // Never above a quarter of the memory, never below the usual bound.
    EXPECT_EQ(AutomaticCacheLimit(kBase, 7680, 4320, size_t(8) << 30), size_t(2) << 30);
    EXPECT_EQ(AutomaticCacheLimit(kBase, 3840, 2160, size_t(2) << 30), kBase);
    EXPECT_EQ(AutomaticCacheLimit(kBase, 3840, 2160, 0), kBase);
    EXPECT_EQ(AutomaticCacheLimit(kBase, 0, 2160, kMachine), kBase);
    EXPECT_EQ(AutomaticCacheLimit(kBase, INT_MAX, INT_MAX, kMachine), kMachine / 4);
    // A camera's groups of 250 pictures: going backwards decodes each whole once.
    EXPECT_GE(AutomaticCacheLimit(kBase, 1920, 1080, kMachine, 250), 258 * yuv420(1920, 1088));
    EXPECT_EQ(AutomaticCacheLimit(kBase, 1920, 1080, kMachine, 30), kBase);
    EXPECT_EQ(AutomaticCacheLimit(kBase, 1920, 1080, size_t(2) << 30, 250), kBase);

    const TempDir dir;
    const std::string ini = dir.File("Kivra.ini");
    const std::string clip = dir.File("clip.avi");
    {
        CInifileManager settings(ini);
        settings.LoadSettings();
        EXPECT_FALSE(settings.Slider().pictureCacheSet);
        const CAviVideoStream stream(clip, settings.Slider());
        EXPECT_EQ(stream.CacheLimitFor(3840, 2160),
                  AutomaticCacheLimit(kBase, 3840, 2160, kivra::PhysicalMemoryBytes()));
        EXPECT_EQ(stream.CacheLimitFor(1920, 1080), kBase);
    }
    for (const char* named : {"512", "64", "0"}) {
        WriteFile(ini, std::string("[Slider]\nPictureCacheMB=") + named + "\n");
        CInifileManager settings(ini);
        settings.LoadSettings();
        EXPECT_TRUE(settings.Slider().pictureCacheSet);
        const CAviVideoStream stream(clip, settings.Slider());
        EXPECT_EQ(stream.CacheLimitFor(3840, 2160), size_t(std::atoi(named)) << 20) << named;
    }
}

}  // namespace
