#include "reading/riff_avi.h"

#include <algorithm>
#include <array>
#include <limits>
#include <unordered_set>

#include "platform/four_cc.h"
#include "platform/read_only_file.h"

namespace kivra {
namespace {

constexpr uint32_t kRiff = MakeFourCC("RIFF");
constexpr uint32_t kList = MakeFourCC("LIST");
constexpr uint32_t kAvi = MakeFourCC("AVI ");
constexpr uint32_t kAvix = MakeFourCC("AVIX");
constexpr uint32_t kHdrl = MakeFourCC("hdrl");
constexpr uint32_t kStrl = MakeFourCC("strl");
constexpr uint32_t kAvih = MakeFourCC("avih");
constexpr uint32_t kStrh = MakeFourCC("strh");
constexpr uint32_t kStrf = MakeFourCC("strf");
constexpr uint32_t kStrn = MakeFourCC("strn");
constexpr uint32_t kTxts = MakeFourCC("txts");
constexpr uint32_t kIndx = MakeFourCC("indx");
constexpr uint32_t kOdml = MakeFourCC("odml");
constexpr uint32_t kDmlh = MakeFourCC("dmlh");
constexpr uint32_t kMovi = MakeFourCC("movi");
constexpr uint32_t kRec = MakeFourCC("rec ");
constexpr uint32_t kIdx1 = MakeFourCC("idx1");
constexpr uint32_t kVids = MakeFourCC("vids");

constexpr uint32_t kAviifList = 0x1;
constexpr uint32_t kAviifKeyframe = 0x10;
constexpr uint8_t kIndexOfIndexes = 0x00;
constexpr uint8_t kIndexOfChunks = 0x01;
constexpr uint32_t kStdIndexNotKey = 0x80000000u;

constexpr size_t kAvihBytes = 56;
constexpr size_t kStrhBytes = 56;
constexpr size_t kOdmlIndexHeaderBytes = 24;
constexpr size_t kIdx1EntryBytes = 16;
constexpr size_t kSuperIndexEntryBytes = 16;
// Header chunks are small in every real file; a hostile size must not become a huge buffer.
constexpr uint64_t kMaxHeaderChunkBytes = 16u << 20;
constexpr size_t kMaxStreams = 100;  // chunk ids carry two decimal digits
constexpr int kMaxRecDepth = 4;
constexpr size_t kIndexBlockBytes = 256u << 10;
// How many idx1 entries may be tried before the offset base falls back to "relative".
constexpr size_t kBaseProbeEntries = 16;

uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint64_t Le64(const uint8_t* p) {
    return uint64_t(Le32(p)) | uint64_t(Le32(p + 4)) << 32;
}

// One chunk inside a parent range. size is the declared size cut to the parent's end.
struct Chunk {
    uint32_t id = 0;
    uint64_t header = 0;  // position of the fourcc
    uint64_t data = 0;
    uint64_t size = 0;
    uint64_t declaredEnd = 0;  // data + declared size, before any cut
};

// Visits the chunks of [begin, end) in order until visit returns false. Every step moves at
// least 8 bytes forward, so the walk is linear in the range whatever the sizes claim. Eight
// zero bytes where a chunk should start end it: no writer makes such a chunk, and what
// follows them in a preallocated or sparse file may be gigabytes of zeros, 8 bytes a step.
template <class Visit>
void ForEachChunk(const ReadOnlyFile& file, uint64_t begin, uint64_t end, Visit&& visit) {
    end = std::min(end, file.size());
    uint64_t pos = begin;
    while (pos <= end && end - pos >= 8) {
        std::array<uint8_t, 8> head{};
        if (!file.Read(pos, head.data(), head.size()) ||
            std::all_of(head.begin(), head.end(), [](uint8_t b) { return b == 0; })) {
            return;
        }
        Chunk chunk;
        chunk.id = Le32(head.data());
        chunk.header = pos;
        chunk.data = pos + 8;
        const uint64_t declared = Le32(head.data() + 4);
        chunk.declaredEnd = chunk.data + declared;
        chunk.size = std::min(declared, end - chunk.data);
        if (!visit(chunk)) {
            return;
        }
        pos = chunk.declaredEnd + (declared & 1);
    }
}

// The list type of a LIST or RIFF chunk, 0 when the chunk is too short to have one.
uint32_t ListType(const ReadOnlyFile& file, const Chunk& chunk) {
    std::array<uint8_t, 4> type{};
    if (chunk.size < 4 || !file.Read(chunk.data, type.data(), type.size())) {
        return 0;
    }
    return Le32(type.data());
}

// The stream number of a "##xx" chunk id, or -1 for ids that name no stream's data.
int StreamNumberOf(uint32_t id) {
    const auto c0 = char(id & 0xFF);
    const auto c1 = char((id >> 8) & 0xFF);
    const auto c2 = char((id >> 16) & 0xFF);
    const auto c3 = char((id >> 24) & 0xFF);
    if (c0 < '0' || c0 > '9' || c1 < '0' || c1 > '9') {
        return -1;
    }
    if (c2 == 'p' && c3 == 'c') {
        return -1;  // palette change: belongs to the video stream but is not one of its frames
    }
    return (c0 - '0') * 10 + (c1 - '0');
}

struct OdmlIndexHeader {
    uint16_t longsPerEntry = 0;
    uint8_t subType = 0;
    uint8_t type = 0;
    uint32_t entriesInUse = 0;
    uint64_t baseOffset = 0;  // standard indexes only
};

OdmlIndexHeader DecodeOdmlIndexHeader(const uint8_t* p) {
    OdmlIndexHeader h;
    h.longsPerEntry = Le16(p);
    h.subType = p[2];
    h.type = p[3];
    h.entriesInUse = Le32(p + 4);
    h.baseOffset = Le64(p + 12);
    return h;
}

// Parses one file into an AviFile. Lives for one ParseAviFile call and borrows the reader.
class AviParser {
public:
    explicit AviParser(const ReadOnlyFile& file)
        : file_(file), sampleBudget_(file.size() / 8 + 1) {}

