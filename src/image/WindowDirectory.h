// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "file/FileLock.h"

namespace lpt51::image {

// One window's directory for its temporary files (kTempHex, kTempD51), so that
// two windows of one user never read, run d51 on or delete each other's
// image. It is private (0700), holds a lock file that the window keeps locked
// while it runs, and goes with everything in it when the object is destroyed.
// A window that was killed leaves its directory unlocked, and the next window
// to start removes it; a directory whose lock is held is never touched.
class WindowDirectory {
  public:
    // In $XDG_RUNTIME_DIR/lpt51/ when that variable names a directory of the
    // user's own that nobody else may write, else in `filesDir` + "windows/"
    // (the settings' directory); null when neither can be made.
    static std::unique_ptr<WindowDirectory> create(const std::string& filesDir);
    // The same in `base` alone, a directory of windows' directories that is
    // made (0700) when missing.
    static std::unique_ptr<WindowDirectory> createIn(const std::string& base);

    WindowDirectory(const WindowDirectory&) = delete;
    WindowDirectory& operator=(const WindowDirectory&) = delete;
    ~WindowDirectory();

    // With a trailing '/'.
    const std::string& path() const { return path_; }

  private:
    WindowDirectory(std::string path, file::FileLock lock)
        : path_(std::move(path)), lock_(std::move(lock)) {}

    std::string path_;
    file::FileLock lock_;
};

// The directory windows make theirs in when $XDG_RUNTIME_DIR can take them;
// empty when it cannot (unset, not absolute, not a directory, another's, or
// writable by others).
std::string RuntimeWindowsDirectory();

}  // namespace lpt51::image
