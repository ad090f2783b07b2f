// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/WritableFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "backend/PortName.h"
#include "sim/ChipStateStore.h"

namespace lpt51::session {

namespace {

// The trace is written in place: an existing file must open for writing
// (without being truncated here), a new name must be creatable.
int TraceWriteError(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return EISDIR;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return errno;
        ::close(fd);
        return 0;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    ::close(fd);
    ::unlink(path.c_str());
    return 0;
}

}  // namespace

std::optional<UnwritableReason> UnwritableFile(const BackendOptions& options, bool changesChip) {
    if (!options.trace.empty()) {
        if (const int error = TraceWriteError(options.trace); error != 0) {
            return UnwritableReason{"Cannot write the port trace to " + options.trace + ": " +
                                    std::strerror(error) + ". Nothing was done."};
        }
    }
    PortName name;
    if (!parsePortName(options.port, name) && name.kind == PortName::Kind::Virtual &&
        !name.stateFile.empty()) {
        // Refused as the chip's store would refuse it once the port is open.
        PrepareStateDirectory(name);
        if (const auto refusal = sim::StateFileRefusal(
                name.stateFile, changesChip ? sim::ChipUse::Changes : sim::ChipUse::Reads))
            return UnwritableReason{refusal->message, true};
    }
    return std::nullopt;
}

}  // namespace lpt51::session