    AviParseError Parse(AviFile& out) {
        out_.fileSize = file_.size();
        std::array<uint8_t, 12> head{};
        if (!file_.Read(0, head.data(), head.size()) || Le32(head.data()) != kRiff ||
            Le32(head.data() + 8) != kAvi) {
            return AviParseError::NotAvi;
        }
        const uint64_t declared = Le32(head.data() + 4);
        // A size too small to hold anything is what streaming writers leave; read to the end.
        const bool sizeUsable = declared >= 4 && 8 + declared <= file_.size();
        const uint64_t riffEnd = sizeUsable ? 8 + declared : file_.size();

        bool hdrlCut = false;
        ForEachChunk(file_, 12, riffEnd, [&](const Chunk& c) {
            if (c.id == kList) {
                const uint32_t type = ListType(file_, c);
                if (type == kHdrl && !sawHdrl_) {
                    sawHdrl_ = true;
                    hdrlCut = c.declaredEnd > riffEnd;
                    ParseHeaderList(c.data + 4, c.data + c.size);
                } else if (type == kMovi) {
                    AddMovi(c);
                }
            } else if (c.id == kIdx1 && !idx1_ && c.declaredEnd <= file_.size()) {
                idx1_ = c;  // a cut idx1 lists only some chunks; a scan finds them all
            }
            return true;
        });
        if (!sawHdrl_ || !sawAvih_) {
            return AviParseError::NoHeaderList;
        }
        if (hdrlCut) {
            return AviParseError::Damaged;  // the file ends inside its own headers
        }
        if (sizeUsable) {
            ReadExtensionParts(riffEnd + (declared & 1));
        }
        BuildSampleTables();
        out = std::move(out_);
        return AviParseError::None;
    }

private:
    struct Range {
        uint64_t begin = 0;
        uint64_t end = 0;
    };

    void AddMovi(const Chunk& c) {
        if (c.size < 4) {
            return;
        }
        if (moviLists_.empty()) {
            firstMoviFourcc_ = c.data;
        }
        moviLists_.push_back({c.data + 4, c.data + c.size});
    }

