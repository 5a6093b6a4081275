#pragma once
// Numbers in the settings file, tables and command lines: a decimal point whatever the locale.
// And short excerpts of what a file held, for messages.
#include <optional>
#include <string>
#include <string_view>

namespace kivra {

// The whole text as a finite number above zero, or nothing.
std::optional<double> ParsePositiveNumber(std::string_view text);
// value with `decimals` digits after the point, in full however large; empty when it is not
// a finite number.
std::string FixedText(double value, int decimals);
// The same appended to out: a table's cell, left empty for a missing or non-finite value.
void AppendFixed(std::string& out, const std::optional<double>& value, int decimals);

// At most maxBytes of text for a message about it, cut at a character boundary and marked
// with "..." where it was cut: a damaged file's one long word must not become the message.
std::string Excerpt(std::string_view text, std::size_t maxBytes = 40);

}  // namespace kivra
