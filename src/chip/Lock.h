#pragma once

#include <string>

#include "chip/ProgrammerState.h"

namespace lpt51::chip {

struct LockSelection {
    bool l1 = false;
    bool l2 = false;
    bool l3 = false;
};

// The whole Lock Chip command: device check, "No Lock Bit Select" when none is
// chosen, the chosen bits in the order 1, 2, 3, ReleaseBus, and the "Lock Bit
// ... burn successful." message. Returns true when the device check passed.
bool LockChip(ChipContext& ctx, const std::string& cpuCaption, LockSelection bits);

// "Lock Bit 1   burn successful." for l1 alone, and so on.
std::string LockMessage(LockSelection bits);

}  // namespace lpt51::chip
