// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ostream>

namespace lpt51::cli {

// The parallel ports found, a row each on out, and on err why there are
// none or what to do when no driver is loaded. The completion reads the
// table too: the first word of each row is a --port value.
void ListPorts(std::ostream& out, std::ostream& err);

}  // namespace lpt51::cli
