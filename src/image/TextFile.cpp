#include "image/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace lpt51::image {
namespace {

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

std::string Failure(const char* what, const std::string& path, int err) {
    return std::string(what) + " " + Quoted(path) + ": " + std::strerror(err);
}

// Closes a descriptor on every way out of a function.
class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

bool WriteAll(int fd, std::string_view data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Reads up to the text limit from an open descriptor into `text`.
std::optional<std::string> ReadUpToLimit(int fd, const std::string& path, std::string& text) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Failure("Cannot read", path, errno);
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
        // The file may grow while it is read.
        if (text.size() > kMaxTextFileBytes)
            return "Cannot open " + Quoted(path) + ": file is larger than 64 MiB";
    }
    return std::nullopt;
}

std::optional<std::string> ReadRegularFile(const std::string& path, std::string& text) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return Failure("Cannot open", path, errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return Failure("Cannot read", path, errno);
    if (S_ISDIR(st.st_mode)) return Failure("Cannot open", path, EISDIR);
    if (!S_ISREG(st.st_mode)) return "Cannot open " + Quoted(path) + ": not a regular file";
    if (static_cast<std::uint64_t>(st.st_size) > kMaxTextFileBytes)
        return "Cannot open " + Quoted(path) + ": file is larger than 64 MiB";
    text.reserve(static_cast<std::size_t>(st.st_size));
    return ReadUpToLimit(fd.get(), path, text);
}

std::optional<std::string> TextToLines(const std::string& path, const std::string& text,
                                       Lines& lines) {
    if (text.find('\0') != std::string::npos)
        return "Cannot open " + Quoted(path) + ": not a text file (it contains NUL bytes)";
    lines = SplitLines(text);
    return std::nullopt;
}

}  // namespace

std::optional<std::string> LoadLines(const std::string& path, Lines& lines) {
    std::string text;
    if (auto error = ReadRegularFile(path, text)) return error;
    return TextToLines(path, text, lines);
}

std::optional<std::string> ReadLines(int fd, const std::string& name, Lines& lines) {
    std::string text;
    if (auto error = ReadUpToLimit(fd, name, text)) return error;
    return TextToLines(name, text, lines);
}

std::optional<std::string> LoadBytes(const std::string& path, std::string& bytes) {
    std::string data;
    if (auto error = ReadRegularFile(path, data)) return error;
    bytes = std::move(data);
    return std::nullopt;
}

std::optional<std::string> SaveLines(const std::string& path, const Lines& lines) {
    std::string data;
    std::size_t size = 0;
    for (const auto& line : lines) size += line.size() + 1;
    data.reserve(size);
    for (const auto& line : lines) {
        data += line;
        data += '\n';
    }
    return SaveBytes(path, data);
}

std::optional<std::string> SaveBytes(const std::string& requested, std::string_view data) {
    // Saving through a symbolic link writes the file it points to; renaming
    // over the link itself would silently cut it loose.
    std::string path = requested;
    struct stat link {};
    if (::lstat(requested.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* real = ::realpath(requested.c_str(), nullptr)) {
            path = real;
            std::free(real);
        }
    }
    struct stat old {};
    const bool exists = ::stat(path.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) return Failure("Cannot write", path, EISDIR);

    std::string temp = path + ".XXXXXX";
    Fd fd(::mkstemp(temp.data()));
    if (fd.get() < 0) return Failure("Cannot create", path, errno);
    auto fail = [&](int err) {
        ::unlink(temp.c_str());
        return Failure("Cannot write", path, err);
    };
    // The replacement keeps the permissions of the file it replaces.
    const mode_t mode = exists ? (old.st_mode & 07777) : NewFileMode();
    if (::fchmod(fd.get(), mode) != 0) return fail(errno);

    if (!WriteAll(fd.get(), data)) return fail(errno);
    if (::fsync(fd.get()) != 0) return fail(errno);
    if (::close(fd.release()) != 0) return fail(errno);
    if (::rename(temp.c_str(), path.c_str()) != 0) return fail(errno);

    // Makes the rename itself durable; a failure here loses nothing.
    const std::size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    Fd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd.get() >= 0) ::fsync(dirFd.get());
    return std::nullopt;
}

}  // namespace lpt51::image
