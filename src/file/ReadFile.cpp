// SPDX-License-Identifier: GPL-3.0-or-later
#include "file/ReadFile.h"

#include <fcntl.h>
#include <poll.h>

#include <cerrno>

#include "file/Descriptor.h"
#include "file/System.h"

namespace lpt51::file {

std::optional<ReadProblem> ReadToEnd(int fd, std::uint64_t limit, std::string& bytes) {
    std::string data;
    char buffer[65536];
    for (;;) {
        const ssize_t n = CurrentSystem().read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        // A non-blocking stream with nothing in it yet: wait for more.
        if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, -1) < 0 && errno != EINTR)
                return ReadProblem{ReadProblem::Kind::Read, errno};
            continue;
        }
        if (n < 0) return ReadProblem{ReadProblem::Kind::Read, errno};
        if (n == 0) break;
        data.append(buffer, static_cast<std::size_t>(n));
        if (data.size() > limit) return ReadProblem{ReadProblem::Kind::TooLarge};
    }
    bytes = std::move(data);
    return std::nullopt;
}

namespace {

constexpr int kQuietMs = 300;

// The descriptor is non-blocking: a FIFO opened before any writer reads as
// ended, so the read waits in poll() until a writer has come (POLLIN with
// data, POLLHUP when it went without writing).
std::optional<ReadProblem> ReadStream(int fd, std::uint64_t limit, std::string& bytes,
                                      const std::function<void()>& waiting) {
    bool said = false;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, said || !waiting ? -1 : kQuietMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return ReadProblem{ReadProblem::Kind::Read, errno};
        if (ready == 0) {
            said = true;
            waiting();
            continue;
        }
        break;
    }
    return ReadToEnd(fd, limit, bytes);
}

std::optional<ReadProblem> ReadOpened(const std::string& path, std::uint64_t limit,
                                      std::string& bytes, bool streams,
                                      const std::function<void()>& waiting) {
    // O_NONBLOCK: opening a pipe with no writer would wait for one.
    Descriptor fd(CurrentSystem().open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK, 0));
    if (!fd.valid()) return ReadProblem{ReadProblem::Kind::Open, errno};
    struct stat info {};
    if (CurrentSystem().fstat(fd.get(), &info) != 0) {
        return ReadProblem{ReadProblem::Kind::Read, errno};
    }
    if (S_ISDIR(info.st_mode)) return ReadProblem{ReadProblem::Kind::NotRegular, EISDIR};
    if (streams && (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)))
        return ReadStream(fd.get(), limit, bytes, waiting);
    if (!S_ISREG(info.st_mode)) return ReadProblem{ReadProblem::Kind::NotRegular};
    if (static_cast<std::uint64_t>(info.st_size) > limit) {
        return ReadProblem{ReadProblem::Kind::TooLarge};
    }
    return ReadToEnd(fd.get(), limit, bytes);
}

}  // namespace

std::optional<ReadProblem> ReadRegularFile(const std::string& path, std::uint64_t limit,
                                           std::string& bytes) {
    return ReadOpened(path, limit, bytes, false, {});
}

std::optional<ReadProblem> ReadFileOrStream(const std::string& path, std::uint64_t limit,
                                            std::string& bytes,
                                            const std::function<void()>& waiting) {
    return ReadOpened(path, limit, bytes, true, waiting);
}

}  // namespace lpt51::file
