// SPDX-License-Identifier: GPL-3.0-or-later
/* The C library functions libieee1284 reaches the port through, standing in
 * for the real ones in the process (LD_PRELOAD). A call on a path or file of
 * the emulated machine goes to it; every other call goes on to the next
 * definition (the C library, or a sanitizer's interceptor). Raw port access
 * (ioperm, iopl) is always refused, so inb and outb are never reached. */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/io.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Interposer.h"

static void* next_definition(const char* name, const char* version) {
    void* found = version != NULL ? dlvsym(RTLD_NEXT, name, version) : dlsym(RTLD_NEXT, name);
    if (found == NULL) {
        static const char text[] = "lpt51 emulated port: a C library function is missing\n";
        (void)!write(2, text, sizeof text - 1);
        abort();
    }
    return found;
}

/* Fills `slot` with the next definition the first time. */
#define NEXT(slot, name, version)                         \
    do {                                                  \
        if (slot == NULL) {                               \
            void* found = next_definition(name, version); \
            memcpy(&slot, &found, sizeof found);          \
        }                                                 \
    } while (0)

/* open() and open64() take a mode only when they create a file. */
static mode_t mode_argument(int flags, va_list args) {
    const int creates = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
    return creates ? (mode_t)va_arg(args, int) : 0;
}

/* open() and open64(), the same but for the name of the next definition. */
#define DEFINE_OPEN(function)                                             \
    int function(const char* path, int flags, ...) {                      \
        static int (*real)(const char*, int, ...);                        \
        va_list args;                                                     \
        va_start(args, flags);                                            \
        const mode_t mode = mode_argument(flags, args);                   \
        va_end(args);                                                     \
        if (lpt51_emu_emulates(path)) return lpt51_emu_open(path, flags); \
        NEXT(real, #function, NULL);                                      \
        return real(path, flags, mode);                                   \
    }

DEFINE_OPEN(open)
DEFINE_OPEN(open64)

/* What libieee1284 built against an older C library calls for stat(). */
int __xstat(int version, const char* path, struct stat* st);
int __xstat(int version, const char* path, struct stat* st) {
    static int (*real)(int, const char*, struct stat*);
    if (lpt51_emu_emulates(path)) return lpt51_emu_stat(path, st);
    NEXT(real, "__xstat", "GLIBC_2.2.5");
    return real(version, path, st);
}

int stat(const char* restrict path, struct stat* restrict st) {
    static int (*real)(const char*, struct stat*);
    if (lpt51_emu_emulates(path)) return lpt51_emu_stat(path, st);
    NEXT(real, "stat", NULL);
    return real(path, st);
}

DIR* opendir(const char* path) {
    static DIR* (*real)(const char*);
    if (lpt51_emu_emulates(path)) return lpt51_emu_opendir(path);
    NEXT(real, "opendir", NULL);
    return real(path);
}

struct dirent* readdir(DIR* dir) {
    static struct dirent* (*real)(DIR*);
    if (lpt51_emu_owns_dir(dir)) return lpt51_emu_readdir(dir);
    NEXT(real, "readdir", NULL);
    return real(dir);
}

int closedir(DIR* dir) {
    static int (*real)(DIR*);
    if (lpt51_emu_owns_dir(dir)) return lpt51_emu_closedir(dir);
    NEXT(real, "closedir", NULL);
    return real(dir);
}

ssize_t read(int fd, void* buffer, size_t count) {
    static ssize_t (*real)(int, void*, size_t);
    if (lpt51_emu_owns_fd(fd)) return lpt51_emu_read(fd, buffer, count);
    NEXT(real, "read", NULL);
    return real(fd, buffer, count);
}

ssize_t write(int fd, const void* buffer, size_t count) {
    static ssize_t (*real)(int, const void*, size_t);
    if (lpt51_emu_owns_fd(fd)) return lpt51_emu_write(fd, buffer, count);
    NEXT(real, "write", NULL);
    return real(fd, buffer, count);
}

off_t lseek(int fd, off_t offset, int whence) {
    static off_t (*real)(int, off_t, int);
    if (lpt51_emu_owns_fd(fd)) return lpt51_emu_lseek(fd, offset, whence);
    NEXT(real, "lseek", NULL);
    return real(fd, offset, whence);
}

int close(int fd) {
    static int (*real)(int);
    if (lpt51_emu_owns_fd(fd)) lpt51_emu_closing(fd);
    NEXT(real, "close", NULL);
    return real(fd);
}

int ioctl(int fd, unsigned long request, ...) {
    static int (*real)(int, unsigned long, ...);
    va_list args;
    va_start(args, request);
    void* argument = va_arg(args, void*);
    va_end(args);
    if (lpt51_emu_owns_fd(fd)) return lpt51_emu_ioctl(fd, request, argument);
    NEXT(real, "ioctl", NULL);
    return real(fd, request, argument);
}

int ioperm(unsigned long from, unsigned long num, int turn_on) {
    char call[64];
    snprintf(call, sizeof call, "ioperm(0x%lX, %lu, %d)", from, num, turn_on);
    lpt51_emu_refuse(call);
    errno = EPERM;
    return -1;
}

int iopl(int level) {
    char call[32];
    snprintf(call, sizeof call, "iopl(%d)", level);
    lpt51_emu_refuse(call);
    errno = EPERM;
    return -1;
}
