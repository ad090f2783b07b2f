// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <ostream>
#include <vector>

#include "chip/Verify.h"

namespace lpt51::cli {

// After a verify: the first differing bytes, how many differ in all, and
// whether the chip looks as if it had not been erased before the write.
void ReportDifferences(std::ostream& out, const std::vector<chip::ByteDifference>& differences,
                       std::size_t total);

}  // namespace lpt51::cli
