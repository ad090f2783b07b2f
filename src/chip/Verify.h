// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "chip/ImageScan.h"
#include "chip/ProgrammerState.h"
#include "chip/Progress.h"
#include "image/HexField.h"

namespace lpt51::chip {

struct VerifyResult {
    bool reachedEnd = false;             // the walk ended at the end record
    std::uint64_t remaining = 0;         // bytes of the current record not compared
    std::size_t mismatches = 0;          // differing bytes met
    std::optional<std::string> refusal;  // bad text: nothing compared, no port access
    std::size_t compared = 0;            // bytes read and compared
    bool stopped = false;                // asked to stop between two bytes
};

// A byte of the image that the chip does not hold.
struct ByteDifference {
    std::uint16_t address = 0;
    std::uint8_t onChip = 0;
    std::uint8_t inFile = 0;
    std::size_t index = 0;  // its place among the image's bytes, in walk order
};

// What reading the image's bytes back found.
struct ReadBackResult {
    std::size_t compared = 0;
    std::vector<ByteDifference> differences;
    bool stopped = false;
};

// Compares the chip with the image. Runs no device check. Each differing byte:
// VerifyFailed := 1, observer->mismatch(...), then the Error question
// MismatchQuestion(...); No ends the walk. Ends with ReleaseBus (unless
// refused). The handler then, in this order: reloads the view; shows
// VerifyFinalMessage(result, state) if any; enables the window;
// state.VerifyFailed = 0; enables verify with caption "Verify Chip".
// A scan with a problem is refused with no port access.
VerifyResult VerifyImage(ChipContext& ctx, const ScannedImage& image, ProgressObserver* observer);

// The image's first `limit` bytes (all of them when it is larger), read as
// the verify reads them but without its questions and its flags; ends with
// ReleaseBus. Stops between two bytes when asked, unless `ignoreStop` (the
// read-back that tells what a stopped write left).
ReadBackResult ReadBackImage(ChipContext& ctx, const ScannedImage& image, std::size_t limit,
                             ProgressObserver* observer, bool ignoreStop = false);

// "Not correct on adress (Hex): 0000\rOn chip =FF  In file= 02\r Continue ? "
std::string MismatchQuestion(std::uint16_t addrHigh, std::uint16_t addrLow, std::uint8_t onChip,
                             std::uint8_t inFile);

// The refusal; or, when remaining is 0 and CwvActive is 0, "File Check
// successful!" / "Verifing not correct !!!" by VerifyFailed; or nothing.
// Call before clearing VerifyFailed.
std::optional<std::string> VerifyFinalMessage(const VerifyResult& result,
                                              const ProgrammerState& state);

}  // namespace lpt51::chip
