#include "reading/riff_avi.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "platform/four_cc.h"
#include "support/ffmpeg_tool.h"

namespace kivra {
namespace {

using test::RunFfmpeg;
using test::TempDir;

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + i] = uint8_t(v >> (8 * i));
    }
}

// Position of the first chunk with this id, found by its bytes; the tests' files hold no
// frame data that could look like one.
size_t FindId(const std::vector<uint8_t>& b, const char* id) {
    const auto it = std::search(b.begin(), b.end(), id, id + 4);
    return it == b.end() ? std::string::npos : size_t(it - b.begin());
}

bool SameTable(const std::vector<AviSample>& a, const std::vector<AviSample>& b, bool keys) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [&](const auto& x, const auto& y) {
        return x.offset == y.offset && x.size == y.size && (!keys || x.key == y.key);
    });
}

// Writes RIFF structures straight into a file. Skip leaves a hole, so a file can reach past
// 4 GB without using the disk.
class RiffWriter {
public:
    explicit RiffWriter(const std::string& path)
        : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644)) {}
    ~RiffWriter() {
        if (fd_ >= 0) {
            ::ftruncate(fd_, off_t(end_));
            ::close(fd_);
        }
    }
    uint64_t pos() const { return pos_; }
    void WriteAt(uint64_t at, const std::vector<uint8_t>& b) {
        ASSERT_EQ(::pwrite(fd_, b.data(), b.size(), off_t(at)), ssize_t(b.size()));
        end_ = std::max(end_, at + b.size());
    }
    void Put(const std::vector<uint8_t>& b) {
        WriteAt(pos_, b);
        pos_ += b.size();
    }
    void Skip(uint64_t n) {
        pos_ += n;
        end_ = std::max(end_, pos_);
    }
    uint64_t Begin(const char* id, const char* type) {
        const uint64_t header = pos_;
        Put(Bytes(id, 0));
        Put(Bytes(type));
        return header;
    }
    void End(uint64_t header) {
        std::vector<uint8_t> size(4);
        Put32(size, 0, uint32_t(pos_ - header - 8));
        WriteAt(header + 4, size);
    }
    // Returns the data position; odd sizes get their pad byte.
    uint64_t Chunk(const std::string& id, const std::vector<uint8_t>& data) {
        Put(Bytes(id.c_str(), uint32_t(data.size())));
        const uint64_t at = pos_;
        Put(data);
        if (data.size() & 1) {
            Put({0});
        }
        return at;
    }
    static std::vector<uint8_t> Bytes(const char* fourcc) { return {fourcc, fourcc + 4}; }
    static std::vector<uint8_t> Bytes(const char* fourcc, uint32_t v) {
        auto b = Bytes(fourcc);
        b.resize(8);
        Put32(b, 4, v);
        return b;
    }

private:
    int fd_;
    uint64_t pos_ = 0;
    uint64_t end_ = 0;
};

// Little-endian field packer for header chunks.
struct Fields {
    std::vector<uint8_t> b;
    Fields& u32s(std::initializer_list<uint32_t> values) {
        for (const uint32_t v : values) {
            b.resize(b.size() + 4);
            Put32(b, b.size() - 4, v);
        }
        return *this;
    }
    Fields& u16s(std::initializer_list<uint16_t> values) {
        for (const uint16_t v : values) {
            b.push_back(uint8_t(v));
            b.push_back(uint8_t(v >> 8));
        }
        return *this;
    }
    Fields& u64(uint64_t v) { return u32s({uint32_t(v), uint32_t(v >> 32)}); }
    Fields& fcc(const char* f) { return u32s({MakeFourCC(f)}); }
};

struct HandChunk {
    int stream;
    const char* kind;  // "dc", "wb" or "pc"
    uint32_t size;
    bool key;
};

// A two-stream AVI (video 0, audio 1) laid out by hand, so that every index form can be made.
struct HandAvi {
    std::vector<HandChunk> chunks;
    size_t secondPartFrom = SIZE_MAX;  // chunks from here on go into a "RIFF" "AVIX" part
    int gapParts = 0;                  // AVIX parts of 2.25 GB holes before that part
    bool idx1 = true;
    bool absoluteIdx1 = false;
    bool openDml = false;   // "indx" super indexes and "ix##" chunks
    bool recLists = false;  // pairs of chunks wrapped in "LIST" "rec "
    std::string name;
    std::vector<uint8_t> txts;
};

