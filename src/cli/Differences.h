#pragma once

#include <cstddef>
#include <ostream>
#include <vector>

#include "cli/ProgressBar.h"

namespace lpt51::cli {

// After a verify: the first differing bytes, how many differ in all, and
// whether the chip looks as if it had not been erased before the write.
void ReportDifferences(std::ostream& out, const std::vector<Difference>& differences,
                       std::size_t total);

}  // namespace lpt51::cli
