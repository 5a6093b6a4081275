#pragma once
// Replacing a whole file without ever leaving it half written: used for the settings file,
// the marker file and the CSV export.
#include <functional>
#include <string>
#include <string_view>

namespace kivra {

// Writes bytes to a new temporary file in the target's folder, syncs it and renames it over
// path (the file a symbolic link points to, when path is one). An existing file keeps its
// permissions; a new one gets newFileMode less the umask (0600 for the patient's data). False
// when any step fails; the old file is then untouched and no temporary file is left behind.
bool ReplaceFileContents(const std::string& path, std::string_view bytes,
                         unsigned newFileMode = 0666);

// Takes the next piece of a file's bytes; false once writing failed.
using ByteSink = std::function<bool(std::string_view bytes)>;

// The same for a file too large to hold in memory: produce hands the bytes to the sink piece by
// piece and returns false to give up (a failed write included), which leaves the old file.
bool ReplaceFileStreamed(const std::string& path,
                         const std::function<bool(const ByteSink&)>& produce,
                         unsigned newFileMode = 0666);

// The file that ReplaceFileContents(path, ...) replaces: the one a symbolic link points to, or
// path itself (also when the link leads nowhere).
std::string ReplacementTarget(const std::string& path);

}  // namespace kivra
