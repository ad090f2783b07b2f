// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include "chip/Lock.h"

namespace lpt51::cli {

// "1", "2", "3" or several of them separated by commas; nullopt otherwise.
std::optional<chip::LockSelection> ParseLockBits(const std::string& text);

}  // namespace lpt51::cli
