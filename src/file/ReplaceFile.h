// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "file/Descriptor.h"

namespace lpt51::file {

// Why a replacement failed, for the caller to put in its own words. The
// file at the path is as it was before, and no temporary file is left.
struct ReplaceProblem {
    enum class Step {
        Create,   // no temporary file could be made beside the target
        Reserve,  // the file system has no room for the new bytes
        Write,    // writing, flushing or renaming it failed, or the target is a directory
    };
    Step step;
    int error;
};

// Replaces the file at `path` with `bytes` so that a crash or a failure at any
// point leaves the old file or the new one, never a mixture: the bytes go to
// a new temporary file in the same directory, are flushed to disk and the
// file is renamed over `path`; then the directory is flushed, so the rename
// lasts too. The new file keeps the old one's permissions (a new name gets
// the umask's). A symbolic link is followed: the file it points to is
// replaced and the link stays.
std::optional<ReplaceProblem> ReplaceFile(const std::string& path, std::string_view bytes);

// A replacement as ReplaceFile makes it, split in two: the temporary file is
// made and its room taken from the file system first (posix_fallocate), so
// that work whose result must be saved can be refused before it starts
// rather than lost after it. Whatever fills the disk in between, the bytes
// then fit. Abandoned, or destroyed uncommitted, it removes its temporary
// file and leaves the target as it was.
class ReservedReplacement {
  public:
    ReservedReplacement() = default;
    ReservedReplacement(ReservedReplacement&& other) noexcept;
    ReservedReplacement& operator=(ReservedReplacement&& other) noexcept;
    ReservedReplacement(const ReservedReplacement&) = delete;
    ReservedReplacement& operator=(const ReservedReplacement&) = delete;
    ~ReservedReplacement() { abandon(); }

    // Reserves `size` bytes for a replacement of `path`; `out` is active
    // only on success. Temporary files that earlier replacements of `path`
    // by processes no longer running left behind are removed first.
    static std::optional<ReplaceProblem> reserve(const std::string& path, std::size_t size,
                                                 ReservedReplacement& out);

    bool active() const { return fd_.valid(); }
    // Writes `bytes` into the reserved file, flushes it and renames it over
    // the target; inactive afterwards, whatever the outcome.
    std::optional<ReplaceProblem> commit(std::string_view bytes);
    void abandon();

  private:
    std::string target_;
    std::string temp_;
    Descriptor fd_;
    std::size_t size_ = 0;
};

// Whether ReplaceFile could make its temporary file beside `path` now: asked
// before long work whose result goes there. Nothing is left behind.
std::optional<ReplaceProblem> CheckReplaceable(const std::string& path);

// The path with the symbolic links at its end followed: the file a save
// through it writes, which may not exist yet (a dangling link). The path
// itself when it is no link; empty for a loop.
std::string ResolvedPath(const std::string& path);

// Removes the temporary files that replacements of `path` by processes no
// longer running left behind (killed mid-save); those of running processes
// may be in use and stay. Returns how many were removed.
std::size_t RemoveOrphanedTemporaries(const std::string& path);

// The directory a path lies in: "." for a bare name.
std::string DirectoryOf(const std::string& path);

}  // namespace lpt51::file
