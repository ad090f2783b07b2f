// SPDX-License-Identifier: GPL-3.0-or-later
/* The calls between the C shims (Shims.c), which stand in for the C library's
 * functions in the process, and the emulated machine. Each returns what the
 * system call would, with errno set on failure. */
#ifndef LPT51_EMUPORT_INTERPOSER_H
#define LPT51_EMUPORT_INTERPOSER_H

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Whether the emulated machine answers for this path. */
int lpt51_emu_emulates(const char* path);
int lpt51_emu_open(const char* path, int flags);
int lpt51_emu_stat(const char* path, struct stat* st);
DIR* lpt51_emu_opendir(const char* path);
int lpt51_emu_owns_dir(DIR* dir);
struct dirent* lpt51_emu_readdir(DIR* dir);
int lpt51_emu_closedir(DIR* dir);
/* Whether fd is one of the emulated machine's files; cheap before any is open. */
int lpt51_emu_owns_fd(int fd);
ssize_t lpt51_emu_read(int fd, void* buffer, size_t count);
ssize_t lpt51_emu_write(int fd, const void* buffer, size_t count);
off_t lpt51_emu_lseek(int fd, off_t offset, int whence);
int lpt51_emu_ioctl(int fd, unsigned long request, void* argument);
/* Before the real close of one of the machine's files. */
void lpt51_emu_closing(int fd);
/* A request for raw I/O permission, which is always refused. */
void lpt51_emu_refuse(const char* call);

#ifdef __cplusplus
}
#endif

#endif
