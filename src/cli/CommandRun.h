// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "chip/ImageScan.h"
#include "chip/ProgrammerState.h"
#include "cli/Arguments.h"
#include "cli/CliPrompts.h"
#include "cli/Commands.h"
#include "cli/ProgressBar.h"
#include "cli/TerminalView.h"
#include "image/HexField.h"
#include "session/Session.h"

namespace lpt51::cli {

// What a command's handler works with: its words, its streams, its
// answers and the session it runs on.
class CommandRun {
  public:
    CommandRun(const Options& options, std::ostream& out, std::ostream& err);

    const Command& command() const { return *options.command; }
    // The FILE operand as Intel HEX text, refused as Open would refuse it;
    // false after saying why. readImage() stops before the chip's own refusals
    // (bytes beyond the code memory), which scanImage() adds.
    bool readImage();
    bool scanImage();
    bool takeImage() { return readImage() && scanImage(); }
    // Opens the session's port; kExitDone, or after saying why kExitFailed
    // when a file the run writes cannot be written (checkFiles(), asked
    // before the port is touched) and kExitPort when the port is unusable.
    int openPort();
    int checkFiles();
    // What openPort() says after the session was opened.
    int reportOpened();
    // Runs one of the session's operations with Ctrl-C, SIGTERM and SIGHUP
    // asking it to stop between two bytes, and turns what it gives back
    // into the exit code: its messages and the virtual adapter's faults on
    // err, a stop as an interrupt.
    int operate(const std::function<session::OperationResult()>& operation);
    ProgressStyle style() const;
    // What the operations show while they run.
    TerminalView& view();

    const Options& options;
    std::ostream& out;
    std::ostream& err;
    CliPrompts prompts;
    session::Session session;
    image::Lines lines;        // after readImage()
    long codeSize = 0;         // as Open counts it, after readImage()
    chip::ScannedImage image;  // after scanImage(): what the operations walk

  private:
    std::optional<TerminalView> view_;
};

// Prints what the session gave back after an operation (its own texts, the
// pulses that ran long, lpt51's messages, the faults with the summary) and
// returns the exit code of an operation that was not interrupted.
int PresentResult(Prompts& prompts, std::ostream& err, const session::OperationResult& result);

}  // namespace lpt51::cli
