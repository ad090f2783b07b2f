// SPDX-License-Identifier: GPL-3.0-or-later
#include "file/Descriptor.h"

#include <cerrno>

#include "file/System.h"

namespace lpt51::file {

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

int Descriptor::close() {
    if (fd_ < 0) return 0;
    const int fd = fd_;
    fd_ = -1;
    // Not retried on EINTR: Linux has released the descriptor either way.
    return CurrentSystem().close(fd) == 0 ? 0 : errno;
}

int WriteAll(int fd, std::string_view data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = CurrentSystem().write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        // A regular file takes no bytes only when the disk is full.
        if (n == 0) return ENOSPC;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

}  // namespace lpt51::file
