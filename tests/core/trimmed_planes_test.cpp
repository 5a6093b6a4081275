// Trimmed pictures made plane by plane in the encoder's YUV: exact where the geometry fixes the
// answer (black outside, chroma of odd crops, subsampling changes, range mapping, mosaic cells),
// and whole movies close to the ones made through RGB.
#include "rendering/trimmed_planes.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <cmath>
#include <functional>

#include "markers/video_annotations.h"
#include "output/avi_movie_output.h"
#include "output/trimmed_movie_writer.h"
#include "platform/four_cc.h"
#include "reading/avi_video_stream.h"
#include "support/ffmpeg_tool.h"

namespace {

using kivra::AvFramePtr;
using kivra::PixelRect;
using kivra::test::TempDir;

using PlaneValue = std::function<int(int plane, int x, int y)>;

AvFramePtr MakeFrame(AVPixelFormat format, int width, int height, const PlaneValue& value) {
    AvFramePtr frame(av_frame_alloc());
    frame->format = format;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame.get(), 0) < 0) {
        return nullptr;
    }
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
    for (int p = 0; p < 3; ++p) {
        const int w = p ? AV_CEIL_RSHIFT(width, desc->log2_chroma_w) : width;
        const int h = p ? AV_CEIL_RSHIFT(height, desc->log2_chroma_h) : height;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                frame->data[p][y * frame->linesize[p] + x] = uint8_t(value ? value(p, x, y) : 77);
            }
        }
    }
    return frame;
}

int At(const AVFrame& frame, int plane, int x, int y) {
    return frame.data[plane][y * frame.linesize[plane] + x];
}

// Chroma is a ramp of two levels a sample across (or down), so a picture shifted by one chroma
// sample is told from one shifted by half a sample, which is what an odd luma offset means.
TEST(TrimmedPlanesTest, OddCropsAndSubsamplingChangesKeepTheChromaInPlace) {
    kivra::TrimmedPlanesRenderer renderer;
    for (const AVPixelFormat sourceFormat : {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV422P}) {
        const AvFramePtr source = MakeFrame(sourceFormat, 96, 64, [](int p, int x, int y) {
            return p == 0 ? 100 : p == 1 ? 20 + 2 * x : 20 + 2 * y;
        });
        ASSERT_TRUE(source);
        const int lumaRowsPerChroma = sourceFormat == AV_PIX_FMT_YUV422P ? 1 : 2;
        for (const int left : {10, 11}) {
            for (const int top : {6, 7}) {
                SCOPED_TRACE(std::string(av_get_pix_fmt_name(sourceFormat)) + " at " +
                             std::to_string(left) + "," + std::to_string(top));
                // Same size in and out: each output chroma sample covers two source pixels.
                AvFramePtr out = MakeFrame(AV_PIX_FMT_YUV420P, 40, 30, nullptr);
                ASSERT_TRUE(
                    renderer.Render(source.get(), {left, top, left + 40, top + 30}, 0, *out));
                for (int y = 0; y < 15; ++y) {
                    for (int x = 0; x < 20; ++x) {
                        // Source chroma column of the output sample's centre, doubled.
                        const int across = 2 * (left + 2 * x + 1) / 2 - 1;  // 2 * centre
                        ASSERT_EQ(At(*out, 1, x, y), 20 + across) << x << "," << y;
                        const double centreRow = double(top + 2 * y + 1) / lumaRowsPerChroma - 0.5;
                        ASSERT_EQ(At(*out, 2, x, y), int(std::lround(20 + 2 * centreRow)))
                            << x << "," << y;
                    }
                }
                for (int y = 0; y < 30; ++y) {
                    for (int x = 0; x < 40; ++x) {
                        ASSERT_EQ(At(*out, 0, x, y), 100);
                    }
                }
            }
        }
    }
}

