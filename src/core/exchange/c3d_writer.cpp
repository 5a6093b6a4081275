#include "exchange/c3d_writer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "platform/replace_file.h"

namespace kivra {
namespace {

static_assert(std::endian::native == std::endian::little, "the file is written as Intel order");

constexpr std::size_t kBlock = 512;
constexpr int kParameterBlock = 2;
constexpr std::uint8_t kIntel = 84;
constexpr int kMaxFrame = 65535;
constexpr int kMaxArray = 255;

void PutU8(std::string& out, int v) {
    out.push_back(char(std::uint8_t(v)));
}
void PutI16(std::string& out, int v) {
    const auto u = std::uint16_t(v);
    out.push_back(char(u & 0xff));
    out.push_back(char(u >> 8));
}
void PutF32(std::string& out, double v) {
    const auto u = std::bit_cast<std::uint32_t>(float(v));
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(char((u >> shift) & 0xff));
    }
}
void PadToBlock(std::string& out) {
    out.resize((out.size() + kBlock - 1) / kBlock * kBlock, '\0');
}

// The parameter section, built record by record; each record's offset word points to the
// next, the last one's is 0.
class Parameters {
public:
    void Group(int id, const std::string& name) {
        Start(-id, name);
        Finish("");
    }
    void Int(int group, const std::string& name, int v) {
        Start(group, name);
        PutU8(out_, 2);
        PutU8(out_, 0);
        PutI16(out_, v);
        Finish("");
    }
    void Float(int group, const std::string& name, double v) { Floats(group, name, {v}, {}); }
    // Values in the order of dims, the first changing fastest.
    void Floats(int group, const std::string& name, const std::vector<double>& values,
                const std::vector<int>& dims) {
        Start(group, name);
        PutU8(out_, 4);
        PutU8(out_, int(dims.size()));
        for (const int d : dims) {
            PutU8(out_, d);
        }
        for (const double v : values) {
            PutF32(out_, v);
        }
        Finish("");
    }
    void Text(int group, const std::string& name, const std::string& value) {
        Start(group, name);
        PutU8(out_, -1);
        PutU8(out_, 1);
        PutU8(out_, int(value.size()));
        out_ += value;
        Finish("");
    }
    // A column of texts padded with blanks to the longest (at least 1 wide).
    void Texts(int group, const std::string& name, const std::vector<std::string>& values) {
        std::size_t width = 1;
        for (const std::string& v : values) {
            width = std::max(width, v.size());
        }
        Start(group, name);
        PutU8(out_, -1);
        PutU8(out_, 2);
        PutU8(out_, int(width));
        PutU8(out_, int(values.size()));
        for (const std::string& v : values) {
            out_ += v + std::string(width - v.size(), ' ');
        }
        Finish("");
    }
    // The section: its 4-byte header and the records, padded to whole blocks.
    std::string Section() const {
        std::string section;
        PutU8(section, 1);
        PutU8(section, 0x50);
        PutU8(section, int(Blocks()));
        PutU8(section, kIntel);
        section += out_;
        if (last_ != std::string::npos) {
            section[4 + last_] = section[4 + last_ + 1] = '\0';
        }
        PadToBlock(section);
        return section;
    }
    std::size_t Blocks() const { return (4 + out_.size() + kBlock - 1) / kBlock; }

private:
    void Start(int id, const std::string& name) {
        PutU8(out_, int(name.size()));
        PutU8(out_, id);
        out_ += name;
        last_ = out_.size();
        PutI16(out_, 0);  // set by Finish
    }
    void Finish(const std::string& description) {
        PutU8(out_, int(description.size()));
        out_ += description;
        const std::size_t next = out_.size() - last_;
        out_[last_] = char(next & 0xff);
        out_[last_ + 1] = char(next >> 8);
    }

