#include "standins/device_dir.h"

#include <errno.h>
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

// The folders of a simulated device, and what each holds.
static const struct {
    const char* name;
    const char* note;
} FOLDERS[] = {
    {"properties", "the simulated device keeps its properties there"},
    {"nvram", "the simulated device keeps its NVRAM files there"},
};

void setup_fault(const char* path, int error, const char* note) {
    (void)fprintf(stderr, "stand-in: %s: %s%s%s\n", path, strerror(error), note ? ": " : "",
                  note ? note : "");
    exit(SETUP_FAULT_STATUS);
}

// 0 when path names a directory; otherwise why not, as an errno value.
static int directory_error(const char* path) {
    struct stat st;
    if (stat(path, &st) != 0) {
        return errno;
    }
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

// A device that is not there, or only partly, cannot be played: without this check, a mistyped
// folder would read as a device whose restore never finishes and whose NVRAM file is missing.
// Every call that reaches the device comes through here, so the run ends at the program's first
// such call, whichever it is.
static const char* checked_device_dir(void) {
    const char* dir = getenv(DEVICE_DIR_VARIABLE);
    if (dir == NULL || dir[0] == '\0') {
        (void)fprintf(stderr, "stand-in: %s is %s: it must name the simulated device's folder\n",
                      DEVICE_DIR_VARIABLE, dir == NULL ? "not set" : "empty");
        exit(SETUP_FAULT_STATUS);
    }
    int error = directory_error(dir);
    if (error != 0) {
        (void)fprintf(stderr, "stand-in: %s=%s: %s\n", DEVICE_DIR_VARIABLE, dir, strerror(error));
        exit(SETUP_FAULT_STATUS);
    }
    return dir;
}

void folder_fault(const char* name, int error) {
    char path[PATH_MAX];
    const char* note = NULL;
    for (size_t i = 0; i < sizeof(FOLDERS) / sizeof(FOLDERS[0]); ++i) {
        if (strcmp(FOLDERS[i].name, name) == 0) {
            note = FOLDERS[i].note;
        }
    }
    if (device_path(path, sizeof(path), "%s", name) != 0) {
        setup_fault(name, error, note);
    }
    setup_fault(path, error, note);
}

int device_path(char* path, size_t size, const char* format, ...) {
    const char* dir = checked_device_dir();
    int written = snprintf(path, size, "%s/", dir);
    if (written < 0 || (size_t)written >= size) {
        return -1;
    }
    size_t prefix = (size_t)written;
    // Each folder is looked up in the caller's buffer, behind the prefix that is there already.
    for (size_t i = 0; i < sizeof(FOLDERS) / sizeof(FOLDERS[0]); ++i) {
        size_t length = strlen(FOLDERS[i].name);
        if (length >= size - prefix) {
            return -1;
        }
        memcpy(path + prefix, FOLDERS[i].name, length + 1);
        int error = directory_error(path);
        if (error != 0) {
            setup_fault(path, error, FOLDERS[i].note);
        }
    }
    va_list args;
    va_start(args, format);
    int rest = vsnprintf(path + prefix, size - prefix, format, args);
    va_end(args);
    return rest < 0 || (size_t)rest >= size - prefix ? -1 : 0;
}
