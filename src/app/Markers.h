// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

namespace lpt51::app {

// The settings that outlive the process, kept as empty files in the
// program's directory: only whether they exist counts.
inline constexpr const char* kBidiOffMarker = "Zelmoxx.dat";
inline constexpr const char* kDefault12VMarker = "89c51_12.dat";
inline constexpr const char* kDatasheetTimingMarker = "datasheet_timing.dat";

bool MarkerExists(const std::string& appDir, const char* name);
// Each gives, when it fails, what to tell the user: the setting changes in
// memory all the same, but will not outlive the program.
[[nodiscard]] std::optional<std::string> CreateMarker(const std::string& appDir, const char* name);
[[nodiscard]] std::optional<std::string> DeleteMarker(const std::string& appDir, const char* name);

}  // namespace lpt51::app
