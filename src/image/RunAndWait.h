#pragma once

#include <string>
#include <vector>

namespace lpt51::image {

struct RunResult {
    bool started = false;
    bool exited = false;  // ended normally; exitStatus is valid
    int exitStatus = 0;
    int signal = 0;  // the signal that ended it, when !exited
};

// Starts `program` (an absolute path, run directly with no shell) with
// `args` in `workingDir`, and waits for it to end without a time limit.
RunResult RunAndWait(const std::string& program, const std::vector<std::string>& args,
                     const std::string& workingDir);

}  // namespace lpt51::image