struct Written {
    uint64_t header;
    uint64_t data;
    HandChunk chunk;
};

std::string ChunkId(const HandChunk& c) {
    return "0" + std::to_string(c.stream) + c.kind;
}

// Writes the parts' chunks, the "rec " lists and the "ix##" chunks of one "movi" list.
void WriteMovi(RiffWriter& w, const HandAvi& avi, size_t from, size_t to,
               std::vector<Written>& written, std::vector<std::vector<uint64_t>>& ixChunks) {
    const uint64_t movi = w.Begin("LIST", "movi");
    const size_t first = written.size();
    uint64_t rec = 0;
    for (size_t i = from; i < to; ++i) {
        if (avi.recLists && (i - from) % 2 == 0) {
            rec = w.Begin("LIST", "rec ");
        }
        const HandChunk& c = avi.chunks[i];
        const uint64_t header = w.pos();
        const uint64_t data = w.Chunk(ChunkId(c), std::vector<uint8_t>(c.size, uint8_t(i + 1)));
        written.push_back({header, data, c});
        if (avi.recLists && ((i - from) % 2 == 1 || i + 1 == to)) {
            w.End(rec);
        }
    }
    for (int s = 0; avi.openDml && s < 2; ++s) {
        Fields ix;
        std::vector<const Written*> mine;
        for (size_t i = first; i < written.size(); ++i) {
            if (written[i].chunk.stream == s && std::string(written[i].chunk.kind) != "pc") {
                mine.push_back(&written[i]);
            }
        }
        ix.u16s({2, 0x0100}).u32s({uint32_t(mine.size())}).fcc(s == 0 ? "00dc" : "01wb");
        ix.u64(movi).u32s({0});
        for (const Written* m : mine) {
            ix.u32s({uint32_t(m->data - movi), m->chunk.size | (m->chunk.key ? 0 : 0x80000000u)});
        }
        ixChunks[s].push_back(w.pos());
        w.Chunk(s == 0 ? "ix00" : "ix01", ix.b);
    }
    w.End(movi);
}

