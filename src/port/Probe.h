// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "port/Bus.h"

namespace lpt51 {

// The port-mode probe: drive 0, turn the data lines to input, write 3, read.
// A bidirectional port reads its pull-ups (0xFF), an output-only port the 3
// it still drives; anything else means no pull-ups. No wait between steps,
// and the port is left as the probe leaves it (lines inputs).
std::uint8_t ProbePort(Bus& bus);

inline constexpr std::uint8_t kProbeBidirectional = 0xFF;
inline constexpr std::uint8_t kProbeOutputOnly = 0x03;

}  // namespace lpt51
