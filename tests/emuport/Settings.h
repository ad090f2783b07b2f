// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include "sim/VirtualAdapter.h"

namespace lpt51::emuport {

// How the process reaches the port, as the machine offers it.
enum class Access {
    Ppdev,    // /dev/parportN for a member of the group lp; /dev/port refused
    DevPort,  // no ppdev module: only /dev/port, as root
};

// The emulated machine, read from the environment of the process it is
// loaded into:
//
//   LPT51_EMU_CHIP    12v | 5v | empty | foreign   chip when there is no state file yet (12v)
//   LPT51_EMU_STATE   FILE                         the chip's state file, kept across runs
//   LPT51_EMU_PORT    bidi | spp | nopullups       the port kind (bidi); spp failed the
//                                                  kernel's PS/2 test at boot
//   LPT51_EMU_BASE    0x378 | 0xD010 | ... | none  the port's base address (0x378); none: the
//                                                  parport driver is loaded but found no port
//   LPT51_EMU_IRQ     none | N                     the port's interrupt (none)
//   LPT51_EMU_ECR     present | none | 0xNN        an extended control register at base +
//                                                  0x402, and its value at boot (present: 0x34)
//   LPT51_EMU_WIRING  FAULT                        the adapter miswired, as --sim-wiring
//                                                  says it (e.g. grounded:D3)
//   LPT51_EMU_OSC     MHZ                          the adapter's crystal, as --sim-osc (12)
//   LPT51_EMU_ACCESS  ppdev | devport              (ppdev)
//   LPT51_EMU_DENY    1                            opening /dev/parport0 is refused (EACCES)
//   LPT51_EMU_LOG     FILE                         the register log, appended to
//   LPT51_EMU_FAULTS  FILE                         the virtual adapter's faults, appended to
struct Settings {
    sim::ChipKind chip = sim::ChipKind::Part12V;
    std::string stateFile;
    sim::PortKind portKind = sim::PortKind::Bidirectional;
    sim::WiringFault wiring;
    double oscMHz = 12.0;
    std::optional<unsigned long> base = 0x378;
    int irq = -1;
    std::optional<unsigned> ecrAtBoot = 0x34;
    Access access = Access::Ppdev;
    bool denyPpdev = false;
    std::string logFile;
    std::string faultFile;

    unsigned long baseHigh() const { return *base + 0x400; }

    // The settings the environment asks for, or the reason they are wrong.
    static std::optional<Settings> fromEnvironment(std::string& problem);
    // One line for the head of the register log.
    std::string describe() const;
};

}  // namespace lpt51::emuport