    // Follow-on "RIFF" "AVIX" parts of OpenDML files carry more "movi" lists.
    void ReadExtensionParts(uint64_t pos) {
        while (pos <= file_.size() && file_.size() - pos >= 12) {
            std::array<uint8_t, 12> head{};
            if (!file_.Read(pos, head.data(), head.size()) || Le32(head.data()) != kRiff ||
                Le32(head.data() + 8) != kAvix) {
                return;
            }
            hasExtensionParts_ = true;
            const uint64_t declared = Le32(head.data() + 4);
            const uint64_t end = std::min(pos + 8 + declared, file_.size());
            ForEachChunk(file_, pos + 12, end, [&](const Chunk& c) {
                if (c.id == kList && ListType(file_, c) == kMovi) {
                    AddMovi(c);
                }
                return true;
            });
            if (declared < 4) {
                return;  // no way to find the next part
            }
            pos += 8 + declared + (declared & 1);
        }
    }

    void ParseHeaderList(uint64_t begin, uint64_t end) {
        ForEachChunk(file_, begin, end, [&](const Chunk& c) {
            if (c.id == kAvih && !sawAvih_) {
                sawAvih_ = true;
                ReadMainHeader(c);
            } else if (c.id == kList) {
                const uint32_t type = ListType(file_, c);
                if (type == kStrl && out_.streams.size() < kMaxStreams) {
                    out_.streams.emplace_back();
                    superIndexes_.emplace_back();
                    ParseStreamList(c.data + 4, c.data + c.size);
                } else if (type == kOdml) {
                    ParseOdmlList(c.data + 4, c.data + c.size);
                }
            }
            return true;
        });
    }

    // Reads a fixed-size header chunk; a short one leaves its missing fields zero.
    std::array<uint8_t, 64> ReadFixed(const Chunk& c, size_t want) const {
        std::array<uint8_t, 64> bytes{};
        const auto stored = file_.ReadUpTo(c.data, std::min<uint64_t>(c.size, want));
        std::copy(stored.begin(), stored.end(), bytes.begin());
        return bytes;
    }

    void ReadMainHeader(const Chunk& c) {
        const auto b = ReadFixed(c, kAvihBytes);
        AviMainHeader& h = out_.main;
        h.microSecPerFrame = Le32(&b[0]);
        h.maxBytesPerSec = Le32(&b[4]);
        h.paddingGranularity = Le32(&b[8]);
        h.flags = Le32(&b[12]);
        h.totalFrames = Le32(&b[16]);
        h.initialFrames = Le32(&b[20]);
        h.streams = Le32(&b[24]);
        h.suggestedBufferSize = Le32(&b[28]);
        h.width = Le32(&b[32]);
        h.height = Le32(&b[36]);
    }

    void ReadStreamHeader(const Chunk& c, AviStreamHeader& h) const {
        const auto b = ReadFixed(c, kStrhBytes);
        h.fccType = Le32(&b[0]);
        h.fccHandler = Le32(&b[4]);
        h.flags = Le32(&b[8]);
        h.priority = Le16(&b[12]);
        h.language = Le16(&b[14]);
        h.initialFrames = Le32(&b[16]);
        h.scale = Le32(&b[20]);
        h.rate = Le32(&b[24]);
        h.start = Le32(&b[28]);
        h.length = Le32(&b[32]);
        h.suggestedBufferSize = Le32(&b[36]);
        h.quality = Le32(&b[40]);
        h.sampleSize = Le32(&b[44]);
        h.frame.left = int16_t(Le16(&b[48]));
        h.frame.top = int16_t(Le16(&b[50]));
        h.frame.right = int16_t(Le16(&b[52]));
        h.frame.bottom = int16_t(Le16(&b[54]));
    }

