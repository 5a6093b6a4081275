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
// A file of roles without events reads as one without events: they are detected.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gait/frontal_roles.h"
#include "gait/gait_events.h"

namespace kivra {

// The events file of a marker file: its extension replaced by ".kgait".
std::string GaitFilePath(const std::string& markerPath);

inline constexpr int kGaitFileVersion = 3;
// Files larger than this are not ours (about 200,000 events).
inline constexpr std::size_t kMaxGaitFileBytes = 4u << 20;

struct GaitFileRead {
    enum Status { kMissing, kLoaded, kDamaged };
    Status status = kMissing;
    std::vector<GaitEvent> events;  // only with kLoaded, ordered
    std::string problem;            // only with kDamaged: what is wrong, for the user
    // The front roles, with kLoaded or, in a file of roles alone, with kMissing.
    std::optional<FrontalSetup> frontal;
};

// The file's text, events in their order; ParseGaitFile reads it back exactly.
std::string FormatGaitFile(const std::vector<GaitEvent>& events,
                           const std::optional<FrontalSetup>& frontal = std::nullopt);
GaitFileRead ParseGaitFile(std::string_view text);
// Missing when nothing is at path; damaged when it cannot be read, is not a regular file, is
// too large or does not parse.
GaitFileRead ReadGaitFile(const std::string& path);
// Replaces the file's events in one step, keeping the front roles it holds; false leaves an
// old file intact.
bool WriteGaitFile(const std::string& path, const std::vector<GaitEvent>& events);
// Replaces the front roles (none: takes them out) in one step, keeping the events; false for a
// damaged file, left as it is, or a failed write. A file left with neither is removed.
bool WriteFrontalRoles(const std::string& path, const std::optional<FrontalSetup>& frontal);

}  // namespace kivra
