// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/OpenCheck.h"

#include "image/OpenWalk.h"

namespace lpt51::cli {

OpenCheckResult CheckLikeOpen(const image::Lines& lines) {
    const image::OpenResult walk = image::ValidateImage(lines);
    OpenCheckResult result;
    result.ok = walk.outcome == image::OpenResult::Outcome::Accepted;
    if (result.ok) result.codeSize = walk.codeSize;
    if (walk.outcome == image::OpenResult::Outcome::TooLarge) {
        result.message = image::kTooLargeMessage;
    } else {
        result.message = walk.message;
    }
    result.where = walk.detail;
    return result;
}

}  // namespace lpt51::cli
