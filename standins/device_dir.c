#include "standins/device_dir.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

int device_path(char* path, size_t size, const char* format, ...) {
    static int warned;
    const char* dir = getenv(DEVICE_DIR_VARIABLE);
    if (dir == NULL || dir[0] == '\0') {
        if (!warned) {
            fprintf(stderr, "stand-in: %s is not set: the device has no properties and no NVRAM\n",
                    DEVICE_DIR_VARIABLE);
            warned = 1;
        }
        return -1;
    }

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
