#pragma once
// The pictures of a container's video stream, found from its packets without decoding, and the
// frame numbers the conversion to a temporary AVI would give them, so that both routes number
// and size a clip alike. Built once per opened clip and shared read-only by its readers.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/ffmpeg_handles.h"

namespace kivra {

// What the probe told the open pipeline: the conversion turns and resizes by it.
struct ConversionGeometry {
    int rotation = 0;     // 90, 180 or 270 turn by a filter; anything else leaves the turn to
                          // the container's own display matrix
    bool resize = false;  // pixels made square: the picture becomes width x height
    int width = 0;
    int height = 0;
    int rateNum = 0;  // the rate the conversion forces on its output; 0 keeps the source's
    int rateDen = 0;
};

struct IndexedPacket {
    int64_t pts = 0;  // unwrapped, in the stream's time base
    int64_t dts = 0;
    int64_t rawTime = 0;  // as the demuxer gave it, for seeking
    int64_t pos = -1;
    int64_t duration = 0;
    bool key = false;
    bool discard = false;  // decoded for its references only (before an edit list's start)
};

struct FrameIndex {
    std::string path;
    int stream = -1;
    AVRational timeBase{1, 1};
    bool byteSeek = false;  // the container seeks by byte position (MPEG-TS/PS)
    AvCodecParametersPtr codecpar;

    std::vector<IndexedPacket> packets;  // decode order
    std::vector<int32_t> keyPackets;     // decode order, key pictures' pts ascending
    std::vector<int32_t> pictures;       // packet of each shown picture, by presentation time
    // Per key packet, the first picture shown from it on: a picture belongs to the last key
    // picture at or before it, leading pictures to the group before theirs.
    std::vector<int32_t> keyPictures;
    std::unordered_map<int64_t, int32_t> pictureOfPts;
    std::unordered_map<int64_t, int32_t> packetOfPos;  // where a seek lands
    std::vector<int32_t> pictureAtSample;              // frame number -> picture
    std::vector<int32_t> keySamples;  // frames that show a key picture first, ascending

    // What the frames look like: the rate the conversion's AVI states, and the picture after
    // its turn and resize.
    uint32_t rate = 0;
    uint32_t scale = 0;
    int rotation = 0;  // clockwise degrees applied to decoded pictures
    int width = 0;
    int height = 0;
    bool resize = false;

    bool skimmed = false;  // the samples' data was not read: the container's tables sufficed

    // The key packet decoding has to start from so that picture p comes out whole.
    int StartPacketFor(int picture) const;
};

enum class IndexFailure {
    None,
    CannotOpen,
    NoVideo,
    NoTimestamps,
    Damaged,
    Unseekable,
    Cancelled,
};

// Whether the scan may leave the samples' data unread where the container's tables alone give
// the same packets (HEVC in MP4/MOV, which no parser looks into).
enum class SampleReading {
    SkimWhereExact,
    ReadAll,
};

// done/total in bytes read; false stops the scan.
using ScanProgress = std::function<bool(int64_t done, int64_t total)>;

// Reads the packets of the file's best video stream. Null with failure and a line saying why
// when the clip cannot be numbered exactly.
std::shared_ptr<const FrameIndex> BuildFrameIndex(
    const std::string& path, const ConversionGeometry& geometry, const ScanProgress& progress,
    IndexFailure* failure, std::string* why, SampleReading reading = SampleReading::SkimWhereExact);

// The picture each frame of the conversion's AVI shows, given every picture's time in output
// frames and its length in frames: pictures closer than the output rate are dropped, gaps
// repeat the picture before, as the encoder and its AVI muxer do. aviTicks is an output frame's
// length in the AVI's own ticks where the muxer could not keep the output rate.
std::vector<int32_t> ConversionFrames(const std::vector<double>& times,
                                      const std::vector<double>& durations,
                                      AVRational aviTicks = {1, 1});

}  // namespace kivra
