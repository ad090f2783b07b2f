// SPDX-License-Identifier: GPL-3.0-or-later
// The one machine of the process. It is made on the first call that needs
// it, from the environment, and never destroyed: the process may still close
// files while the C library exits. At unload it saves the chip and writes
// the last faults.
#include "Interposer.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "Machine.h"

namespace {

using lpt51::emuport::Machine;
using lpt51::emuport::Settings;

std::atomic<Machine*> theMachine{nullptr};
std::atomic<int> openFiles{0};

Machine& machine() {
    static std::once_flag made;
    std::call_once(made, [] {
        std::string problem;
        auto settings = Settings::fromEnvironment(problem);
        if (!settings) {
            std::fprintf(stderr, "lpt51 emulated port: %s\n", problem.c_str());
            std::fflush(stderr);
            std::_Exit(125);
        }
        theMachine.store(new Machine(std::move(*settings)));
    });
    return *theMachine.load();
}

__attribute__((destructor)) void unload() {
    if (Machine* m = theMachine.load()) m->finish();
}

}  // namespace

extern "C" {

int lpt51_emu_emulates(const char* path) {
    return path != nullptr && Machine::emulates(path) ? 1 : 0;
}

int lpt51_emu_open(const char* path, int flags) {
    const int fd = machine().open(path, flags);
    if (fd >= 0 && machine().ownsFile(fd)) ++openFiles;
    return fd;
}

int lpt51_emu_stat(const char* path, struct stat* st) {
    return machine().stat(path, st);
}

DIR* lpt51_emu_opendir(const char* path) {
    return machine().openDirectory(path);
}

int lpt51_emu_owns_dir(DIR* dir) {
    Machine* m = theMachine.load();
    return m != nullptr && m->ownsDirectory(dir) ? 1 : 0;
}

struct dirent* lpt51_emu_readdir(DIR* dir) {
    return machine().readDirectory(dir);
}

int lpt51_emu_closedir(DIR* dir) {
    return machine().closeDirectory(dir);
}

int lpt51_emu_owns_fd(int fd) {
    if (openFiles.load() == 0) return 0;
    Machine* m = theMachine.load();
    return m != nullptr && m->ownsFile(fd) ? 1 : 0;
}

ssize_t lpt51_emu_read(int fd, void* buffer, size_t count) {
    return machine().read(fd, buffer, count);
}

ssize_t lpt51_emu_write(int fd, const void* buffer, size_t count) {
    return machine().write(fd, buffer, count);
}

off_t lpt51_emu_lseek(int fd, off_t offset, int whence) {
    return machine().seek(fd, offset, whence);
}

int lpt51_emu_ioctl(int fd, unsigned long request, void* argument) {
    return machine().ioctl(fd, request, argument);
}

void lpt51_emu_closing(int fd) {
    machine().closing(fd);
    --openFiles;
}

void lpt51_emu_refuse(const char* call) {
    machine().refuse(call);
}

}  // extern "C"
