// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ostream>

#include "session/Facts.h"

namespace lpt51::cli {

// The lines of `info` that hold without a port: what the user needs to mend
// a port that fails.
void PrintProgramFacts(std::ostream& out, const session::Facts& f);

// The lines of `info` that only an open port can tell.
void PrintPortFacts(std::ostream& out, const session::Facts& f);

}  // namespace lpt51::cli
