// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>

#include "chip/At89c51.h"
#include "chip/ProgrammerState.h"
#include "chip/Progress.h"
#include "image/HexField.h"

namespace lpt51::chip {

// A read-out: the bytes read, and whether it was asked to stop between two
// records (then only `bytesRead` of them were read).
struct ChipReadOut {
    CodeBytes bytes{};
    std::size_t bytesRead = 0;
    bool stopped = false;
};

// The whole code memory, record by record, with the same port sequence as
// ReadChip; ends with ReleaseBus, also when stopped.
ChipReadOut ReadWholeChip(ChipContext& ctx, ProgressObserver* observer);

// The read-out as Intel HEX text: 256 records of 16 bytes, then the end record.
image::Lines ReadOutLines(const CodeBytes& bytes);

// Reads all kCodeSize bytes and returns the 257 lines of Intel HEX (256 records of
// 16 bytes, then ":00000001FF"); each line also goes to observer->lineAppended
// as soon as it is complete, and bytesDone after each record. No device check.
// Ends with ReleaseBus; AddrLow/AddrHigh end at 0xFF/0x0F. The handler does the
// window work, the temporary file and the current image file name.
image::Lines ReadChip(ChipContext& ctx, ProgressObserver* observer);

// The raw bytes alone (same port sequence), for callers that want no text.
CodeBytes ReadChipBytes(ChipContext& ctx, ProgressObserver* observer);

}  // namespace lpt51::chip
