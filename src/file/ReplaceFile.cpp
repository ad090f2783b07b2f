// SPDX-License-Identifier: GPL-3.0-or-later
#include "file/ReplaceFile.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

#include "file/Descriptor.h"
#include "file/System.h"

namespace lpt51::file {

namespace {

constexpr const char* kTemporaryInfix = ".tmp-";

std::string TemporaryName(const std::string& path) {
    static std::random_device random;
    char tail[32];
    std::snprintf(tail, sizeof tail, "%s%ld-%08X", kTemporaryInfix, static_cast<long>(::getpid()),
                  random());
    return path + tail;
}

// The process id in `name` when it is a temporary name TemporaryName made
// for `base`: base.tmp-PID-XXXXXXXX.
std::optional<long> TemporaryOwner(const std::string& name, const std::string& base) {
    const std::string prefix = base + kTemporaryInfix;
    if (name.size() <= prefix.size() + 9 || name.compare(0, prefix.size(), prefix) != 0) {
        return std::nullopt;
    }
    const std::string tail = name.substr(prefix.size());
    const auto dash = tail.find('-');
    if (dash == 0 || dash == std::string::npos || tail.size() - dash - 1 != 8) return std::nullopt;
    long pid = 0;
    for (std::size_t i = 0; i < dash; ++i) {
        if (tail[i] < '0' || tail[i] > '9' || pid > 100000000) return std::nullopt;
        pid = pid * 10 + (tail[i] - '0');
    }
    for (std::size_t i = dash + 1; i < tail.size(); ++i) {
        const char c = tail[i];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return std::nullopt;
    }
    return pid;
}

bool ProcessRuns(long pid) {
    // EPERM: it runs, under another user.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

void SyncDirectory(const std::string& dir) {
    // A failure here loses nothing: the new file is complete under its name.
    Descriptor fd(CurrentSystem().open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
    if (fd.valid()) CurrentSystem().fsync(fd.get());
}

}  // namespace

std::string ResolvedPath(const std::string& path) {
    // Saving through a symbolic link writes the file it points to; renaming
    // over the link itself would silently cut it loose. A link to a name
    // that does not exist yet gives that name, to be created.
    System& sys = CurrentSystem();
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat link {};
        if (sys.lstat(current.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return current;
        const std::string target = sys.readLink(current.c_str());
        if (target.empty()) return current;
        current = target[0] == '/' ? target : DirectoryOf(current) + "/" + target;
    }
    return {};  // a loop, or a chain no system would follow
}

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

ReservedReplacement::ReservedReplacement(ReservedReplacement&& other) noexcept
    : target_(std::move(other.target_)),
      temp_(std::move(other.temp_)),
      fd_(std::move(other.fd_)),
      size_(other.size_) {}

ReservedReplacement& ReservedReplacement::operator=(ReservedReplacement&& other) noexcept {
    if (this != &other) {
        abandon();
        target_ = std::move(other.target_);
        temp_ = std::move(other.temp_);
        fd_ = std::move(other.fd_);
        size_ = other.size_;
    }
    return *this;
}

std::optional<ReplaceProblem> ReservedReplacement::reserve(const std::string& requested,
                                                           std::size_t size,
                                                           ReservedReplacement& out) {
    out.abandon();
    System& sys = CurrentSystem();
    const std::string path = ResolvedPath(requested);
    if (path.empty()) return ReplaceProblem{ReplaceProblem::Step::Create, ELOOP};
    struct stat old {};
    const bool exists = sys.stat(path.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) return ReplaceProblem{ReplaceProblem::Step::Write, EISDIR};
    // What a killed run left beside it would otherwise stay for good.
    RemoveOrphanedTemporaries(path);

    // O_EXCL: never write into a file someone else made.
    std::string temp;
    Descriptor fd;
    for (int attempt = 0; attempt < 16 && !fd.valid(); ++attempt) {
        temp = TemporaryName(path);
        fd = Descriptor(sys.open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd.valid() && errno != EEXIST) break;
    }
    if (!fd.valid()) return ReplaceProblem{ReplaceProblem::Step::Create, errno};

    int error = 0;
    ReplaceProblem::Step step = ReplaceProblem::Step::Write;
    if (exists && sys.fchmod(fd.get(), old.st_mode & 07777) != 0) error = errno;
    if (error == 0 && size > 0) {
        error = sys.posix_fallocate(fd.get(), 0, static_cast<off_t>(size));
        step = ReplaceProblem::Step::Reserve;
    }
    if (error != 0) {
        fd.close();
        sys.unlink(temp.c_str());
        return ReplaceProblem{step, error};
    }
    out.target_ = path;
    out.temp_ = std::move(temp);
    out.fd_ = std::move(fd);
    out.size_ = size;
    return std::nullopt;
}

std::optional<ReplaceProblem> ReservedReplacement::commit(std::string_view bytes) {
    if (!active()) return ReplaceProblem{ReplaceProblem::Step::Create, EBADF};
    System& sys = CurrentSystem();
    int error = WriteAll(fd_.get(), bytes);
    // The reservation was for the bytes expected; fewer must not leave a tail.
    if (error == 0 && bytes.size() < size_ &&
        sys.ftruncate(fd_.get(), static_cast<off_t>(bytes.size())) != 0) {
        error = errno;
    }
    if (error == 0 && sys.fsync(fd_.get()) != 0) error = errno;
    const int closed = fd_.close();
    if (error == 0) error = closed;
    if (error == 0 && sys.rename(temp_.c_str(), target_.c_str()) != 0) error = errno;
    if (error != 0) {
        sys.unlink(temp_.c_str());
        temp_.clear();
        return ReplaceProblem{ReplaceProblem::Step::Write, error};
    }
    temp_.clear();
    SyncDirectory(DirectoryOf(target_));
    return std::nullopt;
}

void ReservedReplacement::abandon() {
    if (!active()) return;
    fd_.close();
    CurrentSystem().unlink(temp_.c_str());
    temp_.clear();
}

std::optional<ReplaceProblem> ReplaceFile(const std::string& path, std::string_view bytes) {
    ReservedReplacement replacement;
    if (auto problem = ReservedReplacement::reserve(path, bytes.size(), replacement))
        return problem;
    return replacement.commit(bytes);
}

std::size_t RemoveOrphanedTemporaries(const std::string& requested) {
    const std::string path = ResolvedPath(requested);
    if (path.empty()) return 0;
    const std::string base = std::filesystem::path(path).filename().string();
    std::error_code error;
    std::size_t removed = 0;
    std::filesystem::directory_iterator entry(DirectoryOf(path), error);
    for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        const std::optional<long> owner = TemporaryOwner(name, base);
        if (!owner || *owner == static_cast<long>(::getpid()) || ProcessRuns(*owner)) continue;
        if (CurrentSystem().unlink(entry->path().c_str()) == 0) ++removed;
    }
    return removed;
}

std::optional<ReplaceProblem> CheckReplaceable(const std::string& path) {
    ReservedReplacement probe;
    return ReservedReplacement::reserve(path, 0, probe);
}

}  // namespace lpt51::file
