// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lpt51::app {

// Reads a measured current as typed: blanks around it, an optional sign,
// digits with an optional fraction after `decimalSeparator` (and only that
// separator), an optional exponent. Anything else gives no value.
std::optional<long double> ParseReading(const std::string& text, char decimalSeparator);

// The messages the port test shows, in order, for a current of `milliamperes`
// drawn through the pull-ups of the data lines.
std::vector<std::string> ResistorAdvice(long double milliamperes);

inline constexpr const char* kNotANumber = "In real number use comma or dot !";
inline constexpr const char* kReadingTooSmall =
    "The current is too small to compute a resistance from: measure again and type it in mA.";

}  // namespace lpt51::app
