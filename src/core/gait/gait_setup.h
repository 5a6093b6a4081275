#pragma once
// Which markers are the feet and the pelvis, and how the events are found: the user's choice,
// kept in its own section of the settings ini, written only once the user sets it:
//
//   [Gait]
//   RightFoot=5,6        (heel ID, toe ID; empty or missing: that foot is not marked)
//   LeftFoot=7,8
//   Pelvis=2             (0: none)
//   FilterHz=6.000       (0: no filtering)
//   NormalBand=/path/bands.csv  (the clinic's band files, in the order chosen; none: no key)
//   NormalBandAngle=            (the angle a Percent,Mean,SD file is tied to; empty for a
//   NormalBand2=/path/knee.csv   file that names its angles)
//   NormalBandAngle2=knee_R
//
// And the tracks of those markers taken from the marker store.
#include <optional>
#include <string>
#include <vector>

#include "gait/gait_events.h"
#include "gait/normal_bands.h"

class CLFFManager;

namespace kivra {

struct FootMarkers {
    int heelId = 0;  // marker IDs as the window shows them, from 1
    int toeId = 0;
    bool operator==(const FootMarkers&) const = default;
};

struct GaitSetup {
    std::optional<FootMarkers> right, left;
    int pelvisId = 0;
    double filterHz = 0.0;
    std::vector<NormalBandChoice> bands;
    bool operator==(const GaitSetup&) const = default;

    bool AnyFoot() const { return right.has_value() || left.has_value(); }
};

// "5,6" -> heel 5, toe 6; nothing unless two different IDs from 1 to 100000.
std::optional<FootMarkers> ParseFootMarkers(std::string_view text);

// Defaults for a missing file, section or key; an entry that does not parse reads as unset.
GaitSetup LoadGaitSetup(const std::string& iniPath);
// Replaces the section as a whole; the rest of the file stays as it was. False when the file
// could not be written (it is then unchanged) or iniPath is empty.
bool SaveGaitSetup(const std::string& iniPath, const GaitSetup& setup);

// The markers of ID id on frames first ... last, as placed.
MarkerTrack MarkerTrackOf(const CLFFManager& store, int id, int first, int last);
// One foot track per foot the setup names.
std::vector<FootTrack> FootTracksOf(const CLFFManager& store, const GaitSetup& setup, int first,
                                    int last);

}  // namespace kivra
