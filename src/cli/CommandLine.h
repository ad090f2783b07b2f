#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace lpt51::cli {

// Exit codes of the command line, as --help lists them.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;  // operation failed or refused
inline constexpr int kExitUsage = 2;
inline constexpr int kExitPort = 3;  // the port cannot be used (or cannot read the chip)
inline constexpr int kExitSigInt = 130;
inline constexpr int kExitSigTerm = 143;

// Runs one command: args are the words after the program name. Results go to
// `out`, messages, questions and progress to `err`.
int RunCommandLine(std::vector<std::string> args, std::ostream& out, std::ostream& err);

}  // namespace lpt51::cli

namespace lpt51 {

// The program's entry for a command word: results on stdout, the rest on stderr.
int RunCommandLine(std::vector<std::string> args);

}  // namespace lpt51
