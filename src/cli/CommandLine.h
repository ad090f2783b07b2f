// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "backend/Backend.h"
#include "chip/At89c51.h"

namespace lpt51::cli {

// Exit codes of the command line, as --help lists them.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;  // operation failed or refused
inline constexpr int kExitUsage = 2;
inline constexpr int kExitPort = 3;  // the port cannot be used (or cannot read the chip)
inline constexpr int kExitSigHup = 129;
inline constexpr int kExitSigInt = 130;
inline constexpr int kExitSigTerm = 143;

// Runs one command: args are the words after the program name. Results go to
// `out`, messages, questions and progress to `err`.
int RunCommandLine(std::vector<std::string> args, std::ostream& out, std::ostream& err);

// What the program's words say about the window when they name no command.
struct WindowArguments {
    BackendOptions backend;
    std::string screenshot;                  // save the window as this PNG and quit
    std::vector<std::string> words;          // what no option took: the window's own
    std::optional<chip::TimingKind> timing;  // --timing, when given
    std::optional<std::string> device;       // --device, when given: a device caption
};

// The program's entry for all of its words: runs the command they name (or
// prints help, the version or a usage error) and returns the exit code, or
// returns nullopt with `window` filled when they name no command.
std::optional<int> RunProgramLine(const std::vector<std::string>& args, WindowArguments& window);

}  // namespace lpt51::cli
