// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace lpt51::app {

// The files last opened, newest first, kept one path a line in a file of
// the program's directory so that they outlive the process.
inline constexpr const char* kRecentFiles = "recent.txt";
inline constexpr std::size_t kRecentFilesKept = 5;

std::vector<std::string> RecentFiles(const std::string& appDir);
// RecentFiles without the files that are gone, which the list forgets.
std::vector<std::string> DropGoneRecentFiles(const std::string& appDir);
// Puts `path` first, drops it further down and anything past the fifth.
// Failures are silent: the list is a convenience, not the user's data.
void RememberRecentFile(const std::string& appDir, const std::string& path);

}  // namespace lpt51::app
