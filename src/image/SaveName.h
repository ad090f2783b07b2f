// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace lpt51::image {

// Replaces the extension of the file-name part (from its last '.') with
// `extension`, or appends it when that part has no '.'. Dots in directory
// names do not count.
std::string ChangeExtension(std::string_view name, std::string_view extension);

}  // namespace lpt51::image
