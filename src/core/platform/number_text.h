#pragma once
// Numbers in the settings file and on command lines: a decimal point whatever the locale.
#include <optional>
#include <string>
#include <string_view>

namespace kivra {

// The whole text as a finite number above zero, or nothing.
std::optional<double> ParsePositiveNumber(std::string_view text);
// value with `decimals` digits after the point.
std::string FixedText(double value, int decimals);

}  // namespace kivra