// Returns the table each stream should get from an index.
std::vector<std::vector<AviSample>> WriteHandAvi(const std::string& path, const HandAvi& avi) {
    RiffWriter w(path);
    const auto frames = uint32_t(std::count_if(avi.chunks.begin(), avi.chunks.end(),
                                               [](const auto& c) { return c.kind[0] == 'd'; }));
    const uint64_t riff = w.Begin("RIFF", "AVI ");
    const uint64_t hdrl = w.Begin("LIST", "hdrl");
    w.Chunk("avih", Fields{}.u32s({40000, 0, 0, 0x10, frames, 0, 2, 0, 64, 48, 0, 0, 0, 0}).b);
    std::vector<uint64_t> indx(2);
    for (int s = 0; s < 2; ++s) {
        const uint64_t strl = w.Begin("LIST", "strl");
        const bool video = s == 0;
        const uint32_t rate = video ? 25 : 8000;
        w.Chunk("strh", Fields{}
                            .fcc(video ? "vids" : "auds")
                            .fcc(video ? "MJPG" : "    ")
                            .u32s({0, 0, 0, 1, rate, 0, frames, 0, 0, video ? 0u : 2u})
                            .u16s({0, 0, 64, 48})
                            .b);
        w.Chunk("strf",
                video ? Fields{}.u32s({40, 64, 48, 0x180001}).fcc("MJPG").u32s({0, 0, 0, 0, 0}).b
                      : Fields{}.u16s({1, 1}).u32s({8000, 16000}).u16s({2, 16}).b);
        if (video && !avi.name.empty()) {
            std::vector<uint8_t> name(avi.name.begin(), avi.name.end());
            name.push_back(0);
            w.Chunk("strn", name);
        }
        if (video && !avi.txts.empty()) {
            w.Chunk("txts", avi.txts);
        }
        if (avi.openDml) {
            indx[s] = w.Chunk("indx", std::vector<uint8_t>(24 + 4 * 16));
        }
        w.End(strl);
    }
    const uint64_t odml = w.Begin("LIST", "odml");
    w.Chunk("dmlh", Fields{}.u32s({frames}).b);
    w.End(odml);
    w.End(hdrl);

    std::vector<Written> written;
    std::vector<std::vector<uint64_t>> ixChunks(2);
    const size_t split = std::min(avi.secondPartFrom, avi.chunks.size());
    const uint64_t moviFourcc = w.pos() + 8;
    WriteMovi(w, avi, 0, split, written, ixChunks);
    if (avi.idx1) {
        Fields idx1;
        const uint64_t base = avi.absoluteIdx1 ? 0 : moviFourcc;
        for (size_t i = 0; i < written.size(); ++i) {
            const Written& e = written[i];
            if (avi.recLists && i % 2 == 0) {
                idx1.fcc("rec ").u32s({0x1, uint32_t(e.header - 12 - base), 0});
            }
            idx1.u32s({MakeFourCC(ChunkId(e.chunk)), e.chunk.key ? 0x10u : 0u,
                       uint32_t(e.header - base), e.chunk.size});
        }
        w.Chunk("idx1", idx1.b);
    }
    w.End(riff);

    for (int g = 0; split < avi.chunks.size() && g < avi.gapParts; ++g) {
        const uint64_t part = w.Begin("RIFF", "AVIX");
        const uint64_t movi = w.Begin("LIST", "movi");
        w.Put(RiffWriter::Bytes("JUNK", 0x90000000u));
        w.Skip(0x90000000u);
        w.End(movi);
        w.End(part);
    }
    if (split < avi.chunks.size()) {
        const uint64_t part = w.Begin("RIFF", "AVIX");
        WriteMovi(w, avi, split, avi.chunks.size(), written, ixChunks);
        w.End(part);
    }
    for (int s = 0; avi.openDml && s < 2; ++s) {
        Fields super;
        super.u16s({4, 0}).u32s({uint32_t(ixChunks[s].size())}).fcc(s == 0 ? "00dc" : "01wb");
        super.u32s({0, 0, 0});
        for (const uint64_t ix : ixChunks[s]) {
            super.u64(ix).u32s({0, 0});
        }
        w.WriteAt(indx[s], super.b);
    }

    std::vector<std::vector<AviSample>> expected(2);
    for (const Written& e : written) {
        if (std::string(e.chunk.kind) != "pc") {
            expected[e.chunk.stream].push_back({e.data, e.chunk.size, e.chunk.key});
        }
    }
    return expected;
}

// Video with a dropped frame (zero length), an odd size, a palette change and silent audio.
std::vector<HandChunk> MixedChunks() {
    return {{0, "dc", 100, true}, {1, "wb", 50, true}, {0, "dc", 0, false}, {0, "pc", 12, false},
            {0, "dc", 33, false}, {1, "wb", 0, true},  {0, "dc", 80, true}, {1, "wb", 40, true},
            {0, "dc", 21, false}, {0, "dc", 0, false}, {1, "wb", 16, true}, {0, "dc", 64, true}};
}

std::optional<AviFile> Parse(const std::string& path, AviParseError* error = nullptr) {
    return ParseAviFile(path, error);
}

// --- Files made by ffmpeg --------------------------------------------------------------------

class RiffAviFfmpegTest : public ::testing::Test {
protected:
    std::string Make(const std::string& name, const std::vector<std::string>& args) {
        std::vector<std::string> all = {"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25"};
        all.insert(all.end(), args.begin(), args.end());
        all.push_back(dir.File(name));
        EXPECT_TRUE(RunFfmpeg(all));
        return dir.File(name);
    }
    TempDir dir;
};

