#include "media/picture_scaler.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace kivra {

void PictureScaler::Deleter::operator()(SwsContext* ctx) const {
    sws_freeContext(ctx);
}

PictureScaler::PictureScaler() = default;
PictureScaler::~PictureScaler() = default;

bool PictureScaler::Scale(const Dib& picture, int left, int top, int sourceWidth, int sourceHeight,
                          int width, int height, uint8_t* dst, int dstStride) {
    if (picture.header.biBitCount != 24 || picture.Empty() || sourceWidth <= 0 ||
        sourceHeight <= 0 || width <= 0 || height <= 0 || left < 0 || top < 0 ||
        left + sourceWidth > picture.Width() || top + sourceHeight > picture.Height()) {
        return false;
    }
    // Area averaging, as a halftone stretch does, so thin lines survive shrinking.
    sws_.reset(sws_getCachedContext(sws_.release(), sourceWidth, sourceHeight, AV_PIX_FMT_BGR24,
                                    width, height, AV_PIX_FMT_BGRA, SWS_AREA, nullptr, nullptr,
                                    nullptr));
    if (!sws_) {
        return false;
    }
    // Walking the rows from the picture's top whatever the storage order turns the picture
    // upright in the same pass.
    const int stride = picture.Stride();
    const uint8_t* src[4] = {picture.PictureRow(top) + size_t(left) * 3, nullptr, nullptr, nullptr};
    const int srcStride[4] = {picture.TopDown() ? stride : -stride, 0, 0, 0};
    uint8_t* out[4] = {dst, nullptr, nullptr, nullptr};
    const int outStride[4] = {dstStride, 0, 0, 0};
    return sws_scale(sws_.get(), src, srcStride, 0, sourceHeight, out, outStride) == height;
}

}  // namespace kivra
