// The reader against the real ffmpeg program: every frame is the picture ffmpeg decodes for it,
// whatever order the frames are asked in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "picture/picture_converter.h"
#include "reading/avi_video_stream.h"
#include "reading/frame_decoder.h"
#include "reading/stream_info_text.h"
#include "support/ffmpeg_tool.h"

namespace {

using kivra::test::ReadFile;
using kivra::test::RunFfmpeg;
using kivra::test::TempDir;
using kivra::test::WriteFile;

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr int kFrames = 50;

// Reference pictures: ffmpeg's own decoding of every frame, top-down BGR.
std::vector<std::vector<uint8_t>> ReferenceFrames(const std::string& avi, const std::string& raw) {
    std::vector<std::vector<uint8_t>> frames;
    if (!RunFfmpeg({"-i", avi, "-f", "rawvideo", "-pix_fmt", "bgr24", raw})) {
        return frames;
    }
    std::ifstream in(raw, std::ios::binary);
    std::vector<uint8_t> frame(size_t(kWidth) * kHeight * 3);
    while (in.read(reinterpret_cast<char*>(frame.data()), std::streamsize(frame.size()))) {
        frames.push_back(frame);
    }
    return frames;
}

// Mean absolute difference between the stream's display bitmap and a top-down BGR picture.
double Difference(const kivra::Dib& dib, const std::vector<uint8_t>& reference) {
    if (dib.Width() != kWidth || dib.Height() != kHeight) {
        return 1e9;
    }
    double sum = 0;
    for (int y = 0; y < kHeight; ++y) {
        const uint8_t* row = dib.PictureRow(y);
        const uint8_t* ref = reference.data() + size_t(y) * kWidth * 3;
        for (int x = 0; x < kWidth * 3; ++x) {
            sum += std::abs(int(row[x]) - int(ref[x]));
        }
    }
    return sum / (double(kWidth) * kHeight * 3);
}

struct CodecCase {
    const char* name;
    std::vector<std::string> options;
};

// Test names show the codec, not the bytes of the case.
void PrintTo(const CodecCase& codec, std::ostream* out) {
    *out << codec.name;
}

class FrameExactTest : public ::testing::TestWithParam<CodecCase> {};

// Frame n matches ffmpeg's frame n, and is nearer to it than to its neighbours, in forward,
// backward and random order.
TEST_P(FrameExactTest, EveryOrderGivesFfmpegsPictures) {
    TempDir dir;
    const std::string avi = dir.File("clip one.avi");
    std::vector<std::string> args = {
        "-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25", "-frames:v", std::to_string(kFrames)};
    args.insert(args.end(), GetParam().options.begin(), GetParam().options.end());
    args.push_back(avi);
    ASSERT_TRUE(RunFfmpeg(args));
    const auto reference = ReferenceFrames(avi, dir.File("ref.raw"));
    ASSERT_EQ(reference.size(), size_t(kFrames));

    CAviVideoStream stream(avi);
    ASSERT_EQ(stream.OpenStream(), CAviVideoStream::kOpened);
    ASSERT_EQ(stream.GetStart(), 0);
    ASSERT_EQ(stream.GetEnd(), kFrames - 1);

    std::vector<int> order;
    for (int n = 0; n < kFrames; ++n)
        order.push_back(n);
    for (int n = kFrames - 1; n >= 0; --n)
        order.push_back(n);
    std::mt19937 random(7);
    for (int i = 0; i < 60; ++i)
        order.push_back(int(random() % kFrames));

    for (const int n : order) {
        stream.LoadFrame(n);
        const double own = Difference(stream.DisplayBitmap(), reference[size_t(n)]);
        EXPECT_LT(own, 2.0) << GetParam().name << " frame " << n;
        if (n > 0) {
            EXPECT_LT(own, Difference(stream.DisplayBitmap(), reference[size_t(n - 1)]))
                << GetParam().name << " frame " << n;
        }
        if (n + 1 < kFrames) {
            EXPECT_LT(own, Difference(stream.DisplayBitmap(), reference[size_t(n + 1)]))
                << GetParam().name << " frame " << n;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, FrameExactTest,
    ::testing::Values(CodecCase{"mjpeg", {"-c:v", "mjpeg", "-q:v", "3"}},
                      CodecCase{"huffyuv", {"-c:v", "huffyuv"}},
                      CodecCase{"raw", {"-c:v", "rawvideo", "-pix_fmt", "bgr24"}},
                      CodecCase{"msmpeg4v2", {"-c:v", "msmpeg4v2", "-g", "12", "-q:v", "3"}},
                      CodecCase{"mpeg4_bframes",
                                {"-c:v", "mpeg4", "-bf", "2", "-g", "12", "-q:v", "3"}},
                      CodecCase{"h264", {"-c:v", "libx264", "-g", "20", "-crf", "20"}},
                      CodecCase{"h264_open_gop",
                                {"-c:v", "libx264", "-g", "20", "-crf", "20", "-x264-params",
                                 "open-gop=1:keyint=20:min-keyint=20"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Stepping forward decodes one chunk per frame, and showing the same frame again decodes nothing.
TEST(AviReaderCostTest, StepDecodesOneFrameAndRepaintDecodesNone) {
    TempDir dir;
    const std::string avi = dir.File("gop.avi");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25", "-frames:v", "40",
                           "-c:v", "msmpeg4v2", "-g", "12", avi}));
    CAviVideoStream stream(avi);
    ASSERT_EQ(stream.OpenStream(), CAviVideoStream::kOpened);
    stream.LoadFrame(5);
    for (int n = 6; n < 30; ++n) {
        const auto before = stream.DecoderStats();
        stream.LoadFrame(n);
        EXPECT_EQ(stream.DecoderStats().packetsSent - before.packetsSent, 1) << n;
        EXPECT_EQ(stream.DecoderStats().seeks, before.seeks) << n;
        const auto repaint = stream.DecoderStats();
        stream.LoadFrame(n);
        EXPECT_EQ(stream.DecoderStats().packetsSent, repaint.packetsSent);
        EXPECT_EQ(stream.DecoderStats().conversions, repaint.conversions);
    }
    // A jump decodes from the key frame at or before the target, not from the start.
    const auto before = stream.DecoderStats();
    stream.LoadFrame(38);
    EXPECT_EQ(stream.DecoderStats().packetsSent - before.packetsSent, 38 - 36 + 1);
}

// With B pictures the last ones come out only after the decoder is drained: stepping onto them
// goes on decoding instead of starting the group over.
TEST(AviReaderCostTest, StepsToTheLastFramesOfABFrameStreamDoNotRestart) {
    TempDir dir;
    const std::string avi = dir.File("bframes.avi");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25", "-frames:v", "40",
                           "-c:v", "libx264", "-bf", "3", "-g", "40", avi}));
    CAviVideoStream stream(avi);
    ASSERT_EQ(stream.OpenStream(), CAviVideoStream::kOpened);
    stream.LoadFrame(0);
    const auto start = stream.DecoderStats();
    for (int n = 1; n < 40; ++n) {
        stream.LoadFrame(n);
    }
    EXPECT_EQ(stream.DecoderStats().seeks, start.seeks);
    EXPECT_LE(stream.DecoderStats().packetsSent - start.packetsSent, 40);
}

// Going backwards decodes each group once and serves the rest of it from the picture cache,
// within the cache's bound, and gives the same pictures as going forward.
TEST(AviReaderCostTest, BackwardStepsUseThePictureCacheWithinItsBound) {
    TempDir dir;
    const std::string avi = dir.File("gop.avi");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25", "-frames:v", "60",
                           "-c:v", "mpeg4", "-bf", "2", "-g", "12", avi}));
    CAviVideoStream stream(avi);
    ASSERT_EQ(stream.OpenStream(), CAviVideoStream::kOpened);
    std::vector<std::vector<uint8_t>> forward;
    for (int n = 0; n < 60; ++n) {
        stream.LoadFrame(n);
        forward.push_back(stream.DisplayBitmap().bits);
    }
    const auto afterForward = stream.DecoderStats();
    for (int n = 59; n >= 0; --n) {
        stream.LoadFrame(n);
        EXPECT_EQ(stream.DisplayBitmap().bits, forward[size_t(n)]) << n;
    }
    // Each group about twice per group of steps: once for its own pictures and once as the
    // references the next group's leading pictures need. Never a whole group per step.
    EXPECT_LE(stream.DecoderStats().packetsSent - afterForward.packetsSent, 60 * 3);
    EXPECT_GT(stream.DecoderStats().cacheHits, afterForward.cacheHits + 40);

    // A cache smaller than a group: backward costs a few chunks per step (the group and the
    // references its leading pictures need), never a whole group per step, and memory stays
    // within the bound.
    const size_t tenPictures = 10 * (160 * 120 * 3 / 2 + 4096);
    stream.SetPictureCacheBytes(tenPictures);
    stream.LoadFrame(59);
    const auto start = stream.DecoderStats();
    for (int n = 58; n >= 0; --n) {
        stream.LoadFrame(n);
        EXPECT_EQ(stream.DisplayBitmap().bits, forward[size_t(n)]) << n;
        EXPECT_LE(stream.PictureCacheBytes(), tenPictures);
    }
    const auto sent = stream.DecoderStats().packetsSent - start.packetsSent;
    EXPECT_LE(sent, 59 * 4);
    stream.SetPictureCacheBytes(0);
    stream.LoadFrame(30);
    EXPECT_EQ(stream.PictureCacheBytes(), 0u);
    EXPECT_EQ(stream.DisplayBitmap().bits, forward[30]);
}

