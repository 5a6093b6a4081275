#pragma once
// A walk filmed from the side at 25 fps and from the front at 50 fps, 0.4 s apart: front frame
// F shows the moment of side frame (F - 20) / 2. Made for the front view's tests, on the
// command line and in the window.
#include <string>

namespace kivra::test {

// Both videos (ffmpeg), their marker files and the side's edited events; false when one could
// not be written.
//  - Side, 100 frames: heels and toes IDs 5-8; events R HS 10, 50, 90 and L HS 30, 70 with
//    toe-offs 6 frames after the other side's strike. The last right strike falls beyond the
//    front video.
//  - Front, 190 frames: pelvis 1 (right) and 2 (left) 80 px apart, the left rising 8 px at
//    front frame 60 and 4 px at 140; right leg 3-4-5 with the knee 5 px medial; heels 7 and 8
//    40 + F/10 px apart.
bool MakeSideAndFrontWalk(const std::string& side, const std::string& front);

}  // namespace kivra::test
