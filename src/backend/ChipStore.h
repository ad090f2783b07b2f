#pragma once

#include <optional>
#include <string>

#include "sim/VirtualAdapter.h"

namespace lpt51 {

// The virtual chip's state file as the backend uses it.
struct LoadedChip {
    std::optional<sim::ChipState> chip;  // empty: the file is unusable
    bool fileExisted = false;
    std::string problem;  // why the file is unusable
};

// A missing file gives an erased chip of `kind` (the file is written on the
// first persist); a damaged or foreign file gives no chip and the reason.
LoadedChip loadChip(const std::string& path, sim::ChipKind kind);

// Replaces the file atomically. Returns the reason on failure.
std::optional<std::string> saveChip(const std::string& path, const sim::ChipState& chip);

}  // namespace lpt51
