#include "file/ReadFile.h"

#include <fcntl.h>

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
        if (n < 0) return ReadProblem{ReadProblem::Kind::Read, errno};
        if (n == 0) break;
        data.append(buffer, static_cast<std::size_t>(n));
        if (data.size() > limit) return ReadProblem{ReadProblem::Kind::TooLarge};
    }
    bytes = std::move(data);
    return std::nullopt;
}

std::optional<ReadProblem> ReadRegularFile(const std::string& path, std::uint64_t limit,
                                           std::string& bytes) {
    // O_NONBLOCK: opening a pipe with no writer would wait for one.
    Descriptor fd(CurrentSystem().open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK, 0));
    if (!fd.valid()) return ReadProblem{ReadProblem::Kind::Open, errno};
    struct stat info {};
    if (CurrentSystem().fstat(fd.get(), &info) != 0) {
        return ReadProblem{ReadProblem::Kind::Read, errno};
    }
    if (S_ISDIR(info.st_mode)) return ReadProblem{ReadProblem::Kind::NotRegular, EISDIR};
    if (!S_ISREG(info.st_mode)) return ReadProblem{ReadProblem::Kind::NotRegular};
    if (static_cast<std::uint64_t>(info.st_size) > limit) {
        return ReadProblem{ReadProblem::Kind::TooLarge};
    }
    return ReadToEnd(fd.get(), limit, bytes);
}

}  // namespace lpt51::file
