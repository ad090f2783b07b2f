// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "file/Descriptor.h"
#include "file/ReplaceFile.h"

namespace lpt51::file {

// Why an output could not be opened or written, for the caller's words.
struct OutputProblem {
    enum class Kind {
        Exists,        // a regular file, or a link to one, that may not be replaced
        DanglingLink,  // a link to a name that does not exist yet, which may not be made
        Loop,          // a link that leads round in a loop
        Directory,
        Dangerous,  // a block device, or memory or I/O ports: never written
        Open,       // the stream would not open; `error` says why
        Replace,    // reserving or committing the replacement failed; `replace` says how
        Write,      // writing the stream failed; `error` says why
    };
    Kind kind;
    int error = 0;
    ReplaceProblem replace{ReplaceProblem::Step::Create, 0};
};

// Where output that is produced whole goes. A regular file, or a name that
// does not exist yet, is replaced atomically (ReservedReplacement), and only
// when the caller allows it for an existing file. Anything else that takes
// bytes as they come, a character device (/dev/null, a terminal), a FIFO or
// a descriptor the shell handed over (/dev/stdout, /dev/fd/N), is written
// into as it is, never unlinked or renamed over: replacing /dev/null with a
// regular file would break every program on the system.
class Output {
  public:
    Output() = default;
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // Opens `path` for `size` bytes: a replacement has its room reserved now,
    // so that a full disk or a file-size limit refuses before the work that
    // produces the bytes; a stream is opened now. A FIFO nobody reads yet is
    // waited for; `waiting` is called once when that takes a moment. `out`
    // is open only on success.
    static std::optional<OutputProblem> open(const std::string& path, bool replaceExisting,
                                             std::size_t size, const std::function<void()>& waiting,
                                             Output& out);

    bool isOpen() const { return replacement_.active() || stream_.valid() || named_ >= 0; }
    // Whether the bytes replace a file rather than go into a stream.
    bool replaces() const { return replacement_.active(); }
    // Writes `bytes` and closes the output, whatever the outcome. A failed
    // replacement leaves the old file and no temporary one.
    std::optional<OutputProblem> write(std::string_view bytes);

  private:
    ReservedReplacement replacement_;
    Descriptor stream_;
    int named_ = -1;  // a descriptor of the process's own, not closed here
};

}  // namespace lpt51::file