// A box past the picture's corner: black outside the part on the picture in every plane, the
// levels mapped between full and limited range both ways, the other format kept apart.
TEST(TrimmedPlanesTest, BlackOutsideAndLevelsMappedBetweenRanges) {
    struct Case {
        AVPixelFormat source, out;
        int inY, inU, inV, outY, outU, outV, black;
    };
    const Case cases[] = {
        {AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUV420P, 255, 255, 0, 235, 240, 16, 16},
        {AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUV420P, 0, 128, 64, 16, 128, 72, 16},
        {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUVJ420P, 235, 240, 17, 255, 255, 2, 0},
        {AV_PIX_FMT_YUV444P, AV_PIX_FMT_YUVJ422P, 16, 128, 128, 0, 128, 128, 0},
        {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV444P, 180, 90, 200, 180, 90, 200, 16},
    };
    kivra::TrimmedPlanesRenderer renderer;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(av_get_pix_fmt_name(c.source)) + " -> " +
                     av_get_pix_fmt_name(c.out));
        const AvFramePtr source = MakeFrame(c.source, 64, 48, [&](int p, int, int) {
            return p == 0 ? c.inY : p == 1 ? c.inU : c.inV;
        });
        AvFramePtr out = MakeFrame(c.out, 48, 36, nullptr);
        // The box is twice the output and its left 20 and top 12 pixels lie off the picture,
        // so the picture fills output columns 10..41 and rows 6..29 exactly.
        ASSERT_TRUE(renderer.Render(source.get(), {-20, -12, 76, 60}, 0, *out));
        const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(c.out);
        for (int p = 0; p < 3; ++p) {
            const int sx = p ? desc->log2_chroma_w : 0;
            const int sy = p ? desc->log2_chroma_h : 0;
            const int inside[3] = {c.outY, c.outU, c.outV};
            const int black = p ? 128 : c.black;
            for (int y = 0; y < AV_CEIL_RSHIFT(36, sy); ++y) {
                for (int x = 0; x < AV_CEIL_RSHIFT(48, sx); ++x) {
                    const bool in =
                        (x << sx) >= 10 && (x << sx) < 42 && (y << sy) >= 6 && (y << sy) < 30;
                    ASSERT_EQ(At(*out, p, x, y), in ? inside[p] : black)
                        << "plane " << p << " at " << x << "," << y;
                }
            }
        }
    }
    // Nothing to show, or a format the planes do not serve.
    AvFramePtr out = MakeFrame(AV_PIX_FMT_YUV420P, 16, 16, nullptr);
    ASSERT_TRUE(renderer.Render(nullptr, {0, 0, 8, 8}, 3, *out));
    EXPECT_EQ(At(*out, 0, 5, 5), 16);
    EXPECT_EQ(At(*out, 2, 7, 7), 128);
    const AvFramePtr rgb = MakeFrame(AV_PIX_FMT_YUV420P, 16, 16, nullptr);
    rgb->format = AV_PIX_FMT_BGR0;
    EXPECT_FALSE(renderer.Render(rgb.get(), {0, 0, 8, 8}, 0, *out));
    EXPECT_FALSE(kivra::IsPlanarYuv8(AV_PIX_FMT_YUV420P10LE));
    EXPECT_FALSE(kivra::IsPlanarYuv8(AV_PIX_FMT_NV12));
    EXPECT_TRUE(kivra::IsPlanarYuv8(AV_PIX_FMT_YUVJ422P));
}

// Every grid cell in the mosaic band is one level per plane, the same cell in chroma
// coordinates, and takes the mean of its top row; outside the band the picture is as scaled.
TEST(TrimmedPlanesTest, MosaicCellsAreUniformInEveryPlane) {
    const AvFramePtr source = MakeFrame(AV_PIX_FMT_YUVJ420P, 200, 150, [](int p, int x, int y) {
        return (x * (3 + p) + y * (5 - p) + (x * y) % 7) & 255;
    });
    kivra::TrimmedPlanesRenderer renderer;
    for (const int type : {2, 3}) {
        SCOPED_TRACE(type);
        AvFramePtr out = MakeFrame(AV_PIX_FMT_YUVJ420P, 130, 98, nullptr);
        AvFramePtr plain = MakeFrame(AV_PIX_FMT_YUVJ420P, 130, 98, nullptr);
        const PixelRect trim{13, 7, 183, 135};
        ASSERT_TRUE(renderer.Render(source.get(), trim, type, *out));
        ASSERT_TRUE(renderer.Render(source.get(), trim, 0, *plain));
        const PixelRect band = kivra::MosaicRect({0, 0, 130, 98}, type);
        ASSERT_FALSE(band.IsEmpty());
        for (int p = 0; p < 3; ++p) {
            const int s = p ? 1 : 0;
            const int left = band.left >> s, right = (band.right + s) >> s;
            const int top = band.top >> s, bottom = (band.bottom + s) >> s;
            for (int y = 0; y < (98 + s) >> s; ++y) {
                for (int x = 0; x < (130 + s) >> s; ++x) {
                    const bool inBand = x >= left && x < right && y >= top && y < bottom;
                    if (!inBand) {
                        ASSERT_EQ(At(*out, p, x, y), At(*plain, p, x, y)) << p << " " << x;
                        continue;
                    }
                    const int cellX = (x << s) / 20 * 20, cellY = (y << s) / 20 * 20;
                    const int from = cellX >> s;
                    const int to = (std::min(cellX + 20, band.right) + s) >> s;
                    int sum = 0;
                    for (int i = from; i < to; ++i) {
                        sum += At(*plain, p, i, cellY >> s);
                    }
                    ASSERT_EQ(At(*out, p, x, y), sum / (to - from))
                        << "plane " << p << " at " << x << "," << y;
                }
            }
        }
    }
}

