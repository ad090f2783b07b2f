// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/InfoText.h"

#include <string>

#include "chip/HexText.h"
#include "cli/CliPrompts.h"

namespace lpt51::cli {

void PrintProgramFacts(std::ostream& out, const session::Facts& f) {
    out << "CPU clock: " << f.cpuMHz << " MHz" << (f.nominalClock ? " (nominal, not measured)" : "")
        << '\n';
    out << "DelayUnit: " << f.delayUnit << '\n';
    if (f.delayUnitUs)
        out << "Delay unit length: " << *f.delayUnitUs << " us\n";
    else
        out << "Delay unit length: not timed (no port)\n";
    out << "Timing: " << (f.nominalClock ? "virtual" : "real") << '\n';
    out << "Chip timing: " << f.timing << " (" << f.timingText << ")\n";
    if (f.realTimeClock) {
        out << "Operations: "
            << (f.realTimeRefusal ? TerminalText(*f.realTimeRefusal)
                                  : std::string("at real-time priority, memory locked"))
            << '\n';
    }
    out << "Files: " << f.filesDirectory << '\n';
}

void PrintPortFacts(std::ostream& out, const session::Facts& f) {
    out << "Port mode: " << (f.bidirectional ? "Bidirectional" : "SPP (Normal)");
    if (f.pullUpsMissing)
        out << " (probe read " << chip::Hex2(f.probe) << ": no pull-ups detected)";
    out << '\n';
    out << "Port: " << f.port.value_or("") << '\n';
}

}  // namespace lpt51::cli
