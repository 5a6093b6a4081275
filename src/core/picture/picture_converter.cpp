#include "picture/picture_converter.h"

#include <cstring>

#include "picture/dib.h"

namespace kivra {

namespace {

// swscale's vector code converts a row in blocks of up to this many pixels and stores whole
// blocks. A row that is not whole blocks gets bytes stored past its end (into the row converted
// before it, or past the buffer), or, when the stride has no room for the last block, its last
// pixels are not converted at all. Rows of whole blocks are converted exactly.
constexpr int kBlockPixels = 16;
// Scratch rows leave room for several blocks past the picture.
constexpr int kScratchSlackPixels = 64;

// Full-range YUV formats are described to swscale as their limited twins plus a range flag.
AVPixelFormat PlainFormat(AVPixelFormat format, bool* fullRange) {
    switch (format) {
        case AV_PIX_FMT_YUVJ420P:
            *fullRange = true;
            return AV_PIX_FMT_YUV420P;
        case AV_PIX_FMT_YUVJ422P:
            *fullRange = true;
            return AV_PIX_FMT_YUV422P;
        case AV_PIX_FMT_YUVJ444P:
            *fullRange = true;
            return AV_PIX_FMT_YUV444P;
        case AV_PIX_FMT_YUVJ440P:
            *fullRange = true;
            return AV_PIX_FMT_YUV440P;
        case AV_PIX_FMT_YUVJ411P:
            *fullRange = true;
            return AV_PIX_FMT_YUV411P;
        default:
            return format;
    }
}

}  // namespace

bool PictureConverter::ToBottomUpBgr24(const AVFrame& frame, uint8_t* bits, size_t size) {
    const int width = frame.width;
    const int height = frame.height;
    if (width <= 0 || height <= 0 || frame.format < 0 || width > (INT32_MAX - 31) / 24 ||
        bits == nullptr) {
        return false;
    }
    const int stride = DibStride(width, 24);
    if (size != size_t(stride) * size_t(height)) {
        return false;
    }
    bool fullRange = frame.color_range == AVCOL_RANGE_JPEG;
    const AVPixelFormat source = PlainFormat(AVPixelFormat(frame.format), &fullRange);
    sws_.reset(sws_getCachedContext(sws_.release(), width, height, source, width, height,
                                    AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!sws_) {
        return false;
    }
    const int matrix = frame.colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_DEFAULT;
    const int* coefficients = sws_getCoefficients(matrix);
    sws_setColorspaceDetails(sws_.get(), coefficients, fullRange ? 1 : 0, coefficients, 1, 0,
                             1 << 16, 1 << 16);

    if (width % kBlockPixels == 0) {
        // Straight into the bitmap, bottom-up: the common sizes pay no copy.
        uint8_t* dst[4] = {bits + size_t(height - 1) * size_t(stride), nullptr, nullptr, nullptr};
        const int dstStride[4] = {-stride, 0, 0, 0};
        return sws_scale(sws_.get(), frame.data, frame.linesize, 0, height, dst, dstStride) ==
               height;
    }
    const size_t rowBytes = size_t(width) * 3;
    const size_t scratchStride =
        size_t((width + 2 * kScratchSlackPixels - 1) / kScratchSlackPixels) * kScratchSlackPixels *
        3;
    // One spare row past the last, which is the only one nothing is converted after.
    scratch_.resize(scratchStride * size_t(height + 1));
    uint8_t* dst[4] = {scratch_.data(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {int(scratchStride), 0, 0, 0};
    if (sws_scale(sws_.get(), frame.data, frame.linesize, 0, height, dst, dstStride) != height) {
        return false;
    }
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bits + size_t(height - 1 - y) * size_t(stride);
        std::memcpy(row, scratch_.data() + size_t(y) * scratchStride, rowBytes);
        std::memset(row + rowBytes, 0, size_t(stride) - rowBytes);
    }
    return true;
}

}  // namespace kivra