TEST_F(RiffAviFfmpegTest, MjpegHeadersAndChunkOffsets) {
    const std::string path = Make("mjpeg.avi", {"-frames:v", "30", "-c:v", "mjpeg"});
    const auto avi = Parse(path);
    ASSERT_TRUE(avi);
    EXPECT_EQ(avi->main.totalFrames, 30u);
    EXPECT_EQ(avi->main.width, 64u);
    EXPECT_EQ(avi->main.height, 48u);
    EXPECT_EQ(avi->main.microSecPerFrame, 40000u);
    ASSERT_EQ(avi->streams.size(), 1u);
    ASSERT_EQ(FirstVideoStream(*avi), 0);
    const AviStreamHeader& h = avi->streams[0].header;
    EXPECT_EQ(h.fccType, MakeFourCC("vids"));
    EXPECT_EQ(h.fccHandler, MakeFourCC("MJPG"));
    EXPECT_EQ(h.rate / double(h.scale), 25.0);
    EXPECT_EQ(h.length, 30u);
    EXPECT_EQ(h.frame.right, 64);
    EXPECT_EQ(h.frame.bottom, 48);
    EXPECT_EQ(avi->indexSource, AviIndexSource::Idx1);
    EXPECT_TRUE(avi->indexed);

    const auto bytes = ReadBytes(path);
    const auto& samples = avi->streams[0].samples;
    ASSERT_EQ(samples.size(), 30u);
    for (const AviSample& s : samples) {
        ASSERT_GE(s.offset, 8u);
        ASSERT_LE(s.offset + s.size, bytes.size());
        EXPECT_EQ(Get32(bytes, s.offset - 8), MakeFourCC("00dc"));
        EXPECT_EQ(Get32(bytes, s.offset - 4), s.size);
        EXPECT_EQ(bytes[s.offset], 0xFF);  // JPEG start of image
        EXPECT_EQ(bytes[s.offset + 1], 0xD8);
        EXPECT_TRUE(s.key);
    }
}

TEST_F(RiffAviFfmpegTest, Msmpeg4KeyFramesEveryTwelve) {
    const auto avi = Parse(Make("mp42.avi", {"-frames:v", "30", "-c:v", "msmpeg4v2", "-g", "12"}));
    ASSERT_TRUE(avi);
    EXPECT_EQ(avi->streams[0].header.fccHandler, MakeFourCC("MP42"));
    const auto& samples = avi->streams[0].samples;
    ASSERT_EQ(samples.size(), 30u);
    for (size_t i = 0; i < samples.size(); ++i) {
        EXPECT_EQ(samples[i].key, i % 12 == 0) << "frame " << i;
    }
}

TEST_F(RiffAviFfmpegTest, RawVideoAfterAudioStream) {
    const std::string path = dir.File("raw.avi");
    ASSERT_TRUE(
        RunFfmpeg({"-f",        "lavfi",     "-i",       "testsrc=size=64x48:rate=25",
                   "-f",        "lavfi",     "-i",       "sine=frequency=440:sample_rate=8000",
                   "-map",      "1:a",       "-map",     "0:v",
                   "-frames:v", "30",        "-t",       "1.2",
                   "-c:v",      "rawvideo",  "-pix_fmt", "bgr24",
                   "-c:a",      "pcm_s16le", path}));
    const auto avi = Parse(path);
    ASSERT_TRUE(avi);
    ASSERT_EQ(avi->streams.size(), 2u);
    EXPECT_EQ(avi->streams[0].header.fccType, MakeFourCC("auds"));
    ASSERT_EQ(FirstVideoStream(*avi), 1);
    const AviStream& video = avi->streams[1];
    // BITMAPINFOHEADER biHeight: raw BGR is stored top-down, with a negative height.
    ASSERT_GE(video.format.size(), 40u);
    EXPECT_EQ(int32_t(Get32(video.format, 8)), -48);
    ASSERT_EQ(video.samples.size(), 30u);
    for (const AviSample& s : video.samples) {
        EXPECT_EQ(s.size, 64u * 48u * 3u);
    }
    uint64_t audioBytes = 0;
    for (const AviSample& s : avi->streams[0].samples) {
        audioBytes += s.size;
    }
    EXPECT_EQ(audioBytes, 8000u * 2u * 6u / 5u);
}

