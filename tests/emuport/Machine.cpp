// SPDX-License-Identifier: GPL-3.0-or-later
#include "Machine.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

// After sys/ioctl.h, whose request macros it uses.
#include <linux/ppdev.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sim/ChipStateFile.h"

namespace lpt51::emuport {

namespace {

constexpr const char* kProcParport = "/proc/sys/dev/parport";
constexpr const char* kPortDirectory = "/proc/sys/dev/parport/parport0";

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// "/dev/parport0" or "/dev/parports/0": the port number; -1 for anything else.
int ppdevNumber(const std::string& path) {
    std::string digits;
    if (startsWith(path, "/dev/parports/")) {
        digits = path.substr(14);
    } else if (startsWith(path, "/dev/parport")) {
        digits = path.substr(12);
    }
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return -1;
    return std::stoi(digits);
}

[[noreturn]] void unusable(const std::string& problem) {
    std::fprintf(stderr, "lpt51 emulated port: %s\n", problem.c_str());
    std::fflush(stderr);
    _exit(125);
}

sim::ChipState loadChip(const Settings& settings) {
    if (settings.stateFile.empty()) return sim::ChipState::erased(settings.chip);
    sim::ChipStateLoad load = sim::loadChipState(settings.stateFile, settings.chip);
    if (!load.chip) unusable(load.error);
    return *load.chip;
}

bool sameChip(const sim::ChipState& a, const sim::ChipState& b) {
    return a.kind == b.kind && a.code == b.code && a.lockBits == b.lockBits;
}

}  // namespace

struct Machine::OpenFile {
    enum class Kind { Ppdev, DevPort } kind;
    std::string path;
    off_t offset = 0;
    // ppdev: the device is registered with the port at its first claim.
    bool registered = false;
    bool claimed = false;
    bool exclusive = false;
    KernelPort::DeviceState state{};
    int mode = 0;
};

struct Machine::FakeDirectory {
    std::vector<std::string> names;
    std::size_t next = 0;
    struct dirent entry {};
};

Machine::Machine(Settings settings)
    : settings_(std::move(settings)), log_(settings_.logFile, clock_) {
    sim::ChipState chip = loadChip(settings_);
    saved_ = chip;
    sim::ChipTimingModel timing;
    timing.oscMHz = settings_.oscMHz;
    adapter_ = std::make_unique<sim::VirtualAdapter>(clock_, settings_.portKind, std::move(chip),
                                                     timing, sim::Wiring(settings_.wiring));
    card_ = std::make_unique<Card>(settings_, *adapter_, log_);
    kernel_ = std::make_unique<KernelPort>(settings_, *card_);
    // The fault log exists from the start, so an empty one means no fault.
    if (!settings_.faultFile.empty()) {
        if (std::FILE* out = std::fopen(settings_.faultFile.c_str(), "a")) std::fclose(out);
    }
    log_.note("lpt51 emulated parallel port: " + settings_.describe());
    log_.note("the port is at rest as the program last left it: control 07, data 00");
}

Machine::~Machine() = default;

bool Machine::emulates(const char* path) {
    const std::string p = path;
    return p == "/dev/port" || startsWith(p, "/dev/parport") || startsWith(p, "/dev/lp") ||
           startsWith(p, kProcParport) || startsWith(p, "/proc/parport");
}

int Machine::procFile(const std::string& name) {
    char text[64];
    if (name == "base-addr") {
        // Decimal, base and base_hi separated by a tab, as the kernel's sysctl prints them.
        std::snprintf(text, sizeof text, "%lu\t%lu\n", *settings_.base, settings_.baseHigh());
    } else if (name == "irq") {
        std::snprintf(text, sizeof text, "%d\n", settings_.irq);
    } else if (name == "dma") {
        std::snprintf(text, sizeof text, "-1\n");
    } else if (name == "modes") {
        std::snprintf(text, sizeof text, "%s\n",
                      settings_.portKind == sim::PortKind::OutputOnly ? "PCSPP" : "PCSPP,TRISTATE");
    } else {
        errno = ENOENT;
        return -1;
    }
    const int fd = memfd_create(("lpt51-emuport " + name).c_str(), MFD_CLOEXEC);
    if (fd < 0) return -1;
    const auto length = static_cast<ssize_t>(std::strlen(text));
    if (pwrite(fd, text, static_cast<std::size_t>(length), 0) != length) {
        const int err = errno;
        ::close(fd);
        errno = err;
        return -1;
    }
    return fd;
}

int Machine::open(const char* path, int flags) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const std::string p = path;
    OpenFile::Kind kind;
    if (p == "/dev/port") {
        if (settings_.access != Access::DevPort) {
            // Only root may open it, and the ppdev user is not root.
            errno = EACCES;
            return -1;
        }
        kind = OpenFile::Kind::DevPort;
    } else if (ppdevNumber(p) >= 0) {
        if (settings_.access != Access::Ppdev || !settings_.base || ppdevNumber(p) != 0) {
            errno = ENOENT;
            return -1;
        }
        if (settings_.denyPpdev) {
            log_.note("open " + p + " refused: permission denied");
            errno = EACCES;
            return -1;
        }
        kind = OpenFile::Kind::Ppdev;
    } else if (settings_.base && startsWith(p, kPortDirectory) &&
               p.size() > std::strlen(kPortDirectory) + 1) {
        return procFile(p.substr(std::strlen(kPortDirectory) + 1));
    } else {
        errno = ENOENT;
        return -1;
    }
    const int fd =
        memfd_create(("lpt51-emuport " + p).c_str(), (flags & O_CLOEXEC) ? MFD_CLOEXEC : 0);
    if (fd < 0) return -1;
    auto file = std::make_unique<OpenFile>();
    file->kind = kind;
    file->path = p;
    files_[fd] = std::move(file);
    log_.note("open " + p);
    return fd;
}

