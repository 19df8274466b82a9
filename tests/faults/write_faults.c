/* A preload library for tests: write, pwrite, fsync, fdatasync, rename and close fail on
 * files under one folder, once a byte or call budget is spent, the way a full disk or a dying
 * one fails them.
 *
 *   VANTOREL_FAULT_DIR    the folder (absolute, no trailing slash); other files are left alone
 *   VANTOREL_FAULT_BYTES  bytes that may still be written there; the write that crosses the
 *                         budget writes the part that fits, every later one fails
 *   VANTOREL_FAULT_CALLS  the N-th of the calls above (counted together, 1 is the first) and
 *                         every later one fails
 *   VANTOREL_FAULT_ONCE   set: only the N-th call fails, the later ones succeed again (a
 *                         network file system's late error on close, say)
 *   VANTOREL_FAULT_ONLY   a kind of call (write, sync, close or rename): only those are
 *                         counted for VANTOREL_FAULT_CALLS, and only those fail
 *   VANTOREL_FAULT_ERRNO  ENOSPC (the default) or EIO
 *   VANTOREL_FAULT_HIT    a file made when the first fault is injected (outside the folder),
 *                         holding the kind of call that failed: write, sync, close or rename
 *   VANTOREL_FAULT_COUNT  a file to which each process appends "CALLS BYTES" at exit (also
 *                         a forked child's _exit): the calls and bytes the folder saw, so a
 *                         test knows the range worth trying. Budgets count per process.
 *   VANTOREL_FAULT_SLOW   microseconds each of those calls waits first: a slow disk, so that a
 *                         test killing the program lands in the middle of its writing
 *   VANTOREL_FAULT_MARK   a file made at the first of those calls: its time tells a test when
 *                         the writing began */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

static const char* dir;
static size_t dirLength;
static long long bytesLeft = -1; /* -1: no byte budget */
static long long callLimit = -1; /* -1: no call budget */
static int once;
static const char* onlyKind;
static long long calls;
static long long bytesWritten;
static int faultErrno = ENOSPC;
static const char* hitPath;
/* Descriptors written through since they were opened: only their close can lose data. */
#define TRACKED_FDS 4096
static unsigned char writtenTo[TRACKED_FDS];
static int hit;
static useconds_t slowness;
static const char* markPath;
static int marked;

__attribute__((constructor)) static void Setup(void) {
    dir = getenv("VANTOREL_FAULT_DIR");
    dirLength = dir ? strlen(dir) : 0;
    const char* v = getenv("VANTOREL_FAULT_BYTES");
    if (v) bytesLeft = atoll(v);
    v = getenv("VANTOREL_FAULT_CALLS");
    if (v) callLimit = atoll(v);
    once = getenv("VANTOREL_FAULT_ONCE") != NULL;
    onlyKind = getenv("VANTOREL_FAULT_ONLY");
    v = getenv("VANTOREL_FAULT_ERRNO");
    if (v && strcmp(v, "EIO") == 0) faultErrno = EIO;
    hitPath = getenv("VANTOREL_FAULT_HIT");
    v = getenv("VANTOREL_FAULT_SLOW");
    if (v) slowness = (useconds_t)atol(v);
    markPath = getenv("VANTOREL_FAULT_MARK");
}

static void* Next(const char* name) { return dlsym(RTLD_NEXT, name); }

__attribute__((destructor)) static void Report(void) {
    const char* path = getenv("VANTOREL_FAULT_COUNT");
    if (!path) return;
    int (*realOpen)(const char*, int, ...) = (int (*)(const char*, int, ...))Next("open");
    ssize_t (*realWrite)(int, const void*, size_t) = (ssize_t (*)(int, const void*, size_t))Next("write");
    int (*realClose)(int) = (int (*)(int))Next("close");
    char text[64];
    int n = snprintf(text, sizeof text, "%lld %lld\n", calls, bytesWritten);
    int fd = realOpen(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return;
    if (realWrite(fd, text, (size_t)n) != n) unlink(path);
    realClose(fd);
}

/* A forked worker that ends with _exit() reports too. */
void _exit(int status) {
    void (*real)(int) = (void (*)(int))Next("_exit");
    Report();
    real(status);
    __builtin_unreachable();
}

static int Under(const char* path) {
    return dirLength > 0 && path && strncmp(path, dir, dirLength) == 0 && (path[dirLength] == '/' || path[dirLength] == 0);
}

static int FdUnder(int fd) {
    if (dirLength == 0) return 0;
    char link[64], target[PATH_MAX];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0) return 0;
    target[n] = 0;
    return Under(target);
}

/* Only descriptors open for writing: syncing a file that was only read loses nothing. */
static int WritableFdUnder(int fd) {
    int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && (flags & O_ACCMODE) != O_RDONLY && FdUnder(fd);
}

static int PathUnder(const char* path) {
    if (!path) return 0;
    if (path[0] == '/') return Under(path);
    char cwd[PATH_MAX];
    return getcwd(cwd, sizeof cwd) && Under(cwd);
}

