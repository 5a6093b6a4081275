#pragma once
// A clinic's normal bands, one per angle, and how far a walk's mean curves lie from them.
// A band file is either "Angle,Percent,Mean,SD" (a band for each angle it names) or
// "Percent,Mean,SD" tied to the one angle the user picks; an angle without a band gets none.
#include <optional>
#include <string>
#include <vector>

#include "gait/gait_cycles.h"

namespace kivra {

struct NormalBand {
    // The curve it belongs to: a column ("knee_R", a plain angle's "hip_L") or a name for
    // both sides ("knee": knee_R and knee_L; a plain angle's own name).
    std::string angle;
    std::string file;  // where it was read from, as given
    ReferenceBand band;
};

// A band file as the user chose it: the angle is empty for a file that names its angles.
struct NormalBandChoice {
    std::string file;
    std::string angle;
    bool operator==(const NormalBandChoice&) const = default;
};

struct NormalBandsResult {
    std::vector<NormalBand> bands;
    std::string error;        // why the file was refused, in words; empty when read
    bool needsAngle = false;  // refused as a Percent,Mean,SD file given without its angle
};

// Reads one band file. An "Angle,Percent,Mean,SD" file gives a band per angle, its rows
// grouped by angle in any order; a "Percent,Mean,SD" file needs choice.angle, and a file with
// an Angle column refuses one. Limits as ReadReferenceBand.
NormalBandsResult ReadNormalBands(const NormalBandChoice& choice);

// The column a side's curve of an angle is written under in cycles.csv ("knee_R"), and the
// name a band for both sides uses ("knee").
std::string CycleColumnName(const AngleCycles& angle, FootSide side);
std::string CycleBaseName(const AngleCycles& angle);

// The band for a side's curve: one named by its column first, else one named for both sides;
// the later of two bands for the same name wins. Null when none.
const NormalBand* BandFor(const std::vector<NormalBand>& bands, const AngleCycles& angle,
                          FootSide side);

// A banded curve's root-mean-square distance from its band's mean over the 101 cycle points.
struct BandDeviation {
    std::string column;  // as in cycles.csv: "knee_R"
    FootSide side = FootSide::kRight;
    double rmsDegrees = 0.0;
};

struct ProfileDeviation {
    std::vector<BandDeviation> angles;  // in the order of the cycle curves, right before left
    // The RMS of the angles' deviations, overall and per side: a sagittal profile score over
    // the angles that have a band, not the nine-variable gait profile score.
    std::optional<double> score, scoreRight, scoreLeft;
};

ProfileDeviation DeviationFromBands(const std::vector<AngleCycles>& cycles,
                                    const std::vector<NormalBand>& bands);

}  // namespace kivra
