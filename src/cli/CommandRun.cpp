// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandRun.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <iostream>

#include "cli/CommandLine.h"
#include "cli/ImageOperand.h"
#include "cli/Interrupt.h"
#include "cli/OpenCheck.h"
#include "image/AppFiles.h"
#include "image/HexScan.h"
#include "session/Operations.h"
#include "session/WritableFiles.h"

namespace lpt51::cli {

namespace {

session::SessionSetup SetupFor(const Options& o, std::ostream& err) {
    session::SessionSetup setup;
    if (o.verbose) setup.stage = [&err](const std::string& s) { err << "lpt51: " << s << '\n'; };
    setup.backend = o.backend;
    setup.timing = o.timing;
    setup.filesDirectory = [] { return image::ResolveAppDirs(image::AppDirOfExecutable()).files; };
    return setup;
}

}  // namespace

CommandRun::CommandRun(const Options& o, std::ostream& out, std::ostream& err)
    : options(o), out(out), err(err), prompts(err, o.yes), session(SetupFor(o, err)) {}

bool CommandRun::readImage() {
    const std::string& operand = options.operands[0];
    const auto waiting = [&] {
        err << "lpt51: waiting for data on " << operand << " (nothing has written to it yet)\n"
            << std::flush;
    };
    if (auto e = LoadImageOperand(operand, options.format, lines, command().nothingDone, waiting)) {
        err << "lpt51: " << *e << '\n';
        return false;
    }
    // Open calls an empty text an illegal character; here it is said plainly.
    if (std::all_of(lines.begin(), lines.end(), [](const std::string& l) {
            return l.find_first_not_of(" \t\r") == std::string::npos;
        })) {
        err << "lpt51: " << OperandName(operand) << ": " << chip::kNoImageData << '\n';
        return false;
    }
    const OpenCheckResult open = CheckLikeOpen(lines);
    if (!open.ok) {
        err << "lpt51: " << OperandName(operand) << ": " << TerminalText(open.message) << '\n';
        if (!open.where.empty())
            err << "lpt51: " << OperandName(operand) << ": " << open.where << '\n';
        return false;
    }
    codeSize = open.codeSize;
    return true;
}

bool CommandRun::scanImage() {
    image = chip::ScanImage(lines);
    for (const chip::ImageProblem& warning : image.warnings) {
        err << "lpt51: " << OperandName(options.operands[0])
            << ": warning: " << image::ProblemText(warning) << '\n';
    }
    if (!image.problem) return true;
    // In the words the window uses for the same refusal.
    err << "lpt51: " << OperandName(options.operands[0]) << ": "
        << TerminalText(
               chip::RefusalText(*image.problem, command().operation, command().nothingDone))
        << '\n';
    return false;
}

int CommandRun::checkFiles() {
    if (auto problem = session::UnwritableFile(options.backend, command().changesChip)) {
        err << "lpt51: " << problem->text << '\n';
        return problem->chipUnusable ? kExitPort : kExitFailed;
    }
    return kExitDone;
}

int CommandRun::openPort() {
    if (const int e = checkFiles(); e != kExitDone) return e;
    session.open();
    return reportOpened();
}

int CommandRun::reportOpened() {
    switch (session.refusal()) {
        case session::PortRefusal::None:
            break;
        case session::PortRefusal::SlowClock:
            err << "lpt51: the processor clock measured " << session.cpuMHz()
                << " MHz; bus timing cannot be derived from it\n";
            return kExitPort;
        case session::PortRefusal::NotOpened:
        case session::PortRefusal::Unusable:
            err << "lpt51: " << session.problem() << '\n';
            return kExitPort;
    }
    if (const std::string notice = session.notice(); !notice.empty())
        err << "lpt51: " << notice << '\n';
    if (session.pullUpsMissing()) prompts.showMessage(session::kNoPullUps);
    return kExitDone;
}

ProgressStyle CommandRun::style() const {
    if (options.quiet) return ProgressStyle::Quiet;
    return (&err == &std::cerr && ::isatty(STDERR_FILENO)) ? ProgressStyle::Bar
                                                           : ProgressStyle::Line;
}

TerminalView& CommandRun::view() {
    if (!view_) view_.emplace(err, style(), session.backend()->clock(), prompts);
    return *view_;
}

int CommandRun::operate(const std::function<session::OperationResult()>& operation) {
    const InterruptGuard guard;
    const auto started = std::chrono::steady_clock::now();
    if (options.verbose) err << "lpt51: " << command().name << " started\n";
    const session::OperationResult result = operation();
    if (result.refused) {
        // Nothing was done: another lpt51 has the chip, or its state file
        // cannot be used, and no port was worked.
        for (const std::string& m : result.messages) err << "lpt51: " << m << '\n';
        return kExitPort;
    }
    if (result.needsBidirectional) {
        for (const std::string& m : result.said) err << "lpt51: " << TerminalText(m) << '\n';
        return kExitPort;
    }
    if (options.verbose) {
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
        err << "lpt51: " << command().name << " ended after " << took.count() << " s\n";
    }
    const int code = PresentResult(prompts, err, result);
    // A stop comes between two bytes; erase and lock are not broken off
    // halfway, since a pulse cut short would leave the chip worse off than
    // one that has finished.
    if (const int sig = PendingSignal()) {
        err << (result.outcome == session::Outcome::Stopped
                    ? "lpt51: interrupted.\n"
                    : "lpt51: interrupted after the operation had finished; the port is at "
                      "rest.\n");
        ClearInterruptFlag();
        return SignalExitCode(sig);
    }
    return code;
}

int PresentResult(Prompts& prompts, std::ostream& err, const session::OperationResult& result) {
    for (const std::string& m : result.said) prompts.showMessage(m);
    // Said on every port and under --quiet: on hardware nothing else would
    // tell that a pulse ran long.
    if (const std::string pulses = result.pulses.text(); !pulses.empty())
        err << "lpt51: " << pulses << '\n';
    for (const std::string& m : result.messages) err << "lpt51: " << TerminalText(m) << '\n';
    for (const std::string& m : result.notes) err << "lpt51: " << m << '\n';
    for (const std::string& line : session::FaultReportLines(result))
        err << "lpt51: " << line << '\n';
    return result.succeeded() ? kExitDone : kExitFailed;
}

}  // namespace lpt51::cli
