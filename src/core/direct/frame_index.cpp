#include "direct/frame_index.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

extern "C" {
#include <libavutil/display.h>
}

#include "direct/skimmed_file.h"
#include "platform/picture_limits.h"
#include "reading/group_decoder.h"

namespace kivra {

namespace {

constexpr std::chrono::seconds kHeaderDeadline{10};

struct DictionaryDeleter {
    void operator()(AVDictionary* dict) const { av_dict_free(&dict); }
};

// The turn the encoder applies by itself when no filter turns the picture: the container's
// display matrix, rounded as the encoder rounds it.
int ContainerRotation(const AVStream& stream) {
    const uint8_t* matrix = av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    if (matrix == nullptr) {
        return 0;
    }
    double theta = -av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
    if (std::isnan(theta)) {
        return 0;
    }
    theta -= 360 * std::floor(theta / 360 + 0.9 / 360);
    for (const int turn : {90, 180, 270}) {
        if (std::fabs(theta - turn) < 1.0) {
            return turn;
        }
    }
    return 0;
}

// The value of ts + k * 2^bits closest to reference.
int64_t Unwrap(int64_t ts, int64_t reference, int bits) {
    if (bits >= 63) {
        return ts;
    }
    const double period = std::ldexp(1.0, bits);
    const double turns = std::nearbyint((double(reference) - double(ts)) / period);
    // Far-off values are damage, not a wrap: they stay as they are.
    if (std::fabs(turns) > 4) {
        return ts;
    }
    return ts + int64_t(turns) * (int64_t(1) << bits);
}

bool Fail(IndexFailure kind, const char* text, IndexFailure* failure, std::string* why) {
    *failure = kind;
    *why = text;
    return false;
}

// Fills the packets in decode order; false on a scan that cannot be used.
bool ScanPackets(AVFormatContext& input, FrameIndex& index, const ScanProgress& progress,
                 IndexFailure* failure, std::string* why) {
    AvPacketPtr packet(av_packet_alloc());
    if (!packet) {
        return Fail(IndexFailure::CannotOpen, "out of memory", failure, why);
    }
    const AVStream& stream = *input.streams[index.stream];
    const int bits = stream.pts_wrap_bits > 0 ? stream.pts_wrap_bits : 64;
    const int64_t total = input.pb != nullptr ? avio_size(input.pb) : -1;
    int64_t reference = 0;
    bool first = true;
    int sinceReport = 0;
    for (;;) {
        const int read = av_read_frame(&input, packet.get());
        if (read == AVERROR_EOF) {
            break;
        }
        if (read < 0) {
            if (read == AVERROR(EAGAIN)) {
                continue;
            }
            break;  // a damaged tail: what came before is still exact
        }
        if (packet->stream_index == index.stream) {
            IndexedPacket entry;
            const int64_t dts = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
            if (packet->pts == AV_NOPTS_VALUE || dts == AV_NOPTS_VALUE) {
                av_packet_unref(packet.get());
                return Fail(IndexFailure::NoTimestamps, "pictures without timestamps", failure,
                            why);
            }
            entry.rawTime = dts;
            entry.dts = first ? dts : Unwrap(dts, reference, bits);
            entry.pts = Unwrap(packet->pts, entry.dts, bits);
            reference = entry.dts;
            first = false;
            entry.pos = packet->pos;
            entry.duration = packet->duration;
            entry.key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
            entry.discard = (packet->flags & AV_PKT_FLAG_DISCARD) != 0;
            index.packets.push_back(entry);
        }
        av_packet_unref(packet.get());
        if (progress && ++sinceReport >= 256) {
            sinceReport = 0;
            if (!progress(input.pb != nullptr ? avio_tell(input.pb) : 0, total)) {
                return Fail(IndexFailure::Cancelled, "cancelled", failure, why);
            }
        }
    }
    return true;
}

// Pictures in presentation order, key packets, and checks that seeking can find them again.
bool OrderPictures(FrameIndex& index, IndexFailure* failure, std::string* why) {
    const std::vector<IndexedPacket>& packets = index.packets;
    int firstKey = -1;
    for (size_t i = 0; i < packets.size(); ++i) {
        if (packets[i].key) {
            if (!index.keyPackets.empty() &&
                packets[size_t(index.keyPackets.back())].pts >= packets[i].pts) {
                return Fail(IndexFailure::Damaged, "key pictures out of order", failure, why);
            }
            if (firstKey < 0) {
                firstKey = int(i);
            }
            index.keyPackets.push_back(int32_t(i));
        }
    }
    if (firstKey < 0) {
        return Fail(IndexFailure::Damaged, "no key pictures", failure, why);
    }
    // Pictures before the first key picture cannot be decoded; the decoder drops them too.
    const int64_t firstShown = packets[size_t(firstKey)].pts;
    for (size_t i = 0; i < packets.size(); ++i) {
        if (!packets[i].discard && packets[i].pts >= firstShown) {
            index.pictures.push_back(int32_t(i));
        }
    }
    std::sort(index.pictures.begin(), index.pictures.end(), [&](int32_t a, int32_t b) {
        return packets[size_t(a)].pts < packets[size_t(b)].pts;
    });
    index.pictureOfPts.reserve(index.pictures.size());
    for (size_t p = 0; p < index.pictures.size(); ++p) {
        if (!index.pictureOfPts.emplace(packets[size_t(index.pictures[p])].pts, int32_t(p))
                 .second) {
            return Fail(IndexFailure::Damaged, "two pictures with one timestamp", failure, why);
        }
    }
    index.keyPictures.reserve(index.keyPackets.size());
    for (const int32_t key : index.keyPackets) {
        const int64_t pts = packets[size_t(key)].pts;
        const auto first =
            std::partition_point(index.pictures.begin(), index.pictures.end(),
                                 [&](int32_t p) { return packets[size_t(p)].pts < pts; });
        index.keyPictures.push_back(int32_t(first - index.pictures.begin()));
    }
    index.packetOfPos.reserve(packets.size());
    for (size_t i = 0; i < packets.size(); ++i) {
        if (packets[i].pos >= 0) {
            index.packetOfPos.emplace(packets[i].pos, int32_t(i));
        }
    }
    if (index.pictures.empty()) {
        return Fail(IndexFailure::Damaged, "no pictures", failure, why);
    }
    return true;
}

// Whether the pictures' lengths change the conversion's frames: a picture the encoder is given
// lasts a frame at least, and only one that comes far enough ahead of its frame is dropped by
// its length.
bool LengthsDecide(const std::vector<double>& times) {
    const std::vector<double> shortest(times.size(), 1.0);
    const std::vector<double> endless(times.size(), std::numeric_limits<double>::infinity());
    return ConversionFrames(times, shortest) != ConversionFrames(times, endless);
}

// The frame numbering of the conversion: the encoder's rate, its timestamps in output frames
// (the file's start time taken off, as the encoder does) and the AVI it writes. With lengths
// that may not be the encoder's, true when they change the frames.
bool NumberFrames(const AVFormatContext& input, const AVStream& stream, bool videoFilter,
                  const ConversionGeometry& geometry, bool lengthsUnsure, FrameIndex& index) {
    AVRational rate = av_guess_frame_rate(const_cast<AVFormatContext*>(&input),
                                          const_cast<AVStream*>(&stream), nullptr);
    if (rate.num <= 0 || rate.den <= 0) {
        rate = AVRational{25, 1};
    }
    // A filtered picture lasts one source frame, at most one output frame.
    double filteredDuration = 1.0;
    if (geometry.rateNum > 0 && geometry.rateDen > 0) {
        const AVRational forced{geometry.rateNum, geometry.rateDen};
        filteredDuration = std::min(1.0, av_q2d(forced) / av_q2d(rate));
        rate = forced;
    }
    av_reduce(&rate.num, &rate.den, rate.num, rate.den, INT32_MAX);
    // The AVI muxer keeps no rate above 1000 frames a second: it states 600 instead and puts
    // each frame at its time in those ticks, or on the tick after the frame before.
    AVRational aviRate = rate;
    AVRational aviTicks{1, 1};
    if (int64_t(rate.num) > int64_t(1000) * rate.den) {
        aviRate = AVRational{600, 1};
        av_reduce(&aviTicks.num, &aviTicks.den, int64_t(600) * rate.den, rate.num, INT32_MAX);
    }
    index.rate = uint32_t(aviRate.num);
    index.scale = uint32_t(aviRate.den);

    const AVRational encoder{rate.den, rate.num};
    const int extraBits = std::clamp(29 - av_log2(unsigned(encoder.den)), 0, 16);
    const AVRational fine{encoder.num, encoder.den << extraBits};
    const int64_t offset = input.start_time == AV_NOPTS_VALUE
                               ? 0
                               : av_rescale_q(-input.start_time, AV_TIME_BASE_Q, stream.time_base);
    std::vector<double> times;
    std::vector<double> durations;
    times.reserve(index.pictures.size());
    durations.reserve(index.pictures.size());
    for (const int32_t p : index.pictures) {
        const IndexedPacket& packet = index.packets[size_t(p)];
        double time = double(av_rescale_q(packet.pts + offset, stream.time_base, fine)) /
                      double(int64_t(1) << extraBits);
        time += (time > 0 ? 1.0 : time < 0 ? -1.0 : 0.0) / double(1 << 17);
        times.push_back(time);
        double duration = filteredDuration;
        if (!videoFilter) {
            const long frames = std::lrint(
                float(double(packet.duration) * av_q2d(stream.time_base) / av_q2d(encoder)));
            if (frames > 0) {
                duration = double(frames);
            }
        }
        durations.push_back(duration);
    }
    index.pictureAtSample = ConversionFrames(times, durations, aviTicks);
    for (size_t n = 0; n < index.pictureAtSample.size(); ++n) {
        const int32_t picture = index.pictureAtSample[n];
        if ((n == 0 || index.pictureAtSample[n - 1] != picture) &&
            index.packets[size_t(index.pictures[size_t(picture)])].key) {
            index.keySamples.push_back(int32_t(n));
        }
    }
    return lengthsUnsure && !videoFilter && LengthsDecide(times);
}

bool IsMov(const AVFormatContext& input) {
    const std::string format = input.iformat != nullptr ? input.iformat->name : "";
    return format.rfind("mov,", 0) == 0;
}

// The MP4 demuxer takes a sample's timestamps, flags and position from its tables; only a
// parser would look at the bytes. libavformat runs one on H.264 there, to find the key
// pictures the sync-sample table names anyway: it is turned off for the scan.
bool SkimsExactly(const AVFormatContext& input, const AVStream& stream) {
    const AVCodecID codec = stream.codecpar->codec_id;
    return IsMov(input) && (codec == AV_CODEC_ID_HEVC ||
                            (codec == AV_CODEC_ID_H264 && (input.flags & AVFMT_FLAG_NOPARSE) != 0));
}

bool OnlyH264Video(const AVFormatContext& input) {
    bool any = false;
    for (unsigned i = 0; i < input.nb_streams; ++i) {
        const AVStream& stream = *input.streams[i];
        if (stream.codecpar->codec_type != AVMEDIA_TYPE_VIDEO ||
            (stream.disposition & AV_DISPOSITION_ATTACHED_PIC) != 0) {
            continue;
        }
        if (stream.codecpar->codec_id != AV_CODEC_ID_H264) {
            return false;
        }
        any = true;
    }
    return any;
}

// Without a sync-sample table every sample counts as a key picture, and only the parser tells
// which are; fragments may leave durations to it. Such a clip is read whole.
bool TablesFallShort(const FrameIndex& index) {
    const std::vector<IndexedPacket>& packets = index.packets;
    return (packets.size() > 1 && std::all_of(packets.begin(), packets.end(),
                                              [](const IndexedPacket& p) { return p.key; })) ||
           std::any_of(packets.begin(), packets.end(),
                       [](const IndexedPacket& p) { return p.duration <= 0; });
}

// Every sample the container lists, of every stream.
std::vector<std::pair<int64_t, int64_t>> SampleRanges(AVFormatContext& input) {
    std::vector<std::pair<int64_t, int64_t>> ranges;
    for (unsigned i = 0; i < input.nb_streams; ++i) {
        AVStream* stream = input.streams[i];
        const int count = avformat_index_get_entries_count(stream);
        ranges.reserve(ranges.size() + size_t(std::max(count, 0)));
        for (int e = 0; e < count; ++e) {
            const AVIndexEntry* entry = avformat_index_get_entry(stream, e);
            if (entry != nullptr && entry->pos >= 0 && entry->size > 0) {
                ranges.emplace_back(entry->pos, entry->pos + entry->size);
            }
        }
    }
    return ranges;
}

}  // namespace

std::vector<int32_t> ConversionFrames(const std::vector<double>& times,
                                      const std::vector<double>& durations, AVRational aviTicks) {
    std::vector<int32_t> frames;
    // Gaps are filled picture by picture: timestamps far beyond the pictures there are mean a
    // damaged file, which gets no frames rather than a table without bound.
    const size_t limit = times.size() * 16 + 100000;
    double next = 0;     // the output timestamp the next frame gets unless it moves on
    int64_t taken = -1;  // the AVI tick of the frame before
    for (size_t i = 0; i < times.size() && i < durations.size(); ++i) {
        double time = times[i];
        double delta0 = time - next;
        const double delta = delta0 + durations[i];
        if (delta0 < 0 && delta > 0) {
            time = next;  // a little early: it takes the next slot
            delta0 = 0;
        }
        if (delta <= -0.6) {
            continue;  // too early: dropped
        }
        if (delta > 0.6) {
            next = double(std::llrint(time));
        }
        const int64_t slot = int64_t(next);
        next += 1;
        if (slot < 0) {
            return {};
        }
        const int64_t at = std::max(av_rescale(slot, aviTicks.num, aviTicks.den), taken + 1);
        taken = at;
        if (!frames.empty() && size_t(at) > limit) {
            return {};
        }
        // The AVI muxer fills a gap with empty chunks, which show the picture before; not
        // before the first chunk.
        while (!frames.empty() && int64_t(frames.size()) < at &&
               frames.size() < size_t(INT32_MAX)) {
            frames.push_back(frames.back());
        }
        frames.push_back(int32_t(i));
    }
    return frames;
}

int FrameIndex::StartPacketFor(int picture) const {
    // The last key picture shown at or before it: leading pictures of a key picture need the
    // group before it.
    return keyPackets[size_t(GroupOf(keyPictures, picture))];
}

std::shared_ptr<const FrameIndex> BuildFrameIndex(const std::string& path,
                                                  const ConversionGeometry& geometry,
                                                  const ScanProgress& progress,
                                                  IndexFailure* failure, std::string* why,
                                                  SampleReading reading) {
    IndexFailure ignoredFailure = IndexFailure::None;
    std::string ignoredWhy;
    failure = failure != nullptr ? failure : &ignoredFailure;
    why = why != nullptr ? why : &ignoredWhy;
    *failure = IndexFailure::None;
    why->clear();

    // Declared first so that it outlives the container reading it.
    const std::unique_ptr<SkimmedFile> file = SkimmedFile::Open(path);
    AVFormatContext* raw = file ? avformat_alloc_context() : nullptr;
    if (raw == nullptr) {
        Fail(IndexFailure::CannotOpen, "the container cannot be read", failure, why);
        return nullptr;
    }
    raw->pb = file->Context();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    AVDictionary* rawOptions = nullptr;
    av_dict_set(&rawOptions, "scan_all_pmts", "1", 0);  // as the encoder opens it
    std::unique_ptr<AVDictionary, DictionaryDeleter> options(rawOptions);
    rawOptions = options.release();
    // Real headers are read in well under a second; a demuxer walking gigabytes of zeros in a
    // hostile file would hold the open for hours. Past this, the encoder's route takes over.
    file->SetDeadline(std::chrono::steady_clock::now() + kHeaderDeadline);
    const int opened = avformat_open_input(&raw, path.c_str(), nullptr, &rawOptions);
    options.reset(rawOptions);
    if (opened < 0) {
        Fail(IndexFailure::CannotOpen, "the container cannot be read", failure, why);
        return nullptr;
    }
    AvFormatInputPtr input(raw);
    const bool withoutParser =
        reading == SampleReading::SkimWhereExact && IsMov(*input) && OnlyH264Video(*input);
    if (withoutParser) {
        input->flags |= AVFMT_FLAG_NOPARSE;  // before any packet is read, so all are alike
    }
    if (avformat_find_stream_info(input.get(), nullptr) < 0) {
        Fail(IndexFailure::CannotOpen, "the container cannot be read", failure, why);
        return nullptr;
    }
    if (input->pb == nullptr || (input->pb->seekable & AVIO_SEEKABLE_NORMAL) == 0) {
        Fail(IndexFailure::Unseekable, "the source cannot seek", failure, why);
        return nullptr;
    }
    const int best = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (best < 0) {
        Fail(IndexFailure::NoVideo, "no video stream", failure, why);
        return nullptr;
    }
    const AVStream& stream = *input->streams[best];
    if (avcodec_find_decoder(stream.codecpar->codec_id) == nullptr) {
        Fail(IndexFailure::NoVideo, "no decoder for the video", failure, why);
        return nullptr;
    }
    if (!PictureSizeAllowed(stream.codecpar->width, stream.codecpar->height)) {
        Fail(IndexFailure::Damaged, "picture size out of range", failure, why);
        return nullptr;
    }
    auto index = std::make_shared<FrameIndex>();
    index->path = path;
    index->stream = best;
    index->timeBase = stream.time_base;
    const std::string format = input->iformat != nullptr ? input->iformat->name : "";
    index->byteSeek = format == "mpegts" || format == "mpeg";
    index->codecpar.reset(avcodec_parameters_alloc());
    if (!index->codecpar || avcodec_parameters_copy(index->codecpar.get(), stream.codecpar) < 0) {
        Fail(IndexFailure::CannotOpen, "out of memory", failure, why);
        return nullptr;
    }
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        if (int(i) != best) {
            input->streams[i]->discard = AVDISCARD_ALL;
        }
    }
    if (reading == SampleReading::SkimWhereExact && SkimsExactly(*input, stream)) {
        file->SkipRanges(SampleRanges(*input));
        index->skimmed = true;
    }
    file->SetDeadline(std::chrono::steady_clock::time_point::max());  // the scan has a Cancel
    if (!ScanPackets(*input, *index, progress, failure, why)) {
        return nullptr;
    }
    if (withoutParser && index->skimmed && TablesFallShort(*index)) {
        input.reset();
        return BuildFrameIndex(path, geometry, progress, failure, why, SampleReading::ReadAll);
    }
    if (!OrderPictures(*index, failure, why)) {
        return nullptr;
    }

    const bool filtered =
        geometry.rotation == 90 || geometry.rotation == 180 || geometry.rotation == 270;
    index->rotation = filtered ? geometry.rotation : ContainerRotation(stream);
    const bool sideways = index->rotation == 90 || index->rotation == 270;
    index->width = sideways ? stream.codecpar->height : stream.codecpar->width;
    index->height = sideways ? stream.codecpar->width : stream.codecpar->height;
    if (geometry.resize && geometry.width > 0 && geometry.height > 0) {
        index->resize = true;
        index->width = geometry.width;
        index->height = geometry.height;
    }
    // Read without the parser, a B-frame picture lasts a frame of the stream's rate; the encoder
    // takes its length from the H.264 timing, which may state another. Such an index stands only
    // where the lengths cannot change the frames.
    const bool lengthsUnsure = withoutParser && index->skimmed;
    if (NumberFrames(*input, stream, filtered, geometry, lengthsUnsure, *index)) {
        input.reset();
        return BuildFrameIndex(path, geometry, progress, failure, why, SampleReading::ReadAll);
    }
    if (index->pictureAtSample.empty()) {
        Fail(IndexFailure::Damaged, "no frames", failure, why);
        return nullptr;
    }
    return index;
}

}  // namespace kivra
