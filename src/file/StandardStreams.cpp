// SPDX-License-Identifier: GPL-3.0-or-later
#include "file/StandardStreams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace lpt51::file {

bool OpenStandardStreams() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lower ones are open by now, so open() gives this number. Not
        // close-on-exec: a program started from here gets the same streams.
        const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened < 0) return false;
        if (opened != fd) {
            // Another thread took the number first; never seen in main.
            ::close(opened);
            return false;
        }
    }
    return true;
}

}  // namespace lpt51::file