TEST_F(RiffAviFfmpegTest, ScanWhenTheIndexIsMissingOrCut) {
    const std::string path = Make("scan.avi", {"-frames:v", "30", "-c:v", "mjpeg"});
    const auto indexed = Parse(path);
    ASSERT_TRUE(indexed);
    const auto& table = indexed->streams[0].samples;
    auto bytes = ReadBytes(path);
    const size_t idx1 = FindId(bytes, "idx1");
    ASSERT_NE(idx1, std::string::npos);

    auto junked = bytes;
    std::memcpy(&junked[idx1], "JUNK", 4);
    WriteBytes(dir.File("junked.avi"), junked);
    const auto scanned = Parse(dir.File("junked.avi"));
    ASSERT_TRUE(scanned);
    EXPECT_EQ(scanned->indexSource, AviIndexSource::Scan);
    EXPECT_FALSE(scanned->indexed);
    EXPECT_TRUE(SameTable(scanned->streams[0].samples, table, true));  // MJPEG: all key anyway

    // Cut inside idx1: the partial index is not trusted.
    WriteBytes(dir.File("cut_idx1.avi"), {bytes.begin(), bytes.begin() + long(idx1) + 100});
    const auto cutIndex = Parse(dir.File("cut_idx1.avi"));
    ASSERT_TRUE(cutIndex);
    EXPECT_EQ(cutIndex->indexSource, AviIndexSource::Scan);
    EXPECT_TRUE(SameTable(cutIndex->streams[0].samples, table, false));

    // Cut inside the last frame: what is left of it is no frame.
    const uint64_t cut = table.back().offset + table.back().size / 2;
    WriteBytes(dir.File("cut_frame.avi"), {bytes.begin(), bytes.begin() + long(cut)});
    const auto cutFrame = Parse(dir.File("cut_frame.avi"));
    ASSERT_TRUE(cutFrame);
    EXPECT_TRUE(SameTable(cutFrame->streams[0].samples, {table.begin(), table.end() - 1}, true));
}

// --- Files laid out by hand ------------------------------------------------------------------

TEST(RiffAviHandMadeTest, TextNameZeroLengthChunksAndIdx1Forms) {
    TempDir dir;
    HandAvi avi;
    avi.chunks = MixedChunks();
    avi.name = "Camera 1";
    const std::u16string text = u"歩行 walk";
    avi.txts.resize(text.size() * 2 + 2);
    std::memcpy(avi.txts.data(), text.data(), text.size() * 2);
    const auto expected = WriteHandAvi(dir.File("a.avi"), avi);

    const auto parsed = Parse(dir.File("a.avi"));
    ASSERT_TRUE(parsed);
    ASSERT_EQ(parsed->streams.size(), 2u);
    EXPECT_EQ(parsed->streams[0].name, "Camera 1");
    EXPECT_EQ(parsed->streams[0].txts, avi.txts);
    EXPECT_TRUE(parsed->streams[1].txts.empty());
    EXPECT_EQ(parsed->odmlTotalFrames, 7u);
    EXPECT_EQ(parsed->streams[0].header.length, 7u);
    ASSERT_EQ(parsed->streams[0].samples.size(), 7u);  // the palette change is no frame
    EXPECT_EQ(parsed->streams[0].samples[1].size, 0u);
    for (int s = 0; s < 2; ++s) {
        EXPECT_TRUE(SameTable(parsed->streams[s].samples, expected[s], true)) << s;
    }

    // The same chunks under absolute idx1 offsets, and grouped in "rec " lists.
    avi.absoluteIdx1 = true;
    avi.recLists = true;
    const auto expectedRec = WriteHandAvi(dir.File("b.avi"), avi);
    const auto rec = Parse(dir.File("b.avi"));
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->indexSource, AviIndexSource::Idx1);
    for (int s = 0; s < 2; ++s) {
        EXPECT_TRUE(SameTable(rec->streams[s].samples, expectedRec[s], true)) << s;
    }

    avi.idx1 = false;
    const auto expectedScan = WriteHandAvi(dir.File("c.avi"), avi);
    const auto scan = Parse(dir.File("c.avi"));
    ASSERT_TRUE(scan);
    EXPECT_EQ(scan->indexSource, AviIndexSource::Scan);
    for (int s = 0; s < 2; ++s) {
        EXPECT_TRUE(SameTable(scan->streams[s].samples, expectedScan[s], false)) << s;
        for (const AviSample& sample : scan->streams[s].samples) {
            EXPECT_TRUE(sample.key);
        }
    }
}

