// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace lpt51::image {

struct RunResult {
    bool started = false;
    // Why it could not be started, with the system's reason, when !started.
    std::string startError;
    bool exited = false;  // ended normally; exitStatus is valid
    int exitStatus = 0;
    int signal = 0;  // the signal that ended it, when !exited
    // What it wrote to its standard error (the first kErrorOutputLimit
    // bytes): its own account of a failure, for the user's message.
    std::string errorOutput;
};

inline constexpr std::size_t kErrorOutputLimit = 4096;

// Starts `program` (an absolute path, run directly with no shell) with
// `args` in `workingDir`, and waits for it to end without a time limit. Its
// standard error is collected into the result instead of the terminal.
[[nodiscard]] RunResult RunAndWait(const std::string& program, const std::vector<std::string>& args,
                                   const std::string& workingDir);

}  // namespace lpt51::image