// A dropped frame (zero-length chunk) shows the picture before it.
TEST(AviReaderDroppedFrameTest, ZeroLengthChunkRepeatsPreviousPicture) {
    TempDir dir;
    const std::string avi = dir.File("dropped.avi");
    ASSERT_TRUE(
        RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25", "-frames:v", "20", "-vf",
                   "select='not(eq(n\\,7))'", "-fps_mode", "passthrough", "-c:v", "mjpeg", avi}));
    CAviVideoStream stream(avi);
    ASSERT_EQ(stream.OpenStream(), CAviVideoStream::kOpened);
    ASSERT_EQ(stream.GetEnd(), 20);  // twenty pictures and the gap
    stream.LoadFrame(6);
    const std::vector<uint8_t> six = stream.DisplayBitmap().bits;
    stream.LoadFrame(7);
    EXPECT_EQ(stream.DisplayBitmap().bits, six);
    stream.LoadFrame(8);
    EXPECT_NE(stream.DisplayBitmap().bits, six);
    // Reached by a jump, the dropped frame gives the same picture.
    stream.LoadFrame(15);
    stream.LoadFrame(7);
    EXPECT_EQ(stream.DisplayBitmap().bits, six);
}

// The decoded pictures handed out as they are number the samples exactly as the converted
// ones do: B pictures reordered, gaps repeating the picture before, for both codecs that reorder.
TEST(AviReaderDecodedPictureTest, EverySampleGivesThePictureGetFrameConverts) {
    TempDir dir;
    const std::vector<std::pair<std::string, std::vector<std::string>>> codecs = {
        {"mpeg4", {"-c:v", "mpeg4", "-bf", "2", "-g", "9", "-q:v", "4"}},
        {"h264", {"-c:v", "libx264", "-bf", "3", "-g", "12", "-crf", "24"}}};
    for (const auto& [name, options] : codecs) {
        SCOPED_TRACE(name);
        const std::string avi = dir.File(name + " gaps.avi");
        std::vector<std::string> args = {
            "-f",        "lavfi",      "-i",  "testsrc2=size=96x64:rate=25",
            "-frames:v", "40",         "-vf", "select='not(eq(n\\,7)+eq(n\\,20))'",
            "-fps_mode", "passthrough"};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(avi);
        ASSERT_TRUE(RunFfmpeg(args));
        CAviVideoStream stream(avi);
        ASSERT_EQ(stream.OpenStream(), CAviVideoStream::kOpened);
        const auto converting = stream.OpenDecoder();
        const auto handing = stream.OpenDecoder();
        ASSERT_TRUE(converting && handing);
        const int samples = converting->SampleCount();
        kivra::PictureConverter converter;
        kivra::Dib expected;
        const AVFrame* previous = nullptr;
        std::vector<uint8_t> previousBits;
        int repeats = 0;
        int shown = 0;
        for (int n = 0; n < samples; ++n) {
            const bool has = converting->GetFrame(n, expected);
            const AVFrame* picture = handing->GetPicture(n);
            ASSERT_EQ(picture != nullptr, has) << n;
            if (!has) {
                continue;  // a leading gap has no picture in either
            }
            ++shown;
            std::vector<uint8_t> bits(expected.bits.size());
            ASSERT_TRUE(converter.ToBottomUpBgr24(*picture, bits.data(), bits.size())) << n;
            ASSERT_EQ(bits, expected.bits) << "sample " << n;
            if (n > 0 && handing->PictureOf(n) == handing->PictureOf(n - 1)) {
                // The gap repeats the picture before it, unchanged.
                EXPECT_EQ(picture, previous);
                EXPECT_EQ(bits, previousBits);
                ++repeats;
            } else if (previous != nullptr) {
                EXPECT_NE(bits, previousBits) << n;
            }
            previous = picture;
            previousBits = bits;
        }
        EXPECT_EQ(shown - repeats, 40);
        EXPECT_EQ(repeats, 2);
        // Asking again for the picture shown decodes nothing.
        const int64_t decoded = handing->Stats().framesDecoded;
        ASSERT_NE(handing->GetPicture(samples - 1), nullptr);
        EXPECT_EQ(handing->Stats().framesDecoded, decoded);
    }
}

