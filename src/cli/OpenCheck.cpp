#include "cli/OpenCheck.h"

#include "chip/HexText.h"
#include "image/OpenWalk.h"

namespace lpt51::cli {

OpenCheckResult CheckLikeOpen(const image::Lines& lines) {
    const image::OpenResult walk = image::ValidateImage(lines);
    OpenCheckResult result;
    switch (walk.outcome) {
        case image::OpenResult::Outcome::Accepted:
            result.ok = true;
            result.codeSize = walk.codeSize;
            break;
        case image::OpenResult::Outcome::TooLarge:
            result.message = image::kTooLargeMessage;
            break;
        case image::OpenResult::Outcome::Rejected:
            result.message = walk.message;
            result.where = "line " + std::to_string(walk.errorLine + 1);
            if (walk.errorLine >= lines.size()) result.where += " (after the last line)";
            if (walk.checksumMismatch) {
                result.where += ": checksum " + chip::Hex2(walk.foundSum) + ", expected " +
                                chip::Hex2(walk.expectedSum);
            }
            break;
    }
    return result;
}

}  // namespace lpt51::cli
