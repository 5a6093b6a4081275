#include "picture/dib.h"

#include <algorithm>
#include <cstring>

#include "platform/replace_file.h"

namespace kivra {

void Dib::Reset24(int width, int height) {
    header = BitmapInfoHeader{};
    header.biWidth = width;
    header.biHeight = height;
    header.biBitCount = 24;
    header.biSizeImage = uint32_t(DibStride(width, 24)) * uint32_t(height);
    bits.resize(header.biSizeImage);
}

void DoubleRows(Dib& dib) {
    const int height = dib.Height();
    if (height <= 0 || dib.bits.empty()) {
        return;
    }
    // Row length from the image size, as the bits were described to us; never past the buffer.
    const size_t rowBytes = dib.bits.size() / size_t(height);
    for (int k = 0; k < height / 2; ++k) {
        uint8_t* even = dib.bits.data() + size_t(2 * k) * rowBytes;
        std::memcpy(even + rowBytes, even, rowBytes);
    }
}

namespace {

void Put16(std::string& out, uint16_t v) {
    out.push_back(char(v & 0xFF));
    out.push_back(char(v >> 8));
}
void Put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(char((v >> (8 * i)) & 0xFF));
    }
}

}  // namespace

bool WriteBmpFile(const std::string& path, const Dib& dib) {
    if (dib.bits.empty()) {
        return false;
    }
    const BitmapInfoHeader& h = dib.header;
    // Our pictures are 24-bit without a colour table.
    const uint32_t colourTableBytes = 0;
    const uint32_t imageBytes = h.biSizeImage != 0 ? h.biSizeImage : uint32_t(dib.bits.size());
    const size_t bitsBytes = std::min<size_t>(imageBytes, dib.bits.size());
    std::string bytes;
    bytes.reserve(54 + bitsBytes);
    Put16(bytes, 19778);  // "BM"
    Put32(bytes, imageBytes + 54 + colourTableBytes);
    Put16(bytes, 0);
    Put16(bytes, 0);
    Put32(bytes, 54 + colourTableBytes);
    Put32(bytes, h.biSize);
    Put32(bytes, uint32_t(h.biWidth));
    Put32(bytes, uint32_t(h.biHeight));
    Put16(bytes, h.biPlanes);
    Put16(bytes, h.biBitCount);
    Put32(bytes, h.biCompression);
    Put32(bytes, h.biSizeImage);
    Put32(bytes, uint32_t(h.biXPelsPerMeter));
    Put32(bytes, uint32_t(h.biYPelsPerMeter));
    Put32(bytes, h.biClrUsed);
    Put32(bytes, h.biClrImportant);
    bytes.append(reinterpret_cast<const char*>(dib.bits.data()), bitsBytes);
    return ReplaceFileContents(path, bytes);
}

}  // namespace kivra
