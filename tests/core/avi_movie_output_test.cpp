// The AVI writer with real encoders, read back by ffprobe/ffmpeg and by our own reader.
#include "output/avi_movie_output.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <sstream>

#include "reading/frame_decoder.h"
#include "reading/riff_avi.h"
#include "platform/four_cc.h"
#include "support/ffmpeg_tool.h"

namespace {

using kivra::AviMovieOutput;
using kivra::CompressOptions;
using kivra::MakeFourCC;
using kivra::MovieCreateError;
using kivra::MovieFormat;
using kivra::test::TempDir;

constexpr int kWidth = 64;
constexpr int kHeight = 48;

CompressOptions Options(const char* code, const std::string& parameters = {}) {
    CompressOptions options;
    options.fccType = MakeFourCC("vids");
    options.fccHandler = MakeFourCC(code);
    options.parameters = parameters;
    return options;
}

// BGRx, top row first: blue follows x, green follows y (so upside down shows), red is busy
// detail that changes with the frame (so quality shows in the data).
std::vector<uint8_t> Picture(int frame, int width = kWidth, int height = kHeight) {
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &pixels[(size_t(y) * size_t(width) + size_t(x)) * 4];
            p[0] = uint8_t(x * 4);
            p[1] = uint8_t(y * 5);
            p[2] = uint8_t((x * 37) ^ (y * 91) ^ (frame * 20));
            p[3] = 0x5A;
        }
    }
    return pixels;
}

// Writes `frames` pictures; true when creation, every frame and Finish succeeded.
bool WriteMovie(const std::string& path, const CompressOptions& options, int frames,
                MovieFormat format = {kWidth, kHeight, 30000, 1001}) {
    MovieCreateError error = MovieCreateError::None;
    std::string detail;
    auto output = AviMovieOutput::Create(path, format, options, &error, &detail);
    if (!output) {
        ADD_FAILURE() << kivra::CreateErrorText(error) << detail;
        return false;
    }
    for (int i = 0; i < frames; ++i) {
        const auto pixels = Picture(i, format.width, format.height);
        if (!output->WriteFrame(pixels.data(), format.width * 4)) {
            ADD_FAILURE() << output->ErrorDetail();
            return false;
        }
    }
    const bool finished = output->Finish();
    EXPECT_TRUE(finished) << output->ErrorDetail();
    return finished;
}

std::string Probe(const TempDir& dir, const std::string& avi, const std::string& entries,
                  bool packets = false) {
    const std::string out = dir.File("probe.txt");
    std::vector<std::string> argv = {"ffprobe",         "-v", "error", "-count_frames",
                                     "-select_streams", "v:0"};
    if (packets) {
        argv.push_back("-show_packets");
    }
    for (const std::string& a : {std::string("-show_entries"), entries, std::string("-of"),
                                 std::string("csv=p=0"), std::string("-o"), out, avi}) {
        argv.push_back(a);
    }
    return kivra::test::RunProgram(argv) ? kivra::test::ReadFile(out) : std::string("failed");
}