int Machine::stat(const char* path, struct stat* st) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const std::string p = path;
    std::memset(st, 0, sizeof *st);
    const bool ppdev = ppdevNumber(p) == 0 && settings_.access == Access::Ppdev && settings_.base;
    if (p == kProcParport || p == std::string(kProcParport) + "/default" ||
        (settings_.base && p == kPortDirectory)) {
        st->st_mode = S_IFDIR | 0555;
        st->st_nlink = 3;
    } else if (ppdev || (p == "/dev/port")) {
        st->st_mode = S_IFCHR | (p == "/dev/port" ? 0640 : 0660);
        st->st_nlink = 1;
    } else {
        errno = ENOENT;
        return -1;
    }
    return 0;
}

std::vector<std::string> Machine::directoryEntries(const std::string& path) const {
    if (path == kProcParport || path == std::string(kProcParport) + "/") {
        std::vector<std::string> names{".", "..", "default"};
        if (settings_.base) names.emplace_back("parport0");
        return names;
    }
    return {};
}

DIR* Machine::openDirectory(const char* path) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto names = directoryEntries(path);
    if (names.empty()) {
        errno = ENOENT;
        return nullptr;
    }
    auto dir = std::make_unique<FakeDirectory>();
    dir->names = std::move(names);
    DIR* handle = reinterpret_cast<DIR*>(dir.get());
    directories_[handle] = std::move(dir);
    return handle;
}

bool Machine::ownsDirectory(DIR* dir) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return directories_.count(dir) != 0;
}

struct dirent* Machine::readDirectory(DIR* handle) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    FakeDirectory& dir = *directories_.at(handle);
    if (dir.next >= dir.names.size()) return nullptr;
    const std::string& name = dir.names[dir.next++];
    dir.entry = {};
    dir.entry.d_ino = dir.next;
    dir.entry.d_off = static_cast<off_t>(dir.next);
    dir.entry.d_reclen = sizeof dir.entry;
    dir.entry.d_type = DT_DIR;
    std::snprintf(dir.entry.d_name, sizeof dir.entry.d_name, "%s", name.c_str());
    return &dir.entry;
}

int Machine::closeDirectory(DIR* dir) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    directories_.erase(dir);
    return 0;
}

bool Machine::ownsFile(int fd) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return files_.count(fd) != 0;
}

// Only /dev/port is read and written byte by byte; the parport device files
// take ioctls alone.
Machine::OpenFile* Machine::devPortFile(int fd, const char* call) {
    OpenFile& file = *files_.at(fd);
    if (file.kind != OpenFile::Kind::DevPort) {
        log_.note(std::string(call) + "() on " + file.path + " is not emulated");
        errno = EINVAL;
        return nullptr;
    }
    return &file;
}

ssize_t Machine::read(int fd, void* buffer, std::size_t count) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    OpenFile* file = devPortFile(fd, "read");
    if (file == nullptr) return -1;
    auto* bytes = static_cast<unsigned char*>(buffer);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = card_->in(static_cast<unsigned long>(file->offset++), "/dev/port read");
    }
    return static_cast<ssize_t>(count);
}

ssize_t Machine::write(int fd, const void* buffer, std::size_t count) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    OpenFile* file = devPortFile(fd, "write");
    if (file == nullptr) return -1;
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    for (std::size_t i = 0; i < count; ++i) {
        card_->out(static_cast<unsigned long>(file->offset++), bytes[i], "/dev/port write");
    }
    return static_cast<ssize_t>(count);
}

off_t Machine::seek(int fd, off_t offset, int whence) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    OpenFile& file = *files_.at(fd);
    if (file.kind != OpenFile::Kind::DevPort) {
        errno = ESPIPE;
        return -1;
    }
    const off_t from = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? file.offset : -1;
    if (from < 0 || from + offset < 0 || from + offset > 0xFFFF) {
        errno = EINVAL;
        return -1;
    }
    file.offset = from + offset;
    return file.offset;
}