    std::string out_;
    std::size_t last_ = std::string::npos;  // the offset word of the record written last
};

constexpr int kPoint = 1, kAnalog = 2, kEvent = 3;

// The section for a data start block; the start is written into it, so the two are built twice
// when the section's own size moves the start.
Parameters ParametersOf(const PointTable& table, const std::vector<C3dEvent>& events,
                        int dataStart) {
    Parameters p;
    p.Group(kPoint, "POINT");
    p.Int(kPoint, "USED", int(table.labels.size()));
    p.Int(kPoint, "FRAMES", int(table.rows.size()));
    p.Int(kPoint, "DATA_START", dataStart);
    p.Float(kPoint, "SCALE", -1.0);
    p.Float(kPoint, "RATE", table.rate);
    p.Texts(kPoint, "LABELS", table.labels);
    p.Texts(kPoint, "DESCRIPTIONS", std::vector<std::string>(table.labels.size()));
    p.Text(kPoint, "UNITS", table.millimetres ? "mm" : "pixel");
    p.Group(kAnalog, "ANALOG");
    p.Int(kAnalog, "USED", 0);
    p.Float(kAnalog, "RATE", 0.0);
    p.Group(kEvent, "EVENT");
    p.Int(kEvent, "USED", int(events.size()));
    if (!events.empty()) {
        std::vector<std::string> contexts, labels;
        std::vector<double> times;
        for (const C3dEvent& e : events) {
            contexts.push_back(e.context);
            labels.push_back(e.label);
            const double minutes = std::floor(e.seconds / 60.0);
            times.insert(times.end(), {minutes, e.seconds - minutes * 60.0});
        }
        p.Texts(kEvent, "CONTEXTS", contexts);
        p.Texts(kEvent, "LABELS", labels);
        p.Floats(kEvent, "TIMES", times, {2, int(events.size())});
    }
    return p;
}

}  // namespace

std::vector<C3dEvent> C3dEventsOf(const std::vector<GaitEvent>& events, double fps) {
    std::vector<C3dEvent> out;
    for (const GaitEvent& e : events) {
        out.push_back({e.side == FootSide::kRight ? "Right" : "Left",
                       e.kind == GaitEventKind::kHeelStrike ? "Foot Strike" : "Foot Off",
                       fps > 0.0 ? e.moment / fps : 0.0});
    }
    return out;
}

std::optional<std::string> FormatC3d(const PointTable& table, const std::vector<C3dEvent>& events,
                                     C3dLimit* limit) {
    C3dLimit found = C3dLimit::kNone;
    if (!(std::isfinite(table.rate) && table.rate > 0.0)) {
        found = C3dLimit::kNoRate;
    } else if (table.LastFrame() + 1 > kMaxFrame || table.firstFrame < 0) {
        found = C3dLimit::kTooManyFrames;
    } else if (table.labels.size() > std::size_t(kMaxArray)) {
        found = C3dLimit::kTooManyPoints;
    } else if (events.size() > std::size_t(kMaxArray)) {
        found = C3dLimit::kTooManyEvents;
    }
    if (limit != nullptr) {
        *limit = found;
    }
    if (found != C3dLimit::kNone) {
        return std::nullopt;
    }
    int dataStart = kParameterBlock + 1;
    Parameters parameters = ParametersOf(table, events, dataStart);
    dataStart = kParameterBlock + int(parameters.Blocks());
    parameters = ParametersOf(table, events, dataStart);

    std::string out;
    PutU8(out, kParameterBlock);
    PutU8(out, 0x50);
    PutI16(out, int(table.labels.size()));
    PutI16(out, 0);  // analog measurements per frame
    // An empty range still names a frame, as the format has no file without one.
    PutI16(out, table.firstFrame + 1);
    PutI16(out, std::max(table.firstFrame + 1, table.LastFrame() + 1));
    PutI16(out, 0);  // no gaps are filled
    PutF32(out, -1.0);
    PutI16(out, dataStart);
    PutI16(out, 0);  // analog samples per frame
    PutF32(out, table.rate);
    PadToBlock(out);
    out += parameters.Section();
    for (const auto& row : table.rows) {
        for (const std::optional<ExportedPoint>& point : row) {
            const ExportedPoint p = point.value_or(ExportedPoint{});
            PutF32(out, p.x);
            PutF32(out, p.y);
            PutF32(out, p.z);
            PutF32(out, point ? 0.0 : -1.0);
        }
    }
    PadToBlock(out);
    return out;
}

bool WriteC3d(const std::string& path, const PointTable& table, const std::vector<C3dEvent>& events,
              C3dLimit* limit) {
    const std::optional<std::string> bytes = FormatC3d(table, events, limit);
    return bytes && ReplaceFileContents(path, *bytes);
}

}  // namespace kivra