// Raw frames stored top-down (negative height) come out upright like bottom-up ones.
TEST(AviReaderRawTest, TopDownAndBottomUpRawFramesAreUpright) {
    TempDir dir;
    const std::string topDown = dir.File("topdown.avi");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25", "-frames:v", "3",
                           "-c:v", "rawvideo", "-pix_fmt", "bgr24", topDown}));
    // The same file with the stored rows reversed and the height made positive.
    std::string bytes = ReadFile(topDown);
    const std::string strf = "strf";
    const auto at = std::search(bytes.begin(), bytes.end(), strf.begin(), strf.end());
    ASSERT_NE(at, bytes.end());
    const size_t heightOffset = size_t(at - bytes.begin()) + 8 + 8;
    int32_t height;
    std::memcpy(&height, &bytes[heightOffset], 4);
    ASSERT_EQ(height, -120);  // ffmpeg stores raw BGR top-down
    height = -height;
    std::memcpy(&bytes[heightOffset], &height, 4);
    const std::string chunk = "00dc";  // ffmpeg tags raw chunks as compressed
    const size_t stride = 160 * 3;
    for (auto it = std::search(bytes.begin(), bytes.end(), chunk.begin(), chunk.end());
         it != bytes.end(); it = std::search(it + 4, bytes.end(), chunk.begin(), chunk.end())) {
        uint32_t size;
        std::memcpy(&size, &*(it + 4), 4);
        if (size != stride * 120)
            continue;
        char* data = &*(it + 8);
        for (size_t y = 0; y < 60; ++y) {
            std::swap_ranges(data + y * stride, data + (y + 1) * stride, data + (119 - y) * stride);
        }
    }
    const std::string bottomUp = dir.File("bottomup.avi");
    WriteFile(bottomUp, bytes);
    CAviVideoStream a(bottomUp), b(topDown);
    ASSERT_EQ(a.OpenStream(), CAviVideoStream::kOpened);
    ASSERT_EQ(b.OpenStream(), CAviVideoStream::kOpened);
    a.LoadFrame(1);
    b.LoadFrame(1);
    ASSERT_EQ(a.DisplayBitmap().Height(), 120);
    ASSERT_EQ(b.DisplayBitmap().Height(), 120);
    for (int y = 0; y < 120; y += 17) {
        EXPECT_EQ(0, std::memcmp(a.DisplayBitmap().PictureRow(y), b.DisplayBitmap().PictureRow(y),
                                 stride))
            << "row " << y;
    }
}

