// Preloaded into barcode-record by its tests (LD_PRELOAD) to play what they cannot otherwise
// make happen. FAIL_CALL=NAME:NUMBER, NAME one of close, fsync, mkstemp, read and write: with a
// positive NUMBER each call of that name fails with that errno, and does nothing; with a
// negative one, each sends the process the signal -NUMBER, then goes ahead. The C library's
// calls inside itself are not affected.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

// The errno a call of this name is to fail with; 0 for the real call.
static int failure_of(const char* name) {
    const char* fault = getenv("FAIL_CALL");
    size_t length = strlen(name);
    if (fault == NULL || strncmp(fault, name, length) != 0 || fault[length] != ':') {
        return 0;
    }
    int number = atoi(fault + length + 1);
    if (number < 0) {
        kill(getpid(), -number);
    }
    return number < 0 ? 0 : number;
}

#define FAILING(type, name, parameters, arguments)                        \
    type name parameters {                                                \
        int error = failure_of(#name);                                    \
        if (error == 0) {                                                 \
            return ((__typeof__(&name))dlsym(RTLD_NEXT, #name))arguments; \
        }                                                                 \
        errno = error;                                                    \
        return -1;                                                        \
    }

FAILING(int, close, (int fd), (fd))
FAILING(int, fsync, (int fd), (fd))
FAILING(int, mkstemp, (char* name), (name))
FAILING(ssize_t, read, (int fd, void* buffer, size_t count), (fd, buffer, count))
FAILING(ssize_t, write, (int fd, const void* buffer, size_t count), (fd, buffer, count))
