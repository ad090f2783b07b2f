// SPDX-License-Identifier: GPL-3.0-or-later
#include "file/Output.h"

#include <fcntl.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "file/Stream.h"
#include "file/System.h"

namespace lpt51::file {

namespace {

using Kind = OutputProblem::Kind;

constexpr auto kQuiet = std::chrono::milliseconds(300);
constexpr auto kRetry = std::chrono::milliseconds(20);

// /dev/mem, /dev/kmem and /dev/port: bytes written there land in the
// machine's memory or on its I/O ports.
bool MemoryDevice(const struct stat& info) {
    if (!S_ISCHR(info.st_mode) || major(info.st_rdev) != 1) return false;
    const unsigned minorNumber = minor(info.st_rdev);
    return minorNumber == 1 || minorNumber == 2 || minorNumber == 4;
}

// A FIFO opened for writing without a reader fails with ENXIO when the
// open may not wait; waiting in a blocking open could not say so.
std::optional<OutputProblem> OpenStream(const std::string& path, bool fifo,
                                        const std::function<void()>& waiting, Descriptor& out) {
    System& sys = CurrentSystem();
    const auto start = std::chrono::steady_clock::now();
    bool said = false;
    for (;;) {
        out = Descriptor(sys.open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0));
        if (out.valid()) break;
        if (errno == EINTR) continue;
        if (!fifo || errno != ENXIO) return OutputProblem{Kind::Open, errno};
        if (!said && waiting && std::chrono::steady_clock::now() - start >= kQuiet) {
            said = true;
            waiting();
        }
        std::this_thread::sleep_for(kRetry);
    }
    // Written whole at the end: a pipe's reader that is slow must not make
    // the write fail with EAGAIN.
    const int flags = ::fcntl(out.get(), F_GETFL);
    if (flags < 0 || ::fcntl(out.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return OutputProblem{Kind::Open, errno};
    return std::nullopt;
}

}  // namespace

std::optional<OutputProblem> Output::open(const std::string& path, bool replaceExisting,
                                          std::size_t size, const std::function<void()>& waiting,
                                          Output& out) {
    out.replacement_.abandon();
    out.stream_.close();
    out.named_ = -1;
    System& sys = CurrentSystem();
    if (const std::optional<int> fd = NamedDescriptor(path)) {
        // Written as the shell set it up, so that ">>" still appends.
        const int flags = ::fcntl(*fd, F_GETFL);
        if (flags < 0) return OutputProblem{Kind::Open, errno};
        if ((flags & O_ACCMODE) == O_RDONLY) return OutputProblem{Kind::Open, EBADF};
        out.named_ = *fd;
        return std::nullopt;
    }
    struct stat link {};
    const bool exists = sys.lstat(path.c_str(), &link) == 0;
    struct stat info = link;
    if (exists && S_ISLNK(link.st_mode)) {
        if (ResolvedPath(path).empty()) return OutputProblem{Kind::Loop, ELOOP};
        if (sys.stat(path.c_str(), &info) != 0) {
            if (errno != ENOENT) return OutputProblem{Kind::Open, errno};
            if (!replaceExisting) return OutputProblem{Kind::DanglingLink, ENOENT};
            info.st_mode = S_IFREG;  // made where the link points
        }
    }
    if (exists) {
        if (S_ISDIR(info.st_mode)) return OutputProblem{Kind::Directory, EISDIR};
        if (S_ISBLK(info.st_mode) || MemoryDevice(info)) return OutputProblem{Kind::Dangerous};
        if (!S_ISREG(info.st_mode)) {
            if (auto problem = OpenStream(path, S_ISFIFO(info.st_mode), waiting, out.stream_))
                return problem;
            return std::nullopt;
        }
        if (!replaceExisting) return OutputProblem{Kind::Exists};
    }
    if (auto problem = ReservedReplacement::reserve(path, size, out.replacement_))
        return OutputProblem{Kind::Replace, problem->error, *problem};
    return std::nullopt;
}

std::optional<OutputProblem> Output::write(std::string_view bytes) {
    if (replacement_.active()) {
        if (auto problem = replacement_.commit(bytes))
            return OutputProblem{Kind::Replace, problem->error, *problem};
        return std::nullopt;
    }
    const int fd = named_ >= 0 ? named_ : stream_.get();
    named_ = -1;
    if (fd < 0) return OutputProblem{Kind::Write, EBADF};
    int error = WriteAll(fd, bytes);
    const int closed = stream_.close();
    if (error == 0) error = closed;
    if (error != 0) return OutputProblem{Kind::Write, error};
    return std::nullopt;
}

}  // namespace lpt51::file
