// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <string>

namespace lpt51::file {

// Every system call the file module makes, behind one seam, so that tests can
// make any one of them fail (a full disk at the write, an I/O error at the
// fsync, a rename across devices) and see what the module leaves behind.
// Each function has the meaning, return value and errno of the call it is
// named after.
class System {
  public:
    virtual ~System() = default;
    virtual int open(const char* path, int flags, mode_t mode) = 0;
    virtual ssize_t read(int fd, void* buffer, std::size_t size) = 0;
    virtual ssize_t write(int fd, const void* data, std::size_t size) = 0;
    virtual int fstat(int fd, struct stat* info) = 0;
    virtual int stat(const char* path, struct stat* info) = 0;
    virtual int lstat(const char* path, struct stat* info) = 0;
    virtual int fchmod(int fd, mode_t mode) = 0;
    virtual int fsync(int fd) = 0;
    virtual int close(int fd) = 0;
    virtual int rename(const char* from, const char* to) = 0;
    virtual int unlink(const char* path) = 0;
    virtual int ftruncate(int fd, off_t length) = 0;
    virtual int access(const char* path, int mode) = 0;
    // posix_fallocate(3): returns 0 or the error number itself, not -1.
    virtual int posix_fallocate(int fd, off_t offset, off_t length) = 0;
    // realpath(3): the path with every link resolved; empty when it fails.
    virtual std::string realPath(const char* path) = 0;
    // readlink(2): what the link names; empty when it fails.
    virtual std::string readLink(const char* path) = 0;
};

// The operating system itself. Tests derive from it to fail one call and
// pass the rest through.
class PosixSystem : public System {
  public:
    int open(const char* path, int flags, mode_t mode) override;
    ssize_t read(int fd, void* buffer, std::size_t size) override;
    ssize_t write(int fd, const void* data, std::size_t size) override;
    int fstat(int fd, struct stat* info) override;
    int stat(const char* path, struct stat* info) override;
    int lstat(const char* path, struct stat* info) override;
    int fchmod(int fd, mode_t mode) override;
    int fsync(int fd) override;
    int close(int fd) override;
    int rename(const char* from, const char* to) override;
    int unlink(const char* path) override;
    int ftruncate(int fd, off_t length) override;
    int access(const char* path, int mode) override;
    int posix_fallocate(int fd, off_t offset, off_t length) override;
    std::string realPath(const char* path) override;
    std::string readLink(const char* path) override;
};

// The system the module's calls go to: the real one unless a test has put
// another in its place.
System& CurrentSystem();

// Test hook: routes the module's calls to `system` from now on, or back to
// the real one for null. Returns the one it replaces.
System* SetSystem(System* system);

}  // namespace lpt51::file
