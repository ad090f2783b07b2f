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
    if (!image.problem) return true;
    err << "lpt51: " << OperandName(options.operands[0]) << ": "
        << TerminalText(
               chip::RefusalText(*image.problem, command().operation, command().nothingDone))
        << '\n';
    return false;
}

int CommandRun::checkFiles() {
    if (auto problem = session::UnwritableFile(options.backend)) {
        err << "lpt51: " << *problem << '\n';
        return kExitFailed;
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

bool CommandRun::refuseOutputOnly(const char* what) {
    if (session.state().BidiMode == 1) return false;
    err << "lpt51: " << what
        << " needs a bidirectional port, and this port only drives its data lines (SPP "
           "(Normal)); it cannot read the chip. Set the port to bidirectional/PS2/EPP mode "
           "in the BIOS.\n";
    return true;
}

ProgressStyle CommandRun::style() const {
    if (options.quiet) return ProgressStyle::Quiet;
    return (&err == &std::cerr && ::isatty(STDERR_FILENO)) ? ProgressStyle::Bar
                                                           : ProgressStyle::Line;
}

int CommandRun::operate(const std::function<session::Outcome(chip::ChipContext&)>& operation,
                        session::Priority priority) {
    const InterruptGuard guard;
    int signal = 0;
    const auto started = std::chrono::steady_clock::now();
    if (options.verbose) err << "lpt51: " << command().name << " started\n";
    const session::OperationResult result = session.run(
        prompts, command().changesChip ? sim::ChipUse::Changes : sim::ChipUse::Reads,
        [&](chip::ChipContext& ctx) {
            try {
                return operation(ctx);
            } catch (const Interrupted& i) {
                prompts.setVerifying(false);
                ctx.bus.ReleaseBus();
                signal = i.signal;
                return session::Outcome::Stopped;
            }
        },
        priority);
    if (result.outcome == session::Outcome::Stopped) {
        for (const std::string& m : result.messages) err << "lpt51: " << m << '\n';
        err << "\nlpt51: interrupted. The port is at rest; the chip may be partly "
            << (command().changesChip ? "programmed: erase and write it again."
                                      : "read (it was not changed).")
            << '\n';
        ClearInterruptFlag();
        return SignalExitCode(signal);
    }
    if (result.refused) {
        // Nothing was done: another lpt51 has the chip, or its state file is
        // damaged, and no port was worked.
        for (const std::string& m : result.messages) err << "lpt51: " << m << '\n';
        using Kind = sim::ChipStateRefusal::Kind;
        const Kind kind = result.refused->kind;
        return kind == Kind::InUse || kind == Kind::Unreadable ? kExitPort : kExitFailed;
    }
    if (options.verbose) {
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
        err << "lpt51: " << command().name << " ended after " << took.count() << " s\n";
    }
    const int code = PresentResult(err, result);
    // Erase and lock are not broken off halfway: a pulse cut short would
    // leave the chip in a worse state than one that has finished.
    if (const int sig = PendingSignal()) {
        err << "lpt51: interrupted after the operation had finished; the port is at rest.\n";
        ClearInterruptFlag();
        return SignalExitCode(sig);
    }
    return code;
}

int PresentResult(std::ostream& err, const session::OperationResult& result) {
    // Said on every port and under --quiet: on hardware nothing else would
    // tell that a pulse ran long.
    if (const std::string pulses = result.pulses.text(); !pulses.empty())
        err << "lpt51: " << pulses << '\n';
    for (const std::string& m : result.messages) err << "lpt51: " << m << '\n';
    for (const std::string& line : result.faults) err << "lpt51: virtual adapter " << line << '\n';
    if (!result.faults.empty()) err << "lpt51: " << result.faultSummary << '\n';
    return result.succeeded() ? kExitDone : kExitFailed;
}

}  // namespace lpt51::cli
