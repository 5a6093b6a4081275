// The marker file: exact byte layout, round trips, saves that fail without harm, and damaged
// files that load as failed without crashing or inventing markers.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "markers/lff_manager.h"
#include "support/ffmpeg_tool.h"

namespace {

// Bytes allocated through operator new while counting is on: the cost of a load, measured by
// what it allocates rather than by the clock.
std::atomic<bool> g_countAllocations{false};
std::atomic<size_t> g_allocatedBytes{0};

}  // namespace

void* operator new(std::size_t size) {
    if (g_countAllocations.load(std::memory_order_relaxed)) {
        g_allocatedBytes.fetch_add(size, std::memory_order_relaxed);
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
// GCC takes the free() of memory from our own operator new for a mismatch.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
#pragma GCC diagnostic pop

namespace {

using kivra::test::ReadFile;
using kivra::test::TempDir;

// A new file each time: rewriting one in place makes some file systems flush on close.
void WriteBytes(const std::string& path, const std::string& bytes) {
    std::filesystem::remove(path);
    kivra::test::WriteFile(path, bytes);
}

void PutI32(std::string& out, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>(u >> (8 * i)));
    }
}

void PutF64(std::string& out, double v) {
    uint64_t u = 0;
    std::memcpy(&u, &v, sizeof u);
    for (int i = 0; i < 8; ++i) {
        out.push_back(static_cast<char>(u >> (8 * i)));
    }
}

// A file with a zero header and the given row blocks (index, records).
struct Block {
    int32_t row;
    std::vector<T_MARKER> markers;
};
std::string MarkerFile(int32_t rowCount, const std::vector<Block>& blocks) {
    std::string out(64, '\0');
    PutI32(out, rowCount);
    for (const Block& b : blocks) {
        PutI32(out, b.row);
        PutI32(out, static_cast<int32_t>(b.markers.size()));
        for (const T_MARKER& m : b.markers) {
            PutI32(out, m.frame);
            PutF64(out, m.x);
            PutF64(out, m.y);
        }
    }
    return out;
}

size_t TotalMarkers(const CLFFManager& store) {
    size_t n = 0;
    for (int r = 0; r < store.GetRowCount(); ++r) {
        n += store.Row(r).size();
    }
    return n;
}

// The state a failed load must leave: maxId empty rows, nothing modified, no frames.
void ExpectFailedLoad(const CLFFManager& store, int maxId) {
    EXPECT_EQ(store.GetLoadState(), CLFFManager::kLoadFailed);
    EXPECT_EQ(store.GetRowCount(), maxId);
    EXPECT_EQ(TotalMarkers(store), 0u);
    EXPECT_TRUE(store.FramesWithMarkers().empty());
    EXPECT_FALSE(store.IsModified());
}

CLFFManager SampleStore() {
    CLFFManager store;
    store.LoadMarkers("", 100);
    store.SetMode(1);
    store.SetArea1Frame(3);
    store.SetArea1Rect({10, 20, 330, 260});
    store.SetArea2Frame(297);
    store.SetArea2Rect({-5, 7, 95, 82});
    store.SetRangeStart(2);
    store.SetRangeEnd(250);
    store.SetMarker(0, 9, 1.25, -2.5);
    store.SetMarker(0, 4, 100.125, 200.0625);
    store.SetMarker(41, 9, 1e300, 0.1);
    store.SetMarker(99, 0, 3.0, 4.0);
    return store;
}

TEST(MarkerFile, BytesAreLittleEndianInTheDocumentedLayout) {
    TempDir dir;
    CLFFManager store;
    store.LoadMarkers("", 2);
    store.SetMode(1);
    store.SetArea1Rect({1, 2, 3, 4});
    store.SetRangeEnd(-2);
    store.SetMarker(1, 7, 0.5, -1.0);
    ASSERT_TRUE(store.SaveMarkers(dir.File("a.lff"), 2, 1, 3));

    std::string want;
    for (const int32_t v : {1, 2, 1, 3, -1, 1, 2, 3, 4, -1, 0, 0, 0, 0, 0, -2}) {
        PutI32(want, v);
    }
    PutI32(want, 2);
    PutI32(want, 0);
    PutI32(want, 0);
    PutI32(want, 1);
    PutI32(want, 1);
    PutI32(want, 7);
    PutF64(want, 0.5);
    PutF64(want, -1.0);
    EXPECT_EQ(ReadFile(dir.File("a.lff")), want);
}

TEST(MarkerFile, SaveThenLoadGivesBackMarkersInOrderAndEveryHeaderField) {
    TempDir dir;
    const std::string path = dir.File("walk 2020 '$;.lff");
    CLFFManager saved = SampleStore();
    ASSERT_TRUE(saved.SaveMarkers(path, 2, 1, 3));
    EXPECT_FALSE(saved.IsModified());
    // Every row is written, the 97 empty ones too.
    EXPECT_EQ(ReadFile(path).size(), 68u + 100 * 8 + 4 * 20);

    CLFFManager loaded;
    ASSERT_EQ(loaded.LoadMarkers(path, 100), CLFFManager::kLoaded);
    EXPECT_EQ(loaded.Header(), saved.Header());
    EXPECT_EQ(loaded.GetMode(), 1);
    EXPECT_EQ(loaded.GetSizeType(), 2);
    EXPECT_EQ(loaded.GetDirection(), 1);
    EXPECT_EQ(loaded.GetMosaicType(), 3);
    EXPECT_EQ(loaded.GetArea1Frame(), 3);
    EXPECT_EQ(loaded.GetArea1Rect(), (kivra::ViewRect{10, 20, 330, 260}));
    EXPECT_EQ(loaded.GetArea2Frame(), 297);
    EXPECT_EQ(loaded.GetArea2Rect(), (kivra::ViewRect{-5, 7, 95, 82}));
    EXPECT_EQ(loaded.GetRangeStart(), 2);
    EXPECT_EQ(loaded.GetRangeEnd(), 250);
    EXPECT_EQ(loaded.GetRowCount(), 100);
    for (int r = 0; r < 100; ++r) {
        ASSERT_EQ(loaded.Row(r).size(), saved.Row(r).size()) << r;
        for (size_t i = 0; i < saved.Row(r).size(); ++i) {
            EXPECT_EQ(loaded.Row(r)[i].frame, saved.Row(r)[i].frame);
            EXPECT_EQ(loaded.Row(r)[i].x, saved.Row(r)[i].x);
            EXPECT_EQ(loaded.Row(r)[i].y, saved.Row(r)[i].y);
        }
    }
    // Frames listed in the order the file first mentions them.
    EXPECT_EQ(loaded.FramesWithMarkers(), (std::vector<int>{4, 9, 0}));
    EXPECT_FALSE(loaded.IsModified());
}

TEST(MarkerFile, MissingFileGivesMaxIdEmptyRows) {
    TempDir dir;
    CLFFManager store = SampleStore();
    EXPECT_EQ(store.LoadMarkers(dir.File("none.lff"), 7), CLFFManager::kNoFile);
    EXPECT_EQ(store.GetRowCount(), 7);
    EXPECT_FALSE(store.AnyMarkers());
    EXPECT_FALSE(store.IsModified());
    EXPECT_EQ(store.LoadMarkers(dir.File("no-folder/none.lff"), 3), CLFFManager::kNoFile);
}

TEST(MarkerFile, MoreRowsThanMaxIdAreKeptAndRowIndexesMayUseAllCreatedRows) {
    TempDir dir;
    const std::string path = dir.File("wide.lff");
    CLFFManager wide;
    wide.LoadMarkers("", 120);
    wide.SetMarker(119, 5, 1, 2);
    ASSERT_TRUE(wide.SaveMarkers(path, 0, 0, 0));

    CLFFManager store;
    ASSERT_EQ(store.LoadMarkers(path, 100), CLFFManager::kLoaded);
    EXPECT_EQ(store.GetRowCount(), 120);
    EXPECT_EQ(store.FindMarker(119, 5), 0);

    // One row block naming row 50 is fine while MaxID creates 100 rows; row 100 is not.
    WriteBytes(path, MarkerFile(1, {{50, {{1, 2, 3}}}}));
    EXPECT_EQ(store.LoadMarkers(path, 100), CLFFManager::kLoaded);
    EXPECT_EQ(store.FindMarker(50, 1), 0);
    WriteBytes(path, MarkerFile(1, {{100, {{1, 2, 3}}}}));
    EXPECT_EQ(store.LoadMarkers(path, 100), CLFFManager::kLoadFailed);
}

TEST(MarkerFile, RecordsOutOfOrderAndRepeatedRowsLoadSortedWithDuplicatesKept) {
    TempDir dir;
    const std::string path = dir.File("odd.lff");
    WriteBytes(path, MarkerFile(2, {{1, {{9, 1, 0}, {3, 2, 0}}}, {1, {{3, 3, 0}, {5, 4, 0}}}}));
    CLFFManager store;
    ASSERT_EQ(store.LoadMarkers(path, 2), CLFFManager::kLoaded);
    std::vector<double> xs;
    for (const T_MARKER& m : store.Row(1)) {
        xs.push_back(m.x);
    }
    EXPECT_EQ(xs, (std::vector<double>{2, 3, 4, 1}));  // frames 3, 3, 5, 9
    EXPECT_EQ(store.FramesWithMarkers(), (std::vector<int>{9, 3, 5}));
}

// Many one-record blocks of the same row load in time and memory traffic linear in the file:
// growing the row block by block must not copy it once per block.
TEST(MarkerFile, ManyBlocksOfOneRowLoadLinearly) {
    TempDir dir;
    const std::string path = dir.File("blocks.lff");
    const auto blocksFile = [](int32_t blocks) {
        std::vector<Block> list;
        list.reserve(static_cast<size_t>(blocks));
        for (int32_t i = 0; i < blocks; ++i) {
            list.push_back({0, {{i / 2, double(i), -double(i)}}});
        }
        return MarkerFile(blocks, list);
    };

    const std::string small = blocksFile(20000);
    WriteBytes(path, small);
    CLFFManager measured;
    g_allocatedBytes = 0;
    g_countAllocations = true;
    const int state = measured.LoadMarkers(path, 10);
    g_countAllocations = false;
    ASSERT_EQ(state, CLFFManager::kLoaded);
    ASSERT_EQ(measured.Row(0).size(), 20000u);
    ASSERT_LT(g_allocatedBytes.load(), 40 * small.size());

    constexpr int32_t kBlocks = 100000;
    WriteBytes(path, blocksFile(kBlocks));
    CLFFManager store;
    ASSERT_EQ(store.LoadMarkers(path, 10), CLFFManager::kLoaded);
    EXPECT_EQ(store.GetRowCount(), kBlocks);
    const std::vector<T_MARKER>& row = store.Row(0);
    ASSERT_EQ(row.size(), size_t(kBlocks));
    for (int32_t i = 0; i < kBlocks; ++i) {
        const T_MARKER& m = row[size_t(i)];
        ASSERT_TRUE(m.frame == i / 2 && m.x == i && m.y == -i) << i;
    }
    EXPECT_EQ(TotalMarkers(store), size_t(kBlocks));
    const std::vector<int>& frames = store.FramesWithMarkers();
    ASSERT_EQ(frames.size(), size_t(kBlocks / 2));
    EXPECT_EQ(frames.front(), 0);
    EXPECT_EQ(frames.back(), kBlocks / 2 - 1);
}

TEST(MarkerFile, FailedSaveKeepsTheOldFileAndTheModifiedFlag) {
    TempDir dir;
    const std::string path = dir.File("keep.lff");
    CLFFManager store = SampleStore();
    ASSERT_TRUE(store.SaveMarkers(path, 0, 0, 0));
    const std::string before = ReadFile(path);
    store.SetMarker(5, 5, 5, 5);

    // The disk "fills up" half way through the write.
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = store.SaveMarkers(path, 0, 0, 0);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved);
    EXPECT_TRUE(store.IsModified());
    EXPECT_EQ(ReadFile(path), before);

    // A target that is a folder, and a folder that is a file.
    std::filesystem::create_directory(dir.File("folder.lff"));
    EXPECT_FALSE(store.SaveMarkers(dir.File("folder.lff"), 0, 0, 0));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("folder.lff")));
    EXPECT_FALSE(store.SaveMarkers(path + "/x.lff", 0, 0, 0));
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_TRUE(store.IsModified());

    // No temporary file is left behind.
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        names.insert(e.path().filename().string());
    }
    EXPECT_EQ(names, (std::set<std::string>{"keep.lff", "folder.lff"}));
}

