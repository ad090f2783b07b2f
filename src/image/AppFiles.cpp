// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/AppFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "file/StateDirectory.h"

#ifndef LPT51_LIBEXEC_FROM_BIN
#define LPT51_LIBEXEC_FROM_BIN "../libexec/lpt51"
#endif

namespace lpt51::image {

AppDirs ResolveAppDirs(const std::string& programDir) {
    AppDirs dirs{programDir, programDir};
    if (::access(programDir.c_str(), W_OK) == 0) return dirs;
    const std::string state = StateDirectory();
    if (!state.empty() && file::MakePrivateDirectories(state)) dirs.files = state;
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
