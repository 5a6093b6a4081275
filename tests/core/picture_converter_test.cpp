// Converting decoded pictures into the display bitmap: exact pixels and not one byte written
// outside the bitmap, for the widths and pixel formats whose rows swscale stores in blocks.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <random>

#include "picture/picture_converter.h"
#include "reading/avi_video_stream.h"
#include "reading/decode_pipeline.h"
#include "support/ffmpeg_tool.h"

extern "C" {
#include <libavutil/cpu.h>
#include <libavutil/pixdesc.h>
}

namespace {

using kivra::test::ReadFile;
using kivra::test::RunFfmpeg;
using kivra::test::TempDir;

constexpr uint8_t kUntouched = 0x5A;

// size bytes whose last one abuts an inaccessible page, so a write past them crashes; the
// bytes of the page before them are filled so a write before them shows.
class GuardedBytes {
public:
    explicit GuardedBytes(size_t size) : size_(size) {
        const size_t page = size_t(sysconf(_SC_PAGESIZE));
        usable_ = (size + page - 1) / page * page + page;
        mapped_ = usable_ + page;
        void* base =
            mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base == MAP_FAILED) {
            return;
        }
        base_ = static_cast<uint8_t*>(base);
        mprotect(base_ + usable_, page, PROT_NONE);
        std::memset(base_, kUntouched, usable_);
    }
    ~GuardedBytes() {
        if (base_ != nullptr) {
            munmap(base_, mapped_);
        }
    }
    uint8_t* data() const { return base_ + usable_ - size_; }
    size_t size() const { return size_; }
    bool BeforeUntouched() const {
        for (const uint8_t* p = base_; p < data(); ++p) {
            if (*p != kUntouched) {
                return false;
            }
        }
        return true;
    }

private:
    uint8_t* base_ = nullptr;
    size_t size_ = 0;
    size_t usable_ = 0;
    size_t mapped_ = 0;
};

// Converts frame into a guarded bitmap-sized buffer and returns the bytes; fails the test on
// a write before the buffer (a write past it kills the test).
std::vector<uint8_t> GuardedConversion(const AVFrame& frame) {
    kivra::PictureConverter converter;
    GuardedBytes bits(size_t(kivra::DibStride(frame.width, 24)) * size_t(frame.height));
    EXPECT_TRUE(converter.ToBottomUpBgr24(frame, bits.data(), bits.size()));
    EXPECT_TRUE(bits.BeforeUntouched());
    return std::vector<uint8_t>(bits.data(), bits.data() + bits.size());
}

// swscale's own result with rows far apart, bottom-up in DIB rows.
std::vector<uint8_t> RoomyConversion(const AVFrame& frame) {
    const int w = frame.width;
    const int h = frame.height;
    const int roomy = w * 3 + 512;
    std::vector<uint8_t> rows(size_t(roomy) * size_t(h + 1));
    kivra::SwsContextPtr sws(sws_getContext(w, h, AVPixelFormat(frame.format), w, h,
                                            AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr,
                                            nullptr));
    const int* coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
    sws_setColorspaceDetails(sws.get(), coefficients, 0, coefficients, 1, 0, 1 << 16, 1 << 16);
    uint8_t* dst[4] = {rows.data(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {roomy, 0, 0, 0};
    sws_scale(sws.get(), frame.data, frame.linesize, 0, h, dst, dstStride);
    const int stride = kivra::DibStride(w, 24);
    std::vector<uint8_t> dib(size_t(stride) * size_t(h));
    for (int y = 0; y < h; ++y) {
        std::memcpy(dib.data() + size_t(h - 1 - y) * stride, rows.data() + size_t(y) * roomy,
                    size_t(w) * 3);
    }
    return dib;
}

kivra::AvFramePtr RandomFrame(AVPixelFormat format, int width, int height, std::mt19937& random) {
    kivra::AvFramePtr frame(av_frame_alloc());
    frame->format = format;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame.get(), 0) < 0) {
        return nullptr;
    }
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
    for (int p = 0; p < 4 && frame->data[p] != nullptr; ++p) {
        const bool chroma = p == 1 || p == 2;
        const int rows = chroma ? AV_CEIL_RSHIFT(height, desc->log2_chroma_h) : height;
        for (size_t i = 0; i < size_t(rows) * size_t(frame->linesize[p]); ++i) {
            frame->data[p][i] = uint8_t(random());
        }
    }
    return frame;
}

// Every width up to a few blocks and some wide ones, in the formats decoders give, with each
// of swscale's code paths: plain C, SSE2, SSSE3 and whatever this processor has.
TEST(PictureConverterTest, EveryWidthIsExactAndStaysInsideTheBitmap) {
    const AVPixelFormat formats[] = {AV_PIX_FMT_YUYV422, AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV422P,
                                     AV_PIX_FMT_YUV444P, AV_PIX_FMT_NV12,    AV_PIX_FMT_UYVY422,
                                     AV_PIX_FMT_BGR24,   AV_PIX_FMT_GRAY8};
    std::vector<int> widths;
    for (int w = 1; w <= 80; ++w) {
        widths.push_back(w);
    }
    for (const int w : {100, 122, 648, 1080, 1920}) {
        widths.push_back(w);
    }
    const int sse2 = AV_CPU_FLAG_MMX | AV_CPU_FLAG_MMXEXT | AV_CPU_FLAG_SSE | AV_CPU_FLAG_SSE2;
    const int ssse3 = sse2 | AV_CPU_FLAG_SSE3 | AV_CPU_FLAG_SSSE3;
    std::mt19937 random(3);
    for (const int cpu : {0, sse2, ssse3, -1}) {
        av_force_cpu_flags(cpu);
        for (const AVPixelFormat format : formats) {
            for (const int width : widths) {
                for (const int height : {2, 5}) {
                    const auto frame = RandomFrame(format, width, height, random);
                    ASSERT_TRUE(frame);
                    EXPECT_EQ(GuardedConversion(*frame), RoomyConversion(*frame))
                        << av_get_pix_fmt_name(format) << " " << width << "x" << height
                        << " cpu flags " << cpu;
                }
            }
        }
    }
    av_force_cpu_flags(-1);
}

