#pragma once
// Reads the RIFF headers and the sample index of an AVI file ourselves, because the
// fields the program relies on (dwStart, dwLength, fccHandler, rcFrame, "txts",
// zero-length chunks) are not all exposed by libavformat. Pure data; no decoding.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kivra {

struct AviMainHeader {
    uint32_t microSecPerFrame = 0;
    uint32_t maxBytesPerSec = 0;
    uint32_t paddingGranularity = 0;
    uint32_t flags = 0;
    uint32_t totalFrames = 0;
    uint32_t initialFrames = 0;
    uint32_t streams = 0;
    uint32_t suggestedBufferSize = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

struct AviRect16 {
    int16_t left = 0, top = 0, right = 0, bottom = 0;
};

struct AviStreamHeader {
    uint32_t fccType = 0;
    uint32_t fccHandler = 0;
    uint32_t flags = 0;
    uint16_t priority = 0;
    uint16_t language = 0;
    uint32_t initialFrames = 0;
    uint32_t scale = 0;
    uint32_t rate = 0;
    uint32_t start = 0;
    uint32_t length = 0;
    uint32_t suggestedBufferSize = 0;
    uint32_t quality = 0;
    uint32_t sampleSize = 0;
    AviRect16 frame;
};

// One chunk of a stream in file order. size 0 is a dropped frame (repeat the previous picture).
struct AviSample {
    uint64_t offset = 0;  // absolute file offset of the chunk's data (after the 8-byte header)
    uint32_t size = 0;
    bool key = false;
};

struct AviStream {
    AviStreamHeader header;
    std::vector<uint8_t> format;  // the "strf" chunk as stored
    std::string name;             // "strn", UTF-8 as stored, up to its first NUL
    // the "txts" chunk of the stream's "strl" list as stored; may be empty
    std::vector<uint8_t> txts;
    std::vector<AviSample> samples;  // from idx1, the OpenDML indexes, or a scan of "movi"
};

// Where the sample tables came from. A scan cannot know key frames and marks every chunk key.
enum class AviIndexSource {
    None,     // nothing parsed yet
    Idx1,     // the "idx1" chunk of the first RIFF part
    OpenDml,  // the "indx" super indexes and their "ix##" chunks
    Scan,     // a walk over the "movi" lists of every RIFF part
};

struct AviFile {
    AviMainHeader main;
    uint32_t odmlTotalFrames = 0;  // "dmlh" total frames; 0 when absent
    std::vector<AviStream> streams;
    bool indexed = false;  // samples came from an index rather than a scan
    AviIndexSource indexSource = AviIndexSource::None;
    uint64_t fileSize = 0;  // every sample's data lies within [0, fileSize)
};

enum class AviParseError {
    None,
    CannotOpen,    // the file cannot be read at all
    NotAvi,        // not "RIFF" .... "AVI " (or "AVIX" only)
    NoHeaderList,  // no "hdrl" list or no "avih"
    Damaged,       // headers present but inconsistent beyond use (the file ends inside "hdrl")
};

// Parses the file at path. Memory stays bounded by the file's size whatever the headers claim.
std::optional<AviFile> ParseAviFile(const std::string& path, AviParseError* error = nullptr);

// Index of the first stream whose fccType is "vids", or -1.
int FirstVideoStream(const AviFile& file);

}  // namespace kivra
