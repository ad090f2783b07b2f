// SPDX-License-Identifier: GPL-3.0-or-later
#include "backend/TraceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace lpt51 {

namespace {

// An existing regular file may be replaced only if it is empty or an earlier
// trace; devices, pipes and new names are always fine.
std::optional<std::string> refusalToReplace(const std::string& path, const std::string& signature) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) {
        return std::nullopt;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;  // open for writing will say why
    std::string start(signature.size(), '\0');
    const ssize_t n = ::read(fd, start.data(), start.size());
    ::close(fd);
    if (n == static_cast<ssize_t>(start.size()) && start == signature) return std::nullopt;
    return "Cannot write the port trace to " + path +
           ": the file exists and is not a port trace; give another name or remove it. Nothing "
           "was done.";
}

}  // namespace

std::unique_ptr<TraceFile> TraceFile::create(const std::string& path, const std::string& signature,
                                             const std::string& header, std::string& problem) {
    if (auto refusal = refusalToReplace(path, signature)) {
        problem = *refusal;
        return nullptr;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        problem = "Cannot write the port trace to " + path + ": " + std::strerror(errno) +
                  ". Nothing was done.";
        return nullptr;
    }
    std::unique_ptr<TraceFile> file(new TraceFile(fd, path));
    file->buffer_ = header;
    file->flush();
    if (file->failure_) {
        problem = "Cannot write the port trace to " + path + ": " + *file->failure_ +
                  ". Nothing was done.";
        return nullptr;
    }
    return file;
}

TraceFile::~TraceFile() {
    flush();
    ::close(fd_);
}

void TraceFile::flush() {
    if (failure_) {
        buffer_.clear();
        return;
    }
    std::size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // A short write of 0 on a regular file means no space as well.
            failure_ = n < 0 ? std::strerror(errno) : std::strerror(ENOSPC);
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    buffer_.clear();
}

}  // namespace lpt51
