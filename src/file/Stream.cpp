// SPDX-License-Identifier: GPL-3.0-or-later
#include "file/Stream.h"

#include <fcntl.h>

#include <cerrno>
#include <charconv>

#include "file/Descriptor.h"
#include "file/System.h"

namespace lpt51::file {

std::optional<int> NamedDescriptor(const std::string& path) {
    if (path == "/dev/stdin") return 0;
    if (path == "/dev/stdout") return 1;
    if (path == "/dev/stderr") return 2;
    for (const std::string_view prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        if (!path.starts_with(prefix)) continue;
        const std::string_view digits = std::string_view(path).substr(prefix.size());
        int fd = -1;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), fd);
        if (error == std::errc() && end == digits.data() + digits.size() && !digits.empty())
            return fd;
    }
    return std::nullopt;
}

int WriteStream(const std::string& path, std::string_view data) {
    if (const std::optional<int> fd = NamedDescriptor(path)) return WriteAll(*fd, data);
    Descriptor fd(CurrentSystem().open(path.c_str(), O_WRONLY | O_CLOEXEC, 0));
    if (!fd.valid()) return errno;
    if (const int error = WriteAll(fd.get(), data); error != 0) return error;
    return fd.close();
}

}  // namespace lpt51::file