    void ParseStreamList(uint64_t begin, uint64_t end) {
        AviStream& stream = out_.streams.back();
        bool sawStrh = false, sawStrf = false, sawStrn = false, sawTxts = false;
        ForEachChunk(file_, begin, end, [&](const Chunk& c) {
            const uint64_t capped = std::min(c.size, kMaxHeaderChunkBytes);
            if (c.id == kStrh && !sawStrh) {
                sawStrh = true;
                ReadStreamHeader(c, stream.header);
            } else if (c.id == kStrf && !sawStrf) {
                sawStrf = true;
                stream.format = file_.ReadUpTo(c.data, capped);
            } else if (c.id == kStrn && !sawStrn) {
                sawStrn = true;
                const auto bytes = file_.ReadUpTo(c.data, capped);
                const auto nul = std::find(bytes.begin(), bytes.end(), uint8_t{0});
                stream.name.assign(bytes.begin(), nul);
            } else if (c.id == kTxts && !sawTxts) {
                sawTxts = true;
                stream.txts = file_.ReadUpTo(c.data, capped);
            } else if (c.id == kIndx && !superIndexes_.back().end) {
                superIndexes_.back() = {c.data, c.data + c.size};
            }
            return true;
        });
    }

    void ParseOdmlList(uint64_t begin, uint64_t end) {
        ForEachChunk(file_, begin, end, [&](const Chunk& c) {
            if (c.id == kDmlh && c.size >= 4) {
                std::array<uint8_t, 4> b{};
                if (file_.Read(c.data, b.data(), b.size())) {
                    out_.odmlTotalFrames = Le32(b.data());
                }
                return false;
            }
            return true;
        });
    }

    // Adds a row to a stream's table with its data cut to the file, so that every row can be
    // read. whole is false when the chunk's header claims more than its range holds. False once
    // the file-size budget of rows is spent: nothing more is added then.
    bool AddSample(size_t stream, uint64_t data, uint64_t size, bool key, bool whole = true) {
        if (sampleBudget_ == 0) {
            return false;
        }
        --sampleBudget_;
        whole = whole && data <= file_.size() && size <= file_.size() - data;
        if (data > file_.size()) {
            data = file_.size();
        }
        size = std::min(size, file_.size() - data);
        std::vector<AviSample>& samples = out_.streams[stream].samples;
        samples.push_back({data, static_cast<uint32_t>(size), key});
        if (whole) {
            wholeSamples_.resize(out_.streams.size());
            wholeSamples_[stream] = samples.size();
        }
        return true;
    }

    void ClearSamples() {
        for (AviStream& s : out_.streams) {
            s.samples.clear();
        }
        wholeSamples_.clear();
        sampleBudget_ = file_.size() / 8 + 1;
    }

    // A file cut short (a copy or a recording that stopped) ends in chunks it holds only in part
    // or not at all; they are no frames. Such chunks between whole ones stay, as lost pictures.
    void DropCutTails() {
        wholeSamples_.resize(out_.streams.size());
        for (size_t s = 0; s < out_.streams.size(); ++s) {
            std::vector<AviSample>& samples = out_.streams[s].samples;
            samples.resize(std::min(samples.size(), wholeSamples_[s]));
        }
    }

    // idx1 covers only the first RIFF part, so files with extension parts prefer OpenDML.
    void BuildSampleTables() {
        out_.indexSource = AviIndexSource::Scan;
        if (!hasExtensionParts_ && ReadIdx1()) {
            out_.indexSource = AviIndexSource::Idx1;
        } else {
            ClearSamples();
            if (ReadOpenDml()) {
                out_.indexSource = AviIndexSource::OpenDml;
            } else {
                ClearSamples();
                Scan();
            }
        }
        DropCutTails();
        out_.indexed = out_.indexSource != AviIndexSource::Scan;
    }

    // Reads [begin, begin + count * entryBytes) in large blocks and hands each entry to visit
    // until it returns false. False when the bytes could not be read.
    template <class Visit>
    bool ForEachEntry(uint64_t begin, uint64_t count, size_t entryBytes, Visit&& visit) const {
        const uint64_t perBlock = std::max<uint64_t>(1, kIndexBlockBytes / entryBytes);
        std::vector<uint8_t> block;
        for (uint64_t done = 0; done < count;) {
            const uint64_t n = std::min(perBlock, count - done);
            block.resize(static_cast<size_t>(n * entryBytes));
            if (!file_.Read(begin + done * entryBytes, block.data(), block.size())) {
                return false;
            }
            for (uint64_t i = 0; i < n; ++i) {
                if (!visit(block.data() + i * entryBytes)) {
                    return true;
                }
            }
            done += n;
        }
        return true;
    }