// A copy of avi whose "idx1" is renamed, so the reader has to scan "movi".
std::string WithoutIndex(const TempDir& dir, const std::string& avi, const std::string& name) {
    std::string bytes = ReadFile(avi);
    const size_t idx1 = bytes.rfind("idx1");
    if (idx1 == std::string::npos) {
        return std::string();
    }
    bytes.replace(idx1, 4, "JUNK");
    const std::string path = dir.File(name);
    return WriteFile(path, bytes) ? path : std::string();
}

// Key-frame questions answer from the key frames decoding goes by: with the index lost, a codec
// that predicts pictures has only its first one; an intra-only codec still has every one.
TEST(AviReaderKeyFrameTest, ScannedFilesAnswerFromTheDecodersKeyFrames) {
    TempDir dir;
    const std::string predicted = dir.File("gop.avi");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=25", "-frames:v", "30",
                           "-c:v", "msmpeg4v2", "-g", "10", predicted}));
    const std::string intra = dir.File("intra.avi");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=25", "-frames:v", "30",
                           "-c:v", "mjpeg", intra}));

    CAviVideoStream indexed(predicted);
    ASSERT_EQ(indexed.OpenStream(), CAviVideoStream::kOpened);
    EXPECT_EQ(indexed.FindSample(15, kivra::FindFlags::PrevKey), 10);
    EXPECT_EQ(indexed.FindSample(10, kivra::FindFlags::PrevKey), 10);
    EXPECT_EQ(indexed.FindSample(11, kivra::FindFlags::NextKey), 20);
    EXPECT_EQ(indexed.FindSample(21, kivra::FindFlags::NextKey), -1);
    EXPECT_EQ(indexed.NextKeyFrame(3), 10);

    CAviVideoStream scanned(WithoutIndex(dir, predicted, "gop scanned.avi"));
    ASSERT_EQ(scanned.OpenStream(), CAviVideoStream::kOpened);
    EXPECT_EQ(scanned.FindSample(15, kivra::FindFlags::PrevKey), 0);
    EXPECT_EQ(scanned.FindSample(0, kivra::FindFlags::PrevKey), 0);
    EXPECT_EQ(scanned.FindSample(1, kivra::FindFlags::NextKey), -1);
    EXPECT_EQ(scanned.FindSample(-5, kivra::FindFlags::NextKey), 0);
    EXPECT_EQ(scanned.NextKeyFrame(12), -1);
    const std::vector<std::string> lines = kivra::StreamInfoLines(&scanned, 12);
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines[7], "IsKey     : FALSE");
    EXPECT_EQ(lines[8], "PrevKey   :   0");
    EXPECT_EQ(lines[9], "NextKey   :  -1");
    EXPECT_EQ(lines[10], "NearestKey:   0");
    // And the pictures are still the ones decoding from the start gives.
    scanned.LoadFrame(12);
    const std::vector<uint8_t> jumped = scanned.DisplayBitmap().bits;
    indexed.LoadFrame(12);
    EXPECT_EQ(jumped, indexed.DisplayBitmap().bits);

    CAviVideoStream intraScanned(WithoutIndex(dir, intra, "intra scanned.avi"));
    ASSERT_EQ(intraScanned.OpenStream(), CAviVideoStream::kOpened);
    EXPECT_EQ(intraScanned.FindSample(15, kivra::FindFlags::PrevKey), 15);
    EXPECT_EQ(intraScanned.FindSample(16, kivra::FindFlags::NextKey), 16);
    EXPECT_EQ(kivra::StreamInfoLines(&intraScanned, 15)[7], "IsKey     : TRUE");
}

}  // namespace