TEST(RiffAviHandMadeTest, OpenDmlIndexMatchesIdx1AndCoversExtensionParts) {
    TempDir dir;
    HandAvi avi;
    avi.chunks = MixedChunks();
    avi.openDml = true;
    const auto expected = WriteHandAvi(dir.File("one.avi"), avi);
    const auto withIdx1 = Parse(dir.File("one.avi"));
    avi.idx1 = false;
    WriteHandAvi(dir.File("odml.avi"), avi);
    const auto odml = Parse(dir.File("odml.avi"));
    ASSERT_TRUE(withIdx1 && odml);
    EXPECT_EQ(withIdx1->indexSource, AviIndexSource::Idx1);
    EXPECT_EQ(odml->indexSource, AviIndexSource::OpenDml);
    for (int s = 0; s < 2; ++s) {
        EXPECT_TRUE(SameTable(withIdx1->streams[s].samples, expected[s], true)) << s;
        EXPECT_TRUE(SameTable(odml->streams[s].samples, expected[s], true)) << s;
    }

    // With an "AVIX" part, idx1 lists only the first part; the OpenDML index has both.
    avi.idx1 = true;
    avi.secondPartFrom = 6;
    const auto expectedParts = WriteHandAvi(dir.File("parts.avi"), avi);
    const auto parts = Parse(dir.File("parts.avi"));
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->indexSource, AviIndexSource::OpenDml);
    EXPECT_EQ(parts->streams[0].samples.size(), 7u);
    for (int s = 0; s < 2; ++s) {
        EXPECT_TRUE(SameTable(parts->streams[s].samples, expectedParts[s], true)) << s;
    }
}

TEST(RiffAviHandMadeTest, OffsetsPastFourGigabytes) {
    TempDir dir;
    HandAvi avi;
    avi.chunks = MixedChunks();
    avi.openDml = true;
    avi.idx1 = false;
    avi.secondPartFrom = 6;
    avi.gapParts = 2;
    const auto expected = WriteHandAvi(dir.File("big.avi"), avi);
    ASSERT_GT(expected[0].back().offset, uint64_t(UINT32_MAX));
    const auto odml = Parse(dir.File("big.avi"));
    ASSERT_TRUE(odml);
    EXPECT_EQ(odml->indexSource, AviIndexSource::OpenDml);

    avi.openDml = false;
    const auto expectedScan = WriteHandAvi(dir.File("big_scan.avi"), avi);
    const auto scan = Parse(dir.File("big_scan.avi"));
    ASSERT_TRUE(scan);
    EXPECT_EQ(scan->indexSource, AviIndexSource::Scan);
    for (int s = 0; s < 2; ++s) {
        EXPECT_TRUE(SameTable(odml->streams[s].samples, expected[s], true)) << s;
        EXPECT_TRUE(SameTable(scan->streams[s].samples, expectedScan[s], false)) << s;
    }
}

