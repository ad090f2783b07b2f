// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace lpt51::file {

// An open file descriptor, closed on every way out of the scope that owns it.
class Descriptor {
  public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(Descriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Descriptor& operator=(Descriptor&& other) noexcept;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { close(); }

    bool valid() const { return fd_ >= 0; }
    int get() const { return fd_; }
    // Closes now, for callers that must know: a write the system delayed
    // may fail only here. Returns 0 or the errno.
    int close();

  private:
    int fd_ = -1;
};

// Writes all of `data`, through interruptions and short writes. Returns 0 or
// the errno of the write that failed (ENOSPC for one that wrote nothing).
int WriteAll(int fd, std::string_view data);

}  // namespace lpt51::file
