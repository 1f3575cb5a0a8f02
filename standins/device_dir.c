#include "standins/device_dir.h"

#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

// A device that is not there cannot be played: without this check, a mistyped folder would read
// as a device whose restore never finishes and whose NVRAM file is missing. Every call that
// reaches the device comes through here, so the run ends at the program's first such call,
// whichever it is.
static const char* checked_device_dir(void) {
    const char* dir = getenv(DEVICE_DIR_VARIABLE);
    struct stat st;
    if (dir == NULL || dir[0] == '\0') {
        fprintf(stderr, "stand-in: %s is %s: it must name the simulated device's folder\n",
                DEVICE_DIR_VARIABLE, dir == NULL ? "not set" : "empty");
    } else if (stat(dir, &st) != 0) {
        const char* reason =
            errno == ENOENT || errno == ENOTDIR ? "no such folder" : strerror(errno);
        fprintf(stderr, "stand-in: %s=%s: %s\n", DEVICE_DIR_VARIABLE, dir, reason);
    } else if (!S_ISDIR(st.st_mode)) {
        fprintf(stderr, "stand-in: %s=%s: not a folder\n", DEVICE_DIR_VARIABLE, dir);
    } else {
        return dir;
    }
    exit(DEVICE_DIR_MISSING_STATUS);
}

int device_path(char* path, size_t size, const char* format, ...) {
    const char* dir = checked_device_dir();
    int prefix = snprintf(path, size, "%s/", dir);
    if (prefix < 0 || (size_t)prefix >= size) {
        return -1;
    }
    va_list args;
    va_start(args, format);
    int rest = vsnprintf(path + prefix, size - (size_t)prefix, format, args);
    va_end(args);
    return rest < 0 || (size_t)rest >= size - (size_t)prefix ? -1 : 0;
}
