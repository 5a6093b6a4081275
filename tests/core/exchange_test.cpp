// The TRC and C3D files of the markers: the C3D read back by a reader of the format's own
// written here (header, parameter groups by name, points, events), a hand-checked tiny file at
// its byte offsets, the TRC's lines, the format's limits and failed writes.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <bit>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "exchange/c3d_writer.h"
#include "exchange/trc_writer.h"
#include "markers/lff_manager.h"
#include "support/ffmpeg_tool.h"

namespace {

using kivra::C3dEvent;
using kivra::C3dLimit;
using kivra::ExportedPoint;
using kivra::PointTable;
using kivra::test::ReadFile;
using kivra::test::TempDir;

int U8(const std::string& b, std::size_t at) {
    return std::uint8_t(b.at(at));
}
int I8(const std::string& b, std::size_t at) {
    return std::int8_t(b.at(at));
}
int U16(const std::string& b, std::size_t at) {
    return U8(b, at) | U8(b, at + 1) << 8;
}
float F32(const std::string& b, std::size_t at) {
    std::uint32_t u = 0;
    for (int i = 3; i >= 0; --i) {
        u = u << 8 | std::uint32_t(U8(b, at + i));
    }
    return std::bit_cast<float>(u);
}

// A C3D file as a reader sees it, Intel order and floating-point points only.
struct C3dRead {
    struct Parameter {
        int type = 0;
        std::vector<int> dims;
        std::string data;
        std::vector<std::string> Texts() const {  // a char array's columns, blanks cut
            const std::size_t width = dims.empty() ? data.size() : std::size_t(dims[0]);
            std::vector<std::string> out;
            for (std::size_t at = 0; width > 0 && at + width <= data.size(); at += width) {
                std::string s = data.substr(at, width);
                s.erase(s.find_last_not_of(' ') + 1);
                out.push_back(s);
            }
            return out;
        }
        int Int() const { return std::int16_t(U16(data, 0)); }
        float Float(std::size_t i = 0) const { return F32(data, 4 * i); }
    };
    int points = 0, first = 0, last = 0, dataStart = 0;
    float scale = 0.0f, rate = 0.0f;
    std::map<std::string, Parameter> parameters;  // "GROUP:NAME"
    // [frame][point]: X, Y, Z, residual.
    std::vector<std::vector<std::array<float, 4>>> frames;
};

C3dRead ReadC3d(const std::string& b) {
    C3dRead r;
    EXPECT_EQ(U8(b, 1), 0x50);
    r.points = U16(b, 2);
    r.first = U16(b, 6);
    r.last = U16(b, 8);
    r.scale = F32(b, 12);
    r.dataStart = U16(b, 16);
    r.rate = F32(b, 20);
    const std::size_t section = (U8(b, 0) - 1) * 512;
    EXPECT_EQ(U8(b, section + 3), 84);
    std::map<int, std::string> groups;
    std::vector<std::pair<int, std::pair<std::string, C3dRead::Parameter>>> pending;
    for (std::size_t at = section + 4;;) {
        const int length = std::abs(I8(b, at));
        const int id = I8(b, at + 1);
        if (length == 0) {
            break;
        }
        const std::string name = b.substr(at + 2, length);
        const std::size_t offsetAt = at + 2 + length;
        const int next = U16(b, offsetAt);
        if (id < 0) {
            groups[-id] = name;
        } else {
            C3dRead::Parameter p;
            p.type = I8(b, offsetAt + 2);
            const int dimensions = U8(b, offsetAt + 3);
            std::size_t count = 1;
            for (int d = 0; d < dimensions; ++d) {
                p.dims.push_back(U8(b, offsetAt + 4 + d));
                count *= p.dims.back();
            }
            p.data = b.substr(offsetAt + 4 + dimensions, count * std::abs(p.type));
            pending.push_back({id, {name, p}});
        }
        if (next == 0) {
            break;
        }
        at = offsetAt + next;
    }
    for (const auto& [id, named] : pending) {
        r.parameters[groups[id] + ":" + named.first] = named.second;
    }
    std::size_t at = (r.dataStart - 1) * 512;
    for (int f = r.first; f <= r.last && r.points > 0; ++f) {
        auto& frame = r.frames.emplace_back();
        for (int p = 0; p < r.points; ++p, at += 16) {
            frame.push_back({F32(b, at), F32(b, at + 4), F32(b, at + 8), F32(b, at + 12)});
        }
    }
    return r;
}

PointTable Table(int first, int rows, int points, bool mm) {
    PointTable t;
    t.firstFrame = first;
    t.rate = 50.0;
    t.millimetres = mm;
    for (int p = 0; p < points; ++p) {
        t.ids.push_back(p + 1);
        t.labels.push_back("M" + std::to_string(p + 1));
    }
    for (int r = 0; r < rows; ++r) {
        auto& row = t.rows.emplace_back(points);
        for (int p = 0; p < points; ++p) {
            if ((r + p) % 3 != 2) {  // a gap in every marker
                row[p] = ExportedPoint{10.0 * r + p, 100.5 - r, 0.0};
            }
        }
    }
    return t;
}

TEST(C3dWriter, TinyFileHasTheFormatsBytesAtTheirOffsets) {
    PointTable t = Table(4, 2, 1, true);  // one point on video frames 4 and 5
    t.rows[1][0].reset();
    const std::optional<std::string> b = kivra::FormatC3d(t, {});
    ASSERT_TRUE(b);
    ASSERT_EQ(b->size(), 3u * 512);  // header, one parameter block, one data block
    const std::pair<std::size_t, int> words[] = {{0, 0x5002}, {2, 1},  {4, 0},  {6, 5},
                                                 {8, 6},      {10, 0}, {16, 3}, {18, 0}};
    for (const auto& [at, value] : words) {
        EXPECT_EQ(U16(*b, at), value) << "header byte " << at;
    }
    EXPECT_EQ(F32(*b, 12), -1.0f);
    EXPECT_EQ(F32(*b, 20), 50.0f);
    EXPECT_EQ(b->substr(512, 11), std::string("\x01\x50\x01\x54\x05\xff"
                                              "POINT",
                                              11));
    const float data[] = {0.0f, 100.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, -1.0f};
    for (std::size_t i = 0; i < std::size(data); ++i) {
        EXPECT_EQ(F32(*b, 2 * 512 + 4 * i), data[i]) << "data word " << i;
    }
}

TEST(C3dWriter, ReadsBackPointsLabelsUnitsAndEvents) {
    const std::vector<C3dEvent> events = {{"Right", "Foot Strike", 1.25},
                                          {"Left", "Foot Off", 61.5}};
    struct Case {
        int first, rows, points;
        bool mm;
        std::vector<C3dEvent> events;
        const char* units;
    };
    // 140 points make labels and descriptions span a second parameter block.
    for (const Case& c : {Case{0, 5, 3, false, {}, "pixel"}, Case{99, 7, 2, true, events, "mm"},
                          Case{10, 3, 140, true, events, "mm"}}) {
        SCOPED_TRACE(c.points);
        const PointTable t = Table(c.first, c.rows, c.points, c.mm);
        TempDir dir("kivra-c3d 歩行 $;");
        const std::string path = dir.File("-trial 'one'.c3d");
        ASSERT_TRUE(kivra::WriteC3d(path, t, c.events));
        const C3dRead r = ReadC3d(ReadFile(path));
        EXPECT_EQ(r.points, c.points);
        EXPECT_EQ(r.first, c.first + 1);
        EXPECT_EQ(r.last, c.first + c.rows);
        EXPECT_EQ(r.rate, 50.0f);
        EXPECT_LT(r.scale, 0.0f);
        const auto& p = r.parameters;
        EXPECT_EQ(p.at("POINT:USED").Int(), c.points);
        EXPECT_EQ(p.at("POINT:FRAMES").Int(), c.rows);
        EXPECT_EQ(p.at("POINT:DATA_START").Int(), r.dataStart);
        EXPECT_EQ(p.at("POINT:SCALE").Float(), -1.0f);
        EXPECT_EQ(p.at("POINT:RATE").Float(), 50.0f);
        EXPECT_EQ(p.at("POINT:LABELS").Texts(), t.labels);
        EXPECT_EQ(p.at("POINT:DESCRIPTIONS").Texts().size(), std::size_t(c.points));
        EXPECT_EQ(p.at("POINT:UNITS").Texts(), std::vector<std::string>{c.units});
        EXPECT_EQ(p.at("ANALOG:USED").Int(), 0);
        EXPECT_TRUE(p.contains("ANALOG:RATE"));
        ASSERT_EQ(p.at("EVENT:USED").Int(), int(c.events.size()));
        for (std::size_t e = 0; e < c.events.size(); ++e) {
            EXPECT_EQ(p.at("EVENT:CONTEXTS").Texts().at(e), c.events[e].context);
            EXPECT_EQ(p.at("EVENT:LABELS").Texts().at(e), c.events[e].label);
            const auto& times = p.at("EVENT:TIMES");
            EXPECT_EQ(times.dims, (std::vector<int>{2, int(c.events.size())}));
            EXPECT_FLOAT_EQ(times.Float(2 * e) * 60 + times.Float(2 * e + 1),
                            float(c.events[e].seconds));
        }
        ASSERT_EQ(r.frames.size(), std::size_t(c.rows));
        for (int f = 0; f < c.rows; ++f) {
            for (int q = 0; q < c.points; ++q) {
                const auto& got = r.frames[f][q];
                const auto& want = t.rows[f][q];
                EXPECT_EQ(got[3], want ? 0.0f : -1.0f) << f << " " << q;
                if (want) {
                    EXPECT_EQ(got[0], float(want->x));
                    EXPECT_EQ(got[1], float(want->y));
                    EXPECT_EQ(got[2], 0.0f);
                }
            }
        }
    }
}

// The plane from the store: Y turned up from the picture's bottom (or the calibration's
// origin), only IDs with a marker in the range, empty fields for a marker off a frame.
TEST(TrcWriter, WritesTheHeaderAndOneRowPerFrameOfTheRange) {
    CLFFManager store;
    store.LoadMarkers("", 5);
    store.SetMarker(0, 10, 4.0, 90.0);
    store.SetMarker(0, 12, 5.0, 80.0);
    store.SetMarker(2, 11, 6.5, 0.0);
    store.SetMarker(3, 40, 1.0, 1.0);  // outside the range: no column
    const auto pixels = kivra::PointTableOf(store, 10, 12, 25.0, 100, std::nullopt);
    ASSERT_TRUE(pixels);
    EXPECT_EQ(kivra::FormatTrc(*pixels, "walk 1.trc"),
              "PathFileType\t4\t(X/Y/Z)\twalk 1.trc\n"
              "DataRate\tCameraRate\tNumFrames\tNumMarkers\tUnits\tOrigDataRate\t"
              "OrigDataStartFrame\tOrigNumFrames\n"
              "25.000000\t25.000000\t3\t2\tpx\t25.000000\t11\t3\n"
              "Frame#\tTime\tM1\t\t\tM3\t\t\n"
              "\t\tX1\tY1\tZ1\tX2\tY2\tZ2\n"
              "1\t0.400000\t4.0000\t10.0000\t0.0000\t\t\t\n"
              "2\t0.440000\t\t\t\t6.5000\t100.0000\t0.0000\n"
              "3\t0.480000\t5.0000\t20.0000\t0.0000\t\t\t\n");
    kivra::Calibration calibration{2.0, kivra::ImagePoint{4.0, 90.0}, {}};
    const auto mm = kivra::PointTableOf(store, 10, 12, 25.0, 100, calibration);
    const std::string text = kivra::FormatTrc(*mm, "x");
    EXPECT_NE(text.find("\t3\t2\tmm\t"), std::string::npos);
    EXPECT_NE(text.find("\n3\t0.480000\t2.0000\t20.0000\t0.0000\t\t\t\n"), std::string::npos);
}

// What C3D cannot hold is refused, and neither writer harms the old file when the disk fills.
TEST(ExchangeWriters, RefusalsAndFailedWritesKeepTheOldFile) {
    TempDir dir;
    const std::string trc = dir.File("keep.trc"), c3d = dir.File("keep.c3d");
    const PointTable small = Table(0, 2, 1, true);
    ASSERT_TRUE(kivra::WriteTrc(trc, small));
    ASSERT_TRUE(kivra::WriteC3d(c3d, small, {}));
    const std::string oldTrc = ReadFile(trc), oldC3d = ReadFile(c3d);

    PointTable noRate = small;
    noRate.rate = 0.0;
    const std::pair<PointTable, C3dLimit> refused[] = {
        {Table(0, 1, 256, true), C3dLimit::kTooManyPoints},
        {Table(65530, 6, 1, true), C3dLimit::kTooManyFrames},
        {noRate, C3dLimit::kNoRate}};
    for (const auto& [table, why] : refused) {
        C3dLimit limit = C3dLimit::kNone;
        EXPECT_FALSE(kivra::WriteC3d(c3d, table, {}, &limit));
        EXPECT_EQ(limit, why);
    }
    C3dLimit limit = C3dLimit::kNone;
    EXPECT_FALSE(kivra::WriteC3d(c3d, small, std::vector<C3dEvent>(256), &limit));
    EXPECT_EQ(limit, C3dLimit::kTooManyEvents);
    EXPECT_TRUE(kivra::WriteC3d(dir.File("last.c3d"), Table(65529, 6, 1, true), {}));

    // The disk "fills up" half way through each write.
    const PointTable large = Table(0, 200, 20, true);
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit tight = old;
    tight.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    const bool trcWritten = kivra::WriteTrc(trc, large);
    const bool c3dWritten = kivra::WriteC3d(c3d, large, {});
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(trcWritten);
    EXPECT_FALSE(c3dWritten);
    EXPECT_EQ(ReadFile(trc), oldTrc);
    EXPECT_EQ(ReadFile(c3d), oldC3d);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"keep.c3d", "keep.trc", "last.c3d"}));
}

}  // namespace