TEST(RiffAviHandMadeTest, ErrorsTellWhatIsWrong) {
    TempDir dir;
    AviParseError error = AviParseError::None;
    EXPECT_FALSE(Parse(dir.File("missing.avi"), &error));
    EXPECT_EQ(error, AviParseError::CannotOpen);
    EXPECT_FALSE(Parse(dir.path(), &error));
    EXPECT_EQ(error, AviParseError::CannotOpen);

    const auto headerOnly = [](const char* riff, const char* form) {
        auto b = RiffWriter::Bytes(riff, 4);
        const auto f = RiffWriter::Bytes(form);
        b.insert(b.end(), f.begin(), f.end());
        return b;
    };
    const std::vector<std::pair<std::vector<uint8_t>, AviParseError>> cases = {
        {{}, AviParseError::NotAvi},
        {{'R', 'I', 'F', 'F'}, AviParseError::NotAvi},
        {headerOnly("RIFF", "WAVE"), AviParseError::NotAvi},
        {headerOnly("RIFF", "AVIX"), AviParseError::NotAvi},
        {headerOnly("RIFX", "AVI "), AviParseError::NotAvi},
        {headerOnly("RIFF", "AVI "), AviParseError::NoHeaderList},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        WriteBytes(dir.File("e.avi"), cases[i].first);
        EXPECT_FALSE(Parse(dir.File("e.avi"), &error)) << i;
        EXPECT_EQ(error, cases[i].second) << i;
    }

    HandAvi avi;
    avi.chunks = MixedChunks();
    WriteHandAvi(dir.File("good.avi"), avi);
    auto bytes = ReadBytes(dir.File("good.avi"));
    auto noAvih = bytes;
    std::memcpy(&noAvih[FindId(bytes, "avih")], "JUNK", 4);
    WriteBytes(dir.File("e.avi"), noAvih);
    EXPECT_FALSE(Parse(dir.File("e.avi"), &error));
    EXPECT_EQ(error, AviParseError::NoHeaderList);

    WriteBytes(dir.File("e.avi"), {bytes.begin(), bytes.begin() + long(FindId(bytes, "strf"))});
    EXPECT_FALSE(Parse(dir.File("e.avi"), &error));
    EXPECT_EQ(error, AviParseError::Damaged);

    EXPECT_TRUE(Parse(dir.File("good.avi"), &error));
    EXPECT_EQ(error, AviParseError::None);
}

// --- Hostile files ---------------------------------------------------------------------------

// Whatever a file claims, the result stays within it.
::testing::AssertionResult Bounded(const std::optional<AviFile>& avi, uint64_t fileSize) {
    if (!avi) {
        return ::testing::AssertionSuccess();
    }
    uint64_t rows = 0;
    for (const AviStream& s : avi->streams) {
        rows += s.samples.size();
        if (s.format.size() > fileSize || s.txts.size() > fileSize || s.name.size() > fileSize) {
            return ::testing::AssertionFailure() << "header bytes beyond the file";
        }
        for (const AviSample& sample : s.samples) {
            if (sample.offset > fileSize || sample.size > fileSize - sample.offset) {
                return ::testing::AssertionFailure() << "sample at " << sample.offset << "+"
                                                     << sample.size << " beyond " << fileSize;
            }
        }
    }
    if (avi->streams.size() > 100 || rows > fileSize / 8 + 1) {
        return ::testing::AssertionFailure() << rows << " rows from " << fileSize << " bytes";
    }
    return ::testing::AssertionSuccess();
}

TEST(RiffAviHostileTest, MutatedFilesParseWithinBounds) {
    TempDir dir;
    HandAvi avi;
    avi.chunks = MixedChunks();
    avi.openDml = true;
    avi.recLists = true;
    avi.secondPartFrom = 6;
    avi.txts = {'t', 0, 'x', 0, 0, 0};
    WriteHandAvi(dir.File("base.avi"), avi);
    const auto base = ReadBytes(dir.File("base.avi"));
    ASSERT_TRUE(Bounded(Parse(dir.File("base.avi")), base.size()));
    // One file rewritten in place: truncating and closing per round makes the file system
    // flush every time.
    const std::string path = dir.File("m.avi");
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    const auto check = [&](const std::vector<uint8_t>& bytes, const std::string& what) {
        ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), 0), ssize_t(bytes.size()));
        ASSERT_EQ(::ftruncate(fd, off_t(bytes.size())), 0);
        ASSERT_TRUE(Bounded(Parse(path), bytes.size())) << what;
    };

    for (size_t n = 0; n < base.size(); ++n) {
        check({base.begin(), base.begin() + long(n)}, "cut at " + std::to_string(n));
    }
    // Huge, odd and zero sizes and counts in every field position.
    for (const uint32_t v : {0xFFFFFFFFu, 0x80000001u, 0x7FFFFFF1u, 0u}) {
        for (size_t at = 0; at + 4 <= base.size(); at += 2) {
            auto bytes = base;
            Put32(bytes, at, v);
            check(bytes, "value " + std::to_string(v) + " at " + std::to_string(at));
        }
    }
    std::mt19937 random(1234);
    for (int i = 0; i < 2000; ++i) {
        auto bytes = base;
        const int flips = 1 + int(random() % 8);
        for (int f = 0; f < flips; ++f) {
            bytes[random() % bytes.size()] ^= uint8_t(1 + random() % 255);
        }
        check(bytes, "flips of round " + std::to_string(i));
    }
    ::close(fd);
}

