// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual chip's state file reader.
#include <cstddef>
#include <cstdint>
#include <string>

#include "sim/ChipStateFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    (void)lpt51::sim::parseChipState(text, error);
    return 0;
}
