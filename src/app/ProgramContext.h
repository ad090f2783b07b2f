// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "app/MainWindow.h"

namespace lpt51::app {

// The context the program builds its window on, for the executable in
// `programDir`: the port opened from `options` by the window's session during
// start-up, d51 looked for in `programDir` (or the prefix's libexec
// directory), settings there when it is writable, else in the user's state
// directory; the temporary files in a directory of this window's own (old
// windows' leftovers are removed as it is made).
WindowContext ProgramWindowContext(const BackendOptions& options, Dialogs& dialogs,
                                   const std::string& programDir);

// Where the Open and Save dialogs start: the directory the files are kept in
// when that is the program's own, else (a state directory the user never
// looks into) the working directory the program was started in.
std::string DialogDirectory(const WindowContext& context);

}  // namespace lpt51::app
