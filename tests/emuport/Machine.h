// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Card.h"
#include "KernelPort.h"
#include "RegisterLog.h"
#include "Settings.h"
#include "port/Clock.h"
#include "sim/VirtualAdapter.h"

namespace lpt51::emuport {

// The machine the process believes it runs on: a parallel port driven by
// parport_pc, reached through ppdev (/dev/parportN, /proc/sys/dev/parport)
// or through /dev/port, with the adapter and its chip on the port. It
// answers the file calls libieee1284 makes on those paths; every other path
// is left to the real system. No real I/O port is ever touched.
//
// Each call returns what the system call would: -1 (or null) with errno
// set on failure.
class Machine {
  public:
    explicit Machine(Settings settings);
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // Whether a path is one this machine answers for.
    static bool emulates(const char* path);

    int open(const char* path, int flags);
    int stat(const char* path, struct stat* st);
    DIR* openDirectory(const char* path);
    bool ownsDirectory(DIR* dir);
    struct dirent* readDirectory(DIR* dir);
    int closeDirectory(DIR* dir);

    bool ownsFile(int fd);
    ssize_t read(int fd, void* buffer, std::size_t count);
    ssize_t write(int fd, const void* buffer, std::size_t count);
    off_t seek(int fd, off_t offset, int whence);
    int ioctl(int fd, unsigned long request, void* argument);
    // Called before the real close of one of this machine's files.
    void closing(int fd);

    // A raw I/O permission request, always refused: the emulation never lets
    // the process reach a real port.
    void refuse(const std::string& call);

    // Saves the chip when it changed and appends new faults to the fault log.
    void persist();
    // At the end of the process: persist, and note the longest PROG low
    // after a claim.
    void finish();

  private:
    struct OpenFile;
    struct FakeDirectory;

    OpenFile* devPortFile(int fd, const char* call);
    int ppdevIoctl(int fd, OpenFile& file, unsigned long request, void* argument);
    int procFile(const std::string& name);
    std::vector<std::string> directoryEntries(const std::string& path) const;

    std::recursive_mutex mutex_;
    Settings settings_;
    RealClock clock_;
    RegisterLog log_;
    std::unique_ptr<sim::VirtualAdapter> adapter_;
    std::unique_ptr<Card> card_;
    std::unique_ptr<KernelPort> kernel_;
    std::map<int, std::unique_ptr<OpenFile>> files_;
    std::map<DIR*, std::unique_ptr<FakeDirectory>> directories_;
    int claimedBy_ = -1;
    std::size_t faultsWritten_ = 0;
    sim::ChipState saved_;
};

}  // namespace lpt51::emuport
