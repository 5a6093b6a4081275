#pragma once
// Device-independent bitmaps as the rest of the program sees decoded frames: a 40-byte
// header's fields and the pixel rows in DIB order (bottom row first when height > 0).
#include <cstdint>
#include <string>
#include <vector>

namespace kivra {

struct BitmapInfoHeader {
    uint32_t biSize = 40;
    int32_t biWidth = 0;
    int32_t biHeight = 0;  // > 0: rows stored bottom-up; < 0: top-down
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 24;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};

// Bytes per DIB row: rows are padded to a multiple of four bytes.
constexpr int DibStride(int width, int bitCount) {
    return ((width * bitCount + 31) / 32) * 4;
}

// A decoded picture with its header. Owned by whoever holds it (decoder or display).
struct Dib {
    BitmapInfoHeader header;
    std::vector<uint8_t> bits;

    bool Empty() const { return bits.empty(); }
    int Width() const { return header.biWidth; }
    int Height() const { return header.biHeight < 0 ? -header.biHeight : header.biHeight; }
    int Stride() const { return DibStride(header.biWidth, header.biBitCount); }
    bool TopDown() const { return header.biHeight < 0; }
    // Picture row y (0 = top of the picture), whatever the storage order.
    const uint8_t* PictureRow(int y) const {
        return bits.data() + size_t(TopDown() ? y : Height() - 1 - y) * Stride();
    }
    // Sizes the header and the buffer for a 24-bit bottom-up picture.
    void Reset24(int width, int height);
};

// Deinterlacing by line doubling: buffer row 2k+1 becomes a copy of buffer row 2k, counting
// from the start of the pixel buffer (the bottom line for a bottom-up picture).
void DoubleRows(Dib& dib);

// Writes a BMP file: 14-byte file header, then the 40-byte header, then the bits. Returns false
// on any file error, which never leaves half a file (see ReplaceFileContents).
bool WriteBmpFile(const std::string& path, const Dib& dib);

}  // namespace kivra
