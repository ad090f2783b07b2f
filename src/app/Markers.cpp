// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Markers.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace lpt51::app {

bool MarkerExists(const std::string& appDir, const char* name) {
    std::error_code ec;
    return std::filesystem::exists(appDir + name, ec);
}

namespace {

std::string NotKept(const std::string& action, const std::string& path, const std::string& why) {
    return "Cannot " + action + " " + path + ": " + why +
           ". The setting holds until the program ends, but is not kept.";
}

}  // namespace

std::optional<std::string> CreateMarker(const std::string& appDir, const char* name) {
    const std::string path = appDir + name;
    errno = 0;
    std::ofstream file(path, std::ios::out | std::ios::trunc);
    if (!file) return NotKept("create", path, std::strerror(errno != 0 ? errno : EIO));
    return std::nullopt;
}

std::optional<std::string> DeleteMarker(const std::string& appDir, const char* name) {
    const std::string path = appDir + name;
    std::error_code ec;
    std::filesystem::remove(path, ec);
    if (ec) return NotKept("delete", path, ec.message());
    return std::nullopt;
}

}  // namespace lpt51::app
