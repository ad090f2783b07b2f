// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace lpt51::file {

// Why a read gave no bytes, for the caller to put in its own words.
struct ReadProblem {
    enum class Kind {
        Open,        // the open failed; `error` says why (ENOENT: no such file)
        Read,        // the file opened but could not be read; `error` says why
        NotRegular,  // a directory (`error` EISDIR), device, pipe or socket
        TooLarge,    // more than the caller's limit
    };
    Kind kind;
    int error = 0;
};

// Reads the whole of the regular file at `path` into `bytes`, refusing
// anything else before a byte is read: opening a pipe or a device could
// block or have effects of its own. A file of more than `limit` bytes is
// refused, also one that grows past it while it is read. `bytes` is left
// untouched on failure.
std::optional<ReadProblem> ReadRegularFile(const std::string& path, std::uint64_t limit,
                                           std::string& bytes);

// ReadRegularFile, and also a pipe, FIFO or socket a shell names (<(cmd),
// /dev/stdin, /dev/fd/N), read to its end with the same limit. Devices and
// directories are still refused. `waiting` is called once when a stream has
// given nothing for a moment (a FIFO nobody writes to yet), so the caller can
// say what the program is waiting for.
std::optional<ReadProblem> ReadFileOrStream(const std::string& path, std::uint64_t limit,
                                            std::string& bytes,
                                            const std::function<void()>& waiting);

// Reads an open descriptor (standard input, say) to its end, with the same
// limit; `bytes` is left untouched on failure.
std::optional<ReadProblem> ReadToEnd(int fd, std::uint64_t limit, std::string& bytes);

}  // namespace lpt51::file