/* Makes `path` holding `text` (once per flag), outside the folder and so without a fault. */
static void Touch(int* flag, const char* path, const char* text) {
    if (__atomic_exchange_n(flag, 1, __ATOMIC_SEQ_CST) || !path) return;
    int (*realOpen)(const char*, int, ...) = (int (*)(const char*, int, ...))Next("open");
    ssize_t (*realWrite)(int, const void*, size_t) = (ssize_t (*)(int, const void*, size_t))Next("write");
    int (*realClose)(int) = (int (*)(int))Next("close");
    int fd = realOpen(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return;
    if (realWrite(fd, text, strlen(text)) < 0) unlink(path);
    realClose(fd);
}

static void Hit(const char* kind) { Touch(&hit, hitPath, kind); }

/* 1 when this call of `kind` is past the call budget (and so must fail). */
static int CallFails(const char* kind) {
    Touch(&marked, markPath, "");
    if (slowness) usleep(slowness);
    if (onlyKind && strcmp(onlyKind, kind) != 0) return 0;
    long long n = __atomic_add_fetch(&calls, 1, __ATOMIC_SEQ_CST);
    if (callLimit < 0 || n < callLimit || (once && n > callLimit)) return 0;
    Hit(kind);
    return 1;
}

/* How many of `count` bytes may be written: count, fewer, or -1 for none (errno set). */
static ssize_t Allowed(size_t count) {
    if (CallFails("write")) {
        errno = faultErrno;
        return -1;
    }
    if (bytesLeft < 0 || count == 0) {
        __atomic_add_fetch(&bytesWritten, (long long)count, __ATOMIC_SEQ_CST);
        return (ssize_t)count;
    }
    long long left = __atomic_load_n(&bytesLeft, __ATOMIC_SEQ_CST);
    for (;;) {
        if (left <= 0) {
            Hit("write");
            errno = faultErrno;
            return -1;
        }
        long long take = (long long)count < left ? (long long)count : left;
        if (__atomic_compare_exchange_n(&bytesLeft, &left, left - take, 0, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST)) {
            __atomic_add_fetch(&bytesWritten, take, __ATOMIC_SEQ_CST);
            return (ssize_t)take;
        }
    }
}

ssize_t write(int fd, const void* buf, size_t count) {
    static ssize_t (*real)(int, const void*, size_t);
    if (!real) real = (ssize_t (*)(int, const void*, size_t))Next("write");
    if (!FdUnder(fd)) return real(fd, buf, count);
    if (fd < TRACKED_FDS) writtenTo[fd] = 1;
    ssize_t allowed = Allowed(count);
    return allowed < 0 ? -1 : real(fd, buf, (size_t)allowed);
}

ssize_t pwrite(int fd, const void* buf, size_t count, off_t offset) {
    static ssize_t (*real)(int, const void*, size_t, off_t);
    if (!real) real = (ssize_t (*)(int, const void*, size_t, off_t))Next("pwrite");
    if (!FdUnder(fd)) return real(fd, buf, count, offset);
    if (fd < TRACKED_FDS) writtenTo[fd] = 1;
    ssize_t allowed = Allowed(count);
    return allowed < 0 ? -1 : real(fd, buf, (size_t)allowed, offset);
}

ssize_t pwrite64(int fd, const void* buf, size_t count, off_t offset) { return pwrite(fd, buf, count, offset); }

static int SyncCall(const char* name, int fd) {
    int (*real)(int) = (int (*)(int))Next(name);
    if (WritableFdUnder(fd) && CallFails("sync")) {
        errno = faultErrno;
        return -1;
    }
    return real(fd);
}

int fsync(int fd) { return SyncCall("fsync", fd); }
int fdatasync(int fd) { return SyncCall("fdatasync", fd); }

int close(int fd) {
    static int (*real)(int);
    if (!real) real = (int (*)(int))Next("close");
    int wrote = fd >= 0 && fd < TRACKED_FDS && writtenTo[fd];
    if (wrote) writtenTo[fd] = 0;
    int fails = wrote && FdUnder(fd) && CallFails("close");
    int r = real(fd); /* the descriptor is gone either way, as with a real late write error */
    if (fails) {
        errno = faultErrno;
        return -1;
    }
    return r;
}

int rename(const char* from, const char* to) {
    static int (*real)(const char*, const char*);
    if (!real) real = (int (*)(const char*, const char*))Next("rename");
    if ((PathUnder(from) || PathUnder(to)) && CallFails("rename")) {
        errno = faultErrno;
        return -1;
    }
    return real(from, to);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
    static int (*real)(int, const char*, int, const char*);
    if (!real) real = (int (*)(int, const char*, int, const char*))Next("renameat");
    if ((PathUnder(from) || PathUnder(to)) && CallFails("rename")) {
        errno = faultErrno;
        return -1;
    }
    return real(fromDir, from, toDir, to);
}