// The wide loops read source bytes straight from the row, or from a zero-padded copy near its
// end, and fall back when a group's taps spread too far; every way must give the plain loops'
// picture to the bit, across enlargements, reductions, boxes off the picture, odd crops and
// range mapping.
TEST(TrimmedPlanesTest, EveryKernelGivesTheSamePicture) {
    const auto noise = [](int p, int x, int y) {
        uint32_t h = uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u ^ uint32_t(p) * 83492791u;
        h ^= h >> 13;
        return int((h * 2654435761u) >> 24);
    };
    struct Case {
        AVPixelFormat source, out;
        int outWidth, outHeight;
        PixelRect trim;
    };
    const Case cases[] = {
        {AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUVJ420P, 150, 111, {31, 17, 131, 91}},  // x1.5
        {AV_PIX_FMT_YUVJ420P,
         AV_PIX_FMT_YUVJ420P,
         150,
         111,
         {103, 40, 203, 114}},                                                // at the right edge
        {AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUV420P, 61, 47, {3, 5, 187, 144}},  // /3, mapped
        {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV420P, 37, 29, {0, 0, 203, 151}},   // /5.5
        {AV_PIX_FMT_YUV422P, AV_PIX_FMT_YUV444P, 90, 70, {-30, -11, 150, 120}},  // off the picture
        {AV_PIX_FMT_YUV444P, AV_PIX_FMT_YUVJ422P, 333, 250, {7, 9, 64, 51}},     // x5.8
    };
    const kivra::PlaneKernels kernels[] = {kivra::PlaneKernels::Sse2, kivra::PlaneKernels::Avx2};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(av_get_pix_fmt_name(c.source)) + " -> " +
                     av_get_pix_fmt_name(c.out) + " " + std::to_string(c.outWidth) + "x" +
                     std::to_string(c.outHeight));
        const AvFramePtr source = MakeFrame(c.source, 203, 151, noise);
        ASSERT_TRUE(source);
        kivra::TrimmedPlanesRenderer plain;
        plain.UseKernels(kivra::PlaneKernels::Plain);
        const AvFramePtr expected = MakeFrame(c.out, c.outWidth, c.outHeight, nullptr);
        ASSERT_TRUE(plain.Render(source.get(), c.trim, 0, *expected));
        const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(c.out);
        for (const kivra::PlaneKernels k : kernels) {
            kivra::TrimmedPlanesRenderer renderer;
            renderer.UseKernels(k);
            // The box moves by one pixel between two pictures: the weights are made again.
            for (const int shift : {1, 0}) {
                const PixelRect moved{c.trim.left + shift, c.trim.top, c.trim.right + shift,
                                      c.trim.bottom};
                AvFramePtr out = MakeFrame(c.out, c.outWidth, c.outHeight, nullptr);
                ASSERT_TRUE(renderer.Render(source.get(), moved, 0, *out));
                if (shift != 0) {
                    continue;
                }
                for (int p = 0; p < 3; ++p) {
                    const int w = p ? AV_CEIL_RSHIFT(c.outWidth, desc->log2_chroma_w) : c.outWidth;
                    const int h =
                        p ? AV_CEIL_RSHIFT(c.outHeight, desc->log2_chroma_h) : c.outHeight;
                    for (int y = 0; y < h; ++y) {
                        for (int x = 0; x < w; ++x) {
                            ASSERT_EQ(At(*out, p, x, y), At(*expected, p, x, y))
                                << "kernels " << int(k) << " plane " << p << " at " << x << ","
                                << y;
                        }
                    }
                }
            }
        }
    }
    EXPECT_LE(kivra::BestPlaneKernels(), kivra::PlaneKernels::Avx2);
}

