// SPDX-License-Identifier: GPL-3.0-or-later
// Loaded into quillmoor-make with LD_PRELOAD, this stands in for the file systems and the kills a
// test cannot arrange as root on the test machine:
//   QLM_SHIM_NO_LINKS=1      a file system like FAT or exFAT through FUSE: no hard links (EPERM),
//                            no RENAME_NOREPLACE (EINVAL), no O_TMPFILE, no extended attributes;
//   QLM_SHIM_NO_MARKS=1      no extended attributes alone (an older network file system);
//   QLM_SHIM_NO_NEW_FILES=1  a folder that allows no new files (mode 0555 for another user): below
//                            QLM_SHIM_FOLDER, no file is created, linked, renamed or removed;
//   QLM_SHIM_KILL_AT=K       the K-th call that changes a file ends the process at once, as kill -9
//                            would; a write is cut in half first, as a kill during it leaves it;
//   QLM_SHIM_COUNT_FILE=F    the number of such calls is written to F when the process ends.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/xattr.h>
#include <unistd.h>

static atomic_long calls;
static long kill_at = -1;
static int no_links;
static int no_marks;
static int no_new_files;
static const char* folder;

__attribute__((constructor)) static void Start(void) {
    const char* value = getenv("QLM_SHIM_KILL_AT");
    kill_at = value != NULL ? atol(value) : -1;
    no_links = getenv("QLM_SHIM_NO_LINKS") != NULL;
    no_marks = no_links || getenv("QLM_SHIM_NO_MARKS") != NULL;
    no_new_files = getenv("QLM_SHIM_NO_NEW_FILES") != NULL;
    folder = getenv("QLM_SHIM_FOLDER");
}

__attribute__((destructor)) static void Stop(void) {
    const char* file = getenv("QLM_SHIM_COUNT_FILE");
    if (file == NULL)
        return;
    FILE* out = fopen(file, "w");
    if (out != NULL) {
        fprintf(out, "%ld\n", atomic_load(&calls));
        fclose(out);
    }
}

static void* Real(const char* name) {
    return dlsym(RTLD_NEXT, name);
}

// Counts a call that changes a file; true when this is the one to be killed at.
static int KillHere(void) {
    return atomic_fetch_add(&calls, 1) + 1 == kill_at;
}

static void Die(void) {
    _exit(137);
}

static void Change(void) {
    if (KillHere())
        Die();
}

static int InFolder(const char* path) {
    return folder != NULL && path != NULL && strncmp(path, folder, strlen(folder)) == 0;
}

static int Refused(int error) {
    errno = error;
    return -1;
}

// Opening: creation is a change; O_TMPFILE and new names are refused where the shim says so.
static int Refuse(const char* path, int flags) {
    if ((flags & O_TMPFILE) == O_TMPFILE) {
        if (no_links)
            return EOPNOTSUPP;
        if (no_new_files && InFolder(path))
            return EACCES;
    }
    if ((flags & O_CREAT) != 0 && no_new_files && InFolder(path) && access(path, F_OK) != 0)
        return EACCES;
    if ((flags & (O_CREAT | O_TRUNC)) != 0 || (flags & O_ACCMODE) != O_RDONLY)
        Change();
    return 0;
}

#define OPEN_MODE(flags)                                                                                \
    mode_t mode = 0;                                                                                    \
    if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {                                   \
        va_list args;                                                                                   \
        va_start(args, flags);                                                                          \
        mode = va_arg(args, mode_t);                                                                    \
        va_end(args);                                                                                   \
    }                                                                                                   \
    const int error = Refuse(path, flags);                                                              \
    if (error != 0)                                                                                     \
        return Refused(error);

int open(const char* path, int flags, ...) {
    OPEN_MODE(flags)
    return ((int (*)(const char*, int, ...))Real("open"))(path, flags, mode);
}
int open64(const char* path, int flags, ...) {
    OPEN_MODE(flags)
    return ((int (*)(const char*, int, ...))Real("open64"))(path, flags, mode);
}
int openat(int dirfd, const char* path, int flags, ...) {
    OPEN_MODE(flags)
    return ((int (*)(int, const char*, int, ...))Real("openat"))(dirfd, path, flags, mode);
}
int openat64(int dirfd, const char* path, int flags, ...) {
    OPEN_MODE(flags)
    return ((int (*)(int, const char*, int, ...))Real("openat64"))(dirfd, path, flags, mode);
}

ssize_t write(int fd, const void* data, size_t size) {
    ssize_t (*real)(int, const void*, size_t) = (ssize_t(*)(int, const void*, size_t))Real("write");
    if (fd > 2 && KillHere()) {
        if (size > 1)
            real(fd, data, size / 2);
        Die();
    }
    return real(fd, data, size);
}