TEST(RiffAviHostileTest, ChunksThatPointBackOrRepeatDoNotLoop) {
    TempDir dir;
    HandAvi avi;
    avi.chunks = MixedChunks();
    avi.openDml = true;
    avi.idx1 = false;
    WriteHandAvi(dir.File("base.avi"), avi);
    auto bytes = ReadBytes(dir.File("base.avi"));
    // Every super index entry of the video stream names the same "ix00" chunk.
    const size_t indx = FindId(bytes, "indx");
    Put32(bytes, indx + 8 + 4, 4);
    for (int e = 1; e < 4; ++e) {
        std::copy_n(&bytes[indx + 8 + 24], 16, &bytes[indx + 8 + 24 + 16 * e]);
    }
    WriteBytes(dir.File("repeat.avi"), bytes);
    const auto repeat = Parse(dir.File("repeat.avi"));
    ASSERT_TRUE(repeat);
    EXPECT_EQ(repeat->streams[0].samples.size(), 7u);

    // An idx1 claiming billions of entries in a small file.
    avi.openDml = false;
    avi.idx1 = true;
    WriteHandAvi(dir.File("idx1.avi"), avi);
    bytes = ReadBytes(dir.File("idx1.avi"));
    Put32(bytes, FindId(bytes, "idx1") + 4, 0xFFFFFFF0u);
    WriteBytes(dir.File("idx1.avi"), bytes);
    const auto huge = Parse(dir.File("idx1.avi"));
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->indexSource, AviIndexSource::Scan);
    EXPECT_EQ(huge->streams[0].samples.size(), 7u);
}

// Read calls this process has made so far, preads included.
uint64_t ReadCalls() {
    std::ifstream io("/proc/self/io");
    std::string key;
    uint64_t value = 0;
    while (io >> key >> value) {
        if (key == "syscr:") {
            return value;
        }
    }
    return 0;
}

TEST(RiffAviHostileTest, ZerosWhereAChunkShouldStartEndTheWalk) {
    // A recorder that preallocated its file and stopped: streaming sizes, no index, then zeros
    // to the end (a hole here). Walking them 8 bytes a step took hours for 64 GB.
    TempDir dir;
    HandAvi avi;
    avi.chunks = MixedChunks();
    avi.idx1 = false;
    const std::string path = dir.File("zeros.avi");
    const auto expected = WriteHandAvi(path, avi);
    auto bytes = ReadBytes(path);
    Put32(bytes, 4, 0);
    Put32(bytes, FindId(bytes, "movi") - 4, 0xFFFFFFF0u);
    WriteBytes(path, bytes);
    std::filesystem::resize_file(path, 64u << 20);
    uint64_t before = ReadCalls();
    const auto scanned = Parse(path);
    EXPECT_LT(ReadCalls() - before, 1000u);
    ASSERT_TRUE(scanned);
    EXPECT_EQ(scanned->indexSource, AviIndexSource::Scan);
    EXPECT_TRUE(SameTable(scanned->streams[0].samples, expected[0], false));

    // Nothing but the RIFF header before the zeros.
    WriteBytes(path, {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '});
    std::filesystem::resize_file(path, 64u << 20);
    before = ReadCalls();
    AviParseError error = AviParseError::None;
    EXPECT_FALSE(Parse(path, &error));
    EXPECT_EQ(error, AviParseError::NoHeaderList);
    EXPECT_LT(ReadCalls() - before, 1000u);
}

}  // namespace
}  // namespace kivra
