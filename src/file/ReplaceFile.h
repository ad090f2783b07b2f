#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lpt51::file {

// Why a replacement failed, for the caller to put in its own words. The
// file at the path is as it was before, and no temporary file is left.
struct ReplaceProblem {
    enum class Step {
        Create,  // no temporary file could be made beside the target
        Write,   // writing, flushing or renaming it failed, or the target is a directory
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

// Whether ReplaceFile could make its temporary file beside `path` now: asked
// before long work whose result goes there. Nothing is left behind.
std::optional<ReplaceProblem> CheckReplaceable(const std::string& path);

// The directory a path lies in: "." for a bare name.
std::string DirectoryOf(const std::string& path);

}  // namespace lpt51::file
