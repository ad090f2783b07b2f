#pragma once

#include <string>

#include "app/MainWindow.h"

namespace lpt51::app {

// The context the program builds its window on, for the executable in
// `programDir`: d51 looked for there (or in the prefix's libexec directory),
// settings and temporary files there when it is writable, else in the user's
// state directory.
WindowContext ProgramWindowContext(Backend& backend, Dialogs& dialogs,
                                   const std::string& programDir, bool virtualTiming);

// Where the Open and Save dialogs start: the directory the files are kept in
// when that is the program's own, else (a state directory the user never
// looks into) the working directory the program was started in.
std::string DialogDirectory(const WindowContext& context);

}  // namespace lpt51::app
