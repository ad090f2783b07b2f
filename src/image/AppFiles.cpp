#include "image/AppFiles.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#ifndef LPT51_LIBEXEC_FROM_BIN
#define LPT51_LIBEXEC_FROM_BIN "../libexec/lpt51"
#endif

namespace lpt51::image {
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

// mkdir -p, new levels private to the user.
bool MakeDirectories(const std::string& dir) {
    for (std::size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
        const std::string level = dir.substr(0, slash);
        if (!level.empty() && ::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos || slash + 1 == dir.size()) break;
    }
    struct stat st {};
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string StateDirectory() {
    const char* xdg = std::getenv("XDG_STATE_HOME");
    if (xdg != nullptr && xdg[0] == '/') return AppPath(xdg, "lpt51/");
    const std::string home = HomeDirectory();
    if (home.empty()) return {};
    return AppPath(home, ".local/state/lpt51/");
}

AppDirs ResolveAppDirs(const std::string& programDir) {
    AppDirs dirs{programDir, programDir};
    if (::access(programDir.c_str(), W_OK) == 0) return dirs;
    const std::string state = StateDirectory();
    if (!state.empty() && MakeDirectories(state)) dirs.files = state;
    return dirs;
}

std::string DisassemblerPath(const std::string& programDir) {
    const std::string beside = AppPath(programDir, kDisassembler);
    if (FileExists(beside)) return beside;
    const std::string installed =
        AppPath(AppPath(programDir, LPT51_LIBEXEC_FROM_BIN), kDisassembler);
    return FileExists(installed) ? installed : beside;
}

std::string AppDirOfExecutable() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "./";
    std::string path(buffer, static_cast<std::size_t>(n));
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return "./";
    return path.substr(0, slash + 1);
}

std::string AppPath(const std::string& appDir, const std::string& name) {
    if (appDir.empty()) return name;
    if (appDir.back() == '/') return appDir + name;
    return appDir + "/" + name;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool CreateMarker(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    return ::close(fd) == 0;
}

void DeleteQuietly(const std::string& path) {
    ::unlink(path.c_str());
}

}  // namespace lpt51::image
