// An LD_PRELOAD library that makes the Nth call of the write path fail, for the fault sweep.
//
// Only calls on paths below the folders in QUILLON_FAULT_ROOTS (separated by ':') count, and
// only while the program has armed the shim through quillon_fault_arm(1), so that start-up and
// the program's own logging are not injection points. QUILLON_FAULT_AT=N fails the Nth counted
// call (0 or unset: count only) with QUILLON_FAULT_ERRNO (ENOSPC, EIO or EACCES; ENOSPC when
// unset), and says on stderr which call it failed. Calls that do their work before they fail
// (close, fclose) do it, as the kernel does when a close reports a delayed write error.
//
// For the reference run, QUILLON_FAULT_SNAPSHOT_OF names a file (host path) and
// QUILLON_FAULT_SNAPSHOT_TO a folder: each time a rename or link puts a file at that path, the
// file is also linked there as "state-K", so that every state the file went through is known.
//
// With a sanitizer linked statically into the program its interceptors come first and call on
// into these, which call on into libc through RTLD_NEXT.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdarg.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

#define EXPORT __attribute__((visibility("default")))

static atomic_int armed;
static atomic_long counted;
static atomic_long fired;
static long failAt;
static int failErrno = ENOSPC;
static char roots[4096];
static int configured;

static ssize_t (*realWrite)(int, const void*, size_t);

static void Configure(void) {
    if (configured) return;
    const char* at = getenv("QUILLON_FAULT_AT");
    failAt = at ? atol(at) : 0;
    const char* e = getenv("QUILLON_FAULT_ERRNO");
    if (e && strcmp(e, "EIO") == 0) failErrno = EIO;
    if (e && strcmp(e, "EACCES") == 0) failErrno = EACCES;
    const char* r = getenv("QUILLON_FAULT_ROOTS");
    snprintf(roots, sizeof roots, "%s", r ? r : "");
    realWrite = (ssize_t(*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
    configured = 1;
}

EXPORT void quillon_fault_arm(int on) {
    Configure();
    atomic_store(&armed, on);
}
// The calls counted since the shim was armed, and how many were failed.
EXPORT long quillon_fault_points(void) {
    return atomic_load(&counted);
}
EXPORT long quillon_fault_fired(void) {
    return atomic_load(&fired);
}

static int Below(const char* path) {
    if (!path || !*path) return 0;
    for (const char* r = roots; *r;) {
        const char* end = strchr(r, ':');
        const size_t n = end ? (size_t)(end - r) : strlen(r);
        if (n > 0 && strncmp(path, r, n) == 0 && (path[n] == '/' || path[n] == '\0')) return 1;
        if (!end) break;
        r = end + 1;
    }
    return 0;
}

static int FdPath(int fd, char* out, size_t size) {
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, out, size - 1);
    if (n < 0) return 0;
    out[n] = '\0';
    return 1;
}

static int FdBelow(int fd, char* path, size_t size) {
    return fd > 2 && FdPath(fd, path, size) && Below(path);
}

static int AtBelow(int dirFd, const char* name, char* path, size_t size) {
    if (!name) return 0;
    if (name[0] == '/') {
        snprintf(path, size, "%s", name);
    } else {
        char dir[PATH_MAX];
        if (dirFd == AT_FDCWD ? !getcwd(dir, sizeof dir) : !FdPath(dirFd, dir, sizeof dir))
            return 0;
        snprintf(path, size, "%s/%s", dir, name);
    }
    return Below(path);
}

// Counts a call on a path below the roots; true when it is the one to fail (errno is then set).
static int Fails(const char* call, const char* path) {
    Configure();
    if (!atomic_load(&armed)) return 0;
    const long n = atomic_fetch_add(&counted, 1) + 1;
    if (failAt <= 0 || n != failAt) return 0;
    atomic_fetch_add(&fired, 1);
    char line[PATH_MAX + 128];
    const int length =
        snprintf(line, sizeof line, "fault: call %ld %s(%s) fails with %s\n", n, call, path,
                 failErrno == EIO      ? "EIO"
                 : failErrno == EACCES ? "EACCES"
                                       : "ENOSPC");
    if (realWrite && length > 0)
        realWrite(2, line, (size_t)length < sizeof line ? (size_t)length : sizeof line - 1);
    errno = failErrno;
    return 1;
}

static int Writes(int flags) {
    return (flags & O_ACCMODE) != O_RDONLY || (flags & (O_CREAT | O_TRUNC)) ||
           (flags & O_TMPFILE) == O_TMPFILE;
}

static int FdWritable(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && (flags & O_ACCMODE) != O_RDONLY;
}

#define NEXT(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))
#define FD_CHECK(call, fd) \
    char path_[PATH_MAX];  \
    if (atomic_load(&armed) && FdBelow(fd, path_, sizeof path_) && Fails(call, path_))
#define AT_CHECK(call, dirFd, name) \
    char path_[PATH_MAX * 2];       \
    if (atomic_load(&armed) && AtBelow(dirFd, name, path_, sizeof path_) && Fails(call, path_))

EXPORT ssize_t write(int fd, const void* buffer, size_t count) {
    FD_CHECK("write", fd) return -1;
    return NEXT(write)(fd, buffer, count);
}
EXPORT ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    FD_CHECK("pwrite", fd) return -1;
    return NEXT(pwrite)(fd, buffer, count, offset);
}
EXPORT ssize_t pwrite64(int fd, const void* buffer, size_t count, off64_t offset) {
    FD_CHECK("pwrite64", fd) return -1;
    return NEXT(pwrite64)(fd, buffer, count, offset);
}
EXPORT ssize_t writev(int fd, const struct iovec* vector, int count) {
    FD_CHECK("writev", fd) return -1;
    return NEXT(writev)(fd, vector, count);
}
EXPORT int fsync(int fd) {
    FD_CHECK("fsync", fd) return -1;
    return NEXT(fsync)(fd);
}
EXPORT int fdatasync(int fd) {
    FD_CHECK("fdatasync", fd) return -1;
    return NEXT(fdatasync)(fd);
}
EXPORT int ftruncate(int fd, off_t length) {
    FD_CHECK("ftruncate", fd) return -1;
    return NEXT(ftruncate)(fd, length);
}
EXPORT int ftruncate64(int fd, off64_t length) {
    FD_CHECK("ftruncate64", fd) return -1;
    return NEXT(ftruncate64)(fd, length);
}
EXPORT ssize_t copy_file_range(int in, loff_t* inOffset, int out, loff_t* outOffset, size_t length,
                               unsigned flags) {
    FD_CHECK("copy_file_range", out) return -1;
    return NEXT(copy_file_range)(in, inOffset, out, outOffset, length, flags);
}
EXPORT int close(int fd) {
    char path[PATH_MAX];
    const int counts = atomic_load(&armed) && FdWritable(fd) && FdBelow(fd, path, sizeof path);
    const int result = NEXT(close)(fd);
    if (result == 0 && counts && Fails("close", path)) return -1;
    return result;
}

