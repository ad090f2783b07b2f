#pragma once

#include <optional>
#include <string>

#include "chip/ProgrammerState.h"
#include "chip/ReadOut.h"
#include "cli/CommandRun.h"

namespace lpt51::cli {

// The device check, then the image with a progress bar. The final message
// is shown at once, or left to the caller through `message`.
bool WriteStep(CommandRun& r, chip::ChipContext& ctx,
               std::optional<std::string>* message = nullptr);

// Reads back every byte the write programmed, as verify reads it but
// without its questions; true when the chip holds the image. A difference
// is said in one line, however many bytes differ.
bool ReadBackStep(CommandRun& r, chip::ChipContext& ctx);

// The compare with a progress bar, the differences and the final message;
// true when the chip holds the image.
bool VerifyStep(CommandRun& r, chip::ChipContext& ctx);

// The whole code memory, with a progress bar.
chip::CodeBytes ReadWholeChip(CommandRun& r, chip::ChipContext& ctx);

}  // namespace lpt51::cli
