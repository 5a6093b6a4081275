#pragma once
// The installed video compressors: the libavcodec encoders whose output the AVI muxer can
// carry, plus the uncompressed "DIB " entry. The list is built once and shared read-only.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivra {

// One installed compressor. name is always a libavcodec encoder name, so
// avcodec_find_encoder_by_name(name) finds the encoder that writes it.
struct CompressorInfo {
    uint32_t code = 0;        // the tag the AVI muxer writes, four bytes lowest first
    std::string codeText;     // code as text, upper-cased
    std::string name;         // encoder short name ("libx264", "mjpeg", "rawvideo")
    std::string description;  // encoder long name
    std::string driver;       // path of the shared library that holds the encoder
    std::string version;      // that library's version, "major.minor.micro"
};

// The stream's compressor as the reader shows it.
struct CodecTexts {
    std::string code, name, description, driver;
};

// Sorted by code text, then FFmpeg's default encoder for the codec first, then by name.
// Built on the first call; later calls return the same list.
const std::vector<CompressorInfo>& InstalledCompressors();

// The compressor for a code, letter case ignored. Without an exact match, the first
// compressor that encodes the codec the code stands for ("XVID" -> mpeg4). The three
// uncompressed codes name the "DIB " entry. 0 and unknown codes give nothing.
std::optional<CompressorInfo> FindCompressor(uint32_t code);

// "DIB ", "RGB " or "RAW ", letter case ignored.
bool IsUncompressedCode(std::string_view codeText);

// A handler code's four bytes as stored, lowest first, case kept; bytes that are not
// printable ASCII become '?', so the text is always four characters of valid UTF-8.
std::string HandlerCodeText(uint32_t code);

// Names the compressor of a stream header's handler code: all empty for 0; "Uncompressed"
// for the uncompressed codes; otherwise the compressor's texts, empty when none is installed.
// The code text is filled whenever the code is non-zero.
CodecTexts DescribeCodec(uint32_t handlerCode);

// Whether an encoder of this name is among the installed compressors.
bool HasEncoder(const char* name);

}  // namespace kivra
