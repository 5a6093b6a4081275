#pragma once
// The bundled walker's true joint positions, as the sample renderer wrote them.
#include <array>
#include <map>

#include "geometry/view_geometry.h"

namespace kivra::test {

constexpr int kWalkerJoints = 4;  // head, hip, knee, ankle: marker IDs 1 to 4

// Per frame, the joints in that order, image pixels; empty when the file cannot be read.
std::map<int, std::array<ImagePoint, kWalkerJoints>> ReadWalkerTruth();

}  // namespace kivra::test
