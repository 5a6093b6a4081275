// The trimmed movie as written: a lossless source whose every pixel is known, written
// uncompressed and read back with our reader, frame by frame against the plain computation.
#include "output/trimmed_movie_writer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "markers/video_annotations.h"
#include "platform/four_cc.h"
#include "platform/string_table.h"
#include "reading/avi_video_stream.h"
#include "reading/riff_avi.h"
#include "support/ffmpeg_tool.h"
#include "support/trimmed_reference.h"

namespace {

using kivra::PixelRect;
using kivra::WriteResult;
using kivra::test::TempDir;

constexpr int kSourceW = 120;
constexpr int kSourceH = 90;
constexpr int kFrames = 12;

// Every frame differs everywhere, with detail at every scale.
int SourceValue(int frame, int x, int y, int c) {
    switch (c) {
        case 0:
            return (x * 9 + frame * 17) & 255;
        case 1:
            return (y * 7 + frame * 5) & 255;
        default:
            return ((x / 3) * (y / 2) + frame * 29) & 255;
    }
}

// Writes the frames as raw BGR and has ffmpeg store them losslessly (FFV1) in an AVI.
bool MakeSource(const TempDir& dir, const std::string& avi) {
    std::string raw;
    for (int f = 0; f < kFrames; ++f) {
        for (int y = 0; y < kSourceH; ++y) {
            for (int x = 0; x < kSourceW; ++x) {
                for (int c = 0; c < 3; ++c) {
                    raw.push_back(char(SourceValue(f, x, y, c)));
                }
            }
        }
    }
    const std::string rawPath = dir.File("source.bgr");
    return kivra::test::WriteFile(rawPath, raw) &&
           kivra::test::RunFfmpeg({"-f", "rawvideo", "-pix_fmt", "bgr24", "-s", "120x90", "-r",
                                   "25", "-i", rawPath, "-c:v", "ffv1", "-pix_fmt", "bgr0", avi});
}

kivra::CompressOptions Uncompressed() {
    kivra::CompressOptions options;
    options.fccType = kivra::MakeFourCC("vids");
    options.fccHandler = kivra::MakeFourCC("DIB ");
    return options;
}

class RecordingMessages final : public kivra::UserMessages {
public:
    kivra::MsgAnswer ShowMessage(const std::string& text, kivra::MsgButtons,
                                 kivra::MsgIcon) override {
        shown.push_back(text);
        return kivra::MsgAnswer::Ok;
    }
    std::vector<std::string> shown;
};

// Counts what the writer shows and asks for a cancel once `cancelAfter` frames were pumped.
class CountingProgress final : public kivra::ProgressSink {
public:
    void Begin(int lower, int upper, const std::string& caption, kivra::PercentLabel) override {
        begun = {lower, upper};
        this->caption = caption;
    }
    void SetCaption(const std::string&) override {}
    void SetPosition(int position) override { last = position; }
    void Pump() override { ++pumps; }
    void End() override { ++ends; }
    void OfferCancel() override { offered = true; }
    bool CancelRequested() const override { return cancelAfter >= 0 && pumps > cancelAfter; }

