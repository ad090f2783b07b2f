// SPDX-License-Identifier: GPL-3.0-or-later
#include "chip/ImageScan.h"

namespace lpt51::chip {

std::optional<std::string> RefusalText(const ScannedImage& scan, ImageUse use) {
    if (!scan.problem) return std::nullopt;
    switch (use) {
        case ImageUse::Write:
            return RefusalText(*scan.problem, "Write", "Nothing was programmed.");
        case ImageUse::Verify:
            return RefusalText(*scan.problem, "Verify", "Nothing was compared.");
        case ImageUse::ClearWriteVerify:
            break;
    }
    return RefusalText(*scan.problem, "Clear-Write-Verify", "The chip was not erased.");
}

std::string RefusalText(const ImageProblem& problem, const std::string& operation,
                        const std::string& nothingDone) {
    return operation + " refused: " + image::ProblemText(problem) + ". " + nothingDone;
}

}  // namespace lpt51::chip
