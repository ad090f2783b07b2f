// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include "chip/ProgrammerState.h"
#include "chip/PulseCheck.h"

namespace lpt51::chip {

struct LockSelection {
    bool l1 = false;
    bool l2 = false;
    bool l3 = false;
};

struct LockResult {
    bool deviceChecked = false;  // the device check passed and the bits were given
    // A lock bit whose pulse was too long is pulsed again, up to kPulseTries
    // pulses in all, until one is of normal length.
    PulseChecks pulses;
    // Set when a lock bit got no pulse of normal length: then this message
    // was shown instead of "Lock Bit ... burn successful.".
    std::optional<std::string> failure;

    bool anyBit = false;  // a bit was chosen

    // Every chosen bit got a pulse of normal length. A lock whose pulses ran
    // long may not have taken, and nothing else would notice it on hardware.
    bool locked() const { return deviceChecked && anyBit && !failure; }
};

// The whole Lock Chip command: device check, "No Lock Bit Select" when none is
// chosen, the chosen bits in the order 1, 2, 3, ReleaseBus, and the "Lock Bit
// ... burn successful." message (or the failure).
LockResult LockChip(ChipContext& ctx, const std::string& cpuCaption, LockSelection bits);

// "Lock Bit 1   burn successful." for l1 alone, and so on.
std::string LockMessage(LockSelection bits);

}  // namespace lpt51::chip