TEST(MarkerFile, SaveKeepsPermissionsAndWritesThroughALink) {
    TempDir dir;
    const std::string real = dir.File("real.lff");
    const std::string link = dir.File("link.lff");
    WriteBytes(real, "old");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    CLFFManager store = SampleStore();
    ASSERT_TRUE(store.SaveMarkers(link, 0, 0, 0));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFile(real).size(), 68u + 100 * 8 + 4 * 20);
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(MarkerFile, DamagedFilesLoadAsFailedWithNothingInserted) {
    TempDir dir;
    const std::string path = dir.File("bad.lff");
    const std::string good = MarkerFile(2, {{0, {{1, 1, 1}}}, {1, {{2, 2, 2}, {3, 3, 3}}}});
    const std::vector<std::string> bad = {
        good.substr(0, 40),                    // inside the header
        good.substr(0, good.size() - 1),       // inside the last record
        MarkerFile(-1, {}),                    // negative row count
        MarkerFile(0x7fffffff, {}),            // rows the file cannot hold
        MarkerFile(3, {{0, {}}, {1, {}}}),     // one row block missing
        MarkerFile(1, {{-1, {{1, 1, 1}}}}),    // row index below the rows
        MarkerFile(1, {{5000, {{1, 1, 1}}}}),  // row index past the rows
        good.substr(0, 68) + std::string("\0\0\0\0\xff\xff\xff\xff", 8),  // negative count
        good.substr(0, 68) + std::string("\0\0\0\0\xff\xff\xff\x7f", 8),  // huge count
    };
    for (size_t i = 0; i < bad.size(); ++i) {
        CLFFManager store = SampleStore();
        WriteBytes(path, bad[i]);
        store.LoadMarkers(path, 4);
        SCOPED_TRACE(i);
        ExpectFailedLoad(store, 4);
        EXPECT_EQ(store.GetArea1Frame(), 3);  // the header is not taken from a bad file
    }

    CLFFManager store;
    std::filesystem::create_directory(dir.File("dir.lff"));
    store.LoadMarkers(dir.File("dir.lff"), 4);
    ExpectFailedLoad(store, 4);
    ASSERT_EQ(::mkfifo(dir.File("pipe.lff").c_str(), 0600), 0);
    store.LoadMarkers(dir.File("pipe.lff"), 4);  // must not wait for a writer
    ExpectFailedLoad(store, 4);
}