kivra::CompressOptions LosslessH264() {
    kivra::CompressOptions options;
    options.fccType = kivra::MakeFourCC("vids");
    options.fccHandler = kivra::MakeFourCC("H264");
    options.parameters = "qp=0:preset=ultrafast";
    return options;
}

class NoProgress final : public kivra::ProgressSink {
public:
    void Begin(int, int, const std::string&, kivra::PercentLabel) override {}
    void SetCaption(const std::string&) override {}
    void SetPosition(int) override {}
    void Pump() override {}
    void End() override {}
    void OfferCancel() override {}
    bool CancelRequested() const override { return false; }
};

class NoMessages final : public kivra::UserMessages {
public:
    kivra::MsgAnswer ShowMessage(const std::string&, kivra::MsgButtons, kivra::MsgIcon) override {
        return kivra::MsgAnswer::Ok;
    }
};

// The same movie made the way through RGB: converted picture, RGB renderer, the output's own
// conversion to the encoder's format.
bool WriteThroughRgb(CAviVideoStream& stream, const VideoAnnotations& annotations,
                     const kivra::TrimmedMovieJob& job) {
    const auto decoder = stream.OpenDecoder();
    const kivra::MovieFormat format{job.outputWidth, job.outputHeight, stream.StreamInfo().rate,
                                    stream.StreamInfo().scale};
    const auto output =
        kivra::AviMovieOutput::Create(job.outputPath, format, job.compress, nullptr, nullptr);
    if (!decoder || !output) {
        return false;
    }
    kivra::Dib picture;
    kivra::TrimmedPictureRenderer renderer;
    for (int frame = job.rangeStart; frame <= job.rangeEnd; ++frame) {
        if (!decoder->GetFrame(frame - stream.GetStart(), picture)) {
            return false;
        }
        renderer.Render(&picture, annotations.m_trimParam.At(frame), job.outputWidth,
                        job.outputHeight, job.mosaicType);
        if (!output->WriteFrame(renderer.Pixels(), renderer.Stride())) {
            return false;
        }
    }
    return output->Finish();
}

