// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/RecentFiles.h"

#include <algorithm>
#include <fstream>

#include "image/AppFiles.h"

namespace lpt51::app {

std::vector<std::string> RecentFiles(const std::string& appDir) {
    std::vector<std::string> files;
    std::ifstream in(image::AppPath(appDir, kRecentFiles));
    for (std::string line; files.size() < kRecentFilesKept && std::getline(in, line);) {
        if (!line.empty() && std::find(files.begin(), files.end(), line) == files.end())
            files.push_back(line);
    }
    return files;
}

namespace {

void KeepRecentFiles(const std::string& appDir, const std::vector<std::string>& files) {
    // Written beside and renamed over, so that a full disk leaves the old list.
    const std::string target = image::AppPath(appDir, kRecentFiles);
    const std::string part = target + ".part";
    {
        std::ofstream out(part, std::ios::trunc);
        for (const std::string& file : files) out << file << '\n';
        if (!out.flush()) {
            out.close();
            std::remove(part.c_str());
            return;
        }
    }
    std::rename(part.c_str(), target.c_str());
}

}  // namespace

std::vector<std::string> DropGoneRecentFiles(const std::string& appDir) {
    std::vector<std::string> files = RecentFiles(appDir);
    if (std::erase_if(files, [](const std::string& f) { return !image::FileExists(f); }) > 0)
        KeepRecentFiles(appDir, files);
    return files;
}

void RememberRecentFile(const std::string& appDir, const std::string& path) {
    // A name with a line break in it could not be read back as one entry.
    if (path.empty() || path.find('\n') != std::string::npos) return;
    std::vector<std::string> files = RecentFiles(appDir);
    std::erase(files, path);
    files.insert(files.begin(), path);
    if (files.size() > kRecentFilesKept) files.resize(kRecentFilesKept);
    KeepRecentFiles(appDir, files);
}

}  // namespace lpt51::app
