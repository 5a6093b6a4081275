#include "gait/gait_events.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "kinematics/butterworth.h"
#include "platform/translation.h"

namespace kivra {
namespace {

// A stretch of consecutive frames of one marker, filtered when asked.
struct Run {
    int firstFrame = 0;
    std::vector<ImagePoint> points;
    std::vector<double> speed;  // pixels per frame, central differences
};

// Where a marker stood still: indices into its run, and its resting point.
struct Rest {
    const Run* run = nullptr;
    int first = 0;
    int last = 0;
    ImagePoint point;
};

enum class MarkerRole { kHeel, kToe };

struct MarkerRuns {
    FootSide side = FootSide::kRight;
    MarkerRole role = MarkerRole::kHeel;
    std::vector<Run> runs;
    std::vector<Rest> rests;
};

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0.0;
    }
    const auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), mid, values.end());
    double m = *mid;
    if (values.size() % 2 == 0) {
        m = (m + *std::max_element(values.begin(), mid)) / 2.0;
    }
    return m;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0.0;
    }
    const auto k = static_cast<std::size_t>(std::clamp(p, 0.0, 1.0) * (values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(k), values.end());
    return values[k];
}

// Runs of at least minFrames consecutive frames; each filtered on its own so a gap stays one.
void SplitRuns(const MarkerTrack& track, int minFrames, const std::optional<ZeroLagLowPass>& filter,
               std::vector<Run>& runs) {
    std::size_t begin = 0;
    while (begin < track.frames.size()) {
        std::size_t end = begin + 1;
        while (end < track.frames.size() && track.frames[end] == track.frames[end - 1] + 1) {
            ++end;
        }
        if (static_cast<int>(end - begin) >= minFrames) {
            Run run;
            run.firstFrame = track.frames[begin];
            run.points.assign(track.points.begin() + static_cast<std::ptrdiff_t>(begin),
                              track.points.begin() + static_cast<std::ptrdiff_t>(end));
            if (filter) {
                std::vector<double> xs, ys;
                for (const ImagePoint& p : run.points) {
                    xs.push_back(p.x);
                    ys.push_back(p.y);
                }
                xs = filter->Run(xs);
                ys = filter->Run(ys);
                for (std::size_t i = 0; i < run.points.size(); ++i) {
                    run.points[i] = {xs[i], ys[i]};
                }
            }
            const std::size_t n = run.points.size();
            run.speed.resize(n);
            for (std::size_t i = 0; i < n; ++i) {
                const std::size_t a = i == 0 ? 0 : i - 1;
                const std::size_t b = std::min(i + 1, n - 1);
                run.speed[i] = std::hypot(run.points[b].x - run.points[a].x,
                                          run.points[b].y - run.points[a].y) /
                               static_cast<double>(b - a);
            }
            runs.push_back(std::move(run));
        }
        begin = end;
    }
}

// Stretches where the marker moves less than limit pixels per frame for minFrames or more.
void FindRests(MarkerRuns& marker, double limit, int minFrames) {
    for (const Run& run : marker.runs) {
        const int n = static_cast<int>(run.points.size());
        int i = 0;
        while (i < n) {
            if (run.speed[i] > limit) {
                ++i;
                continue;
            }
            int j = i;
            while (j + 1 < n && run.speed[j + 1] <= limit) {
                ++j;
            }
            if (j - i + 1 >= minFrames) {
                std::vector<double> xs, ys;
                for (int k = i; k <= j; ++k) {
                    xs.push_back(run.points[k].x);
                    ys.push_back(run.points[k].y);
                }
                marker.rests.push_back({&run, i, j, {Median(xs), Median(ys)}});
            }
            i = j + 1;
        }
    }
}

// Common tilt, one height per marker: least squares over the resting points, once more
// without the points far off the first line (a foot that paused in the air). Each marker's
// first height is the median of its resting points, so a few pauses in the air cannot pull
// it off the floor.
struct FloorFit {
    double slope = 0.0;
    std::vector<double> intercepts;  // per marker
};