MovieCreateError CreateError(const std::string& path, const CompressOptions& options,
                             MovieFormat format = {kWidth, kHeight, 25, 1}) {
    MovieCreateError error = MovieCreateError::None;
    std::string detail;
    auto output = AviMovieOutput::Create(path, format, options, &error, &detail);
    EXPECT_EQ(output == nullptr, error != MovieCreateError::None);
    return error;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

TEST(AviMovieOutput, H264KeepsRateHandlerAndMarksOnlyRealKeyFrames) {
    TempDir dir("kivra avi 'out' $x");
    ASSERT_TRUE(dir.ok());
    const std::string avi = dir.File("h264 ムービー.avi");
    auto options = Options("H264", "preset=ultrafast");
    options.keyFrameEvery = 12;
    options.flags = kivra::kCompressKeyFrames;
    ASSERT_TRUE(WriteMovie(avi, options, 30));

    EXPECT_EQ(Probe(dir, avi, "stream=codec_name,r_frame_rate,nb_read_frames"),
              "h264,30000/1001,30\n");
    std::istringstream flags(Probe(dir, avi, "packet=flags", true));
    std::string line;
    int keys = 0;
    int packets = 0;
    while (std::getline(flags, line)) {
        ++packets;
        keys += line.find('K') != std::string::npos;
    }
    EXPECT_EQ(packets, 30);
    EXPECT_EQ(keys, 3);  // frames 0, 12 and 24

    const auto parsed = kivra::ParseAviFile(avi);
    ASSERT_TRUE(parsed);
    const auto& header = parsed->streams.at(0).header;
    EXPECT_EQ(header.fccHandler, MakeFourCC("H264"));
    EXPECT_EQ(header.rate, 30000u);
    EXPECT_EQ(header.scale, 1001u);
    EXPECT_EQ(header.length, 30u);
    EXPECT_EQ(header.frame.right, kWidth);
    EXPECT_EQ(header.frame.bottom, kHeight);
}

TEST(AviMovieOutput, MjpegIsAllKeyFramesAndQualityScalesTheData) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    auto low = Options("MJPG");
    low.quality = 0;
    auto high = Options("mjpg");
    high.quality = 10000;
    ASSERT_TRUE(WriteMovie(dir.File("low.avi"), low, 5));
    ASSERT_TRUE(WriteMovie(dir.File("high.avi"), high, 5));
    EXPECT_EQ(Probe(dir, dir.File("low.avi"), "packet=flags", true), "K_\nK_\nK_\nK_\nK_\n");
    EXPECT_EQ(Probe(dir, dir.File("high.avi"), "stream=codec_name,pix_fmt,nb_read_frames"),
              "mjpeg,yuvj420p,5\n");
    EXPECT_GT(kivra::test::ReadFile(dir.File("high.avi")).size(),
              2 * kivra::test::ReadFile(dir.File("low.avi")).size());
    // An options line of its own wins over the chooser's quality.
    auto own = Options("MJPG", "global_quality=3540:flags=qscale");
    own.quality = 10000;
    ASSERT_TRUE(WriteMovie(dir.File("own.avi"), own, 5));
    EXPECT_LT(kivra::test::ReadFile(dir.File("own.avi")).size(),
              kivra::test::ReadFile(dir.File("high.avi")).size());
}

TEST(AviMovieOutput, OtherEncodersAndTagsOfOneCodecAreReadable) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string rgb = dir.File("rgb.avi");
    ASSERT_TRUE(WriteMovie(rgb, Options("H264", "encoder=libx264rgb:preset=ultrafast"), 3));
    EXPECT_EQ(Probe(dir, rgb, "stream=codec_name,pix_fmt,nb_read_frames"), "h264,gbrp,3\n");
    // The code the user chose is the stream's handler, when it stands for the same codec.
    const std::string xvid = dir.File("xvid.avi");
    ASSERT_TRUE(WriteMovie(xvid, Options("XVID"), 3));
    EXPECT_EQ(Probe(dir, xvid, "stream=codec_name,codec_tag_string,nb_read_frames"),
              "mpeg4,XVID,3\n");
    // utvideo names its tag by the layout it codes; another tag would not decode.
    const std::string ut = dir.File("ut.avi");
    ASSERT_TRUE(WriteMovie(ut, Options("ULRA"), 3));
    EXPECT_EQ(Probe(dir, ut, "stream=codec_name,nb_read_frames"), "utvideo,3\n");
}

TEST(AviMovieOutput, UncompressedIsUprightAndExactInBothReaders) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string avi = dir.File("dib.avi");
    ASSERT_TRUE(WriteMovie(avi, Options("DIB "), 3, {kWidth, kHeight, 25, 1}));

    const auto parsed = kivra::ParseAviFile(avi);
    ASSERT_TRUE(parsed);
    const auto& stream = parsed->streams.at(0);
    EXPECT_EQ(stream.header.fccHandler, MakeFourCC("DIB "));
    ASSERT_GE(stream.format.size(), 40u);
    int32_t height = 0;
    uint16_t bits = 0;
    uint32_t compression = 0;
    std::memcpy(&height, &stream.format[8], 4);
    std::memcpy(&bits, &stream.format[14], 2);
    std::memcpy(&compression, &stream.format[16], 4);
    EXPECT_EQ(height, kHeight);
    EXPECT_EQ(bits, 32);
    EXPECT_EQ(compression, 0u);

    const std::string raw = dir.File("frames.bgr");
    ASSERT_TRUE(kivra::test::RunFfmpeg({"-i", avi, "-f", "rawvideo", "-pix_fmt", "bgr24", raw}));
    const std::string fromFfmpeg = kivra::test::ReadFile(raw);
    ASSERT_EQ(fromFfmpeg.size(), size_t(3 * kWidth * kHeight * 3));

    kivra::AviFrameDecoder::OpenResult result{};
    auto decoder =
        kivra::AviFrameDecoder::Open(avi, *parsed, kivra::FirstVideoStream(*parsed), &result);
    ASSERT_TRUE(decoder);
    ASSERT_EQ(decoder->SampleCount(), 3);
    for (int f = 0; f < 3; ++f) {
        kivra::Dib dib;
        ASSERT_TRUE(decoder->GetFrame(f, dib));
        const auto expected = Picture(f);
        int ownWrong = 0;
        int ffmpegWrong = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const uint8_t* want = &expected[(size_t(y) * kWidth + size_t(x)) * 4];
                const uint8_t* own = dib.PictureRow(y) + x * 3;
                const auto* theirs = reinterpret_cast<const uint8_t*>(
                    &fromFfmpeg[((size_t(f) * kHeight + size_t(y)) * kWidth + size_t(x)) * 3]);
                ownWrong += std::memcmp(want, own, 3) != 0;
                ffmpegWrong += std::memcmp(want, theirs, 3) != 0;
            }
        }
        EXPECT_EQ(ownWrong, 0) << "frame " << f;
        EXPECT_EQ(ffmpegWrong, 0) << "frame " << f;
    }
}