// Every truncation, thousands of random byte changes and forged counts: each load ends as
// failed or with a consistent store no bigger than the file can describe.
TEST(MarkerFile, MutatedFilesNeverCrashOrGrowBeyondTheFile) {
    TempDir dir;
    const std::string path = dir.File("fuzz.lff");
    CLFFManager source;
    source.LoadMarkers("", 6);
    for (int f = 0; f < 12; ++f) {
        source.SetMarker(f % 6, f * 3, f * 1.5, -f * 2.25);
        source.SetMarker(2, f, f, f);
    }
    ASSERT_TRUE(source.SaveMarkers(path, 1, 1, 1));
    const std::string valid = ReadFile(path);
    constexpr int kMaxId = 4;

    auto check = [&](const std::string& bytes) {
        WriteBytes(path, bytes);
        CLFFManager store;
        const int state = store.LoadMarkers(path, kMaxId);
        if (state == CLFFManager::kLoadFailed) {
            ExpectFailedLoad(store, kMaxId);
            return;
        }
        ASSERT_EQ(state, CLFFManager::kLoaded);
        ASSERT_LE(TotalMarkers(store), bytes.size() / 20);
        ASSERT_LE(store.GetRowCount(), std::max<size_t>(kMaxId, bytes.size() / 8));
        std::set<int> frames;
        for (int r = 0; r < store.GetRowCount(); ++r) {
            for (const T_MARKER& m : store.Row(r)) {
                frames.insert(m.frame);
            }
        }
        const auto& listed = store.FramesWithMarkers();
        ASSERT_EQ(std::set<int>(listed.begin(), listed.end()), frames);
        ASSERT_EQ(listed.size(), frames.size());
    };

    for (size_t len = 0; len < valid.size(); ++len) {
        check(valid.substr(0, len));
        ASSERT_EQ(ReadFile(path).size(), len);
    }
    std::mt19937 rng(20240611);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = valid;
        const int flips = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < flips; ++i) {
            bytes[rng() % bytes.size()] = static_cast<char>(rng());
        }
        check(bytes);
    }
    // Row count and the first row's index and count forged to extreme values.
    for (const size_t at : {size_t{64}, size_t{68}, size_t{72}}) {
        for (const int32_t v : {-1, INT32_MIN, INT32_MAX, 1 << 20, 7, 100000}) {
            std::string bytes = valid;
            std::string word;
            PutI32(word, v);
            bytes.replace(at, 4, word);
            check(bytes);
        }
    }
}

}  // namespace