    // Whether the chunk header at pos carries the given id.
    bool ChunkIdAt(uint64_t pos, uint32_t id) const {
        std::array<uint8_t, 4> b{};
        return file_.Read(pos, b.data(), b.size()) && Le32(b.data()) == id;
    }

    // idx1 offsets count from the "movi" fourcc in most files and from the file start in some;
    // the first entries that name a stream tell which, by the chunk ids found at both places.
    uint64_t Idx1Base(uint64_t count) const {
        uint64_t base = firstMoviFourcc_;
        size_t probes = 0;
        ForEachEntry(idx1_->data, std::min<uint64_t>(count, 1024), kIdx1EntryBytes,
                     [&](const uint8_t* e) {
                         const uint32_t id = Le32(e);
                         if ((Le32(e + 4) & kAviifList) || StreamNumberOf(id) < 0) {
                             return true;
                         }
                         const uint64_t offset = Le32(e + 8);
                         if (!moviLists_.empty() && ChunkIdAt(firstMoviFourcc_ + offset, id)) {
                             return false;
                         }
                         if (ChunkIdAt(offset, id)) {
                             base = 0;
                             return false;
                         }
                         return ++probes < kBaseProbeEntries;
                     });
        return base;
    }

    bool ReadIdx1() {
        if (!idx1_) {
            return false;
        }
        const uint64_t count = idx1_->size / kIdx1EntryBytes;
        const uint64_t base = Idx1Base(count);
        bool any = false;
        ForEachEntry(idx1_->data, count, kIdx1EntryBytes, [&](const uint8_t* e) {
            const uint32_t id = Le32(e);
            const uint32_t flags = Le32(e + 4);
            const int stream = StreamNumberOf(id);
            if ((flags & kAviifList) || stream < 0 || size_t(stream) >= out_.streams.size()) {
                return true;
            }
            any = true;
            return AddSample(size_t(stream), base + Le32(e + 8) + 8, Le32(e + 12),
                             (flags & kAviifKeyframe) != 0);
        });
        return any;
    }

    bool ReadOpenDml() {
        bool any = false;
        for (size_t s = 0; s < superIndexes_.size(); ++s) {
            const Range r = superIndexes_[s];
            if (r.end - r.begin < kOdmlIndexHeaderBytes) {
                continue;
            }
            std::array<uint8_t, kOdmlIndexHeaderBytes> head{};
            if (!file_.Read(r.begin, head.data(), head.size())) {
                continue;
            }
            const OdmlIndexHeader h = DecodeOdmlIndexHeader(head.data());
            if (h.type == kIndexOfChunks) {
                // Some writers put a standard index straight into the stream list.
                any |= ReadStandardIndex(s, r.begin, r.end);
                continue;
            }
            if (h.type != kIndexOfIndexes || h.longsPerEntry != 4) {
                continue;
            }
            const uint64_t fits = (r.end - r.begin - kOdmlIndexHeaderBytes) / kSuperIndexEntryBytes;
            const uint64_t count = std::min<uint64_t>(h.entriesInUse, fits);
            ForEachEntry(r.begin + kOdmlIndexHeaderBytes, count, kSuperIndexEntryBytes,
                         [&](const uint8_t* e) {
                             any |= ReadIndexChunk(s, Le64(e));
                             return sampleBudget_ > 0;
                         });
        }
        return any;
    }

