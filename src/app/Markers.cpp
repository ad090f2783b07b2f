#include "app/Markers.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace lpt51::app {

bool MarkerExists(const std::string& appDir, const char* name) {
    std::error_code ec;
    return std::filesystem::exists(appDir + name, ec);
}

void CreateMarker(const std::string& appDir, const char* name) {
    std::ofstream file(appDir + name, std::ios::out | std::ios::trunc);
}

void DeleteMarker(const std::string& appDir, const char* name) {
    std::error_code ec;
    std::filesystem::remove(appDir + name, ec);
}

}  // namespace lpt51::app