EXPORT size_t fwrite(const void* buffer, size_t size, size_t count, FILE* stream) {
    FD_CHECK("fwrite", fileno(stream)) return 0;
    return NEXT(fwrite)(buffer, size, count, stream);
}
EXPORT int fflush(FILE* stream) {
    if (stream) {
        FD_CHECK("fflush", fileno(stream)) return EOF;
    }
    return NEXT(fflush)(stream);
}
EXPORT int fclose(FILE* stream) {
    if (!stream) return NEXT(fclose)(stream);
    char path[PATH_MAX];
    const int fd = fileno(stream);
    const int counts = atomic_load(&armed) && FdWritable(fd) && FdBelow(fd, path, sizeof path);
    const int result = NEXT(fclose)(stream);
    if (result == 0 && counts && Fails("fclose", path)) return EOF;
    return result;
}

// The opens: only those that may create or change a file count.
#define OPEN_MODE(flags)                                         \
    mode_t mode = 0;                                             \
    if (((flags)&O_CREAT) || ((flags)&O_TMPFILE) == O_TMPFILE) { \
        va_list args;                                            \
        va_start(args, flags);                                   \
        mode = (mode_t)va_arg(args, int);                        \
        va_end(args);                                            \
    }

EXPORT int open(const char* name, int flags, ...) {
    OPEN_MODE(flags)
    if (Writes(flags)) {
        AT_CHECK("open", AT_FDCWD, name) return -1;
    }
    return NEXT(open)(name, flags, mode);
}
EXPORT int open64(const char* name, int flags, ...) {
    OPEN_MODE(flags)
    if (Writes(flags)) {
        AT_CHECK("open64", AT_FDCWD, name) return -1;
    }
    return NEXT(open64)(name, flags, mode);
}
EXPORT int openat(int dirFd, const char* name, int flags, ...) {
    OPEN_MODE(flags)
    if (Writes(flags)) {
        AT_CHECK("openat", dirFd, name) return -1;
    }
    return NEXT(openat)(dirFd, name, flags, mode);
}
EXPORT int openat64(int dirFd, const char* name, int flags, ...) {
    OPEN_MODE(flags)
    if (Writes(flags)) {
        AT_CHECK("openat64", dirFd, name) return -1;
    }
    return NEXT(openat64)(dirFd, name, flags, mode);
}
// What _FORTIFY_SOURCE makes of an open without a mode.
EXPORT int __open_2(const char* name, int flags) {
    if (Writes(flags)) {
        AT_CHECK("open", AT_FDCWD, name) return -1;
    }
    return NEXT(__open_2)(name, flags);
}
EXPORT int __open64_2(const char* name, int flags) {
    if (Writes(flags)) {
        AT_CHECK("open64", AT_FDCWD, name) return -1;
    }
    return NEXT(__open64_2)(name, flags);
}
EXPORT int __openat_2(int dirFd, const char* name, int flags) {
    if (Writes(flags)) {
        AT_CHECK("openat", dirFd, name) return -1;
    }
    return NEXT(__openat_2)(dirFd, name, flags);
}
EXPORT int __openat64_2(int dirFd, const char* name, int flags) {
    if (Writes(flags)) {
        AT_CHECK("openat64", dirFd, name) return -1;
    }
    return NEXT(__openat64_2)(dirFd, name, flags);
}
EXPORT int creat(const char* name, mode_t mode) {
    AT_CHECK("creat", AT_FDCWD, name) return -1;
    return NEXT(creat)(name, mode);
}
EXPORT int creat64(const char* name, mode_t mode) {
    AT_CHECK("creat64", AT_FDCWD, name) return -1;
    return NEXT(creat64)(name, mode);
}
EXPORT int mkstemp(char* pattern) {
    AT_CHECK("mkstemp", AT_FDCWD, pattern) return -1;
    return NEXT(mkstemp)(pattern);
}
EXPORT int mkstemp64(char* pattern) {
    AT_CHECK("mkstemp64", AT_FDCWD, pattern) return -1;
    return NEXT(mkstemp64)(pattern);
}
EXPORT int mkostemp(char* pattern, int flags) {
    AT_CHECK("mkostemp", AT_FDCWD, pattern) return -1;
    return NEXT(mkostemp)(pattern, flags);
}
EXPORT FILE* fopen(const char* name, const char* how) {
    if (how[0] != 'r' || strchr(how, '+')) {
        AT_CHECK("fopen", AT_FDCWD, name) return NULL;
    }
    return NEXT(fopen)(name, how);
}
EXPORT FILE* fopen64(const char* name, const char* how) {
    if (how[0] != 'r' || strchr(how, '+')) {
        AT_CHECK("fopen64", AT_FDCWD, name) return NULL;
    }
    return NEXT(fopen64)(name, how);
}

