#pragma once
// Path helpers for names formed beside a file (temporary files, the marker file).
#include <string>

namespace kivra {

// path with its extension (from the last dot of the file name) replaced by newExtension, which
// starts with a dot. A name without a dot gets newExtension appended. Dots in folder names are
// never taken for the extension.
std::string ReplaceExtension(const std::string& path, const std::string& newExtension);

// The extension of the file name from its last dot on (".avi"); empty when there is none.
std::string FileExtension(const std::string& path);

// Everything up to and including the last '/', or empty.
std::string FolderOf(const std::string& path);

bool EqualsIgnoreCase(const std::string& a, const std::string& b);
bool EndsWithIgnoreCase(const std::string& text, const std::string& suffix);

}  // namespace kivra
