// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace lpt51::file {

// $XDG_STATE_HOME/lpt51/, or ~/.local/state/lpt51/ when that variable is unset
// or not absolute; empty when there is no home directory either.
std::string StateDirectory();

// mkdir -p, the levels it makes private to the user (mode 0700); true when
// `dir` is a directory afterwards.
bool MakePrivateDirectories(const std::string& dir);

}  // namespace lpt51::file
