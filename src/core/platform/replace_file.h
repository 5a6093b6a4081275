#pragma once
// Replacing a whole file without ever leaving it half written: used for the settings file,
// the marker file and the CSV export.
#include <string>
#include <string_view>

namespace kivra {

// Writes bytes to a new temporary file in the target's folder, syncs it and renames it over
// path (the file a symbolic link points to, when path is one). An existing file keeps its
// permissions. False when any step fails; the old file is then untouched and no temporary
// file is left behind.
bool ReplaceFileContents(const std::string& path, std::string_view bytes);

// The file that ReplaceFileContents(path, ...) replaces: the one a symbolic link points to, or
// path itself (also when the link leads nowhere).
std::string ReplacementTarget(const std::string& path);

}  // namespace kivra
