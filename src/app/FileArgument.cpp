// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FileArgument.h"

#include <filesystem>

namespace lpt51::app {

std::optional<std::string> TakeFileArgument(std::vector<std::string>& args) {
    if (args.size() != 1 || args.front().empty() || args.front().starts_with('-')) {
        return std::nullopt;
    }
    // The window title shows the full path, as after the open dialog.
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(args.front(), ec);
    std::string path = ec ? args.front() : absolute.lexically_normal().string();
    args.clear();
    return path;
}

}  // namespace lpt51::app
