#pragma once
// The gait events of one video, as detected and then edited, in a small text file of our own
// beside the marker file, "<marker file base>.kgait":
//
//   kivra-gait 2
//   event 31 R HS 30.62
//   event 52 L TO
//
// One "key values" line each, '#' starts a comment line. Unknown keys are refused, so a newer
// file is never half understood. The moment between frames follows the kind where it is not
// the frame itself (a detected event kept through an edit of another); only then is the file
// of version 2, so a list of whole frames stays readable by version 1.
//
// The file of a front video may also name its marker roles for the frontal measures; only then
// is it of version 3, so every other file is written as before:
//
//   front-pelvis 1 2 9           (right, left, trunk; 0: none)
//   front-leg R 3 4 5 7          (hip, knee, ankle, heel; 0: none)
//
// Or, of any video, its own foot and pelvis markers, in place of the window's [Gait] ones and
// of the command line's defaults; they too make it version 3:
//
//   foot R 5 6                   (heel, toe)
//   pelvis 2
//
// A file of roles without events reads as one without events: they are detected.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gait/frontal_roles.h"
#include "gait/gait_events.h"
#include "gait/gait_setup.h"

namespace kivra {

// The events file of a marker file: its extension replaced by ".kgait".
std::string GaitFilePath(const std::string& markerPath);

inline constexpr int kGaitFileVersion = 3;
// Files larger than this are not ours (about 200,000 events).
inline constexpr std::size_t kMaxGaitFileBytes = 4u << 20;

// A video's own feet and pelvis; kept in its events file, read by the window and the commands.
struct FootRoles {
    std::optional<FootMarkers> right, left;
    int pelvisId = 0;  // 0: none
    bool operator==(const FootRoles&) const = default;

    static FootRoles Of(const GaitSetup& setup);
    // setup with these feet and this pelvis, its filter and bands kept.
    GaitSetup AppliedTo(GaitSetup setup) const;
};

struct GaitFileRead {
    enum Status { kMissing, kLoaded, kDamaged };
    Status status = kMissing;
    std::vector<GaitEvent> events;  // only with kLoaded, ordered
    std::string problem;            // only with kDamaged: what is wrong, for the user
    // The front roles, with kLoaded or, in a file of roles alone, with kMissing.
    std::optional<FrontalSetup> frontal;
    std::optional<FootRoles> feet;  // as frontal
};

// The file's text, events in their order; ParseGaitFile reads it back exactly.
std::string FormatGaitFile(const std::vector<GaitEvent>& events,
                           const std::optional<FrontalSetup>& frontal = std::nullopt,
                           const std::optional<FootRoles>& feet = std::nullopt);
GaitFileRead ParseGaitFile(std::string_view text);
// Missing when nothing is at path; damaged when it cannot be read, is not a regular file, is
// too large or does not parse.
GaitFileRead ReadGaitFile(const std::string& path);
// Replaces the file's events in one step, keeping the roles it holds; false leaves an old
// file intact.
bool WriteGaitFile(const std::string& path, const std::vector<GaitEvent>& events);
// Replaces the front roles (none: takes them out) in one step, keeping the events and the feet;
// false for a damaged file, left as it is, or a failed write. A file left with nothing is
// removed.
bool WriteFrontalRoles(const std::string& path, const std::optional<FrontalSetup>& frontal);
// The same for the feet and pelvis.
bool WriteFootRoles(const std::string& path, const std::optional<FootRoles>& feet);

}  // namespace kivra
