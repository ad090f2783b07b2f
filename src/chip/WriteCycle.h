// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "chip/ProgrammerState.h"

namespace lpt51::chip {

// Waits for the end of a code byte's write cycle, PROG just gone high. A
// timing that polls does so on a bidirectional port: the lines turn to
// input, P2.7 falls into the read-code mode (the latches keep the address
// and the programming voltage), P0.7 is read until it shows bit 7 of the
// byte written, then the whole byte once more; P2.7 rises and the lines
// drive again. Every byte is so verified as it is written. Otherwise the
// cycle is waited out.
//
// Returns why the write must stop: the byte read differs from the byte
// written, or the cycle did not end in time; nothing when it went well.
std::optional<std::string> EndWriteCycle(Bus& bus, const ProgrammerState& st, std::uint8_t written);

}  // namespace lpt51::chip
