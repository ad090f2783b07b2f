// SPDX-License-Identifier: GPL-3.0-or-later
#include "file/StateDirectory.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace lpt51::file {

namespace {

std::string HomeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/')
        return found->pw_dir;
    return {};
}

std::string Joined(std::string dir, const char* name) {
    if (dir.back() != '/') dir += '/';
    return dir + name;
}

}  // namespace

std::string StateDirectory() {
    const char* xdg = std::getenv("XDG_STATE_HOME");
    if (xdg != nullptr && xdg[0] == '/') return Joined(xdg, "lpt51/");
    const std::string home = HomeDirectory();
    if (home.empty()) return {};
    return Joined(home, ".local/state/lpt51/");
}

bool MakePrivateDirectories(const std::string& dir) {
    for (std::size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
        const std::string level = dir.substr(0, slash);
        if (!level.empty() && ::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos || slash + 1 == dir.size()) break;
    }
    struct stat st {};
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace lpt51::file
