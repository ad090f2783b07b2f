// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "backend/Backend.h"
#include "chip/Devices.h"
#include "chip/Lock.h"
#include "cli/Commands.h"
#include "cli/ImageOperand.h"

namespace lpt51::cli {

// Everything the words after the program name ask for.
struct Options {
    BackendOptions backend;
    std::string device = chip::kNoSelect;
    chip::TimingKind timing = chip::TimingKind::Standard;  // --timing standard|datasheet
    bool timingGiven = false;
    bool yes = false;
    bool force = false;
    bool quiet = false;
    bool noVerify = false;                  // write: no read-back after programming
    bool verbose = false;                   // the stages on stderr
    ImageFormat format = ImageFormat::Hex;  // what "-" and a name without .hex/.bin hold
    bool help = false;                      // helpText holds what to print
    bool version = false;                   // --version
    std::string helpText;
    const Command* command = nullptr;  // none: the window, where that is allowed
    // The command's operand, or without a command the words left for the window.
    std::vector<std::string> operands;
    chip::LockSelection lockBits;  // a BITS operand, read
    std::string screenshot;        // the window's --screenshot FILE.png
};

// A mistake in the words; `text` is shown after "lpt51: ", followed by a hint
// to --help.
struct UsageError {
    std::string text;
};

// Whether the words may leave out the command: the program opens its window
// then, and takes the window's own options.
enum class CommandNeeded { Yes, NoWindowInstead };

// Reads the words. Throws UsageError.
Options ParseArguments(const std::vector<std::string>& args, CommandNeeded needed);

// The parser ParseArguments builds for one line, kept to read any number of
// lines: building it costs far more than reading one.
class ArgumentParser {
  public:
    explicit ArgumentParser(CommandNeeded needed);
    ~ArgumentParser();
    ArgumentParser(const ArgumentParser&) = delete;
    ArgumentParser& operator=(const ArgumentParser&) = delete;

    // As ParseArguments; nothing of an earlier line carries over.
    Options parse(const std::vector<std::string>& args);

  private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

// The command words, in the order --help lists them.
std::vector<std::string> CommandNames();

// Of `candidates`, the one a mistyped `word` most likely meant; empty when
// none is close.
std::string ClosestWord(const std::string& word, const std::vector<std::string>& candidates);

}  // namespace lpt51::cli
