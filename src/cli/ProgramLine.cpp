// SPDX-License-Identifier: GPL-3.0-or-later
#include <iostream>
#include <optional>

#include "chip/Devices.h"
#include "cli/Arguments.h"
#include "cli/CommandLine.h"
#include "cli/CommandRun.h"

namespace lpt51::cli {

namespace {

// Runs what the words ask for; nullopt when they ask for the window.
std::optional<int> Run(const std::vector<std::string>& args, CommandNeeded needed,
                       std::ostream& out, std::ostream& err, Options& o) {
    try {
        o = ParseArguments(args, needed);
    } catch (const UsageError& e) {
        err << "lpt51: " << e.text << "\nTry 'lpt51 --help'.\n";
        return kExitUsage;
    }
    if (o.help) {
        out << o.helpText;
        return kExitDone;
    }
    if (o.version) {
        out << "lpt51 " << LPT51_VERSION << '\n';
        return kExitDone;
    }
    if (o.command == nullptr) return std::nullopt;
    CommandRun run(o, out, err);
    return o.command->handler(run);
}

}  // namespace

int RunCommandLine(std::vector<std::string> args, std::ostream& out, std::ostream& err) {
    Options o;
    return Run(args, CommandNeeded::Yes, out, err, o).value_or(kExitUsage);
}

std::optional<int> RunProgramLine(const std::vector<std::string>& args, WindowArguments& window) {
    Options o;
    const std::optional<int> code =
        Run(args, CommandNeeded::NoWindowInstead, std::cout, std::cerr, o);
    if (!code) {
        window.backend = o.backend;
        if (o.timingGiven) window.timing = o.timing;
        if (o.device != chip::kNoSelect) window.device = o.device;
        window.screenshot = o.screenshot;
        window.words = o.operands;
    }
    return code;
}

}  // namespace lpt51::cli
