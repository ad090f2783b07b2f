// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "chip/ProgrammerState.h"

namespace lpt51::chip {

// Reads the three signature bytes (at 0x30-0x32) and sets ChipType (asking the
// manufacturer and device questions through the prompts). Does nothing but
// SetControlOut(kRest) while SkipSignature is set. Does not look at BidiMode.
void ReadSignature(ChipContext& ctx);

// The device check that opens erase, write and lock. `cpuCaption` is the
// selected device. Shows its own refusals and question; returns true when the
// operation may proceed, false when it must end with nothing else done.
bool RunDeviceCheck(ChipContext& ctx, const std::string& cpuCaption);

// The signature command: ReadSignature whatever BidiMode is; returns ChipType,
// which the window then shows as the `cpu` caption.
std::string SignatureCommand(ChipContext& ctx);

}  // namespace lpt51::chip
