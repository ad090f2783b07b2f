// SPDX-License-Identifier: GPL-3.0-or-later
#include "file/System.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

namespace lpt51::file {

namespace {

PosixSystem posix;
System* current = &posix;

}  // namespace

int PosixSystem::open(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}
ssize_t PosixSystem::read(int fd, void* buffer, std::size_t size) {
    return ::read(fd, buffer, size);
}
ssize_t PosixSystem::write(int fd, const void* data, std::size_t size) {
    return ::write(fd, data, size);
}
int PosixSystem::fstat(int fd, struct stat* info) {
    return ::fstat(fd, info);
}
int PosixSystem::stat(const char* path, struct stat* info) {
    return ::stat(path, info);
}
int PosixSystem::lstat(const char* path, struct stat* info) {
    return ::lstat(path, info);
}
int PosixSystem::fchmod(int fd, mode_t mode) {
    return ::fchmod(fd, mode);
}
int PosixSystem::fsync(int fd) {
    return ::fsync(fd);
}
int PosixSystem::close(int fd) {
    return ::close(fd);
}
int PosixSystem::rename(const char* from, const char* to) {
    return ::rename(from, to);
}
int PosixSystem::unlink(const char* path) {
    return ::unlink(path);
}
int PosixSystem::ftruncate(int fd, off_t length) {
    return ::ftruncate(fd, length);
}
int PosixSystem::access(const char* path, int mode) {
    return ::access(path, mode);
}
int PosixSystem::posix_fallocate(int fd, off_t offset, off_t length) {
    return ::posix_fallocate(fd, offset, length);
}
std::string PosixSystem::realPath(const char* path) {
    char* real = ::realpath(path, nullptr);
    if (real == nullptr) return {};
    std::string text = real;
    std::free(real);
    return text;
}

std::string PosixSystem::readLink(const char* path) {
    char target[4096];
    const ssize_t n = ::readlink(path, target, sizeof target);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) return {};
    return std::string(target, static_cast<std::size_t>(n));
}

System& CurrentSystem() {
    return *current;
}

System* SetSystem(System* system) {
    System* previous = current;
    current = system != nullptr ? system : &posix;
    return previous;
}

}  // namespace lpt51::file
