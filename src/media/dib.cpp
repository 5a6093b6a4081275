#include "media/dib.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

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

void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(uint8_t(v >> (8 * i)));
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
    std::vector<uint8_t> head;
    head.reserve(54);
    Put16(head, 19778);  // "BM"
    Put32(head, imageBytes + 54 + colourTableBytes);
    Put16(head, 0);
    Put16(head, 0);
    Put32(head, 54 + colourTableBytes);
    Put32(head, h.biSize);
    Put32(head, uint32_t(h.biWidth));
    Put32(head, uint32_t(h.biHeight));
    Put16(head, h.biPlanes);
    Put16(head, h.biBitCount);
    Put32(head, h.biCompression);
    Put32(head, h.biSizeImage);
    Put32(head, uint32_t(h.biXPelsPerMeter));
    Put32(head, uint32_t(h.biYPelsPerMeter));
    Put32(head, h.biClrUsed);
    Put32(head, h.biClrImportant);

    const std::string temporary = path + ".part";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const size_t bitsBytes = std::min<size_t>(imageBytes, dib.bits.size());
    bool ok = std::fwrite(head.data(), 1, head.size(), file) == head.size() &&
              std::fwrite(dib.bits.data(), 1, bitsBytes, file) == bitsBytes;
    ok = (std::fclose(file) == 0) && ok;
    std::error_code ec;
    if (ok) {
        std::filesystem::rename(temporary, path, ec);
        ok = !ec;
    }
    if (!ok) {
        std::filesystem::remove(temporary, ec);
    }
    return ok;
}

}  // namespace kivra
