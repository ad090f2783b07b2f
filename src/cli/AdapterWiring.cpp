// SPDX-License-Identifier: GPL-3.0-or-later
// `lpt51 adapter-wiring`: the adapter's wiring table as docs/adapter.md
// holds it, printed from the table the program itself drives the port by.
#include "chip/AdapterWiring.h"
#include "cli/CommandLine.h"
#include "cli/CommandRun.h"
#include "cli/Commands.h"

namespace lpt51::cli {

int AdapterWiringCommand(CommandRun& run) {
    run.out << chip::WiringTableText();
    return kExitDone;
}

}  // namespace lpt51::cli
