// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace lpt51::file {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, in that
// order, so that the program's own files never take their numbers: a file
// opened as descriptor 2 would receive every message meant for the terminal.
// Called first thing in main, before anything else is opened. False when one
// could not be opened; it is then still closed.
bool OpenStandardStreams();

}  // namespace lpt51::file