#define CHANGE(type, name, params, args)                                                                \
    type name params {                                                                                  \
        Change();                                                                                       \
        type(*real) params = (type(*) params)Real(#name);                                               \
        return real args;                                                                               \
    }

CHANGE(int, fsync, (int fd), (fd))
CHANGE(int, fdatasync, (int fd), (fd))
CHANGE(int, syncfs, (int fd), (fd))
CHANGE(int, ftruncate, (int fd, off_t size), (fd, size))
CHANGE(int, ftruncate64, (int fd, off_t size), (fd, size))
CHANGE(int, fallocate, (int fd, int mode, off_t at, off_t size), (fd, mode, at, size))
CHANGE(int, fallocate64, (int fd, int mode, off_t at, off_t size), (fd, mode, at, size))
CHANGE(int, fchmod, (int fd, mode_t mode), (fd, mode))
CHANGE(int, fchown, (int fd, uid_t uid, gid_t gid), (fd, uid, gid))

// Names: links, renames and removals.
static int NamesRefused(const char* from, const char* to) {
    return no_new_files && (InFolder(from) || InFolder(to));
}

int link(const char* from, const char* to) {
    if (no_links)
        return Refused(EPERM);
    if (NamesRefused(from, to))
        return Refused(EACCES);
    Change();
    return ((int (*)(const char*, const char*))Real("link"))(from, to);
}

int linkat(int from_dir, const char* from, int to_dir, const char* to, int flags) {
    if (no_links)
        return Refused(EPERM);
    if (NamesRefused(NULL, to))
        return Refused(EACCES);
    Change();
    return ((int (*)(int, const char*, int, const char*, int))Real("linkat"))(from_dir, from, to_dir, to, flags);
}

int rename(const char* from, const char* to) {
    if (NamesRefused(from, to))
        return Refused(EACCES);
    Change();
    return ((int (*)(const char*, const char*))Real("rename"))(from, to);
}

int renameat(int from_dir, const char* from, int to_dir, const char* to) {
    if (NamesRefused(from, to))
        return Refused(EACCES);
    Change();
    return ((int (*)(int, const char*, int, const char*))Real("renameat"))(from_dir, from, to_dir, to);
}

int renameat2(int from_dir, const char* from, int to_dir, const char* to, unsigned flags) {
    if (no_links && flags != 0)
        return Refused(EINVAL);
    if (NamesRefused(from, to))
        return Refused(EACCES);
    Change();
    return ((int (*)(int, const char*, int, const char*, unsigned))Real("renameat2"))(from_dir, from, to_dir, to,
                                                                                     flags);
}

int unlink(const char* path) {
    if (NamesRefused(path, NULL))
        return Refused(EACCES);
    Change();
    return ((int (*)(const char*))Real("unlink"))(path);
}

long syscall(long number, ...) {
    va_list args;
    va_start(args, number);
    long a[6];
    for (int i = 0; i < 6; ++i)
        a[i] = va_arg(args, long);
    va_end(args);
    if (number == SYS_renameat2) {
        if (no_links && a[4] != 0)
            return Refused(EINVAL);
        if (NamesRefused((const char*)a[1], (const char*)a[3]))
            return Refused(EACCES);
        Change();
    }
    long (*real)(long, ...) = (long (*)(long, ...))Real("syscall");
    return real(number, a[0], a[1], a[2], a[3], a[4], a[5]);
}

// Extended attributes: none where there are no links either (FAT and exFAT keep neither).
int fsetxattr(int fd, const char* name, const void* value, size_t size, int flags) {
    if (no_marks)
        return Refused(ENOTSUP);
    Change();
    return ((int (*)(int, const char*, const void*, size_t, int))Real("fsetxattr"))(fd, name, value, size, flags);
}

int fremovexattr(int fd, const char* name) {
    if (no_marks)
        return Refused(ENOTSUP);
    Change();
    return ((int (*)(int, const char*))Real("fremovexattr"))(fd, name);
}

ssize_t fgetxattr(int fd, const char* name, void* value, size_t size) {
    if (no_marks)
        return Refused(ENOTSUP);
    return ((ssize_t(*)(int, const char*, void*, size_t))Real("fgetxattr"))(fd, name, value, size);
}

ssize_t lgetxattr(const char* path, const char* name, void* value, size_t size) {
    if (no_marks)
        return Refused(ENOTSUP);
    return ((ssize_t(*)(const char*, const char*, void*, size_t))Real("lgetxattr"))(path, name, value, size);
}
