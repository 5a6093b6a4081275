#include "gait/gait_events.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "kinematics/butterworth.h"

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

// The moment (in run indices, fractional) at which the distance to the resting point reaches
// zero, from the frames just outside the resting band. step is -1 for an arrival (look back
// from the first resting index edge) and +1 for a departure. Movement near rest is either
// about linear in time or, easing in or out, about quadratic: the model that fits the nearby
// distances better decides.
double ExtrapolatedMoment(const std::vector<double>& distance, int edge, int step, double band) {
    std::vector<double> t, d;
    for (int k = 1; k <= 4; ++k) {
        const int i = edge + step * k;
        if (i < 0 || i >= static_cast<int>(distance.size())) {
            break;
        }
        if (distance[i] <= band) {
            continue;
        }
        if (!d.empty() && distance[i] <= d.back()) {
            break;  // no longer moving away from the resting point
        }
        t.push_back(static_cast<double>(i));
        d.push_back(distance[i]);
    }
    if (d.empty()) {
        return static_cast<double>(edge);
    }
    if (d.size() == 1) {
        // One frame outside: the moment lies between it and the edge, nearer the edge the
        // smaller its distance is against the band.
        const double share = std::clamp(band / d[0], 0.0, 1.0);
        return edge + step * (1.0 - share) * 0.5;
    }
    // Fits value = a + b * t; returns the root t0 = -a / b and the squared error in distance.
    const auto fitRoot = [&](bool quadratic, double& sse) {
        const std::size_t n = d.size();
        double st = 0, sv = 0, stt = 0, stv = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double v = quadratic ? std::sqrt(d[i]) : d[i];
            st += t[i];
            sv += v;
            stt += t[i] * t[i];
            stv += t[i] * v;
        }
        const double den = n * stt - st * st;
        const double b = den != 0.0 ? (n * stv - st * sv) / den : 0.0;
        const double a = (sv - b * st) / n;
        sse = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            const double v = a + b * t[i];
            const double predicted = quadratic ? v * v : v;
            sse += (predicted - d[i]) * (predicted - d[i]);
        }
        return b != 0.0 ? -a / b : static_cast<double>(edge);
    };
    double linearError = 0.0;
    double quadraticError = 0.0;
    const double linear = fitRoot(false, linearError);
    const double quadratic = fitRoot(true, quadraticError);
    const double root = quadraticError < linearError ? quadratic : linear;
    // The moment lies within a frame of the band's edge, on either side: the marker may have
    // crept within the band before it came to rest.
    return std::clamp(root, edge - 1.0, edge + 1.0);
}

}  // namespace

const char* SideName(FootSide side) {
    return side == FootSide::kRight ? "R" : "L";
}

const char* EventName(GaitEventKind kind) {
    return kind == GaitEventKind::kHeelStrike ? "HS" : "TO";
}

std::optional<ImagePoint> MarkerTrack::At(int frame) const {
    const auto it = std::lower_bound(frames.begin(), frames.end(), frame);
    if (it == frames.end() || *it != frame) {
        return std::nullopt;
    }
    return points[static_cast<std::size_t>(it - frames.begin())];
}

double FloorLine::Progression(ImagePoint point) const {
    return direction * (point.x + slope * point.y) / std::sqrt(1.0 + slope * slope);
}

EventDetection DetectGaitEvents(const std::vector<FootTrack>& feet,
                                const EventDetectionOptions& options) {
    EventDetection result;
    if (!(options.fps > 0.0) || !std::isfinite(options.fps)) {
        result.error = "the video has no frame rate";
        return result;
    }
    std::optional<ZeroLagLowPass> filter;
    if (options.filterHz > 0.0) {
        filter = ZeroLagLowPass::Make(options.filterHz, options.fps);
        if (!filter) {
            result.error = "the filter's cut-off must lie below half the frame rate";
            return result;
        }
    }
    // A foot rests on the floor for a good part of a stride; a pause shorter than about
    // 150 ms is a swing turning, not a stance. At least three frames to see one.
    const int minRest = std::max(3, static_cast<int>(std::lround(0.15 * options.fps)));
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
        result.error = "the heel and toe markers have too few frames in a row";
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

    for (std::size_t m = 0; m < markers.size(); ++m) {
        const MarkerRuns& marker = markers[m];
        // How far a resting marker wanders: the band within which it counts as still resting.
        std::vector<double> wander;
        for (const Rest& rest : marker.rests) {
            const double at = floor.Progression(rest.point);
            for (int i = rest.first; i <= rest.last; ++i) {
                wander.push_back(std::abs(floor.Progression(rest.run->points[i]) - at));
            }
        }
        const double band = std::max(1.0, 3.0 * 1.4826 * Median(wander));
        // The swing height tells a foot resting on the floor from one paused in the air.
        std::vector<double> heights;
        for (const Run& run : marker.runs) {
            for (const ImagePoint& p : run.points) {
                heights.push_back(fit.slope * p.x + fit.intercepts[m] - p.y);
            }
        }
        const double airborne = std::max(3.0, 0.3 * Percentile(heights, 0.95));
        for (const Rest& rest : marker.rests) {
            if (std::abs(fit.slope * rest.point.x + fit.intercepts[m] - rest.point.y) > airborne) {
                continue;
            }
            const Run& run = *rest.run;
            const double at = floor.Progression(rest.point);
            std::vector<double> distance(run.points.size());
            for (std::size_t i = 0; i < run.points.size(); ++i) {
                distance[i] = std::abs(floor.Progression(run.points[i]) - at);
            }
            const int n = static_cast<int>(run.points.size());
            if (marker.role == MarkerRole::kHeel) {
                int edge = rest.first;
                while (edge > 0 && distance[edge - 1] <= band) {
                    --edge;
                }
                if (edge == 0) {
                    continue;  // the track starts at rest: the strike lies before it
                }
                const double moment = ExtrapolatedMoment(distance, edge, -1, band);
                result.events.push_back({run.firstFrame + static_cast<int>(std::lround(moment)),
                                         marker.side, GaitEventKind::kHeelStrike});
            } else {
                int edge = rest.last;
                while (edge + 1 < n && distance[edge + 1] <= band) {
                    ++edge;
                }
                if (edge == n - 1) {
                    continue;  // still resting at the track's end: the toe-off lies after it
                }
                const double moment = ExtrapolatedMoment(distance, edge, +1, band);
                result.events.push_back({run.firstFrame + static_cast<int>(std::lround(moment)),
                                         marker.side, GaitEventKind::kToeOff});
            }
        }
    }
    std::sort(result.events.begin(), result.events.end());
    result.events.erase(std::unique(result.events.begin(), result.events.end()),
                        result.events.end());
    return result;
}

}  // namespace kivra