    // An "ix##" chunk named by a super index; each is read once however often it is named.
    bool ReadIndexChunk(size_t stream, uint64_t pos) {
        if (pos >= file_.size() || !visitedIndexChunks_.insert(pos).second) {
            return false;
        }
        std::array<uint8_t, 8> head{};
        if (!file_.Read(pos, head.data(), head.size())) {
            return false;
        }
        const uint64_t data = pos + 8;
        const uint64_t end = std::min<uint64_t>(data + Le32(head.data() + 4), file_.size());
        return ReadStandardIndex(stream, data, end);
    }

    bool ReadStandardIndex(size_t stream, uint64_t begin, uint64_t end) {
        std::array<uint8_t, kOdmlIndexHeaderBytes> head{};
        if (end < begin || end - begin < head.size() ||
            !file_.Read(begin, head.data(), head.size())) {
            return false;
        }
        const OdmlIndexHeader h = DecodeOdmlIndexHeader(head.data());
        // Two longs per entry, or three when a second field's offset follows.
        if (h.type != kIndexOfChunks || h.longsPerEntry < 2 || h.longsPerEntry > 3) {
            return false;
        }
        const size_t entryBytes = size_t(h.longsPerEntry) * 4;
        const uint64_t fits = (end - begin - head.size()) / entryBytes;
        const uint64_t count = std::min<uint64_t>(h.entriesInUse, fits);
        return ForEachEntry(begin + head.size(), count, entryBytes, [&](const uint8_t* e) {
            const uint64_t offset = Le32(e);
            const uint32_t size = Le32(e + 4);
            const bool fitsIn64 = h.baseOffset <= std::numeric_limits<uint64_t>::max() - offset;
            const uint64_t data = fitsIn64 ? h.baseOffset + offset : file_.size();
            return AddSample(stream, data, size & ~kStdIndexNotKey, !(size & kStdIndexNotKey));
        });
    }

    // Without an index every chunk in "movi" is a sample; key frames cannot be told apart here,
    // so all of them are marked key and seeking relies on the decoder to cope.
    void Scan() {
        for (const Range& r : moviLists_) {
            if (!ScanList(r.begin, r.end, 0)) {
                return;
            }
        }
    }

    bool ScanList(uint64_t begin, uint64_t end, int depth) {
        bool more = true;
        ForEachChunk(file_, begin, end, [&](const Chunk& c) {
            if (c.id == kList) {
                if (depth < kMaxRecDepth && ListType(file_, c) == kRec) {
                    more = ScanList(c.data + 4, c.data + c.size, depth + 1);
                }
                return more;
            }
            const int stream = StreamNumberOf(c.id);
            if (stream >= 0 && size_t(stream) < out_.streams.size()) {
                more = AddSample(size_t(stream), c.data, c.size, true,
                                 c.data + c.size == c.declaredEnd);
            }
            return more;
        });
        return more;
    }

    const ReadOnlyFile& file_;
    AviFile out_;
    uint64_t sampleBudget_;
    bool sawHdrl_ = false;
    bool sawAvih_ = false;
    bool hasExtensionParts_ = false;
    std::vector<Range> superIndexes_;  // parallel to out_.streams; empty when a stream has none
    std::vector<Range> moviLists_;     // the chunks of each "movi" list, in file order
    uint64_t firstMoviFourcc_ = 0;
    std::optional<Chunk> idx1_;
    std::vector<size_t> wholeSamples_;  // per stream: the rows up to its last whole chunk
    std::unordered_set<uint64_t> visitedIndexChunks_;
};

}  // namespace

std::optional<AviFile> ParseAviFile(const std::string& path, AviParseError* error) {
    const auto fail = [&](AviParseError e) -> std::optional<AviFile> {
        if (error) {
            *error = e;
        }
        return std::nullopt;
    };
    const ReadOnlyFile file(path);
    if (!file.ok()) {
        return fail(AviParseError::CannotOpen);
    }
    AviFile result;
    const AviParseError e = AviParser(file).Parse(result);
    if (e != AviParseError::None) {
        return fail(e);
    }
    if (error) {
        *error = AviParseError::None;
    }
    return result;
}

int FirstVideoStream(const AviFile& file) {
    for (size_t i = 0; i < file.streams.size(); ++i) {
        if (file.streams[i].header.fccType == kVids) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace kivra