int Machine::ioctl(int fd, unsigned long request, void* argument) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    OpenFile& file = *files_.at(fd);
    if (file.kind != OpenFile::Kind::Ppdev) {
        errno = ENOTTY;
        return -1;
    }
    return ppdevIoctl(fd, file, request, argument);
}

// drivers/char/ppdev.c, pp_do_ioctl, for the calls libieee1284 makes.
int Machine::ppdevIoctl(int fd, OpenFile& file, unsigned long request, void* argument) {
    auto* byte = static_cast<unsigned char*>(argument);
    switch (request) {
        case PPCLAIM:
            if (file.claimed) {
                errno = EINVAL;
                return -1;
            }
            if (claimedBy_ >= 0) {
                // Another open file holds the port; the kernel would wait for it.
                log_.note("PPCLAIM while another file holds the port: not emulated");
                errno = EBUSY;
                return -1;
            }
            if (!file.registered) {
                // The device is registered at its first claim and gets the
                // driver's initial state.
                file.registered = true;
                file.state = kernel_->initialState();
            }
            kernel_->claim(file.state);
            file.claimed = true;
            claimedBy_ = fd;
            return 0;
        case PPEXCL:
            if (file.registered) {
                if (file.exclusive) return 0;
                errno = EINVAL;
                return -1;
            }
            file.exclusive = true;
            return 0;
        case PPGETMODES:
            *static_cast<unsigned*>(argument) = kernel_->modes();
            return 0;
        case PPSETMODE:
            file.mode = *static_cast<int*>(argument);
            return 0;
        case PPGETMODE:
            *static_cast<int*>(argument) = file.mode;
            return 0;
        default:
            break;
    }
    // Everything else needs the port claimed.
    if (!file.claimed) {
        errno = EINVAL;
        return -1;
    }
    switch (request) {
        case PPRELEASE:
            kernel_->release(file.state);
            file.claimed = false;
            claimedBy_ = -1;
            return 0;
        case PPRSTATUS:
            *byte = card_->readStatus("PPRSTATUS");
            return 0;
        case PPRDATA:
            *byte = card_->readData("PPRDATA");
            return 0;
        case PPWDATA:
            card_->writeData(*byte, "PPWDATA");
            return 0;
        case PPRCONTROL:
            *byte = kernel_->readControl();
            return 0;
        case PPWCONTROL:
            kernel_->writeControl(*byte);
            return 0;
        case PPFCONTROL: {
            const auto* frob = static_cast<const ppdev_frob_struct*>(argument);
            kernel_->frobControl(frob->mask, frob->val);
            return 0;
        }
        case PPDATADIR:
            kernel_->dataDirection(*static_cast<int*>(argument) != 0);
            return 0;
        case PPYIELD:
            return 0;
        default: {
            char text[64];
            std::snprintf(text, sizeof text, "ioctl 0x%lX on %s is not emulated", request,
                          file.path.c_str());
            log_.note(text);
            errno = EINVAL;
            return -1;
        }
    }
}

void Machine::closing(int fd) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = files_.find(fd);
    if (it == files_.end()) return;
    OpenFile& file = *it->second;
    // pp_release: a claim still held is released, the device unregistered.
    if (file.claimed) {
        kernel_->release(file.state);
        claimedBy_ = -1;
    }
    log_.note("close " + file.path);
    files_.erase(it);
    persist();
}

void Machine::refuse(const std::string& call) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    log_.note(call + " refused: no real I/O port is ever reached");
}

void Machine::persist() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!settings_.stateFile.empty() && !sameChip(adapter_->chip(), saved_)) {
        if (auto problem = sim::saveChipState(settings_.stateFile, adapter_->chip())) {
            log_.note("chip state not saved: " + *problem);
            std::fprintf(stderr, "lpt51 emulated port: %s\n", problem->c_str());
        } else {
            saved_ = adapter_->chip();
        }
    }
    const auto& faults = adapter_->faults();
    if (!settings_.faultFile.empty() && faultsWritten_ < faults.size()) {
        if (std::FILE* out = std::fopen(settings_.faultFile.c_str(), "a")) {
            for (; faultsWritten_ < faults.size(); ++faultsWritten_) {
                const auto& f = faults[faultsWritten_];
                std::fprintf(out, "%.3f %s\n", log_.microsAt(f.at), f.what.c_str());
            }
            std::fclose(out);
        }
    }
    log_.flush();
}

void Machine::finish() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    persist();
    if (auto held = card_->longestDriverProgLow()) {
        char text[96];
        std::snprintf(text, sizeof text, "longest PROG low after a claim: %.1f us", *held);
        log_.note(text);
    }
    log_.flush();
}

}  // namespace lpt51::emuport