// After a rename or link put a file at path: the reference run's record of that state.
static void Snapshot(int toDir, const char* to) {
    static atomic_int states;
    const char* of = getenv("QUILLON_FAULT_SNAPSHOT_OF");
    const char* into = getenv("QUILLON_FAULT_SNAPSHOT_TO");
    char path[PATH_MAX * 2];
    if (!of || !into || !to) return;
    if (to[0] == '/') {
        snprintf(path, sizeof path, "%s", to);
    } else {
        char dir[PATH_MAX];
        if (toDir == AT_FDCWD ? !getcwd(dir, sizeof dir) : !FdPath(toDir, dir, sizeof dir)) return;
        snprintf(path, sizeof path, "%s/%s", dir, to);
    }
    if (strcmp(path, of) != 0) return;
    char target[PATH_MAX];
    snprintf(target, sizeof target, "%s/state-%d", into, atomic_fetch_add(&states, 1) + 1);
    NEXT(link)(path, target);
}

// The calls on names.
EXPORT int rename(const char* from, const char* to) {
    AT_CHECK("rename", AT_FDCWD, to) return -1;
    const int result = NEXT(rename)(from, to);
    if (result == 0) Snapshot(AT_FDCWD, to);
    return result;
}
EXPORT int renameat(int fromDir, const char* from, int toDir, const char* to) {
    AT_CHECK("renameat", toDir, to) return -1;
    const int result = NEXT(renameat)(fromDir, from, toDir, to);
    if (result == 0) Snapshot(toDir, to);
    return result;
}
EXPORT int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    AT_CHECK("renameat2", toDir, to) return -1;
    const int result = NEXT(renameat2)(fromDir, from, toDir, to, flags);
    if (result == 0) Snapshot(toDir, to);
    return result;
}
EXPORT int link(const char* from, const char* to) {
    AT_CHECK("link", AT_FDCWD, to) return -1;
    const int result = NEXT(link)(from, to);
    if (result == 0) Snapshot(AT_FDCWD, to);
    return result;
}
EXPORT int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
    AT_CHECK("linkat", toDir, to) return -1;
    const int result = NEXT(linkat)(fromDir, from, toDir, to, flags);
    if (result == 0) Snapshot(toDir, to);
    return result;
}
EXPORT int symlinkat(const char* target, int dirFd, const char* name) {
    AT_CHECK("symlinkat", dirFd, name) return -1;
    return NEXT(symlinkat)(target, dirFd, name);
}
EXPORT int unlink(const char* name) {
    AT_CHECK("unlink", AT_FDCWD, name) return -1;
    return NEXT(unlink)(name);
}
EXPORT int unlinkat(int dirFd, const char* name, int flags) {
    AT_CHECK("unlinkat", dirFd, name) return -1;
    return NEXT(unlinkat)(dirFd, name, flags);
}
EXPORT int remove(const char* name) {
    AT_CHECK("remove", AT_FDCWD, name) return -1;
    return NEXT(remove)(name);
}
EXPORT int rmdir(const char* name) {
    AT_CHECK("rmdir", AT_FDCWD, name) return -1;
    return NEXT(rmdir)(name);
}
EXPORT int mkdir(const char* name, mode_t mode) {
    AT_CHECK("mkdir", AT_FDCWD, name) return -1;
    return NEXT(mkdir)(name, mode);
}
EXPORT int mkdirat(int dirFd, const char* name, mode_t mode) {
    AT_CHECK("mkdirat", dirFd, name) return -1;
    return NEXT(mkdirat)(dirFd, name, mode);
}
