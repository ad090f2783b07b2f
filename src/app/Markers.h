#pragma once

#include <string>

namespace lpt51::app {

// The settings that outlive the process, kept as empty files in the
// program's directory: only whether they exist counts.
inline constexpr const char* kBidiOffMarker = "Zelmoxx.dat";
inline constexpr const char* kDefault12VMarker = "89c51_12.dat";
inline constexpr const char* kDatasheetTimingMarker = "datasheet_timing.dat";

bool MarkerExists(const std::string& appDir, const char* name);
// Failures are silent: the setting changes in memory all the same.
void CreateMarker(const std::string& appDir, const char* name);
void DeleteMarker(const std::string& appDir, const char* name);

}  // namespace lpt51::app
