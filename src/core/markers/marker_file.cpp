// The marker file: 16 header int32s, the row count, then one block per row (index, count,
// 20-byte records). Little-endian whatever the host, so files move between machines.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "markers/lff_manager.h"
#include "platform/replace_file.h"
#include "platform/unique_fd.h"

namespace {

constexpr int64_t kRowBlockBytes = 8;
constexpr int64_t kRecordBytes = 20;

void PutU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
}

void PutI32(std::string& out, int32_t v) {
    PutU32(out, std::bit_cast<uint32_t>(v));
}

void PutF64(std::string& out, double v) {
    const uint64_t u = std::bit_cast<uint64_t>(v);
    PutU32(out, static_cast<uint32_t>(u));
    PutU32(out, static_cast<uint32_t>(u >> 32));
}

uint32_t GetU32(const unsigned char* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

int32_t GetI32(const unsigned char* p) {
    return std::bit_cast<int32_t>(GetU32(p));
}

double GetF64(const unsigned char* p) {
    return std::bit_cast<double>(uint64_t{GetU32(p)} | uint64_t{GetU32(p + 4)} << 32);
}

// Exact reads through a buffer, counting what the file (by its size at opening) still holds.
class Reader {
public:
    Reader(int fd, int64_t size) : fd_(fd), remaining_(size) {}

    int64_t Remaining() const { return remaining_; }

    bool Read(unsigned char* dst, size_t n) {
        while (n > 0) {
            if (pos_ == end_ && !Fill()) {
                return false;
            }
            const size_t take = std::min(n, end_ - pos_);
            std::copy_n(buffer_.begin() + static_cast<std::ptrdiff_t>(pos_), take, dst);
            pos_ += take;
            dst += take;
            n -= take;
            remaining_ -= static_cast<int64_t>(take);
        }
        return true;
    }

    bool ReadI32(int32_t& v) {
        unsigned char b[4];
        if (!Read(b, sizeof b)) {
            return false;
        }
        v = GetI32(b);
        return true;
    }

private:
    bool Fill() {
        for (;;) {
            const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            pos_ = 0;
            end_ = static_cast<size_t>(n);
            return true;
        }
    }

    int fd_;
    int64_t remaining_;
    std::vector<unsigned char> buffer_ = std::vector<unsigned char>(65536);
    size_t pos_ = 0;
    size_t end_ = 0;
};

// What a complete, consistent file holds; nothing of it reaches the store unless all of it
// was read.
struct MarkerFileContents {
    std::array<int32_t, CLFFManager::kHeaderInts> header{};
    std::vector<std::vector<T_MARKER>> rows;
    std::vector<int> frames;  // in the order of their first record
};

std::optional<MarkerFileContents> ReadMarkerFile(Reader& in, int baseRows) {
    MarkerFileContents c;
    for (int32_t& v : c.header) {
        if (!in.ReadI32(v)) {
            return std::nullopt;
        }
    }
    int32_t rowCount = 0;
    if (!in.ReadI32(rowCount) || rowCount < 0 || rowCount > in.Remaining() / kRowBlockBytes) {
        return std::nullopt;
    }
    c.rows.resize(static_cast<size_t>(std::max<int32_t>(baseRows, rowCount)));
    std::unordered_set<int> seen;
    for (int32_t block = 0; block < rowCount; ++block) {
        int32_t row = 0;
        int32_t count = 0;
        if (!in.ReadI32(row) || !in.ReadI32(count) || row < 0 ||
            static_cast<size_t>(row) >= c.rows.size() || count < 0 ||
            count > in.Remaining() / kRecordBytes) {
            return std::nullopt;
        }
        std::vector<T_MARKER>& target = c.rows[static_cast<size_t>(row)];
        // Room for the block, at least doubling: reserving just enough for each of many blocks
        // of one row would copy the row once per block. count is bounded by the bytes left.
        const size_t needed = target.size() + static_cast<size_t>(count);
        if (needed > target.capacity()) {
            target.reserve(std::max(needed, 2 * target.capacity()));
        }
        for (int32_t i = 0; i < count; ++i) {
            unsigned char rec[kRecordBytes];
            if (!in.Read(rec, sizeof rec)) {
                return std::nullopt;
            }
            const T_MARKER m{GetI32(rec), GetF64(rec + 4), GetF64(rec + 12)};
            target.push_back(m);
            if (seen.insert(m.frame).second) {
                c.frames.push_back(m.frame);
            }
        }
    }
    // Inserting one by one after every marker of an equal or lower frame is a stable sort of
    // the file's order; sorting once keeps a scrambled file from costing quadratic time.
    const auto byFrame = [](const T_MARKER& a, const T_MARKER& b) { return a.frame < b.frame; };
    for (auto& r : c.rows) {
        if (!std::is_sorted(r.begin(), r.end(), byFrame)) {
            std::stable_sort(r.begin(), r.end(), byFrame);
        }
    }
    return c;
}

}  // namespace

int CLFFManager::LoadMarkers(const std::string& path, int maxId) {
    m_bModified = false;
    m_nLoadState = kLoadFailed;
    m_framesWithMarkers.clear();
    m_frameSet.clear();
    const int baseRows = std::clamp(maxId, 0, kMaxRows);

    struct stat st {};
    if (path.empty() || (::stat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR))) {
        ResetRows(baseRows);
        m_nLoadState = kNoFile;
        return m_nLoadState;
    }
    // Non-blocking, so that a pipe of that name cannot stall the opening of the video.
    const kivra::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    std::optional<MarkerFileContents> contents;
    if (fd.get() >= 0 && ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode)) {
        Reader in(fd.get(), st.st_size);
        contents = ReadMarkerFile(in, baseRows);
    }
    if (!contents) {
        ResetRows(baseRows);
        return m_nLoadState;
    }
    m_header = contents->header;
    m_rows = std::move(contents->rows);
    m_framesWithMarkers = std::move(contents->frames);
    m_frameSet.insert(m_framesWithMarkers.begin(), m_framesWithMarkers.end());
    m_nLoadState = kLoaded;
    return m_nLoadState;
}

bool CLFFManager::SaveMarkers(const std::string& path, int sizeType, int direction,
                              int mosaicType) {
    SetSizeType(sizeType);
    SetDirection(direction);
    SetMosaicType(mosaicType);
    return SaveMarkers(path);
}

bool CLFFManager::SaveMarkers(const std::string& path) {
    size_t size = (kHeaderInts + 1) * 4 + m_rows.size() * kRowBlockBytes;
    for (const auto& r : m_rows) {
        size += r.size() * kRecordBytes;
    }
    std::string bytes;
    bytes.reserve(size);
    for (const int32_t v : m_header) {
        PutI32(bytes, v);
    }
    PutI32(bytes, GetRowCount());
    for (size_t row = 0; row < m_rows.size(); ++row) {
        PutI32(bytes, static_cast<int32_t>(row));
        PutI32(bytes, static_cast<int32_t>(m_rows[row].size()));
        for (const T_MARKER& m : m_rows[row]) {
            PutI32(bytes, m.frame);
            PutF64(bytes, m.x);
            PutF64(bytes, m.y);
        }
    }
    if (!kivra::ReplaceFileContents(path, bytes)) {
        return false;
    }
    m_bModified = false;
    return true;
}