    std::pair<int, int> begun{-1, -1};
    std::string caption;
    int last = -1, pumps = 0, ends = 0, cancelAfter = -1;
    bool offered = false;
};

class WriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(MakeSource(dir, source));
        stream = std::make_unique<CAviVideoStream>(source);
        ASSERT_EQ(stream->OpenStream(), CAviVideoStream::kOpened);
        ASSERT_EQ(stream->GetFrameCount(), kFrames);
    }

    // Writes frames first..last at w x h and checks every sample against the computation.
    void WriteAndCheck(int first, int last, int w, int h, const std::string& what) {
        SCOPED_TRACE(what);
        const std::string out = dir.File("out " + what + ".avi");
        kivra::TrimmedMovieJob job{out, first, last, w, h, false, Uncompressed(), mosaicType};
        CountingProgress progress;
        RecordingMessages messages;
        ASSERT_EQ(kivra::WriteTrimmedMovie(*stream, annotations, job, progress, messages),
                  WriteResult::Written);
        EXPECT_EQ(progress.begun, std::make_pair(0, last - first + 1));
        EXPECT_EQ(progress.caption, kivra::LoadString(2019));
        EXPECT_EQ(progress.last, last - first + 1);
        EXPECT_EQ(progress.ends, 1);
        EXPECT_TRUE(progress.offered);

        CAviVideoStream written(out);
        ASSERT_EQ(written.OpenStream(), CAviVideoStream::kOpened);
        ASSERT_EQ(written.GetFrameCount(), last - first + 1);
        EXPECT_EQ(written.StreamInfo().rate, stream->StreamInfo().rate);
        EXPECT_EQ(written.StreamInfo().scale, stream->StreamInfo().scale);
        for (int i = 0; i < written.GetFrameCount(); ++i) {
            const int frame = first + i;
            std::vector<uint8_t> expected = kivra::test::ReferenceTrimmed(
                [&](int x, int y, int c) { return SourceValue(frame, x, y, c); }, kSourceW,
                kSourceH, annotations.m_trimParam.At(frame), w, h);
            expected = kivra::test::ReferenceMosaic(expected, w, h, 3, true,
                                                    kivra::MosaicRect({0, 0, w, h}, mosaicType));
            written.LoadFrame(i);
            const kivra::Dib& got = written.DisplayBitmap();
            ASSERT_EQ(got.Width(), w);
            ASSERT_EQ(got.Height(), h);
            int worst = 0;
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < 3 * w; ++x) {
                    worst = std::max(
                        worst, std::abs(got.PictureRow(y)[x] - expected[size_t(y * 3 * w + x)]));
                }
            }
            ASSERT_LE(worst, 1) << "sample " << i;
        }
    }

    void SetAreas(const PixelRect& a1, int f1, const PixelRect& a2, int f2,
                  kivra::TrimmingMode mode, int direction) {
        ASSERT_TRUE(kivra::InterpolateTrimRects(a1, f1, a2, f2, mode, direction, kFrames,
                                                annotations.m_trimParam));
    }

    TempDir dir{"kivra writer ü"};
    const std::string source = dir.File("walk 'src'.avi");
    std::unique_ptr<CAviVideoStream> stream;
    VideoAnnotations annotations;
    int mosaicType = 1;
};

TEST_F(WriterTest, SideModeLandscapeEveryMosaicType) {
    SetAreas({4, 10, 52, 46}, 2, {60, 30, 108, 66}, 9, kivra::kSideMode, kivra::kLandscape);
    for (int mosaic = 0; mosaic <= 3; ++mosaic) {
        mosaicType = mosaic;
        WriteAndCheck(3, 10, 64, 48, "side mosaic " + std::to_string(mosaic));
    }
}

TEST_F(WriterTest, FrontModePortraitWithAreasPastTheEdges) {
    // Area 1 reaches past the top-left corner, area 2 past the bottom-right: black outside, the
    // inside at the box's own scale.
    mosaicType = 2;
    SetAreas({-10, -8, 20, 32}, 1, {90, 40, 150, 120}, 10, kivra::kFrontMode, kivra::kPortrait);
    WriteAndCheck(0, kFrames - 1, 48, 64, "front portrait");
}

TEST_F(WriterTest, FramesWithoutRectangleAreBlackAndDeinterlacingDoublesRows) {
    annotations.m_trimParam.Clear();
    mosaicType = 0;
    WriteAndCheck(5, 7, 40, 30, "no areas");

    // Deinterlaced: each odd buffer row of the bottom-up source repeats the even one below it,
    // so picture rows come in equal pairs counted from the bottom.
    SetAreas({0, 0, kSourceW, kSourceH}, 0, {0, 0, kSourceW, kSourceH}, 1, kivra::kSideMode,
             kivra::kLandscape);
    const std::string out = dir.File("deinterlaced.avi");
    kivra::TrimmedMovieJob job{out, 2, 2, kSourceW, kSourceH, true, Uncompressed(), mosaicType};
    CountingProgress progress;
    RecordingMessages messages;
    ASSERT_EQ(kivra::WriteTrimmedMovie(*stream, annotations, job, progress, messages),
              WriteResult::Written);
    CAviVideoStream written(out);
    ASSERT_EQ(written.OpenStream(), CAviVideoStream::kOpened);
    written.LoadFrame(0);
    const kivra::Dib& got = written.DisplayBitmap();
    for (int y = 0; y < kSourceH; ++y) {
        const int from = kSourceH - 1 - ((kSourceH - 1 - y) & ~1);
        for (int x = 0; x < kSourceW; ++x) {
            ASSERT_EQ(got.PictureRow(y)[3 * x + 1], SourceValue(2, x, from, 1)) << x << "," << y;
        }
    }
}

