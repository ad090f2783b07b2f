// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include "file/Descriptor.h"

namespace lpt51::file {

// An exclusive lock (flock) on a lock file of its own, held while the object
// lives. The lock file is never replaced, so the lock holds across atomic
// replacements of the file it guards, which a lock on that file's own inode
// would not: the rename leaves it on the old inode. The holder's process id
// is written into it, so that the one refused can name it.
//
// The holder removes the lock file as it lets go, so none is left beside the
// file it guarded. One that has just locked a file removed under it holds
// nothing: it checks that its file is still the one the name leads to, and
// opens the name again when it is not.
class FileLock {
  public:
    struct Refusal {
        bool held = false;  // another holds it (`pid`, 0 when it cannot be read)
        long pid = 0;
        // Set when the system names a holder that is not a FileLock of this
        // program (its id is not the one in the file): the holder's command
        // name, "?" when it cannot be read.
        std::string otherProgram;
        int error = 0;  // otherwise: why the lock file could not be opened or locked
    };

    FileLock() = default;
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock() { release(); }

    // Takes the lock on `lockPath` without waiting, creating the file if it
    // is missing; `out` holds it only on success.
    static std::optional<Refusal> acquire(const std::string& lockPath, FileLock& out);

    bool held() const { return fd_.valid(); }
    // Removes the lock file, still locked, then unlocks.
    void release();

  private:
    Descriptor fd_;
    std::string path_;
};

}  // namespace lpt51::file
