// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "chip/ProgrammerState.h"

namespace lpt51::chip {

// The whole Clear Chip command: device check, erase pulse, and "Chip is clear"
// unless CwvActive. Returns true when the erase pulse was sent. Touches no
// window state, so the window calls it as it is.
bool ClearChip(ChipContext& ctx, const std::string& cpuCaption);

// The port sequence alone (initial sequence, erase pulse, ReleaseBus).
void EraseSequence(Bus& bus, bool is12V, const EraseWaits& waits = kStandardTiming.erase);

}  // namespace lpt51::chip