TEST(AviMovieOutput, EachCreationStepFailsWithItsMessageAndLeavesNoFile) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.File("out.avi");
    EXPECT_EQ(CreateError(path, Options("H264", "nonsense=1")), MovieCreateError::MakeCompressed);
    EXPECT_EQ(CreateError(path, Options("H264", "crf=lots")), MovieCreateError::MakeCompressed);
    EXPECT_EQ(CreateError(path, Options("H264", "encoder=mjpeg")),
              MovieCreateError::MakeCompressed);
    EXPECT_EQ(CreateError(path, Options("ZZZZ")), MovieCreateError::MakeCompressed);
    // 4:2:0 needs even sides.
    EXPECT_EQ(CreateError(path, Options("H264"), {63, 47, 25, 1}), MovieCreateError::SetFormat);
    EXPECT_EQ(CreateError(path, Options("MJPG"), {kWidth, kHeight, 0, 1}),
              MovieCreateError::SetFormat);
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(CreateError(dir.File("missing/out.avi"), Options("MJPG")),
              MovieCreateError::FileOpen);
    EXPECT_STREQ(kivra::CreateErrorText(MovieCreateError::SetFormat),
                 "** AVIStreamSetFormat ERROR!!\n");

    // What is already at the path is neither overwritten nor followed.
    ASSERT_TRUE(kivra::test::WriteFile(path, "keep me"));
    EXPECT_EQ(CreateError(path, Options("MJPG")), MovieCreateError::FileOpen);
    EXPECT_EQ(kivra::test::ReadFile(path), "keep me");
    const std::string link = dir.File("link.avi");
    ASSERT_EQ(::symlink(dir.File("victim").c_str(), link.c_str()), 0);
    EXPECT_EQ(CreateError(link, Options("MJPG")), MovieCreateError::FileOpen);
    EXPECT_FALSE(Exists(dir.File("victim")));

    // Dropped before Finish: the half-written movie goes.
    {
        MovieCreateError error{};
        std::string detail;
        auto output = AviMovieOutput::Create(dir.File("partial.avi"), {kWidth, kHeight, 25, 1},
                                             Options("MJPG"), &error, &detail);
        ASSERT_TRUE(output);
        const auto pixels = Picture(0);
        EXPECT_TRUE(output->WriteFrame(pixels.data(), kWidth * 4));
        EXPECT_TRUE(Exists(dir.File("partial.avi")));
    }
    EXPECT_FALSE(Exists(dir.File("partial.avi")));
}

TEST(AviMovieOutput, FullDiskFailsTheWriteAndLeavesNoFile) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.File("full.avi");
    for (const char* code : {"DIB ", "MJPG"}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // The file may not grow past 20 KiB: writes then fail with EFBIG.
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{20 * 1024, 20 * 1024};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            MovieCreateError error{};
            std::string detail;
            auto output =
                AviMovieOutput::Create(path, {320, 240, 25, 1}, Options(code), &error, &detail);
            if (!output) {
                ::_exit(2);
            }
            bool ok = true;
            for (int i = 0; i < 20 && ok; ++i) {
                const auto pixels = Picture(i, 320, 240);
                ok = output->WriteFrame(pixels.data(), 320 * 4);
            }
            ok = ok && output->Finish();
            output.reset();
            ::_exit(ok ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 1) << code;
        EXPECT_FALSE(Exists(path)) << code;
    }
}

}  // namespace
