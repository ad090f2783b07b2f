// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/WindowDirectory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "image/AppFiles.h"

namespace lpt51::image {
namespace {

namespace fs = std::filesystem;

constexpr const char* kWindowPrefix = "window-";
constexpr const char* kWindowLock = "lock";
// Held while a window makes and locks its directory, and while one removes
// leftovers: so a directory is never judged between being made and being
// locked, when it has no lock file yet.
constexpr const char* kBaseLock = "windows.lock";

std::string WithoutSlash(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

// Not through a link: lstat on a name ending in '/' would follow one.
bool OwnDirectory(const std::string& dir, bool othersMayWrite) {
    struct stat st {};
    return ::lstat(WithoutSlash(dir).c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::getuid() && (othersMayWrite || (st.st_mode & 022) == 0);
}

bool MakeBase(const std::string& base) {
    if (::mkdir(WithoutSlash(base).c_str(), 0700) != 0 && errno != EEXIST) return false;
    return OwnDirectory(base, false) && ::access(base.c_str(), W_OK | X_OK) == 0;
}

// Another window holds it for a few milliseconds at most; one that is
// stopped in the middle must not keep this one from starting.
bool LockBase(const std::string& base, file::FileLock& lock) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::optional<file::FileLock::Refusal> refused =
            file::FileLock::acquire(base + kBaseLock, lock);
        if (!refused) return true;
        if (!refused->held) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// With the base lock held. A lock that cannot be taken because of an error
// (not because it is held) leaves the directory alone: it may be alive.
void RemoveLeftovers(const std::string& base) {
    std::vector<std::string> dead;
    std::error_code ec;
    for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const std::string dir = it->path().string();
        if (!name.starts_with(kWindowPrefix) || !OwnDirectory(dir, true)) continue;
        const std::string lockPath = dir + "/" + kWindowLock;
        struct stat st {};
        if (::lstat(lockPath.c_str(), &st) != 0) {
            // Made but never locked: its window ended before it could lock.
            if (errno == ENOENT) dead.push_back(dir);
            continue;
        }
        file::FileLock probe;
        if (!file::FileLock::acquire(lockPath, probe)) dead.push_back(dir);
    }
    for (const std::string& dir : dead) fs::remove_all(dir, ec);
}

}  // namespace

std::string RuntimeWindowsDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || runtime[0] != '/' || !OwnDirectory(runtime, false)) return {};
    return AppPath(runtime, "lpt51/");
}

std::unique_ptr<WindowDirectory> WindowDirectory::create(const std::string& filesDir) {
    if (const std::string runtime = RuntimeWindowsDirectory(); !runtime.empty()) {
        if (std::unique_ptr<WindowDirectory> dir = createIn(runtime)) return dir;
    }
    if (filesDir.empty()) return nullptr;
    return createIn(AppPath(filesDir, "windows/"));
}

std::unique_ptr<WindowDirectory> WindowDirectory::createIn(const std::string& baseDir) {
    const std::string base = WithoutSlash(baseDir) + "/";
    if (!MakeBase(base)) return nullptr;
    file::FileLock baseLock;
    if (LockBase(base, baseLock)) RemoveLeftovers(base);

    std::string pattern = base + kWindowPrefix + std::to_string(::getpid()) + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return nullptr;  // mode 0700
    file::FileLock lock;
    if (file::FileLock::acquire(pattern + "/" + kWindowLock, lock)) {
        std::error_code ignored;
        fs::remove_all(pattern, ignored);
        return nullptr;
    }
    return std::unique_ptr<WindowDirectory>(new WindowDirectory(pattern + "/", std::move(lock)));
}

WindowDirectory::~WindowDirectory() {
    // Removed while still locked: nobody else may judge it dead meanwhile.
    std::error_code ignored;
    fs::remove_all(path_, ignored);
    lock_.release();
}

}  // namespace lpt51::image
