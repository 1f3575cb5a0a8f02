// Preloaded into barcode-record by its tests (LD_PRELOAD) to play what they cannot otherwise
// make happen. FAIL_CALL=NAME:NUMBER[:NTH][,NAME:NUMBER[:NTH]]..., NAME one of close, fchmod,
// fsync, linkat, mkstemp, open, read, realpath, rename and write: with a positive NUMBER each
// call of that name (or only the NTH) fails with that errno, and does nothing; with a negative
// one, each sends the process the signal -NUMBER, then goes ahead. The C library's calls inside
// itself are not affected.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

// The errno a call of this name is to fail with; 0 for the real call. `calls` counts them.
static int failure_of(const char* name, int* calls) {
    const char* fault = getenv("FAIL_CALL");
    size_t length = strlen(name);
    while (fault != NULL && (strncmp(fault, name, length) != 0 || fault[length] != ':')) {
        fault = strchr(fault, ',');
        fault = fault == NULL ? NULL : fault + 1;
    }
    if (fault == NULL) {
        return 0;
    }
    int number = 0;
    int nth = 0;
    sscanf(fault + length + 1, "%d:%d", &number, &nth);
    if (nth != 0 && ++*calls != nth) {
        return 0;
    }
    if (number < 0) {
        kill(getpid(), -number);
    }
    return number < 0 ? 0 : number;
}

#define FAILING(type, name, failed, parameters, arguments)                \
    type name parameters {                                                \
        static int calls;                                                 \
        int error = failure_of(#name, &calls);                            \
        if (error == 0) {                                                 \
            return ((__typeof__(&name))dlsym(RTLD_NEXT, #name))arguments; \
        }                                                                 \
        errno = error;                                                    \
        return failed;                                                    \
    }

FAILING(int, close, -1, (int fd), (fd))
FAILING(int, fchmod, -1, (int fd, mode_t mode), (fd, mode))
FAILING(int, fsync, -1, (int fd), (fd))
FAILING(int, linkat, -1, (int from_fd, const char* from, int to_fd, const char* to, int flags),
        (from_fd, from, to_fd, to, flags))
FAILING(int, mkstemp, -1, (char* name), (name))
FAILING(ssize_t, read, -1, (int fd, void* buffer, size_t count), (fd, buffer, count))
FAILING(char*, realpath, NULL, (const char* path, char* resolved), (path, resolved))
FAILING(int, rename, -1, (const char* from, const char* to), (from, to))
FAILING(ssize_t, write, -1, (int fd, const void* buffer, size_t count), (fd, buffer, count))

// open takes its mode only when it creates a file.
#define FAILING_OPEN(name)                                                                       \
    int name(const char* path, int flags, ...) {                                                 \
        static int calls;                                                                        \
        mode_t mode = 0;                                                                         \
        if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {                        \
            va_list arguments;                                                                   \
            va_start(arguments, flags);                                                          \
            mode = va_arg(arguments, mode_t);                                                    \
            va_end(arguments);                                                                   \
        }                                                                                        \
        int error = failure_of("open", &calls);                                                  \
        if (error == 0) {                                                                        \
            return ((int (*)(const char*, int, ...))dlsym(RTLD_NEXT, #name))(path, flags, mode); \
        }                                                                                        \
        errno = error;                                                                           \
        return -1;                                                                               \
    }

FAILING_OPEN(open)
FAILING_OPEN(open64)
