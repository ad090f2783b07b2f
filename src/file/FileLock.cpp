#include "file/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "file/System.h"

namespace lpt51::file {

namespace {

long ReadPid(int fd) {
    char text[24] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    if (n <= 0) return 0;
    long pid = 0;
    for (ssize_t i = 0; i < n && text[i] >= '0' && text[i] <= '9'; ++i)
        pid = pid * 10 + (text[i] - '0');
    return pid;
}

}  // namespace

std::optional<FileLock::Refusal> FileLock::acquire(const std::string& lockPath, FileLock& out) {
    out.release();
    System& sys = CurrentSystem();
    Descriptor fd(sys.open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666));
    // A lock file this user cannot write still locks, read-only; it cannot
    // take the id.
    const bool writable = fd.valid();
    if (!writable && (errno == EACCES || errno == EROFS)) {
        fd = Descriptor(sys.open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW, 0));
    }
    if (!fd.valid()) return Refusal{false, 0, errno};
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK) return Refusal{false, 0, errno};
        // The holder writes its id just after it locks: give it a moment.
        long pid = ReadPid(fd.get());
        for (int attempt = 0; pid == 0 && attempt < 20; ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            pid = ReadPid(fd.get());
        }
        return Refusal{true, pid, 0};
    }
    // The id is only for the message; a lock file that cannot take it still locks.
    const std::string pid = std::to_string(static_cast<long>(::getpid())) + "\n";
    if (writable && sys.ftruncate(fd.get(), 0) == 0) WriteAll(fd.get(), pid);
    out.fd_ = std::move(fd);
    return std::nullopt;
}

}  // namespace lpt51::file
