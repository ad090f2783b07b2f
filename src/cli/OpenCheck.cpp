#include "cli/OpenCheck.h"

#include "image/OpenWalk.h"
#include "image/TextFile.h"

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

std::optional<std::string> LoadTextFile(const std::string& path, image::Lines& lines) {
    return image::LoadLines(path, lines);
}

std::optional<std::string> SaveTextFile(const std::string& path, const image::Lines& lines) {
    return image::SaveLines(path, lines);
}

}  // namespace lpt51::cli
