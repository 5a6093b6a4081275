#include "kinematics/kinematics_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <new>
#include <set>

#include "kinematics/butterworth.h"
#include "markers/csv_export.h"
#include "markers/lff_manager.h"
#include "platform/number_text.h"
#include "platform/replace_file.h"
#include "platform/translation.h"

namespace kivra {
namespace {

// "M%02d".
std::string MarkerName(int id) {
    return (id >= 0 && id < 10 ? "M0" : "M") + std::to_string(id);
}

// One marker's points on the table's rows, in image pixels.
struct Track {
    std::vector<std::optional<Point2D>> points;
};

// Filters every unbroken run of frames (consecutive frame numbers) of a track on its own.
void FilterTrack(Track& track, const std::vector<int>& frames, const ZeroLagLowPass& filter) {
    std::size_t i = 0;
    const std::size_t n = frames.size();
    while (i < n) {
        if (!track.points[i]) {
            ++i;
            continue;
        }
        std::size_t end = i + 1;
        while (end < n && track.points[end] && frames[end] == frames[end - 1] + 1) {
            ++end;
        }
        std::vector<double> xs, ys;
        for (std::size_t k = i; k < end; ++k) {
            xs.push_back(track.points[k]->x);
            ys.push_back(track.points[k]->y);
        }
        const std::vector<double> fx = filter.Run(xs);
        const std::vector<double> fy = filter.Run(ys);
        for (std::size_t k = i; k < end; ++k) {
            track.points[k] = Point2D{fx[k - i], fy[k - i]};
        }
        i = end;
    }
}

// The sign of the joints' markers' summed progression along x from their first to their last
// point; +1 when they do not move (either convention reads alike then).
int WalkingDirection(const std::map<int, Track>& tracks, const std::vector<ClinicalAngle>& joints) {
    std::set<int> ids;
    for (const ClinicalAngle& c : joints) {
        ids.insert({c.proximal, c.middle, c.distal});
    }
    double progression = 0.0;
    for (const int id : ids) {
        const auto it = tracks.find(id);
        if (it == tracks.end()) {
            continue;
        }
        const auto& points = it->second.points;
        const auto first =
            std::find_if(points.begin(), points.end(), [](const auto& p) { return p.has_value(); });
        const auto last = std::find_if(points.rbegin(), points.rend(),
                                       [](const auto& p) { return p.has_value(); });
        if (first != points.end()) {
            progression += (*last)->x - (*first)->x;
        }
    }
    return progression < 0.0 ? -1 : 1;
}

}  // namespace

std::optional<double> KinematicsTable::TimeOf(std::size_t row) const {
    if (row >= frames.size() || !std::isfinite(fps) || fps <= 0.0) {
        return std::nullopt;
    }
    return frames[row] / fps;
}

namespace {

KinematicsResult Build(const CLFFManager& store, int firstFrame, int lastFrame, double fps,
                       const KinematicsOptions& options) {
    KinematicsResult result;
    const bool haveRate = std::isfinite(fps) && fps > 0.0;
    std::optional<ZeroLagLowPass> filter;
    if (options.filterHz != 0.0) {
        if (!haveRate) {
            result.failure = KinematicsResult::kNoFrameRate;
            result.error = translate("KinematicsMessages",
                                     "動画にフレームレートがないため、フィルタをかけられません");
            return result;
        }
        filter = ZeroLagLowPass::Make(options.filterHz, fps);
        if (!filter) {
            result.failure = KinematicsResult::kCutoffOutOfRange;
            result.error = CutoffProblem(options.filterHz, fps);
            return result;
        }
    }
    if (options.calibration && !(std::isfinite(options.calibration->mmPerPixel) &&
                                 options.calibration->mmPerPixel > 0.0)) {
        result.failure = KinematicsResult::kBadScale;
        result.error =
            translate("KinematicsMessages", "キャリブレーションに使える縮尺がありません");
        return result;
    }

    KinematicsTable table;
    table.fps = fps;
    table.millimetres = options.calibration.has_value();
    std::vector<int> ids;
    for (int row = 0; row < store.GetRowCount(); ++row) {
        bool used = false;
        for (const T_MARKER& m : store.Row(row)) {
            if (m.frame >= firstFrame && m.frame <= lastFrame) {
                table.frames.push_back(m.frame);
                used = true;
            }
        }
        if (used) {
            ids.push_back(row + 1);
        }
    }
    std::sort(table.frames.begin(), table.frames.end());
    table.frames.erase(std::unique(table.frames.begin(), table.frames.end()), table.frames.end());
    const std::size_t rows = table.frames.size();
    const long long columns = 3LL * static_cast<long long>(ids.size()) +
                              static_cast<long long>(options.angles.size()) +
                              static_cast<long long>(options.joints.size());
    if (rows > 0 && columns > kMaxTableCells / static_cast<long long>(rows)) {
        result.failure = KinematicsResult::kTooLarge;
        result.error = TableTooLargeText(static_cast<long long>(rows), columns);
        return result;
    }
    std::map<int, std::size_t> rowOfFrame;
    for (std::size_t r = 0; r < rows; ++r) {
        rowOfFrame[table.frames[r]] = r;
    }

    // Image-pixel tracks, filtered there: the mapping to the output below is linear.
    std::map<int, Track> tracks;
    for (const int id : ids) {
        Track& t = tracks[id];
        t.points.assign(rows, std::nullopt);
        for (const T_MARKER& m : store.Row(id - 1)) {
            const auto it = rowOfFrame.find(m.frame);
            // The first marker of a frame counts, as drawing and export take it.
            if (it != rowOfFrame.end() && !t.points[it->second]) {
                t.points[it->second] = Point2D{m.x, m.y};
            }
        }
        if (filter) {
            FilterTrack(t, table.frames, *filter);
        }
    }

    const double scale = options.calibration ? options.calibration->mmPerPixel : 1.0;
    const ImagePoint origin = options.calibration && options.calibration->origin
                                  ? *options.calibration->origin
                                  : ImagePoint{0.0, double(options.imageHeight)};
    const auto toOutput = [&](const Point2D& p) {
        return Point2D{(p.x - origin.x) * scale, (origin.y - p.y) * scale};
    };

    for (const int id : ids) {
        const Track& t = tracks[id];
        MarkerKinematics mk;
        mk.id = id;
        mk.x.assign(rows, std::nullopt);
        mk.y.assign(rows, std::nullopt);
        mk.speed.assign(rows, std::nullopt);
        for (std::size_t r = 0; r < rows; ++r) {
            if (!t.points[r]) {
                continue;
            }
            const Point2D p = toOutput(*t.points[r]);
            mk.x[r] = p.x;
            mk.y[r] = p.y;
            if (!haveRate || r == 0 || r + 1 >= rows || !t.points[r - 1] || !t.points[r + 1] ||
                table.frames[r - 1] != table.frames[r] - 1 ||
                table.frames[r + 1] != table.frames[r] + 1) {
                continue;
            }
            const Point2D before = toOutput(*t.points[r - 1]);
            const Point2D after = toOutput(*t.points[r + 1]);
            const double seconds = (table.frames[r + 1] - table.frames[r - 1]) / fps;
            mk.speed[r] = std::hypot(after.x - before.x, after.y - before.y) / seconds;
        }
        table.markers.push_back(std::move(mk));
    }

    for (const NamedAngle& a : options.angles) {
        AngleKinematics ak;
        ak.name = a.name;
        ak.degrees.assign(rows, std::nullopt);
        const auto pa = tracks.find(a.proximal);
        const auto pj = tracks.find(a.joint);
        const auto pd = tracks.find(a.distal);
        if (pa != tracks.end() && pj != tracks.end() && pd != tracks.end()) {
            for (std::size_t r = 0; r < rows; ++r) {
                const auto& p = pa->second.points[r];
                const auto& j = pj->second.points[r];
                const auto& d = pd->second.points[r];
                if (p && j && d) {
                    // The same in image pixels as in millimetres: the scale is one number.
                    ak.degrees[r] = JointAngleDegrees(toOutput(*p), toOutput(*j), toOutput(*d));
                }
            }
        }
        table.angles.push_back(std::move(ak));
    }

    table.walkingDirection = WalkingDirection(tracks, options.joints);
    for (const ClinicalAngle& c : options.joints) {
        AngleKinematics ak;
        ak.name = ClinicalAngleName(c);
        ak.degrees.assign(rows, std::nullopt);
        const auto pa = c.proximal > 0 ? tracks.find(c.proximal) : tracks.end();
        const auto pm = tracks.find(c.middle);
        const auto pd = tracks.find(c.distal);
        const bool vertical = c.joint == ClinicalJoint::kHip && c.proximal == 0;
        if ((vertical || pa != tracks.end()) && pm != tracks.end() && pd != tracks.end()) {
            for (std::size_t r = 0; r < rows; ++r) {
                const auto& m = pm->second.points[r];
                const auto& d = pd->second.points[r];
                std::optional<Point2D> p;
                if (!vertical) {
                    if (!pa->second.points[r]) {
                        continue;
                    }
                    p = toOutput(*pa->second.points[r]);
                }
                if (m && d) {
                    ak.degrees[r] = ClinicalAngleDegrees(c.joint, p, toOutput(*m), toOutput(*d),
                                                         table.walkingDirection);
                }
            }
        }
        table.joints.push_back(std::move(ak));
    }
    result.table = std::move(table);
    return result;
}

}  // namespace

KinematicsResult BuildKinematics(const CLFFManager& store, int firstFrame, int lastFrame,
                                 double fps, const KinematicsOptions& options) {
    try {
        return Build(store, firstFrame, lastFrame, fps, options);
    } catch (const std::bad_alloc&) {
        KinematicsResult result;
        result.failure = KinematicsResult::kTooLarge;
        result.error = TableOutOfMemoryText();
        return result;
    }
}

namespace {

bool HasMarkerIn(const CLFFManager& store, int id, int firstFrame, int lastFrame) {
    const std::vector<T_MARKER>& row = store.Row(id - 1);
    return std::any_of(row.begin(), row.end(), [&](const T_MARKER& m) {
        return m.frame >= firstFrame && m.frame <= lastFrame;
    });
}

}  // namespace

std::vector<AngleWithoutData> AnglesWithoutData(const CLFFManager& store, int firstFrame,
                                                int lastFrame,
                                                const std::vector<NamedAngle>& angles) {
    std::vector<AngleWithoutData> missing;
    for (const NamedAngle& a : angles) {
        for (const int id : {a.proximal, a.joint, a.distal}) {
            if (!HasMarkerIn(store, id, firstFrame, lastFrame)) {
                missing.push_back({a.name, id});
                break;
            }
        }
    }
    return missing;
}

std::vector<AngleWithoutData> AnglesWithoutData(const CLFFManager& store, int firstFrame,
                                                int lastFrame,
                                                const std::vector<ClinicalAngle>& joints) {
    std::vector<AngleWithoutData> missing;
    for (const ClinicalAngle& c : joints) {
        for (const int id : {c.proximal, c.middle, c.distal}) {
            if (id > 0 && !HasMarkerIn(store, id, firstFrame, lastFrame)) {
                missing.push_back({ClinicalAngleName(c), id});
                break;
            }
        }
    }
    return missing;
}

namespace {

// The CSV text of the table, handed to flush in pieces of about 64 KB; false when flush was.
bool FormatRows(const KinematicsTable& table, const std::function<bool(std::string&)>& flush) {
    std::string out = "Time";
    for (const MarkerKinematics& m : table.markers) {
        const std::string name = MarkerName(m.id);
        out += "," + name + "_x," + name + "_y," + name + "_speed";
    }
    for (const AngleKinematics& a : table.angles) {
        out += "," + a.name;
    }
    for (const AngleKinematics& a : table.joints) {
        out += "," + a.name;
    }
    out += "\r\n";
    for (std::size_t r = 0; r < table.frames.size(); ++r) {
        AppendFixed(out, table.TimeOf(r), 4);
        for (const MarkerKinematics& m : table.markers) {
            out.push_back(',');
            AppendFixed(out, m.x[r], 3);
            out.push_back(',');
            AppendFixed(out, m.y[r], 3);
            out.push_back(',');
            AppendFixed(out, m.speed[r], 3);
        }
        for (const auto* group : {&table.angles, &table.joints}) {
            for (const AngleKinematics& a : *group) {
                out.push_back(',');
                AppendFixed(out, a.degrees[r], 3);
            }
        }
        out += "\r\n";
        if (out.size() >= (1 << 16) && !flush(out)) {
            return false;
        }
    }
    return flush(out);
}

}  // namespace

std::string FormatKinematicsCsv(const KinematicsTable& table) {
    std::string text;
    FormatRows(table, [&text](std::string& piece) {
        text += piece;
        piece.clear();
        return true;
    });
    return text;
}

bool WriteKinematicsCsv(const KinematicsTable& table, const std::string& path) {
    return ReplaceFileStreamed(path, [&table](const ByteSink& sink) {
        return FormatRows(table, [&sink](std::string& piece) {
            const bool written = sink(piece);
            piece.clear();
            return written;
        });
    });
}

}  // namespace kivra