TEST_F(WriterTest, CancelCreateFailureAndBadRangesLeaveNothing) {
    SetAreas({4, 10, 52, 46}, 2, {60, 30, 108, 66}, 9, kivra::kSideMode, kivra::kLandscape);
    const std::string out = dir.File("cancelled.avi");
    kivra::TrimmedMovieJob job{out, 0, kFrames - 1, 64, 48, false, Uncompressed()};
    RecordingMessages messages;
    CountingProgress progress;
    progress.cancelAfter = 4;
    EXPECT_EQ(kivra::WriteTrimmedMovie(*stream, annotations, job, progress, messages),
              WriteResult::Cancelled);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(progress.ends, 1);
    EXPECT_LE(progress.last, 5);

    // A folder that does not exist: the first creation message, nothing written.
    job.outputPath = dir.File("no such folder/out.avi");
    CountingProgress quiet;
    EXPECT_EQ(kivra::WriteTrimmedMovie(*stream, annotations, job, quiet, messages),
              WriteResult::CreateFailed);
    EXPECT_EQ(messages.shown, std::vector<std::string>{"** AVIFileOpen ERROR!!\n"});
    EXPECT_EQ(quiet.begun.second, -1);

    // A compressor that does not exist fails at making the compressed stream.
    messages.shown.clear();
    job.outputPath = out;
    job.compress.fccHandler = kivra::MakeFourCC("ZZZZ");
    EXPECT_EQ(kivra::WriteTrimmedMovie(*stream, annotations, job, quiet, messages),
              WriteResult::CreateFailed);
    EXPECT_EQ(messages.shown, std::vector<std::string>{"** AVIMakeCompressedStream ERROR!!\n"});
    EXPECT_FALSE(std::filesystem::exists(out));

    // Ranges outside the video and unusable sizes are refused before anything is created.
    job.compress = Uncompressed();
    for (const auto& [first, last, w] :
         {std::tuple{-1, 3, 64}, {0, kFrames, 64}, {5, 4, 64}, {0, 3, 0}}) {
        job.rangeStart = first;
        job.rangeEnd = last;
        job.outputWidth = w;
        EXPECT_EQ(kivra::WriteTrimmedMovie(*stream, annotations, job, quiet, messages),
                  WriteResult::Failed);
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

// A frame the source cannot decode is written as the picture before it.
TEST(WriterDecodeTest, UndecodableFramesRepeatThePreviousPicture) {
    TempDir dir;
    const std::string source = dir.File("damaged.avi");
    ASSERT_TRUE(kivra::test::RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=80x60:rate=25", "-vf",
                                        "noise=alls=40:allf=t", "-frames:v", "10", "-c:v", "mjpeg",
                                        source}));
    {
        const auto parsed = kivra::ParseAviFile(source, nullptr);
        ASSERT_TRUE(parsed);
        const kivra::AviSample chunk = parsed->streams[0].samples[5];
        std::string bytes = kivra::test::ReadFile(source);
        std::fill_n(bytes.begin() + std::ptrdiff_t(chunk.offset), chunk.size, '\x5a');
        ASSERT_TRUE(kivra::test::WriteFile(source, bytes));
    }
    CAviVideoStream stream(source);
    ASSERT_EQ(stream.OpenStream(), CAviVideoStream::kOpened);
    VideoAnnotations annotations;
    ASSERT_TRUE(kivra::InterpolateTrimRects({0, 0, 80, 60}, 0, {0, 0, 80, 60}, 1, kivra::kSideMode,
                                            kivra::kLandscape, 10, annotations.m_trimParam));
    const std::string out = dir.File("out.avi");
    kivra::TrimmedMovieJob job{out, 3, 7, 80, 60, false, Uncompressed(), 0};
    CountingProgress progress;
    RecordingMessages messages;
    ASSERT_EQ(kivra::WriteTrimmedMovie(stream, annotations, job, progress, messages),
              WriteResult::Written);
    CAviVideoStream written(out);
    ASSERT_EQ(written.OpenStream(), CAviVideoStream::kOpened);
    ASSERT_EQ(written.GetFrameCount(), 5);
    std::vector<std::vector<uint8_t>> pictures;
    for (int i = 0; i < 5; ++i) {
        written.LoadFrame(i);
        pictures.push_back(written.DisplayBitmap().bits);
    }
    EXPECT_EQ(pictures[2], pictures[1]);  // frame 5 repeats frame 4
    EXPECT_NE(pictures[1], pictures[0]);
    EXPECT_NE(pictures[3], pictures[2]);
}

}  // namespace
