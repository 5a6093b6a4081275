#pragma once
// The front video's marker roles for the frontal measures. Here, below the frontal measures,
// because the front video's events file keeps them.

namespace kivra {

// The front view's marker IDs; 0 leaves a marker out, and with it what needs it.
struct FrontalSetup {
    struct Leg {
        int hip = 0, knee = 0, ankle = 0, heel = 0;
    };
    int pelvisRight = 0, pelvisLeft = 0;  // the subject's right and left pelvis markers
    Leg right, left;
    int trunk = 0;  // high on the trunk (C7, sternum): lean from the pelvis midpoint
};

}  // namespace kivra