// Whole movies from a full-range MJPEG source into lossless limited-range 4:2:0 H.264, against
// the same jobs through RGB. Both round the levels differently (three RGB conversions at 8 bits,
// swscale's chroma filter against area-averaged chroma), so on smooth pictures they agree to a
// few levels (at most 8, about 1 on average, seen), except across hard edges where 4:2:0 chroma is
// filtered differently; a misplaced box, plane or range is tens of levels off.
TEST(TrimmedPlanesMovieTest, MoviesMatchTheOnesMadeThroughRgb) {
    TempDir dir("kivra planes ü");
    const std::string source = dir.File("smooth source.avi");
    ASSERT_TRUE(kivra::test::RunFfmpeg(
        {"-f", "lavfi", "-i",
         "nullsrc=s=160x120:r=25,format=yuv444p,geq=lum='128+90*sin(X/19+N/3)*cos(Y/23)':"
         "cb='128+60*sin((X+Y)/29+N/5)':cr='128+60*cos(X/17-N/4)'",
         "-frames:v", "12", "-c:v", "mjpeg", "-q:v", "2", "-pix_fmt", "yuvj420p", source}));
    CAviVideoStream stream(source);
    ASSERT_EQ(stream.OpenStream(), CAviVideoStream::kOpened);
    VideoAnnotations annotations;
    struct Job {
        const char* name;
        PixelRect a1, a2;
        int mode, direction, mosaic, first, last, w, h;
    };
    const Job jobs[] = {
        {"side",
         {11, 9, 75, 57},
         {81, 47, 145, 95},
         kivra::kSideMode,
         kivra::kLandscape,
         3,
         3,
         10,
         64,
         48},
        {"front past edges",
         {-13, -9, 27, 45},
         {97, 41, 171, 141},
         kivra::kFrontMode,
         kivra::kPortrait,
         2,
         0,
         11,
         54,
         72},
    };
    for (const Job& j : jobs) {
        SCOPED_TRACE(j.name);
        ASSERT_TRUE(kivra::InterpolateTrimRects(j.a1, 1, j.a2, 10, kivra::TrimmingModeOf(j.mode),
                                                j.direction, 12, annotations.m_trimParam));
        kivra::TrimmedMovieJob job{dir.File(std::string(j.name) + " planes.avi"),
                                   j.first,
                                   j.last,
                                   j.w,
                                   j.h,
                                   false,
                                   LosslessH264(),
                                   j.mosaic};
        NoProgress progress;
        NoMessages messages;
        ASSERT_EQ(kivra::WriteTrimmedMovie(stream, annotations, job, progress, messages),
                  kivra::WriteResult::Written);
        kivra::TrimmedMovieJob reference = job;
        reference.outputPath = dir.File(std::string(j.name) + " rgb.avi");
        ASSERT_TRUE(WriteThroughRgb(stream, annotations, reference));

        CAviVideoStream planes(job.outputPath), rgb(reference.outputPath);
        ASSERT_EQ(planes.OpenStream(), CAviVideoStream::kOpened);
        ASSERT_EQ(rgb.OpenStream(), CAviVideoStream::kOpened);
        ASSERT_EQ(planes.GetFrameCount(), j.last - j.first + 1);
        for (int i = 0; i < planes.GetFrameCount(); ++i) {
            planes.LoadFrame(i);
            rgb.LoadFrame(i);
            const kivra::Dib& a = planes.DisplayBitmap();
            const kivra::Dib& b = rgb.DisplayBitmap();
            ASSERT_EQ(a.Width(), j.w);
            ASSERT_EQ(b.Width(), j.w);
            const kivra::ViewRect dest =
                kivra::PlaceTrimRect(annotations.m_trimParam.At(j.first + i), 160, 120, j.w, j.h)
                    .dest;
            const PixelRect band = kivra::MosaicRect({0, 0, j.w, j.h}, j.mosaic);
            int worst = 0;
            double total = 0;
            int counted = 0;
            for (int y = 0; y < j.h; ++y) {
                for (int x = 0; x < 3 * j.w; ++x) {
                    const int d = std::abs(a.PictureRow(y)[x] - b.PictureRow(y)[x]);
                    // 4:2:0 chroma is filtered differently across a hard edge: the placement's
                    // and the mosaic cells' (those are checked exactly above).
                    const int px = x / 3;
                    const bool nearEdge = px < dest.left + 2 || px >= dest.right - 2 ||
                                          y < dest.top + 2 || y >= dest.bottom - 2;
                    const bool inBand = px >= band.left - 2 && px < band.right + 2 &&
                                        y >= band.top - 2 && y < band.bottom + 2;
                    if (!nearEdge && !inBand) {
                        worst = std::max(worst, d);
                        total += d;
                        ++counted;
                    }
                }
            }
            EXPECT_LE(worst, 10) << "sample " << i;
            EXPECT_LE(total / std::max(counted, 1), 1.5) << "sample " << i;
            // Identical files would mean the job went through RGB as well.
            EXPECT_GT(total, 0) << "sample " << i;
        }
    }
}

// The output takes pictures in its encoder's format only.
TEST(TrimmedPlanesMovieTest, OutputRefusesPicturesOfAnotherFormatOrSize) {
    TempDir dir;
    const auto output = kivra::AviMovieOutput::Create(dir.File("out.avi"), {32, 24, 25, 1},
                                                      LosslessH264(), nullptr, nullptr);
    ASSERT_TRUE(output);
    ASSERT_EQ(output->InputFormat(), AV_PIX_FMT_YUV420P);
    AvFramePtr lent(av_frame_alloc());
    ASSERT_TRUE(output->LendFrame(*lent));
    EXPECT_TRUE(av_frame_is_writable(lent.get()));
    const AvFramePtr other = MakeFrame(AV_PIX_FMT_YUV444P, 32, 24, nullptr);
    EXPECT_FALSE(output->WriteFrame(*other));
    const AvFramePtr small = MakeFrame(AV_PIX_FMT_YUV420P, 16, 24, nullptr);
    EXPECT_FALSE(output->WriteFrame(*small));
    kivra::TrimmedPlanesRenderer renderer;
    ASSERT_TRUE(renderer.Render(nullptr, {}, 0, *lent));
    EXPECT_TRUE(output->WriteFrame(*lent));
    EXPECT_TRUE(output->Finish());
}

}  // namespace
