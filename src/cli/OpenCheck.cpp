#include "cli/OpenCheck.h"

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
            break;
    }
    return result;
}

}  // namespace lpt51::cli
