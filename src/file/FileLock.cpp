// SPDX-License-Identifier: GPL-3.0-or-later
#include "file/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "file/System.h"

namespace lpt51::file {

namespace {

long ReadPid(int fd) {
    char text[24] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    if (n <= 0) return 0;
    long pid = 0;
    for (ssize_t i = 0; i < n && text[i] >= '0' && text[i] <= '9'; ++i)
        pid = pid * 10 + (text[i] - '0');
    return pid;
}

// The processes the system lists as holding a flock on the file open as
// `fd`: /proc/locks gives each lock's pid and its file as
// "MAJOR:MINOR:INODE", the device numbers in hexadecimal.
std::vector<long> LockHolders(int fd) {
    struct stat info {};
    std::vector<long> holders;
    if (::fstat(fd, &info) != 0) return holders;
    char file[64];
    std::snprintf(file, sizeof file, "%02x:%02x:%lu", major(info.st_dev), minor(info.st_dev),
                  static_cast<unsigned long>(info.st_ino));
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream words(line);
        std::string number, type, mode, access, device;
        long pid = 0;
        // Waiters are listed as "N: -> FLOCK ..." and hold nothing.
        if (!(words >> number >> type) || type != "FLOCK") continue;
        if (words >> mode >> access >> pid >> device && device == file && pid > 0)
            holders.push_back(pid);
    }
    return holders;
}

std::string CommandName(long pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    if (!std::getline(comm, name) || name.empty()) return "?";
    return name;
}

// The lock file open as `fd` is still the one `path` names: not removed, nor
// removed and made anew, by a holder that let go before this one locked it.
bool StillNamed(System& sys, int fd, const std::string& path) {
    struct stat open {
    }, named{};
    return sys.fstat(fd, &open) == 0 && sys.stat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

}  // namespace

FileLock::FileLock(FileLock&& other) noexcept
    : fd_(std::move(other.fd_)), path_(std::move(other.path_)) {
    other.path_.clear();
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = std::move(other.fd_);
        path_ = std::move(other.path_);
        other.path_.clear();
    }
    return *this;
}

void FileLock::release() {
    // Removed while still locked: whoever opened it meanwhile finds, once
    // it has the lock, that the name leads elsewhere, and tries again.
    if (fd_.valid()) CurrentSystem().unlink(path_.c_str());
    fd_.close();
    path_.clear();
}

std::optional<FileLock::Refusal> FileLock::acquire(const std::string& lockPath, FileLock& out) {
    out.release();
    System& sys = CurrentSystem();
    // Each round that finds its file gone was overtaken by a holder letting
    // go; a few are enough for any number of them taking turns.
    constexpr int kRounds = 16;
    for (int round = 0;; ++round) {
        Descriptor fd(sys.open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666));
        // A lock file this user cannot write still locks, read-only; it cannot
        // take the id.
        const bool writable = fd.valid();
        if (!writable && (errno == EACCES || errno == EROFS)) {
            fd = Descriptor(sys.open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW, 0));
        }
        if (!fd.valid()) return Refusal{false, 0, {}, errno};
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK) return Refusal{false, 0, {}, errno};
            // The holder writes its id just after it locks: give it a moment.
            long pid = ReadPid(fd.get());
            for (int attempt = 0; pid == 0 && attempt < 20; ++attempt) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                pid = ReadPid(fd.get());
            }
            // Any other program may lock the file too (flock(1), an editor);
            // the id in it is then an earlier holder's, or none.
            const std::vector<long> holders = LockHolders(fd.get());
            if (!holders.empty() && std::find(holders.begin(), holders.end(), pid) == holders.end())
                return Refusal{true, holders.front(), CommandName(holders.front()), 0};
            return Refusal{true, pid, {}, 0};
        }
        if (!StillNamed(sys, fd.get(), lockPath)) {
            if (round + 1 < kRounds) continue;
            return Refusal{true, 0, {}, 0};
        }
        // The id is only for the message; a lock file that cannot take it still locks.
        const std::string pid = std::to_string(static_cast<long>(::getpid())) + "\n";
        if (writable && sys.ftruncate(fd.get(), 0) == 0) WriteAll(fd.get(), pid);
        out.fd_ = std::move(fd);
        out.path_ = lockPath;
        return std::nullopt;
    }
}

}  // namespace lpt51::file
