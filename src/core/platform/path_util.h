#pragma once
// File-name helpers: names formed beside a file (temporary files, the marker file), joined
// paths, and comparisons that ignore letter case.
#include <string>
#include <string_view>

namespace kivra {

// path with its extension (from the last dot of the file name) replaced by newExtension, which
// starts with a dot. A name without a dot gets newExtension appended. Dots in folder names are
// never taken for the extension.
std::string ReplaceExtension(const std::string& path, const std::string& newExtension);

// The extension of the file name from its last dot on (".avi"); empty when there is none.
std::string FileExtension(const std::string& path);

// Everything up to and including the last '/', or empty.
std::string FolderOf(const std::string& path);

// folder + "/" + name, without doubling a slash that ends folder ("" gives "/name").
std::string JoinPath(std::string_view folder, std::string_view name);

// Comparisons that ignore ASCII letter case only, whatever the locale.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
bool EndsWithIgnoreCase(std::string_view text, std::string_view suffix);

}  // namespace kivra
