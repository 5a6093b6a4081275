#include "support/front_walk.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "gait/gait_file.h"
#include "markers/lff_manager.h"
#include "platform/path_util.h"
#include "support/ffmpeg_tool.h"

namespace kivra::test {

bool MakeSideAndFrontWalk(const std::string& side, const std::string& front) {
    for (const auto& [path, rate, frames] : {std::tuple{side, "25", 100}, {front, "50", 190}}) {
        if (!RunFfmpeg({"-f", "lavfi", "-i", std::string("testsrc2=size=160x120:rate=") + rate,
                        "-frames:v", std::to_string(frames), "-c:v", "mjpeg", "-q:v", "5", path})) {
            return false;
        }
    }
    CLFFManager sideMarkers;
    sideMarkers.LoadMarkers("", 100);
    for (int f = 0; f < 100; ++f) {
        for (int row = 4; row < 8; ++row) {  // heels and toes, IDs 5-8
            sideMarkers.SetMarker(row, f, 10.0 + f + row, 100.0);
        }
    }
    if (!sideMarkers.SaveMarkers(ReplaceExtension(side, ".lff"), 0, 0, 1)) {
        return false;
    }
    // A walk's order of events.
    const auto R = FootSide::kRight, L = FootSide::kLeft;
    const auto HS = GaitEventKind::kHeelStrike, TO = GaitEventKind::kToeOff;
    if (!WriteGaitFile(ReplaceExtension(side, ".kgait"), {{10, R, HS},
                                                          {16, L, TO},
                                                          {30, L, HS},
                                                          {36, R, TO},
                                                          {50, R, HS},
                                                          {56, L, TO},
                                                          {70, L, HS},
                                                          {76, R, TO},
                                                          {90, R, HS}})) {
        return false;
    }
    CLFFManager frontMarkers;
    frontMarkers.LoadMarkers("", 100);
    const auto bump = [](int f, int at, double height) {
        return std::max(0.0, height * (1.0 - std::abs(f - at) / 20.0));
    };
    for (int f = 0; f < 190; ++f) {
        frontMarkers.SetMarker(0, f, 140.0, 100.0);
        frontMarkers.SetMarker(1, f, 60.0, 100.0 - bump(f, 60, 8.0) - bump(f, 140, 4.0));
        frontMarkers.SetMarker(2, f, 130.0, 100.0);
        frontMarkers.SetMarker(3, f, 125.0, 150.0);
        frontMarkers.SetMarker(4, f, 130.0, 200.0);
        frontMarkers.SetMarker(6, f, 120.0 + f / 10.0, 220.0);
        frontMarkers.SetMarker(7, f, 80.0, 220.0);
    }
    return frontMarkers.SaveMarkers(ReplaceExtension(front, ".lff"), 0, 0, 1);
}

}  // namespace kivra::test