FloorFit FitFloor(const std::vector<MarkerRuns>& markers) {
    FloorFit fit;
    fit.intercepts.assign(markers.size(), 0.0);
    std::vector<std::vector<bool>> used(markers.size());
    for (std::size_t m = 0; m < markers.size(); ++m) {
        used[m].assign(markers[m].rests.size(), true);
    }
    for (int pass = 0; pass < 2; ++pass) {
        double sxy = 0.0;
        double sxx = 0.0;
        for (std::size_t m = 0; m < markers.size(); ++m) {
            double meanX = 0.0;
            double meanY = 0.0;
            int count = 0;
            for (std::size_t r = 0; r < markers[m].rests.size(); ++r) {
                if (used[m][r]) {
                    meanX += markers[m].rests[r].point.x;
                    meanY += markers[m].rests[r].point.y;
                    ++count;
                }
            }
            if (count == 0) {
                continue;
            }
            meanX /= count;
            meanY /= count;
            for (std::size_t r = 0; r < markers[m].rests.size(); ++r) {
                if (used[m][r]) {
                    const double dx = markers[m].rests[r].point.x - meanX;
                    sxy += dx * (markers[m].rests[r].point.y - meanY);
                    sxx += dx * dx;
                }
            }
        }
        // Resting spots closer than a few pixels say nothing about the tilt.
        fit.slope = sxx > 25.0 ? sxy / sxx : 0.0;
        for (std::size_t m = 0; m < markers.size(); ++m) {
            std::vector<double> heights;
            for (std::size_t r = 0; r < markers[m].rests.size(); ++r) {
                if (used[m][r]) {
                    heights.push_back(markers[m].rests[r].point.y -
                                      fit.slope * markers[m].rests[r].point.x);
                }
            }
            if (!heights.empty()) {
                fit.intercepts[m] = Median(heights);
            }
        }
        if (pass == 1) {
            break;
        }
        std::vector<double> residuals;
        for (std::size_t m = 0; m < markers.size(); ++m) {
            for (const Rest& rest : markers[m].rests) {
                residuals.push_back(
                    std::abs(rest.point.y - (fit.slope * rest.point.x + fit.intercepts[m])));
            }
        }
        const double limit = std::max(3.0, 3.0 * 1.4826 * Median(residuals));
        for (std::size_t m = 0; m < markers.size(); ++m) {
            for (std::size_t r = 0; r < markers[m].rests.size(); ++r) {
                const Rest& rest = markers[m].rests[r];
                used[m][r] = std::abs(rest.point.y -
                                      (fit.slope * rest.point.x + fit.intercepts[m])) <= limit;
            }
        }
    }
    return fit;
}

// The walking speed along the floor in pixels per frame: successive resting places of one
// marker lie a stride apart, so their distance over the frames between them, pooled over the
// markers. Without two resting places on any marker, the tracks' mean pace.
double WalkingSpeed(const std::vector<MarkerRuns>& markers,
                    const std::vector<std::vector<const Rest*>>& grounded, const FloorLine& floor) {
    const auto middle = [](const Rest& r) { return r.run->firstFrame + 0.5 * (r.first + r.last); };
    double distance = 0.0;
    double frames = 0.0;
    for (const std::vector<const Rest*>& rests : grounded) {
        for (std::size_t k = 1; k < rests.size(); ++k) {
            const double along =
                floor.Progression(rests[k]->point) - floor.Progression(rests[k - 1]->point);
            const double span = middle(*rests[k]) - middle(*rests[k - 1]);
            if (along > 0.0 && span > 0.0) {
                distance += along;
                frames += span;
            }
        }
    }
    if (frames > 0.0) {
        return distance / frames;
    }
    for (const MarkerRuns& marker : markers) {
        for (const Run& run : marker.runs) {
            distance +=
                floor.Progression(run.points.back()) - floor.Progression(run.points.front());
            frames += static_cast<double>(run.points.size() - 1);
        }
    }
    return frames > 0.0 ? distance / frames : 0.0;
}

// Forward steps along the floor between successive points of a run: step[i] lies between
// points i and i + 1, at i + 0.5.
std::vector<double> ForwardSteps(const Run& run, const FloorLine& floor) {
    std::vector<double> steps;
    for (std::size_t i = 0; i + 1 < run.points.size(); ++i) {
        steps.push_back(floor.Progression(run.points[i + 1]) - floor.Progression(run.points[i]));
    }
    return steps;
}

