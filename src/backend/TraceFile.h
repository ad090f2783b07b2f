// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace lpt51 {

// The file a port trace goes to: text collects in memory and reaches the file
// only when flush() is called, so the owner decides when a system call may
// stretch a wait. A write that fails never throws: the error is kept and
// everything after it is dropped, since a trace must never stop an operation
// that has the port in hand.
class TraceFile {
  public:
    // Creates or replaces `path` and writes `header` through at once, so an
    // unwritable file or a full disk shows before any port access. A regular
    // file that does not start with `signature` is someone else's and is
    // refused rather than overwritten. Returns null and sets `problem`.
    static std::unique_ptr<TraceFile> create(const std::string& path, const std::string& signature,
                                             const std::string& header, std::string& problem);
    ~TraceFile();
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    std::string& buffer() { return buffer_; }
    void flush();

    const std::string& path() const { return path_; }
    // The system's reason for the first failed write, if any.
    const std::optional<std::string>& failure() const { return failure_; }

  private:
    TraceFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

    int fd_;
    std::string path_;
    std::string buffer_;
    std::optional<std::string> failure_;
};

}  // namespace lpt51
