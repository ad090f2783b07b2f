#include "file/ReplaceFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

#include "file/Descriptor.h"
#include "file/System.h"

namespace lpt51::file {

namespace {

// Saving through a symbolic link writes the file it points to; renaming
// over the link itself would silently cut it loose.
std::string FollowLink(const std::string& path) {
    System& sys = CurrentSystem();
    struct stat link {};
    if (sys.lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
    std::string real = sys.realPath(path.c_str());
    return real.empty() ? path : real;
}

std::string TemporaryName(const std::string& path) {
    static std::random_device random;
    char tail[32];
    std::snprintf(tail, sizeof tail, ".tmp-%ld-%08X", static_cast<long>(::getpid()), random());
    return path + tail;
}

void SyncDirectory(const std::string& dir) {
    // A failure here loses nothing: the new file is complete under its name.
    Descriptor fd(CurrentSystem().open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
    if (fd.valid()) CurrentSystem().fsync(fd.get());
}

}  // namespace

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

namespace {

// O_EXCL: never write into a file someone else made.
Descriptor CreateTemporary(const std::string& path, std::string& temp) {
    Descriptor fd;
    for (int attempt = 0; attempt < 16 && !fd.valid(); ++attempt) {
        temp = TemporaryName(path);
        fd = Descriptor(
            CurrentSystem().open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd.valid() && errno != EEXIST) break;
    }
    return fd;
}

}  // namespace

std::optional<ReplaceProblem> CheckReplaceable(const std::string& requested) {
    System& sys = CurrentSystem();
    const std::string path = FollowLink(requested);
    struct stat old {};
    if (sys.stat(path.c_str(), &old) == 0 && S_ISDIR(old.st_mode))
        return ReplaceProblem{ReplaceProblem::Step::Write, EISDIR};
    std::string temp;
    Descriptor fd = CreateTemporary(path, temp);
    if (!fd.valid()) return ReplaceProblem{ReplaceProblem::Step::Create, errno};
    fd.close();
    sys.unlink(temp.c_str());
    return std::nullopt;
}

std::optional<ReplaceProblem> ReplaceFile(const std::string& requested, std::string_view bytes) {
    System& sys = CurrentSystem();
    const std::string path = FollowLink(requested);
    struct stat old {};
    const bool exists = sys.stat(path.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) return ReplaceProblem{ReplaceProblem::Step::Write, EISDIR};

    std::string temp;
    Descriptor fd = CreateTemporary(path, temp);
    if (!fd.valid()) return ReplaceProblem{ReplaceProblem::Step::Create, errno};

    int error = 0;
    if (exists && sys.fchmod(fd.get(), old.st_mode & 07777) != 0) error = errno;
    if (error == 0) error = WriteAll(fd.get(), bytes);
    if (error == 0 && sys.fsync(fd.get()) != 0) error = errno;
    const int closed = fd.close();
    if (error == 0) error = closed;
    if (error == 0 && sys.rename(temp.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        sys.unlink(temp.c_str());
        return ReplaceProblem{ReplaceProblem::Step::Write, error};
    }
    SyncDirectory(DirectoryOf(path));
    return std::nullopt;
}

}  // namespace lpt51::file
