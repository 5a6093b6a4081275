#include "tracking/marker_tracker.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "reading/avi_video_stream.h"
#include "tracking/point_follower.h"
#include "tracking/track_pictures.h"

namespace kivra {

namespace {

// A track that arrives further than this from the later click is not trusted to fill between
// the two: something else was followed on the way.
constexpr double kMaxArrivalGap = 3.0;

// One ID being followed.
struct Follow {
    IdTrack* track = nullptr;
    std::unique_ptr<PointFollower> follower;
    int lastFrame = 0;                       // the last frame it may place a point on
    TrackStop atLast = TrackStop::RangeEnd;  // why it stops after lastFrame
    bool active = true;
};

void Stop(Follow& f, TrackStop why, int frame) {
    f.track->stop = why;
    f.track->stopFrame = frame;
    f.active = false;
}

// The frame of the row's first marker after `frame`, or -1.
int NextMarkerFrame(const CLFFManager& markers, int row, int frame) {
    const std::vector<T_MARKER>& r = markers.Row(row);
    const auto it = std::upper_bound(r.begin(), r.end(), frame,
                                     [](int f, const T_MARKER& m) { return f < m.frame; });
    return it == r.end() ? -1 : it->frame;
}

}  // namespace

TrackResult TrackMarkers(const CAviVideoStream& stream, const CLFFManager& markers,
                         const TrackRequest& request, ProgressSink& progress) {
    TrackResult result;
    const int start = request.startFrame;
    const int end = request.endFrame;
    if (!stream.HasStream()) {
        result.failure = "no video is open";
        return result;
    }
    if (start < stream.GetStart() || start > stream.GetEnd() || end < stream.GetStart() ||
        end > stream.GetEnd()) {
        result.failure = "frames " + std::to_string(start) + " to " + std::to_string(end) +
                         " are not all in the video (" + std::to_string(stream.GetStart()) +
                         " to " + std::to_string(stream.GetEnd()) + ")";
        return result;
    }
    if (end < start) {
        result.failure = "the last frame comes before the first";
        return result;
    }

    std::vector<T_DRAW_MARKER> onStart;
    markers.GetFrameMarkers(start, onStart);
    std::vector<int> ids = request.ids;
    if (ids.empty()) {
        for (const T_DRAW_MARKER& m : onStart) {
            ids.push_back(m.ID);
        }
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    result.tracks.reserve(ids.size());
    for (const int id : ids) {
        result.tracks.push_back(IdTrack{id, {}, TrackStop::RangeEnd, end, 0.0});
    }

    TrackPictures pictures(stream, request.deinterlace);
    cv::Mat previous;
    if (!pictures.Ok() || !pictures.Read(start, previous)) {
        result.failure = "the picture of frame " + std::to_string(start) + " cannot be decoded";
        return result;
    }

    std::vector<Follow> follows;
    int lastNeeded = start;
    for (IdTrack& track : result.tracks) {
        const auto clicked = std::find_if(onStart.begin(), onStart.end(),
                                          [&](const T_DRAW_MARKER& m) { return m.ID == track.id; });
        Follow f;
        f.track = &track;
        if (clicked == onStart.end()) {
            Stop(f, TrackStop::NoStartMarker, start);
            continue;
        }
        track.score = 1.0;
        f.follower = std::make_unique<PointFollower>(previous, cv::Point2d(clicked->x, clicked->y));
        const int next = NextMarkerFrame(markers, track.id - 1, start);
        f.lastFrame = end;
        if (next >= 0 && next <= end) {
            f.lastFrame = next - 1;
            f.atLast = TrackStop::ReachedMarker;
        }
        if (f.lastFrame <= start) {
            Stop(f, f.atLast, f.atLast == TrackStop::ReachedMarker ? next : end);
            continue;
        }
        if (!f.follower->Followable()) {
            Stop(f, TrackStop::Lost, start + 1);
            track.score = 0.0;
            continue;
        }
        lastNeeded = std::max(lastNeeded, f.lastFrame);
        follows.push_back(std::move(f));
    }

    progress.Begin(start, lastNeeded, request.caption, PercentLabel::Shown);
    const ProgressScope scope(progress);
    progress.OfferCancel();
    cv::Mat current;
    for (int frame = start + 1; frame <= lastNeeded; ++frame) {
        const bool anyActive =
            std::any_of(follows.begin(), follows.end(), [](const Follow& f) { return f.active; });
        if (!anyActive) {
            break;
        }
        progress.Pump();
        if (progress.CancelRequested()) {
            result.cancelled = true;
            for (Follow& f : follows) {
                if (f.active) {
                    Stop(f, TrackStop::Cancelled, frame);
                }
            }
            break;
        }
        const bool read = pictures.Read(frame, current);
        for (Follow& f : follows) {
            if (!f.active) {
                continue;
            }
            if (!read) {
                Stop(f, TrackStop::ReadFailed, frame);
                continue;
            }
            const FollowStep step = f.follower->Step(previous, current);
            f.track->score = step.score;
            if (step.outcome != FollowOutcome::Found) {
                Stop(f,
                     step.outcome == FollowOutcome::LeftPicture ? TrackStop::LeftPicture
                                                                : TrackStop::Lost,
                     frame);
                continue;
            }
            f.track->placed.push_back({frame, step.point.x, step.point.y});
            if (frame == f.lastFrame) {
                Stop(f, f.atLast, f.atLast == TrackStop::ReachedMarker ? frame + 1 : frame);
            }
        }
        if (!read) {
            break;
        }
        std::swap(previous, current);
        progress.SetPosition(frame);
    }
    return result;
}

int ApplyTrackResult(const TrackResult& result, CLFFManager& markers) {
    int placed = 0;
    for (const IdTrack& track : result.tracks) {
        const int row = track.id - 1;
        if (row < 0 || row >= markers.GetRowCount()) {
            continue;
        }
        for (const TrackedPoint& p : track.placed) {
            if (markers.FindMarker(row, p.frame) < 0) {
                markers.SetMarker(row, p.frame, p.x, p.y);
                ++placed;
            }
        }
    }
    return placed;
}

std::optional<std::vector<TrackedPoint>> TrackBetween(const CAviVideoStream& stream,
                                                      const TrackedPoint& a, const TrackedPoint& b,
                                                      bool deinterlace) {
    if (!stream.HasStream() || a.frame >= b.frame || a.frame < stream.GetStart() ||
        b.frame > stream.GetEnd()) {
        return std::nullopt;
    }
    std::vector<TrackedPoint> points;
    if (b.frame == a.frame + 1) {
        return points;
    }
    TrackPictures pictures(stream, deinterlace);
    cv::Mat previous;
    cv::Mat current;
    if (!pictures.Ok() || !pictures.Read(a.frame, previous)) {
        return std::nullopt;
    }
    PointFollower follower(previous, cv::Point2d(a.x, a.y));
    if (!follower.Followable()) {
        return std::nullopt;
    }
    for (int frame = a.frame + 1; frame <= b.frame; ++frame) {
        if (!pictures.Read(frame, current)) {
            return std::nullopt;
        }
        const FollowStep step = follower.Step(previous, current);
        if (step.outcome != FollowOutcome::Found) {
            return std::nullopt;
        }
        points.push_back({frame, step.point.x, step.point.y});
        std::swap(previous, current);
    }
    const TrackedPoint arrived = points.back();
    points.pop_back();
    const double gapX = b.x - arrived.x;
    const double gapY = b.y - arrived.y;
    if (!(std::hypot(gapX, gapY) <= kMaxArrivalGap)) {  // also when b is no number
        return std::nullopt;
    }
    const double span = double(b.frame - a.frame);
    for (TrackedPoint& p : points) {
        const double w = double(p.frame - a.frame) / span;
        p.x += w * gapX;
        p.y += w * gapY;
    }
    return points;
}

int FillSkippedFramesByTracking(const CAviVideoStream& stream, CLFFManager& markers, int row,
                                int frame, double x, double y, int skipCount, int rangeStart,
                                bool deinterlace, bool* tracked) {
    if (tracked != nullptr) {
        *tracked = false;
    }
    if (row < 0 || row >= markers.GetRowCount()) {
        return 0;
    }
    // The earlier marker FillSkippedFrames would take.
    const int64_t lowest = std::max<int64_t>(int64_t{frame} - std::max(skipCount, 0), rangeStart);
    int earlier = -1;
    for (int64_t h = int64_t{frame} - 1; h >= lowest && earlier < 0; --h) {
        if (markers.FindMarker(row, int(h)) >= 0) {
            earlier = int(h);
        }
    }
    if (earlier >= 0 && earlier + 1 < frame) {
        const T_MARKER& from = markers.Row(row)[size_t(markers.FindMarker(row, earlier))];
        const std::optional<std::vector<TrackedPoint>> points =
            TrackBetween(stream, {earlier, from.x, from.y}, {frame, x, y}, deinterlace);
        if (points) {
            for (const TrackedPoint& p : *points) {
                markers.SetMarker(row, p.frame, p.x, p.y);
            }
            if (tracked != nullptr) {
                *tracked = true;
            }
            return int(points->size());
        }
    }
    return markers.FillSkippedFrames(row, frame, x, y, skipCount, rangeStart);
}

std::string TrackStopText(const IdTrack& track) {
    char score[32];
    std::snprintf(score, sizeof score, "%.2f", track.score);
    const std::string at = std::to_string(track.stopFrame);
    switch (track.stop) {
        case TrackStop::ReachedMarker:
            return "reached its marker on frame " + at;
        case TrackStop::RangeEnd:
            return "reached the end of the range at frame " + at;
        case TrackStop::Lost:
            return "lost on frame " + at + " (match " + score + ")";
        case TrackStop::LeftPicture:
            return "left the picture on frame " + at;
        case TrackStop::NoStartMarker:
            return "no marker on frame " + at;
        case TrackStop::ReadFailed:
            return "frame " + at + " cannot be decoded";
        case TrackStop::Cancelled:
            return "cancelled at frame " + at;
    }
    return {};
}

}  // namespace kivra
