#pragma once
// One libavcodec decoder fed with an AVI stream's chunks by our own index, numbering the pictures
// it returns in display order. Every thread that decodes owns its own pipeline; the chunk table
// they read is shared and never changes after it is built.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "picture/picture_cache.h"
#include "platform/ffmpeg_handles.h"
#include "platform/read_only_file.h"
#include "reading/decoder_stats.h"
#include "reading/group_decoder.h"
#include "reading/riff_avi.h"

namespace kivra {

// What every pipeline of a stream needs: its chunks, its key frames and how to make a decoder.
// Built once when the stream opens and shared read-only by the decoding threads.
struct ChunkTable {
    enum class BuildResult { Ok, CannotRead, NoDecoder };
    static std::shared_ptr<const ChunkTable> Build(const std::string& path, const AviFile& file,
                                                   int streamIndex, BuildResult* result);
    explicit ChunkTable(const std::string& path) : file(path) {}

    int ChunkCount() const { return int(sampleOfOrdinal.size()); }
    int KeyIndexFor(int ordinal) const;  // the group of pictures the chunk belongs to

    std::vector<AviSample> samples;
    std::vector<int32_t> ordinalAtSample;  // ordinal of the last non-empty chunk <= sample, or -1
    std::vector<int32_t> sampleOfOrdinal;
    std::vector<int32_t> keyOrdinals;  // sorted
    AvCodecParametersPtr codecpar;
    bool mayReorder = false;  // the codec may output pictures in another order than coded
    int h264LengthSize = 0;
    const ReadOnlyFile file;  // read by position only, so the threads share it
};

class DecodePipeline final : public GroupDecoder {
public:
    // threads: libavcodec decoding threads. With a cache, pictures are decoded into its buffers
    // (see PictureShared). Null when the decoder cannot be opened.
    static std::unique_ptr<DecodePipeline> Create(std::shared_ptr<const ChunkTable> table,
                                                  int threads, PictureCache* cache);
    ~DecodePipeline() override;
    DecodePipeline(const DecodePipeline&) = delete;
    DecodePipeline& operator=(const DecodePipeline&) = delete;

    bool CanContinueTo(int target) const override;
    // Leading pictures that need the previous group get it decoded first.
    void StartRun(int target, int fromGroup = -1, bool withLeading = false) override;
    int NextDisplay() const override;
    int Next(StopCheck stop = nullptr, void* context = nullptr) override;
    const AVFrame& Picture() const override { return *frame_; }
    bool PictureShared() const override { return source_.cache != nullptr && !source_.foreign; }
    void ReleasePicture() override;
    int LeadingCount(int keyIndex) override;

    bool Reorders() const override { return reorder_; }
    void SetReorders(bool reorder) override;
    // A codec that may reorder but does not (no B pictures) is numbered by its chunks, which
    // survives damaged pictures; decided once the decoder has seen the stream's headers.
    void SettleReordering() override;

    const DecoderStats& Stats() const override { return stats_; }
    std::string CodecName() const;

private:
    explicit DecodePipeline(std::shared_ptr<const ChunkTable> table);
    bool SendNext(StopCheck stop, void* context);
    // The display number of the picture coded in chunk `coded` when that is a key picture whose
    // leading pictures are known, else counted.
    int KeyPictureDisplay(int coded, int counted);
    bool ReadChunk(int ordinal, std::vector<uint8_t>& out, size_t limit) const;

    std::shared_ptr<const ChunkTable> table_;
    PictureCache::BufferSource source_;  // before ctx_, which refers to it until it is freed
    AvCodecContextPtr ctx_;
    AvFramePtr frame_ = AvFramePtr(av_frame_alloc());
    AvPacketPtr packet_ = AvPacketPtr(av_packet_alloc());
    std::vector<int8_t> leadingCache_;  // per key index: -2 not computed, -1 unknown, else count
    DecoderStats stats_;

    bool reorder_ = false;
    bool runValid_ = false;  // decoder state continues from earlier calls
    bool drained_ = false;
    bool steady_ = false;       // display numbers of outputs are established
    int fedUpTo_ = 0;           // next ordinal to send
    int countFrom_ = 0;         // outputs coded before this ordinal belong to the lead-in
    int firstDisplay_ = 0;      // display number of the first counted output of a run
    int keyOfRun_ = 0;          // ordinal of the key frame whose group the run shows first
    int leadingOfRun_ = 0;      // leading pictures of that group the decoder will drop
    int skipNonRefBefore_ = 0;  // lead-in chunks only matter as references
    int nextDisplay_ = 0;
};

}  // namespace kivra
