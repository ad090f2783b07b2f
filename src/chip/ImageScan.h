// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include "chip/At89c51.h"
#include "image/HexScan.h"

namespace lpt51::chip {

// The scan lives with the rest of the Intel HEX reading in image/, where the
// disassembler reads it too; the chip operations know it by these names.
using image::ImageProblem;
using image::kNoImageData;
using image::ScanImage;
using image::ScannedImage;
using image::WalkRecord;

// What a scanned image is refused for, each with its refusal's words.
enum class ImageUse {
    Write,             // "Write refused: ... Nothing was programmed."
    Verify,            // "Verify refused: ... Nothing was compared."
    ClearWriteVerify,  // "Clear-Write-Verify refused: ... The chip was not erased."
};

// The refusal text for the scan's problem in that use, or nothing.
std::optional<std::string> RefusalText(const ScannedImage& scan, ImageUse use);

// The refusal text for a problem, e.g.
// "Write refused: line 3, column 10: field \"ZG\" is not a hexadecimal byte. Nothing was
// programmed." `operation` is "Write" or "Verify" or "Clear-Write-Verify"; `nothingDone` is
// "Nothing was programmed." or "Nothing was compared." or similar.
std::string RefusalText(const ImageProblem& problem, const std::string& operation,
                        const std::string& nothingDone);

}  // namespace lpt51::chip
