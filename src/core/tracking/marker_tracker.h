#pragma once
// Markers that follow the joint: from the markers clicked on one frame, the points of the same
// IDs on the frames after it, read frame-exactly from the open video. Working out a run never
// touches the marker store; applying it is a separate step, so a caller can show progress,
// cancel, and keep the whole run as one edit.
//
// Points are in the store's image pixels: x to the right, y down, the centre of the picture's
// top-left pixel at (0, 0), which is where a click on that pixel puts a marker.
#include <optional>
#include <string>
#include <vector>

#include "markers/lff_manager.h"
#include "platform/progress_sink.h"

class CAviVideoStream;

namespace kivra {

struct TrackRequest {
    int startFrame = 0;        // the frame whose markers are followed
    int endFrame = 0;          // the last frame a point may be placed on (inclusive)
    std::vector<int> ids;      // IDs to follow; empty: every ID with a marker on startFrame
    bool deinterlace = false;  // the pictures as shown with the Deinterlace setting
    std::string caption;       // progress caption
};

enum class TrackStop {
    ReachedMarker,  // the next frame already holds a marker of the ID
    RangeEnd,       // placed up to endFrame
    Lost,           // the picture no longer matches the clicked point well enough
    LeftPicture,    // the point went out of the picture
    NoStartMarker,  // a requested ID has no marker on startFrame
    ReadFailed,     // a picture could not be decoded
    Cancelled,      // the user stopped the run
};

struct TrackedPoint {
    int frame = 0;
    double x = 0.0;
    double y = 0.0;
};

// What happened to one ID.
struct IdTrack {
    int id = 0;
    std::vector<TrackedPoint> placed;  // consecutive frames from startFrame + 1 on
    TrackStop stop = TrackStop::RangeEnd;
    // ReachedMarker: the frame of that marker; RangeEnd: endFrame; Lost, LeftPicture,
    // ReadFailed: the frame where the point could not be placed; Cancelled: the first frame
    // not worked on; NoStartMarker: startFrame.
    int stopFrame = 0;
    double score = 0.0;  // match of the last picture compared (1 = identical to the click)
};

struct TrackResult {
    std::vector<IdTrack> tracks;  // by ascending ID
    bool cancelled = false;
    // Empty when the run could work; otherwise why it could not start (no video, frames
    // outside it, end before start, a picture of the start frame that cannot be decoded).
    std::string failure;
};

// Follows the markers of request.startFrame forward, one frame at a time, every ID until the
// frame before its next marker, request.endFrame, or the frame where it is lost, whichever
// comes first. Shows progress over the frames in `progress`, offers cancelling, and stops at
// once when it is asked to; what was found up to then stays in the result.
TrackResult TrackMarkers(const CAviVideoStream& stream, const CLFFManager& markers,
                         const TrackRequest& request, ProgressSink& progress);

// Places the result's points, never over a marker already there (those are left out). Returns
// how many were placed. Taking a run back is the editing session's: it restores the rows.
int ApplyTrackResult(const TrackResult& result, CLFFManager& markers);

// The points of ID id on the frames between two of its markers, a on frameA and b on frameB
// (frameA < frameB), for filling skipped frames: the point is followed forward from a through
// frameB, and the distance between where it arrives and b is spread linearly over the frames,
// so the points meet both markers. Nothing (so the caller draws the straight line) when the
// point is lost on the way or arrives too far from b. Empty when the frames are neighbours.
std::optional<std::vector<TrackedPoint>> TrackBetween(const CAviVideoStream& stream,
                                                      const TrackedPoint& a, const TrackedPoint& b,
                                                      bool deinterlace);

// Skip mode's fill by tracking: like CLFFManager::FillSkippedFrames (same earlier marker, same
// limits), with the points from TrackBetween, or the straight line when tracking gives none.
// Returns how many frames were filled; *tracked tells which way they were.
int FillSkippedFramesByTracking(const CAviVideoStream& stream, CLFFManager& markers, int row,
                                int frame, double x, double y, int skipCount, int rangeStart,
                                bool deinterlace, bool* tracked = nullptr);

// A short English account of why an ID stopped, for reports ("lost on frame 52").
std::string TrackStopText(const IdTrack& track);

}  // namespace kivra