struct Clip {
    const char* name;
    int width;
    int height;
    std::vector<std::string> options;
};

void PrintTo(const Clip& clip, std::ostream* out) {
    *out << clip.name;
}

class RealClipTest : public ::testing::TestWithParam<Clip> {};

// Real files: the decoder's own pictures go into a guarded buffer, and every picture shown
// matches ffmpeg's, right up to the last column.
TEST_P(RealClipTest, PicturesMatchFfmpegAndStayInsideTheBitmap) {
    const Clip& clip = GetParam();
    constexpr int kFrames = 4;
    TempDir dir;
    const std::string avi = dir.File("clip.avi");
    const std::string size = std::to_string(clip.width) + "x" + std::to_string(clip.height);
    std::vector<std::string> args = {"-f",        "lavfi",
                                     "-i",        "testsrc2=size=" + size + ":rate=25",
                                     "-frames:v", std::to_string(kFrames)};
    args.insert(args.end(), clip.options.begin(), clip.options.end());
    args.push_back(avi);
    ASSERT_TRUE(RunFfmpeg(args));
    const std::string raw = dir.File("ref.raw");
    ASSERT_TRUE(RunFfmpeg({"-i", avi, "-f", "rawvideo", "-pix_fmt", "bgr24", raw}));
    const std::string reference = ReadFile(raw);
    const size_t frameBytes = size_t(clip.width) * size_t(clip.height) * 3;
    ASSERT_EQ(reference.size(), frameBytes * kFrames);

    CAviVideoStream stream(avi);
    ASSERT_EQ(stream.OpenStream(), CAviVideoStream::kOpened);
    const auto file = kivra::ParseAviFile(avi);
    ASSERT_TRUE(file);
    kivra::ChunkTable::BuildResult built{};
    const auto table = kivra::ChunkTable::Build(avi, *file, kivra::FirstVideoStream(*file), &built);
    ASSERT_TRUE(table);
    const auto pipeline = kivra::DecodePipeline::Create(table, 1, nullptr);
    ASSERT_TRUE(pipeline);
    pipeline->StartRun(0);

    for (int n = 0; n < kFrames; ++n) {
        stream.LoadFrame(n);
        const kivra::Dib& dib = stream.DisplayBitmap();
        ASSERT_EQ(dib.Width(), clip.width);
        ASSERT_EQ(dib.Height(), clip.height);
        ASSERT_EQ(pipeline->Next(), n);
        EXPECT_EQ(GuardedConversion(pipeline->Picture()), dib.bits) << n;
        pipeline->ReleasePicture();

        // Worst column, so a few wrong pixels at an edge are not averaged away.
        double worst = 0;
        for (int x = 0; x < clip.width; ++x) {
            double sum = 0;
            for (int y = 0; y < clip.height; ++y) {
                const uint8_t* own = dib.PictureRow(y) + size_t(x) * 3;
                const char* ref = reference.data() + frameBytes * size_t(n) +
                                  (size_t(y) * size_t(clip.width) + size_t(x)) * 3;
                for (int c = 0; c < 3; ++c) {
                    sum += std::abs(int(own[c]) - int(uint8_t(ref[c])));
                }
            }
            worst = std::max(worst, sum / (clip.height * 3.0));
        }
        EXPECT_LT(worst, 3.0) << "frame " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Widths, RealClipTest,
    ::testing::Values(
        Clip{"yuy2_62", 62, 48, {"-c:v", "rawvideo", "-pix_fmt", "yuyv422"}},
        Clip{"yuy2_66", 66, 48, {"-c:v", "rawvideo", "-pix_fmt", "yuyv422"}},
        Clip{"yuy2_70", 70, 48, {"-c:v", "rawvideo", "-pix_fmt", "yuyv422"}},
        Clip{"yuy2_100", 100, 48, {"-c:v", "rawvideo", "-pix_fmt", "yuyv422"}},
        Clip{"yuy2_122", 122, 48, {"-c:v", "rawvideo", "-pix_fmt", "yuyv422"}},
        Clip{"mpeg4_72", 72, 48, {"-c:v", "mpeg4", "-q:v", "2", "-pix_fmt", "yuv420p"}},
        Clip{"mpeg4_100", 100, 48, {"-c:v", "mpeg4", "-q:v", "2", "-pix_fmt", "yuv420p"}},
        Clip{"mpeg4_1080", 1080, 16, {"-c:v", "mpeg4", "-q:v", "2", "-pix_fmt", "yuv420p"}},
        Clip{"mjpeg_648", 648, 16, {"-c:v", "mjpeg", "-q:v", "2", "-pix_fmt", "yuvj420p"}},
        Clip{"mjpeg_72", 72, 48, {"-c:v", "mjpeg", "-q:v", "2", "-pix_fmt", "yuvj420p"}},
        Clip{"tiny_4x2", 4, 2, {"-c:v", "rawvideo", "-pix_fmt", "yuv420p"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