// The stillest step of a rest: where the search for its strike and toe-off starts.
int StillestStep(const std::vector<double>& steps, const Rest& rest) {
    int best = std::min(rest.first, static_cast<int>(steps.size()) - 1);
    for (int i = best; i <= rest.last && i < static_cast<int>(steps.size()); ++i) {
        if (std::abs(steps[i]) < std::abs(steps[best])) {
            best = i;
        }
    }
    return best;
}

// The moment, in run indices, at which the forward step falls through level on the way into the
// rest around step `still`: nothing unless a swing (steps past twice the level within `swing`
// steps) leads into it and steps on both sides bracket the crossing.
std::optional<double> StrikeMoment(const std::vector<double>& steps, int still, double level,
                                   int swing) {
    if (steps[still] > level) {
        return std::nullopt;  // a rest that never slows down enough
    }
    int i = still - 1;
    while (i >= 0 && steps[i] <= level) {
        --i;
    }
    if (i < 1) {
        return std::nullopt;  // the run starts in stance, or too close to the crossing
    }
    bool swinging = false;
    for (int k = std::max(0, i - swing); k <= i; ++k) {
        swinging = swinging || steps[k] > 2.0 * level;
    }
    if (!swinging) {
        return std::nullopt;
    }
    return i + 0.5 + (steps[i] - level) / (steps[i] - steps[i + 1]);
}

// The same for the step rising through level on the way out of the rest.
std::optional<double> ToeOffMoment(const std::vector<double>& steps, int still, double level,
                                   int swing) {
    const int n = static_cast<int>(steps.size());
    if (steps[still] > level) {
        return std::nullopt;
    }
    int i = still + 1;
    while (i < n && steps[i] <= level) {
        ++i;
    }
    if (i + 1 >= n) {
        return std::nullopt;  // the run ends in stance, or too close to the crossing
    }
    bool swinging = false;
    for (int k = i; k < n && k <= i + swing; ++k) {
        swinging = swinging || steps[k] > 2.0 * level;
    }
    if (!swinging) {
        return std::nullopt;
    }
    return i - 0.5 + (level - steps[i - 1]) / (steps[i] - steps[i - 1]);
}

}  // namespace

const char* SideName(FootSide side) {
    return side == FootSide::kRight ? "R" : "L";
}

const char* EventName(GaitEventKind kind) {
    return kind == GaitEventKind::kHeelStrike ? "HS" : "TO";
}

std::string FootText(FootSide side) {
    return side == FootSide::kRight ? translate("GaitMessages", "右足")
                                    : translate("GaitMessages", "左足");
}

std::optional<ImagePoint> MarkerTrack::At(int frame) const {
    const auto it = std::lower_bound(frames.begin(), frames.end(), frame);
    if (it == frames.end() || *it != frame) {
        return std::nullopt;
    }
    return points[static_cast<std::size_t>(it - frames.begin())];
}

int MinimumRunFrames(double fps) {
    // A foot rests on the floor for a good part of a stride; a pause shorter than about
    // 150 ms is a swing turning, not a stance. At least three frames to see one, and a swing
    // as long around it.
    return 2 * std::max(3, static_cast<int>(std::lround(0.15 * fps)));
}

double FloorLine::Progression(ImagePoint point) const {
    return direction * (point.x + slope * point.y) / std::sqrt(1.0 + slope * slope);
}

EventDetection DetectGaitEvents(const std::vector<FootTrack>& feet,
                                const EventDetectionOptions& options) {
    EventDetection result;
    if (!(options.fps > 0.0) || !std::isfinite(options.fps)) {
        result.error = translate("GaitMessages", "動画にフレームレートがありません");
        return result;
    }
    std::optional<ZeroLagLowPass> filter;
    if (options.filterHz > 0.0) {
        filter = ZeroLagLowPass::Make(options.filterHz, options.fps);
        if (!filter) {
            result.error = CutoffProblem(options.filterHz, options.fps);
            return result;
        }
    }
    const int minRest = MinimumRunFrames(options.fps) / 2;
    std::vector<MarkerRuns> markers;
    for (const FootTrack& foot : feet) {
        for (const MarkerRole role : {MarkerRole::kHeel, MarkerRole::kToe}) {
            MarkerRuns marker;
            marker.side = foot.side;
            marker.role = role;
            SplitRuns(role == MarkerRole::kHeel ? foot.heel : foot.toe, 2 * minRest, filter,
                      marker.runs);
            if (!marker.runs.empty()) {
                markers.push_back(std::move(marker));
            }
        }
    }
    if (markers.empty()) {
        result.error =
            translate("GaitMessages", "踵とつま先のマーカに連続したフレームが少なすぎます");
        return result;
    }
    // The swing sets the scale of "moving": resting is below a sixth of a fast swing's speed.
    for (MarkerRuns& marker : markers) {
        std::vector<double> speeds;
        for (const Run& run : marker.runs) {
            speeds.insert(speeds.end(), run.speed.begin(), run.speed.end());
        }
        const double fast = Percentile(speeds, 0.9);
        FindRests(marker, std::max(fast / 6.0, 0.25), minRest);
    }
    const FloorFit fit = FitFloor(markers);
    FloorLine floor;
    floor.slope = fit.slope;
    double travel = 0.0;
    for (const MarkerRuns& marker : markers) {
        for (const Run& run : marker.runs) {
            travel += run.points.back().x - run.points.front().x;
        }
    }
    floor.direction = travel < 0.0 ? -1 : 1;
    double heelIntercepts = 0.0;
    int heelCount = 0;
    for (std::size_t m = 0; m < markers.size(); ++m) {
        if (markers[m].role == MarkerRole::kHeel) {
            heelIntercepts += fit.intercepts[m];
            ++heelCount;
        }
    }
    floor.heelIntercept = heelCount > 0 ? heelIntercepts / heelCount : 0.0;
    result.floor = floor;

    // Only the rests on the floor are stances: the swing height tells a foot resting on the
    // floor from one paused in the air.
    std::vector<std::vector<const Rest*>> grounded(markers.size());
    for (std::size_t m = 0; m < markers.size(); ++m) {
        std::vector<double> heights;
        for (const Run& run : markers[m].runs) {
            for (const ImagePoint& p : run.points) {
                heights.push_back(fit.slope * p.x + fit.intercepts[m] - p.y);
            }
        }
        const double airborne = std::max(3.0, 0.3 * Percentile(heights, 0.95));
        for (const Rest& rest : markers[m].rests) {
            if (std::abs(fit.slope * rest.point.x + fit.intercepts[m] - rest.point.y) <= airborne) {
                grounded[m].push_back(&rest);
            }
        }
    }
    // The heel is slowing down hard as it lands and the toe speeding up as it leaves, so the
    // moments follow the walking speed's share closely; the shares sit where the heel touches
    // and the toe tip leaves on walks with a rolling foot.
    constexpr double kStrikeShare = 0.4;
    constexpr double kToeOffShare = 0.6;
    const double speed = WalkingSpeed(markers, grounded, floor);
    const int swing = std::max(2, static_cast<int>(std::lround(0.15 * options.fps)));
    for (std::size_t m = 0; m < markers.size() && speed > 0.0; ++m) {
        const MarkerRuns& marker = markers[m];
        const bool heel = marker.role == MarkerRole::kHeel;
        for (const Rest* rest : grounded[m]) {
            const std::vector<double> steps = ForwardSteps(*rest->run, floor);
            const int still = StillestStep(steps, *rest);
            const std::optional<double> moment =
                heel ? StrikeMoment(steps, still, kStrikeShare * speed, swing)
                     : ToeOffMoment(steps, still, kToeOffShare * speed, swing);
            if (!moment) {
                continue;
            }
            const double at = rest->run->firstFrame + *moment;
            result.events.push_back({static_cast<int>(std::lround(at)), marker.side,
                                     heel ? GaitEventKind::kHeelStrike : GaitEventKind::kToeOff,
                                     at});
        }
    }
    std::sort(result.events.begin(), result.events.end());
    result.events.erase(std::unique(result.events.begin(), result.events.end()),
                        result.events.end());
    return result;
}

}  // namespace kivra
